#include "PaintBoxU.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

// A tile of 2 x 2 cells; a textured brush repeats it from the painter's origin.
const QImage& CheckerTile(int cell) {
  static QImage tile;
  if (tile.width() != 2 * cell) {
    tile = QImage(2 * cell, 2 * cell, QImage::Format_RGB32);
    tile.fill(CheckerLight);
    QPainter painter(&tile);
    painter.fillRect(cell, 0, cell, cell, CheckerDark);
    painter.fillRect(0, cell, cell, cell, CheckerDark);
  }
  return tile;
}

QRect ToPhysical(const QRect& rect, qreal dpr) {
  const int left = int(std::floor(rect.left() * dpr));
  const int top = int(std::floor(rect.top() * dpr));
  const int right = int(std::ceil((rect.left() + rect.width()) * dpr));
  const int bottom = int(std::ceil((rect.top() + rect.height()) * dpr));
  return QRect(left, top, right - left, bottom - top);
}

QRect FromPhysical(const QRect& rect, qreal dpr) {
  const int left = int(std::floor(rect.left() / dpr));
  const int top = int(std::floor(rect.top() / dpr));
  const int right = int(std::ceil((rect.left() + rect.width()) / dpr));
  const int bottom = int(std::ceil((rect.top() + rect.height()) / dpr));
  return QRect(left, top, right - left, bottom - top);
}

int FloorDiv(int a, int b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

int PixelScale(int zoom, qreal devicePixelRatio) {
  return std::max(1, int(std::lround(zoom * std::max<qreal>(devicePixelRatio, 0.01))));
}

void PaintScaledCanvas(QPainter& painter, const QImage& canvas, int scale, const QRect& area,
                       int checkerCell) {
  if (area.isEmpty()) return;
  if (checkerCell > 0) painter.fillRect(area, QBrush(CheckerTile(checkerCell)));
  const QRect source = QRect(QPoint(FloorDiv(area.left(), scale), FloorDiv(area.top(), scale)),
                             QPoint(FloorDiv(area.right(), scale), FloorDiv(area.bottom(), scale)))
                           .intersected(canvas.rect());
  if (source.isEmpty()) return;
  // Without the smooth-transform hint the raster engine scales by nearest neighbour; the first
  // and last blocks may stick out of the area.
  painter.save();
  painter.setClipRect(area, Qt::IntersectClip);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(QRect(source.x() * scale, source.y() * scale, source.width() * scale,
                          source.height() * scale),
                    canvas, source);
  painter.restore();
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  // Every pixel comes from the canvas, so Qt need not erase the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(1, 1);
  FCanvas = QImage(QSize(1, 1), QImage::Format_RGB32);
  FCanvas.fill(Qt::white);
}

void TPaintBox::SetGeometry(int scale, const QSize& size) {
  scale = std::max(1, scale);
  const bool rescaled = scale != FScale;
  FScale = scale;
  resize(size.expandedTo(QSize(1, 1)));
  // A resize remakes the canvas itself; a new scale alone may leave its size as it was.
  if (rescaled) {
    RemakeCanvas();
    update();
  }
}

void TPaintBox::SetBackground(const QColor& colour, bool checkerboard) {
  FBackground = colour;
  FCheckerboard = checkerboard;
}

void TPaintBox::Clear() {
  if (FCanvas.format() != CanvasFormat()) FCanvas = QImage(FCanvas.size(), CanvasFormat());
  FCanvas.fill(FCheckerboard ? QColor(Qt::transparent) : FBackground);
  update();
}

void TPaintBox::Erase(const QRect& rect) {
  const QRect area = rect.intersected(FCanvas.rect());
  if (area.isEmpty()) return;
  QPainter painter(&FCanvas);
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.fillRect(area, FCheckerboard ? QColor(Qt::transparent) : FBackground);
  UpdateCanvasRect(area);
}

void TPaintBox::DrawImage(const QPoint& at, const QImage& image, qreal opacity) {
  if (image.isNull()) return;
  const QRect area = QRect(at, image.size()).intersected(FCanvas.rect());
  if (area.isEmpty()) return;
  QPainter painter(&FCanvas);
  painter.setOpacity(opacity);
  painter.drawImage(at, image);
  UpdateCanvasRect(area);
}

void TPaintBox::SetMarks(const TCanvasMarks& marks) {
  if (marks == FMarks) return;
  UpdateMarks(FMarks);
  FMarks = marks;
  UpdateMarks(FMarks);
}

QPoint TPaintBox::CanvasPixelAt(const QPointF& pos) const {
  const qreal dpr = devicePixelRatioF();
  return QPoint(int(std::floor(pos.x() * dpr / FScale)), int(std::floor(pos.y() * dpr / FScale)));
}

QPointF TPaintBox::WidgetPoint(const QPointF& canvasPoint) const {
  return canvasPoint * FScale / devicePixelRatioF();
}

QRect TPaintBox::WidgetRect(const QRect& canvasRect) const {
  return FromPhysical(QRect(canvasRect.x() * FScale, canvasRect.y() * FScale,
                            canvasRect.width() * FScale, canvasRect.height() * FScale),
                      devicePixelRatioF());
}

// Opaque over the background colour; clear where the checkerboard is to show.
QImage::Format TPaintBox::CanvasFormat() const {
  return FCheckerboard ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
}

int TPaintBox::LineWidth() const {
  return std::max(1, int(std::lround(devicePixelRatioF())));
}

void TPaintBox::UpdateCanvasRect(const QRect& rect) {
  update(WidgetRect(rect));
}

void TPaintBox::UpdateMarks(const TCanvasMarks& marks) {
  const int margin = 2;
  for (const QRect& rect : {marks.Bounds, marks.SubFrame, marks.SubFrameParent})
    if (!rect.isEmpty()) update(WidgetRect(rect).adjusted(-margin, -margin, margin, margin));
  if (marks.HotSpot) {
    const QRect pixel = WidgetRect(QRect(*marks.HotSpot, QSize(1, 1)));
    update(QRect(0, pixel.top() - margin, width(), pixel.height() + 2 * margin));
    update(QRect(pixel.left() - margin, 0, pixel.width() + 2 * margin, height()));
  }
}

void TPaintBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  const qreal dpr = devicePixelRatioF();
  // From here on one unit is one physical pixel, so the scaled canvas meets the screen's grid.
  painter.scale(1 / dpr, 1 / dpr);
  const int cell = FCheckerboard ? std::max(1, int(std::lround(8 * dpr))) : 0;
  for (const QRect& rect : event->region())
    PaintScaledCanvas(painter, FCanvas, FScale, ToPhysical(rect, dpr), cell);
  PaintMarks(painter);
}

