#include "PaletteFileU.h"

#include <charconv>
#include <string_view>
#include <vector>

#include "ExceptionsU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

namespace {

constexpr size_t EntryCount = 256;

std::string_view Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// The text's lines, without their line ends (CR LF or LF).
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  for (auto& line : lines)
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return lines;
}

// Reads a decimal number at the start of `text` (after blanks) and moves past it.
bool TakeNumber(std::string_view& text, long& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr == text.data()) return false;
  text.remove_prefix(size_t(result.ptr - text.data()));
  return true;
}

// "R G B" at the start of a line; `rest` gets what follows (a GIMP colour's name).
void ParseColour(std::string_view line, size_t lineNumber, TPaletteEntry& entry, bool restAllowed) {
  std::string_view text = line;
  for (int c = 0; c < 3; ++c) {
    long value = 0;
    if (!TakeNumber(text, value))
      throw Exception(Format("Line %zu is not a colour of three numbers: \"%.40s\"", lineNumber,
                             std::string(Trimmed(line)).c_str()));
    if (value < 0 || value > 255)
      throw Exception(Format("Line %zu has the value %ld, outside 0 to 255", lineNumber, value));
    entry[size_t(c)] = uint8_t(value);
  }
  if (!restAllowed && !Trimmed(text).empty())
    throw Exception(Format("Line %zu holds more than three numbers", lineNumber));
  // A name must be set apart from the numbers.
  if (restAllowed && !text.empty() && text.front() != ' ' && text.front() != '\t')
    throw Exception(Format("Line %zu is not a colour of three numbers", lineNumber));
  entry[3] = 0;
}

std::string CountMessage(size_t count) {
  return Format("The palette has %zu colours; a Quv palette needs exactly 256", count);
}

TPalette ParseJasc(const std::vector<std::string_view>& lines) {
  if (lines.size() < 3 || Trimmed(lines[1]) != "0100")
    throw Exception("A JASC-PAL palette needs the version line \"0100\" after its first line");
  std::string_view countText = Trimmed(lines[2]);
  long count = 0;
  if (!TakeNumber(countText, count) || !countText.empty())
    throw Exception("The third line of a JASC-PAL palette must give its colour count");
  if (count != long(EntryCount)) throw Exception(CountMessage(count < 0 ? 0 : size_t(count)));
  TPalette palette{};
  size_t entries = 0;
  for (size_t i = 3; i < lines.size(); ++i) {
    if (Trimmed(lines[i]).empty()) continue;
    if (entries == EntryCount)
      throw Exception(CountMessage(entries + 1) + " (more lines than the count)");
    ParseColour(lines[i], i + 1, palette[entries++], false);
  }
  if (entries != EntryCount) throw Exception(CountMessage(entries));
  return palette;
}

TPalette ParseGimp(const std::vector<std::string_view>& lines) {
  TPalette palette{};
  size_t entries = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string_view line = Trimmed(lines[i]);
    if (line.empty() || line.front() == '#') continue;
    // Header lines ("Name: ...", "Columns: ...") come before the colours.
    if (entries == 0 && line.find(':') != std::string_view::npos &&
        !(line.front() >= '0' && line.front() <= '9'))
      continue;
    if (entries == EntryCount) {
      size_t total = entries;
      for (size_t k = i; k < lines.size(); ++k) {
        const std::string_view more = Trimmed(lines[k]);
        if (!more.empty() && more.front() != '#') ++total;
      }
      throw Exception(CountMessage(total));
    }
    ParseColour(line, i + 1, palette[entries++], true);
  }
  if (entries != EntryCount) throw Exception(CountMessage(entries));
  return palette;
}

bool StartsWith(std::span<const uint8_t> bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() &&
         std::string_view(reinterpret_cast<const char*>(bytes.data()), prefix.size()) == prefix;
}

}  // namespace

void SetLoadedFourthBytes(TPalette& palette) {
  for (int i = 255; i >= 0; --i) palette[size_t(i)][3] = 255;
  palette[0][3] = 0;
  palette[9][3] = 0;
  palette[10][3] = 100;
}

TPalette ParsePaletteFile(std::span<const uint8_t> bytes) {
  TPalette palette{};
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (StartsWith(bytes, "JASC-PAL")) {
    palette = ParseJasc(Lines(text));
  } else if (StartsWith(bytes, "GIMP Palette")) {
    palette = ParseGimp(Lines(text));
  } else if (bytes.size() == EntryCount * 4) {
    for (size_t i = 0; i < EntryCount; ++i)
      for (size_t c = 0; c < 4; ++c) palette[i][c] = bytes[4 * i + c];
  } else if (bytes.size() == EntryCount * 3) {
    for (size_t i = 0; i < EntryCount; ++i)
      for (size_t c = 0; c < 3; ++c) palette[i][c] = bytes[3 * i + c];
  } else {
    throw Exception(
        Format("Not a palette: %zu bytes. A palette is a raw table of 1024 bytes (256 colours of 4 "
               "bytes) or 768 bytes (256 of 3), a JASC-PAL file or a GIMP palette",
               bytes.size()));
  }
  SetLoadedFourthBytes(palette);
  return palette;
}

TPalette ReadPaletteFile(const std::string& fileName) {
  // A regular file only (a fifo never blocks), and never more than the limit.
  const std::string bytes = ReadRegularFile(fileName, size_t(MaxPaletteFileSize));
  try {
    return ParsePaletteFile(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  } catch (const Exception& error) {
    throw Exception(Format("\"%s\": %s.", fileName.c_str(), error.what()));
  }
}
