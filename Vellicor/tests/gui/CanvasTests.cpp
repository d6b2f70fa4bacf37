// The view's canvas: zoom steps and fit, wheel zoom around the pointer, scrolling and panning,
// the canvas aids on the rendered widget, the playback keys and the pixel inspector.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <memory>

#include "FrameCursorU.h"
#include "FrameInfoPanelU.h"
#include "FramePlayerU.h"
#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"
#include "SpriteCanvasU.h"

namespace {

constexpr uint8_t Red = 16;  // a palette entry that is not the transparent one

class CanvasTest : public TViewTest {
 protected:
  void SetUp() override {
    TViewTest::SetUp();
    StartMain(QSize(1000, 800));
    Main->Settings()->SetBackGroundColor(0x00000000);  // black
  }

  // The view of a file of these images, with a drawing area of exactly `room`.
  TQuvView* Open(const std::vector<TSampleImage>& images, QSize room = QSize(400, 300)) {
    return OpenInRoom(Write(QStringLiteral("canvas%1.quv").arg(++Files), BuildQuvFile(images)),
                      room);
  }

  static QImage Rendered(TQuvView* view) { return view->Canvas()->PaintBox()->grab().toImage(); }

  int Files = 0;
};

TEST_F(CanvasTest, ZoomStepsThroughTheFixedStepsAndIsKeptForNewViews) {
  TQuvView* view = Open({{"tank", {SolidFrame(40, 32, 0, 0, Red)}}});
  EXPECT_EQ(view->Canvas()->Zoom(), 1);
  const int expected[] = {2, 3, 4, 6, 8, 12, 16, 16};
  for (int step : expected) {
    view->Canvas()->StepZoom(1);
    EXPECT_EQ(view->Canvas()->Zoom(), step);
  }
  view->Canvas()->StepZoom(-1);
  EXPECT_EQ(view->Canvas()->Zoom(), 12);
  EXPECT_EQ(view->Canvas()->PaintBox()->Scale(), 12);
  EXPECT_EQ(view->Canvas()->PaintBox()->width(),
            40 * 12);  // larger than the room: the canvas's own size
  EXPECT_EQ(view->InfoPanel()->ZoomValue()->text(), QStringLiteral("12\u00d7"));
  EXPECT_EQ(view->findChild<QLabel*>("ZoomStatus")->text(), QStringLiteral("Zoom 12\u00d7"));
  EXPECT_EQ(Main->Settings()->Zoom(), 12);
  view->Canvas()->StepZoom(-2);
  EXPECT_EQ(view->Canvas()->PaintBox()->width(), 400);  // smaller: the room's
  EXPECT_EQ(view->Canvas()->PaintBox()->Canvas().width(), 400 / 6 + 1);

  view->Canvas()->SetZoom(5);  // not a step
  EXPECT_EQ(view->Canvas()->Zoom(), 1);
  view->Canvas()->SetZoom(3);
  TQuvView* second = Open({{"tank", {SolidFrame(40, 32, 0, 0, Red)}}});
  EXPECT_EQ(second->Canvas()->Zoom(), 3);
  EXPECT_EQ(view->Canvas()->Zoom(), 3);
  second->Canvas()->SetZoom(12);
  EXPECT_EQ(view->Canvas()->Zoom(), 3);  // per view
}

TEST_F(CanvasTest, FitTakesTheLargestStepAtWhichEveryFrameFits) {
  // Hot spots line up: the second frame starts 3 left and 2 above the first's hot spot, so the
  // shared canvas is 43 x 34 although neither frame is that large.
  TQuvView* view = Open({{"pair", {SolidFrame(40, 32, 0, 0, Red), SolidFrame(6, 4, 3, 2, Red)}}});
  EXPECT_EQ(view->Canvas()->ImageCanvas(), QSize(43, 34));
  view->Canvas()->SetFit(true);
  EXPECT_TRUE(view->Canvas()->FitZoomOn());
  EXPECT_EQ(view->Canvas()->Zoom(),
            8);  // 43 * 8 = 344 <= 400, 34 * 8 = 272 <= 300; 12 is too large
  EXPECT_TRUE(Main->Settings()->Fit());
  // The zoom stays while the frames step: it comes from the image, not from the frame.
  view->Player()->TimerTimer();
  EXPECT_EQ(view->Canvas()->Zoom(), 8);
  EXPECT_EQ(view->Canvas()->horizontalScrollBar()->maximum(), 0);

  view->Canvas()->setFixedSize(200, 300);
  QApplication::processEvents();
  EXPECT_EQ(view->Canvas()->Zoom(), 4);  // 43 * 6 = 258 > 200

  // A tiny frame at the largest step; a frame larger than the room below 1x.
  TQuvView* tiny = Open({{"dot", {SolidFrame(6, 4, 0, 0, Red)}}});
  EXPECT_TRUE(tiny->Canvas()->FitZoomOn());  // the default of new views
  EXPECT_EQ(tiny->Canvas()->Zoom(), 16);
  TQuvView* huge = Open({{"wall", {SolidFrame(500, 20, 0, 0, Red)}}});
  EXPECT_EQ(huge->Canvas()->Zoom(), -2);  // 500 / 2 = 250 <= 400

  // Choosing a step ends fit, for new views too.
  tiny->Canvas()->StepZoom(-1);
  EXPECT_FALSE(tiny->Canvas()->FitZoomOn());
  EXPECT_EQ(tiny->Canvas()->Zoom(), 12);
  EXPECT_FALSE(Main->Settings()->Fit());
}

TEST_F(CanvasTest, KeysZoomInTheViewWithTheFocus) {
  TQuvView* view = Open({{"tank", {SolidFrame(40, 32, 0, 0, Red)}}});
  view->Canvas()->PaintBox()->setFocus();
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_EQ(view->Canvas()->Zoom(), 2);
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_EQ(view->Canvas()->Zoom(), 3);
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(view->Canvas()->Zoom(), 2);
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_9, Qt::ControlModifier);
  EXPECT_TRUE(view->Canvas()->FitZoomOn());
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_0, Qt::ControlModifier);
  EXPECT_FALSE(view->Canvas()->FitZoomOn());
  EXPECT_EQ(view->Canvas()->Zoom(), 1);
  // The main window's View menu holds the active view's commands, then the strip's toggle.
  const QList<QAction*> items = Main->Menus()->ViewMenu->actions();
  EXPECT_EQ(items.mid(0, 4), view->ZoomActions());
  ASSERT_EQ(items.size(), 6);
  EXPECT_TRUE(items[4]->isSeparator());
  EXPECT_EQ(items[5]->text(), QStringLiteral("Frame Strip"));
}

