#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "IniFileU.h"
#include "ShellTestSupport.h"
#include "SmallDiskU.h"

TEST(IniFile, KeepsSectionsAndKeysInFirstWrittenOrder) {
  TTempDir dir;
  TIniFile ini(dir / "a.ini");
  ini.WriteInteger("WindowPos", "Top", 1);
  ini.WriteInteger("Settings", "Speed", 2);
  ini.WriteInteger("WindowPos", "Left", 3);
  ini.WriteInteger("windowpos", "TOP", 4);  // rewriting keeps the key's place and spelling
  EXPECT_EQ(ini.GetText(), "[WindowPos]\nTop=4\nLeft=3\n\n[Settings]\nSpeed=2\n");
}

TEST(IniFile, ReadsIntegersInDecimalAndHexadecimalElseTheDefault) {
  TIniFile ini("");
  ini.SetText(
      "[S]\r\nDec=-42\r\nHex=0x1F\r\nDollar=$FF\r\nBad=12abc\r\nEmpty=\r\n"
      "Big=99999999999\r\nAllBits=0xFFFFFFFF\r\nMinHex=-0x80000000\r\n");
  EXPECT_EQ(ini.ReadInteger("S", "MinHex", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "Dec", 0), -42);
  EXPECT_EQ(ini.ReadInteger("s", "hex", 0), 31);
  EXPECT_EQ(ini.ReadInteger("S", "Dollar", 0), 255);
  EXPECT_EQ(ini.ReadInteger("S", "Bad", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "Empty", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "Big", 7), 7);
  EXPECT_EQ(ini.ReadInteger("S", "AllBits", 7), -1);
  EXPECT_EQ(ini.ReadInteger("S", "Missing", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Nowhere", "Dec", 7), 7);
}

TEST(IniFile, BooleansAreAnyNonZeroIntegerAndAreWrittenAsOneOrZero) {
  TIniFile ini("");
  ini.SetText("[S]\nA=5\nB=0\nC=yes\n");
  EXPECT_TRUE(ini.ReadBool("S", "A", false));
  EXPECT_FALSE(ini.ReadBool("S", "B", true));
  EXPECT_TRUE(ini.ReadBool("S", "C", true));  // unreadable: the default
  ini.WriteBool("S", "A", true);
  ini.WriteBool("S", "B", false);
  EXPECT_EQ(ini.ReadString("S", "A", ""), "1");
  EXPECT_EQ(ini.ReadString("S", "B", ""), "0");
}

TEST(IniFile, ParsingIgnoresCommentsStrayLinesAndLaterDuplicates) {
  TIniFile ini("");
  ini.SetText("\xEF\xBB\xBForphan=1\n; note\n[S]\n  Key = a = b  \nnoequals\nKey=second\n[T]\n");
  EXPECT_EQ(ini.ReadString("S", "Key", ""), "a = b");
  EXPECT_FALSE(ini.ValueExists("", "orphan"));
  EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"S", "T"}));
}

TEST(IniFile, ValuesWithLineBreaksCannotForgeSections) {
  TIniFile ini("");
  ini.WriteString("S", "Name", "x\n[Evil]\nK=1");
  ini.WriteString("S", "a=b", "v");
  TIniFile again("");
  again.SetText(ini.GetText());
  EXPECT_FALSE(again.SectionExists("Evil"));
  EXPECT_EQ(again.ReadString("S", "Name", ""), "x [Evil] K=1");
  EXPECT_EQ(again.ReadString("S", "a_b", ""), "v");
}

TEST(IniFile, SaveAndReloadRoundTripsThroughTheDisk) {
  TTempDir dir;
  {
    TIniFile ini(dir / "sub/Vellicor.ini");
    EXPECT_FALSE(ini.FileExists());
    ini.WriteString("Settings", "Filter", "Quv Files|*.quv");
    ini.AddSection("Empty");
    ASSERT_TRUE(ini.UpdateFile()) << ini.LastError();
  }
  TIniFile ini(dir / "sub/Vellicor.ini");
  EXPECT_TRUE(ini.FileExists());
  EXPECT_EQ(ini.ReadString("Settings", "Filter", ""), "Quv Files|*.quv");
  EXPECT_TRUE(ini.SectionExists("Empty"));
  // Nothing but the file itself: no temporary file stays behind.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "sub"))
    names.push_back(entry.path().filename());
  EXPECT_EQ(names, std::vector<std::string>{"Vellicor.ini"});
}

TEST(IniFile, SaveOnAFullDiskFailsAndLeavesTheOldFileIntact) {
  TSmallDisk disk;
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  const std::string name = disk / "Vellicor.ini";
  WriteText(name, "[S]\nK=old\n");
  TIniFile ini(name);
  ini.WriteString("S", "K", std::string(8192, 'n'));
  disk.Fill();
  EXPECT_FALSE(ini.UpdateFile());
  EXPECT_NE(ini.LastError().find("No space left on device"), std::string::npos) << ini.LastError();
  EXPECT_EQ(ReadText(name), "[S]\nK=old\n");
}

TEST(IniFile, SaveIntoAnUnwritableFolderFailsWithoutTouchingTheFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into any folder";
  TTempDir dir;
  const std::string name = dir / "Vellicor.ini";
  WriteText(name, "[S]\nK=old\n");
  TIniFile ini(name);
  ini.WriteString("S", "K", "new");
  std::filesystem::permissions(
      dir.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  EXPECT_FALSE(ini.UpdateFile());
  EXPECT_EQ(ReadText(name), "[S]\nK=old\n");
}

TEST(IniFile, SaveThroughASymbolicLinkReplacesTheLinkedFile) {
  TTempDir dir;
  WriteText(dir / "real.ini", "[S]\nK=old\n");
  std::filesystem::create_symlink(dir / "real.ini", dir / "link.ini");
  TIniFile ini(dir / "link.ini");
  ini.WriteString("S", "K", "new");
  ASSERT_TRUE(ini.UpdateFile());
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.ini"));
  EXPECT_EQ(ReadText(dir / "real.ini"), "[S]\nK=new\n");
}

TEST(IniFile, DeletingKeysAndSections) {
  TIniFile ini("");
  ini.SetText("[A]\nx=1\ny=2\n[B]\nz=3\n");
  ini.DeleteKey("a", "X");
  ini.EraseSection("b");
  EXPECT_EQ(ini.GetText(), "[A]\ny=2\n");
}
