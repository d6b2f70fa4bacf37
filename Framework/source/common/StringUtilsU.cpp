#include "StringUtilsU.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>

std::string FormatV(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return std::string();
  std::string result(static_cast<size_t>(length), '\0');
  va_list fill;
  va_copy(fill, args);
  std::vsnprintf(result.data(), result.size() + 1, format, fill);
  va_end(fill);
  return result;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string result = FormatV(format, args);
  va_end(args);
  return result;
}

namespace {

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

// Multi-byte text in the current locale to wide characters; false when the text is not valid
// in that locale (or holds a NUL, which the C conversion cannot carry).
bool ToWide(std::string_view text, std::wstring& wide) {
  if (text.find('\0') != std::string_view::npos) return false;
  const std::string copy(text);
  std::mbstate_t state{};
  const char* source = copy.c_str();
  const size_t length = std::mbsrtowcs(nullptr, &source, 0, &state);
  if (length == static_cast<size_t>(-1)) return false;
  wide.assign(length, L'\0');
  state = std::mbstate_t{};
  source = copy.c_str();
  std::mbsrtowcs(wide.data(), &source, length, &state);
  return true;
}

bool FromWide(const std::wstring& wide, std::string& text) {
  std::mbstate_t state{};
  const wchar_t* source = wide.c_str();
  const size_t length = std::wcsrtombs(nullptr, &source, 0, &state);
  if (length == static_cast<size_t>(-1)) return false;
  text.assign(length, '\0');
  state = std::mbstate_t{};
  source = wide.c_str();
  std::wcsrtombs(text.data(), &source, length, &state);
  return true;
}

int Sign(int value) {
  return (value > 0) - (value < 0);
}

}  // namespace

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = AsciiUpper(c);
  return result;
}

std::string LowerCase(std::string_view text) {
  std::string result(text);
  for (char& c : result) c = AsciiLower(c);
  return result;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

bool StartsTextWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

namespace {

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80 || c == '\0') return false;
  }
  return true;
}

bool CollatesByCodePoint() {
  const char* collate = std::setlocale(LC_COLLATE, nullptr);
  return !collate || std::strcmp(collate, "C") == 0 || std::strcmp(collate, "POSIX") == 0;
}

int CompareUpperBytes(std::string_view a, std::string_view b) {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const auto ca = static_cast<unsigned char>(AsciiUpper(a[i]));
    const auto cb = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

namespace {

// The locale's upper case of multi-byte text, as wide characters; false when the locale cannot
// read the text.
bool FoldWide(std::string_view text, std::wstring& wide) {
  if (!ToWide(text, wide)) return false;
  for (wchar_t& c : wide) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
  return true;
}

}  // namespace

int AnsiCompareText(std::string_view a, std::string_view b) {
  // Names are nearly always plain ASCII: they need no multi-byte conversion, and under the
  // code-point collation no wide comparison either.
  if (IsAscii(a) && IsAscii(b)) {
    if (CollatesByCodePoint()) return CompareUpperBytes(a, b);
    thread_local std::wstring wa, wb;
    wa.assign(a.begin(), a.end());
    wb.assign(b.begin(), b.end());
    for (wchar_t& c : wa) c = static_cast<wchar_t>(AsciiUpper(static_cast<char>(c)));
    for (wchar_t& c : wb) c = static_cast<wchar_t>(AsciiUpper(static_cast<char>(c)));
    const int collated = Sign(std::wcscoll(wa.c_str(), wb.c_str()));
    return collated != 0 ? collated : CompareUpperBytes(a, b);
  }
  std::wstring wa, wb;
  if (FoldWide(a, wa) && FoldWide(b, wb)) {
    const int collated = Sign(std::wcscoll(wa.c_str(), wb.c_str()));
    // Collation may call distinct texts equal; the code points then give a stable order.
    return collated != 0 ? collated : Sign(std::wcscmp(wa.c_str(), wb.c_str()));
  }
  return CompareUpperBytes(a, b);
}

std::string FoldCase(std::string_view text) {
  // The same branches as AnsiCompareText, so that equal foldings mean equal names.
  if (IsAscii(text)) return UpperCase(text);
  std::wstring wide;
  std::string folded;
  if (FoldWide(text, wide) && FromWide(wide, folded)) return folded;
  return UpperCase(text);
}

std::string AnsiUpperCase(std::string_view text) {
  std::wstring wide;
  if (ToWide(text, wide)) {
    for (wchar_t& c : wide) c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    std::string result;
    if (FromWide(wide, result)) return result;
  }
  return UpperCase(text);
}

bool TryStrToInt(std::string_view text, int64_t& value) {
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (!text.empty() && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  // Parse the magnitude unsigned so that the most negative value still fits.
  uint64_t magnitude = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, magnitude, base);
  if (error != std::errc() || stop != end) return false;
  if (negative) {
    if (magnitude > static_cast<uint64_t>(INT64_MAX) + 1) return false;
    value = magnitude == static_cast<uint64_t>(INT64_MAX) + 1 ? INT64_MIN
                                                              : -static_cast<int64_t>(magnitude);
  } else {
    if (magnitude > static_cast<uint64_t>(INT64_MAX)) return false;
    value = static_cast<int64_t>(magnitude);
  }
  return true;
}

int64_t StrToIntDef(std::string_view text, int64_t fallback) {
  int64_t value = 0;
  return TryStrToInt(text, value) ? value : fallback;
}

std::string NormalizePath(std::string_view path, char delim) {
  std::string result(path);
  for (char& c : result) {
    if (IsSeparator(c)) c = delim;
  }
  // A lone separator is the disk root and stays.
  if (result.size() > 1 && result.back() == delim) result.pop_back();
  return result;
}

std::string JoinPath(std::string_view dir, std::string_view name, char delim) {
  if (dir.empty()) return std::string(name);
  std::string result(dir);
  if (!IsSeparator(result.back())) result += delim;
  result += name;
  return result;
}

std::string ExtractFileName(std::string_view path) {
  const size_t pos = path.find_last_of("/\\");
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string ExtractFileDir(std::string_view path) {
  const size_t pos = path.find_last_of("/\\");
  if (pos == std::string_view::npos) return std::string();
  if (pos == 0) return std::string(path.substr(0, 1));  // the root keeps its separator
  return std::string(path.substr(0, pos));
}

std::string ExtractFileExt(std::string_view path) {
  const size_t nameStart = path.find_last_of("/\\");
  const size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos) return std::string();
  if (nameStart != std::string_view::npos && dot < nameStart) return std::string();
  return std::string(path.substr(dot));
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  const std::string current = ExtractFileExt(path);
  std::string result(path.substr(0, path.size() - current.size()));
  result += ext;
  return result;
}

std::string ExcludeTrailingDelimiter(std::string_view path) {
  if (!path.empty() && IsSeparator(path.back())) path.remove_suffix(1);
  return std::string(path);
}

std::string IncludeTrailingDelimiter(std::string_view path, char delim) {
  std::string result(path);
  if (result.empty() || !IsSeparator(result.back())) result += delim;
  return result;
}

std::string ToDiskPath(std::string_view path) {
  std::string result(path);
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

std::string ToTreePath(std::string_view path) {
  std::string result(path);
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
  return result;
}

std::vector<std::string> SplitString(std::string_view text, char separator, TEmptyParts empty) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t pos = text.find(separator, start);
    const std::string_view part =
        text.substr(start, pos == std::string_view::npos ? pos : pos - start);
    if (!part.empty() || empty == TEmptyParts::Keep) parts.emplace_back(part);
    if (pos == std::string_view::npos) return parts;
    start = pos + 1;
  }
}