TEST_F(CanvasTest, WheelZoomKeepsThePixelUnderThePointerAndScrollsTheCanvas) {
  TQuvView* view = Open({{"big", {SolidFrame(100, 80, 0, 0, Red)}}}, QSize(200, 150));
  view->Canvas()->SetZoom(4);
  QScrollBar* horizontal = view->Canvas()->horizontalScrollBar();
  QScrollBar* vertical = view->Canvas()->verticalScrollBar();
  EXPECT_EQ(horizontal->maximum(),
            100 * 4 - view->Canvas()->viewport()->width());  // the zoomed canvas scrolls
  EXPECT_EQ(vertical->maximum(), 80 * 4 - view->Canvas()->viewport()->height());
  horizontal->setValue(70);
  vertical->setValue(30);

  const QPoint at(61, 47);  // in the viewport
  auto pixelUnder = [&] {
    return view->Canvas()->PaintBox()->CanvasPixelAt(
        QPointF(view->Canvas()->PaintBox()->mapFromParent(at)));
  };
  const QPoint before = pixelUnder();
  EXPECT_EQ(before, QPoint((70 + 61) / 4, (30 + 47) / 4));
  const QPointF local = QPointF(view->Canvas()->PaintBox()->mapFromParent(at));
  QWheelEvent wheel(local, view->Canvas()->PaintBox()->mapToGlobal(local), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->Canvas()->PaintBox(), &wheel);
  EXPECT_EQ(view->Canvas()->Zoom(), 6);
  EXPECT_EQ(pixelUnder(), before);
  EXPECT_EQ(horizontal->maximum(), 100 * 6 - view->Canvas()->viewport()->width());

  // Middle-button drag pans.
  const int x = horizontal->value(), y = vertical->value();
  const QPoint start = view->Canvas()->PaintBox()->mapFromParent(QPoint(100, 100));
  QTest::mousePress(view->Canvas()->PaintBox(), Qt::MiddleButton, Qt::NoModifier, start);
  QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(-30, -20)),
                   QPointF(view->Canvas()->PaintBox()->mapToGlobal(start + QPoint(-30, -20))),
                   Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
  QApplication::sendEvent(view->Canvas()->PaintBox(), &move);
  QTest::mouseRelease(view->Canvas()->PaintBox(), Qt::MiddleButton, Qt::NoModifier, start);
  EXPECT_EQ(horizontal->value(), x + 30);
  EXPECT_EQ(vertical->value(), y + 20);
}

