#pragma once
// Changing a Quv file's content: hot spots, crops, frames replaced from pictures, frames and
// images added, moved and removed. An operation never touches the content it is given: it works
// out an edit (the images it replaces, before and after) or refuses with EQuvEditError, so that
// applying and reverting an edit is all an undo stack needs, and the viewer and the command-line
// tool share every rule.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ExceptionsU.h"
#include "ImageManagerU.h"
#include "PictureReaderU.h"
#include "QuvModelU.h"

// An edit the format cannot hold, or that names what is not there.
class EQuvEditError : public Exception {
 public:
  using Exception::Exception;
};

// Everything a Quv file holds, in file order.
struct TQuvContent {
  std::vector<TQuvImageModel> Images;
  // The index that reads as transparent: what a crop looks through and what a picture's
  // transparent pixels become.
  uint8_t TransparentIndex = 9;
};

// Every image and frame of a loaded collection, sub-frames as they are stored. Raises
// EImageFileError with the frame's own sentence when a frame cannot be read: a half-read frame
// is never saved as if it were whole.
TQuvContent ReadQuvContent(TImageClass& collection, uint8_t transparentIndex);
// The file's bytes; each frame keeps its own compression.
std::vector<uint8_t> EncodeQuvContent(const TQuvContent& content);

// Images [First, First + Before.size()) of the content become After.
struct TQuvEdit {
  std::string Name;  // what the edit did, for an undo menu ("Shift Offsets")
  size_t First = 0;
  std::vector<TQuvImageModel> Before;
  std::vector<TQuvImageModel> After;
};
void ApplyEdit(TQuvContent& content, const TQuvEdit& edit);
void RevertEdit(TQuvContent& content, const TQuvEdit& edit);

// Frames of one image, by index from 0; an empty list means every frame of the image. Indices
// outside the image are refused.
using TFrameList = std::vector<int32_t>;

// The image of that name (without regard to case), or EQuvEditError naming it.
size_t FindImage(const TQuvContent& content, const std::string& name);

// Hot spots. A composed frame's sub-frames move with it, so what a frame shows never changes.
// X and Y apart (a paste of one coordinate) when the other is absent.
TQuvEdit SetOffsets(const TQuvContent& content, size_t image, const TFrameList& frames,
                    std::optional<int32_t> x, std::optional<int32_t> y);
TQuvEdit ShiftOffsets(const TQuvContent& content, size_t image, const TFrameList& frames,
                      int32_t dx, int32_t dy);
enum class TOffsetPreset {
  Centre,        // the middle of the visible pixels
  BottomCentre,  // the middle of their bottom edge: feet on the ground
  Previous,      // visible pixels where the previous frame has its own (the first frame stays)
};
TQuvEdit ApplyOffsetPreset(const TQuvContent& content, size_t image, const TFrameList& frames,
                           TOffsetPreset preset);
// Parses "centre", "bottom-centre", "previous"; nullopt for anything else.
std::optional<TOffsetPreset> OffsetPresetNamed(const std::string& name);

// Cuts each frame to the box of its visible pixels; every visible pixel keeps its place
// relative to the hot spot. A wholly transparent frame stays as it is.
TQuvEdit CropFrames(const TQuvContent& content, size_t image, const TFrameList& frames);

// Pictures become frames as the pack command makes them: colours mapped to the palette, the
// transparent colour and alpha below 128 to the transparent index.
struct TFramePicture {
  TSourcePicture Picture;
  std::optional<int32_t> XOffset;  // absent: the replaced frame's, or 0 for a new frame
  std::optional<int32_t> YOffset;
};
TQuvEdit ReplaceFrame(const TQuvContent& content, size_t image, int32_t frame,
                      const TFramePicture& picture, const TPalette& palette);
// New frames at position at (0..FrameCount), in the order given.
TQuvEdit InsertFrames(const TQuvContent& content, size_t image, int32_t at,
                      const std::vector<TFramePicture>& pictures, const TPalette& palette);

// Copies follow the last of the frames duplicated.
TQuvEdit DuplicateFrames(const TQuvContent& content, size_t image, const TFrameList& frames);
// An image keeps at least one frame.
TQuvEdit DeleteFrames(const TQuvContent& content, size_t image, const TFrameList& frames);
// The frames, in their order, go before the frame that was at position to (FrameCount: the
// end).
TQuvEdit MoveFrames(const TQuvContent& content, size_t image, const TFrameList& frames, int32_t to);

// Names hold 1 to 31 bytes and are unique without regard to case.
TQuvEdit AddImage(const TQuvContent& content, const std::string& name,
                  const std::vector<TFramePicture>& pictures, const TPalette& palette);
TQuvEdit RenameImage(const TQuvContent& content, size_t image, const std::string& name);
TQuvEdit DuplicateImage(const TQuvContent& content, size_t image, const std::string& name);
// A file keeps at least one image.
TQuvEdit DeleteImage(const TQuvContent& content, size_t image);

// ---- For the operations' own units ----

// The frames an operation works on: sorted, without repeats, every frame for an empty list.
// Raises EQuvEditError for an image or frame that is not there.
std::vector<size_t> ResolveFrames(const TQuvContent& content, size_t image,
                                  const TFrameList& frames);
// An edit of one image whose After starts as a copy of Before.
TQuvEdit ImageEdit(const TQuvContent& content, size_t image, std::string name);
