// Edits in a view: the shown frame follows each step, Ctrl+Z and Ctrl+Y undo and redo it from
// the main window's keys, and the caption says the file is changed until every step is undone.
#include <gtest/gtest.h>

#include <QTest>

#include "EditDocumentU.h"
#include "FrameCursorU.h"
#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "MainMenusU.h"
#include "MainU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"

namespace {

class UndoTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    StartMain();
    View =
        Open(Write("walk.quv",
                   BuildQuvFile({{"walk", {SolidFrame(4, 4, 1, 2, 16), SolidFrame(6, 3, 0, 0, 17)}},
                                 {"idle", {SolidFrame(2, 2, 0, 0, 18)}}})));
    ASSERT_TRUE(View);
    ASSERT_TRUE(View->ShowImageNamed("walk"));
  }
  // The hot spot of the frame the view shows, as the view's collection reads it.
  QPoint ShownOffset() const {
    const TImageFrame* frame = View->Cursor()->Shown()->Frame;
    return {frame->XOffset, frame->YOffset};
  }
  void Key(QKeySequence keys) {
    QTest::keySequence(Main.get(), keys);
    QApplication::processEvents();
  }
  TQuvView* View = nullptr;
};

TEST_F(UndoTest, CtrlZAndCtrlYUndoAndRedoAnEditOfTheShownFrame) {
  const QString clean = View->windowTitle();
  EXPECT_FALSE(clean.contains('*'));
  ASSERT_TRUE(View->PerformEdit([](const TQuvContent& content, size_t image) {
    return ShiftOffsets(content, image, {0}, 3, -1);
  }));
  EXPECT_EQ(ShownOffset(), QPoint(4, 1));
  EXPECT_TRUE(View->windowTitle().startsWith("walk.quv* \u2014 "))
      << View->windowTitle().toStdString();
  EXPECT_EQ(Main->Menus()->acUndo->text(), "&Undo Shift Offsets");

  Key(QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_EQ(ShownOffset(), QPoint(1, 2));
  EXPECT_EQ(View->windowTitle(), clean);
  Key(QKeySequence(Qt::CTRL | Qt::Key_Y));
  EXPECT_EQ(ShownOffset(), QPoint(4, 1));
  Key(QKeySequence(Qt::CTRL | Qt::Key_Z));
  Key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
  EXPECT_EQ(ShownOffset(), QPoint(4, 1));
  EXPECT_EQ(View->Cursor()->ImageName(), "walk");  // the image shown stays
}

TEST_F(UndoTest, MergedStepsUndoTogetherAndAStepBackWhereItBeganLeavesTheStack) {
  const int drag = View->Edits()->NewMergeKey();
  for (int i = 0; i < 3; ++i)
    View->PerformEdit([](const TQuvContent& content,
                         size_t image) { return ShiftOffsets(content, image, {0}, 1, 0); },
                      drag);
  EXPECT_EQ(ShownOffset(), QPoint(4, 2));
  EXPECT_EQ(View->Edits()->UndoStack()->count(), 1);
  Key(QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_EQ(ShownOffset(), QPoint(1, 2));

  const int back = View->Edits()->NewMergeKey();
  for (int dx : {2, -2})
    View->PerformEdit([dx](const TQuvContent& content,
                           size_t image) { return ShiftOffsets(content, image, {0}, dx, 0); },
                      back);
  EXPECT_EQ(View->Edits()->UndoStack()->index(), 0);  // nothing left to undo from there
  EXPECT_FALSE(View->Edits()->Modified());
}

TEST_F(UndoTest, ARefusedEditChangesNothingAndSaysWhy) {
  GuiTestDialogs().Reset();
  EXPECT_FALSE(View->PerformEdit([](const TQuvContent& content, size_t image) {
    return SetOffsets(content, image, {0}, 40000, 0);
  }));
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1u);
  const QString told = GuiTestDialogs().Messages[0].Text;
  EXPECT_TRUE(told.contains("-32768")) << told.toStdString();
  EXPECT_EQ(ShownOffset(), QPoint(1, 2));
  EXPECT_EQ(View->Edits()->UndoStack()->count(), 0);
}

}  // namespace
