#include "DesktopIntegrationU.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "AtomicFileU.h"
#include "IniFileU.h"
#include "ProgramPathsU.h"

extern char** environ;

namespace {

const char* const KDesktopEntry = "Desktop Entry";
const char* const KDefaultApplications = "Default Applications";
const char* const KAddedAssociations = "Added Associations";

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return text;
}

std::string XmlEscape(const std::string& text) {
  std::string result;
  for (char c : text) {
    switch (c) {
      case '&':
        result += "&amp;";
        break;
      case '<':
        result += "&lt;";
        break;
      case '>':
        result += "&gt;";
        break;
      case '"':
        result += "&quot;";
        break;
      default:
        result += c;
    }
  }
  return result;
}

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) items.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string list;
  for (const std::string& item : items) list += item + ';';
  return list;
}

// Adds or removes one item of a ";"-separated list value; true when the value changed.
bool EditListValue(TIniFile& file, const char* section, const std::string& key,
                   const std::string& item, bool add) {
  std::vector<std::string> items = SplitList(file.ReadString(section, key, ""));
  auto found = std::find(items.begin(), items.end(), item);
  if (add == (found != items.end())) return false;
  if (add)
    items.insert(items.begin(), item);
  else
    items.erase(found);
  if (items.empty())
    file.DeleteKey(section, key);
  else
    file.WriteString(section, key, JoinList(items));
  return true;
}

bool RemoveFile(const std::string& fileName) {
  std::error_code ec;
  std::filesystem::remove(fileName, ec);
  return !ec;
}

}  // namespace

std::string MimeTypeForExtension(const std::string& extension) {
  std::string suffix = Lower(extension.starts_with(".") ? extension.substr(1) : extension);
  if (suffix.empty()) return {};
  for (char c : suffix)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-' ||
          c == '_'))
      return {};
  return "application/x-" + suffix;
}

std::string DesktopExecArgument(const std::string& path) {
  if (path.empty() || path.find_first_of("\r\n") != std::string::npos) return {};
  bool needsQuotes = path.find_first_of(" \t\"'\\><~|&;$*?#()`") != std::string::npos;
  std::string argument;
  for (char c : path) {
    if (needsQuotes && (c == '"' || c == '`' || c == '$' || c == '\\')) argument += '\\';
    argument += c;
    if (c == '%') argument += '%';  // a literal percent sign, not a field code
  }
  if (needsQuotes) argument = '"' + argument + '"';
  // The key file's own escaping comes on top of the Exec quoting.
  std::string value;
  for (char c : argument) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value;
}

