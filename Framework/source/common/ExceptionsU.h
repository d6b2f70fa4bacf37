#pragma once
// The framework's error types. Every error carries its message and the code location where it
// was raised, so the application's error dialog can name unit, routine and line.
#include <stdexcept>
#include <string>

#include "SourceLocationU.h"

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message, TSourceLocation where = TSourceLocation::current())
      : std::runtime_error(message), FWhere(where) {}
  const TSourceLocation& Where() const noexcept { return FWhere; }

 private:
  TSourceLocation FWhere;
};

// A value does not fit the range its field or index allows ("Range check error").
class ERangeError : public Exception {
 public:
  using Exception::Exception;
};

// Checked integer arithmetic overflowed ("Integer overflow").
class EIntOverflow : public Exception {
 public:
  using Exception::Exception;
};

// Input/output failure of the operating system ("Unable to open file ...").
class EInOutError : public Exception {
 public:
  using Exception::Exception;
};

// A text could not be converted to a number.
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// Application error with a kind text, e.g. ("Win32 Error", "Code: 2.\n...").
class EAppError : public Exception {
 public:
  EAppError(std::string errorKind, const std::string& message,
            TSourceLocation where = TSourceLocation::current())
      : Exception(message, where), ErrorKind(std::move(errorKind)) {}
  std::string ErrorKind;
};
