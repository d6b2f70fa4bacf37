#include <gtest/gtest.h>

#include "FileReaderU.h"
#include "FileSystemU.h"
#include "FrontendTestUtilsU.h"
#include "ImageLoaderU.h"
#include "MemoryImagesU.h"

namespace {

TRGBColor Rgb(uint32_t rrggbb) {
  return {uint8_t(rrggbb >> 16), uint8_t(rrggbb >> 8), uint8_t(rrggbb)};
}

TRGBColor EntryColor(const TPalette& palette, int index) {
  return {palette[index][0], palette[index][1], palette[index][2]};
}

// A palette file whose entry i is (i, 255 - i, i / 2, 77).
std::vector<uint8_t> PaletteBytes(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) {
    const uint8_t entry = uint8_t(i / 4);
    const uint8_t values[4] = {entry, uint8_t(255 - entry), uint8_t(entry / 2), 77};
    bytes[i] = values[i % 4];
  }
  return bytes;
}

bool LoadPaletteFile(const std::string& fileName) {
  auto reader = std::make_shared<TSystemFileReader>(fileName);
  reader->Open(fmRead);
  return LoadPaletteFrom(reader);
}

// Every front-end test starts from the built-in palette.
class FrontEndImages : public ::testing::Test {
 protected:
  void SetUp() override {
    Palette = BuiltInPalette();
    TransparentIndex = 9;
  }
};

}  // namespace

TEST(PaletteTest, BuiltInEntriesHoldTheTabledColoursAndZeroFourthBytes) {
  const TPalette& p = BuiltInPalette();
  EXPECT_EQ(EntryColor(p, 0), Rgb(0x000000));
  EXPECT_EQ(EntryColor(p, 8), Rgb(0xC0DCC0));
  EXPECT_EQ(EntryColor(p, 9), Rgb(0x5454FC));
  EXPECT_EQ(EntryColor(p, 100), Rgb(0x7B97FF));
  EXPECT_EQ(EntryColor(p, 171), Rgb(0x1B4307));
  EXPECT_EQ(EntryColor(p, 216), Rgb(0xDFCBFF));
  EXPECT_EQ(EntryColor(p, 246), Rgb(0xFFFBF0));
  EXPECT_EQ(EntryColor(p, 247), Rgb(0xA0A0A4));
  EXPECT_EQ(EntryColor(p, 255), Rgb(0xFFFFFF));
  for (int i = 0; i < 256; ++i) EXPECT_EQ(p[i][3], 0) << i;
}

TEST(PaletteTest, FilesOf1023Or1025BytesFallBackToTheBuiltInPaletteWithIndex9) {
  TTempDir dir;
  for (size_t size : {size_t(1023), size_t(1025), size_t(0)}) {
    SCOPED_TRACE(size);
    Palette = {};
    TransparentIndex = 0;
    WriteFileBytes(dir.File("palette.pal"), PaletteBytes(size));
    EXPECT_FALSE(LoadPaletteFile(dir.File("palette.pal")));
    EXPECT_EQ(Palette, BuiltInPalette());
    EXPECT_EQ(TransparentIndex, 9);
  }
  TransparentIndex = 0;
  EXPECT_FALSE(LoadPaletteFrom(nullptr));
  EXPECT_EQ(TransparentIndex, 9);
}

TEST(PaletteTest, LoadedPaletteReplacesEveryFourthByteAndKeepsTheTransparentIndex) {
  TTempDir dir;
  WriteFileBytes(dir.File("palette.pal"), PaletteBytes(1024));
  TransparentIndex = 0;
  EXPECT_TRUE(LoadPaletteFile(dir.File("palette.pal")));
  EXPECT_EQ(TransparentIndex, 0);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(EntryColor(Palette, i), (TRGBColor{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)}));
    const uint8_t expected = i == 0 || i == 9 ? 0 : i == 10 ? 100 : 255;
    EXPECT_EQ(Palette[i][3], expected) << i;
  }
  // A fall-back that ran before leaves its index behind.
  TransparentIndex = 9;
  EXPECT_TRUE(LoadPaletteFile(dir.File("palette.pal")));
  EXPECT_EQ(TransparentIndex, 9);
}

