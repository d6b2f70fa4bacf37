#pragma once
// The process palette and the front-end objects of one open file: per file a TFrontEndImages,
// per named image a TFrontEndImage, per frame and sub-frame a TFrontEndImageFrame that gathers
// its frame's pixels on first use and keeps them. Objects are made on first request.
//
// The export routines of TFrontEndImage and TFrontEndImages live in FrameExportU.cpp.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "BitmapU.h"
#include "ExportFormatU.h"
#include "FramePixelsU.h"
#include "ImageManagerU.h"

class TExportPlan;
class TFileSystem;
class TFrontEndImages;
class TFrontEndImage;

// The process palette of the command-line tool (red, green, blue, a fourth byte per entry) and
// the index of the colour that means an empty pixel; a collection without a manager of its own
// draws with them. The viewer holds its palette in a model of its own.
extern TPalette Palette;
extern uint8_t TransparentIndex;

// The palette used when no palette file is usable (fourth bytes 0).
const TPalette& BuiltInPalette();
// The index that means an empty pixel unless the user chooses another: entry 9 of the built-in
// palette, entry 0 of a palette file.
inline constexpr uint8_t BuiltInTransparentIndex = 9;
inline constexpr uint8_t PaletteFileTransparentIndex = 0;

// Loads a raw 1024-byte palette through the file system (the default one when none is given).
// A missing file, or one of any other size, installs the built-in palette with transparent
// index 9 and returns false. A loaded palette gets fourth byte 255 everywhere but entries 0 and
// 9 (0) and 10 (100). A read error after a successful open is raised.
bool LoadPalette(const std::string& fileName, TFileSystem* fileSystem = nullptr);
// The same for an already opened reader (null: the fall-back). The reader is closed.
bool LoadPaletteFrom(const IFileReaderRef& reader);
// The palette of a raw 1024-byte file with the fourth bytes LoadPalette gives, into `palette`;
// false (and `palette` untouched) without a reader or for a file of any other size. The reader
// is closed; a read error after a successful open is raised.
bool ReadRawPalette(const IFileReaderRef& reader, TPalette& palette);

// A frame's BMP file name for a data file's "ImageName" column: (collection frame or sub-frame,
// frame index, sub-frame index or -1 for the frame itself) -> name without folder.
using TFrameNameSource =
    std::function<std::string(TImageFrame* frame, int32_t frameIndex, int32_t subFrameIndex)>;

class TFrontEndImageFrame {
 public:
  TFrontEndImageFrame(TFrontEndImage* owner, TImageFrame* frame, int32_t nextIndex);
  TFrontEndImageFrame(const TFrontEndImageFrame&) = delete;
  TFrontEndImageFrame& operator=(const TFrontEndImageFrame&) = delete;

  // Sub-frame i, made on first request; "Index out of bounds" outside 0..SubFrameCount-1.
  TFrontEndImageFrame* GetSubFrame(int32_t index);
  // The frame's pixels, unmirrored, in the collection's palette; gathered once and kept until
  // the collection releases the frame's rows to stay within its budget (the frame is then
  // decoded again). Raises EImageFileError with the frame's sentence ("Frame 4 of ‘tank’ cannot
  // be read: ...", after the file's name) when its load failed: what was read of it is never
  // shown or written as the frame.
  const TFramePixels& GetPixels();
  bool ArePixelsGathered() const { return Pixels != nullptr; }

  int32_t NextIndex;
  TFrontEndImage* Owner;
  TImageFrame* Frame;  // not owned
  std::unique_ptr<TFramePixels> Pixels;
  int32_t CurrentSubFrame = 0;
  int32_t SubFrameCount = 0;
  std::vector<std::unique_ptr<TFrontEndImageFrame>> SubFrames;
};

class TFrontEndImage {
 public:
  // Raises "Image "%s" does not exist in %s" when the collection lacks the name.
  TFrontEndImage(TFrontEndImages* owner, const std::string& name);
  TFrontEndImage(const TFrontEndImage&) = delete;
  TFrontEndImage& operator=(const TFrontEndImage&) = delete;

