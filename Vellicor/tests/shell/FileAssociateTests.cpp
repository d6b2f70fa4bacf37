#include <gtest/gtest.h>

#include "FileAssociateU.h"

namespace {

constexpr auto HKCU = TRegistryRoot::CurrentUser;
const std::string Classes = "Software\\Classes\\";

// Set up as the settings dialog does.
void Prepare(TFileAssociate& associate) {
  associate.KeyName = "QuvFile";
  associate.OpenWith = "/opt/vellicor/vellicor";
  associate.UseDDE = true;
  associate.DDEMessage = "[Open(%1)]";
  associate.DDETopic = "VellicorSeries";
}

std::string Read(const IRegistry& registry, const std::string& key, const std::string& name = "") {
  return registry.ReadString(HKCU, Classes + key, name).value_or("<none>");
}

void AddForeignType(TMemoryRegistry& registry) {
  registry.OpenKey(HKCU, Classes + ".QUV", true);
  registry.WriteString(HKCU, Classes + ".QUV", "", "OtherType");
  registry.OpenKey(HKCU, Classes + "OtherType\\DefaultIcon", true);
  registry.OpenKey(HKCU, Classes + "OtherType\\Shell\\Open\\Command", true);
  registry.WriteString(HKCU, Classes + "OtherType", "", "Other files");
  registry.WriteString(HKCU, Classes + "OtherType\\DefaultIcon", "", "other,1");
  registry.WriteString(HKCU, Classes + "OtherType\\Shell\\Open\\Command", "", "other \"%1\"");
}

class TFailingDesktop : public IDesktopIntegration {
 public:
  bool InstallApplication(const TDesktopApplication&) override { return false; }
  bool RemoveApplication(const std::string&) override { return true; }
  bool AssociateExtension(const std::string&, const std::string&, const std::string&) override {
    return false;
  }
  bool DissociateExtension(const std::string&, const std::string&) override { return true; }
  void NotifyAssociationsChanged() override { ++Notifications; }
  int Notifications = 0;
};

}  // namespace

TEST(FileAssociate, ExtensionNormalisation) {
  EXPECT_EQ(TFileAssociate::NormalizeExtension("QUV"), ".QUV");
  EXPECT_EQ(TFileAssociate::NormalizeExtension(".QUV"), ".QUV");
  EXPECT_EQ(TFileAssociate::NormalizeExtension("x.QUV"), ".QUV");
  EXPECT_EQ(TFileAssociate::NormalizeExtension("a.b.quv"), ".b.quv");
  EXPECT_EQ(TFileAssociate::NormalizeExtension(""), ".");
}

TEST(FileAssociate, CleanRegistryGetsExtensionAndTypeAndLosesBothOnRemoval) {
  TMemoryRegistry registry;
  TFileAssociate associate(registry);
  Prepare(associate);
  ASSERT_TRUE(associate.RegisterFileType());
  ASSERT_TRUE(associate.RegisterExtension("QUV"));

  EXPECT_EQ(Read(registry, ".QUV"), "QuvFile");
  EXPECT_EQ(Read(registry, "QuvFile"), "");
  EXPECT_EQ(Read(registry, "QuvFile\\DefaultIcon"), "\"/opt/vellicor/vellicor\",0");
  EXPECT_EQ(Read(registry, "QuvFile\\Shell\\Open"), "&Open");
  EXPECT_EQ(Read(registry, "QuvFile\\Shell\\Open\\Command"), "\"/opt/vellicor/vellicor\" \"%1\"");
  EXPECT_EQ(Read(registry, "QuvFile\\Shell\\Open\\ddeexec"), "[Open(%1)]");
  EXPECT_EQ(Read(registry, "QuvFile\\Shell\\Open\\ddeexec\\Application"), "vellicor");
  EXPECT_EQ(Read(registry, "QuvFile\\Shell\\Open\\ddeexec\\IfExec"), "");
  EXPECT_EQ(Read(registry, "QuvFile\\Shell\\Open\\ddeexec\\Topic"), "VellicorSeries");
  EXPECT_FALSE(registry.KeyExists(HKCU, Classes + "QuvFile\\QuickView"));
  EXPECT_TRUE(IsFileTypeRegistered(registry));

  associate.UnregisterExtension(".QUV");
  associate.UnregisterFileType();
  EXPECT_FALSE(registry.KeyExists(HKCU, Classes + ".QUV"));
  EXPECT_FALSE(registry.KeyExists(HKCU, Classes + "QuvFile"));
  EXPECT_FALSE(IsFileTypeRegistered(registry));
  EXPECT_TRUE(registry.KeyExists(HKCU, "Software\\Classes"));
}

