#pragma once
// The file system's own mask language, used by scans and tree searches alike.
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ExceptionsU.h"

// "'%s' is an invalid mask at (%d)"
class EMaskException : public Exception {
 public:
  using Exception::Exception;
};

// Upper case for a to z only: the mask language and the tree's name index fold no other byte
// themselves.
inline char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// A compiled mask of the system's own matcher: "*" any run of characters, "?" one character,
// "[set]" one character of the set (ranges "a-z"), "[!set]" one character not in it; letters a
// to z match without regard to case. Characters are UTF-8 sequences.
class TMask {
 public:
  // EMaskException "'%s' is an invalid mask at (%d)" for more than 30 star wildcards, an
  // unclosed or empty set, or a hyphen with no character before it (1-based byte position).
  explicit TMask(const std::string& mask);
  bool Matches(std::string_view name) const;

  static constexpr int MaxStars = 30;

 private:
  enum class TKind : uint8_t { Star, Any, Literal, Set };
  struct TToken {
    TKind Kind;
    char Literal = 0;  // upper-cased byte
    bool Negate = false;
    int32_t SetIndex = -1;
  };
  struct TSet {
    std::bitset<128> Ascii;                           // upper-cased ASCII members
    std::vector<std::pair<uint32_t, uint32_t>> Wide;  // other code point ranges
    bool Contains(uint32_t codePoint) const;
  };
  // Compiles the set whose content starts at i (just past its "["); the position past its "]".
  size_t AddSet(const std::string& mask, size_t i);
  bool MatchOne(const TToken& token, std::string_view name, size_t& pos) const;

  std::vector<TToken> FTokens;
  std::vector<TSet> FSets;
};

// The system's own mask matcher (see TMask). Raises EMaskException for an invalid mask.
bool MatchesMask(const std::string& name, const std::string& mask);

// A mask that finds one file by its name: characters the mask language gives a meaning stand
// for themselves only as "any one character", so a name like "tank[1].quv" still mounts.
std::string FileNameMask(const std::string& fileName);
