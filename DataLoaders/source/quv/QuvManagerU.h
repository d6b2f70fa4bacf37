#pragma once
// The Quv sprite format: a manager, a collection per file, its named images and their frames,
// read lazily (headers on open, pixel rows and sub-frames on a frame's first fetch).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ImageManagerU.h"

// A Quv file breaks the format.
class EQuvFileError : public EImageFileError {
 public:
  using EImageFileError::EImageFileError;
};

class TQuvImages;

class TQuvManager : public TImageManager {
 public:
  TQuvManager() = default;
  ~TQuvManager() override;

  std::string GetName() const override { return "Quv file manager"; }
  std::unique_ptr<TImageClass> LoadFile(const std::string& fileName) override;
  std::unique_ptr<TImageClass> CreateClass(const std::string& name) override;

  // How frames are written: 0 raw, 1 run-length, 2 run-length with empty rows for wholly
  // transparent rows, any other value keeps each frame's own Compression.
  uint8_t CompressionMode = 0;
};

class TQuvImages : public TImageClass {
 public:
  TQuvImages(std::string name, int32_t capacity, TImageManager* manager);
  ~TQuvImages() override;

  TImage* ImageNotFound(const std::string& name) override { return nullptr; }
  std::unique_ptr<TImage> CreateImage(const std::string& name, int32_t frameCount) override;
  void LoadFrame(const TLoadRoutine& routine, TImageFrame* frame) override;
  // The collection's own file comes from the reader kept open since the header was read, so a
  // frame load's Open and Close only count; any other name from the file system.
  IFileReaderRef OpenReader(const std::string& fileName) override;

  // Reads the file header, the entry offset table and every entry. Errors of single entries are
  // collected and raised together after the last entry. A file of another format version whose
  // first word is 0, or that gives no image, raises ""NAME" is not a Quv file".
  void LoadHeader(IFileReader& reader);
  // Reads one 40-byte entry at entryOffset, creates its image and reads its frame headers.
  void LoadEntry(IFileReader& reader, int64_t entryOffset);

  // The reader of the file while a load runs; after a failed load until the next one.
  IFileReaderRef Reader;
  // The file's reader, held open (one count) from a successful header load to the collection's
  // end: one system open per loaded collection, however many frames are fetched.
  IFileReaderRef KeptReader;

 private:
  // The entry offset table (ImageEntryCount from the header's second word) and every entry.
  void LoadEntries(IFileReader& reader, uint32_t countField);

  int32_t FEntryCount = 0;     // ImageEntryCount of the file being loaded
  int64_t FFrameRowsRead = 0;  // frame-table rows read so far while the header loads
};

class TQuvImage : public TImage {
 public:
  using TImage::TImage;

  std::unique_ptr<TImageFrame> CreateFrame(int32_t index) override;
  // Reads the frame table at the reader's position and every frame header.
  void LoadFromReader(IFileReader& reader) override;
  // Writes the frame table, the frame headers and every frame's data at the writer's position.
  void SaveToWriter(IStream& writer) override;
};

struct TFrameLoadGuard;

class TQuvFrame : public TImageFrame {
 public:
  using TImageFrame::TImageFrame;

  std::unique_ptr<TImageFrame> CreateSubFrame(int32_t index) override;
  // Reads the frame's rows, or its sub-frames and their composition.
  void Load(IFileReader& reader) override;
  // Writes the frame's data at the writer's position (FrameDataOffset becomes that position).
  void Save(IStream& writer) override;

  int32_t FrameDataOffset = 0;
  uint8_t Compression = 0;

 private:
  void LoadData(IFileReader& reader, TFrameLoadGuard& guard, int32_t depth);
  void LoadSubFrames(IFileReader& reader, TFrameLoadGuard& guard, int32_t depth);
};

// ---- The layout, shared by the reader and the writer ----

constexpr uint32_t QuvFormatVersion = 0x00010100;
constexpr int32_t QuvHeaderSize = 12;
constexpr int32_t QuvEntrySize = 40;
constexpr int32_t QuvNameSize = 32;
constexpr int32_t QuvFrameRowSize = 8;
constexpr int32_t QuvFrameHeaderSize = 24;
// Sub-frames may nest, but not deeper than this.
constexpr int32_t QuvMaxSubFrameDepth = 16;
// No sprite needs a frame (or sub-frame, or composed canvas) of more pixels than this
// (8192 x 8192); a larger one is refused before anything is allocated for it.
constexpr int64_t QuvMaxFramePixels = int64_t{64} << 20;

// Copies a 24-byte header into the frame. A negative FrameDataOffset raises ERangeError.
void ReadFrameHeader(TQuvFrame& frame, const uint8_t* header);
// Reads the raw or run-length rows of a frame without sub-frames from the reader's position.
void ReadFramePixels(TQuvFrame& frame, IFileReader& reader, TFrameLoadGuard* guard = nullptr);
// Decodes one row of run-length code (sourceLength bytes) into dest (the frame's Width bytes).
void DecompressScanLine(TQuvFrame& frame, const uint8_t* source, uint8_t* dest,
                        int32_t sourceLength, int32_t row);
// Lays subFrame's non-transparent pixels over frame so that their hot spots coincide, growing
// the frame's canvas when the sub-frame sticks out.
void ComposeSubFrame(TQuvFrame& frame, TQuvFrame& subFrame, TFrameLoadGuard* guard = nullptr);

// The manager a frame belongs to (null when the frame is not attached to one).
TQuvManager* ManagerOf(const TImageFrame& frame);
// The name of the file a frame or image comes from ("" when unattached).
std::string FileNameOf(const TImage* image);
