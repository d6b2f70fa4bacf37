// Image edits: images added from pictures, renamed, duplicated and deleted, as a saved file
// shows them.
#include <gtest/gtest.h>

#include "EditTestSupport.h"

namespace {

using ImageEditTest = EditTest;

std::vector<std::string> Names(const TQuvContent& content) {
  std::vector<std::string> names;
  for (const TQuvImageModel& image : content.Images) names.push_back(image.Name);
  return names;
}

TSourcePicture Picture(int32_t width, int32_t height, const TPalette& palette, uint8_t index) {
  TSourcePicture picture;
  picture.Width = width;
  picture.Height = height;
  for (int32_t i = 0; i < width * height; ++i)
    picture.Pixels.insert(picture.Pixels.end(),
                          {palette[index][0], palette[index][1], palette[index][2], 255});
  return picture;
}

TEST_F(ImageEditTest, ImagesAreAddedRenamedDuplicatedAndDeleted) {
  TQuvContent content = Sample();
  const TPalette palette = DistinctPalette();
  ApplyAndCheckUndo(
      content, AddImage(content, "Flag",
                        {{Picture(3, 2, palette, 77), 1, 2}, {Picture(1, 1, palette, 78), {}, {}}},
                        palette));
  ApplyAndCheckUndo(content, RenameImage(content, FindImage(content, "ball"), "Bouncer"));
  ApplyAndCheckUndo(content, RenameImage(content, FindImage(content, "light"), "LIGHT"));
  ApplyAndCheckUndo(content, DuplicateImage(content, FindImage(content, "tank"), "tank2"));
  ApplyAndCheckUndo(content, DeleteImage(content, FindImage(content, "windmill")));
  const TQuvContent saved = Reread(EncodeQuvContent(content));
  EXPECT_EQ(Names(saved),
            (std::vector<std::string>{"Bouncer", "tank", "tank2", "LIGHT", "walker", "Flag"}));
  const TQuvContent original = Sample();
  const auto& flag = saved.Images[5].Frames;
  ASSERT_EQ(flag.size(), 2u);
  EXPECT_EQ(flag[0].Pixels, std::vector<uint8_t>(6, 77));
  EXPECT_EQ(flag[0].XOffset, 1);
  EXPECT_EQ(flag[0].YOffset, 2);
  EXPECT_EQ(flag[1].Pixels, std::vector<uint8_t>(1, 78));
  EXPECT_EQ(flag[1].XOffset, 0);
  EXPECT_EQ(saved.Images[0].Frames[3].Pixels, original.Images[0].Frames[3].Pixels);
  // The copy of the composed tank shows what the tank shows.
  ASSERT_EQ(saved.Images[2].Frames.size(), 8u);
  for (int32_t i = 0; i < 8; ++i)
    EXPECT_EQ(Shown(*Reloaded, "tank2", i), Shown(*Reloaded, "tank", i));
  EXPECT_FALSE(saved.Images[2].Frames[0].SubFrames.empty());
}

TEST_F(ImageEditTest, NamesAndCountsAFileCannotHoldAreRefusedAndNothingChanges) {
  TQuvContent content = Sample();
  const TPalette palette = DistinctPalette();
  const size_t ball = FindImage(content, "ball");
  const auto refused = [&](const std::function<void()>& edit, const std::string& what) {
    const std::string message = Refusal(content, edit);
    return message.find(what) != std::string::npos ? ::testing::AssertionSuccess()
                                                   : ::testing::AssertionFailure() << message;
  };
  const std::string longest(31, 'n');
  EXPECT_TRUE(refused([&] { RenameImage(content, ball, longest + "n"); },
                      "has 32 bytes: a name holds at most 31"));
  EXPECT_TRUE(refused([&] { RenameImage(content, ball, ""); }, "An image needs a name"));
  EXPECT_TRUE(refused([&] { RenameImage(content, ball, std::string("a\0b", 3)); }, "zero byte"));
  EXPECT_TRUE(refused([&] { RenameImage(content, ball, "TANK"); },
                      "There is already an image \xE2\x80\x98tank\xE2\x80\x99"));
  EXPECT_TRUE(refused([&] { DuplicateImage(content, ball, "Walker"); },
                      "There is already an image \xE2\x80\x98walker\xE2\x80\x99"));
  EXPECT_TRUE(refused([&] { AddImage(content, "empty", {}, palette); },
                      "\xE2\x80\x98"
                      "empty\xE2\x80\x99 cannot be left without frames"));
  EXPECT_TRUE(refused([&] { DeleteImage(content, 9); }, "There is no image number 9"));
  ApplyEdit(content, RenameImage(content, ball, longest));  // 31 bytes fit
  EXPECT_EQ(Names(Reread(EncodeQuvContent(content))).front(), longest);
  TQuvContent single = Reread(BuildQuvFile({SampleSprites()[3]}));
  const std::string message = Refusal(single, [&] { DeleteImage(single, 0); });
  EXPECT_NE(message.find("\xE2\x80\x98light\xE2\x80\x99 is the file's only image"),
            std::string::npos)
      << message;
}

}  // namespace
