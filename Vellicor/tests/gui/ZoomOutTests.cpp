// The view below 1x: zoom keys past 1x, Fit on a frame larger than the room, "Fit new views" from
// the settings dialog, and a crosshair that stands out from the background colour.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QMdiSubWindow>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>
#include <optional>
#include <string>

#include "FrameInfoPanelU.h"
#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SettingsU.h"
#include "SpriteCanvasU.h"

namespace {

constexpr uint8_t Red = 16;  // a palette entry that is not the transparent one

class ZoomOutTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    StartMain(QSize(1000, 800));
    Main->Settings()->SetBackGroundColor(0x00000000);  // black
  }

  // A view of one frame, with a drawing area of exactly `room`.
  TQuvView* Open(const TSampleFrame& frame, QSize room = QSize(800, 500)) {
    return OpenInRoom(
        Write(QStringLiteral("zoom%1.quv").arg(++Files), BuildQuvFile({{"big", {frame}}})), room);
  }

  static QImage Rendered(TQuvView* view) { return view->Canvas()->PaintBox()->grab().toImage(); }
  void Key(TQuvView* view, Qt::Key key) {
    QApplication::setActiveWindow(Main.get());
    view->Canvas()->PaintBox()->setFocus();
    QTest::keyClick(view->Canvas()->PaintBox(), key, Qt::ControlModifier);
  }
  static bool Scrolls(TQuvView* view) {
    return view->Canvas()->horizontalScrollBar()->maximum() > 0 ||
           view->Canvas()->verticalScrollBar()->maximum() > 0;
  }

  TMemoryRegistry Registry;
  TQuietDesktop Desktop;
  int Files = 0;
};

TEST_F(ZoomOutTest, FitShowsAFrameLargerThanTheRoomWholeAtHalfSize) {
  TQuvView* view = Open(SolidFrame(1080, 660, 0, 0, Red));
  EXPECT_TRUE(Scrolls(view));  // at 1x
  Key(view, Qt::Key_9);
  EXPECT_TRUE(view->Canvas()->FitZoomOn());
  EXPECT_EQ(view->Canvas()->Zoom(), -2);
  EXPECT_FALSE(Scrolls(view));
  EXPECT_EQ(view->InfoPanel()->ZoomValue()->text(), QStringLiteral("1/2\u00d7 (Fit)"));
  // 1080 x 660 sprite pixels in 540 x 330 screen pixels, the background beside them.
  const QImage shown = Rendered(view);
  EXPECT_EQ(shown.pixelColor(0, 0), PaletteColour(Red));
  EXPECT_EQ(shown.pixelColor(539, 329), PaletteColour(Red));
  EXPECT_EQ(shown.pixelColor(540, 100), QColor(Qt::black));
  EXPECT_EQ(shown.pixelColor(100, 330), QColor(Qt::black));
  EXPECT_EQ(shown.pixelColor(shown.width() - 1, shown.height() - 1), QColor(Qt::black));
}

TEST_F(ZoomOutTest, ZoomOutKeysGoBelowOneTimesToAnEighthAndNewViewsKeepTheStep) {
  TQuvView* view = Open(SolidFrame(1080, 660, 0, 0, Red));
  const int expected[] = {-2, -3, -4, -8, -8};
  for (int step : expected) {
    Key(view, Qt::Key_Minus);
    EXPECT_EQ(view->Canvas()->Zoom(), step);
  }
  EXPECT_EQ(view->InfoPanel()->ZoomValue()->text(), QStringLiteral("1/8\u00d7"));
  Key(view, Qt::Key_Plus);
  Key(view, Qt::Key_Plus);
  EXPECT_EQ(view->Canvas()->Zoom(), -3);
  // A third: 360 x 220 screen pixels.
  const QImage shown = Rendered(view);
  EXPECT_EQ(shown.pixelColor(359, 219), PaletteColour(Red));
  EXPECT_EQ(shown.pixelColor(360, 100), QColor(Qt::black));
  EXPECT_EQ(shown.pixelColor(100, 220), QColor(Qt::black));
  // The pixel under the pointer is the sprite pixel drawn there.
  EXPECT_EQ(view->Canvas()->PaintBox()->CanvasPixelAt(QPointF(100.5, 50.5)), QPoint(301, 151));

  TQuvView* next = Open(SolidFrame(20, 20, 0, 0, Red));
  EXPECT_EQ(next->Canvas()->Zoom(), -3);
  EXPECT_EQ(Main->Settings()->Zoom(), -3);
}

TEST_F(ZoomOutTest, FitNewViewsIsASettingThatOpensEveryNewViewFitted) {
  TSettingsDialog dialog(Main->Settings(), Main.get(), &Registry, &Desktop);
  dialog.show();
  QApplication::processEvents();
  EXPECT_FALSE(dialog.FitNewViews->isChecked());
  dialog.FitNewViews->setFocus(Qt::TabFocusReason);
  QTest::keyClick(dialog.FitNewViews, Qt::Key_Space);
  QTest::keyClick(dialog.FitNewViews, Qt::Key_Return);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(Main->Settings()->FitNewViews());

  // A step chosen in one view no longer decides how the next opens.
  TQuvView* first = Open(SolidFrame(20, 20, 0, 0, Red));
  EXPECT_TRUE(first->Canvas()->FitZoomOn());
  Key(first, Qt::Key_0);
  EXPECT_FALSE(first->Canvas()->FitZoomOn());
  EXPECT_EQ(first->Canvas()->Zoom(), 1);
  TQuvView* second = Open(SolidFrame(1080, 660, 0, 0, Red));
  EXPECT_TRUE(second->Canvas()->FitZoomOn());
  EXPECT_EQ(second->Canvas()->Zoom(), -2);
  EXPECT_FALSE(Scrolls(second));

  // Kept in the settings file for the next start.
  QFile ini(Main->Settings()->FileName());
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_TRUE(ini.readAll().contains("FitNewViews=1"));
  TMainForm again(Main->Settings()->FileName());
  again.FirstActivation({});
  EXPECT_TRUE(again.Settings()->FitNewViews());
}

TEST_F(ZoomOutTest, CrosshairStandsOutFromAMagentaBackground) {
  TQuvView* view = Open(SolidFrame(4, 4, 1, 2, Red), QSize(400, 300));
  view->Canvas()->SetZoom(4);
  Main->Settings()->SetToggle(tgCrosshair, true);
  // Hot-spot pixel (1, 2) at 4x: the lines run through column 5 and row 9.
  QImage shown = Rendered(view);
  EXPECT_EQ(shown.pixelColor(5, 200), CrosshairColour);  // on black: magenta
  Main->Settings()->SetBackGroundColor(0x00FF00FF);      // magenta (0x00BBGGRR)
  shown = Rendered(view);
  const QColor magenta(255, 0, 255);
  EXPECT_EQ(shown.pixelColor(200, 200), magenta);  // the background
  EXPECT_NE(shown.pixelColor(5, 200), magenta);
  EXPECT_EQ(shown.pixelColor(5, 200), CrosshairAltColour);
  EXPECT_EQ(shown.pixelColor(300, 9), CrosshairAltColour);
  Main->Settings()->SetBackGroundColor(0x00800080);  // purple: magenta would hardly show
  EXPECT_EQ(Rendered(view).pixelColor(300, 9), CrosshairAltColour);
}

}  // namespace
