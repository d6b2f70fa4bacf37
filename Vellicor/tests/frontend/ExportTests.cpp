#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "BmpWriterU.h"
#include "FrameExportU.h"
#include "FrontendTestUtilsU.h"
#include "ImageExportU.h"
#include "ImageLoaderU.h"
#include "MemoryImagesU.h"

namespace {

const TRGBColor Key{0x54, 0x54, 0xFC};  // built-in entry 9

TRGBColor EntryColor(int index) {
  return {Palette[index][0], Palette[index][1], Palette[index][2]};
}

TFrameDesc Solid(int32_t width, int32_t height, int32_t xOffset, int32_t yOffset,
                 uint8_t index = 100) {
  TFrameDesc desc{width, height, xOffset, yOffset};
  desc.Index = [index](int32_t, int32_t) { return index; };
  return desc;
}

std::vector<TFrameDesc> Frames(int count) {
  return std::vector<TFrameDesc>(size_t(count), Solid(2, 2, 0, 0));
}

std::string ReadText(const std::string& fileName) {
  const std::vector<uint8_t> bytes = ReadFileBytes(fileName);
  return std::string(bytes.begin(), bytes.end());
}

class Export : public ::testing::Test {
 protected:
  TExportPlan Plan;
  void SetUp() override {
    Palette = BuiltInPalette();
    TransparentIndex = 9;
    File = std::make_unique<TMemoryFile>();
  }
  TFrontEndImages& FrontEnd() {
    if (!Images) {
      Images = std::make_unique<TFrontEndImages>(File->Images.get());
      Images->AutoPad = true;
    }
    return *Images;
  }
  // The "arm" image: 12 frames; frame 3 is 20 x 30 at (10, 25) with sub-frames 5 x 6 at (1, 2)
  // and 7 x 8 at (3, 4).
  TFrontEndImage* Arm() {
    std::vector<TFrameDesc> frames = Frames(12);
    frames[3] = Solid(20, 30, 10, 25);
    frames[3].SubFrames = {Solid(5, 6, 1, 2), Solid(7, 8, 3, 4)};
    File->AddImage("arm", frames);
    return FrontEnd().GetImage("arm");
  }

  TTempDir Dir;
  std::unique_ptr<TMemoryFile> File;
  std::unique_ptr<TFrontEndImages> Images;
};

}  // namespace

TEST(ExportNames, PadNumberPadsToTheDigitsOfTheCount) {
  EXPECT_EQ(PadNumber(3, 12), "03");
  EXPECT_EQ(PadNumber(9, 10), "09");
  EXPECT_EQ(PadNumber(7, 9), "7");
  EXPECT_EQ(PadNumber(0, 100), "000");
  EXPECT_EQ(PadNumber(0, 0), "0");
  EXPECT_EQ(PadNumber(12, 12), "12");
}

TEST(ExportNames, NameFormatsFillOnlyTheirPlaceholders) {
  EXPECT_EQ(FillNameFormat(FrameNameFormat, {"arm", "03"}), "arm_03.bmp");
  EXPECT_EQ(FillNameFormat(SubFrameNameFormat, {"arm", "03", "1"}), "arm_03_1.bmp");
  EXPECT_EQ(FillNameFormat("%d%%_%s_%s%n", {"a"}), "%d%_a_%n");
  EXPECT_EQ(FileNamePart("../up\\side"), ".._up_side");
}

TEST_F(Export, FrameNumbersArePaddedToTheImagesFrameCount) {
  File->AddImage("ten", Frames(10));
  File->AddImage("nine", Frames(9));
  FrontEnd().GetImage("ten")->ExportFrameRange(Plan, efBmp, 0, 10, FrameNameFormat,
                                               Dir.Path().string());
  FrontEnd().GetImage("nine")->ExportFrameRange(Plan, efBmp, 0, 9, FrameNameFormat,
                                                Dir.Path().string());
  std::vector<std::string> expected;
  for (int i = 0; i <= 8; ++i) expected.push_back("nine_" + std::to_string(i) + ".bmp");
  for (int i = 0; i <= 9; ++i) expected.push_back("ten_0" + std::to_string(i) + ".bmp");
  EXPECT_EQ(Dir.List(), expected);
}