TEST_F(CanvasTest, AidsAreDrawnWhereTheyBelong) {
  // The first frame's hot spot is 1 right and 2 down of its corner; the second's 5 and 6, so the
  // first frame lands at canvas (4, 4) with its hot spot at (5, 6).
  TSampleFrame first = SolidFrame(4, 4, 1, 2, Red);
  first.Pixels[15] = SampleTransparentIndex;  // its bottom-right pixel
  TQuvView* view = Open({{"pair", {first, SolidFrame(2, 2, 5, 6, 17)}}});
  view->Canvas()->SetZoom(4);
  TSettingsModel* settings = Main->Settings();
  const QColor black(0, 0, 0);
  QImage shown = Rendered(view);
  EXPECT_EQ(shown.pixelColor(16, 16), PaletteColour(Red));
  EXPECT_EQ(shown.pixelColor(29, 29), black);  // the transparent pixel shows the background

  settings->SetToggle(tgCheckerboard, true);
  shown = Rendered(view);
  EXPECT_EQ(shown.pixelColor(16, 16), PaletteColour(Red));
  EXPECT_EQ(shown.pixelColor(29, 29), CheckerLight);  // cell (3, 3): light
  EXPECT_EQ(shown.pixelColor(36, 29), CheckerDark);   // cell (4, 3), beside the frame
  settings->SetToggle(tgCheckerboard, false);

  settings->SetToggle(tgCrosshair, true);
  shown = Rendered(view);
  // Through the middle of hot-spot pixel (5, 6): columns 20..23, rows 24..27 at 4x.
  EXPECT_EQ(shown.pixelColor(21, 200), CrosshairColour);
  EXPECT_EQ(shown.pixelColor(300, 25), CrosshairColour);
  EXPECT_EQ(shown.pixelColor(22, 200), black);
  settings->SetToggle(tgCrosshair, false);

  settings->SetToggle(tgFrameBounds, true);
  shown = Rendered(view);
  // The frame covers 16..31 both ways; the outline lies just outside.
  EXPECT_EQ(shown.pixelColor(15, 20), BoundsColour);
  EXPECT_EQ(shown.pixelColor(32, 20), BoundsColour);
  EXPECT_EQ(shown.pixelColor(20, 15), BoundsColour);
  EXPECT_EQ(shown.pixelColor(20, 32), BoundsColour);
  EXPECT_EQ(shown.pixelColor(16, 16), PaletteColour(Red));
  view->Player()->TimerTimer();  // the outline follows the frame: the second at (0, 0), 2 x 2
  shown = Rendered(view);
  EXPECT_EQ(shown.pixelColor(15, 20), black);
  EXPECT_EQ(shown.pixelColor(8, 4), BoundsColour);
  settings->SetToggle(tgFrameBounds, false);

  // The onion skin: the first frame at 30 % under the second; the second's own pixels on top.
  settings->SetToggle(tgOnionSkin, true);
  shown = Rendered(view);
  const QColor red = PaletteColour(Red);
  const QColor faint = shown.pixelColor(20, 20);
  EXPECT_NEAR(faint.red(), red.red() * 0.3, 2);
  EXPECT_NEAR(faint.green(), red.green() * 0.3, 2);
  EXPECT_EQ(shown.pixelColor(4, 4), PaletteColour(17));
  EXPECT_EQ(shown.pixelColor(29, 29), black);  // its transparent pixel leaves nothing
  view->Player()->TimerTimer();  // back to the first: the second under it, the old skin erased
  shown = Rendered(view);
  EXPECT_EQ(shown.pixelColor(20, 20), red);
  EXPECT_NEAR(shown.pixelColor(4, 4).red(), PaletteColour(17).red() * 0.3, 2);
  settings->SetToggle(tgOnionSkin, false);
  shown = Rendered(view);
  EXPECT_EQ(shown.pixelColor(4, 4), black);
}

