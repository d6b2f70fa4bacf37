#include "CliPaletteU.h"

#include <memory>

#include "ImageLoaderU.h"
#include "StringUtilsU.h"

void InstallCliPalette(const std::string& paletteFile) {
  const std::string fileName = paletteFile.empty() ? "palette.pal" : paletteFile;
  IFileReaderRef reader;
  std::string problem;
  try {
    auto diskReader = std::make_shared<TSystemFileReader>(fileName);
    diskReader->Open(fmRead);
    reader = diskReader;
  } catch (const std::exception& e) {
    problem = e.what();
  }
  if (!paletteFile.empty()) {
    if (!reader) throw EInOutError(Format("Cannot read palette: %s", problem.c_str()));
    if (reader->GetSize() != 1024)
      throw Exception(Format("Palette \"%s\" is not a 1024-byte palette file", fileName.c_str()));
  }
  LoadPaletteFrom(reader);
}
