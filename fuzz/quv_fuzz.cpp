// libFuzzer target: a Quv file read from memory through a file system, as the viewer reads it:
// open it, fetch every frame and sub-frame, convert to colours.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ConsoleU.h"
#include "FileSystemU.h"
#include "LowLevelIO.h"
#include "MemoryFileReaderU.h"
#include "QuvManagerU.h"

namespace {

// Frames stay loaded until the collection goes: fetch frames only while the pixels they hold
// stay below this, so one input cannot add up many frames that are each within the reader's
// limits (and each run stays quick).
constexpr int64_t PixelsPerInput = int64_t{16} << 20;

int64_t Area(const TImageFrame& frame) {
  return int64_t{frame.Width} * frame.Height;
}

void Visit(TImageFrame& frame, int64_t& pixelsLeft, int depth) {
  const bool convert = Area(frame) <= pixelsLeft;
  pixelsLeft -= Area(frame);
  if (convert) frame.GetPixels();
  if (depth > 20) return;
  for (int32_t k = 0; k < frame.SubFrameCount; ++k) {
    if (TImageFrame* subFrame = frame.GetSubFrame(k)) Visit(*subFrame, pixelsLeft, depth + 1);
  }
}

void Setup() {
  // Growth reports and broken preconditions are expected here; they must not stop the run.
  Platform().AssertionHandler = [](bool, const std::string&, const TSourceLocation&) {};
  static TConsole console;
  console.Initialize();
  Console = &console;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (Setup(), true);
  (void)ready;
  TFileSystem fileSystem;
  AddMemoryFile(fileSystem, "fuzz.quv",
                std::make_shared<const std::vector<uint8_t>>(data, data + size));
  TQuvManager manager;
  manager.FileSystem = &fileSystem;
  manager.TransparentIndex = 9;
  manager.TrueColour = true;
  manager.Initialize();
  std::unique_ptr<TImageClass> images;
  try {
    images = manager.LoadFile("fuzz.quv");
  } catch (const Exception&) {
    return 0;
  }
  // What the frames keep stays bounded as a viewer's does; each load is bounded by the reader.
  images->PixelBudget = int64_t{64} << 20;
  int64_t pixelsLeft = PixelsPerInput;
  for (auto& image : images->Images) {
    for (int32_t i = 0; i < image->FrameCount && pixelsLeft > 0; ++i) {
      if (i < static_cast<int32_t>(image->Frames.size()) && image->Frames[i] &&
          Area(*image->Frames[i]) > pixelsLeft)
        continue;
      try {
        if (TImageFrame* frame = image->GetFrame(i)) Visit(*frame, pixelsLeft, 0);
      } catch (const Exception&) {
        // A bad frame ends its own load only; the next ones are still read.
      }
    }
  }
  Console->ClearComments();
  return 0;
}
