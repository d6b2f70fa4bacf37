// The main window's client area and bounds: no arranging in tabs mode, tabs named after their
// file, stored bounds brought onto the screen, and Copy frame telling what it copied.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

#include "FramePlayerU.h"
#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SpriteCanvasU.h"

namespace {

class WindowArrangementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    GuiTestDialogs().Reset();
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
    IniName = Dir.filePath(QStringLiteral("Vellicor.ini"));
  }
  void TearDown() override {
    if (Main) {
      for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) delete sub;
      QApplication::processEvents();
      Main.reset();
    }
    GuiTestDialogs().Reset();
  }
  void MakeForm() {
    Main = std::make_unique<TMainForm>(IniName);
    Main->show();
    QApplication::setActiveWindow(Main.get());
    Main->FirstActivation({});
    Main->Settings()->SetAnimationSpeed(100000000);
  }
  QString Write(const QString& name, const std::vector<uint8_t>& bytes) {
    const QString path = Dir.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    EXPECT_TRUE(WriteTestFile(path, bytes));
    return path;
  }
  QString WriteTank(const QString& name) {
    TSampleImage tank{"tank", {}};
    for (int i = 0; i < 3; ++i) tank.Frames.push_back(SolidFrame(40, 32, 0, 0, uint8_t(16 + i)));
    return Write(name, BuildQuvFile({tank}));
  }

  QTemporaryDir Dir;
  QString IniName;
  std::unique_ptr<TMainForm> Main;
};

TEST_F(WindowArrangementTest, TabsModeDisablesArrangingAndNamesEachTabAfterItsFile) {
  MakeForm();
  const QString first = WriteTank("one/first.quv");
  const QString second = WriteTank("two/second.quv");
  Main->OpenQuvFile({}, first);
  Main->OpenQuvFile({}, second);
  QApplication::processEvents();
  for (QAction* action :
       {Main->WindowCascade1, Main->WindowTileHorizontal1, Main->WindowTileVertical1})
    EXPECT_TRUE(action->isEnabled()) << action->text().toStdString();

  Main->acTabs->trigger();
  ASSERT_EQ(Main->MdiArea->viewMode(), QMdiArea::TabbedView);
  QList<QRect> before;
  for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) before << sub->geometry();
  for (QAction* action :
       {Main->WindowCascade1, Main->WindowTileHorizontal1, Main->WindowTileVertical1,
        Main->WindowArrangeAll1, Main->WindowMinimizeAll1, Main->WindowMaximizeAll1}) {
    EXPECT_FALSE(action->isEnabled()) << action->text().toStdString();
    action->trigger();  // as the menu or the tool bar would: nothing happens
  }
  QList<QRect> after;
  for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) after << sub->geometry();
  EXPECT_EQ(after, before);
  for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) EXPECT_FALSE(sub->isMinimized());

  auto* tabs = Main->MdiArea->findChild<QTabBar*>();
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), "first.quv");
  EXPECT_EQ(tabs->tabText(1), "second.quv");
  EXPECT_EQ(tabs->tabToolTip(0), QDir::toNativeSeparators(QFileInfo(first).absoluteFilePath()));
  EXPECT_EQ(tabs->tabToolTip(1), QDir::toNativeSeparators(QFileInfo(second).absoluteFilePath()));
  // A file opened in tabs mode, and a caption that changes with the image shown.
  TQuvView* third = Main->OpenQuvFile({}, WriteTank("third.quv"));
  third->SelectImage(QStringLiteral("tank"));
  QApplication::processEvents();
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(2), "third.quv");

  Main->acTabs->trigger();
  EXPECT_TRUE(Main->WindowCascade1->isEnabled());
  EXPECT_TRUE(Main->WindowTileVertical1->isEnabled());
}

TEST_F(WindowArrangementTest, StoredBoundsBeyondTheScreenAreBroughtOntoIt) {
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  // Written at twice the scale on a screen twice as large: past the right and bottom edges.
  QFile ini(IniName);
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write(QStringLiteral("[WindowPos]\nTop=%1\nLeft=%2\nWidth=%3\nHeight=%4\nWindowState=0\n")
                .arg(screen.height())
                .arg(screen.width())
                .arg(screen.width() + 266)
                .arg(screen.height() + 66)
                .toUtf8());
  ini.close();
  MakeForm();
  EXPECT_TRUE(screen.contains(Main->geometry()))
      << Main->geometry().x() << "," << Main->geometry().y() << " " << Main->width() << "x"
      << Main->height();

  // Bounds that fit stay as they were.
  Main.reset();
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ini.write("[WindowPos]\nTop=40\nLeft=30\nWidth=400\nHeight=300\nWindowState=0\n");
  ini.close();
  MakeForm();
  ASSERT_TRUE(screen.contains(QRect(30, 40, 400, 300)));
  EXPECT_EQ(Main->geometry(), QRect(30, 40, 400, 300));
}

TEST_F(WindowArrangementTest, CopyFrameSaysInTheStatusBarWhatItCopied) {
  MakeForm();
  TQuvView* view = Main->OpenQuvFile({}, WriteTank("tank.quv"));
  view->SelectImage(QStringLiteral("tank"));
  view->Player()->StepFrame(1);
  view->Canvas()->PaintBox()->setFocus();
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(view->StatusText(),
            QStringLiteral("Frame 2 of \"tank\" copied to the clipboard (40 \u00d7 32 pixels)."));
  EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(40, 32));
}

}  // namespace
