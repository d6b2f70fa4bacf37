#include "ProgramPathsU.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "VellicorVersion.h"

namespace {

std::string HomeDir() {
  if (const char* home = std::getenv("HOME"); home && *home) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/";
}

std::string XdgDir(const char* variable, const char* fallbackBelowHome) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return std::filesystem::path(value).lexically_normal().string();
  return (std::filesystem::path(HomeDir()) / fallbackBelowHome).lexically_normal().string();
}

std::string WithoutTrailingSeparator(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::string ProgramDir() {
  return WithoutTrailingSeparator(std::filesystem::path(ProgramFilePath()).parent_path().string());
}

std::string ConfigHome() {
  return WithoutTrailingSeparator(XdgDir("XDG_CONFIG_HOME", ".config"));
}

std::string DataHome() {
  return WithoutTrailingSeparator(XdgDir("XDG_DATA_HOME", ".local/share"));
}

std::string CacheHome() {
  return WithoutTrailingSeparator(XdgDir("XDG_CACHE_HOME", ".cache"));
}

std::string VellicorConfigDir() {
  return ConfigHome() + "/vellicor";
}

std::string VellicorThumbnailDir() {
  return CacheHome() + "/vellicor/thumbnails";
}

bool IsDirectoryWritable(const std::string& dir) {
  std::error_code ec;
  return !dir.empty() && std::filesystem::is_directory(dir, ec) &&
         ::access(dir.c_str(), W_OK | X_OK) == 0;
}

std::string SettingsFileName(const std::string& programDir, const std::string& buildProgramDir) {
  std::error_code ec;
  if (!buildProgramDir.empty() && std::filesystem::equivalent(programDir, buildProgramDir, ec) &&
      IsDirectoryWritable(programDir))
    return (std::filesystem::path(programDir) / "Vellicor.ini").lexically_normal().string();
  return VellicorConfigDir() + "/Vellicor.ini";
}

std::string SettingsFileName(const std::string& programDir) {
  return SettingsFileName(programDir, VELLICOR_BUILD_PROGRAM_DIR);
}
