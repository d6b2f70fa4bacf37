// Exports of frames whose sub-frames stick out of their canvas: the canvas grows and the frame's
// hot spot moves with its pixels, so every routine pads to the offsets the frames have once
// composed, and no exported picture is smaller than its frame.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "FileSystemU.h"
#include "FrameExportU.h"
#include "FrontendTestUtilsU.h"
#include "ImageLoaderU.h"
#include "MemoryFileReaderU.h"
#include "QuvManagerU.h"

namespace {

constexpr uint8_t T = 9;  // the built-in palette's transparent index
constexpr uint8_t Base = 3, Grown = 7, Plain = 5;

// A frame or sub-frame to lay out: raw rows of one colour, or sub-frames.
struct TSpec {
  int16_t Width, Height, X, Y;
  uint8_t Colour = 0;
  std::vector<TSpec> SubFrames;
};

class TQuvBytes {
 public:
  // Images of frames; every structure is appended behind the last.
  explicit TQuvBytes(const std::vector<std::pair<std::string, std::vector<TSpec>>>& images) {
    Put32(0, 0x00010100);
    Put32(4, uint32_t(images.size()));
    Bytes.resize(12 + 4 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
      const auto& [name, frames] = images[i];
      const size_t entry = Bytes.size();
      Put32(12 + 4 * i, uint32_t(entry));
      Bytes.resize(entry + 40 + 8 * frames.size());
      Put16(entry, uint16_t(frames.size()));
      std::copy(name.begin(), name.end(), Bytes.begin() + std::ptrdiff_t(entry + 8));
      for (size_t f = 0; f < frames.size(); ++f) Put32(entry + 40 + 8 * f, Frame(frames[f]));
    }
  }
  std::vector<uint8_t> Bytes;

 private:
  uint32_t Frame(const TSpec& spec) {
    const size_t header = Bytes.size();
    Bytes.resize(header + 24);
    Put16(header, uint16_t(spec.Width));
    Put16(header + 2, uint16_t(spec.Height));
    Put16(header + 4, uint16_t(spec.X));
    Put16(header + 6, uint16_t(spec.Y));
    Bytes[header + 8] = T;
    Put16(header + 10, uint16_t(spec.SubFrames.size()));
    const size_t data = Bytes.size();
    Put32(header + 16, uint32_t(data));
    if (spec.SubFrames.empty()) {
      Bytes.resize(data + size_t(spec.Width) * spec.Height, spec.Colour);
    } else {
      Bytes.resize(data + 4 * spec.SubFrames.size());
      for (size_t k = 0; k < spec.SubFrames.size(); ++k)
        Put32(data + 4 * k, Frame(spec.SubFrames[k]));
    }
    return uint32_t(header);
  }
  void Put16(size_t at, uint16_t v) {
    Bytes[at] = uint8_t(v);
    Bytes[at + 1] = uint8_t(v >> 8);
  }
  void Put32(size_t at, uint32_t v) {
    if (Bytes.size() < at + 4) Bytes.resize(at + 4);
    Put16(at, uint16_t(v));
    Put16(at + 2, uint16_t(v >> 16));
  }
};

enum TSide { Left = 1, Top = 2, Right = 4, Bottom = 8 };

// Frame 0: an 8 x 6 canvas with its hot spot at (2, 2), a base sub-frame covering it and a
// sub-frame that sticks out by 3 pixels on the given sides. Frame 1: a plain 4 x 4 frame with
// its hot spot at (1, 1).
std::vector<TSpec> GrowingFrames(int sides) {
  const int x0 = sides & Left ? -3 : (sides & Right ? 8 : 2);
  const int x1 = sides & Right ? 11 : (sides & Left ? 0 : 5);
  const int y0 = sides & Top ? -3 : (sides & Bottom ? 6 : 2);
  const int y1 = sides & Bottom ? 9 : (sides & Top ? 0 : 5);
  TSpec grown{int16_t(x1 - x0), int16_t(y1 - y0), int16_t(2 - x0), int16_t(2 - y0), Grown, {}};
  TSpec frame{8, 6, 2, 2, 0, {TSpec{8, 6, 2, 2, Base, {}}, grown}};
  return {frame, TSpec{4, 4, 1, 1, Plain, {}}};
}

// A 24-bit BMP file as written.
struct TBmp {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Bytes;
  TRGBColor At(int32_t x, int32_t y) const {
    const size_t stride = (size_t(Width) * 3 + 3) & ~size_t(3);
    const uint8_t* p = Bytes.data() + Le32(Bytes, 10) + size_t(Height - 1 - y) * stride + 3 * x;
    return {p[2], p[1], p[0]};
  }
};

TBmp ReadBmp(const std::string& fileName) {
  TBmp bmp;
  bmp.Bytes = ReadFileBytes(fileName);
  if (bmp.Bytes.size() < 54) return bmp;
  bmp.Width = int32_t(Le32(bmp.Bytes, 18));
  bmp.Height = int32_t(Le32(bmp.Bytes, 22));
  EXPECT_EQ(Le16(bmp.Bytes, 28), 24);
  return bmp;
}

TRGBColor Colour(uint8_t index) {
  return {Palette[index][0], Palette[index][1], Palette[index][2]};
}

class GrowthExport : public ::testing::Test {
 protected:
  TExportPlan Plan;
  void SetUp() override {
    Palette = BuiltInPalette();
    TransparentIndex = T;
    Manager.FileSystem = &FileSystem;
    Manager.TransparentIndex = T;
    Manager.Palette = Palette;
    Manager.Initialize();
  }
  TFrontEndImages& Open(const std::vector<std::pair<std::string, std::vector<TSpec>>>& images) {
    const std::string name = "file" + std::to_string(++FFiles) + ".quv";
    AddMemoryFile(FileSystem, name,
                  std::make_shared<const std::vector<uint8_t>>(TQuvBytes(images).Bytes));
    FFront.reset();
    FImages = Manager.LoadFile(name);
    FFront = std::make_unique<TFrontEndImages>(FImages.get());
    return *FFront;
  }
  std::string Out(const std::string& name) const { return Dir.File(name); }

