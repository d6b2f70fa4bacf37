// The readers pack takes its input through: BMP and PNG pictures, the colour mapping back to
// palette indices, sprite-sheet atlases and frame-data text.
#include <gtest/gtest.h>

#include <zlib.h>

#include <functional>

#include "BmpWriterU.h"
#include "ColourMapU.h"
#include "ExceptionsU.h"
#include "FrameDataTextU.h"
#include "ImageLoaderU.h"
#include "PackTestSupportU.h"
#include "PictureReaderU.h"
#include "SheetAtlasU.h"

namespace {

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.what();
  }
  return "";
}

// A 5 x 3 picture of distinct colours, one of them the transparent colour.
TBitmap TestBitmap() {
  TBitmap bitmap(5, 3, pf24bit);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 5; ++x) {
      const TPaletteEntry& e = BuiltInPalette()[size_t(16 + 5 * y + x)];
      bitmap.SetPixel(x, y, TRGBColor{e[0], e[1], e[2]});
    }
  const TPaletteEntry& t = BuiltInPalette()[9];
  bitmap.SetPixel(4, 2, TRGBColor{t[0], t[1], t[2]});
  return bitmap;
}

// The entry a colour takes by definition: the transparent one for alpha below 128, else the
// nearest by squared RGB distance, the lowest index among equals, the transparent one first for
// its own colour unless opaque pixels stay opaque.
uint8_t NearestEntry(const TPalette& palette, uint8_t transparent, TPictureColour c, bool opaque) {
  if (c.A < 128) return transparent;
  const auto distance = [&](size_t i) {
    const int dr = palette[i][0] - c.R, dg = palette[i][1] - c.G, db = palette[i][2] - c.B;
    return dr * dr + dg * dg + db * db;
  };
  if (!opaque && distance(transparent) == 0) return transparent;
  size_t best = opaque && transparent == 0 ? 1 : 0;
  for (size_t i = 0; i < 256; ++i)
    if (!(opaque && i == transparent) && distance(i) < distance(best)) best = i;
  return uint8_t(best);
}

// Maps the picture's pixels and checks each against NearestEntry, and the count of pixels
// without their exact colour.
void ExpectNearestEntries(const TSourcePicture& picture) {
  const TPalette& palette = BuiltInPalette();
  TColourMapper mapper(palette, 9);
  std::vector<uint8_t> out;
  const int64_t moved = mapper.Map(picture, 0, 0, picture.Width, picture.Height, out);
  int64_t expectedMoved = 0;
  for (int32_t y = 0; y < picture.Height; ++y)
    for (int32_t x = 0; x < picture.Width; ++x) {
      const TPictureColour c = picture.At(x, y);
      const uint8_t index = NearestEntry(palette, 9, c, picture.HasAlpha);
      ASSERT_EQ(out[size_t(y) * size_t(picture.Width) + size_t(x)], index)
          << x << "," << y << (picture.HasAlpha ? " with alpha" : "");
      const TPaletteEntry& e = palette[index];
      expectedMoved += c.A >= 128 && (e[0] != c.R || e[1] != c.G || e[2] != c.B);
    }
  EXPECT_EQ(moved, expectedMoved);
}

}  // namespace

TEST(PictureReader, ReadsTheBmpFilesTheExportWritesAtEveryExactDepth) {
  for (TPixelFormat format : {pf8bit, pf24bit, pf32bit}) {
    TBitmap bitmap = TestBitmap();
    const TBitmap original = bitmap;
    bitmap.SetPixelFormat(format);
    const TSourcePicture picture = DecodeBmp(EncodeBmp(bitmap), "t.bmp");
    ASSERT_EQ(picture.Width, 5);
    ASSERT_EQ(picture.Height, 3);
    EXPECT_FALSE(picture.HasAlpha);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x) {
        const TRGBColor c = original.GetPixel(x, y);
        EXPECT_EQ(picture.At(x, y), (TPictureColour{c.R, c.G, c.B, 255}))
            << int(format) << " at " << x << "," << y;
      }
  }
  // 16 bits keep the colour to five or six bits a channel.
  TBitmap bitmap = TestBitmap();
  bitmap.SetPixelFormat(pf16bit);
  const TSourcePicture picture = DecodeBmp(EncodeBmp(bitmap), "t.bmp");
  const TRGBColor c = TestBitmap().GetPixel(1, 1);
  EXPECT_NEAR(picture.At(1, 1).R, c.R, 8);
  EXPECT_NEAR(picture.At(1, 1).G, c.G, 4);
}

