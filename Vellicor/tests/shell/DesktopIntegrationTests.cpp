#include <gtest/gtest.h>

#include <filesystem>

#include "DesktopIntegrationU.h"
#include "FileAssociateU.h"
#include "ShellTestSupport.h"
#include "VellicorVersion.h"

namespace {

// A home of its own, so the real desktop files of whoever runs the tests stay untouched.
struct TTestHome {
  TTempDir Dir;
  TScopedEnv Home{"HOME", Dir.Path()};
  TScopedEnv Data{"XDG_DATA_HOME", Dir / "data"};
  TScopedEnv Config{"XDG_CONFIG_HOME", Dir / "config"};
  // The system's folders too: an installed copy of the program must not change the outcome.
  TScopedEnv System{"XDG_DATA_DIRS", Dir / "system"};
};

const std::string KDesktopId = std::string(VELLICOR_APP_ID) + ".desktop";

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

  const std::string entry = home.Dir / ("data/applications/" + KDesktopId);
  const std::string package =
      home.Dir / ("data/mime/packages/" + std::string(VELLICOR_APP_ID) + "-quv.xml");
  std::string text = ReadText(entry);
  EXPECT_NE(text.find("Exec=\"/opt/my apps/vellicor\" %F\n"), std::string::npos) << text;
  EXPECT_NE(text.find("MimeType=application/x-quv;\n"), std::string::npos) << text;
  std::string xml = ReadText(package);
  EXPECT_NE(xml.find("<mime-type type=\"application/x-quv\">"), std::string::npos) << xml;
  EXPECT_NE(xml.find("<glob pattern=\"*.quv\"/>"), std::string::npos) << xml;
  EXPECT_NE(ReadText(home.Dir / "config/mimeapps.list").find("application/x-quv=" + KDesktopId),
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
  EXPECT_EQ(ReadText(home.Dir / "config/mimeapps.list").find(KDesktopId), std::string::npos);
}

TEST(DesktopIntegration, AnInstalledProgramBecomesTheDefaultWithoutCopiesOfItsFiles) {
  TTestHome home;
  TScopedEnv path("PATH", home.Dir / "empty-bin");
  WriteText(home.Dir / ("system/applications/" + KDesktopId), "[Desktop Entry]\n");
  WriteText(home.Dir / ("system/mime/packages/" + std::string(VELLICOR_APP_ID) + ".xml"),
            "<mime-type type=\"application/x-quv\">");
  TMemoryRegistry registry;
  TXdgDesktopIntegration desktop;
  TFileAssociate associate(registry, &desktop);
  associate.KeyName = "QuvFile";
  associate.OpenWith = "/usr/bin/vellicor";
  EXPECT_EQ(desktop.DefaultApplication("application/x-quv"), "");
  ASSERT_TRUE(associate.RegisterFileType());
  ASSERT_TRUE(associate.RegisterExtension(".QUV"));
  EXPECT_FALSE(std::filesystem::exists(home.Dir / "data/applications"));
  EXPECT_FALSE(std::filesystem::exists(home.Dir / "data/mime/packages"));
  EXPECT_EQ(desktop.DefaultApplication("application/x-quv"), KDesktopId);

  associate.UnregisterExtension(".QUV");
  associate.UnregisterFileType();
  EXPECT_TRUE(std::filesystem::exists(home.Dir / ("system/applications/" + KDesktopId)));
  EXPECT_EQ(desktop.DefaultApplication("application/x-quv"), "");
}

TEST(DesktopIntegration, OnlySystemFoldersHoldAnInstalledProgram) {
  TTestHome home;
  WriteText(home.Dir / ("data/applications/" + KDesktopId), "[Desktop Entry]\n");
  TScopedEnv dirs("XDG_DATA_DIRS",
                  "relative/share:" + (home.Dir / "data/") + ":" + (home.Dir / "system"));
  TXdgDesktopIntegration desktop;
  EXPECT_EQ(desktop.InstalledDesktopEntry(VELLICOR_APP_ID), "");
  WriteText(home.Dir / ("system/applications/" + KDesktopId), "[Desktop Entry]\n");
  EXPECT_EQ(desktop.InstalledDesktopEntry(VELLICOR_APP_ID),
            home.Dir / ("system/applications/" + KDesktopId));
  EXPECT_EQ(desktop.InstalledMimePackage(VELLICOR_APP_ID), "");
}

TEST(DesktopIntegration, TheDefaultHandlerIsWhatXdgMimeAnswers) {
  TTestHome home;
  const std::string bin = home.Dir / "bin";
  WriteText(bin + "/xdg-mime", "#!/bin/sh\nexit 0\n");
  std::filesystem::permissions(bin + "/xdg-mime", std::filesystem::perms::owner_all);
  TScopedEnv path("PATH", bin);
  WriteText(home.Dir / "config/mimeapps.list",
            "[Default Applications]\napplication/x-quv=from-the-file.desktop;\n");
  TXdgDesktopIntegration desktop;
  std::vector<std::string> asked;
  std::optional<std::string> answer = "other.desktop\n";
  desktop.QueryCommand = [&](const std::vector<std::string>& argv) {
    asked = argv;
    return answer;
  };
  EXPECT_EQ(desktop.DefaultApplication("application/x-quv"), "other.desktop");
  EXPECT_EQ(asked, (std::vector<std::string>{"xdg-mime", "query", "default", "application/x-quv"}));
  answer = "\n";
  EXPECT_EQ(desktop.DefaultApplication("application/x-quv"), "");
  // A helper that fails says nothing; the user's own list answers then.
  answer.reset();
  EXPECT_EQ(desktop.DefaultApplication("application/x-quv"), "from-the-file.desktop");
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

TEST(DesktopIntegration, RunProgramReportsExitStatusAndOutput) {
  EXPECT_TRUE(RunProgram({"true"}));
  EXPECT_FALSE(RunProgram({"false"}));
  EXPECT_FALSE(RunProgram({"/nonexistent/program"}));
  std::string output;
  EXPECT_TRUE(RunProgram({"sh", "-c", "echo one; echo two >&2"}, &output));
  EXPECT_EQ(output, "one\n");
  // Long output is read to its end (the child never blocks) but kept only in part.
  output.clear();
  EXPECT_TRUE(RunProgram({"sh", "-c", "head -c 300000 /dev/zero"}, &output));
  EXPECT_GE(output.size(), 65536u);
  EXPECT_LT(output.size(), 300000u);
  output.clear();
  EXPECT_FALSE(RunProgram({"/nonexistent/program"}, &output));
  EXPECT_EQ(output, "");
}
