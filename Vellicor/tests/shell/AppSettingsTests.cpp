#include <gtest/gtest.h>

#include <filesystem>

#include "AppSettingsU.h"
#include "ProgramPathsU.h"
#include "ShellTestSupport.h"

namespace {

std::vector<std::string> SavedKeys(const TAppSettings& settings, int state) {
  TIniFile ini("");
  SaveAppSettings(ini, settings, state, "/prog");
  std::vector<std::string> keys;
  for (const std::string& section : ini.ReadSections())
    for (const std::string& key : ini.ReadSection(section)) keys.push_back(section + "." + key);
  return keys;
}

}  // namespace

TEST(AppSettings, SaveWritesEveryKeyInTheFileOrder) {
  const std::vector<std::string> expected = {"WindowPos.Top",
                                             "WindowPos.Left",
                                             "WindowPos.Width",
                                             "WindowPos.Height",
                                             "WindowPos.WindowState",
                                             "WindowPos.SeperatorWidth",
                                             "WindowPos.ImageNameWidth",
                                             "WindowPos.FrameWidth",
                                             "WindowPos.AnimatedWidth",
                                             "Settings.Animated",
                                             "Settings.AnimationSpeed",
                                             "Settings.AutoCentre",
                                             "Settings.AutoSelect1stImage",
                                             "Settings.ViewSubFrames",
                                             "Settings.Transparent",
                                             "Settings.BackGroundColor",
                                             "Settings.ExportFrameWhenExportFrameData",
                                             "Settings.AutoPad",
                                             "Settings.AutoPadAll",
                                             "Settings.RememberExportSettings",
                                             "Settings.ExportImageBitDepth",
                                             "Settings.FrameDataExportType",
                                             "Settings.ArchiveSearchFilter",
                                             "Settings.Filter",
                                             "Settings.FilterIndex",
                                             "Settings.PreLoad",
                                             "Settings.PreLoadCount",
                                             "Settings.SaveLastDir",
                                             "Settings.LoadLastDir",
                                             "HistoryList.MaxHistoryListSize",
                                             "HistoryList.HistoryList",
                                             "Export.Format",
                                             "Export.Scale",
                                             "Export.DialogOption",
                                             "View.Zoom",
                                             "View.Fit",
                                             "View.Tabs",
                                             "View.Checkerboard",
                                             "View.Crosshair",
                                             "View.FrameBounds",
                                             "View.SubFrameOutline",
                                             "View.OnionSkin",
                                             "View.Palette"};
  EXPECT_EQ(SavedKeys(TAppSettings(), wsNormal), expected);
}

TEST(AppSettings, MaximizedWindowSavesOnlyItsStateAndKeepsTheLastNormalBounds) {
  TIniFile ini("");
  TAppSettings settings;
  settings.Bounds = {10, 20, 300, 200};
  SaveAppSettings(ini, settings, wsNormal, "/prog");
  settings.Bounds = {0, 0, 1920, 1080};
  SaveAppSettings(ini, settings, wsMaximized, "/prog");
  EXPECT_EQ(ini.ReadInteger("WindowPos", "Width", 0), 300);
  EXPECT_EQ(ini.ReadInteger("WindowPos", "WindowState", 0), wsMaximized);

  TAppSettings loaded;
  LoadAppSettings(ini, loaded, "/prog");
  EXPECT_EQ(loaded.WindowState, wsMaximized);
  EXPECT_EQ(loaded.Bounds.Top, 10);
  EXPECT_EQ(loaded.Bounds.Left, 20);
  EXPECT_EQ(loaded.Bounds.Height, 200);
}

TEST(AppSettings, UnknownWindowStateLeavesStateAndBoundsAsTheyWere) {
  TIniFile ini("");
  ini.SetText("[WindowPos]\nWindowState=9\nTop=5\n");
  TAppSettings settings;
  settings.Bounds.Top = 77;
  LoadAppSettings(ini, settings, "/prog");
  EXPECT_EQ(settings.WindowState, wsNormal);
  EXPECT_EQ(settings.Bounds.Top, 77);
}