  TFileSystem FileSystem;
  TQuvManager Manager;
  TTempDir Dir;

 private:
  std::unique_ptr<TImageClass> FImages;
  std::unique_ptr<TFrontEndImages> FFront;
  int FFiles = 0;
};

// The composed size and hot spot of frame 0 of GrowingFrames.
struct TComposed {
  int32_t Width, Height, X, Y;
};
TComposed ComposedFrame0(int sides) {
  return {8 + (sides & Left ? 3 : 0) + (sides & Right ? 3 : 0),
          6 + (sides & Top ? 3 : 0) + (sides & Bottom ? 3 : 0), 2 + (sides & Left ? 3 : 0),
          2 + (sides & Top ? 3 : 0)};
}

}  // namespace

TEST_F(GrowthExport, EveryFrameRoutinePadsToTheComposedOffsets) {
  for (int sides : {int(Left), int(Top), int(Right), int(Bottom), Left | Top | Right | Bottom}) {
    SCOPED_TRACE("sides " + std::to_string(sides));
    const TComposed c = ComposedFrame0(sides);
    // Both frames put their hot spot on the origin: the largest composed offsets.
    const int32_t originX = c.X, originY = c.Y;
    const auto expectPadded = [&](const std::string& frame0, const std::string& frame1) {
      const TBmp first = ReadBmp(frame0);
      EXPECT_EQ(first.Width, c.Width);  // never narrower than the frame
      EXPECT_EQ(first.Height, c.Height);
      // The grown part is there: its top-left pixel in the composed frame.
      const int32_t gx = sides & Left ? 0 : (sides & Right ? c.Width - 3 : 2);
      const int32_t gy = sides & Top ? 0 : (sides & Bottom ? c.Height - 3 : 2);
      if (first.Width == c.Width && first.Height == c.Height) {
        EXPECT_EQ(first.At(gx, gy), Colour(Grown));
      }
      const TBmp second = ReadBmp(frame1);
      EXPECT_EQ(second.Width, 4 + originX - 1);
      EXPECT_EQ(second.Height, 4 + originY - 1);
    };
    for (bool selectedOrigin : {false, true}) {
      SCOPED_TRACE(selectedOrigin ? "image origin" : "range origin");
      TFrontEndImages& front = Open({{"arm", GrowingFrames(sides)}});
      front.AutoPad = true;
      front.AutoPadUsingSelectedFrames = selectedOrigin;
      TFrontEndImage* image = front.GetImage("arm");
      image->ExportFrameRange(Plan, efBmp, 0, 1, FrameNameFormat, Dir.Path().string());
      expectPadded(Out("arm_0.bmp"), Out("arm_1.bmp"));
    }
    {
      // The image's origin counts frames not yet shown: frame 1 is exported first.
      TFrontEndImages& front = Open({{"arm", GrowingFrames(sides)}});
      front.AutoPad = true;
      TFrontEndImage* image = front.GetImage("arm");
      image->CurrentFrame = 1;
      image->ExportCurrentFrame(Plan, efBmp, Out("current1.bmp"));
      image->CurrentFrame = 0;
      image->ExportCurrentFrame(Plan, efBmp, Out("current0.bmp"));
      expectPadded(Out("current0.bmp"), Out("current1.bmp"));
    }
    {
      TFrontEndImages& front = Open({{"arm", GrowingFrames(sides)}});
      front.AutoPad = true;
      front.ExportAllImages(Plan, efBmp, Dir.Path().string(), "all_%s_%s.bmp");
      expectPadded(Out("all_arm_0.bmp"), Out("all_arm_1.bmp"));
    }
    {
      TFrontEndImages& front = Open({{"arm", GrowingFrames(sides)}});
      front.AutoPad = false;
      front.GetImage("arm")->ExportFrameRange(Plan, efBmp, 0, 1, "plain_%s_%s.bmp",
                                              Dir.Path().string());
      EXPECT_EQ(ReadBmp(Out("plain_arm_0.bmp")).Width, c.Width);
      EXPECT_EQ(ReadBmp(Out("plain_arm_0.bmp")).Height, c.Height);
      EXPECT_EQ(ReadBmp(Out("plain_arm_1.bmp")).Width, 4);
    }
  }
}