TEST_F(CanvasTest, SubFrameOutlineShowsTheSubFrameInsideItsFrame) {
  // An 8 x 8 frame with its hot spot at (6, 6), of two 2 x 2 sub-frames: the first at frame
  // columns 5..6, the second at 0..1. Sub-frame mode draws the first with its hot spot at the
  // largest sub-frame offsets (6, 6): at canvas (5, 5), the frame at (0, 0).
  TSampleFrame frame = SolidFrame(8, 8, 6, 6, 0);
  frame.Pixels.clear();
  frame.SubFrames = {SolidFrame(2, 2, 1, 1, Red), SolidFrame(2, 2, 6, 6, 17)};
  Main->acViewSubFrames->setChecked(true);
  TQuvView* view = Open({{"parts", {frame}}});
  ASSERT_TRUE(view->Cursor()->SubFrameMode());
  view->Canvas()->SetZoom(4);
  Main->Settings()->SetToggle(tgSubFrameOutline, true);
  const QImage shown = Rendered(view);
  EXPECT_EQ(shown.pixelColor(20, 20), PaletteColour(Red));
  EXPECT_EQ(shown.pixelColor(19, 22), SubFrameColour);
  EXPECT_EQ(shown.pixelColor(28, 22), SubFrameColour);
  EXPECT_EQ(shown.pixelColor(32, 10), SubFrameParentColour);
  EXPECT_EQ(shown.pixelColor(10, 32), SubFrameParentColour);

  // Outside sub-frame mode there is no sub-frame to outline.
  Main->acViewSubFrames->setChecked(false);
  EXPECT_EQ(Rendered(view).pixelColor(32, 10), QColor(0, 0, 0));
}

TEST_F(CanvasTest, PlaybackKeysStepPauseAndSelect) {
  std::vector<TSampleImage> images;
  for (const char* name : {"one", "two", "three"}) {
    TSampleImage image{name, {}};
    for (int i = 0; i < 8; ++i) image.Frames.push_back(SolidFrame(4, 4, 0, 0, uint8_t(16 + i)));
    images.push_back(image);
  }
  TQuvView* view = Open(images);
  ASSERT_TRUE(view->Player()->Playing());
  EXPECT_EQ(view->InfoPanel()->FramePosition()->text(), QStringLiteral("Frame 1 / 8"));
  QWidget* canvas = view->Canvas()->PaintBox();
  canvas->setFocus();

  QTest::keyClick(canvas, Qt::Key_Right);
  EXPECT_FALSE(view->Player()->Playing());
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 1);
  view->Player()->TimerTimer();  // paused: the timer leaves the frame
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 1);
  QTest::keyClick(canvas, Qt::Key_Period);
  EXPECT_EQ(view->InfoPanel()->FramePosition()->text(), QStringLiteral("Frame 3 / 8"));
  EXPECT_EQ(view->InfoPanel()->CurrentFrame()->text(), QStringLiteral("3"));
  QTest::keyClick(canvas, Qt::Key_Comma);
  QTest::keyClick(canvas, Qt::Key_Left);
  QTest::keyClick(canvas, Qt::Key_Left);  // from the first back to the last
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 7);
  QTest::keyClick(canvas, Qt::Key_Home);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 0);
  QTest::keyClick(canvas, Qt::Key_End);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 7);

  QTest::keyClick(canvas, Qt::Key_Space);
  EXPECT_TRUE(view->Player()->Playing());
  view->Player()->TimerTimer();
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 0);
  QTest::keyClick(canvas, Qt::Key_Space);
  EXPECT_FALSE(view->Player()->Playing());
  // Space held while dragging pans, and does not toggle.
  QTest::keyPress(canvas, Qt::Key_Space);
  QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
  QMouseEvent move(QEvent::MouseMove, QPointF(40, 40), QPointF(canvas->mapToGlobal(QPoint(40, 40))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(canvas, &move);
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
  QTest::keyRelease(canvas, Qt::Key_Space);
  EXPECT_FALSE(view->Player()->Playing());

  QTest::keyClick(canvas, Qt::Key_Down);
  EXPECT_EQ(QString::fromStdString(view->Cursor()->Image()->Name), "two");
  QTest::keyClick(canvas, Qt::Key_Up);
  QTest::keyClick(canvas, Qt::Key_Up);  // stays at the first
  EXPECT_EQ(QString::fromStdString(view->Cursor()->Image()->Name), "one");

  // The same keys on the list, and the global command still sets the views going.
  view->ImageList()->setFocus();
  QTest::keyClick(view->ImageList(), Qt::Key_Right);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 1);
  QTest::keyClick(view->ImageList(), Qt::Key_Space);
  EXPECT_TRUE(view->Player()->Playing());
  QTest::keyClick(view->ImageList(), Qt::Key_Down);
  EXPECT_EQ(QString::fromStdString(view->Cursor()->Image()->Name), "two");
  Main->acAnimate->trigger();
  EXPECT_FALSE(view->Player()->Playing());
  Main->acAnimate->trigger();
  EXPECT_TRUE(view->Player()->Playing());
}

