#pragma once
// Text helpers shared by every subsystem: printf-style formatting, case rules and path handling.
//
// Two path worlds meet here: disk paths use the platform separator '/', paths inside the
// virtual file system tree use the backslash. Paths typed by a user may use either.
#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr char PathDelim = '/';   // disk paths
constexpr char TreeDelim = '\\';  // virtual file system tree paths

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);

// ASCII case rules (a to z), as the mask matcher and the file formats use them.
std::string UpperCase(std::string_view text);
std::string LowerCase(std::string_view text);
bool SameText(std::string_view a, std::string_view b);  // ASCII case-insensitive equality
bool StartsTextWith(std::string_view text, std::string_view prefix);  // ASCII case-insensitive

// Locale-aware case-insensitive comparison (<0, 0, >0), as used for sorted name lists.
int AnsiCompareText(std::string_view a, std::string_view b);
std::string AnsiUpperCase(std::string_view text);
// The case folding behind AnsiCompareText: two names compare equal there exactly when their
// foldings are equal, so a hash of the folding finds what a sorted list finds. Plain ASCII
// folds a to z; other text is upper-cased by the locale (a to z only where it cannot be read).
std::string FoldCase(std::string_view text);

// Numbers.
bool TryStrToInt(std::string_view text, int64_t& value);  // decimal, or "0x"/"$" hexadecimal
int64_t StrToIntDef(std::string_view text, int64_t fallback);

// Paths. NormalizePath replaces every separator of the other kind by `delim` and removes one
// trailing separator.
std::string NormalizePath(std::string_view path, char delim);
std::string JoinPath(std::string_view dir, std::string_view name,
                     char delim);                    // "dir<d>name" or "name"
std::string ExtractFileName(std::string_view path);  // after the last '/' or '\\'
std::string ExtractFileDir(
    std::string_view path);  // before the last '/' or '\\', no trailing separator
std::string ExtractFileExt(
    std::string_view path);  // from the last '.' of the file name, "" when none
std::string ChangeFileExt(std::string_view path, std::string_view ext);
std::string ExcludeTrailingDelimiter(std::string_view path);
std::string IncludeTrailingDelimiter(std::string_view path, char delim = PathDelim);
std::string ToDiskPath(std::string_view path);  // backslashes become '/'
std::string ToTreePath(std::string_view path);  // slashes become '\\'
// Whether SplitString keeps the empty parts between doubled, leading or trailing separators.
enum class TEmptyParts : uint8_t { Keep, Skip };
std::vector<std::string> SplitString(std::string_view text, char separator,
                                     TEmptyParts empty = TEmptyParts::Keep);
