#pragma once
// The frame of the tests that edit a file in a view and save it: a file whose first frame shows
// a pattern, opened in a view at a known room, and the file read back by a fresh reader.
#include <QImage>
#include <QPoint>
#include <QString>
#include <QTest>
#include <cstdint>
#include <functional>
#include <vector>

#include "GuiTestMain.h"
#include "QuvEditU.h"

class TQuvView;

class EditViewTest : public TViewTest {
 protected:
  void SetUp() override;

  // "tank": frame 0 of 8 x 6 pattern pixels with its hot spot at (2, 3); frame 1 of 4 x 4 with
  // its hot spot at (10, 10), which sets the canvas's left and top edges, so frame 0 lands at
  // canvas (8, 7) and stays where it is moved.
  static std::vector<uint8_t> TankFile();
  static uint8_t PatternIndex(int x, int y) { return uint8_t(16 + x + 8 * y); }
  // The file written as `name` and opened in a view with a drawing area of 400 x 300.
  TQuvView* OpenTank(const QString& name = QStringLiteral("tank.quv"));
  // Everything the file on disk holds, read by a reader of its own.
  static TQuvContent FreshContent(const QString& path);
  static QPoint FrameOffsets(const TQuvContent& content, int frame = 0);

  // Keys as the user presses them: to the main window (its commands), or to the canvas.
  void KeyToMain(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier);
  static void KeyToCanvas(TQuvView* view, Qt::Key key,
                          Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  // A left-button drag on the canvas from `from` by `by` widget pixels; `beforeRelease` runs
  // while the button is still down.
  static void DragOnCanvas(TQuvView* view, QPoint from, QPoint by,
                           const std::function<void()>& beforeRelease = {});
  static QImage Rendered(TQuvView* view);
  // The colour the user sees at a pixel of the canvas, whatever the zoom.
  static QRgb CanvasPixel(TQuvView* view, QPoint canvas);
};
