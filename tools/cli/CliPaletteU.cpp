#include "CliPaletteU.h"

#include <cstdint>
#include <span>
#include <string>

#include "ImageLoaderU.h"
#include "PaletteFileU.h"
#include "SafeFileU.h"

namespace {

constexpr size_t DefaultPaletteSize = 256 * 4;

// "palette.pal" here when it is a raw 1024-byte table, as the viewer reads it at start.
bool LoadDefaultPalette() {
  std::string bytes;
  try {
    bytes = ReadRegularFile("palette.pal", DefaultPaletteSize + 1);
  } catch (const std::exception&) {
    return false;  // missing or unreadable: the built-in palette, without a word
  }
  if (bytes.size() != DefaultPaletteSize) return false;
  Palette =
      ParsePaletteFile(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  return true;
}

void ApplyChosenIndex(const TCliPalette& palette) {
  if (palette.TransparentIndex >= 0) TransparentIndex = uint8_t(palette.TransparentIndex);
}

}  // namespace

void AddTransparentIndexOption(CLI::App* command, TCliPalette& palette) {
  command
      ->add_option("--transparent-index", palette.TransparentIndex,
                   "palette index of empty pixels, 0 to 255 (default: 0 with a palette file, 9 "
                   "with the built-in palette)")
      ->check(CLI::Range(0, 255));
}

void AddPaletteOptions(CLI::App* command, TCliPalette& palette) {
  command->add_option("--palette", palette.File,
                      "palette file: raw 256 x 4 or 256 x 3 bytes, JASC-PAL or GIMP (default: "
                      "palette.pal here, else built in)");
  AddTransparentIndexOption(command, palette);
}

void InstallCliPalette(const TCliPalette& palette) {
  if (!palette.File.empty()) {
    Palette = ReadPaletteFile(palette.File);
    TransparentIndex = PaletteFileTransparentIndex;
  } else if (LoadDefaultPalette()) {
    TransparentIndex = PaletteFileTransparentIndex;
  } else {
    LoadPaletteFrom(nullptr);
  }
  ApplyChosenIndex(palette);
}

void InstallBuiltInPalette(const TCliPalette& palette) {
  LoadPaletteFrom(nullptr);
  ApplyChosenIndex(palette);
}