TEST(AppSettings, EmptyFileGivesTheDefaults) {
  TIniFile ini("");
  TAppSettings settings;
  settings.SaveLastDir = settings.LoadLastDir = "/home/user/";
  LoadAppSettings(ini, settings, "/prog");
  EXPECT_TRUE(settings.Animated);
  EXPECT_EQ(settings.AnimationSpeed, 67);
  EXPECT_EQ(settings.BackGroundColor, clWhite);
  EXPECT_EQ(settings.ExportImageBitDepth, 24);
  EXPECT_EQ(settings.ArchiveSearchFilter, "*.quv");
  EXPECT_EQ(settings.Filter, DefaultOpenFilter);
  EXPECT_EQ(settings.FilterIndex, 1);
  EXPECT_EQ(settings.PreLoadCount, 5);
  EXPECT_EQ(settings.SeperatorWidth, -1);
  EXPECT_EQ(settings.MaxHistoryListSize, 5);
  EXPECT_EQ(settings.SaveLastDir, "/home/user");
  EXPECT_EQ(settings.LoadLastDir, "/home/user");
  EXPECT_TRUE(settings.HistoryList.empty());
}

TEST(AppSettings, OutOfRangeExportValuesAreReadAsTheirDefaults) {
  TIniFile ini("");
  ini.SetText("[Settings]\nExportImageBitDepth=12\nFrameDataExportType=7\nBackGroundColor=puce\n");
  TAppSettings settings;
  LoadAppSettings(ini, settings, "/prog");
  EXPECT_EQ(settings.ExportImageBitDepth, 24);
  EXPECT_EQ(settings.FrameDataExportType, 0);
  EXPECT_EQ(settings.BackGroundColor, clWhite);

  settings.ExportImageBitDepth = 15;
  settings.FrameDataExportType = 2;
  settings.BackGroundColor = 0x123456;
  SaveAppSettings(ini, settings, wsNormal, "/prog");
  EXPECT_EQ(ini.ReadString("Settings", "ExportImageBitDepth", ""), "15");
  EXPECT_EQ(ini.ReadString("Settings", "FrameDataExportType", ""), "2");
  EXPECT_EQ(ini.ReadString("Settings", "BackGroundColor", ""), "$00123456");
  settings.ExportImageBitDepth = 2;
  settings.FrameDataExportType = -1;
  SaveAppSettings(ini, settings, wsNormal, "/prog");
  EXPECT_EQ(ini.ReadString("Settings", "ExportImageBitDepth", ""), "24");
  EXPECT_EQ(ini.ReadString("Settings", "FrameDataExportType", ""), "0");
}

TEST(AppSettings, ViewSectionReadsOnlyZoomStepsAndRoundTrips) {
  TIniFile ini("");
  ini.SetText("[View]\nZoom=5\nOnionSkin=1\nPalette=/p/game.pal\n");
  TAppSettings settings;
  LoadAppSettings(ini, settings, "/prog");
  EXPECT_EQ(settings.Zoom, 1);  // 5 is not a step
  EXPECT_TRUE(settings.OnionSkin);
  EXPECT_FALSE(settings.Tabs);
  EXPECT_EQ(settings.PaletteFile, "/p/game.pal");
  settings.Zoom = 12;
  settings.Tabs = true;
  SaveAppSettings(ini, settings, wsNormal, "/prog");
  TAppSettings reread;
  LoadAppSettings(ini, reread, "/prog");
  EXPECT_EQ(reread.Zoom, 12);
  EXPECT_TRUE(reread.Tabs);
  EXPECT_TRUE(reread.OnionSkin);
}

TEST(AppSettings, BitDepthListPositionsMapToBits) {
  EXPECT_EQ(ExportBitDepthFromListIndex(0), 1);
  EXPECT_EQ(ExportBitDepthFromListIndex(3), 15);
  EXPECT_EQ(ExportBitDepthFromListIndex(6), 32);
  EXPECT_EQ(ExportBitDepthFromListIndex(-1), 24);
  EXPECT_EQ(ListIndexFromExportBitDepth(16), 4);
  EXPECT_EQ(ListIndexFromExportBitDepth(12), 5);
}

TEST(AppSettings, LastFoldersLoseTheirTrailingSeparator) {
  TIniFile ini("");
  ini.SetText("[Settings]\nSaveLastDir=/data/out//\nLoadLastDir=/\n");
  TAppSettings settings;
  LoadAppSettings(ini, settings, "/prog");
  EXPECT_EQ(settings.SaveLastDir, "/data/out");
  EXPECT_EQ(settings.LoadLastDir, "/");
  settings.SaveLastDir = "/x/";
  SaveAppSettings(ini, settings, wsNormal, "/prog");
  EXPECT_EQ(ini.ReadString("Settings", "SaveLastDir", ""), "/x");
}

