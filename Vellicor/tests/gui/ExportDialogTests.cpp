// The "Export ..." dialog: modes and their controls, ranges from 1, the proposed data file name,
// the options of one export against the remembered settings, and failures.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "ExportDialogU.h"
#include "FrameCursorU.h"
#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "ViewExportsU.h"

namespace {

TSampleImage TenFrames(const std::string& name) {
  TSampleImage image{name, {}};
  for (int i = 0; i < 10; ++i) {
    TSampleFrame frame;
    frame.Width = 3 + i % 2;
    frame.Height = 4;
    frame.XOffset = i % 3;
    frame.YOffset = 1;
    frame.Pixels.assign(size_t(frame.Width) * 4, uint8_t(16 + i));
    image.Frames.push_back(frame);
  }
  return image;
}

class ExportDialogTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    StartMain();
    Main->Settings()->SetSaveLastDir(Dir.path());
    View = Open(Write(QStringLiteral("walk.quv"), BuildQuvFile({TenFrames("walker")})));
    ASSERT_NE(View, nullptr);
    View->SelectImage(QStringLiteral("walker"));
    ASSERT_NE(View->Cursor()->Image(), nullptr);
  }

  void TearDown() override {
    Dialog.reset();
    TViewTest::TearDown();
  }

  TExportDialog& Show() {
    Dialog = std::make_unique<TExportDialog>(View, Main.get());
    Dialog->show();
    QApplication::processEvents();
    return *Dialog;
  }

  QString Folder(const QString& name) {
    const QString path = Dir.filePath(name);
    QDir().mkpath(path);
    return path;
  }

  TQuvView* View = nullptr;
  std::unique_ptr<TExportDialog> Dialog;
};

TEST_F(ExportDialogTest, OpensOnTheFirstModeOnFirstUseAndModesShowTheirControls) {
  TExportDialog& d = Show();
  EXPECT_EQ(d.windowTitle(), "Export ...");
  EXPECT_TRUE(d.CloseBtn->toolTip().contains("keeps the options"));
  EXPECT_TRUE(d.CancelBtn->toolTip().contains("restores the options"));
  EXPECT_EQ(d.ExportMode, 0);
  EXPECT_TRUE(d.ExportFrames->isChecked());
  EXPECT_TRUE(d.ExportBtn->isEnabled());
  EXPECT_TRUE(d.StartFrameIndex->isVisible());
  EXPECT_FALSE(d.StartSubframeIndex->isVisible());
  EXPECT_FALSE(d.ExportFrameWhenExportFrameData->isVisible());
  EXPECT_TRUE(d.AutoPadExportedFrames->isChecked());
  EXPECT_EQ(d.StartFrameIndex->value(), 1);
  EXPECT_EQ(d.EndFrameIndex->value(), 10);
  EXPECT_EQ(d.EndFrameIndex->maximum(), 10);
  EXPECT_EQ(d.StartFrameIndex->minimum(), 1);

  d.ExportSubframes->click();
  EXPECT_TRUE(d.ExportBtn->isEnabled());
  EXPECT_EQ(d.ExportMode, 1);
  EXPECT_TRUE(d.StartSubframeIndex->isVisible());
  EXPECT_TRUE(d.ImageBitDepth->isVisible());

  d.ExportFrames->click();
  EXPECT_EQ(d.ExportMode, 0);
  EXPECT_FALSE(d.StartSubframeIndex->isVisible());
  EXPECT_TRUE(d.EndFrameIndex->isVisible());
  EXPECT_FALSE(d.FrameDataExportType->isVisible());
}

TEST_F(ExportDialogTest, BitDepthPairFollowsTheExportFramesCheckBoxInDataMode) {
  TExportDialog& d = Show();
  d.ExportFramesData->click();
  EXPECT_EQ(d.ExportMode, 2);
  EXPECT_TRUE(d.FrameDataExportType->isVisible());
  EXPECT_FALSE(d.ImageBitDepth->isVisible());
  EXPECT_FALSE(d.ImageBitDepthLbl->isVisible());
  d.ExportFrameWhenExportFrameData->click();
  EXPECT_TRUE(d.ImageBitDepth->isVisible());
  EXPECT_TRUE(d.ImageBitDepthLbl->isVisible());
  d.ExportFrameWhenExportFrameData->click();
  EXPECT_FALSE(d.ImageBitDepth->isVisible());
}

