#pragma once
// Assertions: a failed precondition is a programming-error report through the platform table's
// assertion handler, not a data error. The location comes from the compiler.
#include <cstdint>
#include <string>

#include "ProgramFileU.h"
#include "SourceLocationU.h"

// Reports through Platform().AssertionHandler when condition is false.
void Assert(bool condition, const std::string& message = std::string(),
            TSourceLocation where = TSourceLocation::current());
#define VASSERT(condition) \
  ::Assert(static_cast<bool>(condition), std::string(), TSourceLocation::current())
#define VASSERT_MSG(condition, message) \
  ::Assert(static_cast<bool>(condition), (message), TSourceLocation::current())

// Set by the dialog's Ignore: while set, further failures are not reported.
bool& AssertionsSuppressed();

// "Program: %s\nFile: %s\nProcedure: %s\nLine: %s\n" for a location: from the map file beside
// the executable when one was read (through the failing Assert's code address), else from the
// compiler's location (file name without folder, function, line).
std::string FormatLocation(const TSourceLocation& where);
// The same text for a code address, through the map file's lookups; empty fields without a map
// or for an address outside the program's code.
std::string FormatAddress(uintptr_t address);
// The location text followed by "\nAssertion Failed" and, when given, "\n" + message.
std::string AssertionBody(const TSourceLocation& where, const std::string& message);

// The handler of programs without windows: the report goes to standard error, a level-7 record
// to the console, and the program continues as the dialog's Retry would.
void ConsoleAssertionHandler(bool condition, const std::string& message,
                             const TSourceLocation& where);