  // Frame i, made on first request, its rows read again when the collection released them;
  // null outside 0..FrameCount-1.
  TFrontEndImageFrame* GetFrame(int32_t index);
  bool IsFrameCreated(int32_t index) const;

  // What the image's export files are called before their numbers and extensions ("sub/x"
  // gives "sub_x_0.bmp", "sub_x.gif"), and the name of its frame-data file when an export of
  // several images names it ("arm.fire" gives "arm.txt"). No two images of the file share one:
  // see TFrontEndImages::ExportFileNames.
  std::string ExportName() const;
  std::string DataFileName() const;
  // The name a frame (subFrameIndex -1) or sub-frame gets in a folder export.
  std::string FrameFileName(int32_t frameIndex, int32_t subFrameIndex) const;
  // FrameFileName as a name source.
  TFrameNameSource DefaultNameSource() const;

  // ---- Exports (FrameExportU.cpp). Frame and sub-frame indexes are 0-based. ----
  // Each export writes its files through the plan (or only names them, in a dry run), in the
  // given format where it writes frames (BMP, PNG or indexed PNG). A frame that cannot be read
  // is left out and named in the plan's failures; the other frames are still written.
  //
  // One frame or sub-frame object as a picture file, padded to the origin (padX, padY) when the
  // owner's AutoPad is on. The file appears only when complete; an existing file of that name
  // is replaced then, and kept when the export fails.
  void ExportFrameBitmap(TExportPlan& plan, TExportFormat format, const std::string& fileName,
                         TFrontEndImageFrame* frame, int32_t padX, int32_t padY);
  void ExportCurrentFrame(TExportPlan& plan, TExportFormat format, const std::string& fileName);
  void ExportCurrentSubFrame(TExportPlan& plan, TExportFormat format, int32_t subFrameIndex,
                             const std::string& fileName);
  // nameFormat is "%s_%s.bmp" or "%s_%s_%s.bmp" (image name, frame number, sub-frame number).
  void ExportFrameRange(TExportPlan& plan, TExportFormat format, int32_t first, int32_t last,
                        const std::string& nameFormat, const std::string& folder);
  void ExportSubFrameRange(TExportPlan& plan, TExportFormat format, int32_t first, int32_t last,
                           const std::string& nameFormat, const std::string& folder);
  void ExportImageSubFrameRange(TExportPlan& plan, TExportFormat format, int32_t firstFrame,
                                int32_t lastFrame, const std::string& nameFormat,
                                const std::string& folder, int32_t firstSubFrame,
                                int32_t lastSubFrame);
  // The frame-data files; the bitmaps that go with them are BMP files.
  void WriteFrameData(TExportPlan& plan, const std::string& fileName, const std::string& folder,
                      const TFrameNameSource& nameSource, int32_t frameIndex);
  void WriteFramesData(TExportPlan& plan, int32_t first, int32_t last,
                       const TFrameNameSource& nameSource, const std::string& folder,
                       const std::string& fileName);
  // One field group of a frame-data line; with writeBitmap the object's BMP is written into
  // folder under the name from nameSource.
  std::string FrameDataLine(TExportPlan& plan, TFrontEndImageFrame* frame, int32_t padX,
                            int32_t padY, const std::string& folder, bool writeBitmap,
                            const TFrameNameSource& nameSource, int32_t subFrameIndex,
                            int32_t frameIndex);
  // The padding origin of frames first..last that every export shares.
  void ExportOrigin(int32_t first, int32_t last, int32_t& padX, int32_t& padY) const;
  // Frame i for an export: null, with the reason in the plan's failures, when it cannot be read
  // (or is outside the image).
  TFrontEndImageFrame* ExportedFrame(TExportPlan& plan, int32_t index);

  TFrontEndImages* Owner;
  TImage* Image;  // not owned
  std::string Name;
  int32_t CurrentFrame = 0;
  int32_t FrameCount = 1;
  std::vector<std::unique_ptr<TFrontEndImageFrame>> Frames;

