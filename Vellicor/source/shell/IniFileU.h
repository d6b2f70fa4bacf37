#pragma once
// A small INI file: sections in brackets, "key=value" lines. Sections and keys keep the order
// in which they were first written (rewriting a key keeps its place), names compare without
// regard to ASCII case, and the file is replaced atomically when saved so that a crash never
// leaves a truncated settings file behind.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TIniFile {
 public:
  // Reads the file when it exists; a missing or unreadable file gives an empty one.
  explicit TIniFile(std::string fileName);

  const std::string& FileName() const { return FFileName; }
  bool FileExists() const;  // on disk, now

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // Decimal, or hexadecimal after "0x" or "$"; anything unreadable or outside 32 bits gives
  // the fallback.
  int ReadInteger(std::string_view section, std::string_view key, int fallback) const;
  // True for any non-zero integer.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int value);
  void WriteBool(std::string_view section, std::string_view key, bool value);  // "1"/"0"

  bool SectionExists(std::string_view section) const;
  bool ValueExists(std::string_view section, std::string_view key) const;
  void AddSection(std::string_view section);  // an empty section is kept and written
  void DeleteKey(std::string_view section, std::string_view key);
  void EraseSection(std::string_view section);
  std::vector<std::string> ReadSections() const;
  std::vector<std::string> ReadSection(std::string_view section) const;  // its keys, in order

  // The text as it would be saved, and parsing of such a text (lines end in "\n" or "\r\n").
  std::string GetText() const;
  void SetText(std::string_view text);

  // Writes the file atomically; false (and `LastError`) when it could not be written, in which
  // case the file on disk is unchanged.
  bool UpdateFile();
  const std::string& LastError() const { return FLastError; }

  // Parses an integer the way ReadInteger does.
  static bool TryParseInteger(std::string_view text, int& value);

 private:
  struct TEntry {
    std::string Key;
    std::string Value;
  };
  struct TSection {
    std::string Name;
    std::vector<TEntry> Entries;
    std::unordered_map<std::string, size_t> Index;  // lower-case key -> entry
    void Reindex();
  };

  const TSection* FindSection(std::string_view name) const;
  TSection& SectionFor(std::string_view name);
  static const TEntry* FindEntry(const TSection& section, std::string_view key);
  void ReindexSections();

  // Lookups go through lower-case indexes so that large files still load in linear time.
  std::string FFileName;
  std::vector<TSection> FSections;
  std::unordered_map<std::string, size_t> FSectionIndex;
  std::string FLastError;
};
