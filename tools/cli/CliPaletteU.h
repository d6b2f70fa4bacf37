#pragma once
// The palette of the commands that draw or map colours: --palette FILE (any palette file the
// viewer loads: a raw table of 256 four-byte or three-byte entries, JASC-PAL or GIMP), else
// "palette.pal" in the current folder (a raw 1024-byte table), else the built-in one; and
// --transparent-index N, the index that means an empty pixel: 0 with a palette file, 9 with
// the built-in palette unless given.
#include <CLI/CLI.hpp>
#include <string>

struct TCliPalette {
  std::string File;
  int TransparentIndex = -1;  // -1: by the palette in use
};

// --palette and --transparent-index.
void AddPaletteOptions(CLI::App* command, TCliPalette& palette);
// --transparent-index alone, for a command that draws with the built-in palette only.
void AddTransparentIndexOption(CLI::App* command, TCliPalette& palette);

// Installs it as the process palette (Palette, TransparentIndex). A given file must read as a
// palette (its error names it); the default file silently falls back.
void InstallCliPalette(const TCliPalette& palette);
// The built-in palette, whatever palette.pal lies in the current folder.
void InstallBuiltInPalette(const TCliPalette& palette);
