// Editing hot spots in a view: the frame dragged or nudged on the canvas in edit mode, the offset
// boxes of the frame panel, and each change undone from the main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>
#include <QUndoStack>

#include "EditDocumentU.h"
#include "EditViewTest.h"
#include "FrameCursorU.h"
#include "FrameInfoPanelU.h"
#include "FramePlayerU.h"
#include "ImageLoaderU.h"
#include "MainU.h"
#include "PaintBoxU.h"
#include "QuvViewU.h"
#include "SettingsModelU.h"
#include "SpriteCanvasU.h"

namespace {

class HotSpotEditTest : public EditViewTest {};

TEST_F(HotSpotEditTest, DraggingTheFrameMovesItsHotSpotInWholePixelsAsOneStep) {
  const QString path = Dir.filePath(QStringLiteral("tank.quv"));
  TQuvView* view = OpenTank();
  Main->Settings()->SetToggle(tgCrosshair, true);
  TPaintBox* box = view->Canvas()->PaintBox();
  box->setFocus();
  for (int i = 0; i < 3; ++i) KeyToCanvas(view, Qt::Key_Equal, Qt::ControlModifier);
  ASSERT_EQ(view->Canvas()->Zoom(), 4);
  EXPECT_TRUE(view->Player()->Playing());

  KeyToMain(Qt::Key_E);
  EXPECT_TRUE(view->EditMode());
  EXPECT_TRUE(Main->acEditHotSpots->isChecked());
  EXPECT_FALSE(view->Player()->Playing());
  EXPECT_EQ(box->cursor().shape(), Qt::SizeAllCursor);

  // Frame 0 lands at canvas (8, 7): widget (32, 28) at 4x; its hot spot at canvas (10, 10)
  // carries the crosshair through widget column 41.
  const QRgb first = PaletteColour(PatternIndex(0, 0)).rgb();
  const QRgb black = qRgb(0, 0, 0);
  const QRgb crosshair = CrosshairColourOn(Qt::black).rgb();
  QImage shown = Rendered(view);
  EXPECT_EQ(shown.pixel(33, 29), first);
  EXPECT_EQ(shown.pixel(45, 29), PaletteColour(PatternIndex(3, 0)).rgb());
  EXPECT_EQ(shown.pixel(41, 10), crosshair);

  const TQuvDocument* document = view->Cursor()->Document();
  DragOnCanvas(view, QPoint(40, 35), QPoint(12, 0), [&] {
    // The picture follows the pointer by 3 sprite pixels; the hot spot stays where it was, and
    // nothing is read or recorded until the button is let go.
    const QImage during = Rendered(view);
    EXPECT_EQ(during.pixel(45, 29), first);
    EXPECT_EQ(during.pixel(33, 29), black);
    EXPECT_EQ(during.pixel(41, 10), crosshair);
    EXPECT_EQ(view->Cursor()->Document(), document);
    EXPECT_EQ(view->Edits()->UndoStack()->count(), 0);
  });
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(-1, 3));
  EXPECT_EQ(view->InfoPanel()->XOffSet()->value(), -1);
  ASSERT_EQ(view->Edits()->UndoStack()->count(), 1);
  EXPECT_EQ(view->Edits()->UndoStack()->text(0), QStringLiteral("Move Hot Spot"));
  shown = Rendered(view);
  EXPECT_EQ(shown.pixel(45, 29), first);
  EXPECT_EQ(shown.pixel(33, 29), black);
  EXPECT_EQ(shown.pixel(41, 10), crosshair);
  EXPECT_TRUE(view->windowTitle().startsWith(QStringLiteral("tank.quv*")));

  // What a fresh reader finds once saved: the new hot spot, the same pixels.
  KeyToMain(Qt::Key_S);
  const TQuvContent saved = FreshContent(path);
  EXPECT_EQ(FrameOffsets(saved), QPoint(-1, 3));
  EXPECT_EQ(saved.Images[0].Frames[0].Pixels,
            FreshContent(Write("again.quv", TankFile())).Images[0].Frames[0].Pixels);

  KeyToMain(Qt::Key_Z);
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(2, 3));
  EXPECT_EQ(view->InfoPanel()->XOffSet()->value(), 2);
  EXPECT_EQ(Rendered(view).pixel(33, 29), first);
  EXPECT_EQ(view->Canvas()->Zoom(), 4);
}

