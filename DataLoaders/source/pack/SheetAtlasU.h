#pragma once
// The JSON atlas beside a sprite sheet: per frame its cell in the sheet, where the frame's own
// pixels lie inside the cell, and the hot spot inside the cell; values as written, that is
// multiplied by the sheet's scale.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Atlas files larger than this are not read.
constexpr int64_t AtlasMaxFileSize = int64_t{64} << 20;

struct TAtlasRect {
  int32_t X = 0, Y = 0, W = 0, H = 0;
};

struct TAtlasFrame {
  std::string Name;  // "filename", may be empty
  TAtlasRect Cell;   // "frame"
  bool HasSource = false;
  TAtlasRect Source;  // "spriteSourceSize", inside the cell
  bool HasHotSpot = false;
  int32_t HotX = 0, HotY = 0;  // "hotspot", inside the cell
};

struct TSheetAtlas {
  std::string Image;  // "meta"."image", relative to the atlas's folder; may be empty
  int32_t Scale = 1;  // "meta"."scale"
  std::vector<TAtlasFrame> Frames;
};

// Parses an atlas; name is used in messages. Raises Exception naming the file for malformed
// JSON, missing or out-of-range fields, rotated frames and more frames than an image holds.
TSheetAtlas ParseSheetAtlas(std::string_view text, const std::string& name);
