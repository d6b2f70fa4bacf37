// The viewer's export formats: the dialog's format and scale as settings of their own section,
// each format written by the view's export actions, and "Copy frame" on the clipboard.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "ExportDialogU.h"
#include "FrameCursorU.h"
#include "FramePlayerU.h"
#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "ViewExportsU.h"

namespace {

constexpr uint8_t T = SampleTransparentIndex;

// "dot": two frames with transparent pixels; "duo": one frame of two sub-frames.
std::vector<TSampleImage> Sprites() {
  TSampleFrame first{3, 2, 1, 1, 1, {16, T, 200, 40, 41, T}, {}};
  TSampleFrame second{2, 3, 0, 2, 1, {50, 51, T, 52, 53, 54}, {}};
  TSampleFrame left{2, 2, 0, 0, 1, {60, 61, 62, T}, {}};
  TSampleFrame dotted{1, 1, 0, 0, 1, {70}, {}};
  TSampleFrame composed{2, 2, 0, 0, 1, {}, {left, dotted}};
  return {{"dot", {first, second}}, {"duo", {composed}}};
}

class ExportFormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    GuiTestDialogs().Reset();
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
    Main = std::make_unique<TMainForm>(IniName());
    Main->Settings()->SetAnimationSpeed(100000000);
    Main->Settings()->SetSaveLastDir(Dir.path());
    Main->show();
    const QString path = Dir.filePath(QStringLiteral("dot.quv"));
    const std::vector<uint8_t> bytes = BuildQuvFile(Sprites());
    ASSERT_TRUE(WriteTestFile(path, bytes));
    View = Main->OpenQuvFile(QString(), path);
    QApplication::processEvents();
    ASSERT_NE(View, nullptr);
    View->SelectImage(QStringLiteral("dot"));
    ASSERT_NE(View->Cursor()->Image(), nullptr);
  }

  void TearDown() override {
    for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) delete sub;
    QApplication::processEvents();
    Main.reset();
    GuiTestDialogs().Reset();
  }

  QString IniName() const { return Dir.filePath(QStringLiteral("Vellicor.ini")); }

  QStringList IniLines() const {
    QFile file(IniName());
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    for (QString& line : lines) line = line.trimmed();
    return lines;
  }

  // The view's "Export image frames" into a new folder, in that format and scale.
  QDir ExportFrames(TExportFormat format, int scale, const QString& name) {
    Main->Settings()->SetExportFormat(format);
    Main->Settings()->SetExportScale(scale);
    const QString folder = Dir.filePath(name);
    QDir().mkpath(folder);
    GuiTestDialogs().FolderAnswers.push_back(folder);
    View->Exports()->acExportFrames()->trigger();
    return QDir(folder);
  }

  static QRgb Colour(uint8_t index) {
    return qRgba(Palette[index][0], Palette[index][1], Palette[index][2], 255);
  }

  QTemporaryDir Dir;
  std::unique_ptr<TMainForm> Main;
  TQuvView* View = nullptr;
};