 private:
  // The padding origin of frames first..last (clamped to the image): the image's largest
  // offsets, or with selectedOnly the largest of those frames, starting from 0.
  void FrameRangeOrigin(int32_t first, int32_t last, int32_t& padX, int32_t& padY) const;
  std::string FrameDataText(TExportPlan& plan, int32_t first, int32_t last, int32_t padX,
                            int32_t padY, const TFrameNameSource& nameSource,
                            const std::string& folder);
  // The frame's files are written: with the owner's ReleaseWrittenFrames its pixels go.
  void Written(TFrontEndImageFrame* frame);
};

// The names of an image's export files (FrameExportU.cpp).
struct TExportFileNames {
  std::string Stem;      // before the frame numbers and extensions
  std::string DataFile;  // of its frame data, with its extension
};

class TFrontEndImages {
 public:
  explicit TFrontEndImages(TImageClass* images);
  TFrontEndImages(const TFrontEndImages&) = delete;
  TFrontEndImages& operator=(const TFrontEndImages&) = delete;
  ~TFrontEndImages();

  // The object made for that name (letter case ignored), or a new one; raises the
  // TFrontEndImage error for a name the collection lacks, and then keeps nothing.
  TFrontEndImage* GetImage(const std::string& name);
  // The image at that position of the collection (name order); null outside the range.
  TFrontEndImage* GetImage(int32_t index);

  // The collection's palette changed: every frame is converted again and its pixels gathered
  // anew on their next request (OnPixelsReleased is told of each frame object that drops them).
  void Recolour();
  // The collection draws with this palette and empty index from now on. When the index
  // changed, the frames decoded so far are read again (their empty pixels are decoded as the
  // index), so that they hold what a fresh open of the file gives; otherwise they are recoloured.
  void SetPalette(const TPalette& palette, uint8_t transparentIndex);

  // Every image, last to first, all frames, into folder.
  void ExportAllImages(TExportPlan& plan, TExportFormat format, const std::string& folder,
                       const std::string& nameFormat);
  // The palette and empty index the frames' pixels are drawn with: the collection's.
  const TPalette& PixelPalette() const;
  uint8_t PixelTransparentIndex() const;
  // A data error of the file as the user is told it: the message after the file's name.
  std::string FileError(const std::string& message) const;
  // The names of the image's export files, decided once for all images of the collection in
  // file order: an image whose name gives the same file name as an earlier one's, letter case
  // ignored ("sub/x", then "sub_x"), gets "~2", "~3", ... ("sub_x~2"). So one image's files
  // never replace another's, whichever images an export takes, and a frame-data file names the
  // bitmaps of its own image also when they were written by another export.
  const TExportFileNames& ExportFileNames(const TImage* image);

  TImageClass* Images;  // not owned
  int32_t ImageCount = 0;

  // Export options.
  TPixelFormat ExportPixelFormat = pf24bit;
  bool ExportFrameWhenExportFrameData = false;
  uint8_t FrameDataExportType = 0;
  bool AutoPad = false;
  bool AutoPadUsingSelectedFrames = false;
  // The export format the user chose (each export is given the format it writes), with the
  // scale, sheet columns and speed that every export takes from here.
  TExportFormatOptions FormatOptions;
  // Told the name of every file an export has finished (for progress displays).
  std::function<void(const std::string& fileName)> OnFileWritten;
  // Exports give a frame's decoded pixels back to the collection once its files are written
  // (for tools that go through a file once; a viewer keeps them for showing).
  bool ReleaseWrittenFrames = false;
  // Told of each frame object whose pixels go because the collection released its rows.
  std::function<void(TFrontEndImageFrame* frame)> OnPixelsReleased;

 private:
  void FrameReleased(TImageFrame* frame);
  void DropPixels(TFrontEndImageFrame* frame);

  std::vector<std::unique_ptr<TFrontEndImage>> FImageList;
  TNameIndex<TFrontEndImage> FNames;
  std::unordered_map<const TImage*, TExportFileNames> FExportNames;
  size_t FExportNamesFor = 0;  // the collection's image count they were decided for
};
