#pragma once
// The image view's paint area: a canvas in sprite pixels that the view draws frames into, shown
// enlarged by a whole number of physical pixels per sprite pixel (nearest neighbour), so pixel
// art stays crisp at any zoom and device-pixel ratio; below 1x each physical pixel shows one of
// a whole number of sprite pixels. Drawing a frame touches only the canvas
// rectangles that change, and a repaint scales only the exposed part, so each animation step
// costs the old and the new frame's rectangles whatever the zoom.
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

class QPainter;

// The aids drawn over the canvas, in canvas pixels; empty rectangles and no hot spot: not drawn.
struct TCanvasMarks {
  std::optional<QPoint> HotSpot;  // the crosshair runs through this pixel's centre
  QRect Bounds;                   // outlined just outside
  QRect SubFrame;                 // sub-frame mode: the sub-frame ...
  QRect SubFrameParent;           // ... and the frame it belongs to
  bool operator==(const TCanvasMarks&) const = default;
};

inline const QColor CrosshairColour{255, 0, 255};
inline const QColor CrosshairAltColour{0, 255, 0};  // where magenta would not stand out
inline const QColor BoundsColour{0, 200, 255};
inline const QColor SubFrameColour{255, 220, 0};
inline const QColor SubFrameParentColour{255, 120, 0};
inline const QColor CheckerLight{255, 255, 255};
inline const QColor CheckerDark{204, 204, 204};
inline const QColor MessageBackground{255, 243, 205};
inline const QColor MessageText{90, 60, 0};

// The checkerboard behind transparent pixels: a tile of 2 x 2 cells, which a textured brush
// repeats from the painter's origin.
const QImage& CheckerTile(int cell);

// Physical pixels per sprite pixel for a zoom step: a whole number, at least 1, for the steps
// from 1x; for a step -n (1/n) one n-th of that at 1x.
qreal PixelScale(int zoom, qreal devicePixelRatio);
// The crosshair's colour over a background: magenta, or green where magenta is too close.
QColor CrosshairColourOn(const QColor& background);

// Draws the part of `canvas` that covers `area` (physical pixels of the painter, whose
// coordinates are physical pixels) at `scale` physical pixels per canvas pixel; with
// `checkerCell` > 0 over a checkerboard of that cell size, which shows where the canvas is clear.
void PaintScaledCanvas(QPainter& painter, const QImage& canvas, qreal scale, const QRect& area,
                       int checkerCell);

class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(QWidget* parent = nullptr);

  // The canvas in sprite pixels: opaque over the background colour, or clear where nothing is
  // drawn while the checkerboard shows through.
  const QImage& Canvas() const { return FCanvas; }
  qreal Scale() const { return FScale; }
  // Physical pixels per canvas pixel and the widget's size; the canvas is remade (and
  // OnCanvasReset called) when its size in canvas pixels changes.
  void SetGeometry(qreal scale, const QSize& size);
  // What lies behind the frames; takes effect at the next Clear.
  void SetBackground(const QColor& colour, bool checkerboard);
  bool Checkerboard() const { return FCheckerboard; }
  void Clear();
  void Erase(const QRect& rect);  // back to the background
  void DrawImage(const QPoint& at, const QImage& image, qreal opacity = 1.0);
  void SetMarks(const TCanvasMarks& marks);
  const TCanvasMarks& Marks() const { return FMarks; }
  // A sentence shown in a box over the middle of the visible part, whatever the zoom (a frame
  // that cannot be drawn says why); empty: none.
  void SetMessage(const QString& text);
  const QString& Message() const { return FMessage; }

  // The canvas pixel under a point of the widget (it may lie outside the canvas).
  QPoint CanvasPixelAt(const QPointF& pos) const;
  // Where a canvas point lands in widget coordinates (its top-left corner).
  QPointF WidgetPoint(const QPointF& canvasPoint) const;
  // The widget rectangle a canvas rectangle covers.
  QRect WidgetRect(const QRect& canvasRect) const;

  // Called when the canvas was remade (a new size) and must be drawn again.
  std::function<void()> OnCanvasReset;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void RemakeCanvas();
  void UpdateCanvasRect(const QRect& rect);
  void UpdateMarks(const TCanvasMarks& marks);
  void PaintMarks(QPainter& painter) const;
  void PaintMessage(QPainter& painter);
  int LineWidth() const;
  QRect PhysicalRect(const QRect& canvasRect) const;  // the physical pixels it covers
  QImage::Format CanvasFormat() const;

  QImage FCanvas;
  qreal FScale = 1;
  QColor FBackground = Qt::white;
  bool FCheckerboard = false;
  TCanvasMarks FMarks;
  QString FMessage;
  QRect FMessageArea;  // the visible part the message was placed in
};