TEST(FileAssociate, TakingOverAnotherTypeKeepsAndRestoresItsValues) {
  TMemoryRegistry registry;
  AddForeignType(registry);
  TFileAssociate associate(registry);
  Prepare(associate);
  ASSERT_TRUE(associate.RegisterFileType());
  ASSERT_TRUE(associate.RegisterExtension(".QUV"));
  ASSERT_TRUE(associate.RegisterExtension(".QUV"));  // twice must not lose the original

  EXPECT_EQ(Read(registry, ".QUV"), "OtherType");
  EXPECT_EQ(Read(registry, "OtherType"), "Other files");
  EXPECT_EQ(Read(registry, "OtherType\\DefaultIcon"), "\"/opt/vellicor/vellicor\",0");
  EXPECT_EQ(Read(registry, "OtherType\\DefaultIcon", "OldAssociation"), "other,1");
  EXPECT_EQ(Read(registry, "OtherType\\Shell\\Open"), "&Open");
  EXPECT_EQ(Read(registry, "OtherType\\Shell\\Open\\Command", "OldAssociation"), "other \"%1\"");

  associate.UnregisterExtension(".QUV");
  associate.UnregisterFileType();
  EXPECT_EQ(Read(registry, ".QUV"), "OtherType");
  EXPECT_EQ(Read(registry, "OtherType\\DefaultIcon"), "other,1");
  EXPECT_EQ(Read(registry, "OtherType\\Shell\\Open\\Command"), "other \"%1\"");
  EXPECT_FALSE(registry.ValueExists(HKCU, Classes + "OtherType\\DefaultIcon", "OldAssociation"));
  EXPECT_FALSE(registry.KeyExists(HKCU, Classes + "QuvFile"));
}

TEST(FileAssociate, TakingOverATypeWithoutIconFails) {
  TMemoryRegistry registry;
  AddForeignType(registry);
  registry.DeleteKey(HKCU, Classes + "OtherType\\DefaultIcon");
  TFileAssociate associate(registry);
  Prepare(associate);
  EXPECT_FALSE(associate.RegisterExtension(".QUV"));
}

TEST(FileAssociate, ExtensionNamingAMissingTypeGetsThatTypeCreated) {
  TMemoryRegistry registry;
  registry.OpenKey(HKCU, Classes + ".quv", true);
  registry.WriteString(HKCU, Classes + ".quv", "", "Gone");
  TFileAssociate associate(registry);
  Prepare(associate);
  associate.QuickView = true;
  ASSERT_TRUE(associate.RegisterExtension("file.quv"));
  EXPECT_EQ(Read(registry, ".QUV"), "Gone");
  EXPECT_EQ(Read(registry, "Gone\\Shell\\Open\\Command"), "\"/opt/vellicor/vellicor\" \"%1\"");
  EXPECT_EQ(Read(registry, "Gone\\QuickView"), "*");
  associate.UnregisterExtension(".quv");
  EXPECT_FALSE(registry.KeyExists(HKCU, Classes + "Gone"));
  EXPECT_FALSE(registry.KeyExists(HKCU, Classes + ".quv"));
}

TEST(FileAssociate, EmptyNamesNeverReachTheClassesRoot) {
  TMemoryRegistry registry;
  registry.OpenKey(HKCU, Classes + "Keep", true);
  registry.OpenKey(HKCU, Classes + ".QUV", true);  // names no type
  TFileAssociate associate(registry);
  associate.OpenWith = "/opt/vellicor/vellicor";
  EXPECT_FALSE(associate.RegisterFileType());
  EXPECT_FALSE(associate.RegisterExtension(".QUV"));
  associate.UnregisterFileType();
  associate.UnregisterExtension(".QUV");
  associate.UnregisterExtension("");
  EXPECT_TRUE(registry.KeyExists(HKCU, Classes + "Keep"));
  EXPECT_FALSE(registry.KeyExists(HKCU, Classes + ".QUV"));
}

TEST(FileAssociate, GlobalRegistrationUsesTheClassesRootWithoutPrefix) {
  TMemoryRegistry registry;
  TFileAssociate associate(registry);
  Prepare(associate);
  associate.Global = true;
  associate.DDETopic.clear();
  ASSERT_TRUE(associate.RegisterFileType());
  EXPECT_EQ(
      registry.ReadString(TRegistryRoot::ClassesRoot, "QuvFile\\Shell\\Open\\ddeexec\\Topic", ""),
      "Server");
  EXPECT_FALSE(IsFileTypeRegistered(registry));
}

TEST(FileAssociate, DesktopFailureMakesRegistrationFailAndEveryChangeIsAnnounced) {
  TMemoryRegistry registry;
  TFailingDesktop desktop;
  TFileAssociate associate(registry, &desktop);
  Prepare(associate);
  EXPECT_FALSE(associate.RegisterFileType());
  EXPECT_FALSE(associate.RegisterExtension(".QUV"));
  associate.UnregisterExtension(".QUV");
  associate.UnregisterFileType();
  EXPECT_EQ(desktop.Notifications, 4);
}
