// The view's repaint at 16x on a 1600 x 1000 drawing area: a whole repaint of the scaled canvas,
// and an animation step (erase the frame, draw the next, repaint what changed), against a plain
// unscaled QPainter::drawImage of the same area in the same run. An animation at 10 ms per frame
// needs a step well under 10 ms.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QPainter>
#include <vector>

#include "PaintBoxU.h"

namespace {

constexpr int AreaWidth = 1600;
constexpr int AreaHeight = 1000;
constexpr int Zoom = 16;
constexpr int FrameCount = 8;
// A sprite that fills the whole area at 16x: the worst case of a step.
constexpr int SpriteWidth = AreaWidth / Zoom;
constexpr int SpriteHeight = AreaHeight / Zoom;

QImage Target() {
  QImage target(AreaWidth, AreaHeight, QImage::Format_ARGB32_Premultiplied);
  target.fill(Qt::black);
  return target;
}

// Frames with transparent holes, as the view's transparent frame images are.
std::vector<QImage> Frames() {
  std::vector<QImage> frames;
  for (int f = 0; f < FrameCount; ++f) {
    QImage frame(SpriteWidth, SpriteHeight, QImage::Format_ARGB32);
    for (int y = 0; y < SpriteHeight; ++y)
      for (int x = 0; x < SpriteWidth; ++x)
        frame.setPixel(x, y,
                       (x + y + f) % 5 == 0 ? 0u : qRgb((x * 7 + f * 30) & 255, (y * 5) & 255, 90));
    frames.push_back(frame);
  }
  return frames;
}

QImage Canvas(QImage::Format format) {
  QImage canvas(SpriteWidth, SpriteHeight, format);
  canvas.fill(format == QImage::Format_RGB32 ? QColor(Qt::black) : QColor(Qt::transparent));
  return canvas;
}

void BM_BaselineDrawImageOfTheArea(benchmark::State& state) {
  QImage target = Target();
  QImage source(AreaWidth, AreaHeight, QImage::Format_RGB32);
  source.fill(Qt::darkGreen);
  for (auto _ : state) {
    QPainter painter(&target);
    painter.drawImage(0, 0, source);
    benchmark::DoNotOptimize(target.constBits());
  }
}
BENCHMARK(BM_BaselineDrawImageOfTheArea)->Unit(benchmark::kMillisecond);

void BM_RepaintAt16x(benchmark::State& state) {
  const bool checkerboard = state.range(0) != 0;
  QImage target = Target();
  QImage canvas = Canvas(checkerboard ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
  {
    QPainter painter(&canvas);
    painter.drawImage(0, 0, Frames().front());
  }
  for (auto _ : state) {
    QPainter painter(&target);
    PaintScaledCanvas(painter, canvas, Zoom, target.rect(), checkerboard ? 8 : 0);
    benchmark::DoNotOptimize(target.constBits());
  }
}
BENCHMARK(BM_RepaintAt16x)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One animation step as the view does it: erase the frame's rectangle on the canvas, draw the
// next frame (with the onion skin: the previous one at 30 % first), repaint the changed part.
void BM_StepFrameAt16x(benchmark::State& state) {
  const bool onion = state.range(0) != 0;
  const std::vector<QImage> frames = Frames();
  QImage target = Target();
  QImage canvas = Canvas(QImage::Format_RGB32);
  int index = 0;
  for (auto _ : state) {
    {
      QPainter painter(&canvas);
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      painter.fillRect(canvas.rect(), Qt::black);
      painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
      if (onion) {
        painter.setOpacity(0.3);
        painter.drawImage(0, 0, frames[size_t((index + FrameCount - 1) % FrameCount)]);
        painter.setOpacity(1.0);
      }
      painter.drawImage(0, 0, frames[size_t(index)]);
    }
    QPainter painter(&target);
    PaintScaledCanvas(painter, canvas, Zoom, target.rect(), 0);
    benchmark::DoNotOptimize(target.constBits());
    index = (index + 1) % FrameCount;
  }
}
BENCHMARK(BM_StepFrameAt16x)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
