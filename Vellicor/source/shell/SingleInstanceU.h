#pragma once
// The window-free half of single-instance open: a second start sends its files to the running
// program as execute-request lines "[Open(<path>)]" over a per-user local socket; the running
// program opens each named file. The socket itself belongs to the windows.
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// The conversation's name, which is also the request topic.
extern const char* const ConversationName;  // "VellicorSeries"

// Requests larger than this are refused by the receiving side unread.
constexpr size_t MaxExecuteRequestSize = 1024 * 1024;

// The socket of one instance, named after the program file (without folder and extension) and
// a digest of `instanceKey` (the settings file and the display: a viewer with other settings
// or on another screen is another instance). In `runtimeDir` (private to the user) when that is
// an absolute folder short enough for a socket path: "<dir>/<program>-<digest>-VellicorSeries";
// otherwise a bare name for the shared temporary folder that carries the user id:
// "<program>-<uid>-<digest>-VellicorSeries".
std::string SingleInstanceServerName(const std::string& programFileName, unsigned userId,
                                     const std::string& runtimeDir, const std::string& instanceKey);
// For the running program and user, $XDG_RUNTIME_DIR and this key.
std::string SingleInstanceServerName(const std::string& instanceKey);

// One "[Open(<absolute path>)]" line per file, each ended by "\n", relative names made absolute
// against `currentDir`. Names that cannot travel in one line (line breaks) are left out.
std::string EncodeOpenRequest(const std::vector<std::string>& fileNames,
                              const std::string& currentDir);

// One "[OpenGame(<absolute path>)]" line per game folder, made absolute and left out as above.
// A viewer that knows no game folders ignores these lines.
std::string EncodeGameFolderRequest(const std::vector<std::string>& folders,
                                    const std::string& currentDir);

// A received request split into its lines ("\n" or "\r\n" ends a line).
std::vector<std::string> SplitRequestLines(std::string_view request);

// Handles the lines in order: a line whose first six characters are "[Open(" in any letter
// case has those and its last two characters removed, and the rest is opened; other lines are
// ignored. An error raised by `open` goes to `onError` and the next line is handled.
void ExecuteOpenRequest(const std::vector<std::string>& lines,
                        const std::function<void(const std::string& fileName)>& open,
                        const std::function<void(const std::exception& error)>& onError);
// The same for the "[OpenGame(" lines, each folder handed to `openGame`.
void ExecuteGameFolderRequest(const std::vector<std::string>& lines,
                              const std::function<void(const std::string& folder)>& openGame,
                              const std::function<void(const std::exception& error)>& onError);
