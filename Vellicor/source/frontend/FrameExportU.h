#pragma once
// Helpers of the export routines of TFrontEndImage and TFrontEndImages (whose bodies live in
// FrameExportU.cpp): padding origins, number padding and the file-name formats. The files go
// through an export plan (ExportPlanU).
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "ExportPlanU.h"

class TImage;
class TImageFrame;

// A point of a padded picture: the padding origin, on which every padded picture of an export
// puts its hot spot, or the padding a picture gets on its left (X) and top (Y).
struct TPadOrigin {
  int32_t X = 0;
  int32_t Y = 0;
};

// The padding origin of frames first..last of an image (clamped to it), or of all its frames
// with wholeImage: their largest offsets, starting from 0, as the frames have them once
// composed (sub-frames that stick out of a frame's canvas grow it and move its hot spot with
// its pixels). Frames whose offsets depend on their composition are fetched for it.
TPadOrigin FramePaddingOrigin(TImage& image, int32_t first, int32_t last, bool wholeImage);
// The same for sub-frames first..last of a loaded frame, or all of them with wholeFrame.
TPadOrigin SubFramePaddingOrigin(TImageFrame& frame, int32_t first, int32_t last, bool wholeFrame);
// The columns and rows a frame's picture is padded with on the left and top to put its hot spot
// on the origin; never negative, so a padded picture is never smaller than its frame.
TPadOrigin PaddingFor(const TImageFrame& frame, TPadOrigin origin);

// The decimal index with leading zeros to as many digits as the decimal count has:
// (3, 12) -> "03", (7, 9) -> "7", (0, 100) -> "000".
std::string PadNumber(int32_t index, int32_t count);

// The name formats of folder exports: image name, frame number (and sub-frame number).
inline constexpr const char* FrameNameFormat = "%s_%s.bmp";
inline constexpr const char* SubFrameNameFormat = "%s_%s_%s.bmp";
inline constexpr const char* PngFrameNameFormat = "%s_%s.png";
inline constexpr const char* PngSubFrameNameFormat = "%s_%s_%s.png";

// Fills each "%s" of format with the next argument ("%%" is a percent sign; a missing argument
// is empty). Nothing else of format is interpreted, so any text is safe as a format.
std::string FillNameFormat(std::string_view format, std::initializer_list<std::string_view> args);

// An image name made safe as part of a file name: path separators become '_', so a name read
// from a file can never place an export outside its folder.
std::string FileNamePart(std::string_view name);

// File names for the wanted ones, in order, none the same as another with letter case ignored
// (as many file systems ignore it): the first of a name keeps it, a later one gets "~2", "~3",
// ... appended, the lowest that no name wanted or given before has ("sub_x", "sub_x~2").
std::vector<std::string> DistinctFileNames(const std::vector<std::string>& wanted);
