#include "QuvSamplesU.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>

#include "QuvManagerU.h"
#include "QuvWriterU.h"
#include "StringUtilsU.h"

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr uint8_t T = SampleTransparentIndex;

// A few palette indices, named after what they draw.
enum : uint8_t {
  cWhite = 15,
  cYellow = 14,
  cDark = 8,
  cRed = 180,
  cRedRim = 176,
  cBrown = 120,
  cDoor = 112,
  cSail = 250,
  cHub = 100,
  cGreen = 60,
  cTrack = 40,
  cTurret = 70,
  cBarrel = 30,
  cFigure = 200,
};

// A sprite being drawn: every primitive tests each pixel centre, which is plenty for sprites
// this small and keeps the shapes exact.
class TCanvas {
 public:
  TCanvas(int32_t width, int32_t height)
      : FWidth(width), FHeight(height), FPixels(static_cast<size_t>(width * height), T) {}

  void Set(int32_t x, int32_t y, uint8_t colour) {
    if (x >= 0 && y >= 0 && x < FWidth && y < FHeight)
      FPixels[static_cast<size_t>(y * FWidth + x)] = colour;
  }
  void Ellipse(double cx, double cy, double rx, double ry, uint8_t colour) {
    Each(
        [&](double x, double y) {
          const double u = (x - cx) / rx, v = (y - cy) / ry;
          return u * u + v * v <= 1.0;
        },
        colour);
  }
  void Disc(double cx, double cy, double r, uint8_t colour) { Ellipse(cx, cy, r, r, colour); }
  void Line(double x0, double y0, double x1, double y1, double thickness, uint8_t colour) {
    const double dx = x1 - x0, dy = y1 - y0, length2 = dx * dx + dy * dy;
    Each(
        [&](double x, double y) {
          double t = length2 > 0 ? ((x - x0) * dx + (y - y0) * dy) / length2 : 0;
          t = std::clamp(t, 0.0, 1.0);
          const double ex = x0 + t * dx - x, ey = y0 + t * dy - y;
          return ex * ex + ey * ey <= thickness * thickness / 4;
        },
        colour);
  }
  void Rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, uint8_t colour) {
    for (int32_t y = y0; y <= y1; ++y)
      for (int32_t x = x0; x <= x1; ++x) Set(x, y, colour);
  }
  TSampleFrame Frame(int32_t xOffset, int32_t yOffset, uint8_t compression) const {
    TSampleFrame frame;
    frame.Width = FWidth;
    frame.Height = FHeight;
    frame.XOffset = xOffset;
    frame.YOffset = yOffset;
    frame.Compression = compression;
    frame.Pixels = FPixels;
    return frame;
  }

 private:
  template <class F>
  void Each(F inside, uint8_t colour) {
    for (int32_t y = 0; y < FHeight; ++y)
      for (int32_t x = 0; x < FWidth; ++x)
        if (inside(x + 0.5, y + 0.5)) FPixels[static_cast<size_t>(y * FWidth + x)] = colour;
  }

  int32_t FWidth;
  int32_t FHeight;
  std::vector<uint8_t> FPixels;
};

// A ball falling and bouncing: squashed on the ground, stretched when fast. The hot spot stays
// on the ground under the ball, so the offsets carry the height of the bounce.
TSampleImage Ball() {
  TSampleImage image{"ball", {}};
  for (int32_t i = 0; i < 8; ++i) {
    const double height = 40 * std::sin(Pi * i / 8);
    double rx = 10, ry = 10;
    if (i == 0) rx = 13, ry = 7;
    if (i == 1 || i == 7) rx = 9, ry = 11;
    const int32_t w = static_cast<int32_t>(2 * rx) + 2, h = static_cast<int32_t>(2 * ry) + 2;
    TCanvas canvas(w, h);
    canvas.Ellipse(w / 2.0, h / 2.0, rx, ry, cRedRim);
    canvas.Ellipse(w / 2.0, h / 2.0, rx - 1.5, ry - 1.5, cRed);
    canvas.Ellipse(w / 2.0 - rx / 3, h / 2.0 - ry / 3, rx / 4, ry / 4, cWhite);
    image.Frames.push_back(canvas.Frame(w / 2, h + static_cast<int32_t>(height), 1));
  }
  return image;
}

// A windmill whose four sails turn a quarter turn over six frames; raw rows.
TSampleImage Windmill() {
  TSampleImage image{"windmill", {}};
  for (int32_t i = 0; i < 6; ++i) {
    TCanvas canvas(48, 64);
    for (int32_t y = 28; y < 64; ++y) {
      const int32_t half = 3 + (y - 28) * 4 / 36;
      canvas.Rect(24 - half, y, 23 + half, y, cBrown);
    }
    canvas.Rect(22, 55, 25, 63, cDoor);
    for (int32_t k = 0; k < 4; ++k) {
      const double a = (i * 15 + k * 90) * Pi / 180;
      canvas.Line(24, 24, 24 + 21 * std::cos(a), 24 + 21 * std::sin(a), 4, cSail);
    }
    canvas.Disc(24, 24, 3, cHub);
    image.Frames.push_back(canvas.Frame(24, 63, 0));
  }
  return image;
}

