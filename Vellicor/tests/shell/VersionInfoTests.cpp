#include <gtest/gtest.h>

#include "ProgramPathsU.h"
#include "VellicorVersion.h"
#include "VersionInfo.h"

TEST(VersionInfo, ProgramFileCarriesTheProjectVersion) {
  TVersionInfoResource info;
  info.Load(ProgramFilePath());
  ASSERT_TRUE(info.HasData());
  EXPECT_EQ(info.GetString(7), "Vellicor");
  EXPECT_EQ(info.FixedInfo().FileVersion.ToString(), VELLICOR_VERSION_STRING);
  EXPECT_EQ(info.Translations(), (std::vector<std::string>{"040904E4"}));
  EXPECT_EQ(info.GetString(11), "");
  EXPECT_EQ(info.GetString(-1), "");
}

TEST(VersionInfo, OtherFilesHaveNoVersionInformation) {
  TVersionInfoResource info;
  info.Load("/nonexistent/program");
  EXPECT_FALSE(info.HasData());
  EXPECT_EQ(info.GetString(7), "");
  EXPECT_EQ(info.Translation(), "040904E4");
}

TEST(VersionInfo, StringsAreLookedUpUnderTheChosenTranslation) {
  TVersionData data;
  data.Translations = {{0x0407, 0x04B0}};
  data.Strings[0] = "Company";
  TVersionInfoResource info(data);
  EXPECT_EQ(info.Translation(), "040704B0");
  EXPECT_EQ(info.GetString(0), "Company");
  info.TranslationIndex = 3;  // no such entry: the fallback translation is not in this data
  EXPECT_EQ(info.GetString(0), "");
}

TEST(VersionInfo, NumbersFlagsAndNames) {
  TVersionData data;
  data.Fixed.FileVersion = {1, 2, 65535, 0};
  data.Fixed.FileFlags = ffPreRelease | ffDebug | ffSpecial;
  TVersionInfoResource info(data);
  EXPECT_EQ(info.FixedInfo().FileVersion.ToString(), "1.2.65535.0");
  EXPECT_EQ(info.VersionCaption(), "Version : 1.2.65535.0");
  EXPECT_EQ(info.FileFlagsText(), "Debug, Pre-Release, Special");
  EXPECT_EQ(TVersionInfoResource::KeyName(0), "CompanyName");
  EXPECT_EQ(TVersionInfoResource::KeyName(10), "BuildFlags");
  EXPECT_EQ(TVersionInfoResource::DisplayName(6), "Original Filename");
  EXPECT_EQ(TVersionInfoResource::DisplayName(10), "Build Flags");
  EXPECT_EQ(TVersionInfoResource::DisplayName(11), "");
}