TEST_F(ExportFormatTest, DialogStoresFormatAndScaleInTheirOwnSectionAfterTheOthers) {
  auto dialog = std::make_unique<TExportDialog>(View, Main.get());
  dialog->show();
  QApplication::processEvents();
  ASSERT_EQ(dialog->Format->count(), 6);
  EXPECT_EQ(dialog->Format->itemText(2), "Indexed PNG");
  EXPECT_EQ(dialog->Format->itemText(5), "Sprite sheet");
  EXPECT_EQ(dialog->Format->currentIndex(), int(efBmp));
  EXPECT_FALSE(dialog->Scale->isEnabled());  // BMP has no scale
  dialog->ExportFrames->click();
  EXPECT_TRUE(dialog->ImageBitDepth->isEnabled());
  dialog->Format->setCurrentIndex(int(efGif));
  EXPECT_TRUE(dialog->Scale->isEnabled());
  EXPECT_FALSE(dialog->ImageBitDepth->isEnabled());  // bit depth is BMP's alone
  EXPECT_EQ(dialog->Scale->maximum(), 16);
  dialog->Scale->setValue(3);
  dialog->CloseBtn->click();  // stored whether the other options are remembered or not
  dialog.reset();

  EXPECT_EQ(View->FrontEnd()->FormatOptions.Format, efGif);
  EXPECT_EQ(View->FrontEnd()->FormatOptions.Scale, 3);
  const QStringList lines = IniLines();
  const qsizetype history = lines.indexOf("[HistoryList]");
  const qsizetype exportSection = lines.indexOf("[Export]");
  ASSERT_GE(history, 0);
  ASSERT_GT(exportSection, history);
  const qsizetype viewSection = lines.indexOf("[View]");
  ASSERT_GT(viewSection, exportSection);
  EXPECT_EQ(lines.mid(exportSection + 1, 2), (QStringList{"Format=gif", "Scale=3"}));
  EXPECT_FALSE(lines.mid(0, exportSection).contains("Format=gif"));

  TSettingsModel reread(IniName(), Dir.path());
  reread.Load();
  EXPECT_EQ(reread.ExportFormat(), efGif);
  EXPECT_EQ(reread.ExportScale(), 3);

  TExportDialog again(View, Main.get());
  again.show();
  QApplication::processEvents();
  EXPECT_EQ(again.Format->currentIndex(), int(efGif));
  EXPECT_EQ(again.Scale->value(), 3);
}

TEST_F(ExportFormatTest, UnknownStoredFormatAndScaleOutsideTheRangeReadAsTheDefaults) {
  Main.reset();
  QFile file(IniName());
  ASSERT_TRUE(file.open(QIODevice::Append));
  file.write("[Export]\nFormat=tiff\nScale=40\n");
  file.close();
  TSettingsModel settings(IniName(), Dir.path());
  settings.Load();
  EXPECT_EQ(settings.ExportFormat(), efBmp);
  EXPECT_EQ(settings.ExportScale(), 1);
  Main = std::make_unique<TMainForm>(IniName());  // for TearDown
}