TEST_F(Export, RangesClampTheirStartStopAtTheEndAndIgnoreReversedBounds) {
  File->AddImage("a", Frames(3));
  TFrontEndImage* image = FrontEnd().GetImage("a");
  image->ExportFrameRange(Plan, efBmp, 2, 1, FrameNameFormat, Dir.Path().string());
  EXPECT_TRUE(Dir.List().empty());
  image->ExportFrameRange(Plan, efBmp, -5, 0, FrameNameFormat, Dir.Path().string());
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"a_0.bmp"}));
  image->ExportFrameRange(Plan, efBmp, 2, INT32_MAX, FrameNameFormat, Dir.Path().string());
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"a_0.bmp", "a_2.bmp"}));
}

TEST_F(Export, AutoPadPutsEveryHotSpotOnTheLargestOffset) {
  File->AddImage("a", {Solid(2, 3, 3, 0, 100), Solid(2, 3, 7, 0, 101)});
  FrontEnd().GetImage("a")->ExportFrameRange(Plan, efBmp, 0, 1, FrameNameFormat,
                                             Dir.Path().string());
  const TDecodedImage first = DecodeWithMagick(Dir.File("a_0.bmp"));
  const TDecodedImage second = DecodeWithMagick(Dir.File("a_1.bmp"));
  ASSERT_EQ(first.Width, 6);  // 4 columns of padding on the left
  ASSERT_EQ(first.Height, 3);
  ASSERT_EQ(second.Width, 2);
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(first.At(x, 1), Key) << x;
  EXPECT_EQ(first.At(4, 0), EntryColor(100));
  EXPECT_EQ(first.At(5, 2), EntryColor(100));
  EXPECT_EQ(second.At(0, 0), EntryColor(101));
}

TEST_F(Export, AllNegativeOffsetsPadByTheirNegation) {
  File->AddImage("a", {Solid(2, 2, -2, -3), Solid(2, 2, -5, -1)});
  FrontEnd().GetImage("a")->ExportFrameRange(Plan, efBmp, 0, 1, FrameNameFormat,
                                             Dir.Path().string());
  const TDecodedImage first = DecodeWithMagick(Dir.File("a_0.bmp"));
  const TDecodedImage second = DecodeWithMagick(Dir.File("a_1.bmp"));
  EXPECT_EQ(first.Width, 4);
  EXPECT_EQ(first.Height, 5);
  EXPECT_EQ(second.Width, 7);
  EXPECT_EQ(second.Height, 3);
  EXPECT_EQ(first.At(1, 2), Key);
  EXPECT_EQ(first.At(2, 3), EntryColor(100));
}

TEST_F(Export, OriginComesFromTheRangeUnlessTheImagesOwnIsAskedFor) {
  File->AddImage("a", {Solid(2, 2, 1, 0), Solid(2, 2, 9, 6)});
  TFrontEndImage* image = FrontEnd().GetImage("a");
  image->ExportFrameRange(Plan, efBmp, 0, 0, FrameNameFormat, Dir.Path().string());
  EXPECT_EQ(DecodeWithMagick(Dir.File("a_0.bmp")).Width, 2);
  FrontEnd().AutoPadUsingSelectedFrames = true;
  image->ExportFrameRange(Plan, efBmp, 0, 0, FrameNameFormat, Dir.Path().string());
  const TDecodedImage padded = DecodeWithMagick(Dir.File("a_0.bmp"));
  EXPECT_EQ(padded.Width, 10);
  EXPECT_EQ(padded.Height, 8);
  // The current frame always lines up on the image's origin.
  FrontEnd().AutoPadUsingSelectedFrames = false;
  image->ExportCurrentFrame(Plan, efBmp, Dir.File("current.bmp"));
  EXPECT_EQ(DecodeWithMagick(Dir.File("current.bmp")).Width, 10);
}

TEST_F(Export, FrameDataOfTheArmExampleMatchesByteForByte) {
  TFrontEndImage* arm = Arm();
  FrontEnd().AutoPad = false;
  FrontEnd().FrameDataExportType = 2;
  arm->WriteFrameData(Plan, Dir.File("arm_Data.txt"), Dir.Path().string(), arm->DefaultNameSource(),
                      3);
  EXPECT_EQ(ReadText(Dir.File("arm_Data.txt")),
            "Extended=2\r\n"
            "XOffset,YOffset,Width,Height,ImageName\r\n"
            "10,25,20,30,arm_03.bmp,1,2,5,6,arm_03_0.bmp,3,4,7,8,arm_03_1.bmp\r\n");
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"arm_Data.txt"}));
}

