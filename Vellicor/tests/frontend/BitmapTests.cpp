#include <gtest/gtest.h>

#include <cstdlib>

#include "BitmapU.h"
#include "BmpWriterU.h"
#include "FrontendTestUtilsU.h"

namespace {

// A 7 x 5 picture that uses all 16 VGA colours (so every format can hold it), asymmetric so that
// a flip or a mirror shows.
TBitmap VgaPicture() {
  TBitmap bitmap(7, 5);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) bitmap.SetPixel(x, y, VgaColors()[(x + 7 * y) % 16]);
  return bitmap;
}

std::string SaveAs(const TTempDir& dir, const TBitmap& bitmap, const std::string& name) {
  const std::string fileName = dir.File(name);
  WriteFileBytes(fileName, EncodeBmp(bitmap));
  return fileName;
}

int MaxChannelError(TRGBColor a, TRGBColor b) {
  return std::max({std::abs(a.R - b.R), std::abs(a.G - b.G), std::abs(a.B - b.B)});
}

}  // namespace

TEST(Bitmap, TwentyFourBitRowsAreBgrTopDownPaddedToFourBytes) {
  TBitmap bitmap(3, 2);
  EXPECT_EQ(bitmap.Stride(), 12);
  bitmap.SetPixel(0, 0, {10, 20, 30});
  bitmap.SetPixel(2, 1, {40, 50, 60});
  const uint8_t* top = bitmap.ScanLine(0);
  EXPECT_EQ(top[0], 30);
  EXPECT_EQ(top[1], 20);
  EXPECT_EQ(top[2], 10);
  const uint8_t* bottom = bitmap.ScanLine(1);
  EXPECT_EQ(bottom[6], 60);
  EXPECT_EQ(bottom[8], 40);
  EXPECT_EQ(bottom[9] | bottom[10] | bottom[11], 0);
  EXPECT_EQ(bitmap.ScanLine(1) - bitmap.ScanLine(0), 12);
}

TEST(Bitmap, SizeBelowZeroOrBeyondTheLimitIsRefused) {
  TBitmap bitmap;
  EXPECT_THROW(bitmap.SetSize(-1, 4), EBitmapError);
  EXPECT_THROW(bitmap.SetSize(4, -1), EBitmapError);
  EXPECT_THROW(bitmap.SetSize(1 << 20, 1 << 20), EBitmapError);
  bitmap.SetSize(0, 0);
  EXPECT_EQ(bitmap.Bits().size(), 0u);
}

TEST(Bitmap, EveryFormatIsReadBackByImageMagickWithItsColours) {
  TTempDir dir;
  const TBitmap picture = VgaPicture();
  for (TPixelFormat format : {pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(PixelFormatBits(format));
    TBitmap converted = picture;
    converted.SetPixelFormat(format);
    const TDecodedImage decoded =
        DecodeWithMagick(SaveAs(dir, converted, std::to_string(PixelFormatBits(format)) + ".bmp"));
    ASSERT_EQ(decoded.Width, 7);
    ASSERT_EQ(decoded.Height, 5);
    const int tolerance = format == pf15bit || format == pf16bit ? 8 : 0;
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 7; ++x)
        ASSERT_LE(MaxChannelError(decoded.At(x, y), picture.GetPixel(x, y)), tolerance)
            << x << "," << y;
  }
}

TEST(Bitmap, OneBitSplitsByLuminance) {
  TTempDir dir;
  TBitmap bitmap(4, 2);
  const TRGBColor colors[8] = {{0, 0, 255}, {255, 255, 0}, {128, 128, 128}, {127, 127, 127},
                               {255, 0, 0}, {0, 255, 0},   {255, 255, 255}, {0, 0, 0}};
  for (int i = 0; i < 8; ++i) bitmap.SetPixel(i % 4, i / 4, colors[i]);
  bitmap.SetPixelFormat(pf1bit);
  const TDecodedImage decoded = DecodeWithMagick(SaveAs(dir, bitmap, "mono.bmp"));
  const TRGBColor black{0, 0, 0}, white{255, 255, 255};
  const TRGBColor expected[8] = {black, white, white, black, black, white, white, black};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(decoded.At(i % 4, i / 4), expected[i]) << i;
}

TEST(Bitmap, FourBitTakesTheNearestVgaColour) {
  TBitmap bitmap(3, 1);
  bitmap.SetPixel(0, 0, {250, 10, 10});
  bitmap.SetPixel(1, 0, {100, 100, 110});
  bitmap.SetPixel(2, 0, {200, 190, 185});
  bitmap.SetPixelFormat(pf4bit);
  EXPECT_EQ(bitmap.GetPixel(0, 0), (TRGBColor{255, 0, 0}));
  EXPECT_EQ(bitmap.GetPixel(1, 0), (TRGBColor{128, 128, 128}));
  EXPECT_EQ(bitmap.GetPixel(2, 0), (TRGBColor{192, 192, 192}));
}