TEST_F(ExportFormatTest, ViewExportsWriteEveryFormatUnderItsNames) {
  Main->Settings()->SetToggle(tgAutoPad, false);
  const QDir bmp = ExportFrames(efBmp, 1, "bmp");
  EXPECT_EQ(bmp.entryList(QDir::Files), (QStringList{"dot_0.bmp", "dot_1.bmp"}));

  // PNG: exact palette colours, the transparent index clear, every pixel a 2 x 2 block.
  const QDir png = ExportFrames(efPng, 2, "png");
  EXPECT_EQ(png.entryList(QDir::Files), (QStringList{"dot_0.png", "dot_1.png"}));
  QImage rgba(png.filePath("dot_0.png"));
  ASSERT_EQ(rgba.size(), QSize(6, 4));
  rgba = rgba.convertToFormat(QImage::Format_ARGB32);
  const uint8_t expected[2][3] = {{16, T, 200}, {40, 41, T}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const uint8_t index = expected[y / 2][x / 2];
      if (index == T)
        EXPECT_EQ(qAlpha(rgba.pixel(x, y)), 0) << x << "," << y;
      else
        EXPECT_EQ(rgba.pixel(x, y), Colour(index)) << x << "," << y;
    }

  // Indexed PNG: the frame's own indices and the whole palette, only the transparent entry clear.
  const QDir png8 = ExportFrames(efPng8, 1, "png8");
  const QImage indexed(png8.filePath("dot_1.png"));
  ASSERT_EQ(indexed.format(), QImage::Format_Indexed8);
  ASSERT_EQ(indexed.size(), QSize(2, 3));
  EXPECT_EQ(indexed.colorCount(), 256);
  EXPECT_EQ(indexed.pixelIndex(0, 0), 50);
  EXPECT_EQ(indexed.pixelIndex(0, 1), T);
  EXPECT_EQ(indexed.pixelIndex(1, 2), 54);
  EXPECT_EQ(qAlpha(indexed.color(T)), 0);
  EXPECT_EQ(indexed.color(54), Colour(54));

  const QDir gif = ExportFrames(efGif, 1, "gif");
  EXPECT_EQ(gif.entryList(QDir::Files), QStringList{"dot.gif"});
  QFile gifFile(gif.filePath("dot.gif"));
  ASSERT_TRUE(gifFile.open(QIODevice::ReadOnly));
  EXPECT_TRUE(gifFile.read(6) == "GIF89a");

  const QDir apng = ExportFrames(efApng, 1, "apng");
  EXPECT_EQ(apng.entryList(QDir::Files), QStringList{"dot.apng"});
  QFile apngFile(apng.filePath("dot.apng"));
  ASSERT_TRUE(apngFile.open(QIODevice::ReadOnly));
  EXPECT_TRUE(apngFile.readAll().contains("acTL"));

  const QDir sheet = ExportFrames(efSheet, 2, "sheet");
  EXPECT_EQ(sheet.entryList(QDir::Files), (QStringList{"dot_sheet.json", "dot_sheet.png"}));
  QFile atlasFile(sheet.filePath("dot_sheet.json"));
  ASSERT_TRUE(atlasFile.open(QIODevice::ReadOnly));
  const QJsonObject atlas = QJsonDocument::fromJson(atlasFile.readAll()).object();
  EXPECT_EQ(atlas["frames"].toArray().size(), 2);
  EXPECT_EQ(atlas["meta"].toObject()["scale"].toInt(), 2);
  EXPECT_FALSE(QImage(sheet.filePath("dot_sheet.png")).isNull());

  // Frame data keeps its (sub-frame) bitmaps BMP whatever the format.
  View->ImageList()->clearSelection();
  View->SelectImage(QStringLiteral("duo"));
  ASSERT_NE(View->Cursor()->Image(), nullptr);
  Main->Settings()->SetToggle(tgExportFrameWhenExportFrameData, true);
  const QString data = Dir.filePath("data");
  QDir().mkpath(data);
  GuiTestDialogs().SaveAnswers.push_back(data + "/duo_Data.txt");
  GuiTestDialogs().FolderAnswers.push_back(data);
  View->Exports()->acExportFramesData()->trigger();
  EXPECT_EQ(QDir(data).entryList(QDir::Files),
            (QStringList{"duo_0_0.bmp", "duo_0_1.bmp", "duo_Data.txt"}));
  EXPECT_EQ(View->FrontEnd()->FormatOptions.Format, efSheet);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(ExportFormatTest, SingleFrameExportProposesAPngNameAndPerImageFormatsWriteTheFrameAsPng) {
  Main->Settings()->SetExportFormat(efApng);
  const QString file = Dir.filePath("one.png");
  GuiTestDialogs().SaveAnswers.push_back(file);
  View->Exports()->acExportFrame()->trigger();
  EXPECT_EQ(GuiTestDialogs().LastProposedName, "dot_0.png");
  EXPECT_EQ(GuiTestDialogs().LastFilter, "PNG image|*.png");
  const QImage image(file);
  EXPECT_FALSE(image.isNull());
  EXPECT_TRUE(image.hasAlphaChannel());
  EXPECT_EQ(View->FrontEnd()->FormatOptions.Format, efApng);  // the choice stays
}

TEST_F(ExportFormatTest, ViewExportsAskBeforeReplacingFilesButNotForTheFileASaveDialogChose) {
  auto bytes = [](const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  };
  const QDir sheet = ExportFrames(efSheet, 1, "sheet");
  ASSERT_EQ(sheet.entryList(QDir::Files), (QStringList{"dot_sheet.json", "dot_sheet.png"}));
  EXPECT_TRUE(GuiTestDialogs().Questions.isEmpty());
  const QByteArray png = bytes(sheet.filePath("dot_sheet.png"));
  QFile::resize(sheet.filePath("dot_sheet.json"), 3);
  const QByteArray json = bytes(sheet.filePath("dot_sheet.json"));
  GuiTestDialogs().QuestionAnswers.push_back("Cancel");
  ExportFrames(efSheet, 2, "sheet");
  EXPECT_EQ(GuiTestDialogs().Questions, QStringList{"Replace 2 existing files?"});
  EXPECT_EQ(bytes(sheet.filePath("dot_sheet.png")), png);
  EXPECT_EQ(bytes(sheet.filePath("dot_sheet.json")), json);
  GuiTestDialogs().QuestionAnswers.push_back("Replace");
  ExportFrames(efSheet, 2, "sheet");
  EXPECT_NE(bytes(sheet.filePath("dot_sheet.png")), png);
  EXPECT_NE(bytes(sheet.filePath("dot_sheet.json")), json);
  EXPECT_EQ(sheet.entryList(QDir::Files).size(), 2);  // no temporary file left

  // One frame into a file the save dialog chose: already confirmed there.
  const QByteArray scaled = bytes(sheet.filePath("dot_sheet.png"));
  Main->Settings()->SetExportFormat(efPng);
  GuiTestDialogs().SaveAnswers.push_back(sheet.filePath("dot_sheet.png"));
  View->Exports()->acExportFrame()->trigger();
  EXPECT_EQ(GuiTestDialogs().Questions.size(), 2);
  EXPECT_NE(bytes(sheet.filePath("dot_sheet.png")), scaled);

  // Frame data with its sub-frame bitmaps: the data file is confirmed, the bitmaps are asked.
  View->ImageList()->clearSelection();
  View->SelectImage(QStringLiteral("duo"));
  Main->Settings()->SetToggle(tgExportFrameWhenExportFrameData, true);
  const QString data = sheet.filePath("duo_Data.txt");
  for (int round = 0; round < 2; ++round) {
    GuiTestDialogs().SaveAnswers.push_back(data);
    GuiTestDialogs().FolderAnswers.push_back(sheet.path());
    View->Exports()->acExportFramesData()->trigger();
  }
  EXPECT_EQ(GuiTestDialogs().Questions.size(), 3);
  EXPECT_EQ(GuiTestDialogs().Questions.back(), "Replace 2 existing files?");
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(ExportFormatTest, CopyFramePutsTheFrameOrSubFrameOnTheClipboardWithAlpha) {
  QApplication::clipboard()->clear();
  View->Exports()->acCopyFrame()->trigger();
  QImage copied = QApplication::clipboard()->image().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(copied.size(), QSize(3, 2));
  EXPECT_EQ(copied.pixel(0, 0), Colour(16));
  EXPECT_EQ(qAlpha(copied.pixel(1, 0)), 0);
  EXPECT_EQ(copied.pixel(2, 0), Colour(200));
  EXPECT_EQ(copied.pixel(1, 1), Colour(41));
  EXPECT_EQ(qAlpha(copied.pixel(2, 1)), 0);

  View->ImageList()->clearSelection();
  View->SelectImage(QStringLiteral("duo"));
  ASSERT_NE(View->Cursor()->Image(), nullptr);
  View->Player()->SetSubFrameMode(true);
  ASSERT_TRUE(View->Cursor()->SubFrameMode());
  View->Cursor()->Frame()->CurrentSubFrame = 1;
  View->Exports()->acCopyFrame()->trigger();
  copied = QApplication::clipboard()->image().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(copied.size(), QSize(1, 1));
  EXPECT_EQ(copied.pixel(0, 0), Colour(70));
  // The sub-frame's PNG export has the same pixels.
  Main->Settings()->SetToggle(tgAutoPad, false);
  Main->Settings()->SetExportFormat(efPng);
  const QString file = Dir.filePath("sub.png");
  GuiTestDialogs().SaveAnswers.push_back(file);
  View->Exports()->acExportSubFrame()->trigger();
  EXPECT_EQ(GuiTestDialogs().LastProposedName, "duo_0_1.png");
  EXPECT_EQ(QImage(file).convertToFormat(QImage::Format_ARGB32), copied);

  // The main window's menu item carries the key.
  bool found = false;
  for (QAction* item : Main->Menus()->ImageManipulationMenu->actions())
    if (item->text() == "Copy frame") {
      found = true;
      EXPECT_EQ(item->shortcut(), QKeySequence(QKeySequence::Copy));
      EXPECT_TRUE(item->isVisible());
    }
  EXPECT_TRUE(found);
}

}  // namespace