TEST(PaletteTest, LoadPaletteFindsTheFileThroughTheFileSystem) {
  TTempDir dir;
  WriteFileBytes(dir.File("palette.pal"), PaletteBytes(1024));
  TFileSystem fileSystem;
  fileSystem.AddSearchPath("", dir.Path().string(), 0, {{"*.pal", 0, false}});
  fileSystem.Initialize();
  EXPECT_TRUE(LoadPalette("palette.pal", &fileSystem));
  EXPECT_EQ(EntryColor(Palette, 3), (TRGBColor{3, 252, 1}));
  EXPECT_FALSE(LoadPalette("missing.pal", &fileSystem));
  EXPECT_EQ(Palette, BuiltInPalette());
  fileSystem.Finalize();
}

TEST_F(FrontEndImages, TransparentColourIsThatOfTheTransparentEntry) {
  TMemoryFile file;
  file.AddImage("a", {TFrameDesc{}});
  TFrontEndImages images(file.Images.get());
  EXPECT_EQ(images.GetImage("a")->GetFrame(0)->GetPixels().Bitmap().TransparentColor,
            Rgb(0x5454FC));
  EXPECT_TRUE(images.GetImage("a")->GetFrame(0)->GetPixels().Bitmap().Transparent);

  Palette[0] = {1, 2, 3, 0};
  TransparentIndex = 0;
  TMemoryFile other;
  other.AddImage("a", {TFrameDesc{}});
  TFrontEndImages otherImages(other.Images.get());
  EXPECT_EQ(otherImages.GetImage("a")->GetFrame(0)->GetPixels().Bitmap().TransparentColor,
            (TRGBColor{1, 2, 3}));
}

TEST_F(FrontEndImages, NextIndexWrapsToZero) {
  TMemoryFile file;
  TFrameDesc withSubFrames;
  withSubFrames.SubFrames = {TFrameDesc{}, TFrameDesc{}, TFrameDesc{}};
  file.AddImage("three", {TFrameDesc{}, withSubFrames, TFrameDesc{}});
  file.AddImage("one", {TFrameDesc{}});
  TFrontEndImages images(file.Images.get());
  TFrontEndImage* three = images.GetImage("three");
  EXPECT_EQ(three->GetFrame(0)->NextIndex, 1);
  EXPECT_EQ(three->GetFrame(2)->NextIndex, 0);
  EXPECT_EQ(images.GetImage("one")->GetFrame(0)->NextIndex, 0);
  TFrontEndImageFrame* frame = three->GetFrame(1);
  EXPECT_EQ(frame->SubFrameCount, 3);
  EXPECT_EQ(frame->GetSubFrame(0)->NextIndex, 1);
  EXPECT_EQ(frame->GetSubFrame(2)->NextIndex, 0);
  EXPECT_EQ(frame->GetSubFrame(2)->Owner, three);
}

TEST_F(FrontEndImages, IndexesOutsideTheImageGiveNothingOrIndexOutOfBounds) {
  TMemoryFile file;
  TFrameDesc withSubFrames;
  withSubFrames.SubFrames = {TFrameDesc{}, TFrameDesc{}};
  file.AddImage("a", {TFrameDesc{}, withSubFrames});
  TFrontEndImages images(file.Images.get());
  TFrontEndImage* image = images.GetImage("a");
  EXPECT_EQ(image->GetFrame(2), nullptr);
  EXPECT_EQ(image->GetFrame(-1), nullptr);
  EXPECT_FALSE(image->IsFrameCreated(1));
  TFrontEndImageFrame* frame = image->GetFrame(1);
  EXPECT_TRUE(image->IsFrameCreated(1));
  EXPECT_FALSE(image->IsFrameCreated(0));
  EXPECT_FALSE(image->IsFrameCreated(2));
  for (int32_t bad : {2, -1}) {
    try {
      frame->GetSubFrame(bad);
      ADD_FAILURE() << "no error for sub-frame " << bad;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Index out of bounds");
    }
  }
  EXPECT_THROW(image->GetFrame(0)->GetSubFrame(0), Exception);
  EXPECT_EQ(frame->GetSubFrame(1), frame->GetSubFrame(1));
}

