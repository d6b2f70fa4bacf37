#include <gtest/gtest.h>

#include "RegistryU.h"
#include "ShellTestSupport.h"

namespace {
constexpr auto HKCU = TRegistryRoot::CurrentUser;
constexpr auto HKCR = TRegistryRoot::ClassesRoot;
}  // namespace

TEST(Registry, KeysAndValuesAreFoundWithoutRegardToCase) {
  TMemoryRegistry registry;
  ASSERT_TRUE(registry.OpenKey(HKCU, "Software\\Classes\\QuvFile\\DefaultIcon", true));
  EXPECT_TRUE(registry.KeyExists(HKCU, "software\\classes\\QUVFILE"));
  EXPECT_FALSE(registry.KeyExists(HKCR, "Software"));
  EXPECT_TRUE(registry.WriteString(HKCU, "Software\\Classes\\QuvFile", "", "type"));
  EXPECT_TRUE(registry.WriteString(HKCU, "Software\\Classes\\QuvFile", "Name", "a"));
  EXPECT_TRUE(registry.WriteString(HKCU, "SOFTWARE\\CLASSES\\QUVFILE", "NAME", "b"));
  EXPECT_EQ(registry.ReadString(HKCU, "Software\\Classes\\QuvFile", ""), "type");
  EXPECT_EQ(registry.ReadString(HKCU, "Software\\Classes\\QuvFile", "name"), "b");
  EXPECT_EQ(registry.SubKeys(HKCU, "Software\\Classes"), (std::vector<std::string>{"QuvFile"}));
}

TEST(Registry, WritingNeedsAnExistingKeyAndMissingValuesReadAsNothing) {
  TMemoryRegistry registry;
  EXPECT_FALSE(registry.OpenKey(HKCU, "A", false));
  EXPECT_FALSE(registry.WriteString(HKCU, "A", "", "x"));
  registry.OpenKey(HKCU, "A", true);
  EXPECT_FALSE(registry.ReadString(HKCU, "A", "").has_value());
  EXPECT_FALSE(registry.ValueExists(HKCU, "A", "v"));
  registry.WriteString(HKCU, "A", "v", "");
  EXPECT_TRUE(registry.ValueExists(HKCU, "A", "v"));
  EXPECT_TRUE(registry.DeleteValue(HKCU, "A", "V"));
  EXPECT_FALSE(registry.DeleteValue(HKCU, "A", "v"));
}

TEST(Registry, DeletingAKeyTakesItsSubKeysButNeverARoot) {
  TMemoryRegistry registry;
  registry.OpenKey(HKCU, "A\\B\\C", true);
  registry.OpenKey(HKCU, "A\\D", true);
  EXPECT_TRUE(registry.DeleteKey(HKCU, "a\\b"));
  EXPECT_FALSE(registry.KeyExists(HKCU, "A\\B\\C"));
  EXPECT_TRUE(registry.KeyExists(HKCU, "A\\D"));
  EXPECT_FALSE(registry.DeleteKey(HKCU, "A\\B"));
  EXPECT_FALSE(registry.DeleteKey(HKCU, ""));
  EXPECT_FALSE(registry.DeleteKey(HKCU, "\\\\"));
  EXPECT_TRUE(registry.KeyExists(HKCU, "A"));
}

TEST(Registry, FileStoreKeepsKeysValuesAndEmptyKeysAcrossRuns) {
  TTempDir dir;
  const std::string name = dir / "config/vellicor/registry.ini";
  {
    TFileRegistry registry(name);
    registry.OpenKey(HKCU, "Software\\Classes\\.QUV", true);
    registry.WriteString(HKCU, "Software\\Classes\\.QUV", "", "QuvFile");
    registry.OpenKey(HKCU, "Software\\Classes\\QuvFile\\Shell\\Open\\Command", true);
    registry.OpenKey(HKCR, "Empty", true);
    registry.WriteString(HKCU, "Software\\Classes\\.QUV", "Text", "line\nbreak");
    ASSERT_TRUE(registry.Flush());
  }
  TFileRegistry registry(name);
  EXPECT_EQ(registry.ReadString(HKCU, "Software\\Classes\\.QUV", ""), "QuvFile");
  EXPECT_EQ(registry.ReadString(HKCU, "Software\\Classes\\.QUV", "Text"), "line break");
  EXPECT_TRUE(registry.KeyExists(HKCU, "Software\\Classes\\QuvFile\\Shell\\Open\\Command"));
  EXPECT_TRUE(registry.KeyExists(HKCR, "Empty"));
}

TEST(Registry, DamagedFileLoadsWhatItCanWithoutDeepNesting) {
  TTempDir dir;
  std::string deep = "[HKEY_CURRENT_USER";
  for (int i = 0; i < 100000; ++i) deep += "\\k";
  WriteText(dir / "registry.ini",
            deep + "]\n@=x\n[Elsewhere\\Key]\n@=y\n[HKEY_CLASSES_ROOT\\Ok]\n@=z\n");
  TFileRegistry registry(dir / "registry.ini");
  EXPECT_FALSE(registry.KeyExists(HKCU, "k"));
  EXPECT_EQ(registry.ReadString(HKCR, "Ok", ""), "z");
}
