#include <gtest/gtest.h>

#include <climits>
#include <clocale>

#include "StringUtilsU.h"

namespace {

TEST(StringUtils, FormatHandlesLongOutput) {
  const std::string long_text(5000, 'q');
  EXPECT_EQ(Format("%s|%d", long_text.c_str(), -3), long_text + "|-3");
  EXPECT_EQ(Format("%s", ""), "");
}

TEST(StringUtils, TryStrToIntReadsDecimalAndBothHexForms) {
  int64_t value = 0;
  EXPECT_TRUE(TryStrToInt("0x1F", value));
  EXPECT_EQ(value, 31);
  EXPECT_TRUE(TryStrToInt("$ff", value));
  EXPECT_EQ(value, 255);
  EXPECT_TRUE(TryStrToInt("-12", value));
  EXPECT_EQ(value, -12);
  EXPECT_TRUE(TryStrToInt("-9223372036854775808", value));
  EXPECT_EQ(value, INT64_MIN);
  for (const char* bad : {"", "-", "$", "0x", "12a", " 1", "9223372036854775808", "1.5"}) {
    EXPECT_FALSE(TryStrToInt(bad, value)) << bad;
  }
  EXPECT_EQ(StrToIntDef("oops", 42), 42);
}

TEST(StringUtils, CaseRulesTouchOnlyAsciiLetters) {
  EXPECT_EQ(UpperCase("palette.pal\xe9"), "PALETTE.PAL\xe9");
  EXPECT_EQ(LowerCase("ARM[Z]"), "arm[z]");
  EXPECT_TRUE(SameText("Palette.PAL", "palette.pal"));
  EXPECT_FALSE(SameText("palette", "palettes"));
  EXPECT_TRUE(StartsTextWith("TotalA.HPI", "total"));
  EXPECT_FALSE(StartsTextWith("To", "total"));
}

TEST(StringUtils, AnsiCompareTextIgnoresCaseAndOrdersNames) {
  EXPECT_EQ(AnsiCompareText("ArmCom.QUV", "ARMCOM.quv"), 0);
  EXPECT_LT(AnsiCompareText("alpha", "Beta"), 0);
  EXPECT_GT(AnsiCompareText("beta", "ALPHA"), 0);
  EXPECT_LT(AnsiCompareText("", "a"), 0);
  // Bytes that are no text of the locale still compare, and consistently.
  EXPECT_EQ(AnsiCompareText("\xff\xfe", "\xff\xfe"), 0);
  EXPECT_EQ(AnsiCompareText("\xff", "\xfe"), -AnsiCompareText("\xfe", "\xff"));
  EXPECT_EQ(AnsiUpperCase("abc"), "ABC");
}

TEST(StringUtils, AnsiCompareTextFoldsNonAsciiLettersUnderAUtf8Locale) {
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  EXPECT_EQ(AnsiCompareText("\xc3\xa9t\xc3\xa9.quv", "\xc3\x89T\xc3\x89.QUV"), 0);  // été / ÉTÉ
  EXPECT_EQ(AnsiCompareText("Arm.quv", "ARM.QUV"), 0);
  EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
  EXPECT_EQ(AnsiUpperCase("\xc3\xa9"), "\xc3\x89");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(StringUtils, NormalizePathUnifiesSeparatorsAndDropsOneTrailing) {
  EXPECT_EQ(NormalizePath("data/units\\arm/", '\\'), "data\\units\\arm");
  EXPECT_EQ(NormalizePath("a\\b\\\\", '/'), "a/b/");
  EXPECT_EQ(NormalizePath("/", '/'), "/");
  EXPECT_EQ(NormalizePath("", '/'), "");
}

TEST(StringUtils, PathPieces) {
  EXPECT_EQ(JoinPath("", "x.quv", '\\'), "x.quv");
  EXPECT_EQ(JoinPath("dir", "x.quv", '\\'), "dir\\x.quv");
  EXPECT_EQ(JoinPath("dir/", "x.quv", '\\'), "dir/x.quv");
  EXPECT_EQ(ExtractFileName("a/b\\c.quv"), "c.quv");
  EXPECT_EQ(ExtractFileDir("a/b\\c.quv"), "a/b");
  EXPECT_EQ(ExtractFileDir("/c.quv"), "/");
  EXPECT_EQ(ExtractFileDir("c.quv"), "");
  EXPECT_EQ(ExtractFileExt("v1.2/readme"), "");
  EXPECT_EQ(ExtractFileExt("a.b/c.QUV"), ".QUV");
  EXPECT_EQ(ChangeFileExt("/opt/vellicor", ".map"), "/opt/vellicor.map");
  EXPECT_EQ(ChangeFileExt("x.exe", ".map"), "x.map");
  EXPECT_EQ(ExcludeTrailingDelimiter("a\\"), "a");
  EXPECT_EQ(IncludeTrailingDelimiter("a"), "a/");
  EXPECT_EQ(IncludeTrailingDelimiter("a\\", '/'), "a\\");
  EXPECT_EQ(ToDiskPath("a\\b"), "a/b");
  EXPECT_EQ(ToTreePath("a/b"), "a\\b");
  EXPECT_EQ(SplitString("a,,b,", ','), (std::vector<std::string>{"a", "", "b", ""}));
  EXPECT_EQ(SplitString(";a;;b;", ';', TEmptyParts::Skip), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(SplitString("", ':', TEmptyParts::Skip), std::vector<std::string>{});
  EXPECT_EQ(SplitString("", ':'), std::vector<std::string>{""});
}

}  // namespace