TEST_F(ExportDialogTest, FrameRangeTwoToFourWritesFramesOneToThree) {
  TExportDialog& d = Show();
  d.ExportFrames->click();
  d.StartFrameIndex->setValue(2);
  d.EndFrameIndex->setValue(4);
  const QString out = Folder("range");
  GuiTestDialogs().FolderAnswers.push_back(out);
  d.ExportBtn->click();
  EXPECT_EQ(GuiTestDialogs().Asked, QStringList{"folder:Select folder(ignores filename):"});
  EXPECT_EQ(QDir(out).entryList(QDir::Files),
            (QStringList{"walker_01.bmp", "walker_02.bmp", "walker_03.bmp"}));
  EXPECT_EQ(Main->Settings()->SaveLastDir(), out);
  EXPECT_TRUE(d.isVisible());  // stays open for further exports
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(ExportDialogTest, DataModeProposesNameWithTheRangeFromOneAndWritesTheFile) {
  TExportDialog& d = Show();
  d.ExportFramesData->click();
  const QString out = Folder("data");
  GuiTestDialogs().SaveAnswers.push_back(out + "/walker.txt");
  d.ExportBtn->click();
  EXPECT_EQ(GuiTestDialogs().LastProposedName, "walker_1_10");
  EXPECT_EQ(GuiTestDialogs().LastFilter,
            "Text file|*.txt|Comma delemited text file|*.csv|Any file|*.*");
  QFile data(out + "/walker.txt");
  ASSERT_TRUE(data.open(QIODevice::ReadOnly));
  EXPECT_EQ(data.readAll().count('\n'), 12);  // two first lines, ten frames

  // Cancelling the save dialog ends only that export.
  d.ExportBtn->click();
  EXPECT_TRUE(d.isVisible());
}

TEST_F(ExportDialogTest, OptionsOfOneExportAreForgottenUnlessRemembered) {
  ASSERT_EQ(Main->Settings()->ExportBitDepth(), pf24bit);
  ASSERT_TRUE(Main->acAutoPad->isChecked());
  TExportDialog& d = Show();
  d.ExportFrames->click();
  d.ImageBitDepth->setCurrentIndex(2);  // "8 Bit"
  d.AutoPadExportedFrames->setChecked(false);
  GuiTestDialogs().FolderAnswers.push_back(Folder("once"));
  d.ExportBtn->click();
  EXPECT_EQ(View->FrontEnd()->ExportPixelFormat, pf24bit);
  EXPECT_TRUE(View->FrontEnd()->AutoPad);
  d.CloseBtn->click();
  EXPECT_EQ(Main->Settings()->ExportBitDepth(), pf24bit);
  EXPECT_TRUE(Main->acAutoPad->isChecked());
  EXPECT_FALSE(Main->Settings()->RememberExportSettings());

  TExportDialog& again = Show();
  again.ImageBitDepth->setCurrentIndex(2);
  again.AutoPadExportedFrames->setChecked(false);
  again.FrameDataExportType->setCurrentIndex(2);
  again.RememberSettings->setChecked(true);
  again.CloseBtn->click();
  EXPECT_EQ(Main->Settings()->ExportBitDepth(), pf8bit);
  EXPECT_EQ(Main->Settings()->FrameDataExportType(), 2);
  EXPECT_FALSE(Main->acAutoPad->isChecked());
  EXPECT_TRUE(Main->Settings()->RememberExportSettings());
  EXPECT_EQ(View->FrontEnd()->ExportPixelFormat, pf8bit);
  EXPECT_FALSE(View->FrontEnd()->AutoPad);

  // The selected-frames padding is kept whether remembered or not, and reaches the views.
  const bool selectedOnly = Main->acAutoPadUsingSelectedFrames->isChecked();
  TExportDialog& fourth = Show();
  fourth.RememberSettings->setChecked(false);
  fourth.AutoPadUsingSelectedFrames->setChecked(!selectedOnly);
  fourth.CloseBtn->click();
  EXPECT_EQ(Main->acAutoPadUsingSelectedFrames->isChecked(), !selectedOnly);
  EXPECT_EQ(View->FrontEnd()->AutoPadUsingSelectedFrames, !selectedOnly);
  EXPECT_EQ(Main->Settings()->ExportBitDepth(), pf8bit);

  // Cancel stores nothing.
  TExportDialog& third = Show();
  EXPECT_FALSE(third.RememberSettings->isChecked());  // as the last Close left it
  EXPECT_EQ(third.ImageBitDepth->currentIndex(), 2);
  third.ImageBitDepth->setCurrentIndex(6);
  third.CancelBtn->click();
  EXPECT_EQ(Main->Settings()->ExportBitDepth(), pf8bit);
}

TEST_F(ExportDialogTest, FailingExportReportsTheErrorAndPutsTheOptionsBack) {
  TExportDialog& d = Show();
  d.ExportFrames->click();
  d.ImageBitDepth->setCurrentIndex(0);
  d.AutoPadExportedFrames->setChecked(false);
  GuiTestDialogs().FolderAnswers.push_back(Dir.filePath("no/such/folder"));
  d.ExportBtn->click();
  EXPECT_EQ(GuiTestDialogs().Messages.size(), 1u);
  EXPECT_EQ(View->FrontEnd()->ExportPixelFormat, pf24bit);
  EXPECT_TRUE(View->FrontEnd()->AutoPad);
  EXPECT_TRUE(d.isVisible());
}

TEST_F(ExportDialogTest, ClosesItselfWhenTheViewShowsNoImage) {
  View->ClearImage();
  ASSERT_EQ(View->Cursor()->Image(), nullptr);
  TExportDialog& d = Show();
  QApplication::processEvents();
  EXPECT_FALSE(d.isVisible());
  EXPECT_FALSE(d.RememberSettings->isChecked());
}

// The views stand still meanwhile (see PlaybackTests) while the Animate setting stays as it is.
TEST_F(ExportDialogTest, ExportCommandShowsTheDialogModallyAndKeepsTheAnimateSetting) {
  Main->acAnimate->setChecked(true);
  Main->SetStatusText(QStringLiteral("before"));
  bool sawDialog = false, animatingMeanwhile = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<TExportDialog*>(QApplication::activeModalWidget());
    sawDialog = dialog != nullptr;
    animatingMeanwhile = Main->acAnimate->isChecked();
    if (dialog) dialog->CancelBtn->click();
  });
  View->Exports()->acExportGeneric()->trigger();
  EXPECT_TRUE(sawDialog);
  EXPECT_TRUE(animatingMeanwhile);
  EXPECT_TRUE(Main->acAnimate->isChecked());
  EXPECT_EQ(Main->StatusText(), "before");
}

