#pragma once
// Helpers of the export routines of TFrontEndImage and TFrontEndImages (whose bodies live in
// FrameExportU.cpp): number padding, the file-name formats and whole-file writing.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

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

// Writes the whole file under a temporary name in the target folder and renames it into place
// only when complete, so a failed write leaves no partial file and an existing file of that
// name intact. Raises EInOutError "Cannot create file "%s". %s" on failure.
void WriteWholeFile(const std::string& fileName, const void* data, size_t size);

// While one lives, the names of the files WriteWholeFile completes on this thread are kept in
// it (a command's exports report how many files they wrote and where).
class TExportRecord {
 public:
  TExportRecord();
  ~TExportRecord();
  TExportRecord(const TExportRecord&) = delete;
  TExportRecord& operator=(const TExportRecord&) = delete;
  const std::vector<std::string>& Files() const { return FFiles; }

 private:
  friend void WriteWholeFile(const std::string&, const void*, size_t);
  std::vector<std::string> FFiles;
  std::unordered_set<std::string> FSeen;
  TExportRecord* FOuter;
};

// While one lives, the export routines on this thread neither encode nor write anything: they
// only name in Files() what they would write, so that a command can ask before it replaces
// files.
class TExportPlan {
 public:
  TExportPlan();
  ~TExportPlan();
  TExportPlan(const TExportPlan&) = delete;
  TExportPlan& operator=(const TExportPlan&) = delete;
  const std::vector<std::string>& Files() const { return FFiles; }

 private:
  friend bool PlannedOnly(std::initializer_list<std::string_view> fileNames);
  std::vector<std::string> FFiles;
  TExportPlan* FOuter;
};

// Under a plan: adds the names to it and is true, and the caller writes nothing; otherwise false.
bool PlannedOnly(std::initializer_list<std::string_view> fileNames);

// The files the routine's exports would write, in order, each once; nothing is written.
std::vector<std::string> PlannedExportFiles(const std::function<void()>& routine);
// Those of the names that are there already on disk, in order.
std::vector<std::string> ExistingFiles(const std::vector<std::string>& fileNames);
