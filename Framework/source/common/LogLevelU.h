#pragma once
// The levels the system logs at. A header of its own so units below the console (the platform
// table, the assertion handler) can name them without reaching the console itself.
#include <cstdint>

namespace LogLevel {
constexpr uint8_t Info = 1;         // records of the file system and the module loader
constexpr uint8_t Assertion = 7;    // assertion dialogs and refused search paths
constexpr uint8_t Warning = 8;      // warnings and errors of the image and archive readers
constexpr uint8_t BreakPoint = 10;  // an assertion the user chose to break on
}  // namespace LogLevel
