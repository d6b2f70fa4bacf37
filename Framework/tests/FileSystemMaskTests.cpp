// The file system's own mask matcher, used by tree searches.
#include <gtest/gtest.h>

#include "FileSystemU.h"

namespace {

std::string MaskError(const std::string& mask) {
  try {
    TMask compiled(mask);
  } catch (const EMaskException& e) {
    return e.what();
  }
  return "valid";
}

}  // namespace

TEST(FileSystemMask, WildcardsMatchWithoutRegardToLetterCase) {
  EXPECT_TRUE(MatchesMask("Palette.PAL", "*.pal"));
  EXPECT_TRUE(MatchesMask("palette.pal", "P?LETTE.*"));
  EXPECT_TRUE(MatchesMask("anything", "*"));
  EXPECT_TRUE(MatchesMask("", "*"));
  EXPECT_TRUE(MatchesMask("a.b.c", "*.*.*"));
  EXPECT_TRUE(MatchesMask("abcabd", "*ab?"));
  EXPECT_FALSE(MatchesMask("abcabe", "*abd"));
  EXPECT_FALSE(MatchesMask("palette.pal", "*.quv"));
  EXPECT_FALSE(MatchesMask("ab", "a?b"));
  EXPECT_FALSE(MatchesMask("x", ""));
  EXPECT_TRUE(MatchesMask("", ""));
  // "?" is one character, however many bytes it takes.
  EXPECT_TRUE(MatchesMask("\xC3\xA9t\xC3\xA9", "?t?"));
  EXPECT_TRUE(MatchesMask("caf\xC3\xA9", "*\xC3\xA9"));
  // Long hopeless names stay cheap: no exponential back-tracking.
  EXPECT_FALSE(MatchesMask(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*a*a*b"));
}

TEST(FileSystemMask, SetsRangesAndNegation) {
  EXPECT_TRUE(MatchesMask("frame7.bmp", "frame[0-9].bmp"));
  EXPECT_FALSE(MatchesMask("frameX.bmp", "frame[0-9].bmp"));
  EXPECT_TRUE(MatchesMask("Q", "[a-z]"));
  EXPECT_TRUE(MatchesMask("q", "[A-Z]"));
  EXPECT_TRUE(MatchesMask("b", "[!ac]"));
  EXPECT_FALSE(MatchesMask("A", "[!ac]"));
  EXPECT_TRUE(MatchesMask("-", "[a-]"));  // a closing hyphen is itself
  EXPECT_TRUE(MatchesMask("d", "[a-c-e]"));
  EXPECT_TRUE(MatchesMask("\xC3\xA9", "[\xC3\xA0-\xC3\xAF]"));
  EXPECT_TRUE(MatchesMask("\xC3\xA9", "[!a-z]"));
  EXPECT_FALSE(MatchesMask("\xC3\xA9", "[a-z]"));
}

TEST(FileSystemMask, InvalidMasksNameTheirPosition) {
  EXPECT_EQ(MaskError("[abc"), "'[abc' is an invalid mask at (5)");
  EXPECT_EQ(MaskError("a[]"), "'a[]' is an invalid mask at (3)");
  EXPECT_EQ(MaskError("[!]"), "'[!]' is an invalid mask at (3)");
  EXPECT_EQ(MaskError("x[-a]"), "'x[-a]' is an invalid mask at (3)");
  EXPECT_EQ(MaskError("[!-a]"), "'[!-a]' is an invalid mask at (3)");

  std::string thirty;
  for (int i = 0; i < 30; ++i) thirty += "*a";
  EXPECT_EQ(MaskError(thirty), "valid");
  EXPECT_EQ(MaskError("***" + thirty), "valid");  // a run of stars is one wildcard
  EXPECT_EQ(MaskError(thirty + "*"), "'" + thirty + "*' is an invalid mask at (61)");
  EXPECT_THROW(MatchesMask("a", thirty + "*"), EMaskException);
}