TEST(AppSettings, HistoryListRoundTripsWithFullPaths) {
  TIniFile ini("");
  ini.SetText("[HistoryList]\nHistoryList=a;b;\n");
  TAppSettings settings;
  LoadAppSettings(ini, settings, "/prog");
  EXPECT_EQ(settings.HistoryList, (std::vector<std::string>{"a", "b"}));
  SaveAppSettings(ini, settings, wsNormal, "/prog");
  EXPECT_EQ(ini.ReadString("HistoryList", "HistoryList", ""), "/prog/a;/prog/b;");
  LoadAppSettings(ini, settings, "/prog");
  EXPECT_EQ(settings.HistoryList, (std::vector<std::string>{"a", "b"}));
}

TEST(AppSettings, HistoryPiecesOutsideTheProgramFolderStayFullPaths) {
  EXPECT_EQ(DecodeHistoryList("/prog/sub/x.quv;/data/y.quv;/prog/../z.quv;last", "/prog"),
            (std::vector<std::string>{"sub/x.quv", "/data/y.quv", "/prog/../z.quv", "last"}));
  EXPECT_TRUE(DecodeHistoryList(";;", "/prog").empty());
  EXPECT_EQ(EncodeHistoryList({}, "/prog"), "");
}

TEST(ProgramPaths, SettingsFileSitsBesideTheProgramOnlyInItsBuildFolder) {
  TTempDir dir;
  TScopedEnv config("XDG_CONFIG_HOME", dir / "config");
  std::filesystem::create_directories(dir / "build/Vellicor");
  std::filesystem::create_directories(dir / "usr/bin");
  const std::string build = dir / "build/Vellicor";
  const std::string userFile = dir / "config/vellicor/Vellicor.ini";
  EXPECT_EQ(SettingsFileName(build, build), build + "/Vellicor.ini");
  EXPECT_EQ(SettingsFileName(build + "/", dir / "build/./Vellicor"), build + "/Vellicor.ini");
  // An installed copy, even in a folder it may write to.
  EXPECT_EQ(SettingsFileName(dir / "usr/bin", build), userFile);
  EXPECT_EQ(SettingsFileName(dir / "missing", dir / "missing"), userFile);
  EXPECT_EQ(SettingsFileName(build, ""), userFile);
}

TEST(ProgramPaths, XdgFoldersFallBackToTheHomeFolder) {
  TScopedEnv home("HOME", "/home/someone");
  TScopedEnv config("XDG_CONFIG_HOME", "relative/ignored");
  TScopedEnv data("XDG_DATA_HOME", "");
  EXPECT_EQ(ConfigHome(), "/home/someone/.config");
  EXPECT_EQ(DataHome(), "/home/someone/.local/share");
  EXPECT_EQ(VellicorConfigDir(), "/home/someone/.config/vellicor");
}

TEST(ProgramPaths, ProgramFileIsTheRunningExecutable) {
  EXPECT_TRUE(std::filesystem::exists(ProgramFilePath()));
  EXPECT_EQ(ProgramDir(), std::filesystem::path(ProgramFilePath()).parent_path().string());
}

TEST(AppSettings, SavingToDiskKeepsTheLastNormalBoundsAndUnknownKeys) {
  TTempDir dir;
  const std::string name = dir / "Vellicor.ini";
  WriteText(name, "[WindowPos]\nTop=10\nLeft=20\nWidth=300\nHeight=200\n[Extra]\nKeep=1\n");
  TAppSettings settings;
  settings.Bounds = {0, 0, 1920, 1080};
  settings.HistoryList = {"sub/a.quv"};
  ASSERT_TRUE(SaveAppSettingsFile(name, settings, wsMaximized, "/prog"));

  TAppSettings loaded;
  LoadAppSettingsFile(name, loaded, "/prog");
  EXPECT_EQ(loaded.WindowState, wsMaximized);
  EXPECT_EQ(loaded.Bounds.Width, 300);
  EXPECT_EQ(loaded.HistoryList, (std::vector<std::string>{"sub/a.quv"}));
  EXPECT_EQ(HistoryEntryPath(loaded.HistoryList[0], "/prog"), "/prog/sub/a.quv");
  EXPECT_EQ(TIniFile(name).ReadInteger("Extra", "Keep", 0), 1);
}