TEST_F(Export, FrameDataTypesChooseTheirColumns) {
  File->AddImage("a", {Solid(4, 5, 1, 2), Solid(6, 7, -3, 4)});
  TFrontEndImage* image = FrontEnd().GetImage("a");
  FrontEnd().AutoPad = false;
  const std::string expected[3] = {
      "Extended=0\r\nXOffset,YOffset\r\n1,2\r\n-3,4\r\n",
      "Extended=1\r\nXOffset,YOffset,Width,Height\r\n1,2,4,5\r\n-3,4,6,7\r\n",
      "Extended=2\r\nXOffset,YOffset,Width,Height,ImageName\r\n1,2,4,5,a_0.bmp\r\n"
      "-3,4,6,7,a_1.bmp\r\n"};
  for (uint8_t type = 0; type < 3; ++type) {
    FrontEnd().FrameDataExportType = type;
    image->WriteFramesData(Plan, 0, 1, image->DefaultNameSource(), "", Dir.File("a.txt"));
    EXPECT_EQ(ReadText(Dir.File("a.txt")), expected[type]);
  }
}

TEST_F(Export, FrameDataWithAutoPadGivesPositionsInsideThePaddedPicture) {
  File->AddImage("a", {Solid(4, 5, 1, 2), Solid(6, 7, -3, 4), Solid(1, 1, 8, 0)});
  TFrontEndImage* image = FrontEnd().GetImage("a");
  image->WriteFramesData(Plan, 0, 1, image->DefaultNameSource(), "", Dir.File("range.txt"));
  EXPECT_EQ(ReadText(Dir.File("range.txt")), "Extended=0\r\nXOffset,YOffset\r\n0,2\r\n4,0\r\n");
  image->WriteFrameData(Plan, Dir.File("one.txt"), "", image->DefaultNameSource(), 0);
  EXPECT_EQ(ReadText(Dir.File("one.txt")), "Extended=0\r\nXOffset,YOffset\r\n7,2\r\n");
}

TEST_F(Export, FrameDataCanAlsoWriteTheSubFrameBitmaps) {
  TFrontEndImage* arm = Arm();
  FrontEnd().FrameDataExportType = 1;
  FrontEnd().ExportFrameWhenExportFrameData = true;
  const std::string bitmaps = (Dir.Path() / "bitmaps").string();
  std::filesystem::create_directory(bitmaps);
  arm->WriteFramesData(Plan, 2, 4, arm->DefaultNameSource(), bitmaps, Dir.File("arm.txt"));
  // Origin (10, 25), the largest offsets of frames 2..4; sub-frames line up on it too.
  EXPECT_EQ(ReadText(Dir.File("arm.txt")),
            "Extended=1\r\nXOffset,YOffset,Width,Height\r\n"
            "10,25,2,2\r\n0,0,20,30,9,23,5,6,7,21,7,8\r\n10,25,2,2\r\n");
  std::vector<std::string> written;
  for (const auto& entry : std::filesystem::directory_iterator(bitmaps))
    written.push_back(entry.path().filename());
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"arm_03_0.bmp", "arm_03_1.bmp"}));
  const TDecodedImage sub = DecodeWithMagick((Dir.Path() / "bitmaps" / "arm_03_0.bmp").string());
  EXPECT_EQ(sub.Width, 5 + 9);
  EXPECT_EQ(sub.Height, 6 + 23);
}

TEST_F(Export, SubFrameExportsNameAndPadEachFrame) {
  TFrontEndImage* arm = Arm();
  arm->CurrentFrame = 3;
  arm->ExportSubFrameRange(Plan, efBmp, 0, 1, SubFrameNameFormat, Dir.Path().string());
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"arm_03_0.bmp", "arm_03_1.bmp"}));
  const TDecodedImage first = DecodeWithMagick(Dir.File("arm_03_0.bmp"));
  EXPECT_EQ(first.Width, 5 + 2);
  EXPECT_EQ(first.Height, 6 + 2);

  TTempDir all;
  arm->ExportImageSubFrameRange(Plan, efBmp, 0, 100, SubFrameNameFormat, all.Path().string(), 1,
                                INT32_MAX);
  EXPECT_EQ(all.List(), (std::vector<std::string>{"arm_03_1.bmp"}));
  // Only sub-frame 1 is in range: it sets the origin alone.
  EXPECT_EQ(DecodeWithMagick(all.File("arm_03_1.bmp")).Width, 7);

  arm->ExportCurrentSubFrame(Plan, efBmp, 0, Dir.File("current.bmp"));
  EXPECT_EQ(DecodeWithMagick(Dir.File("current.bmp")).Width, 5 + 2);
  try {
    arm->ExportCurrentSubFrame(Plan, efBmp, 2, Dir.File("none.bmp"));
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Index out of bounds");
  }
}

