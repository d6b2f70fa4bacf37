#include "DesktopIntegrationU.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "AtomicFileU.h"
#include "IniFileU.h"
#include "ProgramPathsU.h"
#include "StringUtilsU.h"

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

std::string JoinList(const std::vector<std::string>& items) {
  std::string list;
  for (const std::string& item : items) list += item + ';';
  return list;
}

// Adds or removes one item of a ";"-separated list value; true when the value changed.
bool EditListValue(TIniFile& file, const char* section, const std::string& key,
                   const std::string& item, bool add) {
  std::vector<std::string> items =
      SplitString(file.ReadString(section, key, ""), ';', TEmptyParts::Skip);
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

// The first $XDG_DATA_DIRS folder that holds `relative`, as a full path; empty when none does.
// The user's own data folder does not count, even when the list names it.
std::string FindInDataDirs(const std::string& relative) {
  const std::filesystem::path home = std::filesystem::path(DataHome()).lexically_normal();
  for (const std::string& dir : DataDirs()) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(dir).lexically_normal();
    if (folder == home || folder == home / "") continue;
    std::string candidate = (std::filesystem::path(dir) / relative).lexically_normal().string();
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate;
  }
  return {};
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The user's MIME package for one extension: a glob only, since nothing more is known of it.
bool WriteMimePackage(const std::string& fileName, const std::string& mimeType,
                      const std::string& description) {
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
  return WriteFileAtomically(fileName, package);
}

// A MIME package file that declares the type (the installed one declares both of ours).
bool DeclaresMimeType(const std::string& fileName, const std::string& mimeType) {
  if (fileName.empty()) return false;
  std::ifstream file(fileName);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return text.find("type=\"" + mimeType + "\"") != std::string::npos;
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
  for (const std::string& dir :
       SplitString(path ? path : "/usr/local/bin:/usr/bin:/bin", ':', TEmptyParts::Skip)) {
    std::string candidate = dir + "/" + program;
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

bool RunProgram(const std::vector<std::string>& argv, std::string* output) {
  if (argv.empty()) return false;
  std::vector<char*> arguments;
  for (const std::string& argument : argv) arguments.push_back(const_cast<char*>(argument.c_str()));
  arguments.push_back(nullptr);

  int pipeEnds[2] = {-1, -1};
  if (output && ::pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (output)
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
  else
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  int error = ::posix_spawnp(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (output) {
    ::close(pipeEnds[1]);
    if (error == 0) {
      // Read to the end so the child never blocks on a full pipe; keep only what is useful.
      char buffer[4096];
      for (;;) {
        ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (output->size() < 65536) output->append(buffer, static_cast<size_t>(got));
      }
    }
    ::close(pipeEnds[0]);
  }
  if (error != 0) return false;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::vector<std::string> DataDirs() {
  const char* value = std::getenv("XDG_DATA_DIRS");
  std::vector<std::string> dirs;
  for (const std::string& dir : SplitString(
           value && *value ? value : "/usr/local/share/:/usr/share/", ':', TEmptyParts::Skip))
    if (dir.starts_with("/")) dirs.push_back(dir);
  return dirs;
}

TXdgDesktopIntegration::TXdgDesktopIntegration()
    : RunCommand([](const std::vector<std::string>& argv) { return RunProgram(argv); }),
      QueryCommand([](const std::vector<std::string>& argv) -> std::optional<std::string> {
        std::string output;
        if (!RunProgram(argv, &output)) return std::nullopt;
        return output;
      }) {}

std::string TXdgDesktopIntegration::InstalledDesktopEntry(const std::string& applicationId) const {
  return FindInDataDirs("applications/" + applicationId + ".desktop");
}

std::string TXdgDesktopIntegration::InstalledMimePackage(const std::string& applicationId) const {
  return FindInDataDirs("mime/packages/" + applicationId + ".xml");
}

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
  // The installed entry serves; a second one of the same id would hide it.
  if (!InstalledDesktopEntry(application.Id).empty()) return true;
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
  if (!DeclaresMimeType(InstalledMimePackage(applicationId), mimeType) &&
      !WriteMimePackage(MimePackageFileName(applicationId, extension), mimeType, description))
    return false;

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

std::optional<std::string> TXdgDesktopIntegration::DefaultApplication(const std::string& mimeType) {
  if (!FindProgramInPath("xdg-mime").empty() && QueryCommand) {
    std::optional<std::string> answer = QueryCommand({"xdg-mime", "query", "default", mimeType});
    if (answer) return Trimmed(*answer);
  }
  std::vector<std::string> defaults =
      SplitString(TIniFile(MimeAppsFileName()).ReadString(KDefaultApplications, mimeType, ""), ';',
                  TEmptyParts::Skip);
  return defaults.empty() ? std::string() : defaults.front();
}