TEST_F(HotSpotEditTest, PanningStillMovesTheViewAndNotTheFrame) {
  TQuvView* view = OpenInRoom(Write("tank.quv", TankFile()), QSize(60, 40));
  TPaintBox* box = view->Canvas()->PaintBox();
  box->setFocus();
  for (int i = 0; i < 3; ++i) KeyToCanvas(view, Qt::Key_Equal, Qt::ControlModifier);
  KeyToMain(Qt::Key_E);
  ASSERT_TRUE(view->EditMode());
  QScrollBar* horizontal = view->Canvas()->horizontalScrollBar();
  ASSERT_GT(horizontal->maximum(), 10);
  const int x = horizontal->value();

  // A drag of the pointer by `by` with the button, as the canvas scrolls under it.
  auto pan = [box](Qt::MouseButton button, QPoint by) {
    const QPoint start = box->mapFromParent(QPoint(30, 20));
    QTest::mousePress(box, button, Qt::NoModifier, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + by), QPointF(box->mapToGlobal(start + by)),
                     Qt::NoButton, button, Qt::NoModifier);
    QApplication::sendEvent(box, &move);
    QTest::mouseRelease(box, button, Qt::NoModifier, start + by);
  };
  QTest::keyPress(box, Qt::Key_Space);
  pan(Qt::LeftButton, QPoint(-10, 0));
  QTest::keyRelease(box, Qt::Key_Space);
  EXPECT_EQ(horizontal->value(), x + 10);
  pan(Qt::MiddleButton, QPoint(5, 0));
  EXPECT_EQ(horizontal->value(), x + 5);

  EXPECT_EQ(view->Edits()->UndoStack()->count(), 0);
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(2, 3));
  EXPECT_EQ(box->cursor().shape(), Qt::SizeAllCursor);
}

TEST_F(HotSpotEditTest, ArrowsNudgeOnlyInEditModeAndARunOfNudgesIsOneStep) {
  TQuvView* view = OpenTank();
  TPaintBox* box = view->Canvas()->PaintBox();
  box->setFocus();
  KeyToMain(Qt::Key_E);
  for (int i = 0; i < 3; ++i) KeyToCanvas(view, Qt::Key_Right);
  KeyToCanvas(view, Qt::Key_Down, Qt::ShiftModifier);
  KeyToCanvas(view, Qt::Key_Left);
  // Right moves the picture right, so its hot spot lies further left of its corner.
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(0, -5));
  EXPECT_EQ(view->InfoPanel()->YOffSet()->value(), -5);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 0);
  EXPECT_EQ(QApplication::focusWidget(), box);
  // Frame 0 now lands at canvas (10, 15).
  EXPECT_EQ(CanvasPixel(view, QPoint(10, 15)), PaletteColour(PatternIndex(0, 0)).rgb());
  EXPECT_EQ(view->Edits()->UndoStack()->count(), 1);

  KeyToMain(Qt::Key_Z);
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(2, 3));
  EXPECT_EQ(CanvasPixel(view, QPoint(8, 7)), PaletteColour(PatternIndex(0, 0)).rgb());
  EXPECT_FALSE(view->Edits()->Modified());

  // Out of edit mode the arrows step frames again.
  KeyToMain(Qt::Key_E);
  EXPECT_FALSE(view->EditMode());
  EXPECT_FALSE(Main->acEditHotSpots->isChecked());
  EXPECT_EQ(box->cursor().shape(), Qt::ArrowCursor);
  KeyToCanvas(view, Qt::Key_Right);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 1);
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(2, 3));
  EXPECT_EQ(view->Edits()->UndoStack()->index(), 0);
}

TEST_F(HotSpotEditTest, OffsetBoxesSetTheShownFramesHotSpotAndFollowFramesAndUndo) {
  TQuvView* view = OpenTank();
  QSpinBox* x = view->InfoPanel()->XOffSet();
  QSpinBox* y = view->InfoPanel()->YOffSet();
  EXPECT_EQ(x->value(), 2);
  EXPECT_EQ(y->value(), 3);

  x->setFocus();
  x->selectAll();
  QTest::keyClicks(x, QStringLiteral("7"));
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(2, 3));  // typing alone changes nothing
  QTest::keyClick(x, Qt::Key_Return);
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(7, 3));
  // Frame 0 lands at canvas (10 - 7, 10 - 3).
  EXPECT_EQ(CanvasPixel(view, QPoint(3, 7)), PaletteColour(PatternIndex(0, 0)).rgb());
  QTest::keyClick(x, Qt::Key_Up);  // the box's own step
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(8, 3));

  y->setFocus();
  y->selectAll();
  QTest::keyClicks(y, QStringLiteral("-4"));
  QTest::keyClick(y, Qt::Key_Return);
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(8, -4));
  EXPECT_EQ(view->Edits()->UndoStack()->count(), 3);

  view->Canvas()->PaintBox()->setFocus();
  KeyToMain(Qt::Key_Z);
  EXPECT_EQ(FrameOffsets(view->Content()), QPoint(8, 3));
  EXPECT_EQ(y->value(), 3);
  KeyToMain(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(y->value(), -4);

  // The boxes show the frame the view is at.
  KeyToCanvas(view, Qt::Key_Right);
  EXPECT_EQ(view->Cursor()->Image()->CurrentFrame, 1);
  EXPECT_EQ(x->value(), 10);
  EXPECT_EQ(y->value(), 10);
  KeyToCanvas(view, Qt::Key_Left);
  EXPECT_EQ(x->value(), 8);
}

}  // namespace
