#pragma once
// The palette of the commands that draw or map colours: --palette FILE, else "palette.pal" in
// the current folder, else the built-in one.
#include <string>

// Installs it as the process palette (Palette, TransparentIndex). A given file must be a
// readable 1024-byte palette; the default file silently falls back.
void InstallCliPalette(const std::string& paletteFile);
