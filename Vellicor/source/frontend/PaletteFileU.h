#pragma once
// Palette files a user may choose for the viewer: a raw table of 256 four-byte entries (the
// layout of "palette.pal"), a raw table of 256 red-green-blue triples, a JASC-PAL text palette
// and a GIMP palette (.gpl). Each gives exactly 256 colours; the fourth bytes follow the rule
// of a loaded "palette.pal".
#include <cstdint>
#include <span>
#include <string>

#include "ImageManagerU.h"

// The most a palette file may hold: text palettes carry names and comments, but not this much.
constexpr int64_t MaxPaletteFileSize = int64_t{1} << 20;

// The palette in `bytes`, or an error whose message says what is wrong with them.
TPalette ParsePaletteFile(std::span<const uint8_t> bytes);
// The palette in the named file; errors name the file.
TPalette ReadPaletteFile(const std::string& fileName);

// The fourth byte of a loaded palette: opaque everywhere but for the entries that mean an
// empty pixel (0 and 9 get 0, 10 gets 100).
void SetLoadedFourthBytes(TPalette& palette);