TEST_F(CanvasTest, SubFrameModeStepsSubFrames) {
  TSampleFrame frame = SolidFrame(4, 4, 0, 0, 0);
  frame.Pixels.clear();
  frame.SubFrames = {SolidFrame(4, 4, 0, 0, 16), SolidFrame(4, 4, 0, 0, 17),
                     SolidFrame(4, 4, 0, 0, 18)};
  Main->acViewSubFrames->setChecked(true);
  TQuvView* view = Open({{"parts", {frame, SolidFrame(4, 4, 0, 0, 19)}}});
  ASSERT_TRUE(view->Cursor()->SubFrameMode());
  view->Canvas()->PaintBox()->setFocus();
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Right);
  EXPECT_EQ(view->Cursor()->Frame()->CurrentSubFrame, 1);
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Left);
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_Left);
  EXPECT_EQ(view->Cursor()->Frame()->CurrentSubFrame, 2);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 0);
  QTest::keyClick(view->Canvas()->PaintBox(), Qt::Key_End);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 1);
}

TEST_F(CanvasTest, InspectorNamesPositionIndexAndColour) {
  TSampleFrame frame = SolidFrame(5, 4, 2, 3, Red);
  frame.Pixels[1 * 5 + 4] = 17;                      // (4, 1)
  frame.Pixels[3 * 5 + 0] = SampleTransparentIndex;  // (0, 3)
  TQuvView* view = Open({{"spot", {frame}}});
  view->Canvas()->SetZoom(2);
  // One frame: it lands at the canvas origin.
  const QString colour = PaletteColour(17).name().toUpper();
  EXPECT_EQ(view->Canvas()->PixelInfo(QPoint(4, 1)),
            QStringLiteral("Pixel 4, 1 (hot spot 2, -2): index 17, %1").arg(colour));
  EXPECT_EQ(view->Canvas()->PixelInfo(QPoint(0, 3)),
            QStringLiteral("Pixel 0, 3 (hot spot -2, 0): index %1, transparent")
                .arg(SampleTransparentIndex));
  EXPECT_EQ(view->Canvas()->PixelInfo(QPoint(5, 1)), QString());  // beside the frame

  // The pointer at widget (9, 3) is canvas pixel (4, 1) at 2x.
  QMouseEvent move(QEvent::MouseMove, QPointF(9, 3),
                   QPointF(view->Canvas()->PaintBox()->mapToGlobal(QPoint(9, 3))), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view->Canvas()->PaintBox(), &move);
  auto* status = view->findChild<QLabel*>("PixelStatus");
  EXPECT_TRUE(status->text().startsWith("Pixel 4, 1 "));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(view->Canvas()->PaintBox(), &leave);
  EXPECT_TRUE(status->text().isEmpty());
}

}  // namespace

namespace {

TEST(PaintScaledCanvas, WholePhysicalPixelsPerSpritePixelAndNoBlending) {
  // 1.5 device pixels per screen pixel: 3x becomes 5 physical pixels (never 4.5), and 1x stays 1.
  EXPECT_EQ(PixelScale(3, 1.5), 5);
  EXPECT_EQ(PixelScale(1, 1.25), 1);
  EXPECT_EQ(PixelScale(16, 2.0), 32);
  EXPECT_EQ(PixelScale(2, 0.0), 1);

  QImage canvas(2, 1, QImage::Format_RGB32);
  canvas.setPixel(0, 0, qRgb(255, 0, 0));
  canvas.setPixel(1, 0, qRgb(0, 0, 255));
  QImage target(12, 5, QImage::Format_RGB32);
  target.fill(Qt::black);
  {
    QPainter painter(&target);
    // Only the part from column 3 on: the blocks still start at multiples of the scale.
    PaintScaledCanvas(painter, canvas, 5, QRect(3, 0, 9, 5), 0);
  }
  EXPECT_EQ(target.pixel(2, 2), qRgb(0, 0, 0));  // outside the area
  EXPECT_EQ(target.pixel(4, 4), qRgb(255, 0, 0));
  EXPECT_EQ(target.pixel(5, 0), qRgb(0, 0, 255));  // a sharp edge between the two
  EXPECT_EQ(target.pixel(9, 4), qRgb(0, 0, 255));
  EXPECT_EQ(target.pixel(10, 0), qRgb(0, 0, 0));  // beyond the canvas
}

}  // namespace
