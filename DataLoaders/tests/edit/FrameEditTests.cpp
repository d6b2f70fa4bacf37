// Frame edits: crops, frames replaced and inserted from pictures, and frames duplicated,
// deleted and moved, as a saved file shows them.
#include <gtest/gtest.h>

#include <tuple>

#include "BmpWriterU.h"
#include "EditTestSupport.h"

namespace {

using FrameEditTest = EditTest;

// The frame's pixels as an 8-bit BMP whose colour table is the palette, as the viewer exports
// a frame at 8 bits, read back as a picture.
TSourcePicture ExportedPicture(const TQuvFrameModel& frame, const TPalette& palette) {
  TBitmap bitmap(frame.Width, frame.Height, pf8bit);
  std::vector<TRGBColor> table;
  for (const TPaletteEntry& entry : palette) table.push_back({entry[0], entry[1], entry[2]});
  bitmap.SetColorTable(table);
  for (int32_t y = 0; y < frame.Height; ++y)
    std::copy_n(&frame.Pixels[size_t(y) * size_t(frame.Width)], frame.Width, bitmap.ScanLine(y));
  return DecodePicture(EncodeBmp(bitmap), "exported.bmp");
}

// An indexed picture of the given indices (palette entries exactly the palette's).
TSourcePicture IndexedPicture(int32_t width, int32_t height, std::vector<uint8_t> indices,
                              const TPalette& palette) {
  TSourcePicture picture;
  picture.Width = width;
  picture.Height = height;
  picture.Indexed = true;
  picture.Pixels = std::move(indices);
  picture.PaletteCount = 256;
  for (size_t i = 0; i < 256; ++i)
    picture.Palette[i] = {palette[i][0], palette[i][1], palette[i][2], 255};
  return picture;
}

TEST_F(FrameEditTest, CropKeepsEveryVisiblePixelWhereItWasAndTheCompression) {
  TQuvContent content = Sample();
  std::vector<uint8_t> compressions;
  for (const TQuvImageModel& image : content.Images)
    for (const TQuvFrameModel& frame : image.Frames) compressions.push_back(frame.Compression);
  for (const char* name : {"ball", "windmill", "light", "walker"})
    ApplyAndCheckUndo(content, CropFrames(content, FindImage(content, name), {}));
  // The composed tank keeps its box.
  EXPECT_EQ(EncodeQuvContent(content), [&] {
    TQuvContent again = content;
    ApplyEdit(again, CropFrames(again, FindImage(again, "tank"), {}));
    return EncodeQuvContent(again);
  }());
  const TQuvContent saved = Reread(EncodeQuvContent(content));
  std::unique_ptr<TQuvImages> original = Load(MakeSampleQuv(), "original.quv");
  size_t k = 0;
  for (const TQuvImageModel& image : saved.Images) {
    for (size_t i = 0; i < image.Frames.size(); ++i, ++k) {
      const TQuvFrameModel& frame = image.Frames[i];
      const int32_t index = int32_t(i);
      EXPECT_EQ(frame.Compression, compressions[k]) << image.Name << " " << i;
      EXPECT_EQ(Shown(*Reloaded, image.Name, index), Shown(*original, image.Name, index))
          << image.Name << " " << i;
      if (image.Name == "tank") continue;
      // No row or column at the edges is wholly transparent.
      const auto visible = [&](int32_t x, int32_t y) {
        return frame.Pixels[size_t(y) * size_t(frame.Width) + size_t(x)] != 9;
      };
      bool top = false, bottom = false, left = false, right = false;
      for (int32_t x = 0; x < frame.Width; ++x)
        top |= visible(x, 0), bottom |= visible(x, frame.Height - 1);
      for (int32_t y = 0; y < frame.Height; ++y)
        left |= visible(0, y), right |= visible(frame.Width - 1, y);
      EXPECT_TRUE(top && bottom && left && right) << image.Name << " " << i;
    }
  }
  const size_t ball = FindImage(saved, "ball");
  EXPECT_LT(saved.Images[ball].Frames[0].Width, Sample().Images[ball].Frames[0].Width);
}

TEST_F(FrameEditTest, WhollyTransparentFrameStaysAsItIs) {
  TQuvContent content = Sample();
  const TPalette palette = DistinctPalette();
  const size_t light = FindImage(content, "light");
  TFramePicture empty{IndexedPicture(3, 2, std::vector<uint8_t>(6, 9), palette), 1, 1};
  ApplyEdit(content, InsertFrames(content, light, 2, {empty}, palette));
  const std::vector<uint8_t> before = EncodeQuvContent(content);
  ApplyEdit(content, CropFrames(content, light, {2}));
  EXPECT_EQ(EncodeQuvContent(content), before);
}

TEST_F(FrameEditTest, FrameReplacedFromItsOwnExportIsTheSameFrame) {
  TQuvContent content = Sample();
  const TPalette palette = DistinctPalette();
  const std::vector<uint8_t> before = EncodeQuvContent(content);
  // A run-length frame comes back byte for byte, hot spot included.
  const size_t ball = FindImage(content, "ball");
  const TQuvFrameModel& three = content.Images[ball].Frames[3];
  const TQuvEdit same =
      ReplaceFrame(content, ball, 3, {ExportedPicture(three, palette), {}, {}}, palette);
  ApplyEdit(content, same);
  EXPECT_EQ(EncodeQuvContent(content), before);
  RevertEdit(content, same);
  // A raw frame comes back run-length; a composed one as a plain frame of the same picture.
  const size_t windmill = FindImage(content, "windmill"), tank = FindImage(content, "tank");
  ApplyAndCheckUndo(
      content, ReplaceFrame(content, windmill, 2,
                            {ExportedPicture(content.Images[windmill].Frames[2], palette), {}, {}},
                            palette));
  TQuvFrameModel composed;
  {
    std::unique_ptr<TQuvImages> loaded = Load(MakeSampleQuv(), "composed.quv");
    TQuvFrame& frame = Frame(*loaded, "tank", 4);
    composed.Width = frame.Width;
    composed.Height = frame.Height;
    for (const TPixelRow& row : *frame.Pixels)
      composed.Pixels.insert(composed.Pixels.end(), row.begin(), row.end());
  }
  ApplyAndCheckUndo(content, ReplaceFrame(content, tank, 4,
                                          {ExportedPicture(composed, palette), {}, {}}, palette));
  const TQuvContent saved = Reread(EncodeQuvContent(content));
  const TQuvContent original = Sample();
  const TQuvFrameModel& mill = saved.Images[windmill].Frames[2];
  EXPECT_EQ(mill.Compression, 1);
  EXPECT_EQ(mill.Pixels, original.Images[windmill].Frames[2].Pixels);
  EXPECT_EQ(mill.XOffset, original.Images[windmill].Frames[2].XOffset);
  EXPECT_TRUE(saved.Images[tank].Frames[4].SubFrames.empty());
  EXPECT_EQ(Shown(*Reloaded, "tank", 4), Shown(*Collection, "tank", 4));
}

TEST_F(FrameEditTest, PicturesMapToThePaletteAndGiveTheirHotSpot) {
  TQuvContent content = Sample();
  const TPalette palette = DistinctPalette();
  // RGBA: entry 40 exactly, a pixel of alpha 0, a colour nearest to entry 200, entry 9's colour
  // opaque (an RGBA picture keeps opaque pixels opaque: the nearest other entry).
  TSourcePicture rgba;
  rgba.Width = 2;
  rgba.Height = 2;
  rgba.HasAlpha = true;
  const auto& p40 = palette[40];
  const auto& p200 = palette[200];
  rgba.Pixels = {p40[0],
                 p40[1],
                 p40[2],
                 255,
                 1,
                 2,
                 3,
                 0,
                 uint8_t(p200[0] + 1),
                 p200[1],
                 p200[2],
                 255,
                 palette[9][0],
                 palette[9][1],
                 palette[9][2],
                 255};
  const size_t light = FindImage(content, "light");
  ApplyAndCheckUndo(content, ReplaceFrame(content, light, 1, {rgba, -3, {}}, palette));
  const TQuvContent saved = Reread(EncodeQuvContent(content));
  const TQuvFrameModel& frame = saved.Images[light].Frames[1];
  EXPECT_EQ(frame.Width, 2);
  EXPECT_EQ(frame.Height, 2);
  EXPECT_EQ(frame.XOffset, -3);                                        // given
  EXPECT_EQ(frame.YOffset, Sample().Images[light].Frames[1].YOffset);  // kept
  ASSERT_EQ(frame.Pixels.size(), 4u);
  EXPECT_EQ(frame.Pixels[0], 40);
  EXPECT_EQ(frame.Pixels[1], 9);
  EXPECT_EQ(frame.Pixels[2], 200);
  EXPECT_NE(frame.Pixels[3], 9);
}

TEST_F(FrameEditTest, InsertedFramesGoWhereAskedInTheirOrder) {
  TQuvContent content = Sample();
  const TPalette palette = DistinctPalette();
  const size_t light = FindImage(content, "light");
  const TFramePicture a{IndexedPicture(2, 1, {7, 9}, palette), 1, 0};
  const TFramePicture b{IndexedPicture(1, 3, {3, 4, 5}, palette), {}, {}};
  ApplyAndCheckUndo(content, InsertFrames(content, light, 1, {a, b}, palette));
  ApplyAndCheckUndo(content, InsertFrames(content, light, 4, {b}, palette));
  const TQuvContent saved = Reread(EncodeQuvContent(content));
  const TQuvContent original = Sample();
  const auto& frames = saved.Images[light].Frames;
  const auto& was = original.Images[light].Frames;
  ASSERT_EQ(frames.size(), 5u);
  EXPECT_EQ(frames[0].Pixels, was[0].Pixels);
  EXPECT_EQ(frames[1].Pixels, (std::vector<uint8_t>{7, 9}));
  EXPECT_EQ(frames[1].XOffset, 1);
  EXPECT_EQ(frames[2].Pixels, (std::vector<uint8_t>{3, 4, 5}));
  EXPECT_EQ(frames[2].XOffset, 0);
  EXPECT_EQ(frames[2].Compression, 1);
  EXPECT_EQ(frames[3].Pixels, was[1].Pixels);
  EXPECT_EQ(frames[4].Pixels, frames[2].Pixels);
}

// What tells the ball's frames apart: their pixels, and where they lie.
using TFrameLook = std::tuple<std::vector<uint8_t>, int32_t, int32_t>;

std::vector<TFrameLook> Looks(const TQuvContent& content) {
  std::vector<TFrameLook> frames;
  for (const auto& frame : content.Images[FindImage(content, "ball")].Frames)
    frames.emplace_back(frame.Pixels, frame.XOffset, frame.YOffset);
  return frames;
}

// The ball's frames by their original numbers.
std::vector<TFrameLook> Order(const TQuvContent& content, const std::vector<int>& numbers) {
  const std::vector<TFrameLook> looks = Looks(content);
  std::vector<TFrameLook> frames;
  for (int n : numbers) frames.push_back(looks[size_t(n)]);
  return frames;
}

TEST_F(FrameEditTest, FramesAreDuplicatedDeletedAndMovedInOrder) {
  const TQuvContent original = Sample();
  const size_t ball = FindImage(original, "ball");
  struct TCase {
    std::function<TQuvEdit(const TQuvContent&)> Edit;
    std::vector<int> Order;
  };
  const std::vector<TCase> cases = {
      {[&](const TQuvContent& c) {
         return DuplicateFrames(c, ball, {2, 0});
       },
       {0, 1, 2, 0, 2, 3, 4, 5, 6, 7}},
      {[&](const TQuvContent& c) {
         return DeleteFrames(c, ball, {3, 1, 7, 6, 5});
       },
       {0, 2, 4}},
      {[&](const TQuvContent& c) {
         return MoveFrames(c, ball, {0, 1}, 4);
       },
       {2, 3, 0, 1, 4, 5, 6, 7}},
      {[&](const TQuvContent& c) { return MoveFrames(c, ball, {4}, 0); }, {4, 0, 1, 2, 3, 5, 6, 7}},
      {[&](const TQuvContent& c) {
         return MoveFrames(c, ball, {0, 3}, 2);
       },
       {1, 0, 3, 2, 4, 5, 6, 7}},
      {[&](const TQuvContent& c) { return MoveFrames(c, ball, {2}, 8); }, {0, 1, 3, 4, 5, 6, 7, 2}},
  };
  for (const TCase& test : cases) {
    TQuvContent content = Sample();
    ApplyAndCheckUndo(content, test.Edit(content));
    EXPECT_EQ(Looks(Reread(EncodeQuvContent(content))), Order(original, test.Order));
  }
  // Frames moved before one of themselves stay where they are.
  TQuvContent content = Sample();
  const std::vector<uint8_t> before = EncodeQuvContent(content);
  ApplyEdit(content, MoveFrames(content, ball, {1, 2}, 2));
  EXPECT_EQ(EncodeQuvContent(content), before);
}

TEST_F(FrameEditTest, WhatAnImageCannotHoldIsRefusedAndNothingChanges) {
  TQuvContent content = Sample();
  const TPalette palette = DistinctPalette();
  const size_t walker = FindImage(content, "walker");
  const auto named = [](const std::string& message, const std::string& what) {
    return message.find(what) != std::string::npos ? ::testing::AssertionSuccess()
                                                   : ::testing::AssertionFailure() << message;
  };
  const std::string quoted = "\xE2\x80\x98walker\xE2\x80\x99";
  EXPECT_TRUE(named(Refusal(content, [&] { DeleteFrames(content, walker, {}); }),
                    quoted + " cannot be left without frames"));
  EXPECT_TRUE(named(Refusal(content,
                            [&] {
                              DeleteFrames(content, walker, {0, 9});
                            }),
                    quoted + " has no frame 9"));
  EXPECT_TRUE(named(Refusal(content, [&] { MoveFrames(content, walker, {0}, 5); }), "not 5"));
  EXPECT_TRUE(
      named(Refusal(content, [&] { InsertFrames(content, walker, -1, {}, palette); }), "not -1"));
  EXPECT_TRUE(named(Refusal(content, [&] { InsertFrames(content, walker, 0, {}, palette); }),
                    "No pictures"));
  const TFramePicture wide{
      IndexedPicture(70000, 1, std::vector<uint8_t>(70000, 3), palette), {}, {}};
  EXPECT_TRUE(named(Refusal(content, [&] { ReplaceFrame(content, walker, 1, wide, palette); }),
                    "Frame 1 of " + quoted + " cannot be 70000 x 1 pixels"));
  const TFramePicture none{IndexedPicture(0, 0, {}, palette), {}, {}};
  EXPECT_TRUE(named(Refusal(content, [&] { InsertFrames(content, walker, 4, {none}, palette); }),
                    "Frame 4 of " + quoted + " cannot be 0 x 0 pixels"));
  const TFramePicture far{IndexedPicture(1, 1, {3}, palette), 0, 40000};
  EXPECT_TRUE(named(Refusal(content, [&] { ReplaceFrame(content, walker, 2, far, palette); }),
                    "Frame 2 of " + quoted + " cannot have its hot spot at 0,40000"));
  const TFramePicture lying{IndexedPicture(4, 4, {1, 2}, palette), {}, {}};
  EXPECT_TRUE(named(Refusal(content, [&] { ReplaceFrame(content, walker, 0, lying, palette); }),
                    "holds 2 bytes of pixels, not the 16"));
  // An image entry counts its frames in 16 bits.
  TQuvContent full;
  full.Images.push_back({"full", std::vector<TQuvFrameModel>(65535, SolidFrame(1, 1, 0, 0, 3))});
  EXPECT_TRUE(
      named(Refusal(full, [&] { DuplicateFrames(full, 0, {7}); }), "cannot have 65536 frames"));
}

}  // namespace
