#pragma once
// The program's version information: the fixed numbers and flags and the eleven standard
// strings, as the about box shows them. The data is compiled into the program from the
// project version.
#include <cstdint>
#include <string>
#include <vector>

struct TVersionNumberInformation {
  uint16_t Major = 0;
  uint16_t Minor = 0;
  uint16_t Release = 0;
  uint16_t Build = 0;
  std::string ToString() const;  // "%d.%d.%d.%d"
};

// File flags, with the bit values of the version-information format.
enum TFileFlag : uint32_t {
  ffDebug = 0x01,
  ffPreRelease = 0x02,
  ffPatched = 0x04,
  ffPrivate = 0x08,
  ffInfoInferred = 0x10,
  ffSpecial = 0x20,
};

struct TFixedFileVersionInfo {
  uint32_t FileFlags = 0;
  TVersionNumberInformation FileVersion;
  TVersionNumberInformation ProductVersion;
};

constexpr int VersionStringCount = 11;

// Everything a version resource holds: the fixed part, the translations and the strings by
// index (CompanyName ... BuildFlags).
struct TVersionData {
  TFixedFileVersionInfo Fixed;
  std::vector<std::pair<uint16_t, uint16_t>> Translations;  // language, code page
  std::string Strings[VersionStringCount];
};

// This program's own data.
const TVersionData& ProgramVersionData();

class TVersionInfoResource {
 public:
  TVersionInfoResource() = default;
  explicit TVersionInfoResource(TVersionData data);

  // Reads the version information of a program file: this program's own, compiled in; any
  // other file has none.
  void Load(const std::string& fileName);
  const std::string& FileName() const { return FFileName; }
  bool HasData() const { return FHasData; }

  const TFixedFileVersionInfo& FixedInfo() const { return FData.Fixed; }
  // Each language and code page pair as "%.4X%.4X", e.g. "040904E4".
  const std::vector<std::string>& Translations() const { return FTranslations; }
  int TranslationIndex = 0;

  // The string of index 0..10; any other index, or a missing value, gives "".
  std::string GetString(int index) const;
  // The translation the strings are looked up under: the one at TranslationIndex, else
  // "040904E4".
  std::string Translation() const;
  // The names of the set file flags joined by ", ".
  std::string FileFlagsText() const;

  // The about box's version line: "Version : %s" with the file version.
  std::string VersionCaption() const;

  static std::string KeyName(int index);      // "CompanyName" ...; "" outside 0..10
  static std::string DisplayName(int index);  // "Company Name" ...; "" outside 0..10

 private:
  void Assign(TVersionData data);

  std::string FFileName;
  bool FHasData = false;
  TVersionData FData;
  std::vector<std::string> FTranslations;
};
