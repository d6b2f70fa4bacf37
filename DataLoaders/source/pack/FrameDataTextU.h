#pragma once
// Reading back the frame-data text files the frame-data export writes: an "Extended=" line with
// the type (0, 1 or 2), the column header, then one line per frame whose first field group is
// the frame's (offsets; sizes from type 1; the BMP name from type 2) and whose further groups,
// the sub-frames', are checked but not kept.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Frame-data files larger than this are not read.
constexpr int64_t FrameDataMaxFileSize = int64_t{16} << 20;

struct TFrameDataLine {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Width = 0;  // types 1 and 2
  int32_t Height = 0;
  std::string FileName;  // type 2
};

struct TFrameDataText {
  int32_t Type = 0;
  std::vector<TFrameDataLine> Lines;
};

// Raises Exception naming the file (name) and the line for anything malformed.
TFrameDataText ParseFrameDataText(std::string_view text, const std::string& name);
