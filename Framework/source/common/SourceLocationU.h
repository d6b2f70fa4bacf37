#pragma once
// Where an error was raised or an assertion failed. clang 14 with libstdc++ 12 lacks
// std::source_location, so the fuzz build falls back on the compiler builtins behind it.
#include <version>

#if defined(__cpp_lib_source_location)
#include <source_location>
using TSourceLocation = std::source_location;
#else
#include <cstdint>
class TSourceLocation {
 public:
  static constexpr TSourceLocation current(const char* file = __builtin_FILE(),
                                           const char* function = __builtin_FUNCTION(),
                                           std::uint_least32_t line = __builtin_LINE()) noexcept {
    TSourceLocation here;
    here.FFile = file;
    here.FFunction = function;
    here.FLine = line;
    return here;
  }
  constexpr const char* file_name() const noexcept { return FFile; }
  constexpr const char* function_name() const noexcept { return FFunction; }
  constexpr std::uint_least32_t line() const noexcept { return FLine; }
  constexpr std::uint_least32_t column() const noexcept { return 0; }

 private:
  const char* FFile = "";
  const char* FFunction = "";
  std::uint_least32_t FLine = 0;
};
#endif
