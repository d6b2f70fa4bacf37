#include "LoadMessagesU.h"

#include <array>
#include <string_view>

#include "BitmapU.h"
#include "FileSystemU.h"
#include "QuvManagerU.h"
#include "StreamsU.h"
#include "StringUtilsU.h"

namespace {

struct TExplanation {
  std::string_view Marker;  // a piece of the message that identifies it
  std::string_view Sentence;
};

// The first marker found decides; more specific ones come first.
constexpr std::array Explanations = {
    TExplanation{"Stream read error",
                 "The file ends before its data does: it is cut short or not a Quv file."},
    TExplanation{"has a zero length", "The file is empty: it holds no bytes at all."},
    TExplanation{"Number Of entries",
                 "The file announces more images than it could hold: it is not a Quv file, or "
                 "its start is damaged."},
    TExplanation{"entry offset",
                 "An image entry points outside the file's list of images: the file is damaged."},
    TExplanation{"Unsupported Quv compression",
                 "A frame is stored in a way no Quv file uses: the file is damaged or of "
                 "another kind."},
    TExplanation{"Corrupted Quv frame data",
                 "The pixel data of a frame is damaged, so that frame cannot be drawn."},
    TExplanation{"Corrupted quv image",
                 "The pixel data of a frame is damaged, so that frame cannot be drawn."},
    TExplanation{"Range check error",
                 "A size or position in the file is impossible: the file is damaged or not a "
                 "Quv file."},
    TExplanation{"Can not find file path",
                 "A folder or archive on the way to the file does not exist (any more)."},
    TExplanation{"Could not find",
                 "The file is not there: it was moved, renamed or deleted, or the archive "
                 "does not hold it."},
    TExplanation{"HPI",
                 "The archive that holds the file cannot be read: it is damaged or not an HPI "
                 "archive."},
    TExplanation{"larger than the",
                 "A frame is larger than any sprite could be: the file is damaged."},
};

// The reader's frame errors, most specific first.
constexpr std::array FrameReasons = {
    TExplanation{"Invalid line length", "the run-length code runs past the row"},
    TExplanation{"Invalid scanline index", "a row's run-length code stops in the middle of a run"},
    TExplanation{"Corrupted quv image", "a row decodes to more pixels than the frame is wide"},
    TExplanation{"Unsupported Quv compression", "it is stored in a way no Quv file uses"},
    TExplanation{"refers back to a frame", "its sub-frames refer back to the frame itself"},
    TExplanation{"nested deeper than", "its sub-frames are nested too deeply"},
    TExplanation{"sub-frames at", "its sub-frame table runs past the end of the file"},
    TExplanation{"more sub-frames than", "it has more sub-frames than the file can hold"},
    TExplanation{"does not fit in the file", "its pixels run past the end of the file"},
    TExplanation{"larger than the", "it is larger than any sprite could be"},
    TExplanation{"needs more than", "it is larger than any sprite could be"},
    TExplanation{"too large", "it is larger than any sprite could be"},
    TExplanation{"has no pixels", "it is 0 pixels wide or high"},
    TExplanation{"Stream read error", "its data runs past the end of the file"},
    TExplanation{"Range check error", "a position in it lies outside the file"},
    TExplanation{"HPI", "the archive's data for it is damaged"},
};

constexpr std::array WarningMarkers = {
    std::string_view("Quv header version was"),
    std::string_view("has a null name"),
    std::string_view("has zero frames"),
    std::string_view("Duplicate Image"),
};

}  // namespace

std::string ExplainLoadError(const std::string& message) {
  for (const TExplanation& explanation : Explanations)
    if (message.find(explanation.Marker) != std::string::npos)
      return std::string(explanation.Sentence);
  return {};
}

bool IsLoadWarning(const std::string& message) {
  for (std::string_view marker : WarningMarkers)
    if (message.find(marker) != std::string::npos) return true;
  return false;
}

bool IsDataError(const std::exception& error) {
  return dynamic_cast<const EImageFileError*>(&error) ||
         dynamic_cast<const EStreamError*>(&error) || dynamic_cast<const ERangeError*>(&error) ||
         dynamic_cast<const ELibLoaderError*>(&error) || dynamic_cast<const EInOutError*>(&error) ||
         dynamic_cast<const EBitmapError*>(&error);
}

std::string FrameErrorReason(const std::string& message) {
  for (const TExplanation& reason : FrameReasons)
    if (message.find(reason.Marker) != std::string::npos) return std::string(reason.Sentence);
  return "its data is damaged";
}

std::string FrameErrorSentence(int frameIndex, const std::string& imageName,
                               const std::string& message) {
  return Format("Frame %d of \u2018%s\u2019 cannot be read: %s", frameIndex + 1, imageName.c_str(),
                FrameErrorReason(message).c_str());
}
