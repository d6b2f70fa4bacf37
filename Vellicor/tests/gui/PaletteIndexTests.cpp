// The palette index of empty pixels as the user meets it: Settings > Load Palette proposes it,
// the status bar shows it and chooses another, and whatever is in force, the canvas, the
// inspector, Copy frame, a fresh open, the PNG export and vellicor-cli show the same pixels.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QProcess>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "FrameCursorU.h"
#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "PaletteCommandsU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SpriteCanvasU.h"
#include "TransparentIndexDialogU.h"
#include "ViewExportsU.h"

namespace {

constexpr uint8_t T = SampleTransparentIndex;
constexpr QRgb Background = qRgb(0, 0, 255);  // no entry of the test palette

// Entry i of the test palette is (i, 255 - i, 77), but entry 16 has the colour of entry 0: a
// pixel of index 16 is a colour, not an empty pixel.
QRgb JascColour(int i) {
  if (i == 16) i = 0;
  return qRgb(i, 255 - i, 77);
}

QByteArray JascPalette() {
  QByteArray text = "JASC-PAL\r\n0100\r\n256\r\n";
  for (int i = 0; i < 256; ++i) {
    const QRgb c = JascColour(i);
    text += QByteArray::number(qRed(c)) + ' ' + QByteArray::number(qGreen(c)) + ' ' +
            QByteArray::number(qBlue(c)) + "\r\n";
  }
  return text;
}

QRgb BuiltInColour(int i) {
  return qRgb(BuiltInPalette()[i][0], BuiltInPalette()[i][1], BuiltInPalette()[i][2]);
}

class PaletteIndexTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    // Run-length rows: an empty run, a literal; a repeat, an empty run. One frame in the file.
    TSampleFrame dot{3, 2, 0, 0, 1, {T, 16, 200, 16, 16, T}, {}};
    QuvFile = Write(QStringLiteral("dot.quv"), BuildQuvFile({{"dot", {dot}}}));
    JascFile = Dir.filePath(QStringLiteral("game.pal"));
    QFile palette(JascFile);
    ASSERT_TRUE(palette.open(QIODevice::WriteOnly));
    palette.write(JascPalette());
    palette.close();
    StartProgram();
  }

  void TearDown() override {
    TViewTest::TearDown();
    Palette = BuiltInPalette();
    TransparentIndex = BuiltInTransparentIndex;
  }

  // The program as it starts with its settings file in the folder: a first run, then settings
  // that make the pixels easy to tell apart.
  void StartProgram() {
    Main = std::make_unique<TMainForm>(Dir.filePath(QStringLiteral("Vellicor.ini")));
    Main->resize(900, 700);
    Main->show();
    Main->FirstActivation({});
    Main->Settings()->SetAnimationSpeed(100000000);
    Main->Settings()->SetBackGroundColor(0x00FF0000);  // 0x00BBGGRR: blue
    Main->Settings()->SetToggle(tgTransparent, true);
    Main->Settings()->SetToggle(tgCheckerboard, false);
    Main->Settings()->SetToggle(tgAutoPad, false);
    Main->Settings()->SetSaveLastDir(Dir.path());
    QApplication::setActiveWindow(Main.get());
  }

  TQuvView* OpenDot() {
    TQuvView* view = Main->OpenQuvFile(QString(), QuvFile);
    EXPECT_NE(view, nullptr);
    if (!view) return nullptr;
    view->SelectImage(QStringLiteral("dot"));
    view->Canvas()->SetZoom(4);
    QApplication::processEvents();
    return view;
  }

  // The frame's 3 x 2 pixels as drawn (a single frame lands at the canvas origin).
  static QImage Drawn(TQuvView* view) {
    view->RepaintImage();
    return view->Canvas()
        ->PaintBox()
        ->Canvas()
        .copy(0, 0, 3, 2)
        .convertToFormat(QImage::Format_RGB32);
  }

  // Settings > Load Palette…: the menu item with Enter, the file, then `answer` on the index.
  void LoadPaletteFromMenu(const QString& file,
                           const std::function<void(TTransparentIndexDialog*)>& answer) {
    GuiTestDialogs().OpenAnswers.push_back({{file}, 0});
    const TAnswerModal<TTransparentIndexDialog> index(answer);
    Main->Menus()->SettingsMenu->popup(Main->mapToGlobal(QPoint(10, 10)));
    QApplication::processEvents();
    Main->Menus()->SettingsMenu->setActiveAction(Main->acLoadPalette);
    QTest::keyClick(Main->Menus()->SettingsMenu, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(index.Answered());
    // The menu and the dialog closed: the main window is the active one again.
    QApplication::setActiveWindow(Main.get());
  }

  static void PressEnter(TTransparentIndexDialog* dialog) {
    QTest::keyClick(dialog->IndexEdit, Qt::Key_Return);
  }

  static std::function<void(TTransparentIndexDialog*)> Type(const QString& number) {
    return [number](TTransparentIndexDialog* dialog) {
      dialog->IndexEdit->selectAll();
      QTest::keyClicks(dialog->IndexEdit, number);
      QTest::keyClick(dialog->IndexEdit, Qt::Key_Return);
    };
  }

  // What the status bar of the view says with the pointer over frame pixel (x, y) at 4x.
  static QString Inspect(TQuvView* view, int x, int y) {
    const QPointF at(4 * x + 2, 4 * y + 2);
    QMouseEvent move(QEvent::MouseMove, at,
                     QPointF(view->Canvas()->PaintBox()->mapToGlobal(at.toPoint())), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view->Canvas()->PaintBox(), &move);
    return view->findChild<QLabel*>(QStringLiteral("PixelStatus"))->text();
  }

  QString IndexShown() const { return Main->PaletteCommands()->TransparentIndexButton->text(); }

  QString QuvFile, JascFile;
};