TEST_F(Export, TwentyFourBitExportWritesTheCachedPictureWithoutConverting) {
  File->AddImage("a", {Solid(3, 2, 0, 0, 200)});
  TFrontEndImage* image = FrontEnd().GetImage("a");
  const int64_t conversions = TBitmap::ConversionCount;
  image->ExportFrameRange(Plan, efBmp, 0, 0, FrameNameFormat, Dir.Path().string());
  FrontEnd().AutoPad = false;
  image->ExportCurrentFrame(Plan, efBmp, Dir.File("plain.bmp"));
  EXPECT_EQ(TBitmap::ConversionCount, conversions);
  EXPECT_EQ(ReadFileBytes(Dir.File("plain.bmp")),
            EncodeBmp(image->GetFrame(0)->GetPixels().Bitmap()));
  EXPECT_EQ(image->GetFrame(0)->GetPixels().Bitmap().PixelFormat(), pf24bit);
}

TEST_F(Export, EveryDepthIsReadBackWithTheFramesColours) {
  // Colours that every depth can hold exactly: black, white and pure red, green and blue.
  TFrameDesc desc{5, 3, 2, 1};
  const uint8_t indexes[5] = {0, 255, 249, 250, 252};
  desc.Index = [indexes](int32_t x, int32_t y) { return indexes[(x + y) % 5]; };
  File->AddImage("a", {desc});
  TFrontEndImage* image = FrontEnd().GetImage("a");
  FrontEnd().AutoPad = false;
  for (TPixelFormat format : {pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(PixelFormatBits(format));
    FrontEnd().ExportPixelFormat = format;
    const std::string fileName = Dir.File(std::to_string(PixelFormatBits(format)) + ".bmp");
    image->ExportCurrentFrame(Plan, efBmp, fileName);
    const std::vector<uint8_t> bytes = ReadFileBytes(fileName);
    ASSERT_GT(bytes.size(), 54u);
    EXPECT_EQ(Le16(bytes, 28), format == pf15bit ? 16 : PixelFormatBits(format));
    if (format == pf8bit) {
      EXPECT_EQ(Le32(bytes, 46), 5u);  // a table of the colours used
    }
    const TDecodedImage decoded = DecodeWithMagick(fileName);
    ASSERT_EQ(decoded.Width, 5);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x) {
        TRGBColor expected = EntryColor(indexes[(x + y) % 5]);
        if (format == pf1bit && expected != TRGBColor{255, 255, 255})
          expected = expected == TRGBColor{0, 255, 0} ? TRGBColor{255, 255, 255} : TRGBColor{};
        EXPECT_EQ(decoded.At(x, y), expected) << x << "," << y;
      }
  }
}

TEST_F(Export, PaddedEightBitExportKeepsTheTransparentColourInItsTable) {
  File->AddImage("a", {Solid(2, 2, 0, 0, 30), Solid(2, 2, 3, 0, 31)});
  FrontEnd().ExportPixelFormat = pf8bit;
  FrontEnd().GetImage("a")->ExportFrameRange(Plan, efBmp, 0, 1, FrameNameFormat,
                                             Dir.Path().string());
  const TDecodedImage decoded = DecodeWithMagick(Dir.File("a_0.bmp"));
  ASSERT_EQ(decoded.Width, 5);
  EXPECT_EQ(decoded.At(0, 0), Key);
  EXPECT_EQ(decoded.At(4, 1), EntryColor(30));
}

TEST_F(Export, AFrameThatCannotBeReadIsReportedAndTheOthersAreWritten) {
  std::vector<TFrameDesc> frames = Frames(4);
  frames[2].Corrupt = true;
  File->AddImage("a", frames);
  WriteFileBytes(Dir.File("a_2.bmp"), {'o', 'l', 'd'});
  FrontEnd().GetImage("a")->ExportFrameRange(Plan, efBmp, 0, 3, FrameNameFormat,
                                             Dir.Path().string());
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{"a_0.bmp", "a_1.bmp", "a_2.bmp", "a_3.bmp"}));
  EXPECT_EQ(ReadFileBytes(Dir.File("a_2.bmp")), (std::vector<uint8_t>{'o', 'l', 'd'}));
  EXPECT_EQ(DecodeWithMagick(Dir.File("a_1.bmp")).Width, 2);
  ASSERT_EQ(Plan.Failures().size(), 1u);
  EXPECT_NE(Plan.Failures()[0].find("Frame 3 of \u2018a\u2019 cannot be read: "), std::string::npos)
      << Plan.Failures()[0];
}