TEST(PictureReader, RefusesBrokenAndOversizedBmpFilesByName) {
  std::vector<uint8_t> bytes = EncodeBmp(TestBitmap());
  std::vector<uint8_t> cut(bytes.begin(), bytes.end() - 10);
  EXPECT_NE(ErrorOf([&] { DecodeBmp(cut, "cut.bmp"); }).find("\"cut.bmp\" is truncated"),
            std::string::npos);
  std::vector<uint8_t> wide = bytes;
  wide[18] = 0x70, wide[19] = 0x11, wide[20] = 0x01;  // 70,000 pixels wide
  EXPECT_NE(ErrorOf([&] { DecodeBmp(wide, "wide.bmp"); }).find("at most 65535 pixels on a side"),
            std::string::npos);
  // Both sides near 2^31 at 32 bits: refused by their size before any row arithmetic.
  std::vector<uint8_t> huge = bytes;
  huge[28] = 32, huge[29] = 0;
  for (size_t at : {size_t(18), size_t(22)})
    huge[at] = 0xFF, huge[at + 1] = 0xFF, huge[at + 2] = 0xFF, huge[at + 3] = 0x7F;
  EXPECT_NE(ErrorOf([&] { DecodeBmp(huge, "huge.bmp"); }).find("at most 65535 pixels on a side"),
            std::string::npos);
  std::vector<uint8_t> rle = bytes;
  rle[30] = 1;
  EXPECT_NE(ErrorOf([&] { DecodeBmp(rle, "rle.bmp"); }).find("compressed"), std::string::npos);
}

TEST(PictureReader, ReadsIndexedPngsWithTheirIndicesPaletteAndTransparency) {
  const auto palette = Png8Palette(BuiltInPalette(), 9);
  const std::vector<uint8_t> indices = {9, 0, 255, 17, 9, 200};
  const TSourcePicture picture = DecodePng(EncodeIndexedPng(3, 2, indices, palette), "i.png");
  EXPECT_TRUE(picture.Indexed);
  EXPECT_TRUE(picture.HasAlpha);
  EXPECT_EQ(picture.PaletteCount, 256);
  EXPECT_EQ(picture.Pixels, indices);
  EXPECT_EQ(picture.Palette[9].A, 0);
  EXPECT_EQ(picture.Palette[200].A, 255);
  EXPECT_EQ(picture.Palette[255], (TPictureColour{255, 255, 255, 255}));
}

TEST(PictureReader, ReadsRgbaPngsAndRefusesWhatIsNoUsablePng) {
  const std::vector<uint8_t> rgba = {1, 2, 3, 255, 4, 5, 6, 0, 7, 8, 9, 100, 10, 11, 12, 255};
  const std::vector<uint8_t> png = EncodeRgbaPng(2, 2, rgba);
  const TSourcePicture picture = DecodePng(png, "c.png");
  EXPECT_FALSE(picture.Indexed);
  EXPECT_EQ(picture.Pixels, rgba);

  EXPECT_EQ(ErrorOf([] {
              DecodePicture(std::vector<uint8_t>{'G', 'I', 'F', '8', '9', 'a', 0, 0}, "x.png");
            }),
            "\"x.png\" is not a PNG or BMP file");
  const std::vector<uint8_t> cut(png.begin(), png.begin() + std::ptrdiff_t(png.size() / 2));
  EXPECT_NE(ErrorOf([&] { DecodePng(cut, "cut.png"); }).find("\"cut.png\" is not a usable PNG"),
            std::string::npos);
  const std::vector<uint8_t> wide = EncodeRgbaPng(70000, 1, std::vector<uint8_t>(280000, 0));
  EXPECT_NE(ErrorOf([&] { DecodePng(wide, "wide.png"); }).find("\"wide.png\" is 70000 x 1"),
            std::string::npos);
  // A header that claims far more pixels than its data could ever inflate to is not decoded.
  std::vector<uint8_t> bomb = png;
  bomb[16] = 0, bomb[17] = 0, bomb[18] = 0x1F, bomb[19] = 0x40;  // 8000 wide
  bomb[20] = 0, bomb[21] = 0, bomb[22] = 0x1F, bomb[23] = 0x40;  // 8000 high
  const uint32_t crc = uint32_t(crc32(0, bomb.data() + 12, 17));
  bomb[29] = uint8_t(crc >> 24), bomb[30] = uint8_t(crc >> 16), bomb[31] = uint8_t(crc >> 8),
  bomb[32] = uint8_t(crc);
  EXPECT_NE(ErrorOf([&] { DecodePng(bomb, "bomb.png"); }).find("\"bomb.png\""), std::string::npos);
}

