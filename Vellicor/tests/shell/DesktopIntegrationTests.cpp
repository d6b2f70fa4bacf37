#include <gtest/gtest.h>

#include <filesystem>

#include "DesktopIntegrationU.h"
#include "FileAssociateU.h"
#include "TempDir.h"

namespace {

// A home of its own, so the real desktop files of whoever runs the tests stay untouched.
struct TTestHome {
  TTempDir Dir;
  TScopedEnv Home{"HOME", Dir.Path()};
  TScopedEnv Data{"XDG_DATA_HOME", Dir / "data"};
  TScopedEnv Config{"XDG_CONFIG_HOME", Dir / "config"};
};

}  // namespace

TEST(DesktopIntegration, ExecArgumentsAreQuotedAndEscapedForTheDesktopEntry) {
  EXPECT_EQ(DesktopExecArgument("/usr/bin/vellicor"), "/usr/bin/vellicor");
  EXPECT_EQ(DesktopExecArgument("/opt/my apps/vellicor"), "\"/opt/my apps/vellicor\"");
  EXPECT_EQ(DesktopExecArgument("/opt/$x/v"), "\"/opt/\\\\$x/v\"");
  EXPECT_EQ(DesktopExecArgument("/opt/100%/v"), "/opt/100%%/v");
  EXPECT_EQ(DesktopExecArgument("/opt/a\nb"), "");
  EXPECT_EQ(MimeTypeForExtension(".QUV"), "application/x-quv");
  EXPECT_EQ(MimeTypeForExtension(".q v"), "");
}

TEST(DesktopIntegration, RegisteringMakesTheAssociationRealAndRemovalUndoesIt) {
  TTestHome home;
  TMemoryRegistry registry;
  TXdgDesktopIntegration desktop;
  TFileAssociate associate(registry, &desktop);
  associate.KeyName = "QuvFile";
  associate.OpenWith = "/opt/my apps/vellicor";
  ASSERT_TRUE(associate.RegisterFileType());
  ASSERT_TRUE(associate.RegisterExtension(".QUV"));

  const std::string entry = home.Dir / "data/applications/vellicor.desktop";
  const std::string package = home.Dir / "data/mime/packages/vellicor-quv.xml";
  std::string text = ReadText(entry);
  EXPECT_NE(text.find("Exec=\"/opt/my apps/vellicor\" %F\n"), std::string::npos) << text;
  EXPECT_NE(text.find("MimeType=application/x-quv;\n"), std::string::npos) << text;
  std::string xml = ReadText(package);
  EXPECT_NE(xml.find("<mime-type type=\"application/x-quv\">"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<glob pattern=\"*.quv\"/>"), std::string::npos) << xml;
  EXPECT_NE(ReadText(home.Dir / "config/mimeapps.list").find("application/x-quv=vellicor.desktop"),
            std::string::npos);
  if (!FindProgramInPath("update-mime-database").empty()) {
    EXPECT_TRUE(std::filesystem::exists(home.Dir / "data/mime/application/x-quv.xml"));
  }

  // Registering the type again keeps the extension's MIME type in the entry.
  ASSERT_TRUE(associate.RegisterFileType());
  EXPECT_NE(ReadText(entry).find("MimeType=application/x-quv;"), std::string::npos);

  associate.UnregisterExtension(".QUV");
  associate.UnregisterFileType();
  EXPECT_FALSE(std::filesystem::exists(entry));
  EXPECT_FALSE(std::filesystem::exists(package));
  EXPECT_EQ(ReadText(home.Dir / "config/mimeapps.list").find("vellicor.desktop"),
            std::string::npos);
}

TEST(DesktopIntegration, MissingHelperProgramsAreSkippedWithoutFailing) {
  TTestHome home;
  TScopedEnv path("PATH", home.Dir / "empty-bin");
  TXdgDesktopIntegration desktop;
  std::vector<std::string> ran;
  desktop.RunCommand = [&](const std::vector<std::string>& argv) {
    ran.push_back(argv[0]);
    return true;
  };
  ASSERT_TRUE(desktop.InstallApplication({"vellicor", "Vellicor", "/usr/bin/vellicor"}));
  ASSERT_TRUE(desktop.AssociateExtension("vellicor", ".quv", "QUV file"));
  desktop.NotifyAssociationsChanged();
  EXPECT_TRUE(ran.empty());
  EXPECT_NE(ReadText(home.Dir / "config/mimeapps.list").find("application/x-quv=vellicor.desktop"),
            std::string::npos);
}

TEST(DesktopIntegration, PresentHelperProgramsAreRunWithTheUsersFolders) {
  TTestHome home;
  const std::string bin = home.Dir / "bin";
  for (const char* tool : {"update-mime-database", "update-desktop-database", "xdg-mime"}) {
    WriteText(bin + "/" + tool, "#!/bin/sh\nexit 0\n");
    std::filesystem::permissions(bin + "/" + tool, std::filesystem::perms::owner_all);
  }
  TScopedEnv path("PATH", bin);
  TXdgDesktopIntegration desktop;
  std::vector<std::string> ran;
  desktop.RunCommand = [&](const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& argument : argv) line += argument + " ";
    ran.push_back(line);
    return true;
  };
  ASSERT_TRUE(desktop.InstallApplication({"vellicor", "Vellicor", "/usr/bin/vellicor"}));
  ASSERT_TRUE(desktop.AssociateExtension("vellicor", ".quv", "QUV file"));
  desktop.NotifyAssociationsChanged();
  EXPECT_EQ(ran, (std::vector<std::string>{
                     "xdg-mime default vellicor.desktop application/x-quv ",
                     "update-mime-database " + (home.Dir / "data/mime") + " ",
                     "update-desktop-database " + (home.Dir / "data/applications") + " "}));
}

TEST(DesktopIntegration, UnwritableDataFolderMakesRegistrationFail) {
  TTestHome home;
  WriteText(home.Dir / "data", "a file where the folder should be");
  TMemoryRegistry registry;
  TXdgDesktopIntegration desktop;
  TFileAssociate associate(registry, &desktop);
  associate.KeyName = "QuvFile";
  associate.OpenWith = "/usr/bin/vellicor";
  EXPECT_FALSE(associate.RegisterFileType());
  EXPECT_FALSE(associate.RegisterExtension(".QUV"));
}

TEST(DesktopIntegration, RunProgramReportsExitStatus) {
  EXPECT_TRUE(RunProgram({"true"}));
  EXPECT_FALSE(RunProgram({"false"}));
  EXPECT_FALSE(RunProgram({"/nonexistent/program"}));
}