TEST_F(FrontEndImages, SameNameGivesSameObjectAndUnknownNameCreatesNothing) {
  TMemoryFile file("units.quv");
  file.AddImage("arm", {TFrameDesc{}});
  file.AddImage("leg", {TFrameDesc{}});
  TFrontEndImages images(file.Images.get());
  EXPECT_EQ(images.ImageCount, 2);
  TFrontEndImage* arm = images.GetImage("arm");
  EXPECT_EQ(images.GetImage("arm"), arm);
  EXPECT_EQ(images.GetImage("ARM"), arm);
  EXPECT_EQ(images.GetImage(0), arm);
  EXPECT_EQ(images.GetImage(2), nullptr);
  try {
    images.GetImage("wing");
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Image \"wing\" does not exist in units.quv");
  }
  EXPECT_THROW(images.GetImage(""), Exception);
  // Nothing was filed for the failed names: the next lookup still fails the same way.
  EXPECT_THROW(images.GetImage("wing"), Exception);
  EXPECT_EQ(images.GetImage("leg")->Name, "leg");
}

TEST_F(FrontEndImages, BitmapIsUnmirroredBuiltOnceAndHandlesThinFrames) {
  TMemoryFile file;
  TFrameDesc asymmetric;
  asymmetric.Width = 3;
  asymmetric.Height = 2;
  asymmetric.Index = [](int32_t x, int32_t y) { return uint8_t(16 + x + 3 * y); };
  TFrameDesc column{1, 5}, row{6, 1};
  column.Index = [](int32_t, int32_t y) { return uint8_t(32 + y); };
  row.Index = [](int32_t x, int32_t) { return uint8_t(48 + x); };
  file.AddImage("a", {asymmetric, column, row});
  TFrontEndImages images(file.Images.get());
  TFrontEndImage* image = images.GetImage("a");

  TFrontEndImageFrame* frame = image->GetFrame(0);
  EXPECT_FALSE(frame->ArePixelsGathered());
  const TFramePixels& pixels = frame->GetPixels();
  const TBitmap bitmap = pixels.Bitmap();
  ASSERT_EQ(bitmap.Width(), 3);
  ASSERT_EQ(bitmap.Height(), 2);
  EXPECT_EQ(bitmap.PixelFormat(), pf24bit);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x)
      EXPECT_EQ(bitmap.GetPixel(x, y), EntryColor(Palette, 16 + x + 3 * y)) << x << "," << y;
  EXPECT_EQ(&frame->GetPixels(), &pixels);

  const TBitmap& thin = image->GetFrame(1)->GetPixels().Bitmap();
  ASSERT_EQ(thin.Width(), 1);
  for (int32_t y = 0; y < 5; ++y) EXPECT_EQ(thin.GetPixel(0, y), EntryColor(Palette, 32 + y));
  const TBitmap& flat = image->GetFrame(2)->GetPixels().Bitmap();
  ASSERT_EQ(flat.Height(), 1);
  for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(flat.GetPixel(x, 0), EntryColor(Palette, 48 + x));
}

TEST_F(FrontEndImages, FrameLeftInPaletteIndexesIsDrawnThroughTheCollectionsPalette) {
  TMemoryFile file;
  file.Manager.Palette[5] = {10, 20, 30, 0};
  TImage* image = file.AddImage("a", {TFrameDesc{}});
  TImageFrame* frame = image->Frames[0].get();
  auto rows = std::make_shared<TPixelRows>(TPixelRows{{5, 9}});
  frame->SetImageData({2, 1, 1, 2, rows});  // one byte per pixel, never converted
  TFrontEndImages images(file.Images.get());
  const TBitmap& bitmap = images.GetImage("a")->GetFrame(0)->GetPixels().Bitmap();
  EXPECT_EQ(bitmap.GetPixel(0, 0), (TRGBColor{10, 20, 30}));
  EXPECT_EQ(bitmap.GetPixel(1, 0), Rgb(0x5454FC));
}