void TPaintBox::PaintMarks(QPainter& painter) const {
  const int line = LineWidth();
  auto outline = [&](const QRect& rect, const QColor& colour) {
    if (rect.isEmpty()) return;
    // Just outside the pixels, so none of them is hidden.
    const QRect r(rect.x() * FScale, rect.y() * FScale, rect.width() * FScale,
                  rect.height() * FScale);
    const QRect around = r.adjusted(-line, -line, line, line);
    painter.fillRect(QRect(around.left(), around.top(), around.width(), line), colour);
    painter.fillRect(QRect(around.left(), r.bottom() + 1, around.width(), line), colour);
    painter.fillRect(QRect(around.left(), r.top(), line, r.height()), colour);
    painter.fillRect(QRect(r.right() + 1, r.top(), line, r.height()), colour);
  };
  outline(FMarks.SubFrameParent, SubFrameParentColour);
  outline(FMarks.SubFrame, SubFrameColour);
  outline(FMarks.Bounds, BoundsColour);
  if (FMarks.HotSpot) {
    const qreal dpr = devicePixelRatioF();
    const int fullWidth = int(std::ceil(width() * dpr));
    const int fullHeight = int(std::ceil(height() * dpr));
    const int x = FMarks.HotSpot->x() * FScale + (FScale - line) / 2;
    const int y = FMarks.HotSpot->y() * FScale + (FScale - line) / 2;
    painter.fillRect(QRect(0, y, fullWidth, line), CrosshairColour);
    painter.fillRect(QRect(x, 0, line, fullHeight), CrosshairColour);
  }
}

void TPaintBox::RemakeCanvas() {
  const qreal dpr = devicePixelRatioF();
  const QSize wanted(std::max(1, int(std::ceil(width() * dpr / FScale))),
                     std::max(1, int(std::ceil(height() * dpr / FScale))));
  if (wanted == FCanvas.size()) return;
  FCanvas = QImage(wanted, CanvasFormat());
  FCanvas.fill(FCheckerboard ? QColor(Qt::transparent) : FBackground);
  if (OnCanvasReset) OnCanvasReset();
  update();
}

void TPaintBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RemakeCanvas();
}
