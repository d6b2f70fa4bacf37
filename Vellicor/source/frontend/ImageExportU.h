#pragma once
// The exports beyond BMP, on the same front-end objects, padding origins and names as the BMP
// exports: frames as RGBA or indexed PNG files, an image as an animated GIF or PNG on the
// common hot-spot canvas of its frames, or as a sprite sheet with a JSON atlas. The format and
// its options are the owner's FormatOptions.
#include <cstdint>
#include <string>

#include "ExportFormatU.h"
#include "ImageLoaderU.h"
#include "PictureU.h"

// Name formats of the PNG frame exports (image name, frame number, sub-frame number).
inline constexpr const char* PngFrameNameFormat = "%s_%s.png";
inline constexpr const char* PngSubFrameNameFormat = "%s_%s_%s.png";

// The per-frame name formats of a frame format.
const char* FrameNameFormatOf(TExportFormat format);
const char* SubFrameNameFormatOf(TExportFormat format);
// How many files an image export writes in a per-image format (the sheet has its atlas).
inline int32_t FilesPerImage(TExportFormat format) {
  return format == efSheet ? 2 : 1;
}

// A frame or sub-frame object's own pixels as palette indices; pixels its rows lack are the
// transparent index.
TPicture FrameIndices(const TFrontEndImageFrame& frame);
// One pixel of FrameIndices without the copy.
uint8_t FrameIndexAt(const TFrontEndImageFrame& frame, int32_t x, int32_t y);

// The hot-spot canvas shared by frames first..last: the hot spot sits at (HotX, HotY), every
// frame's pixels start at (HotX - XOffset, HotY - YOffset) and fit inside. Loads the frames.
struct THotSpotCanvas {
  int32_t HotX = 0;
  int32_t HotY = 0;
  int32_t Width = 1;
  int32_t Height = 1;
};
THotSpotCanvas CommonCanvas(TFrontEndImage& image, int32_t first, int32_t last);

// One frame or sub-frame object as a PNG (RGBA, or indexed for efPng8) padded like the BMP
// export to (padX, padY) when AutoPad is on, then scaled. The core of ExportFrameBitmap for
// those formats.
void ExportFramePicture(TFrontEndImage& image, const std::string& fileName,
                        TFrontEndImageFrame* frame, int32_t padX, int32_t padY);

// Frames first..last as IMAGE.gif or IMAGE.apng in folder.
void ExportAnimation(TFrontEndImage& image, int32_t first, int32_t last, const std::string& folder);
// Frames first..last as IMAGE_sheet.png and its atlas IMAGE_sheet.json in folder.
void ExportSheet(TFrontEndImage& image, int32_t first, int32_t last, const std::string& folder);

// The image in the owner's format: frames first..last (or, for the frame formats with
// subFrames, every sub-frame of each), into folder.
void ExportImageFiles(TFrontEndImage& image, int32_t first, int32_t last, bool subFrames,
                      const std::string& folder);
