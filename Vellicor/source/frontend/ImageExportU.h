#pragma once
// The exports of whole images, on the same front-end objects, padding origins and names as the
// frame exports: an image's frames as BMP, RGBA or indexed PNG files, as an animated GIF or PNG
// on the common hot-spot canvas of its frames, or as a sprite sheet with a JSON atlas. The
// format is an argument; its scale, columns and speed are the owner's FormatOptions. A frame
// that cannot be read is left out and named in the plan's failures.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ExportFormatU.h"
#include "FrameExportU.h"
#include "ImageLoaderU.h"
#include "PictureU.h"

// The per-frame name formats of a frame format.
const char* FrameNameFormatOf(TExportFormat format);
const char* SubFrameNameFormatOf(TExportFormat format);
// How many files an image export writes in a per-image format (the sheet has its atlas).
inline int32_t FilesPerImage(TExportFormat format) {
  return format == efSheet ? 2 : 1;
}

// The hot-spot canvas shared by frames first..last: the hot spot sits at (HotX, HotY), every
// frame's pixels start at (HotX - XOffset, HotY - YOffset) and fit inside. Loads the frames.
struct THotSpotCanvas {
  int32_t HotX = 0;
  int32_t HotY = 0;
  int32_t Width = 1;
  int32_t Height = 1;
};
// The frames of an export that can be read, with their indexes.
using TExportedFrames = std::vector<std::pair<int32_t, TFrontEndImageFrame*>>;
THotSpotCanvas CommonCanvas(TFrontEndImage& image, int32_t first, int32_t last,
                            const TExportedFrames& frames);

// Frames first..last as IMAGE.gif (efGif) or IMAGE.apng in folder.
void ExportAnimation(TExportPlan& plan, TFrontEndImage& image, TExportFormat format, int32_t first,
                     int32_t last, const std::string& folder);
// Frames first..last as IMAGE_sheet.png and its atlas IMAGE_sheet.json in folder.
void ExportSheet(TExportPlan& plan, TFrontEndImage& image, int32_t first, int32_t last,
                 const std::string& folder);

// The image in that format: frames first..last (or, for the frame formats with subFrames,
// every sub-frame of each), into folder.
void ExportImageFiles(TExportPlan& plan, TFrontEndImage& image, TExportFormat format, int32_t first,
                      int32_t last, bool subFrames, const std::string& folder);
