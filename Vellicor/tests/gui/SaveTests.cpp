// Saving an edited file from its view: Save and Save As from the main window's keys, a save that
// fails, a file someone else changed meanwhile, and the question before a changed view closes
// (alone, with Close All, or with the program).
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>

#include "../../../DataLoaders/tests/hpi/HpiOutsideReader.h"
#include "EditDocumentU.h"
#include "EditViewTest.h"
#include "HpiBuilderU.h"
#include "MainMenusU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SmallDiskU.h"
#include "SpriteCanvasU.h"

namespace {

class SaveTest : public EditViewTest {
 protected:
  // One nudge of frame 0 to the right in edit mode: its X offset one less.
  void Nudge(TQuvView* view) {
    view->Canvas()->PaintBox()->setFocus();
    if (!view->EditMode()) KeyToMain(Qt::Key_E);
    KeyToCanvas(view, Qt::Key_Right);
  }
  static QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  static QByteArray Bytes(const std::vector<uint8_t>& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
  }
  static std::vector<uint8_t> ReadBytes(const QString& path) {
    const QByteArray bytes = Bytes(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }
  // Deleted windows are gone once the loop has run.
  static void Settle() {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
};

TEST_F(SaveTest, SaveWritesTheEditAndTheCaptionLosesItsStar) {
  EXPECT_FALSE(Main->acSave->isEnabled());
  const QString path = Dir.filePath(QStringLiteral("tank.quv"));
  TQuvView* view = OpenTank();
  EXPECT_TRUE(Main->acSave->isVisible());
  EXPECT_TRUE(Main->acSave->isEnabled());
  EXPECT_TRUE(Main->acSaveAs->isEnabled());
  Nudge(view);
  EXPECT_TRUE(view->windowTitle().startsWith(QStringLiteral("tank.quv* \u2014 ")));

  KeyToMain(Qt::Key_S);
  EXPECT_TRUE(view->windowTitle().startsWith(QStringLiteral("tank.quv \u2014 ")));
  EXPECT_FALSE(view->Edits()->Modified());
  const TQuvContent saved = FreshContent(path);
  EXPECT_EQ(FrameOffsets(saved), QPoint(1, 3));
  EXPECT_EQ(FrameOffsets(saved, 1), QPoint(10, 10));
  const TQuvContent original = FreshContent(Write("original.quv", TankFile()));
  EXPECT_EQ(saved.Images[0].Frames[0].Pixels, original.Images[0].Frames[0].Pixels);
  EXPECT_EQ(saved.Images[0].Frames[1].Pixels, original.Images[0].Frames[1].Pixels);

  // Saved by this view: a second save asks nothing.
  Nudge(view);
  KeyToMain(Qt::Key_S);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  EXPECT_EQ(FrameOffsets(FreshContent(path)), QPoint(0, 3));
}

TEST_F(SaveTest, SaveAsWritesANewFileThatTheViewThenShows) {
  const QString path = Dir.filePath(QStringLiteral("tank.quv"));
  const QString copy = Dir.filePath(QStringLiteral("copy.quv"));
  TQuvView* view = OpenTank();
  Nudge(view);
  GuiTestDialogs().SaveAnswers = {copy};
  KeyToMain(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(GuiTestDialogs().LastProposedName, QStringLiteral("tank.quv"));
  EXPECT_EQ(FrameOffsets(FreshContent(copy)), QPoint(1, 3));
  EXPECT_EQ(Bytes(path), Bytes(TankFile()));
  EXPECT_TRUE(view->FileName().endsWith(QStringLiteral("copy.quv")));
  EXPECT_TRUE(view->windowTitle().startsWith(QStringLiteral("copy.quv \u2014 ")));
  EXPECT_TRUE(Main->Settings()->HistoryEntries().value(0).endsWith(QStringLiteral("copy.quv")));
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(1, 3));

  // From now on Save writes the new file.
  Nudge(view);
  KeyToMain(Qt::Key_S);
  EXPECT_EQ(FrameOffsets(FreshContent(copy)), QPoint(0, 3));
  EXPECT_EQ(Bytes(path), Bytes(TankFile()));
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());

  // A cancelled dialog writes nothing.
  Nudge(view);
  KeyToMain(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(FrameOffsets(FreshContent(copy)), QPoint(0, 3));
  EXPECT_TRUE(view->Edits()->Modified());
}

TEST_F(SaveTest, AFailedSaveKeepsTheOldFileAndTheChanges) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  const QString folder = Dir.filePath(QStringLiteral("locked"));
  TQuvView* view = OpenTank(QStringLiteral("locked/tank.quv"));
  const QString path = folder + QStringLiteral("/tank.quv");
  Nudge(view);
  ASSERT_EQ(::chmod(folder.toLocal8Bit().constData(), 0555), 0);
  KeyToMain(Qt::Key_S);
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1U);
  EXPECT_EQ(GuiTestDialogs().Messages[0].Caption, QStringLiteral("Save"));
  EXPECT_TRUE(GuiTestDialogs().Messages[0].Text.startsWith(
      QStringLiteral("\u201ctank.quv\u201d could not be saved.")));
  EXPECT_TRUE(GuiTestDialogs().Messages[0].Text.contains(QStringLiteral("ermission denied")))
      << GuiTestDialogs().Messages[0].Text.toStdString();
  EXPECT_EQ(Bytes(path), Bytes(TankFile()));
  EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
  EXPECT_TRUE(view->Edits()->Modified());
  EXPECT_TRUE(view->windowTitle().startsWith(QStringLiteral("tank.quv*")));

