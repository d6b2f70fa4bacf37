#pragma once
// The image view's paint area: a canvas the view draws frames into and the widget copies to the
// screen. Drawing a frame touches only the canvas rectangles that change, so each animation step
// repaints just the old and the new frame's rectangles.
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>
#include <functional>

class TPaintBox : public QWidget {
  Q_OBJECT
 public:
  explicit TPaintBox(QWidget* parent = nullptr);

  const QImage& Canvas() const { return FCanvas; }
  void Clear(const QColor& colour);
  void FillRect(const QRect& rect, const QColor& colour);
  void DrawImage(const QPoint& at, const QImage& image);

  // Called when the canvas was remade (a new size) and must be drawn again.
  std::function<void()> OnCanvasReset;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QImage FCanvas;
};