TEST_F(FrontEndImages, CorruptFrameFailsOnFetchAndItsPixelsRaiseTheFramesSentence) {
  TMemoryFile file;
  TFrameDesc corrupt{2, 2};
  corrupt.Corrupt = true;
  file.AddImage("a", {TFrameDesc{}, corrupt});
  TFrontEndImages images(file.Images.get());
  TFrontEndImage* image = images.GetImage("a");
  EXPECT_THROW(image->GetFrame(1), EImageFileError);
  EXPECT_FALSE(image->IsFrameCreated(1));
  TFrontEndImageFrame* frame = image->GetFrame(1);  // loaded (with nothing) by the failed fetch
  ASSERT_NE(frame, nullptr);
  // What was read of it is never handed out as the frame.
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      frame->GetPixels();
      ADD_FAILURE() << "no error";
    } catch (const EImageFileError& error) {
      EXPECT_EQ(std::string(error.what()).rfind("Frame 2 of \u2018a\u2019 cannot be read: ", 0), 0u)
          << error.what();
    }
  }
  EXPECT_FALSE(frame->ArePixelsGathered());
}

TEST_F(FrontEndImages, RecolouringConvertsFramesAndSubFramesThroughTheNewPalette) {
  TMemoryFile file;
  TFrameDesc asymmetric{3, 1};
  asymmetric.Index = [](int32_t x, int32_t) { return uint8_t(16 + x); };
  TFrameDesc composed{2, 1};
  composed.Index = [](int32_t x, int32_t) { return uint8_t(20 + x); };
  composed.SubFrames = {TFrameDesc{2, 1}};
  composed.SubFrames[0].Index = [](int32_t x, int32_t) { return uint8_t(30 + x); };
  file.AddImage("a", {asymmetric, composed});
  TFrontEndImages images(file.Images.get());
  int released = 0;
  images.OnPixelsReleased = [&](TFrontEndImageFrame*) { ++released; };
  TFrontEndImage* image = images.GetImage("a");
  TFrontEndImageFrame* plain = image->GetFrame(0);
  TFrontEndImageFrame* parent = image->GetFrame(1);
  TFrontEndImageFrame* sub = parent->GetSubFrame(0);
  EXPECT_EQ(plain->GetPixels().Bitmap().GetPixel(2, 0), EntryColor(Palette, 18));
  EXPECT_EQ(sub->GetPixels().Bitmap().GetPixel(1, 0), EntryColor(Palette, 31));
  parent->GetPixels().Bitmap();

  TPalette grey{};
  for (int i = 0; i < 256; ++i) grey[i] = {uint8_t(i), uint8_t(i), uint8_t(i), 255};
  file.Manager.Palette = grey;
  file.Manager.TransparentIndex = 7;
  images.Recolour();
  EXPECT_EQ(released, 3);
  EXPECT_FALSE(plain->ArePixelsGathered());
  // Unmirrored as before, and in the new colours; the empty colour follows the new palette.
  EXPECT_EQ(plain->GetPixels().Bitmap().GetPixel(0, 0), (TRGBColor{16, 16, 16}));
  EXPECT_EQ(plain->GetPixels().Bitmap().GetPixel(2, 0), (TRGBColor{18, 18, 18}));
  EXPECT_EQ(plain->GetPixels().Bitmap().TransparentColor, (TRGBColor{7, 7, 7}));
  EXPECT_EQ(sub->GetPixels().Bitmap().GetPixel(1, 0), (TRGBColor{31, 31, 31}));
  const TRGBColor composedPixel = parent->GetPixels().Bitmap().GetPixel(0, 0);
  EXPECT_TRUE(composedPixel.R == composedPixel.G && composedPixel.G == composedPixel.B);
  // A second change works the same way.
  file.Manager.Palette = BuiltInPalette();
  images.Recolour();
  EXPECT_EQ(plain->GetPixels().Bitmap().GetPixel(2, 0), EntryColor(BuiltInPalette(), 18));
}