TEST_F(GrowthExport, FrameDataHoldsTheComposedOffsetsAndSizes) {
  const int sides = Left | Top | Right | Bottom;
  const TComposed c = ComposedFrame0(sides);  // 14 x 12 at (5, 5)
  TFrontEndImages& front = Open({{"arm", GrowingFrames(sides)}});
  front.FrameDataExportType = 1;
  TFrontEndImage* image = front.GetImage("arm");
  const auto text = [&](const std::string& name) {
    const std::vector<uint8_t> bytes = ReadFileBytes(Out(name));
    return std::string(bytes.begin(), bytes.end());
  };
  front.AutoPad = true;
  image->WriteFrameData(Plan, Out("one.txt"), "", nullptr, 1);
  // The image's origin, (5, 5), although frame 0 was never fetched.
  EXPECT_EQ(text("one.txt"), "Extended=1\r\nXOffset,YOffset,Width,Height\r\n4,4,4,4\r\n");
  image->WriteFramesData(Plan, 0, 1, nullptr, "", Out("padded.txt"));
  // Frame 0 and its two sub-frames (at their own offsets), then frame 1.
  EXPECT_EQ(text("padded.txt"),
            "Extended=1\r\nXOffset,YOffset,Width,Height\r\n"
            "0,0,14,12,3,3,8,6,0,0,14,12\r\n"
            "4,4,4,4\r\n");
  front.AutoPad = false;
  image->WriteFramesData(Plan, 0, 1, nullptr, "", Out("plain.txt"));
  EXPECT_EQ(text("plain.txt"), "Extended=1\r\nXOffset,YOffset,Width,Height\r\n" +
                                   std::to_string(c.X) + "," + std::to_string(c.Y) +
                                   ",14,12,2,2,8,6,5,5,14,12\r\n1,1,4,4\r\n");
}

