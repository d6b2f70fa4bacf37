#include "ConsoleU.h"

#include <fcntl.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "LowLevelIO.h"
#include "StreamsU.h"

TConsole* Console = nullptr;

namespace {

// The platform table's records go to the console from start-up on.
[[maybe_unused]] const bool PlatformLogInstalled = [] {
  Platform().Log = ConsoleLog;
  return true;
}();

// Workers (a folder mounting, files read for thumbnails) log while the window's timer clears the
// messages: every console's queue is touched under this lock.
std::mutex CommentsLock;

}  // namespace

void ConsoleLog(uint8_t level, const std::string& text) {
  if (Console) Console->Log(level, text);
}

TConsole::~TConsole() {
  if (Active) Finalize();
  ClearComments();
}

bool TConsole::Initialize() {
  if (!TSubSystem::Initialize()) return false;
  // Messages logged before the start are dropped, and freed, not leaked.
  if (Comments)
    ClearComments();
  else
    Comments = std::make_unique<TQueue<TComment>>(Places);
  return true;
}

void TConsole::Finalize() {
  ClearComments();
  Comments.reset();
  TSubSystem::Finalize();
}

void TConsole::ClearComments() {
  const std::lock_guard lock(CommentsLock);
  if (!Comments) return;
  while (TComment* comment = Comments->Pop()) delete comment;
  Comments->Clear();
}

std::string TConsole::LastMessage() const {
  const std::lock_guard lock(CommentsLock);
  if (!Comments) return std::string();
  const TComment* last = Comments->PeekLast();
  return last ? last->Text : std::string();
}

void TConsole::LogFmt(uint8_t level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  Log(level, text);
}

namespace {

bool StandardOutputOpen() {
  return fcntl(1, F_GETFD) != -1;
}

void AppendToLogFile(const std::string& fileName, const std::string& text) {
  TFileStream file(fileName, hfReadWrite | hfShareRead);
  file.Seek(0, soEnd);
  if (!text.empty()) file.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  file.WriteBuffer("\r\n", 2);
}

}  // namespace

void TConsole::Log(uint8_t level, const std::string& text) {
  TPlatformTable& platform = Platform();
  if (platform.AssertionHandler)
    platform.AssertionHandler(true, std::string(), TSourceLocation::current());

  const uint32_t now = platform.GetTickCount ? platform.GetTickCount() : 0;
  {
    const std::lock_guard lock(CommentsLock);
    if (!Comments) Comments = std::make_unique<TQueue<TComment>>(Places);
    TComment* comment = nullptr;
    if (Comments->Count >= Places) comment = Comments->Pop();
    if (!comment) comment = new TComment;
    comment->Text = text;
    comment->Level = level;
    comment->Time = now;
    Comments->Push(comment);
  }

  if (OnLog) OnLog(text, level);

  if (level > 15 || (LevelMask & (1u << level)) == 0) return;
  if (StandardOutputOpen()) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  if (!LogFileName.empty()) AppendToLogFile(LogFileName, text);
}
