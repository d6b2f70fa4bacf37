#pragma once
// What a batch conversion (vellicor-cli convert, the viewer's batch export) makes of each Quv
// file: the chosen images' frames in the chosen format, drawn with the chosen palette, into a
// folder of its own that mirrors the file's place below one output folder; and the pieces the
// command line's single-file exports share with it.
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "BatchConvertU.h"
#include "BitmapU.h"
#include "ExportFormatU.h"
#include "ImageLoaderU.h"

class TExportPlan;
struct TQuvDocument;

struct TConvertSettings {
  TExportFormatOptions Format;          // format, scale, sheet columns, animation speed
  std::vector<std::string> ImageNames;  // empty: every image
  int32_t FirstFrame = 0;               // 0-based, inclusive
  int32_t LastFrame = INT32_MAX;
  bool SubFrames = false;       // the sub-frames of each frame (frame formats only)
  bool AutoPad = true;          // pad frames so that their hot spots line up
  bool SelectedOrigin = false;  // pad to the image's largest offsets, not the exported frames'
  TPixelFormat BmpFormat = pf24bit;
  TPalette Palette{};
  uint8_t TransparentIndex = BuiltInTransparentIndex;
};

// Padding and BMP pixel format for the file's exports; each frame's pixels go as soon as its
// files are written.
void ApplyExportSettings(const TConvertSettings& settings, TFrontEndImages& frontEnd);
// The named images (without regard to case, each once), or every image; every name is checked
// before the first file is written.
std::vector<TFrontEndImage*> ChosenImages(const std::vector<std::string>& names,
                                          TFrontEndImages& frontEnd);
// Makes folder and its parents; raises EInOutError "Cannot create folder ..." otherwise.
void PrepareExportFolder(const std::string& folder);
// The frames an export left out, one line each; raised (EImageFileError) once the others are
// written.
void RaiseExportFailures(const TExportPlan& plan);

// Exports the chosen images of one open Quv file into out, counting in written each file
// written (those before a failure too). Raises why it failed.
void ExportQuvFile(const TConvertSettings& settings, TQuvDocument& quv, const std::string& out,
                   int64_t& written);

// The whole batch: the output folder opened (made when missing; raises EDiskFileError), the
// inputs' files collected (CollectConvertItems) and each converted into its mirrored folder
// below out (never through a link), on control.Jobs threads.
TConvertReport ConvertQuvFiles(const std::vector<std::string>& inputs, bool recursive,
                               const TConvertSettings& settings, const std::string& out,
                               const TConvertControl& control);
