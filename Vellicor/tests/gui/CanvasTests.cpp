// The view's canvas: zoom steps and fit, wheel zoom around the pointer, scrolling and panning,
// the canvas aids on the rendered widget, the playback keys and the pixel inspector.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <memory>

#include "GuiTestMain.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvSamplesU.h"
#include "QuvViewU.h"

namespace {

constexpr uint8_t Red = 16;  // a palette entry that is not the transparent one

QColor PaletteColour(uint8_t index) {
  return QColor(Palette[index][0], Palette[index][1], Palette[index][2]);
}

class CanvasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
    Main = std::make_unique<TMainForm>(Dir.filePath(QStringLiteral("Vellicor.ini")));
    Main->Settings()->SetAnimationSpeed(100000000);    // steps only through TimerTimer
    Main->Settings()->SetBackGroundColor(0x00000000);  // black
    Main->resize(1000, 800);
    Main->show();
    QApplication::setActiveWindow(Main.get());
  }

  void TearDown() override {
    for (QMdiSubWindow* sub : Main->MdiArea->subWindowList()) delete sub;
    QApplication::processEvents();
    Main.reset();
  }

  // The view of a file of these images, with a drawing area of exactly `room`.
  TQuvView* Open(const std::vector<TSampleImage>& images, QSize room = QSize(400, 300)) {
    const QString path = Dir.filePath(QStringLiteral("canvas%1.quv").arg(++Files));
    const std::vector<uint8_t> bytes = BuildQuvFile(images);
    EXPECT_TRUE(WriteTestFile(path, bytes));
    TQuvView* view = Main->OpenQuvFile(QString(), path);
    view->PaintScroll->setFixedSize(room);
    QApplication::processEvents();
    return view;
  }

  static QImage Rendered(TQuvView* view) { return view->PaintBox->grab().toImage(); }

  QTemporaryDir Dir;
  std::unique_ptr<TMainForm> Main;
  int Files = 0;
};

TEST_F(CanvasTest, ZoomStepsThroughTheFixedStepsAndIsKeptForNewViews) {
  TQuvView* view = Open({{"tank", {SolidFrame(40, 32, 0, 0, Red)}}});
  EXPECT_EQ(view->Zoom(), 1);
  const int expected[] = {2, 3, 4, 6, 8, 12, 16, 16};
  for (int step : expected) {
    view->StepZoom(1);
    EXPECT_EQ(view->Zoom(), step);
  }
  view->StepZoom(-1);
  EXPECT_EQ(view->Zoom(), 12);
  EXPECT_EQ(view->PaintBox->Scale(), 12);
  EXPECT_EQ(view->PaintBox->width(), 40 * 12);  // larger than the room: the canvas's own size
  EXPECT_EQ(view->ZoomValue->text(), QStringLiteral("12\u00d7"));
  EXPECT_EQ(view->findChild<QLabel*>("ZoomStatus")->text(), QStringLiteral("Zoom 12\u00d7"));
  EXPECT_EQ(Main->Settings()->Zoom(), 12);
  view->StepZoom(-2);
  EXPECT_EQ(view->PaintBox->width(), 400);  // smaller: the room's
  EXPECT_EQ(view->PaintBox->Canvas().width(), 400 / 6 + 1);

  view->SetZoom(5);  // not a step
  EXPECT_EQ(view->Zoom(), 1);
  view->SetZoom(3);
  TQuvView* second = Open({{"tank", {SolidFrame(40, 32, 0, 0, Red)}}});
  EXPECT_EQ(second->Zoom(), 3);
  EXPECT_EQ(view->Zoom(), 3);
  second->SetZoom(12);
  EXPECT_EQ(view->Zoom(), 3);  // per view
}

