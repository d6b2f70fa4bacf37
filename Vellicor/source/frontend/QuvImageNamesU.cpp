#include "QuvImageNamesU.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "ByteOrderU.h"
#include "QuvManagerU.h"
#include "StringUtilsU.h"

namespace {

[[noreturn]] void Refuse(const std::string& text) {
  throw EQuvFileError(text);
}

// The names of the entries (count is ImageEntryCount) added to names as they are read, so that
// a caller still has them when a later entry raises.
void EntryNames(const uint8_t* data, size_t size, int32_t count, const std::string& fileName,
                std::vector<std::string>& names) {
  const char* file = fileName.c_str();
  if (count < 0 || static_cast<int64_t>(size) <= 4 * static_cast<int64_t>(count))
    Refuse(
        Format("In file \"%s\" : Number Of entries( %d ) in Quv header is invalid ", file, count));
  const int64_t tableEnd = QuvHeaderSize + 4 * static_cast<int64_t>(count);
  if (tableEnd > static_cast<int64_t>(size))
    Refuse(Format("In file \"%s\" : Stream read error", file));
  std::unordered_set<std::string> seen;
  std::string collected;
  int64_t frameRows = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int64_t at = ByteOrder::LoadU32(data + QuvHeaderSize + 4 * static_cast<size_t>(i));
    if (at < tableEnd || at >= static_cast<int64_t>(size)) {
      collected += Format("In file \"%s\" : Assertion failure: Quv entry offset %lld is invalid",
                          file, static_cast<long long>(at));
      continue;
    }
    if (at + QuvEntrySize > static_cast<int64_t>(size))
      Refuse(Format("In file \"%s\" : Stream read error", file));
    const uint8_t* entry = data + at;
    const char* nameField = reinterpret_cast<const char*>(entry + 8);
    const void* end = std::memchr(nameField, 0, QuvNameSize);
    const std::string name =
        end ? std::string(nameField, static_cast<const char*>(end)) : std::string();
    const uint16_t frameCount = ByteOrder::LoadU16(entry);
    if (name.empty() || frameCount == 0) continue;  // the reader skips these with a warning
    // The frame table follows the entry; the reader reads it whole.
    frameRows += frameCount;
    if (frameRows * QuvFrameRowSize > static_cast<int64_t>(size)) {
      collected +=
          Format("In file \"%s\" : Quv entry \"%s\" has more frames than the file can hold", file,
                 name.c_str());
      continue;
    }
    if (at + QuvEntrySize + int64_t{QuvFrameRowSize} * frameCount > static_cast<int64_t>(size))
      Refuse(Format("In file \"%s\" : Stream read error", file));
    if (seen.insert(name).second) names.push_back(name);
  }
  if (!collected.empty()) Refuse(collected);
}

}  // namespace

std::vector<std::string> QuvImageNames(const uint8_t* data, size_t size,
                                       const std::string& fileName) {
  if (size == 0) Refuse(Format("File \"%s\" has a zero length", fileName.c_str()));
  if (size < static_cast<size_t>(QuvHeaderSize))
    Refuse(Format("In file \"%s\" : Stream read error", fileName.c_str()));
  const uint32_t version = ByteOrder::LoadU32(data);
  const auto count = static_cast<int32_t>(ByteOrder::LoadU32(data + 4));
  std::vector<std::string> names;
  if (version == QuvFormatVersion) {
    EntryNames(data, size, count, fileName, names);
    return names;
  }
  // Another version may still read; a first word of 0, or entries that give no image, is some
  // other kind of file under a Quv name.
  if (version != 0) {
    try {
      EntryNames(data, size, count, fileName, names);
    } catch (const EQuvFileError&) {
      if (!names.empty()) throw;
    }
  }
  if (names.empty()) {
    std::string shown = fileName;
    std::replace(shown.begin(), shown.end(), '\\', '/');
    Refuse(Format("\"%s\" is not a Quv file", shown.c_str()));
  }
  return names;
}
