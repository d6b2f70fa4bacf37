#include "PaintBoxU.h"

#include <QPaintEvent>
#include <QPainter>

TPaintBox::TPaintBox(QWidget* parent) : QWidget(parent) {
  // Every pixel comes from the canvas, so Qt need not erase the background first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(1, 1);
  FCanvas = QImage(QSize(1, 1), QImage::Format_RGB32);
  FCanvas.fill(Qt::white);
}

void TPaintBox::Clear(const QColor& colour) {
  FCanvas.fill(colour);
  update();
}

void TPaintBox::FillRect(const QRect& rect, const QColor& colour) {
  const QRect area = rect.intersected(FCanvas.rect());
  if (area.isEmpty()) return;
  QPainter painter(&FCanvas);
  painter.fillRect(area, colour);
  update(area);
}

void TPaintBox::DrawImage(const QPoint& at, const QImage& image) {
  if (image.isNull()) return;
  const QRect area = QRect(at, image.size()).intersected(FCanvas.rect());
  if (area.isEmpty()) return;
  QPainter painter(&FCanvas);
  painter.drawImage(at, image);
  update(area);
}

void TPaintBox::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  for (const QRect& rect : event->region()) painter.drawImage(rect, FCanvas, rect);
}

void TPaintBox::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (size() == FCanvas.size()) return;
  FCanvas = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  FCanvas.fill(Qt::white);
  if (OnCanvasReset) OnCanvasReset();
  update();
}
