#include "SingleInstanceU.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "ProgramPathsU.h"

const char* const ConversationName = "VellicorSeries";

namespace {

// Whether line begins with command (lower case) in any letter case.
bool StartsWithCommand(std::string_view line, std::string_view command) {
  if (line.size() < command.size()) return false;
  for (size_t i = 0; i < command.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != command[i]) return false;
  }
  return true;
}

std::string EncodeRequest(const char* command, const std::vector<std::string>& names,
                          const std::string& currentDir) {
  std::string request;
  for (const std::string& name : names) {
    if (name.empty() || name.find_first_of("\r\n") != std::string::npos) continue;
    std::filesystem::path path(name);
    if (path.is_relative()) path = std::filesystem::path(currentDir) / path;
    request += std::string(command) + path.lexically_normal().string() + ")]\n";
  }
  return request;
}

// Hands the argument of every line that begins with command (and ends with ")]") to handle.
void ExecuteRequest(const std::vector<std::string>& lines, std::string_view command,
                    const std::function<void(const std::string& argument)>& handle,
                    const std::function<void(const std::exception& error)>& onError) {
  for (const std::string& line : lines) {
    if (!StartsWithCommand(line, command)) continue;
    // The command and the closing ")]"; a line too short for both names nothing.
    if (line.size() <= command.size() + 2) continue;
    std::string argument = line.substr(command.size(), line.size() - command.size() - 2);
    try {
      handle(argument);
    } catch (const std::exception& error) {
      if (onError) onError(error);
    }
  }
}

}  // namespace

std::string SingleInstanceServerName(const std::string& programFileName, unsigned userId,
                                     const std::string& runtimeDir,
                                     const std::string& instanceKey) {
  std::string program = std::filesystem::path(programFileName).stem().string();
  if (program.empty()) program = "vellicor";
  // FNV-1a: the same digest in every build, so two copies of one version always meet.
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const unsigned char c : instanceKey) hash = (hash ^ c) * 0x100000001b3ull;
  char digest[17];
  std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(hash));
  const std::string name = program + "-" + digest + "-" + ConversationName;
  // A socket path holds at most 107 bytes.
  if (!runtimeDir.empty() && runtimeDir.front() == '/' &&
      runtimeDir.size() + 1 + name.size() < 100) {
    std::string dir = runtimeDir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return (dir == "/" ? dir : dir + "/") + name;
  }
  return program + "-" + std::to_string(userId) + "-" + digest + "-" + ConversationName;
}

std::string SingleInstanceServerName(const std::string& instanceKey) {
  const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
  return SingleInstanceServerName(ProgramFilePath(), static_cast<unsigned>(::getuid()),
                                  runtimeDir ? runtimeDir : "", instanceKey);
}

std::string EncodeOpenRequest(const std::vector<std::string>& fileNames,
                              const std::string& currentDir) {
  return EncodeRequest("[Open(", fileNames, currentDir);
}

std::string EncodeGameFolderRequest(const std::vector<std::string>& folders,
                                    const std::string& currentDir) {
  return EncodeRequest("[OpenGame(", folders, currentDir);
}

std::vector<std::string> SplitRequestLines(std::string_view request) {
  std::vector<std::string> lines;
  while (!request.empty()) {
    size_t end = request.find('\n');
    std::string_view line = request.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    request.remove_prefix(end + 1);
  }
  return lines;
}

void ExecuteOpenRequest(const std::vector<std::string>& lines,
                        const std::function<void(const std::string& fileName)>& open,
                        const std::function<void(const std::exception& error)>& onError) {
  ExecuteRequest(lines, "[open(", open, onError);
}

void ExecuteGameFolderRequest(const std::vector<std::string>& lines,
                              const std::function<void(const std::string& folder)>& openGame,
                              const std::function<void(const std::exception& error)>& onError) {
  ExecuteRequest(lines, "[opengame(", openGame, onError);
}