  // Closing with "Save" that fails keeps the view open.
  QPointer<TQuvView> kept(view);
  GuiTestDialogs().QuestionAnswers = {QStringLiteral("Save")};
  KeyToMain(Qt::Key_W);
  Settle();
  EXPECT_FALSE(kept.isNull());
  ::chmod(folder.toLocal8Bit().constData(), 0755);
}

TEST_F(SaveTest, ASaveOnAFullDiskKeepsTheOldFileAndTheChanges) {
  TSmallDisk disk;
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  const QString path = QString::fromStdString(disk / "tank.quv");
  ASSERT_TRUE(WriteTestFile(path, TankFile()));
  TQuvView* view = Open(path);
  Nudge(view);
  disk.Fill();
  KeyToMain(Qt::Key_S);
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1U);
  EXPECT_TRUE(GuiTestDialogs().Messages[0].Text.contains(QStringLiteral("No space left on device")))
      << GuiTestDialogs().Messages[0].Text.toStdString();
  EXPECT_EQ(Bytes(path), Bytes(TankFile()));
  EXPECT_TRUE(view->windowTitle().startsWith(QStringLiteral("tank.quv*")));
  // The view closes before the disk goes.
  GuiTestDialogs().QuestionAnswers = {QStringLiteral("Discard")};
  KeyToMain(Qt::Key_W);
  Settle();
}

TEST_F(SaveTest, ClosingAChangedViewAsksToSaveDiscardOrCancel) {
  const QString path = Dir.filePath(QStringLiteral("tank.quv"));
  QPointer<TQuvView> view = OpenTank();
  Nudge(view);

  GuiTestDialogs().QuestionAnswers = {QStringLiteral("Cancel")};
  KeyToMain(Qt::Key_W);
  Settle();
  ASSERT_FALSE(view.isNull());
  EXPECT_EQ(GuiTestDialogs().Questions, QStringList{QStringLiteral("Save changes to tank.quv?")});
  EXPECT_TRUE(view->Edits()->Modified());

  GuiTestDialogs().QuestionAnswers = {QStringLiteral("Discard")};
  KeyToMain(Qt::Key_W);
  Settle();
  EXPECT_TRUE(view.isNull());
  EXPECT_EQ(Bytes(path), Bytes(TankFile()));

  view = Open(path);
  Nudge(view);
  GuiTestDialogs().QuestionAnswers = {QStringLiteral("Save")};
  KeyToMain(Qt::Key_W);
  Settle();
  EXPECT_TRUE(view.isNull());
  EXPECT_EQ(FrameOffsets(FreshContent(path)), QPoint(1, 3));

  // An unchanged view closes without a question.
  view = Open(path);
  GuiTestDialogs().Questions.clear();
  KeyToMain(Qt::Key_W);
  Settle();
  EXPECT_TRUE(view.isNull());
  EXPECT_TRUE(GuiTestDialogs().Questions.isEmpty());
}