TEST_F(GrowthExport, SubFrameRoutinesPadToSubFramesComposedThemselves) {
  // Sub-frame 0 has sub-frames of its own, one sticking out by 2 on the left: it grows to
  // 4 x 2 with its hot spot at (2, 0). Sub-frame 1 is a plain 1 x 1 at (1, 0).
  TSpec nested{2, 2, 0, 0, 0, {TSpec{2, 2, 0, 0, Base, {}}, TSpec{1, 1, 2, 0, Grown, {}}}};
  TSpec frame{4, 4, 0, 0, 0, {nested, TSpec{1, 1, 1, 0, Plain, {}}}};
  for (bool selectedOrigin : {false, true}) {
    SCOPED_TRACE(selectedOrigin ? "frame origin" : "range origin");
    TFrontEndImages& front = Open({{"nest", {frame}}});
    front.AutoPad = true;
    front.AutoPadUsingSelectedFrames = selectedOrigin;
    TFrontEndImage* image = front.GetImage("nest");
    image->ExportImageSubFrameRange(Plan, efBmp, 0, 0, "img_%s_%s_%s.bmp", Dir.Path().string(), 0,
                                    1);
    image->ExportSubFrameRange(Plan, efBmp, 0, 1, "cur_%s_%s_%s.bmp", Dir.Path().string());
    for (const std::string prefix : {"img_", "cur_"}) {
      const TBmp grown = ReadBmp(Out(prefix + "nest_0_0.bmp"));
      EXPECT_EQ(grown.Width, 4);
      EXPECT_EQ(grown.At(0, 0), Colour(Grown));
      EXPECT_EQ(ReadBmp(Out(prefix + "nest_0_1.bmp")).Width, 2);  // hot spot at column 2 too
    }
  }
  TFrontEndImages& front = Open({{"nest", {frame}}});
  front.AutoPad = true;
  TFrontEndImage* image = front.GetImage("nest");
  image->ExportCurrentSubFrame(Plan, efBmp, 1, Out("sub1.bmp"));
  EXPECT_EQ(ReadBmp(Out("sub1.bmp")).Width, 2);
  image->ExportCurrentSubFrame(Plan, efBmp, 0, Out("sub0.bmp"));
  EXPECT_EQ(ReadBmp(Out("sub0.bmp")).Width, 4);
}

TEST_F(GrowthExport, ToolsReleaseEachFrameOnceWrittenAndTheViewerKeepsThem) {
  TFrontEndImages& front = Open({{"arm", GrowingFrames(Left)}});
  front.AutoPad = true;
  TFrontEndImage* image = front.GetImage("arm");
  image->ExportFrameRange(Plan, efBmp, 0, 1, "kept_%s_%s.bmp", Dir.Path().string());
  EXPECT_TRUE(image->Image->Frames[0]->Loaded);
  EXPECT_TRUE(image->GetFrame(0)->ArePixelsGathered());

  front.ReleaseWrittenFrames = true;
  image->ExportFrameRange(Plan, efBmp, 0, 1, "released_%s_%s.bmp", Dir.Path().string());
  EXPECT_FALSE(image->Image->Frames[0]->Loaded);
  EXPECT_FALSE(image->Image->Frames[1]->Loaded);
  EXPECT_EQ(front.Images->KeptBytes(), 0);
  EXPECT_FALSE(image->GetFrame(0)->ArePixelsGathered());
  EXPECT_EQ(ReadFileBytes(Out("released_arm_0.bmp")), ReadFileBytes(Out("kept_arm_0.bmp")));
  // Drawn again on request, from the frame decoded again.
  EXPECT_EQ(image->GetFrame(0)->GetPixels().Bitmap().Width(), 11);
  EXPECT_TRUE(image->Image->Frames[0]->Loaded);
}
