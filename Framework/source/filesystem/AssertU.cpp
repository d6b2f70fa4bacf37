#include "AssertU.h"

#include <dlfcn.h>

#include <cstdio>

#include "ConsoleU.h"
#include "LowLevelIO.h"
#include "MapFileU.h"
#include "StringUtilsU.h"

namespace {

// The code address of the failing Assert call, for the map-file lookups.
thread_local uintptr_t PendingAddress = 0;

// The map offset of a code address: the distance from the module's load address past the
// code segment's offset. False for addresses outside any module or below its code.
bool MapOffset(uintptr_t address, uint32_t& offset) {
  Dl_info info{};
  if (address == 0 || ::dladdr(reinterpret_cast<void*>(address), &info) == 0 || !info.dli_fbase)
    return false;
  const uintptr_t codeStart = reinterpret_cast<uintptr_t>(info.dli_fbase) + 4096;
  if (address < codeStart || address - codeStart > UINT32_MAX) return false;
  offset = static_cast<uint32_t>(address - codeStart);
  return true;
}

}  // namespace

bool& AssertionsSuppressed() {
  static bool suppressed = false;
  return suppressed;
}

__attribute__((noinline)) void Assert(bool condition, const std::string& message,
                                      TSourceLocation where) {
  if (condition) return;
  TPlatformTable& platform = Platform();
  if (!platform.AssertionHandler) return;
  PendingAddress = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
  platform.AssertionHandler(false, message, where);
  PendingAddress = 0;
}

std::string FormatAddress(uintptr_t address) {
  const TMapFile* map = ProgramMapFile();
  uint32_t offset = 0;
  if (!map || !MapOffset(address, offset)) return LocationText(ProgramFileName(), "", "", "");
  return map->LocationText(ProgramFileName(), offset);
}

std::string FormatLocation(const TSourceLocation& where) {
  if (ProgramMapFile() && PendingAddress != 0) return FormatAddress(PendingAddress);
  return LocationText(ProgramFileName(), ExtractFileName(where.file_name()), where.function_name(),
                      where.line() == 0 ? std::string() : std::to_string(where.line()));
}

std::string AssertionBody(const TSourceLocation& where, const std::string& message) {
  TPlatformTable& platform = Platform();
  const std::string location =
      platform.LocationFormatter ? platform.LocationFormatter(where) : FormatLocation(where);
  std::string body = Format("%s\nAssertion Failed", location.c_str());
  if (!message.empty()) body += "\n" + message;
  return body;
}

void ConsoleAssertionHandler(bool condition, const std::string& message,
                             const TSourceLocation& where) {
  if (condition || AssertionsSuppressed()) return;
  const std::string body = AssertionBody(where, message);
  std::fprintf(stderr, "Assertion Failure\n%s\n", body.c_str());
  std::fflush(stderr);
  if (Console) Console->Log(LogLevel::Assertion, "Assertion Failure\n" + body);
}

namespace {

// Programs without windows report through the console; the viewer replaces the handler with its
// dialog. Set before main so no assertion goes unreported.
[[maybe_unused]] const bool ConsoleHandlerInstalled = [] {
  TPlatformTable& platform = Platform();
  if (!platform.AssertionHandler) platform.AssertionHandler = ConsoleAssertionHandler;
  if (!platform.LocationFormatter) platform.LocationFormatter = FormatLocation;
  return true;
}();

}  // namespace
