#include "MapFileU.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "ExceptionsU.h"
#include "ProgramFileU.h"
#include "StringUtilsU.h"

namespace {

constexpr off_t MaxMapFileSize = off_t{256} << 20;

enum TMapSection {
  msNone = -1,
  msSegments = 0,
  msDetailed,
  msPublicsByName,
  msPublicsByValue,
  msLineNumbers,
  msResources
};

std::string WithoutBlanks(const std::string& line) {
  std::string result;
  result.reserve(line.size());
  for (char c : line) {
    if (c != ' ' && c != '\t') result += c;
  }
  return result;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

[[noreturn]] void RaiseConvert(const std::string& text) {
  throw EConvertError(Format("'%s' is not a valid integer value", text.c_str()));
}

// Exactly 8 hexadecimal digits at pos.
uint32_t Hex8(const std::string& line, size_t pos) {
  const std::string digits = pos < line.size() ? line.substr(pos, 8) : std::string();
  if (digits.size() != 8) RaiseConvert(digits);
  uint32_t value = 0;
  for (char c : digits) {
    if (!IsHexDigit(c)) RaiseConvert(digits);
    const uint32_t digit = c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
    value = value * 16 + digit;
  }
  return value;
}

// The segment number before a "seg:address" reference's colon; segment numbers are written in
// hexadecimal.
int64_t SegmentNumber(const std::string& text) {
  std::string trimmed = text;
  trimmed.erase(0, trimmed.find_first_not_of(" \t"));
  trimmed.erase(trimmed.find_last_not_of(" \t") + 1);
  int64_t value = 0;
  if (!TryStrToInt("$" + trimmed, value)) RaiseConvert(trimmed);
  return value;
}

std::string WordAfter(const std::string& line, size_t pos) {
  const size_t start = line.find_first_not_of(" \t", pos);
  if (start == std::string::npos) return std::string();
  const size_t end = line.find_first_of(" \t", start);
  return line.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// A section's header line (blanks removed): switches section, and for line numbers takes the
// unit's name. False for any other line.
bool ReadSectionHeader(const std::string& compact, TMapSection& section, std::string& unit) {
  static const std::pair<const char*, TMapSection> Headers[] = {
      {"StartLengthNameClass", msSegments},      {"Detailedmapofsegments", msDetailed},
      {"AddressPublicsbyName", msPublicsByName}, {"AddressPublicsbyValue", msPublicsByValue},
      {"Linenumbersfor", msLineNumbers},         {"Boundresourcefiles", msResources},
  };
  for (const auto& [name, id] : Headers) {
    if (compact.rfind(name, 0) != 0) continue;
    section = id;
    if (id == msLineNumbers) {
      const size_t start = std::string("Linenumbersfor").size();
      const size_t paren = compact.find('(', start);
      unit = compact.substr(start, paren == std::string::npos ? std::string::npos : paren - start);
    }
    return true;
  }
  return false;
}

// " 0001:00000000 00001234 C=CODE S=.text G=(none) M=Unit ACBP=A9": a unit of the code segment.
void ReadUnit(const std::string& line, size_t colon, std::vector<TUnitItem>& units) {
  if (SegmentNumber(line.substr(0, colon)) != 1) return;
  TUnitItem item;
  item.Start = Hex8(line, colon + 1);
  const uint32_t length = Hex8(line, colon + 10);
  // Saturate rather than wrap: a unit never reaches past the code segment's 4 GB.
  item.End = item.Start + length < item.Start ? UINT32_MAX : item.Start + length;
  const size_t module = line.find("M=");
  if (module != std::string::npos) item.Name = WordAfter(line, module + 2);
  units.push_back(std::move(item));
}

// " 0001:00000010       Routine": a public of the code segment.
void ReadPublic(const std::string& line, size_t colon, std::vector<TProcedureItem>& procedures) {
  if (SegmentNumber(line.substr(0, colon)) != 1) return;
  TProcedureItem item;
  item.Address = Hex8(line, colon + 1);
  size_t name = line.find_first_not_of(" \t", colon + 9);
  if (name != std::string::npos) {
    item.Name = line.substr(name);
    item.Name.erase(item.Name.find_last_not_of(" \t") + 1);
  }
  procedures.push_back(std::move(item));
}

// "    12 0001:00000010    13 0001:00000018": pairs of line number and address.
void ReadLineNumbers(const std::string& line, const std::string& unit,
                     std::vector<TLineNumberItem>& lines) {
  std::istringstream pairs(line);
  std::string number, reference;
  while (pairs >> number >> reference) {
    const size_t refColon = reference.find(':');
    if (refColon == std::string::npos) RaiseConvert(reference);
    TLineNumberItem item;
    item.Unit = unit;
    item.Line = number;
    item.Address = Hex8(reference, refColon + 1);
    lines.push_back(std::move(item));
  }
}

}  // namespace

bool TMapFile::Load(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  // A linker map is a few megabytes; a file far beyond that is not one.
  if (info.st_size > MaxMapFileSize) return false;
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  std::ostringstream text;
  text << file.rdbuf();
  return LoadFromText(text.str());
}

bool TMapFile::LoadFromText(const std::string& text) {
  TMapSection section = msNone;
  std::string unit;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (ReadSectionHeader(WithoutBlanks(line), section, unit)) continue;
    const size_t colon = line.find(':');
    if (colon == std::string::npos || line.empty() || line[0] != ' ') continue;
    if (section == msDetailed)
      ReadUnit(line, colon, Units);
    else if (section == msPublicsByName)
      ReadPublic(line, colon, Procedures);
    else if (section == msLineNumbers)
      ReadLineNumbers(line, unit, Lines);
  }
  return !Units.empty() && !Procedures.empty() && !Lines.empty();
}

std::string TMapFile::UnitAt(uint32_t offset) const {
  for (auto it = Units.rbegin(); it != Units.rend(); ++it) {
    if (it->Start <= offset && offset <= it->End) return it->Name;
  }
  return std::string();
}

std::string TMapFile::RoutineAt(uint32_t offset) const {
  // The publics are listed by name, so the routine holding the offset is the one with the
  // highest address at or below it, wherever it stands in the list.
  const TProcedureItem* best = nullptr;
  for (auto it = Procedures.rbegin(); it != Procedures.rend(); ++it) {
    if (it->Address <= offset && (!best || it->Address > best->Address)) best = &*it;
  }
  return best ? best->Name : std::string();
}

std::string TMapFile::LineAt(uint32_t offset) const {
  const std::string unit = UnitAt(offset);
  const TLineNumberItem* previous = nullptr;
  for (const TLineNumberItem& item : Lines) {
    if (item.Unit != unit) continue;
    if (item.Address == offset) return item.Line;  // the line that starts right here
    if (item.Address > offset) return previous ? previous->Line : std::string();
    previous = &item;
  }
  return std::string();
}

std::string TMapFile::LocationText(const std::string& program, uint32_t offset) const {
  return ::LocationText(program, UnitAt(offset), RoutineAt(offset), LineAt(offset));
}

std::string LocationText(const std::string& program, const std::string& unit,
                         const std::string& routine, const std::string& line) {
  return Format("Program: %s\nFile: %s\nProcedure: %s\nLine: %s\n", program.c_str(), unit.c_str(),
                routine.c_str(), line.c_str());
}

namespace {
std::unique_ptr<TMapFile>& ProgramMap() {
  static std::unique_ptr<TMapFile> map;
  return map;
}
}  // namespace

const TMapFile* ProgramMapFile() {
  return ProgramMap().get();
}

void LoadProgramMapFile() {
  if (ProgramMap()) return;
  const std::string exe = ProgramFilePath();
  if (exe.empty()) return;
  auto map = std::make_unique<TMapFile>();
  try {
    if (!map->Load(ChangeFileExt(exe, ".map"))) return;
  } catch (const EConvertError& error) {
    // A damaged map costs the error reports their code locations, not the program its start.
    std::fprintf(stderr, "%s\n", error.what());
    return;
  }
  ProgramMap() = std::move(map);
}

void FreeProgramMapFile() {
  ProgramMap().reset();
}
