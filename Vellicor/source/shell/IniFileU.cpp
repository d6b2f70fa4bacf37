#include "IniFileU.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "AtomicFileU.h"

namespace {

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

std::string Lower(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return result;
}

std::string_view Trim(std::string_view text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

// A line break inside a name or value would split it into lines of its own on the next read
// and could forge sections; such characters become blanks.
std::string Flatten(std::string_view text) {
  std::string result(text);
  std::replace_if(
      result.begin(), result.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return result;
}

// A key may not hold '=' (it would end the key) nor start a section or comment line.
std::string CleanKey(std::string_view key) {
  std::string result = Flatten(Trim(key));
  std::replace(result.begin(), result.end(), '=', '_');
  if (!result.empty() && (result[0] == '[' || result[0] == ';')) result = "_" + result;
  return result;
}

std::string CleanSection(std::string_view section) {
  std::string result = Flatten(Trim(section));
  std::replace(result.begin(), result.end(), ']', ')');
  return result;
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : FFileName(std::move(fileName)) {
  std::string text;
  if (ReadWholeFile(FFileName, text)) SetText(text);
}

bool TIniFile::FileExists() const {
  std::error_code ec;
  return std::filesystem::is_regular_file(FFileName, ec);
}

void TIniFile::TSection::Reindex() {
  Index.clear();
  for (size_t i = 0; i < Entries.size(); ++i) Index.emplace(Lower(Entries[i].Key), i);
}

void TIniFile::ReindexSections() {
  FSectionIndex.clear();
  for (size_t i = 0; i < FSections.size(); ++i) FSectionIndex.emplace(Lower(FSections[i].Name), i);
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view name) const {
  auto found = FSectionIndex.find(Lower(name));
  return found == FSectionIndex.end() ? nullptr : &FSections[found->second];
}

TIniFile::TSection& TIniFile::SectionFor(std::string_view name) {
  std::string clean = CleanSection(name);
  auto [found, added] = FSectionIndex.emplace(Lower(clean), FSections.size());
  if (added) FSections.push_back({clean, {}, {}});
  return FSections[found->second];
}

const TIniFile::TEntry* TIniFile::FindEntry(const TSection& section, std::string_view key) {
  auto found = section.Index.find(Lower(key));
  return found == section.Index.end() ? nullptr : &section.Entries[found->second];
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
  const TSection* found = FindSection(section);
  const TEntry* entry = found ? FindEntry(*found, key) : nullptr;
  return entry ? entry->Value : std::string(fallback);
}

bool TIniFile::TryParseInteger(std::string_view text, int& value) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  } else if (text.size() > 1 && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  uint64_t magnitude = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  if (base == 16) {
    // Eight hexadecimal digits fill all 32 bits, the sign bit included (colours are written so).
    if (magnitude > 0xFFFFFFFFull) return false;
    int32_t bits = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    if (negative && bits == INT32_MIN) return false;  // its negation does not fit
    value = negative ? -bits : bits;
    return true;
  }
  if (negative ? magnitude > 2147483648ull : magnitude > 2147483647ull) return false;
  value =
      negative ? static_cast<int>(-static_cast<int64_t>(magnitude)) : static_cast<int>(magnitude);
  return true;
}

int TIniFile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  int value = 0;
  const TSection* found = FindSection(section);
  const TEntry* entry = found ? FindEntry(*found, key) : nullptr;
  return entry && TryParseInteger(entry->Value, value) ? value : fallback;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  TSection& target = SectionFor(section);
  std::string cleanKey = CleanKey(key);
  auto [found, added] = target.Index.emplace(Lower(cleanKey), target.Entries.size());
  if (added)
    target.Entries.push_back({cleanKey, Flatten(value)});
  else
    target.Entries[found->second].Value = Flatten(value);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

bool TIniFile::SectionExists(std::string_view section) const {
  return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
  const TSection* found = FindSection(section);
  return found && FindEntry(*found, key);
}

void TIniFile::AddSection(std::string_view section) {
  SectionFor(section);
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
  auto found = FSectionIndex.find(Lower(section));
  if (found == FSectionIndex.end()) return;
  TSection& target = FSections[found->second];
  std::erase_if(target.Entries, [&](const TEntry& entry) { return SameName(entry.Key, key); });
  target.Reindex();
}

void TIniFile::EraseSection(std::string_view section) {
  std::erase_if(FSections, [&](const TSection& each) { return SameName(each.Name, section); });
  ReindexSections();
}

std::vector<std::string> TIniFile::ReadSections() const {
  std::vector<std::string> names;
  for (const TSection& section : FSections) names.push_back(section.Name);
  return names;
}

std::vector<std::string> TIniFile::ReadSection(std::string_view section) const {
  std::vector<std::string> keys;
  if (const TSection* found = FindSection(section))
    for (const TEntry& entry : found->Entries) keys.push_back(entry.Key);
  return keys;
}

std::string TIniFile::GetText() const {
  std::string text;
  for (const TSection& section : FSections) {
    if (!text.empty()) text += '\n';
    text += '[' + section.Name + "]\n";
    for (const TEntry& entry : section.Entries) text += entry.Key + '=' + entry.Value + '\n';
  }
  return text;
}

void TIniFile::SetText(std::string_view text) {
  FSections.clear();
  FSectionIndex.clear();
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  TSection* current = nullptr;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = Trim(text.substr(0, end));
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      current = &SectionFor(name);
      continue;
    }
    size_t equals = line.find('=');
    if (!current || equals == std::string_view::npos) continue;  // not a setting
    std::string_view key = Trim(line.substr(0, equals));
    if (key.empty()) continue;
    // The first of duplicate keys counts.
    auto [found, added] = current->Index.emplace(Lower(key), current->Entries.size());
    if (added)
      current->Entries.push_back({std::string(key), std::string(Trim(line.substr(equals + 1)))});
  }
}

bool TIniFile::UpdateFile() {
  FLastError.clear();
  return WriteFileAtomically(FFileName, GetText(), &FLastError);
}
