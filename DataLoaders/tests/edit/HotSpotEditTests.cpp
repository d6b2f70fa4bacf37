// Hot-spot edits: what a saved file holds after them, and that undoing them gives the file back.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "EditTestSupport.h"

namespace {

using HotSpotEditTest = EditTest;

TEST_F(HotSpotEditTest, EditAndUndoGiveTheSameBytes) {
  TQuvContent content = Sample();
  const std::vector<uint8_t> before = EncodeQuvContent(content);
  const size_t tank = FindImage(content, "TANK");  // names are found without regard to case
  const TQuvEdit edit = ShiftOffsets(content, tank, {}, 3, -2);
  EXPECT_EQ(edit.Name, "Shift Offsets");
  ApplyEdit(content, edit);
  EXPECT_NE(EncodeQuvContent(content), before);
  RevertEdit(content, edit);
  EXPECT_EQ(EncodeQuvContent(content), before);
  ApplyEdit(content, edit);
  RevertEdit(content, edit);
  EXPECT_EQ(EncodeQuvContent(content), before);
}

TEST_F(HotSpotEditTest, SavedFileShowsTheNewOffsetsAndTheSamePixels) {
  TQuvContent content = Sample();
  const size_t ball = FindImage(content, "ball");
  ApplyEdit(content, SetOffsets(content, ball, {1}, 7, std::nullopt));
  ApplyEdit(content, ShiftOffsets(content, ball, {0, 2}, -1, 4));
  const TQuvContent original = Sample();
  const TQuvContent saved = Reread(EncodeQuvContent(content));
  const auto& was = original.Images[ball].Frames;
  const auto& now = saved.Images[ball].Frames;
  ASSERT_EQ(now.size(), was.size());
  EXPECT_EQ(now[1].XOffset, 7);
  EXPECT_EQ(now[1].YOffset, was[1].YOffset);  // Y left alone: a paste of X only
  EXPECT_EQ(now[0].XOffset, was[0].XOffset - 1);
  EXPECT_EQ(now[2].YOffset, was[2].YOffset + 4);
  EXPECT_EQ(now[3].XOffset, was[3].XOffset);
  for (size_t i = 0; i < now.size(); ++i) EXPECT_EQ(now[i].Pixels, was[i].Pixels) << i;
}

TEST_F(HotSpotEditTest, ComposedFrameShowsTheSamePictureAfterItsHotSpotMoves) {
  TQuvContent content = Sample();
  const size_t tank = FindImage(content, "tank");
  ASSERT_FALSE(content.Images[tank].Frames[0].SubFrames.empty());
  ApplyEdit(content, ShiftOffsets(content, tank, {0}, 5, 3));
  std::unique_ptr<TQuvImages> before = Load(MakeSampleQuv(), "again.quv");
  std::unique_ptr<TQuvImages> after = Load(EncodeQuvContent(content), "moved.quv");
  TQuvFrame& was = Frame(*before, "tank", 0);
  TQuvFrame& now = Frame(*after, "tank", 0);
  EXPECT_EQ(now.XOffset, was.XOffset + 5);
  EXPECT_EQ(now.YOffset, was.YOffset + 3);
  EXPECT_EQ(*now.Pixels, *was.Pixels);
}

TEST_F(HotSpotEditTest, OutOfRangeOffsetsAndMissingFramesAreRefused) {
  TQuvContent content = Sample();
  const std::vector<uint8_t> before = EncodeQuvContent(content);
  const size_t ball = FindImage(content, "ball");
  EXPECT_THROW(SetOffsets(content, ball, {0}, 40000, 0), EQuvEditError);
  EXPECT_THROW(ShiftOffsets(content, ball, {}, 0, -70000), EQuvEditError);
  EXPECT_THROW(ShiftOffsets(content, ball, {99}, 1, 1), EQuvEditError);
  EXPECT_THROW(FindImage(content, "nothing"), EQuvEditError);
  EXPECT_EQ(EncodeQuvContent(content), before);
}

// The least column and row, and the greatest, of the pixels shown.
struct TCorners {
  int32_t Left = INT32_MAX, Top = INT32_MAX, Right = INT32_MIN, Bottom = INT32_MIN;
};
TCorners CornersOf(const TShown& shown) {
  TCorners c;
  for (const auto& [at, pixel] : shown) {
    c.Left = std::min(c.Left, at.first), c.Right = std::max(c.Right, at.first);
    c.Top = std::min(c.Top, at.second), c.Bottom = std::max(c.Bottom, at.second);
  }
  return c;
}

TEST_F(HotSpotEditTest, CentrePresetsPutTheHotSpotInTheVisiblePixelsAndKeepThePicture) {
  for (const TOffsetPreset preset : {TOffsetPreset::Centre, TOffsetPreset::BottomCentre}) {
    TQuvContent content = Sample();
    for (const char* name : {"ball", "tank"})
      ApplyAndCheckUndo(content, ApplyOffsetPreset(content, FindImage(content, name), {}, preset));
    const TQuvContent saved = Reread(EncodeQuvContent(content));
    std::unique_ptr<TQuvImages> original = Load(MakeSampleQuv(), "original.quv");
    for (const char* name : {"ball", "tank"}) {
      for (int32_t i = 0; i < Reloaded->FindImage(name)->FrameCount; ++i) {
        const TShown was = Shown(*original, name, i), now = Shown(*Reloaded, name, i);
        const TCorners before = CornersOf(was), after = CornersOf(now);
        const int32_t width = after.Right - after.Left + 1, height = after.Bottom - after.Top + 1;
        EXPECT_EQ(after.Left, -(width / 2)) << name << " " << i;
        if (preset == TOffsetPreset::Centre)
          EXPECT_EQ(after.Top, -(height / 2)) << name << " " << i;
        else
          EXPECT_EQ(after.Bottom, 0) << name << " " << i;
        EXPECT_EQ(now, Moved(was, after.Left - before.Left, after.Top - before.Top))
            << name << " " << i;
      }
    }
    // The other images are left alone.
    EXPECT_EQ(saved.Images[FindImage(saved, "light")].Frames[1].XOffset,
              content.Images[FindImage(content, "light")].Frames[1].XOffset);
  }
}

TEST_F(HotSpotEditTest, PreviousPresetLinesFramesUpOnTheFrameBefore) {
  TQuvContent content = Sample();
  const size_t ball = FindImage(content, "ball");
  // Every frame: frame 0 stays, each other one lines up on its (placed) predecessor, so on 0.
  ApplyAndCheckUndo(content, ApplyOffsetPreset(content, ball, {}, TOffsetPreset::Previous));
  // Frame 6 of the tank alone (the barrel pointing up) lines up on frame 5 as it is.
  const size_t tank = FindImage(content, "tank");
  ApplyAndCheckUndo(content, ApplyOffsetPreset(content, tank, {6}, TOffsetPreset::Previous));
  Reread(EncodeQuvContent(content));
  std::unique_ptr<TQuvImages> original = Load(MakeSampleQuv(), "original.quv");
  EXPECT_EQ(Shown(*Reloaded, "ball", 0), Shown(*original, "ball", 0));
  const TCorners first = CornersOf(Shown(*original, "ball", 0));
  for (int32_t i = 1; i < 8; ++i) {
    const TShown was = Shown(*original, "ball", i), now = Shown(*Reloaded, "ball", i);
    const TCorners before = CornersOf(was), after = CornersOf(now);
    EXPECT_EQ(after.Left, first.Left) << i;
    EXPECT_EQ(after.Top, first.Top) << i;
    EXPECT_EQ(now, Moved(was, after.Left - before.Left, after.Top - before.Top)) << i;
  }
  const TCorners five = CornersOf(Shown(*original, "tank", 5));
  const TShown was = Shown(*original, "tank", 6), now = Shown(*Reloaded, "tank", 6);
  const TCorners before = CornersOf(was), after = CornersOf(now);
  ASSERT_NE(before.Top, five.Top);  // the barrel sticks out above the hull
  EXPECT_EQ(after.Left, five.Left);
  EXPECT_EQ(after.Top, five.Top);
  EXPECT_EQ(now, Moved(was, after.Left - before.Left, after.Top - before.Top));
  for (int32_t i : {5, 7}) EXPECT_EQ(Shown(*Reloaded, "tank", i), Shown(*original, "tank", i));
  EXPECT_EQ(OffsetPresetNamed("bottom-centre"), TOffsetPreset::BottomCentre);
  EXPECT_EQ(OffsetPresetNamed("previous"), TOffsetPreset::Previous);
  EXPECT_EQ(OffsetPresetNamed("centre"), TOffsetPreset::Centre);
  EXPECT_EQ(OffsetPresetNamed("center"), std::nullopt);
}

TEST_F(HotSpotEditTest, PresetsRefuseAHotSpotBeyondTheOffsetsRange) {
  // A wide frame whose only pixel lies at column 39000: its middle is past 32767.
  TQuvContent content;
  TQuvFrameModel wide;
  wide.Width = 40000;
  wide.Height = 1;
  wide.Pixels.assign(40000, 9);
  wide.Pixels[39000] = 5;
  content.Images.push_back({"wide", {wide}});
  const std::string message =
      Refusal(content, [&] { ApplyOffsetPreset(content, 0, {0}, TOffsetPreset::BottomCentre); });
  EXPECT_NE(message.find("Frame 0 of \xE2\x80\x98wide\xE2\x80\x99"), std::string::npos) << message;
  EXPECT_NE(message.find("39000"), std::string::npos) << message;
}

}  // namespace