TEST_F(ExportDialogTest, OpensOnTheModeOfTheLastExport) {
  TExportDialog& d = Show();
  d.ExportSubframes->click();
  d.CancelBtn->click();
  EXPECT_EQ(Show().ExportMode, 0);  // chosen without exporting: not used
  Dialog->ExportFramesData->click();
  GuiTestDialogs().SaveAnswers.push_back(Folder("last") + "/walker.txt");
  Dialog->ExportBtn->click();
  Dialog->CancelBtn->click();
  EXPECT_EQ(Main->Settings()->ExportDialogOption(), 2);
  TExportDialog& again = Show();
  EXPECT_EQ(again.ExportMode, 2);
  EXPECT_TRUE(again.ExportFramesData->isChecked());
  EXPECT_TRUE(again.FrameDataExportType->isVisible());
  EXPECT_FALSE(again.StartSubframeIndex->isVisible());
}

// Files of the export's names in the folder: asked once, kept on Cancel, replaced on Replace.
TEST_F(ExportDialogTest, ReplacingExistingFilesIsAskedOnce) {
  const QString out = Folder("again");
  const QByteArray old("old bytes");
  for (const char* name : {"walker_01.bmp", "walker_03.bmp", "other.bmp"}) {
    QFile file(out + '/' + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(old);
  }
  auto bytesOf = [&](const QString& name) {
    QFile file(out + '/' + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  };
  TExportDialog& d = Show();
  d.StartFrameIndex->setValue(2);
  d.EndFrameIndex->setValue(4);  // walker_01 .. walker_03
  GuiTestDialogs().FolderAnswers.push_back(out);
  GuiTestDialogs().QuestionAnswers.push_back("Cancel");
  d.ExportBtn->click();
  EXPECT_EQ(GuiTestDialogs().Questions, QStringList{"Replace 2 existing files?"});
  EXPECT_EQ(bytesOf("walker_01.bmp"), old);
  EXPECT_EQ(bytesOf("walker_03.bmp"), old);
  EXPECT_FALSE(QFileInfo::exists(out + "/walker_02.bmp"));  // nothing at all was written
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());

  GuiTestDialogs().FolderAnswers.push_back(out);
  GuiTestDialogs().QuestionAnswers.push_back("Replace");
  d.ExportBtn->click();
  EXPECT_EQ(GuiTestDialogs().Questions.size(), 2);
  EXPECT_TRUE(bytesOf("walker_01.bmp").startsWith("BM"));
  EXPECT_TRUE(bytesOf("walker_03.bmp").startsWith("BM"));
  EXPECT_TRUE(QFileInfo::exists(out + "/walker_02.bmp"));
  EXPECT_EQ(bytesOf("other.bmp"), old);

  // A fresh folder: no question.
  GuiTestDialogs().FolderAnswers.push_back(Folder("fresh"));
  d.ExportBtn->click();
  EXPECT_EQ(GuiTestDialogs().Questions.size(), 2);
  EXPECT_EQ(QDir(Dir.filePath("fresh")).entryList(QDir::Files).size(), 3);

  // The data file a save dialog confirmed is not asked about again.
  d.ExportFramesData->click();
  d.ExportFrameWhenExportFrameData->setChecked(false);
  GuiTestDialogs().SaveAnswers.push_back(out + "/walker.txt");
  d.ExportBtn->click();  // writes walker.txt
  GuiTestDialogs().SaveAnswers.push_back(out + "/walker.txt");
  d.ExportBtn->click();
  EXPECT_EQ(GuiTestDialogs().Questions.size(), 2);
}

TEST_F(ExportDialogTest, BitDepthListMapsPositionsAndFallsBackTo24Bits) {
  EXPECT_EQ(TExportDialog::BitDepthFormat(0), pf1bit);
  EXPECT_EQ(TExportDialog::BitDepthFormat(3), pf15bit);
  EXPECT_EQ(TExportDialog::BitDepthFormat(6), pf32bit);
  EXPECT_EQ(TExportDialog::BitDepthFormat(-1), pf24bit);
  EXPECT_EQ(TExportDialog::BitDepthFormat(7), pf24bit);
  EXPECT_EQ(TExportDialog::BitDepthIndex(pf16bit), 4);
  EXPECT_EQ(TExportDialog::BitDepthIndex(TPixelFormat(99)), 5);
}

}  // namespace

namespace {

// The real save dialog: a bare name typed for frame data comes back with ".txt".
TEST(SaveDialog, BareNameGetsTheExtensionOfTheFirstFilter) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TDialogs real;
  QString suffix;
  bool seen = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    // The visible file dialog, whatever else an earlier test left open in this process.
    QFileDialog* dialog = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
      if (auto* file = qobject_cast<QFileDialog*>(widget); file && file->isVisible()) dialog = file;
    if (!dialog || seen) return;
    seen = true;
    suffix = dialog->defaultSuffix();
    dialog->selectFile(QStringLiteral("frames"));
    QMetaObject::invokeMethod(dialog, "accept");
  });
  poll.start(20);
  const QString chosen = real.GetSaveFileName(
      nullptr, QStringLiteral("Save frame data..."), dir.path(), QString(),
      QStringLiteral("Text file|*.txt|Comma delemited text file|*.csv|Any file|*.*"));
  poll.stop();
  ASSERT_TRUE(seen);
  EXPECT_EQ(suffix, "txt");
  EXPECT_EQ(chosen, dir.filePath("frames.txt"));
}

}  // namespace