TEST(ColourMap, KeepsProcessPaletteIndicesAndMapsEveryOtherColourByValue) {
  TColourMapper mapper(BuiltInPalette(), 9);
  std::vector<uint8_t> out;
  // The png8 form: its indices stand, even where two entries share a colour.
  const auto palette = Png8Palette(BuiltInPalette(), 9);
  const TSourcePicture indexed = DecodePng(EncodeIndexedPng(3, 1, {10, 9, 240}, palette), "i.png");
  EXPECT_EQ(mapper.Map(indexed, 0, 0, 3, 1, out), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{10, 9, 240}));

  // Colours: exact entries (the lowest index of equal colours), alpha below 128 transparent, and
  // an opaque pixel of the transparent colour kept opaque, on the nearest other entry.
  const TPaletteEntry& t = BuiltInPalette()[9];
  const std::vector<uint8_t> rgba = {0, 0,   0,    255,  0xFF, 0xEB, 0xF3, 255,  1,    2,
                                     3, 127, t[0], t[1], t[2], 255,  0xFE, 0xEB, 0xF3, 200};
  const TSourcePicture colours = DecodePng(EncodeRgbaPng(5, 1, rgba), "c.png");
  EXPECT_EQ(mapper.Map(colours, 0, 0, 5, 1, out), 2);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 16);
  EXPECT_EQ(out[2], 9);
  EXPECT_NE(out[3], 9);
  EXPECT_EQ(out[4], 16);

  // Without transparency in the file (a BMP), the transparent colour means the empty pixel.
  const TSourcePicture bmp = DecodeBmp(EncodeBmp(TestBitmap()), "t.bmp");
  EXPECT_EQ(mapper.Map(bmp, 3, 2, 2, 1, out), 0);
  EXPECT_EQ(out, (std::vector<uint8_t>{29, 9}));
}

TEST(ColourMap, MapsPicturesOfThousandsOfColoursLikeASearchForEachPixel) {
  // Every palette colour, each one step off it, and a coarse grid of the colour cube: about 6,000
  // colours, laid out once in runs and once scattered.
  const TPalette& palette = BuiltInPalette();
  std::vector<TPictureColour> colours;
  for (size_t i = 0; i < 256; ++i)
    for (int step : {0, 1, -1})
      colours.push_back({uint8_t(palette[i][0] + step), palette[i][1], palette[i][2], 255});
  for (int r = 0; r < 256; r += 15)
    for (int g = 0; g < 256; g += 15)
      for (int b = 0; b < 256; b += 17) colours.push_back({uint8_t(r), uint8_t(g), uint8_t(b)});
  const size_t n = colours.size();
  TSourcePicture picture;
  picture.Width = int32_t(n);
  picture.Height = 2;
  for (size_t i = 0; i < 2 * n; ++i) {
    const TPictureColour& c = colours[i < n ? i / 4 * 4 : (i * 7919) % n];
    picture.Pixels.insert(picture.Pixels.end(), {c.R, c.G, c.B, c.A});
  }
  ExpectNearestEntries(picture);
  picture.HasAlpha = true;
  ExpectNearestEntries(picture);

  // An indexed picture of another palette, one entry transparent: each pixel takes what its
  // entry's colour takes.
  TSourcePicture indexed;
  indexed.Width = 300, indexed.Height = 1, indexed.Indexed = true, indexed.HasAlpha = true;
  indexed.PaletteCount = 256;
  for (size_t i = 0; i < 256; ++i) indexed.Palette[i] = colours[3 * i + 1];
  indexed.Palette[5].A = 0;
  for (size_t x = 0; x < 300; ++x) indexed.Pixels.push_back(uint8_t(x * 37));
  ExpectNearestEntries(indexed);
}

TEST(SheetAtlas, ReadsFramesCellsHotSpotsAndScale) {
  const TSheetAtlas atlas = ParseSheetAtlas(
      R"({"frames": [{"filename": "arm_0", "frame": {"x": 0, "y": 0, "w": 8, "h": 6},
          "rotated": false, "trimmed": false, "spriteSourceSize": {"x": 1, "y": 2, "w": 5, "h": 4},
          "sourceSize": {"w": 8, "h": 6}, "hotspot": {"x": -3, "y": 5}, "pivot": {"x": 0.5, "y": 0.5},
          "duration": 67},
          {"filename": "arm_1", "frame": {"x": 8, "y": 0, "w": 8, "h": 6}}],
          "meta": {"app": "Vellicor", "image": "arm_sheet.png", "size": {"w": 16, "h": 6},
          "format": "RGBA8888", "scale": 2}})",
      "arm_sheet.json");
  ASSERT_EQ(atlas.Frames.size(), 2u);
  EXPECT_EQ(atlas.Image, "arm_sheet.png");
  EXPECT_EQ(atlas.Scale, 2);
  const TAtlasFrame& f = atlas.Frames[0];
  EXPECT_EQ(f.Name, "arm_0");
  EXPECT_EQ(f.Source.X, 1);
  EXPECT_EQ(f.Source.H, 4);
  EXPECT_EQ(f.HotX, -3);
  EXPECT_TRUE(f.HasSource && f.HasHotSpot);
  EXPECT_FALSE(atlas.Frames[1].HasSource || atlas.Frames[1].HasHotSpot);
  EXPECT_EQ(atlas.Frames[1].Cell.X, 8);
}