std::string FindProgramInPath(const std::string& program) {
  if (program.find('/') != std::string::npos) return {};
  const char* path = std::getenv("PATH");
  std::string list = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    std::string dir = list.substr(start, end - start);
    start = end + 1;
    if (dir.empty()) continue;
    std::string candidate = dir + "/" + program;
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

bool RunProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  std::vector<char*> arguments;
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  int error = ::posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return false;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TXdgDesktopIntegration::TXdgDesktopIntegration() : RunCommand(RunProgram) {}

std::string TXdgDesktopIntegration::DesktopFileName(const std::string& applicationId) const {
  return DataHome() + "/applications/" + applicationId + ".desktop";
}

std::string TXdgDesktopIntegration::MimePackageFileName(const std::string& applicationId,
                                                        const std::string& extension) const {
  std::string suffix = Lower(extension.starts_with(".") ? extension.substr(1) : extension);
  return DataHome() + "/mime/packages/" + applicationId + "-" + suffix + ".xml";
}

std::string TXdgDesktopIntegration::MimeAppsFileName() const {
  return ConfigHome() + "/mimeapps.list";
}

bool TXdgDesktopIntegration::RunIfPresent(const std::vector<std::string>& argv) {
  if (FindProgramInPath(argv[0]).empty()) return false;
  return RunCommand && RunCommand(argv);
}

bool TXdgDesktopIntegration::InstallApplication(const TDesktopApplication& application) {
  std::string exec = DesktopExecArgument(application.Executable);
  if (application.Id.empty() || exec.empty()) return false;
  const std::string fileName = DesktopFileName(application.Id);
  std::string mimeTypes = TIniFile(fileName).ReadString(KDesktopEntry, "MimeType", "");
  std::string text = "[Desktop Entry]\nType=Application\nName=" + application.Name +
                     "\nExec=" + exec + " %F\nTerminal=false\nCategories=Graphics;Viewer;\n";
  if (!mimeTypes.empty()) text += "MimeType=" + mimeTypes + "\n";
  return WriteFileAtomically(fileName, text);
}

bool TXdgDesktopIntegration::RemoveApplication(const std::string& applicationId) {
  return !applicationId.empty() && RemoveFile(DesktopFileName(applicationId));
}

bool TXdgDesktopIntegration::AssociateExtension(const std::string& applicationId,
                                                const std::string& extension,
                                                const std::string& description) {
  const std::string mimeType = MimeTypeForExtension(extension);
  if (applicationId.empty() || mimeType.empty()) return false;
  std::string suffix = mimeType.substr(std::string("application/x-").size());
  std::string package =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
      "  <mime-type type=\"" +
      mimeType +
      "\">\n"
      "    <comment>" +
      XmlEscape(description) +
      "</comment>\n"
      "    <glob pattern=\"*." +
      XmlEscape(suffix) +
      "\"/>\n"
      "  </mime-type>\n"
      "</mime-info>\n";
  if (!WriteFileAtomically(MimePackageFileName(applicationId, extension), package)) return false;

  const std::string desktopFile = DesktopFileName(applicationId);
  TIniFile entry(desktopFile);
  if (entry.FileExists() && EditListValue(entry, KDesktopEntry, "MimeType", mimeType, true) &&
      !entry.UpdateFile())
    return false;

  const std::string desktopId = applicationId + ".desktop";
  if (RunIfPresent({"xdg-mime", "default", desktopId, mimeType})) return true;
  // Without the helper the default goes straight into the user's mimeapps.list.
  TIniFile mimeApps(MimeAppsFileName());
  if (mimeApps.ReadString(KDefaultApplications, mimeType, "") == desktopId) return true;
  mimeApps.WriteString(KDefaultApplications, mimeType, desktopId);
  return mimeApps.UpdateFile();
}

bool TXdgDesktopIntegration::DissociateExtension(const std::string& applicationId,
                                                 const std::string& extension) {
  const std::string mimeType = MimeTypeForExtension(extension);
  if (applicationId.empty() || mimeType.empty()) return false;
  bool ok = RemoveFile(MimePackageFileName(applicationId, extension));

  TIniFile entry(DesktopFileName(applicationId));
  if (entry.FileExists() && EditListValue(entry, KDesktopEntry, "MimeType", mimeType, false))
    ok = entry.UpdateFile() && ok;

  TIniFile mimeApps(MimeAppsFileName());
  if (mimeApps.FileExists()) {
    const std::string desktopId = applicationId + ".desktop";
    bool changed = EditListValue(mimeApps, KDefaultApplications, mimeType, desktopId, false);
    changed = EditListValue(mimeApps, KAddedAssociations, mimeType, desktopId, false) || changed;
    if (changed) ok = mimeApps.UpdateFile() && ok;
  }
  return ok;
}

void TXdgDesktopIntegration::NotifyAssociationsChanged() {
  std::error_code ec;
  const std::string mimeDir = DataHome() + "/mime";
  if (std::filesystem::is_directory(mimeDir + "/packages", ec))
    RunIfPresent({"update-mime-database", mimeDir});
  const std::string applicationsDir = DataHome() + "/applications";
  if (std::filesystem::is_directory(applicationsDir, ec))
    RunIfPresent({"update-desktop-database", applicationsDir});
}
