// Hot-spot edits: what a saved file holds after them, and that undoing them gives the file back.
#include <gtest/gtest.h>

#include "../quv/QuvTestSupport.h"
#include "QuvEditU.h"
#include "QuvSamplesU.h"

namespace {

class HotSpotEditTest : public QuvTest {
 protected:
  // The sample file's content as a fresh reader gives it.
  TQuvContent Sample() {
    Collection = Load(MakeSampleQuv(), "sample.quv");
    return ReadQuvContent(*Collection, 9);
  }
  // The content of bytes saved by an edit, read back by a reader of its own.
  TQuvContent Reread(const std::vector<uint8_t>& bytes) {
    Reloaded = Load(bytes, "saved" + std::to_string(++FSaves) + ".quv");
    return ReadQuvContent(*Reloaded, 9);
  }
  std::unique_ptr<TQuvImages> Collection;
  std::unique_ptr<TQuvImages> Reloaded;

 private:
  int FSaves = 0;
};

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

}  // namespace
