#include "LoadMessagesU.h"

#include <array>
#include <string_view>

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