TEST(Bitmap, EightBitKeepsUpTo256ColoursExactly) {
  TTempDir dir;
  TBitmap bitmap(16, 16);
  for (int i = 0; i < 256; ++i)
    bitmap.SetPixel(i % 16, i / 16, {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
  TBitmap reduced = bitmap;
  reduced.SetPixelFormat(pf8bit);
  EXPECT_EQ(reduced.ColorTable().size(), 256u);
  const TDecodedImage decoded = DecodeWithMagick(SaveAs(dir, reduced, "256.bmp"));
  ASSERT_EQ(decoded.Width, 16);
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(decoded.At(i % 16, i / 16), bitmap.GetPixel(i % 16, i / 16));
}

TEST(Bitmap, EightBitWithMoreThan256ColoursFallsBackToANearTable) {
  TBitmap bitmap(64, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x) bitmap.SetPixel(x, y, {uint8_t(x * 4), uint8_t(y * 16), 128});
  TBitmap reduced = bitmap;
  reduced.SetPixelFormat(pf8bit);
  EXPECT_LE(reduced.ColorTable().size(), 256u);
  int worst = 0;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 64; ++x)
      worst = std::max(worst, MaxChannelError(reduced.GetPixel(x, y), bitmap.GetPixel(x, y)));
  EXPECT_LE(worst, 12);
}

TEST(Bitmap, DrawClipsAtEveryEdgeAndHonoursTransparency) {
  TBitmap source(3, 3);
  source.Fill({1, 2, 3});
  source.SetPixel(1, 1, {200, 0, 0});
  source.TransparentColor = {1, 2, 3};

  TBitmap opaque(4, 4);
  opaque.Fill({9, 9, 9});
  opaque.Draw(-1, 2, source, false);  // only the top-right 2 x 2 part lands
  EXPECT_EQ(opaque.GetPixel(0, 3), (TRGBColor{200, 0, 0}));
  EXPECT_EQ(opaque.GetPixel(1, 2), (TRGBColor{1, 2, 3}));
  EXPECT_EQ(opaque.GetPixel(0, 2), (TRGBColor{1, 2, 3}));
  EXPECT_EQ(opaque.GetPixel(2, 2), (TRGBColor{9, 9, 9}));
  EXPECT_EQ(opaque.GetPixel(0, 1), (TRGBColor{9, 9, 9}));

  TBitmap keyed(4, 4);
  keyed.Fill({9, 9, 9});
  keyed.Draw(2, 2, source, true);
  EXPECT_EQ(keyed.GetPixel(3, 3), (TRGBColor{200, 0, 0}));
  EXPECT_EQ(keyed.GetPixel(2, 2), (TRGBColor{9, 9, 9}));

  keyed.Draw(INT32_MAX - 1, INT32_MIN + 1, source, false);  // far outside: nothing, no overflow
  EXPECT_EQ(keyed.GetPixel(0, 0), (TRGBColor{9, 9, 9}));
}

TEST(Bitmap, DrawBetweenFormatsKeepsTransparencyOfReducedSources) {
  TBitmap source(2, 1);
  source.SetPixel(0, 0, {255, 0, 0});
  source.SetPixel(1, 0, {0, 0, 255});
  source.TransparentColor = {250, 5, 5};  // becomes plain red at 4 bits
  source.SetPixelFormat(pf4bit);
  TBitmap target(2, 1, pf16bit);
  target.Fill({0, 255, 0});
  target.Draw(0, 0, source, true);
  EXPECT_EQ(target.GetPixel(0, 0), (TRGBColor{0, 255, 0}));
  EXPECT_EQ(target.GetPixel(1, 0), (TRGBColor{0, 0, 255}));

  TBitmap indexed(2, 1, pf4bit);
  indexed.Draw(0, 0, source, false);
  EXPECT_EQ(indexed.GetPixel(0, 0), (TRGBColor{255, 0, 0}));
}

TEST(BmpWriter, HeadersFollowEachPixelFormat) {
  struct TCase {
    TPixelFormat Format;
    uint16_t BitCount;
    uint32_t Compression;
    uint32_t TableEntries;
  };
  const TBitmap picture = VgaPicture();
  for (const TCase& c : {TCase{pf1bit, 1, 0, 2}, TCase{pf4bit, 4, 0, 16}, TCase{pf8bit, 8, 0, 16},
                         TCase{pf15bit, 16, 0, 0}, TCase{pf16bit, 16, 3, 0},
                         TCase{pf24bit, 24, 0, 0}, TCase{pf32bit, 32, 0, 0}}) {
    SCOPED_TRACE(PixelFormatBits(c.Format));
    TBitmap bitmap = picture;
    bitmap.SetPixelFormat(c.Format);
    const std::vector<uint8_t> file = EncodeBmp(bitmap);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(Le32(file, 2), file.size());
    EXPECT_EQ(Le32(file, 14), 40u);
    EXPECT_EQ(Le32(file, 18), 7u);
    EXPECT_EQ(Le32(file, 22), 5u);
    EXPECT_EQ(Le16(file, 28), c.BitCount);
    EXPECT_EQ(Le32(file, 30), c.Compression);
    EXPECT_EQ(Le32(file, 46), c.TableEntries);
    const uint32_t masks = c.Compression == 3 ? 12 : 0;
    EXPECT_EQ(Le32(file, 10), 54 + masks + 4 * c.TableEntries);
    EXPECT_EQ(Le32(file, 34), uint32_t(bitmap.Stride()) * 5);
    EXPECT_EQ(bitmap.Stride() % 4, 0);
    if (masks) {
      EXPECT_EQ(Le32(file, 54), 0xF800u);
      EXPECT_EQ(Le32(file, 58), 0x07E0u);
      EXPECT_EQ(Le32(file, 62), 0x001Fu);
    }
  }
}
