#include <gtest/gtest.h>

#include "DialogsU.h"

TEST(Dialogs, DelphiFilterBecomesQtFilter) {
  EXPECT_EQ(QtFilter("Quv Files|*.quv|Hpi Files(Can contain quvs)|*.hpi;*.ufo|All Files|*.*"),
            QStringLiteral("Quv Files (*.quv);;Hpi Files(Can contain quvs) (*.hpi *.ufo);;All "
                           "Files (*.*)"));
}