TEST_F(Export, UnwritableTargetRaisesAClearErrorAndWritesNothing) {
  File->AddImage("a", Frames(2));
  const std::string missing = (Dir.Path() / "missing").string();
  try {
    FrontEnd().GetImage("a")->ExportFrameRange(Plan, efBmp, 0, 1, FrameNameFormat, missing);
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"" + missing + "/a_0.bmp\". ", 0),
              0u)
        << e.what();
  }
  EXPECT_TRUE(Dir.List().empty());
  EXPECT_THROW(WriteWholeFile(Dir.Path().string(), "x", 1), EInOutError);  // a folder's name
  EXPECT_TRUE(Dir.List().empty());
}

TEST_F(Export, APlanKeepsTheCompletedFilesOfItsOwnExportOnly) {
  const std::string a = (Dir.Path() / "a.txt").string(), b = (Dir.Path() / "b.txt").string();
  TExportPlan outer;
  {
    TExportPlan inner;
    inner.WriteFile(a, "x", 1);
    EXPECT_THROW(inner.WriteFile(Dir.Path().string(), "x", 1), EInOutError);  // not completed
    EXPECT_EQ(inner.Files(), std::vector<std::string>{a});
  }
  outer.WriteFile(b, "y", 1);
  EXPECT_EQ(outer.Files(), std::vector<std::string>{b});
}

TEST_F(Export, AllImagesAreExportedAndNamesCannotLeaveTheFolder) {
  File->AddImage("b", Frames(2));
  File->AddImage("../up", Frames(1));
  File->AddImage("a", Frames(1));
  std::vector<std::string> reported;
  FrontEnd().OnFileWritten = [&](const std::string& name) {
    reported.push_back(std::filesystem::path(name).filename());
  };
  FrontEnd().ExportAllImages(Plan, efBmp, Dir.Path().string(), FrameNameFormat);
  EXPECT_EQ(Dir.List(), (std::vector<std::string>{".._up_0.bmp", "a_0.bmp", "b_0.bmp", "b_1.bmp"}));
  // Last image first, in name order.
  EXPECT_EQ(reported, (std::vector<std::string>{"b_0.bmp", "b_1.bmp", "a_0.bmp", ".._up_0.bmp"}));
}

namespace {

// The dry run must name exactly what the export then writes, in every format, and write nothing.
TEST_F(Export, APlanNamesWhatTheExportWritesAndWritesNothing) {
  TFrontEndImage* arm = Arm();
  FrontEnd().ExportFrameWhenExportFrameData = true;
  FrontEnd().FrameDataExportType = 2;
  const std::string folder = Dir.Path().string();
  const std::string data = (Dir.Path() / "arm_Data.txt").string();
  for (TExportFormat format : {efBmp, efPng, efPng8, efGif, efApng, efSheet}) {
    for (const bool subFrames : {false, true}) {
      const auto routine = [&](TExportPlan& plan) {
        ExportImageFiles(plan, *arm, format, 2, 4, subFrames, folder);
        // With the sub-frames' bitmaps beside it.
        if (format == efBmp)
          arm->WriteFramesData(plan, 3, 3, arm->DefaultNameSource(), folder, data);
      };
      const std::vector<std::string> planned = PlannedExportFiles(routine);
      EXPECT_TRUE(Dir.List().empty()) << ExportFormatName(format);
      TExportPlan plan;
      routine(plan);
      // Each file once, where the export writes one twice (sub-frames, then the data's).
      const std::vector<std::string>& written = plan.Files();
      EXPECT_EQ(planned, written) << ExportFormatName(format) << " " << subFrames;
      EXPECT_EQ(ExistingFiles(planned), planned);
      for (const std::string& file : written) std::filesystem::remove(file);
    }
  }
  EXPECT_TRUE(ExistingFiles({(Dir.Path() / "none.bmp").string()}).empty());
}

}  // namespace