TEST_F(CanvasTest, FitTakesTheLargestStepAtWhichEveryFrameFits) {
  // Hot spots line up: the second frame starts 3 left and 2 above the first's hot spot, so the
  // shared canvas is 43 x 34 although neither frame is that large.
  TQuvView* view = Open({{"pair", {SolidFrame(40, 32, 0, 0, Red), SolidFrame(6, 4, 3, 2, Red)}}});
  EXPECT_EQ(view->ImageCanvas(), QSize(43, 34));
  view->SetFit(true);
  EXPECT_TRUE(view->FitZoomOn());
  EXPECT_EQ(view->Zoom(), 8);  // 43 * 8 = 344 <= 400, 34 * 8 = 272 <= 300; 12 is too large
  EXPECT_TRUE(Main->Settings()->Fit());
  // The zoom stays while the frames step: it comes from the image, not from the frame.
  view->TimerTimer();
  EXPECT_EQ(view->Zoom(), 8);
  EXPECT_EQ(view->PaintScroll->horizontalScrollBar()->maximum(), 0);

  view->PaintScroll->setFixedSize(200, 300);
  QApplication::processEvents();
  EXPECT_EQ(view->Zoom(), 4);  // 43 * 6 = 258 > 200

  // A tiny frame at the largest step; a frame larger than the room below 1x.
  TQuvView* tiny = Open({{"dot", {SolidFrame(6, 4, 0, 0, Red)}}});
  EXPECT_TRUE(tiny->FitZoomOn());  // the default of new views
  EXPECT_EQ(tiny->Zoom(), 16);
  TQuvView* huge = Open({{"wall", {SolidFrame(500, 20, 0, 0, Red)}}});
  EXPECT_EQ(huge->Zoom(), -2);  // 500 / 2 = 250 <= 400

  // Choosing a step ends fit, for new views too.
  tiny->StepZoom(-1);
  EXPECT_FALSE(tiny->FitZoomOn());
  EXPECT_EQ(tiny->Zoom(), 12);
  EXPECT_FALSE(Main->Settings()->Fit());
}

TEST_F(CanvasTest, KeysZoomInTheViewWithTheFocus) {
  TQuvView* view = Open({{"tank", {SolidFrame(40, 32, 0, 0, Red)}}});
  view->PaintBox->setFocus();
  QTest::keyClick(view->PaintBox, Qt::Key_Equal, Qt::ControlModifier);
  EXPECT_EQ(view->Zoom(), 2);
  QTest::keyClick(view->PaintBox, Qt::Key_Plus, Qt::ControlModifier);
  EXPECT_EQ(view->Zoom(), 3);
  QTest::keyClick(view->PaintBox, Qt::Key_Minus, Qt::ControlModifier);
  EXPECT_EQ(view->Zoom(), 2);
  QTest::keyClick(view->PaintBox, Qt::Key_9, Qt::ControlModifier);
  EXPECT_TRUE(view->FitZoomOn());
  QTest::keyClick(view->PaintBox, Qt::Key_0, Qt::ControlModifier);
  EXPECT_FALSE(view->FitZoomOn());
  EXPECT_EQ(view->Zoom(), 1);
  // The main window's View menu holds the active view's commands.
  EXPECT_EQ(Main->Menus()->ViewMenu->actions(), view->ZoomActions());
}