TEST_F(PaletteIndexTest, ALoadedPaletteLeavesEmptyPixelsEmptyOnTheCanvasInTheInspectorAndCopy) {
  TQuvView* view = OpenDot();
  ASSERT_TRUE(view && view->Cursor()->Image());
  EXPECT_EQ(IndexShown(), "Transparent index: 9");
  EXPECT_EQ(Drawn(view).pixel(0, 0), Background);

  LoadPaletteFromMenu(JascFile, PressEnter);  // the proposal: a palette file's own index 0
  EXPECT_EQ(Main->Settings()->PaletteFile(), JascFile);
  EXPECT_EQ(IndexShown(), "Transparent index: 0");
  EXPECT_EQ(Main->statusBar()->currentMessage(),
            "Palette \"game.pal\" loaded: empty pixels are index 0.");
  const QImage drawn = Drawn(view);
  // Index 16 has the colour of entry 0, and still is a colour.
  EXPECT_EQ(drawn.pixel(0, 0), Background);
  EXPECT_EQ(drawn.pixel(1, 0), JascColour(16));
  EXPECT_EQ(drawn.pixel(2, 0), JascColour(200));
  EXPECT_EQ(drawn.pixel(0, 1), JascColour(16));
  EXPECT_EQ(drawn.pixel(1, 1), JascColour(16));
  EXPECT_EQ(drawn.pixel(2, 1), Background);
  EXPECT_EQ(Inspect(view, 0, 0), "Pixel 0, 0 (hot spot 0, 0): index 0, transparent");
  EXPECT_EQ(Inspect(view, 1, 0), "Pixel 1, 0 (hot spot 1, 0): index 16, #00FF4D");

  // Copy frame by its key.
  QApplication::clipboard()->clear();
  view->Canvas()->PaintBox()->setFocus();
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_C, Qt::ControlModifier);
  const QImage copied = QApplication::clipboard()->image().convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(copied.size(), QSize(3, 2));
  EXPECT_EQ(qAlpha(copied.pixel(0, 0)), 0);
  EXPECT_EQ(qAlpha(copied.pixel(2, 1)), 0);
  EXPECT_EQ(copied.pixel(1, 0), JascColour(16) | 0xFF000000);
  EXPECT_EQ(copied.pixel(2, 0), JascColour(200) | 0xFF000000);

  // A window opened now shows the same pixels.
  TQuvView* fresh = OpenDot();
  ASSERT_TRUE(fresh && fresh->Cursor()->Image());
  EXPECT_EQ(Drawn(fresh), drawn);
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(PaletteIndexTest, APaletteLoadedWithTwoViewsOpenReachesBothAndTheViewsOpenedLater) {
  TQuvView* first = OpenDot();
  TQuvView* second = OpenDot();
  ASSERT_TRUE(first && first->Cursor()->Image() && second && second->Cursor()->Image());
  EXPECT_EQ(Drawn(first).pixel(2, 0), BuiltInColour(200));
  EXPECT_EQ(Drawn(second).pixel(2, 0), BuiltInColour(200));

  LoadPaletteFromMenu(JascFile, Type(QStringLiteral("16")));
  for (TQuvView* view : {first, second, OpenDot()}) {
    ASSERT_TRUE(view && view->Cursor()->Image());
    const QImage drawn = Drawn(view);
    // The palette's colours, and index 16 (the empty runs decoded as 16 too) empty.
    EXPECT_EQ(drawn.pixel(2, 0), JascColour(200));
    EXPECT_EQ(drawn.pixel(1, 0), Background);
    EXPECT_EQ(drawn.pixel(1, 1), Background);
    EXPECT_EQ(drawn.pixel(0, 0), Background);
  }
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

TEST_F(PaletteIndexTest, TheStatusBarChoosesTheIndexWhichIsKeptAndDecodesOpenViewsAgain) {
  TQuvView* view = OpenDot();
  ASSERT_TRUE(view && view->Cursor()->Image());
  LoadPaletteFromMenu(JascFile, PressEnter);
  {
    const TAnswerModal<TTransparentIndexDialog> index(Type(QStringLiteral("200")));
    QTest::mouseClick(Main->PaletteCommands()->TransparentIndexButton, Qt::LeftButton);
    EXPECT_TRUE(index.Answered());
  }
  EXPECT_EQ(IndexShown(), "Transparent index: 200");
  EXPECT_EQ(Main->statusBar()->currentMessage(), "Empty pixels are now palette index 200.");
  // Index 200 is empty now, and so are the empty runs, decoded as 200; index 0 does not occur.
  QImage drawn = Drawn(view);
  EXPECT_EQ(drawn.pixel(2, 0), Background);
  EXPECT_EQ(drawn.pixel(0, 0), Background);
  EXPECT_EQ(drawn.pixel(1, 0), JascColour(16));
  EXPECT_EQ(Inspect(view, 0, 0), "Pixel 0, 0 (hot spot 0, 0): index 200, transparent");
  EXPECT_EQ(Drawn(OpenDot()), drawn);

  // Cancel changes nothing.
  {
    const TAnswerModal<TTransparentIndexDialog> index(
        [](TTransparentIndexDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    QTest::mouseClick(Main->PaletteCommands()->TransparentIndexButton, Qt::LeftButton);
    EXPECT_TRUE(index.Answered());
  }
  EXPECT_EQ(IndexShown(), "Transparent index: 200");

  // The next start keeps palette and index.
  StopMain();
  Palette = BuiltInPalette();
  TransparentIndex = SampleTransparentIndex;
  StartProgram();
  EXPECT_EQ(IndexShown(), "Transparent index: 200");
  view = OpenDot();
  ASSERT_TRUE(view && view->Cursor()->Image());
  EXPECT_EQ(Drawn(view), drawn);

  // The built-in palette brings its own index back.
  Main->acBuiltInPalette->trigger();
  EXPECT_EQ(IndexShown(), "Transparent index: 9");
  EXPECT_EQ(Main->statusBar()->currentMessage(),
            "Built-in palette in use: empty pixels are index 9.");
  drawn = Drawn(view);
  EXPECT_EQ(drawn.pixel(0, 0), Background);
  EXPECT_EQ(drawn.pixel(2, 0), BuiltInColour(200));
  EXPECT_EQ(drawn.pixel(1, 0), BuiltInColour(16));
}

TEST_F(PaletteIndexTest, TheViewersPngExportAndTheCommandLineWriteTheSamePixels) {
  const QString cli = QApplication::applicationDirPath() + QStringLiteral("/../tools/vellicor-cli");
  if (!QFileInfo::exists(cli)) GTEST_SKIP() << "vellicor-cli not built";
  TQuvView* view = OpenDot();
  ASSERT_TRUE(view && view->Cursor()->Image());
  Main->Settings()->SetExportFormat(efPng);
  const auto compare = [&](const QString& name, const QStringList& options) {
    const QString viewer = Dir.filePath(name + QStringLiteral("-viewer"));
    QDir().mkpath(viewer);
    GuiTestDialogs().FolderAnswers.push_back(viewer);
    view->Exports()->acExportFrames()->trigger();
    const QString tool = Dir.filePath(name + QStringLiteral("-cli"));
    QProcess run;
    run.setWorkingDirectory(Dir.path());
    run.start(cli, QStringList{"export", QuvFile, "--out", tool, "--format", "png", "--no-autopad",
                               "--palette", JascFile} +
                       options);
    ASSERT_TRUE(run.waitForFinished(30000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    const QImage shown(viewer + QStringLiteral("/dot_0.png"));
    const QImage written(tool + QStringLiteral("/dot_0.png"));
    ASSERT_EQ(shown.size(), QSize(3, 2)) << name.toStdString();
    EXPECT_EQ(shown.convertToFormat(QImage::Format_ARGB32),
              written.convertToFormat(QImage::Format_ARGB32))
        << name.toStdString();
    EXPECT_EQ(qAlpha(shown.pixel(0, 0)), 0) << name.toStdString();
  };
  LoadPaletteFromMenu(JascFile, PressEnter);
  compare(QStringLiteral("own"), {});
  LoadPaletteFromMenu(JascFile, Type(QStringLiteral("41")));
  EXPECT_EQ(IndexShown(), "Transparent index: 41");
  compare(QStringLiteral("chosen"), {"--transparent-index", "41"});
  EXPECT_TRUE(GuiTestDialogs().Messages.empty());
}

}  // namespace
