// libFuzzer target: the readers that pack takes its input through. The first byte chooses the
// reader: a sprite-sheet atlas, a frame-data text file, or a picture (PNG or BMP).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ExceptionsU.h"
#include "FrameDataTextU.h"
#include "PictureReaderU.h"
#include "SheetAtlasU.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    switch (data[0] % 3) {
      case 0:
        ParseSheetAtlas(text, "fuzz.json");
        break;
      case 1:
        ParseFrameDataText(text, "fuzz_Data.txt");
        break;
      default:
        DecodePicture(std::vector<uint8_t>(data + 1, data + size), "fuzz.png");
    }
  } catch (const Exception&) {
    // Refusals are the expected answer to most inputs.
  }
  return 0;
}