TEST_F(CanvasTest, WheelZoomKeepsThePixelUnderThePointerAndScrollsTheCanvas) {
  TQuvView* view = Open({{"big", {SolidFrame(100, 80, 0, 0, Red)}}}, QSize(200, 150));
  view->SetZoom(4);
  QScrollBar* horizontal = view->PaintScroll->horizontalScrollBar();
  QScrollBar* vertical = view->PaintScroll->verticalScrollBar();
  EXPECT_EQ(horizontal->maximum(),
            100 * 4 - view->PaintScroll->viewport()->width());  // the zoomed canvas scrolls
  EXPECT_EQ(vertical->maximum(), 80 * 4 - view->PaintScroll->viewport()->height());
  horizontal->setValue(70);
  vertical->setValue(30);

  const QPoint at(61, 47);  // in the viewport
  auto pixelUnder = [&] {
    return view->PaintBox->CanvasPixelAt(QPointF(view->PaintBox->mapFromParent(at)));
  };
  const QPoint before = pixelUnder();
  EXPECT_EQ(before, QPoint((70 + 61) / 4, (30 + 47) / 4));
  const QPointF local = QPointF(view->PaintBox->mapFromParent(at));
  QWheelEvent wheel(local, view->PaintBox->mapToGlobal(local), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view->PaintBox, &wheel);
  EXPECT_EQ(view->Zoom(), 6);
  EXPECT_EQ(pixelUnder(), before);
  EXPECT_EQ(horizontal->maximum(), 100 * 6 - view->PaintScroll->viewport()->width());

  // Middle-button drag pans.
  const int x = horizontal->value(), y = vertical->value();
  const QPoint start = view->PaintBox->mapFromParent(QPoint(100, 100));
  QTest::mousePress(view->PaintBox, Qt::MiddleButton, Qt::NoModifier, start);
  QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(-30, -20)),
                   QPointF(view->PaintBox->mapToGlobal(start + QPoint(-30, -20))), Qt::NoButton,
                   Qt::MiddleButton, Qt::NoModifier);
  QApplication::sendEvent(view->PaintBox, &move);
  QTest::mouseRelease(view->PaintBox, Qt::MiddleButton, Qt::NoModifier, start);
  EXPECT_EQ(horizontal->value(), x + 30);
  EXPECT_EQ(vertical->value(), y + 20);
}

