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

#include "ColourMapU.h"
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

// A frame of the file cannot be read, so the file's content cannot be: the image, the frame's
// 0-based index and the reader's own error (what() says all three).
class EQuvFrameReadError : public EImageFileError {
 public:
  EQuvFrameReadError(std::string imageName, int32_t frame, std::string reason);
  std::string ImageName;
  int32_t Frame;
  std::string Reason;
};

// Every image and frame of a loaded collection, sub-frames as they are stored. Raises
// EQuvFrameReadError when a frame cannot be read: a half-read frame is never saved as if it were
// whole.
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
// The visible pixels are those other than the transparent index; a wholly transparent frame
// stays as it is. Middles round down: a box of width W from column L has its middle at
// L + W / 2.
enum class TOffsetPreset {
  Centre,        // the middle of the visible pixels
  BottomCentre,  // the middle of their bottom edge, on their last row: feet on the ground
  // The top-left corner of the visible pixels where the previous frame with visible pixels has
  // its own, relative to the hot spot; frames before which none has any (frame 0) stay.
  Previous,
};
TQuvEdit ApplyOffsetPreset(const TQuvContent& content, size_t image, const TFrameList& frames,
                           TOffsetPreset preset);
// Parses "centre", "bottom-centre", "previous"; nullopt for anything else.
std::optional<TOffsetPreset> OffsetPresetNamed(const std::string& name);

// Cuts each frame to the box of its visible pixels; every visible pixel keeps its place
// relative to the hot spot. A wholly transparent frame stays as it is, and so does a composed
// frame: the reader grows a composition to hold each of its sub-frames whole, so a box smaller
// than theirs would not survive a reload.
TQuvEdit CropFrames(const TQuvContent& content, size_t image, const TFrameList& frames);

// Pictures become frames as the pack command makes them: colours mapped to the palette, the
// transparent colour and alpha below 128 to the transparent index.
struct TFramePicture {
  TSourcePicture Picture;
  std::optional<int32_t> XOffset;  // absent: the replaced frame's, or 0 for a new frame
  std::optional<int32_t> YOffset;
};
// A replaced frame (composed or not) becomes a plain frame of run-length rows.
TQuvEdit ReplaceFrame(const TQuvContent& content, size_t image, int32_t frame,
                      const TFramePicture& picture, const TPalette& palette);
// New frames at position at (0..FrameCount), in the order given. An image holds 1 to 65535
// frames.
TQuvEdit InsertFrames(const TQuvContent& content, size_t image, int32_t at,
                      const std::vector<TFramePicture>& pictures, const TPalette& palette);

// Copies follow the last of the frames duplicated.
TQuvEdit DuplicateFrames(const TQuvContent& content, size_t image, const TFrameList& frames);
// An image keeps at least one frame.
TQuvEdit DeleteFrames(const TQuvContent& content, size_t image, const TFrameList& frames);
// The frames, in their order, go before the frame that was at position to (FrameCount: the
// end), or, when that one moves too, before the first frame after it that stays.
TQuvEdit MoveFrames(const TQuvContent& content, size_t image, const TFrameList& frames, int32_t to);

// Names hold 1 to 31 bytes, none of them 0, and are unique without regard to case. A new image
// goes to the end of the file, a copy right after its original.
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
// Refuses a hot spot at x, y of frame index of image that the format cannot hold.
void CheckOffsets(const TQuvImageModel& image, size_t index, int64_t x, int64_t y);
// Moves the hot spot of frame index of image (in the edit's After) by dx, dy, its sub-frames
// along; refuses, before anything moves, an offset the format cannot hold.
void MoveFrameHotSpot(const TQuvImageModel& image, size_t index, TQuvFrameModel& frame, int64_t dx,
                      int64_t dy);
// The box of a frame's visible pixels, as columns and rows from its hot spot, both ends
// included; a composed frame's as the reader composes it. Nothing for a wholly transparent
// frame.
struct TVisibleBox {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};
std::optional<TVisibleBox> VisibleBox(const TQuvFrameModel& frame, uint8_t transparentIndex);
// A frame made from a picture: its hot spot where the picture says, else at (x, y);
// Compression 1. Refuses, naming the image and frame, a picture of a side outside 1..65535 or of
// more pixels than the reader takes.
TQuvFrameModel FrameOfPicture(const TFramePicture& picture, TColourMapper& mapper,
                              const TQuvImageModel& image, size_t frame, int32_t x, int32_t y);
// Refuses a frame count an image cannot have (0, or beyond its entry's 65535).
void CheckFrameCount(const TQuvImageModel& image, size_t count);
