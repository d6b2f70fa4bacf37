#pragma once
// Building a Quv file back from exported pictures. A source is a sprite sheet with its JSON
// atlas, a folder of frame files IMAGE_FRAME.png|bmp beside IMAGE_Data.txt, or one picture for
// a one-frame image. Every frame gets back its size and hot spot from the atlas or the frame
// data; only where neither gives them is the frame cut to its non-transparent pixels, and a
// warning says so. All the frames of one pack together hold at most QuvMaxFramePixels pixels,
// the most the reader composes for one frame; more is refused before it is allocated.
#include <cstdint>
#include <string>
#include <vector>

#include "ColourMapU.h"
#include "FrameDataTextU.h"
#include "QuvModelU.h"

// A folder source may hold at most this many entries.
constexpr size_t PackMaxFolderEntries = 65535;
// The longest image name a Quv entry holds.
constexpr size_t PackMaxNameLength = 31;

// "NAME=PATH" names the image; a plain PATH takes the name from the file names.
struct TPackSource {
  std::string Name;
  std::string Path;
};
TPackSource ParsePackSource(const std::string& argument);

struct TPackOptions {
  bool Raw = false;     // raw rows instead of run-length rows
  bool Strict = false;  // a colour without an exact palette entry is an error
};

class TQuvPacker {
 public:
  TQuvPacker(const TPalette& palette, uint8_t transparentIndex, const TPackOptions& options);

  // Reads one source into the next image. Raises Exception naming the file at fault.
  void Add(const TPackSource& source);

  const std::vector<TQuvImageModel>& Images() const { return FImages; }
  const std::vector<std::string>& Warnings() const { return FWarnings; }
  // The whole Quv file of the images, in the order added.
  std::vector<uint8_t> Build() const;

 private:
  struct TRegion {
    int32_t X = 0, Y = 0, W = 0, H = 0;
  };
  TQuvImageModel& NewImage(const std::string& name, const std::string& source);
  void AddSheet(const std::string& name, const std::string& atlasFile);
  // A folder's frame files of one image, by number.
  using TFrameFileList = std::vector<std::pair<int64_t, std::string>>;
  void AddFolder(const std::string& name, const std::string& folder);
  // The frame data beside a folder's frames (none, with a warning, when the file is absent).
  TFrameDataText ReadFolderFrameData(const std::string& dataFile, const std::string& folder,
                                     const std::string& name, size_t frameFiles);
  // Reads the frame files into the image's frames; returns how many were cut.
  int32_t AddFrameFiles(TQuvImageModel& image, const TFrameFileList& files,
                        const TFrameDataText& data, const std::string& dataFile);
  void AddPicture(const std::string& name, const std::string& file);
  // The frame of the region's pixels whose hot spot lies at (hotX, hotY) of the picture. With
  // cut, the region first shrinks to its non-transparent pixels.
  TQuvFrameModel MakeFrame(const TSourcePicture& picture, TRegion region, int32_t hotX,
                           int32_t hotY, bool cut, const std::string& file, int32_t index);
  void Finish(const TQuvImageModel& image, int32_t cutFrames, const std::string& source);
  // Raises, naming the image being read and source, when pixels more than fit what is left.
  void CheckPixels(int64_t pixels, const std::string& source) const;

  TColourMapper FMapper;
  uint8_t FTransparent;
  TPackOptions FOptions;
  std::vector<TQuvImageModel> FImages;
  std::vector<std::string> FWarnings;
  // Pixels that took the nearest colour, per frame of the image being read.
  std::vector<std::pair<int32_t, int64_t>> FMoved;
  // Of the frame pixels one pack may build, those not yet taken.
  int64_t FPixelsLeft;
};