// A tank built from two overlapping sub-frames: the hull (tracks moving) and the turret, which
// turns a full circle over eight frames and lies over the hull.
TSampleImage Tank() {
  TSampleImage image{"tank", {}};
  for (int32_t i = 0; i < 8; ++i) {
    TCanvas hull(36, 22);
    hull.Rect(0, 0, 35, 4, cTrack);
    hull.Rect(0, 17, 35, 21, cTrack);
    for (int32_t x = i % 4; x < 36; x += 4) {
      hull.Rect(x, 0, x, 4, cDark);
      hull.Rect(x, 17, x, 21, cDark);
    }
    hull.Rect(2, 5, 33, 16, cGreen);
    TCanvas turret(30, 30);
    const double a = i * 45 * Pi / 180;
    turret.Line(15, 15, 15 + 14 * std::cos(a), 15 + 14 * std::sin(a), 3, cBarrel);
    turret.Disc(15, 15, 7, cTurret);
    TSampleFrame frame;
    frame.Width = 40;
    frame.Height = 32;
    frame.XOffset = 20;
    frame.YOffset = 16;
    frame.SubFrames.push_back(hull.Frame(18, 11, 1));
    frame.SubFrames.push_back(turret.Frame(15, 15, 0));
    image.Frames.push_back(std::move(frame));
  }
  return image;
}

// A light blinking between a large lit frame and a small dark one, centred on one hot spot.
TSampleImage Light() {
  TSampleImage image{"light", {}};
  TCanvas lit(16, 16);
  lit.Disc(8, 8, 7.5, cYellow);
  lit.Disc(8, 8, 4, cWhite);
  image.Frames.push_back(lit.Frame(8, 8, 1));
  TCanvas dark(8, 8);
  dark.Disc(4, 4, 3, cDark);
  image.Frames.push_back(dark.Frame(4, 4, 0));
  return image;
}

// A stick figure walking: legs and arms swing against each other.
TSampleImage Walker() {
  TSampleImage image{"walker", {}};
  const double swing[4] = {-1, -0.3, 1, 0.3};
  for (double s : swing) {
    TCanvas canvas(20, 32);
    canvas.Disc(10, 5, 3.5, cFigure);
    canvas.Line(10, 8, 10, 20, 2, cFigure);
    canvas.Line(10, 20, 10 + 5 * s, 31.5, 2, cFigure);
    canvas.Line(10, 20, 10 - 5 * s, 31.5, 2, cFigure);
    canvas.Line(10, 11, 10 - 5 * s, 18, 1.5, cFigure);
    canvas.Line(10, 11, 10 + 5 * s, 18, 1.5, cFigure);
    image.Frames.push_back(canvas.Frame(10, 31, 1));
  }
  return image;
}

}  // namespace

std::vector<TSampleImage> SampleSprites() {
  return {Ball(), Windmill(), Tank(), Light(), Walker()};
}

std::vector<uint8_t> BuildQuvFile(const std::vector<TSampleImage>& images, uint8_t compressionMode,
                                  uint8_t transparentIndex) {
  return EncodeQuvFile(images, compressionMode, transparentIndex);
}

std::vector<uint8_t> MakeSampleQuv() {
  return BuildQuvFile(SampleSprites());
}

std::vector<TSampleImage> SyntheticImages(int32_t imageCount, int32_t frameCount, int32_t width,
                                          int32_t height, uint8_t compression, int32_t firstImage) {
  std::vector<TSampleImage> images;
  images.reserve(static_cast<size_t>(imageCount));
  for (int32_t n = firstImage; n < firstImage + imageCount; ++n) {
    TSampleImage image{Format("image%04d", n), {}};
    for (int32_t f = 0; f < frameCount; ++f) {
      TSampleFrame frame;
      frame.Width = width;
      frame.Height = height;
      frame.XOffset = width / 2;
      frame.YOffset = height - 1;
      frame.Compression = compression;
      frame.Pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
      for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) {
          const int32_t v = (x + 3 * y + 5 * f + n) % 23;
          uint8_t pixel = v < 6    ? T
                          : v < 12 ? uint8_t{40}
                                   : static_cast<uint8_t>(100 + (7 * x + y) % 50);
          frame.Pixels[static_cast<size_t>(y * width + x)] = pixel;
        }
      }
      image.Frames.push_back(std::move(frame));
    }
    images.push_back(std::move(image));
  }
  return images;
}

std::vector<uint8_t> MakeSyntheticQuv(int32_t imageCount, int32_t frameCount, int32_t width,
                                      int32_t height, uint8_t compression) {
  return BuildQuvFile(SyntheticImages(imageCount, frameCount, width, height, compression));
}

std::vector<std::pair<std::string, std::vector<uint8_t>>> SampleFiles() {
  const std::vector<TSampleImage> sprites = SampleSprites();
  return {{"sample.quv", BuildQuvFile(sprites)},
          {"sample_raw.quv", BuildQuvFile(sprites, 0)},
          {"tank.quv", BuildQuvFile({Tank()}, 2)}};
}

std::vector<std::string> WriteSampleFiles(const std::string& dir) {
  std::vector<std::string> written;
  for (const auto& [name, bytes] : SampleFiles()) {
    const std::string path = JoinPath(dir, name, PathDelim);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw EInOutError(Format("Unable to write file \"%s\"", path.c_str()));
    written.push_back(path);
  }
  return written;
}

TSampleFrame SolidFrame(int32_t width, int32_t height, int32_t xOffset, int32_t yOffset,
                        uint8_t colour) {
  TSampleFrame frame;
  frame.Width = width;
  frame.Height = height;
  frame.XOffset = xOffset;
  frame.YOffset = yOffset;
  frame.Pixels.assign(size_t(width) * size_t(height), colour);
  return frame;
}
