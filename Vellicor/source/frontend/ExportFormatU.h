#pragma once
// The file formats of the exports and the options of the formats beyond BMP.
#include <cstdint>
#include <string>
#include <string_view>

enum TExportFormat : uint8_t { efBmp, efPng, efPng8, efGif, efApng, efSheet };

// "bmp", "png", "png8", "gif", "apng", "sheet".
const char* ExportFormatName(TExportFormat format);
// The format of that name (letter case ignored); false for any other name.
bool ExportFormatFromName(std::string_view name, TExportFormat& format);
// Formats that write one file per frame (and so know sub-frames), against one per image.
inline bool IsFrameFormat(TExportFormat format) {
  return format == efBmp || format == efPng || format == efPng8;
}
// The format of a one-file-per-frame export in the chosen format: a per-image format's frames
// are written as PNG.
inline TExportFormat FrameExportFormat(TExportFormat chosen) {
  return IsFrameFormat(chosen) ? chosen : efPng;
}

struct TExportFormatOptions {
  static constexpr int32_t MaxScale = 16;
  static constexpr int32_t DefaultSpeed = 67;  // ms, the viewer's default animation speed

  TExportFormat Format = efBmp;
  int32_t Scale = 1;               // every source pixel a Scale x Scale block (not for BMP)
  int32_t Columns = 0;             // of a sprite sheet; 0 chooses a near-square grid
  int32_t SpeedMs = DefaultSpeed;  // frame delay of animations and atlas durations
};
