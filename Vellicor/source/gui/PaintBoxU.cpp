#include "PaintBoxU.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstdlib>

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

namespace {

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

// The canvas never grows past this side for zooms below 1x, unless the widget itself is larger.
constexpr int MaxCanvasSide = 4096;

}  // namespace

qreal PixelScale(int zoom, qreal devicePixelRatio) {
  const qreal dpr = std::max<qreal>(devicePixelRatio, 0.01);
  if (zoom < 0) return qreal(std::max(1, int(std::lround(dpr)))) / -zoom;
  return std::max(1, int(std::lround(zoom * dpr)));
}

QColor CrosshairColourOn(const QColor& background) {
  // Magenta unless every channel of the background lies near magenta's.
  const int apart = std::max({std::abs(background.red() - CrosshairColour.red()),
                              std::abs(background.green() - CrosshairColour.green()),
                              std::abs(background.blue() - CrosshairColour.blue())});
  return apart >= 128 ? CrosshairColour : CrosshairAltColour;
}

void PaintScaledCanvas(QPainter& painter, const QImage& canvas, qreal scale, const QRect& area,
                       int checkerCell) {
  if (area.isEmpty() || scale <= 0) return;
  if (checkerCell > 0) painter.fillRect(area, QBrush(CheckerTile(checkerCell)));
  // Below 1x a physical pixel shows one of `block` canvas pixels: the source is widened to whole
  // blocks, so that every repaint picks the same ones.
  const int block = scale < 1 ? std::max(1, int(std::lround(1 / scale))) : 1;
  auto first = [&](int physical) {
    return FloorDiv(int(std::floor(physical / scale)), block) * block;
  };
  auto last = [&](int physical) {
    return (FloorDiv(int(std::ceil((physical + 1) / scale)) - 1, block) + 1) * block - 1;
  };
  const QRect source = QRect(QPoint(first(area.left()), first(area.top())),
                             QPoint(last(area.right()), last(area.bottom())))
                           .intersected(canvas.rect());
  if (source.isEmpty()) return;
  // Without the smooth-transform hint the raster engine scales by nearest neighbour; the first
  // and last blocks may stick out of the area.
  painter.save();
  painter.setClipRect(area, Qt::IntersectClip);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(QRectF(source.x() * scale, source.y() * scale, source.width() * scale,
                           source.height() * scale),
                    canvas, QRectF(source));
  painter.restore();
}

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  // Every pixel comes from the canvas, so Qt need not erase the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(1, 1);
  FCanvas = QImage(QSize(1, 1), QImage::Format_RGB32);
  FCanvas.fill(Qt::white);
}

void TPaintBox::SetGeometry(qreal scale, const QSize& size) {
  if (!(scale > 0)) scale = 1;
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

void TPaintBox::SetMessage(const QString& text) {
  if (text == FMessage) return;
  FMessage = text;
  update();
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

QRect TPaintBox::PhysicalRect(const QRect& canvasRect) const {
  const int left = int(std::floor(canvasRect.x() * FScale));
  const int top = int(std::floor(canvasRect.y() * FScale));
  const int right = int(std::ceil((canvasRect.x() + canvasRect.width()) * FScale));
  const int bottom = int(std::ceil((canvasRect.y() + canvasRect.height()) * FScale));
  return QRect(left, top, right - left, bottom - top);
}

QPointF TPaintBox::WidgetPoint(const QPointF& canvasPoint) const {
  return canvasPoint * FScale / devicePixelRatioF();
}

QRect TPaintBox::WidgetRect(const QRect& canvasRect) const {
  return FromPhysical(PhysicalRect(canvasRect), devicePixelRatioF());
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
  // Below 1x a large widget may reach past the canvas: the background shows there.
  const QRect canvasArea = PhysicalRect(FCanvas.rect());
  for (const QRect& rect : event->region()) {
    const QRect area = ToPhysical(rect, dpr);
    if (!FCheckerboard && !canvasArea.contains(area))
      for (const QRect& beyond : QRegion(area).subtracted(canvasArea))
        painter.fillRect(beyond, FBackground);
    PaintScaledCanvas(painter, FCanvas, FScale, area, cell);
  }
  PaintMarks(painter);
  PaintMessage(painter);
}

void TPaintBox::PaintMessage(QPainter& painter) {
  if (FMessage.isEmpty()) return;
  QRect visible = visibleRegion().boundingRect();
  if (visible.isEmpty()) visible = rect();
  // Scrolling moves what was painted: once the visible part changed, the box is placed anew.
  if (visible != FMessageArea) {
    FMessageArea = visible;
    update();
  }
  const int margin = 8;
  const QRect room = visible.adjusted(2 * margin, 2 * margin, -2 * margin, -2 * margin);
  const int flags = Qt::AlignCenter | Qt::TextWordWrap;
  QRect text = painter.fontMetrics().boundingRect(
      QRect(0, 0, std::max(40, std::min(room.width(), 480)), std::max(20, room.height())), flags,
      FMessage);
  text.moveCenter(visible.center());
  painter.save();
  painter.resetTransform();
  painter.setFont(font());
  const QRect box = text.adjusted(-margin, -margin, margin, margin);
  painter.fillRect(box, MessageBackground);
  painter.setPen(MessageText);
  painter.drawRect(box.adjusted(0, 0, -1, -1));
  painter.drawText(text, flags, FMessage);
  painter.restore();
}

void TPaintBox::PaintMarks(QPainter& painter) const {
  const int line = LineWidth();
  auto outline = [&](const QRect& rect, const QColor& colour) {
    if (rect.isEmpty()) return;
    // Just outside the pixels, so none of them is hidden.
    const QRect r = PhysicalRect(rect);
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
    const int x = int(std::floor(FMarks.HotSpot->x() * FScale + (FScale - line) / 2));
    const int y = int(std::floor(FMarks.HotSpot->y() * FScale + (FScale - line) / 2));
    // Told apart from what lies behind the frames.
    const QColor colour = CrosshairColourOn(FCheckerboard ? CheckerLight : FBackground);
    painter.fillRect(QRect(0, y, fullWidth, line), colour);
    painter.fillRect(QRect(x, 0, line, fullHeight), colour);
  }
}

void TPaintBox::RemakeCanvas() {
  const qreal dpr = devicePixelRatioF();
  auto side = [&](int length) {
    const int physical = int(std::ceil(length * dpr));
    return std::clamp(int(std::ceil(length * dpr / FScale)), 1, std::max(MaxCanvasSide, physical));
  };
  const QSize wanted(side(width()), side(height()));
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
