#pragma once
// The process-wide message log. Readers log a formatted message first and then raise an error
// whose message is LastMessage(), so the log and the error carry the same words.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ExceptionsU.h"
#include "ListsU.h"
#include "LogLevelU.h"
#include "StringUtilsU.h"
#include "SubSystemU.h"

struct TComment {
  std::string Text;
  uint8_t Level = 0;
  uint32_t Time = 0;  // the platform's millisecond timer when logged
};

class TConsole : public TSubSystem {
 public:
  using TLogEvent = std::function<void(const std::string& text, uint8_t level)>;

  TConsole() = default;
  ~TConsole() override;

  std::string GetName() const override { return "Console"; }
  bool Initialize() override;
  void Finalize() override;

  void Log(uint8_t level, const std::string& text);
  void LogFmt(uint8_t level, const char* format, ...) __attribute__((format(printf, 3, 4)));
  std::string LastMessage() const;
  void ClearComments();

  static constexpr int32_t Places = 64;
  std::unique_ptr<TQueue<TComment>> Comments;  // newest messages, oldest first
  uint16_t LevelMask = 0;   // levels 0..15 that go to standard output and the log file
  std::string LogFileName;  // messages are appended here (bare text + CR LF); empty = none
  TLogEvent OnLog;
};

// The process-wide console; null until the application creates one.
extern TConsole* Console;

// Logs through the process-wide console when there is one.
void ConsoleLog(uint8_t level, const std::string& text);

// Logs text at the level and raises E carrying the console's LastMessage (the same text when no
// console exists). The location is that of the caller.
template <class E>
[[noreturn]] void RaiseLogged(uint8_t level, const std::string& text,
                              TSourceLocation where = TSourceLocation::current()) {
  if (Console) {
    Console->Log(level, text);
    throw E(Console->LastMessage(), where);
  }
  throw E(text, where);
}