TEST(SheetAtlas, RefusesMalformedAtlasesNamingTheFile) {
  const auto error = [](const std::string& text) {
    return ErrorOf([&] { ParseSheetAtlas(text, "a.json"); });
  };
  EXPECT_EQ(error("{"), "Atlas \"a.json\": not valid JSON");
  EXPECT_EQ(error("{\"frames\": []}"), "Atlas \"a.json\": no frames");
  EXPECT_EQ(error(R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 0, "h": 1}}]})"),
            "Atlas \"a.json\": frame 0 \"frame\": \"w\" is not a whole number from 1 to 16777216");
  EXPECT_EQ(error(R"({"frames": [{"frame": {"x": 0.5, "y": 0, "w": 1, "h": 1}}]})"),
            "Atlas \"a.json\": frame 0 \"frame\": \"x\" is not a whole number from 0 to 16777216");
  EXPECT_EQ(error(R"({"frames": [{"rotated": true, "frame": {"x": 0, "y": 0, "w": 1, "h": 1}}]})"),
            "Atlas \"a.json\": frame 0 is rotated, which is not read");
  EXPECT_EQ(error(std::string(100000, '[') + std::string(100000, ']')),
            "Atlas \"a.json\": nested too deeply");
  EXPECT_EQ(
      error(R"({"frames": [{"frame": {"x": 0, "y": 0, "w": 1, "h": 1}}], "meta": {"scale": 17}})"),
      "Atlas \"a.json\": \"meta\": \"scale\" is above 16");
}

TEST(FrameDataText, ReadsEveryTypeKeepingTheFramesGroup) {
  TFrameDataText data = ParseFrameDataText(
      "Extended=2\r\nXOffset,YOffset,Width,Height,ImageName\r\n"
      "10,25,20,30,arm_03.bmp,1,2,5,6,arm_03_0.bmp,3,4,7,8,arm_03_1.bmp\r\n-4,-5,1,1,arm_04."
      "bmp\r\n",
      "arm_Data.txt");
  EXPECT_EQ(data.Type, 2);
  ASSERT_EQ(data.Lines.size(), 2u);
  EXPECT_EQ(data.Lines[0].X, 10);
  EXPECT_EQ(data.Lines[0].Height, 30);
  EXPECT_EQ(data.Lines[0].FileName, "arm_03.bmp");
  EXPECT_EQ(data.Lines[1].X, -4);

  data = ParseFrameDataText("Extended=1\nXOffset,YOffset,Width,Height\n3,4,5,6\n", "b_Data.txt");
  ASSERT_EQ(data.Lines.size(), 1u);
  EXPECT_EQ(data.Lines[0].Width, 5);
  data = ParseFrameDataText("Extended=0\r\nXOffset,YOffset\r\n3,4,1,1\r\n", "c_Data.txt");
  EXPECT_EQ(data.Lines[0].Y, 4);
}

TEST(FrameDataText, RefusesMalformedFilesNamingFileAndLine) {
  const auto error = [](const std::string& text) {
    return ErrorOf([&] { ParseFrameDataText(text, "d.txt"); });
  };
  EXPECT_EQ(error("Extended=3\r\n"),
            "Frame data \"d.txt\", line 1: expected \"Extended=0\", \"Extended=1\" or "
            "\"Extended=2\"");
  EXPECT_EQ(error("Extended=1\r\nXOffset,YOffset\r\n"),
            "Frame data \"d.txt\", line 2: expected the header \"XOffset,YOffset,Width,Height\"");
  EXPECT_EQ(error("Extended=0\r\nXOffset,YOffset\r\n1,2\r\n1,2,3\r\n"),
            "Frame data \"d.txt\", line 4: 3 fields; each group has 2");
  EXPECT_EQ(error("Extended=1\r\nXOffset,YOffset,Width,Height\r\n1,2,0,3\r\n"),
            "Frame data \"d.txt\", line 3: size 0 is outside 1 to 65535");
  EXPECT_EQ(error("Extended=0\r\nXOffset,YOffset\r\n1,x\r\n"),
            "Frame data \"d.txt\", line 3: \"x\" is not a number");
}