TEST_F(CanvasTest, AidsAreDrawnWhereTheyBelong) {
  // The first frame's hot spot is 1 right and 2 down of its corner; the second's 5 and 6, so the
  // first frame lands at canvas (4, 4) with its hot spot at (5, 6).
  TSampleFrame first = SolidFrame(4, 4, 1, 2, Red);
  first.Pixels[15] = SampleTransparentIndex;  // its bottom-right pixel
  TQuvView* view = Open({{"pair", {first, SolidFrame(2, 2, 5, 6, 17)}}});
  view->SetZoom(4);
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
  view->TimerTimer();  // the outline follows the frame: the second at (0, 0), 2 x 2
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
  view->TimerTimer();  // back to the first: the second under it, the old skin erased
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
  ASSERT_TRUE(view->SubFrameMode);
  view->SetZoom(4);
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
  ASSERT_TRUE(view->Playing());
  EXPECT_EQ(view->FramePosition->text(), QStringLiteral("Frame 1 / 8"));
  QWidget* canvas = view->PaintBox;
  canvas->setFocus();

  QTest::keyClick(canvas, Qt::Key_Right);
  EXPECT_FALSE(view->Playing());
  EXPECT_EQ(view->CurrentImage->CurrentFrame, 1);
  view->TimerTimer();  // paused: the timer leaves the frame
  EXPECT_EQ(view->CurrentImage->CurrentFrame, 1);
  QTest::keyClick(canvas, Qt::Key_Period);
  EXPECT_EQ(view->FramePosition->text(), QStringLiteral("Frame 3 / 8"));
  EXPECT_EQ(view->CurrentFrame->text(), QStringLiteral("3"));
  QTest::keyClick(canvas, Qt::Key_Comma);
  QTest::keyClick(canvas, Qt::Key_Left);
  QTest::keyClick(canvas, Qt::Key_Left);  // from the first back to the last
  EXPECT_EQ(view->CurrentImage->CurrentFrame, 7);
  QTest::keyClick(canvas, Qt::Key_Home);
  EXPECT_EQ(view->CurrentImage->CurrentFrame, 0);
  QTest::keyClick(canvas, Qt::Key_End);
  EXPECT_EQ(view->CurrentImage->CurrentFrame, 7);

  QTest::keyClick(canvas, Qt::Key_Space);
  EXPECT_TRUE(view->Playing());
  view->TimerTimer();
  EXPECT_EQ(view->CurrentImage->CurrentFrame, 0);
  QTest::keyClick(canvas, Qt::Key_Space);
  EXPECT_FALSE(view->Playing());
  // Space held while dragging pans, and does not toggle.
  QTest::keyPress(canvas, Qt::Key_Space);
  QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(50, 50));
  QMouseEvent move(QEvent::MouseMove, QPointF(40, 40), QPointF(canvas->mapToGlobal(QPoint(40, 40))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(canvas, &move);
  QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
  QTest::keyRelease(canvas, Qt::Key_Space);
  EXPECT_FALSE(view->Playing());

  QTest::keyClick(canvas, Qt::Key_Down);
  EXPECT_EQ(QString::fromStdString(view->CurrentImage->Name), "two");
  QTest::keyClick(canvas, Qt::Key_Up);
  QTest::keyClick(canvas, Qt::Key_Up);  // stays at the first
  EXPECT_EQ(QString::fromStdString(view->CurrentImage->Name), "one");

  // The same keys on the list, and the global command still sets the views going.
  view->QuvImageList->setFocus();
  QTest::keyClick(view->QuvImageList, Qt::Key_Right);
  EXPECT_EQ(view->CurrentImage->CurrentFrame, 1);
  QTest::keyClick(view->QuvImageList, Qt::Key_Space);
  EXPECT_TRUE(view->Playing());
  QTest::keyClick(view->QuvImageList, Qt::Key_Down);
  EXPECT_EQ(QString::fromStdString(view->CurrentImage->Name), "two");
  Main->acAnimate->trigger();
  EXPECT_FALSE(view->Playing());
  Main->acAnimate->trigger();
  EXPECT_TRUE(view->Playing());
}

TEST_F(CanvasTest, SubFrameModeStepsSubFrames) {
  TSampleFrame frame = SolidFrame(4, 4, 0, 0, 0);
  frame.Pixels.clear();
  frame.SubFrames = {SolidFrame(4, 4, 0, 0, 16), SolidFrame(4, 4, 0, 0, 17),
                     SolidFrame(4, 4, 0, 0, 18)};
  Main->acViewSubFrames->setChecked(true);
  TQuvView* view = Open({{"parts", {frame, SolidFrame(4, 4, 0, 0, 19)}}});
  ASSERT_TRUE(view->SubFrameMode);
  view->PaintBox->setFocus();
  QTest::keyClick(view->PaintBox, Qt::Key_Right);
  EXPECT_EQ(view->CurrentFrameObject->CurrentSubFrame, 1);
  QTest::keyClick(view->PaintBox, Qt::Key_Left);
  QTest::keyClick(view->PaintBox, Qt::Key_Left);
  EXPECT_EQ(view->CurrentFrameObject->CurrentSubFrame, 2);
  EXPECT_EQ(view->CurrentImage->CurrentFrame, 0);
  QTest::keyClick(view->PaintBox, Qt::Key_End);
  EXPECT_EQ(view->CurrentImage->CurrentFrame, 1);
}

TEST_F(CanvasTest, InspectorNamesPositionIndexAndColour) {
  TSampleFrame frame = SolidFrame(5, 4, 2, 3, Red);
  frame.Pixels[1 * 5 + 4] = 17;                      // (4, 1)
  frame.Pixels[3 * 5 + 0] = SampleTransparentIndex;  // (0, 3)
  TQuvView* view = Open({{"spot", {frame}}});
  view->SetZoom(2);
  // One frame: it lands at the canvas origin.
  const QString colour = PaletteColour(17).name().toUpper();
  EXPECT_EQ(view->PixelInfo(QPoint(4, 1)),
            QStringLiteral("Pixel 4, 1 (hot spot 2, -2): index 17, %1").arg(colour));
  EXPECT_EQ(view->PixelInfo(QPoint(0, 3)),
            QStringLiteral("Pixel 0, 3 (hot spot -2, 0): index %1, transparent")
                .arg(SampleTransparentIndex));
  EXPECT_EQ(view->PixelInfo(QPoint(5, 1)), QString());  // beside the frame

  // The pointer at widget (9, 3) is canvas pixel (4, 1) at 2x.
  QMouseEvent move(QEvent::MouseMove, QPointF(9, 3),
                   QPointF(view->PaintBox->mapToGlobal(QPoint(9, 3))), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(view->PaintBox, &move);
  auto* status = view->findChild<QLabel*>("PixelStatus");
  EXPECT_TRUE(status->text().startsWith("Pixel 4, 1 "));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(view->PaintBox, &leave);
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
