// The search pane of the game-folder browser as its user works it: typing finds file names at
// once, image names once the index built in the background arrives, Enter and a double-click
// ask for the file to be opened on the matching image, Escape clears; and the background build
// reports its progress and can be dropped while it runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <memory>

#include "GameFolderU.h"
#include "GameSamplesU.h"
#include "GameSearchPaneU.h"
#include "ImageIndexJobU.h"
#include "ImageNameIndexU.h"
#include "QtStringU.h"

namespace {

namespace fs = std::filesystem;

class GameSearchPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    WriteSampleGame(ToStd(Dir.filePath("game")));
    Game = std::make_unique<TGameFolder>(ToStd(Dir.filePath("game")));
    Pane = std::make_unique<TGameSearchPane>();
    Pane->resize(600, 400);
    Pane->SetGameFolder(Game.get());
    Pane->show();
    QApplication::setActiveWindow(Pane.get());
    Pane->SearchBox()->setFocus();
  }
  void TearDown() override {
    Pane.reset();
    Game.reset();
  }
  // The rows of the result list as "path | origin | images".
  QStringList Rows() const {
    QStringList rows;
    for (int row = 0; row < Pane->RowCount(); ++row)
      rows << Pane->Cell(row, TGameSearchPane::ColPath) + " | " +
                  Pane->Cell(row, TGameSearchPane::ColOrigin) + " | " +
                  Pane->Cell(row, TGameSearchPane::ColImages);
    return rows;
  }
  void Type(const QString& text) {
    Pane->SearchBox()->clear();
    QTest::keyClicks(Pane->SearchBox(), text);
  }
  // The index built as the browser builds it, handed to the pane when it arrives.
  void IndexInBackground() {
    auto job = std::make_unique<TImageIndexJob>(*Game);
    QObject::connect(job.get(), &TImageIndexJob::progress, Pane.get(),
                     [this](qulonglong done, qulonglong total) {
                       Pane->SetIndexProgress(done, total);
                       ProgressTexts << Pane->IndexNote()->text();
                     });
    QObject::connect(job.get(), &TImageIndexJob::finished, Pane.get(),
                     [this](std::shared_ptr<TImageNameIndex> index) { Pane->SetIndex(index); });
    QSignalSpy finished(job.get(), &TImageIndexJob::finished);
    ASSERT_TRUE(finished.wait(20000));
  }
  QString Archived(const QString& archive, const QString& inner) const {
    return FromStd((fs::absolute(ToStd(Dir.filePath("game/" + archive))) / ToStd(inner))
                       .lexically_normal()
                       .string());
  }

  QTemporaryDir Dir;
  std::unique_ptr<TGameFolder> Game;
  std::unique_ptr<TGameSearchPane> Pane;
  QStringList ProgressTexts;
};

}  // namespace

TEST_F(GameSearchPaneTest, TypingFindsFileNamesAtOnceAndImageNamesOnceIndexed) {
  EXPECT_EQ(Pane->SearchBox()->placeholderText(), "Search file and image names");
  Type("TANK");
  EXPECT_EQ(Rows(), QStringList{"units/tank.quv | units/ | "});
  EXPECT_EQ(Pane->Status()->text(), "1 file found");
  Type("*.wav");
  EXPECT_EQ(Rows(), QStringList{"sounds/boom.wav | base.hpi | "});
  Type("[x");
  EXPECT_EQ(Rows(), QStringList());
  EXPECT_TRUE(Pane->Status()->text().startsWith("Invalid pattern"))
      << ToStd(Pane->Status()->text());

  // Image names are not searched before the index is there.
  Type("armcom_d");
  EXPECT_EQ(Rows(), QStringList());
  EXPECT_EQ(Pane->Status()->text(), "Nothing found");
  IndexInBackground();
  ASSERT_FALSE(ProgressTexts.isEmpty());
  EXPECT_EQ(ProgressTexts.last(), QString("Indexing image names\u2026 5 of 5"));
  // The text typed before the index came is searched again with it.
  EXPECT_EQ(Rows(), QStringList{"units/armcom.quv | base.hpi | armcom_dead"});
  // The file that cannot be read is named in the note's tooltip.
  EXPECT_EQ(Pane->IndexNote()->text(), "1 Quv file cannot be read");
  EXPECT_TRUE(Pane->IndexNote()->toolTip().contains("\"units/broken.quv\" is not a Quv file"));
  Type("plane");
  EXPECT_EQ(Rows(), QStringList{"units/Plane.QUV | mods/extra.ufo | plane, plane_shadow"});
}

TEST_F(GameSearchPaneTest, EnterAndDoubleClickAskToOpenTheFileOnTheMatchingImageEscapeClears) {
  IndexInBackground();
  QSignalSpy open(Pane.get(), &TGameSearchPane::openRequested);
  Type("armcom_");
  QTest::keyClick(Pane->SearchBox(), Qt::Key_Return);
  ASSERT_EQ(open.count(), 1);
  EXPECT_EQ(open[0][0].toString(), Archived("base.hpi", "units/armcom.quv"));
  EXPECT_EQ(open[0][1].toString(), "armcom_dead");

  // Down into the list, to the second row, Enter there.
  Type("units/");
  ASSERT_EQ(Pane->RowCount(), 5);
  QTest::keyClick(Pane->SearchBox(), Qt::Key_Down);
  ASSERT_TRUE(Pane->Results()->hasFocus());
  QTest::keyClick(Pane->Results(), Qt::Key_Down);
  QTest::keyClick(Pane->Results(), Qt::Key_Return);
  ASSERT_EQ(open.count(), 2);
  EXPECT_EQ(open[1][0].toString(), Archived("mods/extra.ufo", "units/broken.quv"));
  EXPECT_EQ(open[1][1].toString(), QString());

  // A double-click on the last row: a click, and the second press comes as a double-click.
  QTreeView* list = Pane->Results();
  const QRect last = list->visualRect(list->model()->index(4, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, last.center());
  EXPECT_EQ(open.count(), 2);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, last.center());
  ASSERT_EQ(open.count(), 3);
  EXPECT_EQ(
      open[2][0].toString(),
      FromStd(
          fs::absolute(ToStd(Dir.filePath("game/units/tank.quv"))).lexically_normal().string()));
  EXPECT_EQ(open[2][1].toString(), QString());

  // Escape, from the list or the box, empties the search.
  QTest::keyClick(list, Qt::Key_Escape);
  EXPECT_EQ(Pane->SearchBox()->text(), QString());
  EXPECT_EQ(Pane->RowCount(), 0);
  EXPECT_TRUE(Pane->SearchBox()->hasFocus());
  EXPECT_EQ(Pane->Status()->text(), QString());
}

TEST_F(GameSearchPaneTest, AnIndexJobDroppedWhileItRunsNeverReportsBack) {
  auto job = std::make_unique<TImageIndexJob>(*Game);
  QSignalSpy finished(job.get(), &TImageIndexJob::finished);
  job->Cancel();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !job->Running(); }, 10000));
  QTest::qWait(50);  // anything it posted is delivered by now
  EXPECT_EQ(finished.count(), 0);
  job = std::make_unique<TImageIndexJob>(*Game);
  job.reset();  // cancels and waits: nothing is left running on the folder
  QTest::qWait(50);
}