TEST_F(SaveTest, CancelStopsCloseAllAndQuitting) {
  QPointer<TQuvView> first = OpenTank(QStringLiteral("first.quv"));
  Nudge(first);
  QPointer<TQuvView> second = OpenTank(QStringLiteral("second.quv"));
  Nudge(second);

  // Close All asks from the last window on; Cancel keeps both.
  GuiTestDialogs().QuestionAnswers = {QStringLiteral("Cancel")};
  KeyToMain(Qt::Key_W, Qt::ControlModifier | Qt::ShiftModifier);
  Settle();
  EXPECT_EQ(GuiTestDialogs().Questions, QStringList{QStringLiteral("Save changes to second.quv?")});
  EXPECT_FALSE(first.isNull());
  EXPECT_FALSE(second.isNull());
  // The progress box has gone: the main window takes the keys again.
  QApplication::setActiveWindow(Main.get());

  // Quitting: the second is given up, the first kept, and the program stays.
  GuiTestDialogs().QuestionAnswers = {QStringLiteral("Discard"), QStringLiteral("Cancel")};
  KeyToMain(Qt::Key_Q);
  Settle();
  EXPECT_TRUE(second.isNull());
  EXPECT_FALSE(first.isNull());
  EXPECT_TRUE(Main->isVisible());
  EXPECT_EQ(Main->Views().size(), 1);

  GuiTestDialogs().QuestionAnswers = {QStringLiteral("Save")};
  KeyToMain(Qt::Key_Q);
  Settle();
  EXPECT_FALSE(Main->isVisible());
  EXPECT_EQ(FrameOffsets(FreshContent(Dir.filePath(QStringLiteral("first.quv")))), QPoint(1, 3));
}

TEST_F(SaveTest, AFileChangedOnDiskIsOverwrittenOnlyWhenTheUserSaysSo) {
  const QString path = Dir.filePath(QStringLiteral("tank.quv"));
  TQuvView* view = OpenTank();
  Nudge(view);
  const std::vector<uint8_t> theirs = BuildQuvFile({{"other", {SolidFrame(2, 2, 0, 0, 100)}}});
  ASSERT_TRUE(WriteTestFile(path, theirs));

  KeyToMain(Qt::Key_S);  // unscripted: No
  ASSERT_EQ(GuiTestDialogs().Messages.size(), 1U);
  EXPECT_EQ(GuiTestDialogs().Messages[0].Text,
            QStringLiteral(
                "\u201ctank.quv\u201d has changed on disk since it was opened. Overwrite it?"));
  EXPECT_EQ(GuiTestDialogs().Messages[0].Buttons, QMessageBox::Yes | QMessageBox::No);
  EXPECT_EQ(Bytes(path), Bytes(theirs));
  EXPECT_TRUE(view->Edits()->Modified());

  GuiTestDialogs().MessageAnswers = {QMessageBox::Yes};
  KeyToMain(Qt::Key_S);
  EXPECT_EQ(FrameOffsets(FreshContent(path)), QPoint(1, 3));
  EXPECT_FALSE(view->Edits()->Modified());
  // The file is the view's own again.
  Nudge(view);
  KeyToMain(Qt::Key_S);
  EXPECT_EQ(GuiTestDialogs().Messages.size(), 2U);
  EXPECT_EQ(FrameOffsets(FreshContent(path)), QPoint(0, 3));
}

}  // namespace

namespace {

// A file opened from inside an archive is saved back into it: the entry keeps its storage and
// every other entry its stored bytes.
TEST_F(SaveTest, AFileInsideAnArchiveIsSavedBackIntoIt) {
  THpiBuilder builder;
  builder.HeaderKey = 0x1234567;
  builder.AddFile("anims/tank.quv", TankFile(), {1, {THpiChunkKind::LZ77}, true});
  builder.AddFile("anims/other.quv", MakeSampleQuv(), {1, {THpiChunkKind::ZLib}});
  builder.AddFile("readme.txt", std::vector<uint8_t>(5000, 'r'), {0});
  const QString archive = Dir.filePath(QStringLiteral("units.hpi"));
  builder.WriteFile(archive.toStdString());
  const auto before = hpitest::ReadOutside(ReadBytes(archive));

  TQuvView* view = OpenInRoom(archive + QStringLiteral("/anims/tank.quv"), QSize(400, 300));
  ASSERT_TRUE(view);
  Nudge(view);
  KeyToMain(Qt::Key_S);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
  EXPECT_FALSE(view->Edits()->Modified());

  const auto after = hpitest::ReadOutside(ReadBytes(archive));
  EXPECT_EQ(after.HeaderKey, before.HeaderKey);
  for (const char* path : {"anims/other.quv", "readme.txt"})
    EXPECT_EQ(after.Files.at(path).Block, before.Files.at(path).Block) << path;
  const hpitest::TOutsideFile& tank = after.Files.at("anims/tank.quv");
  EXPECT_EQ(tank.FirstChunk, "lz77");
  EXPECT_TRUE(tank.Encrypted);
  const QString extracted = Write(QStringLiteral("extracted.quv"), tank.Content);
  EXPECT_EQ(FrameOffsets(FreshContent(extracted)), QPoint(1, 3));
}

}  // namespace
