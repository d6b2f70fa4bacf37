#include "FileMaskU.h"

#include <algorithm>

#include "StringUtilsU.h"

namespace {

// Byte length of the UTF-8 sequence at pos; a malformed byte counts as one character.
size_t CharLength(std::string_view text, size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  size_t extra = 0;
  if (lead >= 0xC0 && lead < 0xE0)
    extra = 1;
  else if (lead >= 0xE0 && lead < 0xF0)
    extra = 2;
  else if (lead >= 0xF0 && lead < 0xF8)
    extra = 3;
  if (extra == 0 || pos + extra >= text.size()) return 1;
  for (size_t i = 1; i <= extra; ++i) {
    if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) return 1;
  }
  return extra + 1;
}

uint32_t DecodeChar(std::string_view text, size_t pos, size_t length) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (length == 1) return lead;
  uint32_t value = lead & (0x3F >> (length - 1));
  for (size_t i = 1; i < length; ++i)
    value = (value << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  return value;
}

[[noreturn]] void InvalidMask(const std::string& mask, size_t position) {
  throw EMaskException(
      Format("'%s' is an invalid mask at (%d)", mask.c_str(), static_cast<int>(position)));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Masks

bool TMask::TSet::Contains(uint32_t codePoint) const {
  if (codePoint < 128) return Ascii[codePoint];
  for (const auto& [low, high] : Wide) {
    if (codePoint >= low && codePoint <= high) return true;
  }
  return false;
}

TMask::TMask(const std::string& mask) {
  int stars = 0;
  size_t i = 0;
  const size_t n = mask.size();
  while (i < n) {
    const char c = mask[i];
    if (c == '*') {
      // A run of stars is one wildcard.
      if (++stars > MaxStars) InvalidMask(mask, i + 1);
      FTokens.push_back({TKind::Star});
      while (i < n && mask[i] == '*') ++i;
    } else if (c == '?') {
      FTokens.push_back({TKind::Any});
      ++i;
    } else if (c == '[') {
      i = AddSet(mask, i + 1);
    } else {
      FTokens.push_back({TKind::Literal, AsciiUpper(c)});
      ++i;
    }
  }
}

size_t TMask::AddSet(const std::string& mask, size_t i) {
  const size_t n = mask.size();
  TToken token{TKind::Set};
  TSet set;
  bool empty = true;
  const auto add = [&](uint32_t low, uint32_t high) {
    for (uint32_t cp = low; cp <= high && cp < 128; ++cp) set.Ascii.set(cp);
    if (high >= 128) set.Wide.emplace_back(std::max<uint32_t>(low, 128), high);
    empty = false;
  };
  if (i < n && mask[i] == '!') {
    token.Negate = true;
    ++i;
  }
  bool haveLast = false;
  uint32_t last = 0;
  while (i < n && mask[i] != ']') {
    if (mask[i] == '-') {
      if (!haveLast) InvalidMask(mask, i + 1);
      if (i + 1 < n && mask[i + 1] != ']') {
        const size_t length = CharLength(mask, i + 1);
        const uint32_t high = DecodeChar(mask, i + 1, length);
        if (high >= last) add(last, high);
        last = high;
        i += 1 + length;
        continue;
      }
      add('-', '-');  // a hyphen closing the set stands for itself
      ++i;
      continue;
    }
    const size_t length = CharLength(mask, i);
    last = DecodeChar(mask, i, length);
    haveLast = true;
    add(last, last);
    i += length;
  }
  if (i >= n) InvalidMask(mask, n + 1);
  if (empty) InvalidMask(mask, i + 1);
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    const auto lower = static_cast<size_t>(letter), upper = lower - 'a' + 'A';
    if (set.Ascii[lower] || set.Ascii[upper]) set.Ascii.set(lower).set(upper);
  }
  token.SetIndex = static_cast<int32_t>(FSets.size());
  FSets.push_back(std::move(set));
  FTokens.push_back(token);
  return i + 1;  // past ']'
}

bool TMask::MatchOne(const TToken& token, std::string_view name, size_t& pos) const {
  switch (token.Kind) {
    case TKind::Literal:
      if (AsciiUpper(name[pos]) != token.Literal) return false;
      ++pos;
      return true;
    case TKind::Any:
      pos += CharLength(name, pos);
      return true;
    case TKind::Set: {
      const size_t length = CharLength(name, pos);
      if (FSets[token.SetIndex].Contains(DecodeChar(name, pos, length)) == token.Negate)
        return false;
      pos += length;
      return true;
    }
    case TKind::Star:
      break;
  }
  return false;
}

bool TMask::Matches(std::string_view name) const {
  // Greedy walk that lets the last star swallow one more character on a mismatch: time is
  // bounded by name length times mask length.
  constexpr size_t none = static_cast<size_t>(-1);
  size_t token = 0, pos = 0, starToken = none, starPos = 0;
  while (pos < name.size()) {
    if (token < FTokens.size()) {
      if (FTokens[token].Kind == TKind::Star) {
        starToken = token++;
        starPos = pos;
        continue;
      }
      size_t next = pos;
      if (MatchOne(FTokens[token], name, next)) {
        ++token;
        pos = next;
        continue;
      }
    }
    if (starToken == none) return false;
    starPos += CharLength(name, starPos);
    pos = starPos;
    token = starToken + 1;
  }
  while (token < FTokens.size() && FTokens[token].Kind == TKind::Star) ++token;
  return token == FTokens.size();
}

bool MatchesMask(const std::string& name, const std::string& mask) {
  return TMask(mask).Matches(name);
}

std::string FileNameMask(const std::string& fileName) {
  std::string mask = fileName;
  for (char& c : mask)
    if (c == '[' || c == ']' || c == '*' || c == '\\') c = '?';
  return mask;
}
