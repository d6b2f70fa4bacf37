#include "FrameDataTextU.h"

#include "ExceptionsU.h"
#include "StringUtilsU.h"

namespace {

constexpr size_t MaxFrames = 65535;

std::vector<std::string_view> Split(std::string_view line, char separator) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t end = line.find(separator, start);
    parts.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

bool ParseInt(std::string_view text, int32_t& value) {
  int64_t parsed = 0;
  if (!TryStrToInt(std::string(text), parsed) || parsed < INT32_MIN || parsed > INT32_MAX)
    return false;
  value = int32_t(parsed);
  return true;
}

}  // namespace

TFrameDataText ParseFrameDataText(std::string_view text, const std::string& name) {
  const auto error = [&](size_t line, const std::string& what) {
    return Exception(Format("Frame data \"%s\", line %zu: %s", name.c_str(), line, what.c_str()));
  };
  std::vector<std::string_view> lines = Split(text, '\n');
  for (std::string_view& line : lines)
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  while (!lines.empty() && lines.back().empty()) lines.pop_back();

  TFrameDataText data;
  constexpr std::string_view extended = "Extended=";
  if (lines.empty() || lines[0].substr(0, extended.size()) != extended ||
      !ParseInt(lines[0].substr(extended.size()), data.Type) || data.Type < 0 || data.Type > 2)
    throw error(1, "expected \"Extended=0\", \"Extended=1\" or \"Extended=2\"");
  static const char* const headers[] = {"XOffset,YOffset", "XOffset,YOffset,Width,Height",
                                        "XOffset,YOffset,Width,Height,ImageName"};
  if (lines.size() < 2 || lines[1] != headers[data.Type])
    throw error(2, Format("expected the header \"%s\"", headers[data.Type]));
  if (lines.size() - 2 > MaxFrames)
    throw error(MaxFrames + 3, Format("more than %zu frames", MaxFrames));

  const size_t group = data.Type == 0 ? 2 : data.Type == 1 ? 4 : 5;
  for (size_t n = 2; n < lines.size(); ++n) {
    const std::vector<std::string_view> fields = Split(lines[n], ',');
    if (fields.size() % group != 0)
      throw error(n + 1, Format("%zu fields; each group has %zu", fields.size(), group));
    TFrameDataLine line;
    for (size_t i = 0; i < fields.size(); ++i) {
      int32_t value = 0;
      const bool isName = group == 5 && i % group == 4;
      if (isName) {
        if (fields[i].empty()) throw error(n + 1, "empty file name");
      } else if (!ParseInt(fields[i], value)) {
        throw error(n + 1, Format("\"%s\" is not a number", std::string(fields[i]).c_str()));
      } else if (i % group >= 2 && (value < 1 || value > 65535)) {
        throw error(n + 1, Format("size %d is outside 1 to 65535", value));
      }
      if (i >= group) continue;
      switch (i) {
        case 0:
          line.X = value;
          break;
        case 1:
          line.Y = value;
          break;
        case 2:
          line.Width = value;
          break;
        case 3:
          line.Height = value;
          break;
        default:
          line.FileName = std::string(fields[i]);
      }
    }
    data.Lines.push_back(std::move(line));
  }
  return data;
}
