#include "QuvManagerU.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "AssertU.h"
#include "ByteOrderU.h"
#include "ConsoleU.h"

namespace {

// Offsets are stored unsigned but used as signed 32-bit positions.
int32_t SignedOffset(uint32_t value) {
  if (value > static_cast<uint32_t>(std::numeric_limits<int32_t>::max()))
    throw ERangeError("Range check error");
  return static_cast<int32_t>(value);
}

uint8_t TransparentOf(const TImageFrame& frame) {
  const TQuvManager* manager = ManagerOf(frame);
  return manager ? manager->TransparentIndex : 0;
}

std::string ImageNameOf(const TImageFrame& frame) {
  return frame.Image ? frame.Image->Name : "";
}

[[noreturn]] __attribute__((noinline)) void FailScanLineIndex(const TQuvFrame& frame, int64_t index,
                                                              int32_t length, int32_t row) {
  RaiseLogged<EQuvFileError>(
      LogLevel::Warning,
      Format("Corrupted Quv frame data: Invalid scanline index: %lld, Max scanline index is %d "
             "on scan line %d, Image: \"%s\", Frame %d",
             static_cast<long long>(index), length, row, ImageNameOf(frame).c_str(), frame.Index));
}

[[noreturn]] __attribute__((noinline)) void FailLineLength(const TQuvFrame& frame, int32_t dest,
                                                           int32_t count, int32_t row) {
  RaiseLogged<EQuvFileError>(
      LogLevel::Warning,
      Format("Corrupted Quv frame data: Invalid line length: %d, Max line length is %d on scan "
             "line %d, Image: \"%s\", Frame %d, Dest Index:%d, Copy Count:%d",
             dest + count, frame.Width, row, ImageNameOf(frame).c_str(), frame.Index, dest, count));
}

// DecompressScanLine with the transparent index already looked up (once per frame, not per row).
void DecodeScanLine(const TQuvFrame& frame, const uint8_t* source, uint8_t* dest,
                    int32_t sourceLength, int32_t row, uint8_t transparent);

[[noreturn]] void FailFrame(const TQuvFrame& frame, const std::string& what) {
  RaiseLogged<EQuvFileError>(LogLevel::Warning,
                             Format("Corrupted Quv frame data: %s, Image: \"%s\", Frame %d",
                                    what.c_str(), ImageNameOf(frame).c_str(), frame.Index));
}

[[noreturn]] void FailTooLarge(const TQuvFrame& frame, int64_t width, int64_t height) {
  FailFrame(frame, Format("a frame of %lld x %lld pixels is larger than the %lld pixels any "
                          "sprite needs",
                          static_cast<long long>(width), static_cast<long long>(height),
                          static_cast<long long>(QuvMaxFramePixels)));
}

// A frame is at least one pixel on each side. Its sides come from 16-bit fields (a canvas grown
// past 65535 is valid), so what a file can get wrong is a side of 0.
void CheckFrameSides(const TQuvFrame& frame) {
  if (frame.Width >= 1 && frame.Height >= 1) return;
  RaiseLogged<EQuvFileError>(
      LogLevel::Warning,
      Format("In file \"%s\" : Assertion failure: a frame of %d x %d pixels has no pixels, "
             "Image: \"%s\", Frame %d",
             FileNameOf(frame.Image).c_str(), frame.Width, frame.Height, ImageNameOf(frame).c_str(),
             frame.Index));
}

}  // namespace

// What one frame load may spend, so that a file that lies cannot make the reader loop or
// allocate without end: the tables being loaded (cycles), the sub-frames the file can hold and
// the pixels one frame may need.
struct TFrameLoadGuard {
  explicit TFrameLoadGuard(int64_t fileSize) : FileSize(fileSize), SubFramesLeft(fileSize / 4) {}

  void Spend(const TQuvFrame& frame, int64_t pixels) {
    if (pixels > PixelsLeft)
      FailFrame(frame, Format("the frame needs more than %lld pixels",
                              static_cast<long long>(2 * QuvMaxFramePixels)));
    PixelsLeft -= pixels;
  }

  int64_t FileSize;
  int64_t SubFramesLeft;
  int64_t PixelsLeft = 2 * QuvMaxFramePixels;
  std::vector<int32_t> Loading;  // data offsets of the sub-frame tables being loaded
};

TQuvManager* ManagerOf(const TImageFrame& frame) {
  if (!frame.Image || !frame.Image->ImageClass) return nullptr;
  return dynamic_cast<TQuvManager*>(frame.Image->ImageClass->Manager);
}

std::string FileNameOf(const TImage* image) {
  return image && image->ImageClass ? image->ImageClass->Name : std::string();
}

// ---- TQuvManager ----

TQuvManager::~TQuvManager() {
  if (Active) Finalize();
}

std::unique_ptr<TImageClass> TQuvManager::LoadFile(const std::string& fileName) {
  auto images = std::make_unique<TQuvImages>(fileName, 16, this);
  TQuvImages* raw = images.get();
  try {
    raw->LoadWithReader(raw->Reader, fileName, [raw](IFileReader& reader) {
      raw->LoadHeader(reader);
      raw->KeptReader = raw->Reader;
      raw->KeptReader->Open(fmRead);
    });
  } catch (...) {
    if (raw->Reader) {
      raw->Reader->Close();
      raw->Reader.reset();
    }
    throw;
  }
  return images;
}

std::unique_ptr<TImageClass> TQuvManager::CreateClass(const std::string& name) {
  return std::make_unique<TQuvImages>(name, 16, this);
}

// ---- TQuvImages ----

TQuvImages::TQuvImages(std::string name, int32_t capacity, TImageManager* manager)
    : TImageClass(std::move(name), capacity, manager) {}

TQuvImages::~TQuvImages() {
  if (Reader) {
    Reader->Close();
    Reader.reset();
  }
  if (KeptReader) {
    KeptReader->Close();
    KeptReader.reset();
  }
}

IFileReaderRef TQuvImages::OpenReader(const std::string& fileName) {
  if (!KeptReader || fileName != Name) return TImageClass::OpenReader(fileName);
  KeptReader->Open(fmRead);
  return KeptReader;
}

std::unique_ptr<TImage> TQuvImages::CreateImage(const std::string& name, int32_t frameCount) {
  return std::make_unique<TQuvImage>(this, name, frameCount);
}

void TQuvImages::LoadFrame(const TLoadRoutine& routine, TImageFrame* frame) {
  LoadWithReader(Reader, Name, routine);
}

void TQuvImages::LoadHeader(IFileReader& reader) {
  FEntryCount = 0;
  FFrameRowsRead = 0;
  const int64_t size = reader.GetSize();
  if (size == 0)
    RaiseLogged<EQuvFileError>(LogLevel::Warning,
                               Format("File \"%s\" has a zero length", Name.c_str()));

  uint8_t header[QuvHeaderSize];
  reader.ReadBuffer(header, sizeof header);
  const uint32_t version = ByteOrder::LoadU32(header);
  if (version == QuvFormatVersion) {
    LoadEntries(reader, ByteOrder::LoadU32(header + 4));
    return;
  }
  ConsoleLog(LogLevel::Warning,
             Format("In file \"%s\" : Quv header version was $%08X expecting $%08X. Trying "
                    "to continue.",
                    Name.c_str(), version, QuvFormatVersion));
  // Another version may still read. A first word of 0, or entries that give no image, is some
  // other kind of file under a Quv name (an archive holds all sorts).
  if (version != 0) {
    try {
      LoadEntries(reader, ByteOrder::LoadU32(header + 4));
    } catch (const Exception&) {
      if (ImageCount > 0) throw;
    }
    if (ImageCount > 0) return;
  }
  std::string shown = Name;
  std::replace(shown.begin(), shown.end(), '\\', '/');
  RaiseLogged<EQuvFileError>(LogLevel::Warning, Format("\"%s\" is not a Quv file", shown.c_str()));
}

void TQuvImages::LoadEntries(IFileReader& reader, uint32_t countField) {
  const int64_t size = reader.GetSize();
  const int32_t count = static_cast<int32_t>(countField);
  if (count < 0) throw ERangeError("Range check error");
  if (size <= 4 * static_cast<int64_t>(count))
    RaiseLogged<EQuvFileError>(
        LogLevel::Warning,
        Format("In file \"%s\" : Number Of entries( %d ) in Quv header is invalid ", Name.c_str(),
               count));
  FEntryCount = count;
  if (count == 0) return;

  std::vector<uint8_t> offsets(4 * static_cast<size_t>(count));
  reader.ReadBuffer(offsets.data(), static_cast<int64_t>(offsets.size()));
  // A file of garbage entries could make the collected text many times its own size: past the
  // first messages, the others are only counted.
  constexpr int32_t MaxCollected = 64;
  std::string collected;
  int32_t failed = 0;
  for (int32_t i = 0; i < count; ++i) {
    try {
      LoadEntry(reader, ByteOrder::LoadU32(&offsets[4 * static_cast<size_t>(i)]));
    } catch (const EQuvFileError& e) {
      if (++failed <= MaxCollected) collected += e.what();
    }
  }
  if (failed > MaxCollected)
    collected += Format(" (and %d more entries that could not be read)", failed - MaxCollected);
  if (!collected.empty()) throw EQuvFileError(collected);
}

void TQuvImages::LoadEntry(IFileReader& reader, int64_t entryOffset) {
  const int64_t size = reader.GetSize();
  // An entry inside the header or offset table, or past the end, is a file that lies, not a
  // broken precondition of the reader: the entry fails as a data error naming the file, and the
  // entry is never read there.
  if (entryOffset < QuvHeaderSize + 4 * static_cast<int64_t>(FEntryCount) || entryOffset >= size)
    RaiseLogged<EQuvFileError>(
        LogLevel::Warning,
        Format("In file \"%s\" : Assertion failure: Quv entry offset %lld is invalid", Name.c_str(),
               static_cast<long long>(entryOffset)));

  reader.SetPosition(entryOffset);
  uint8_t entry[QuvEntrySize];
  reader.ReadBuffer(entry, sizeof entry);
  const uint16_t frameCount = ByteOrder::LoadU16(entry);
  const char* nameField = reinterpret_cast<const char*>(entry + 8);
  const void* end = std::memchr(nameField, 0, QuvNameSize);
  const std::string name =
      end ? std::string(nameField, static_cast<const char*>(end)) : std::string();
  if (name.empty()) {
    ConsoleLog(LogLevel::Warning,
               Format("In file \"%s\" : Quv entry has a null name, Ignoring image", Name.c_str()));
    return;
  }
  if (frameCount == 0) {
    ConsoleLog(LogLevel::Warning,
               Format("In file \"%s\" : Quv entry \"%s\" has zero frames, Ignoring image",
                      Name.c_str(), name.c_str()));
    return;
  }
  // Frame tables of distinct entries never overlap, so all of them together fit in the file;
  // entries that share one table cannot make the reader go over it again and again.
  FFrameRowsRead += frameCount;
  if (FFrameRowsRead * QuvFrameRowSize > size)
    RaiseLogged<EQuvFileError>(
        LogLevel::Warning,
        Format("In file \"%s\" : Quv entry \"%s\" has more frames than the file can hold",
               Name.c_str(), name.c_str()));

  std::unique_ptr<TImage> duplicate;  // read like the others, then dropped
  TImage* image = AddImage(name, frameCount, &duplicate);
  image->LoadFromReader(reader);
}

// ---- TQuvImage ----

std::unique_ptr<TImageFrame> TQuvImage::CreateFrame(int32_t index) {
  return std::make_unique<TQuvFrame>(this, index, nullptr);
}

void TQuvImage::LoadFromReader(IFileReader& reader) {
  Frames.clear();
  VASSERT(FrameCount != 0);
  if (FrameCount <= 0) return;
  Frames.reserve(static_cast<size_t>(FrameCount));
  std::vector<uint8_t> table(QuvFrameRowSize * static_cast<size_t>(FrameCount));
  reader.ReadBuffer(table.data(), static_cast<int64_t>(table.size()));
  for (int32_t i = 0; i < FrameCount; ++i) {
    reader.SetPosition(
        SignedOffset(ByteOrder::LoadU32(&table[QuvFrameRowSize * static_cast<size_t>(i)])));
    uint8_t header[QuvFrameHeaderSize];
    reader.ReadBuffer(header, sizeof header);
    Frames.push_back(CreateFrame(i));
    auto& frame = static_cast<TQuvFrame&>(*Frames.back());
    ReadFrameHeader(frame, header);
    MaxXOffset = std::max(MaxXOffset, frame.XOffset);
    MaxYOffset = std::max(MaxYOffset, frame.YOffset);
  }
}

// ---- TQuvFrame ----

std::unique_ptr<TImageFrame> TQuvFrame::CreateSubFrame(int32_t index) {
  return std::make_unique<TQuvFrame>(Image, index, this);
}

void TQuvFrame::Load(IFileReader& reader) {
  TFrameLoadGuard guard(reader.GetSize());
  LoadData(reader, guard, 0);
}

void TQuvFrame::LoadData(IFileReader& reader, TFrameLoadGuard& guard, int32_t depth) {
  TImageFrame::Load(reader);
  reader.SetPosition(FrameDataOffset);
  if (SubFrameCount == 0) {
    SubFrames.clear();
    ReadFramePixels(*this, reader, &guard);
  } else {
    LoadSubFrames(reader, guard, depth);
  }
}

void TQuvFrame::LoadSubFrames(IFileReader& reader, TFrameLoadGuard& guard, int32_t depth) {
  CheckFrameSides(*this);
  // The list is rebuilt from the table; until a sub-frame is read it holds none, so a failed
  // load never leaves counted sub-frames that were not read.
  const int32_t count = SubFrameCount;
  SetAsideSubFrames();
  MaxSubXOffset = 0;
  MaxSubYOffset = 0;
  if (depth >= QuvMaxSubFrameDepth)
    FailFrame(*this, Format("sub-frames nested deeper than %d levels", QuvMaxSubFrameDepth));
  if (std::find(guard.Loading.begin(), guard.Loading.end(), FrameDataOffset) != guard.Loading.end())
    FailFrame(*this, Format("the sub-frame table at %d refers back to a frame being loaded",
                            FrameDataOffset));
  if (4 * static_cast<int64_t>(count) > guard.FileSize - FrameDataOffset)
    FailFrame(*this, Format("%d sub-frames at %d do not fit in the file", count, FrameDataOffset));
  if (count > guard.SubFramesLeft)
    FailFrame(*this, Format("more sub-frames than the file can hold"));
  guard.SubFramesLeft -= count;
  const int64_t area = static_cast<int64_t>(std::max(Width, 0)) * std::max(Height, 0);
  if (area > QuvMaxFramePixels) FailTooLarge(*this, Width, Height);
  // The table is read before the canvas is made, so a table that is not there costs nothing.
  std::vector<uint8_t> table(4 * static_cast<size_t>(count));
  reader.ReadBuffer(table.data(), static_cast<int64_t>(table.size()));
  guard.Spend(*this, area);
  const uint8_t transparent = TransparentOf(*this);
  auto canvas =
      std::make_shared<TPixelRows>(static_cast<size_t>(std::max(Height, 0)),
                                   TPixelRow(static_cast<size_t>(std::max(Width, 0)), transparent));
  Pixels = canvas;
  PalettePixels = canvas;

  SubFrames.reserve(static_cast<size_t>(count));
  guard.Loading.push_back(FrameDataOffset);
  struct TPop {
    std::vector<int32_t>& Loading;
    ~TPop() { Loading.pop_back(); }
  } pop{guard.Loading};
  for (int32_t k = 0; k < count; ++k) {
    reader.SetPosition(SignedOffset(ByteOrder::LoadU32(&table[4 * static_cast<size_t>(k)])));
    uint8_t header[QuvFrameHeaderSize];
    reader.ReadBuffer(header, sizeof header);
    auto& subFrame = static_cast<TQuvFrame&>(*AddSubFrame());
    ReadFrameHeader(subFrame, header);
    subFrame.LoadData(reader, guard, depth + 1);
    // Taken once the sub-frame is composed itself: its own sub-frames may move its hot spot.
    MaxSubXOffset = std::max(MaxSubXOffset, subFrame.XOffset);
    MaxSubYOffset = std::max(MaxSubYOffset, subFrame.YOffset);
    ComposeSubFrame(*this, subFrame, &guard);
  }
}

// ---- The layout ----

void ReadFrameHeader(TQuvFrame& frame, const uint8_t* header) {
  frame.Width = ByteOrder::LoadU16(header);
  frame.Height = ByteOrder::LoadU16(header + 2);
  frame.XOffset = ByteOrder::LoadI16(header + 4);
  frame.YOffset = ByteOrder::LoadI16(header + 6);
  frame.Compression = header[9];
  frame.SubFrameCount = ByteOrder::LoadU16(header + 10);
  frame.FrameDataOffset = SignedOffset(ByteOrder::LoadU32(header + 16));
}

void ReadFramePixels(TQuvFrame& frame, IFileReader& reader, TFrameLoadGuard* guard) {
  const int32_t width = frame.Width;
  const int32_t height = frame.Height;
  CheckFrameSides(frame);
  if (frame.Compression != 0 && frame.Compression != 1)
    RaiseLogged<EQuvFileError>(LogLevel::Warning,
                               Format(" Unsupported Quv compression %d in %s ", frame.Compression,
                                      FileNameOf(frame.Image).c_str()));
  const int64_t area = static_cast<int64_t>(width) * height;
  // The rows must come from the file: raw rows byte for byte, compressed rows at least their
  // 2-byte length each.
  const int64_t available = reader.GetSize() - reader.GetPosition();
  const int64_t needed = frame.Compression == 0 ? area : 2 * static_cast<int64_t>(height);
  if (needed > available)
    FailFrame(frame, Format("a frame of %d x %d pixels at %lld does not fit in the file", width,
                            height, static_cast<long long>(reader.GetPosition())));
  if (area > QuvMaxFramePixels) FailTooLarge(frame, width, height);
  if (guard) guard->Spend(frame, area);

  auto rows = std::make_shared<TPixelRows>(static_cast<size_t>(height),
                                           TPixelRow(static_cast<size_t>(width)));
  frame.Pixels = rows;  // a failure keeps the rows read so far
  if (frame.Compression == 0) {
    for (TPixelRow& row : *rows) reader.ReadBuffer(row.data(), width);
    return;
  }
  // The rows are read as one range of the file and decoded from memory: first as much as rows of
  // this width need when every pixel is a literal, and more only when the rows turn out longer.
  // Every range stays inside what the file holds.
  const int64_t start = reader.GetPosition();
  const int64_t backed = reader.GetSize() - start;
  std::vector<uint8_t> data;
  int64_t have = 0;
  const auto ensure = [&](int64_t upTo) {
    if (upTo <= have) return;
    if (upTo > backed) throw EReadError("Stream read error");
    const int64_t want = std::max(upTo, std::min(backed, 2 * have));
    data.resize(static_cast<size_t>(want));
    reader.ReadBuffer(data.data() + have, want - have);
    have = want;
  };
  ensure(std::min(backed, static_cast<int64_t>(height) * (2 + width + (width + 63) / 64)));
  const uint8_t transparent = TransparentOf(frame);
  int64_t at = 0;
  for (int32_t y = 0; y < height; ++y) {
    ensure(at + 2);
    const int32_t lineLength = ByteOrder::LoadU16(data.data() + at);
    at += 2;
    ensure(at + lineLength);
    DecodeScanLine(frame, data.data() + at, (*rows)[static_cast<size_t>(y)].data(), lineLength, y,
                   transparent);
    at += lineLength;
  }
  // Where row-by-row reading would have left the reader.
  reader.SetPosition(start + at);
}

void DecompressScanLine(TQuvFrame& frame, const uint8_t* source, uint8_t* dest,
                        int32_t sourceLength, int32_t row) {
  DecodeScanLine(frame, source, dest, sourceLength, row, TransparentOf(frame));
}

namespace {

void DecodeScanLine(const TQuvFrame& frame, const uint8_t* source, uint8_t* dest,
                    int32_t sourceLength, int32_t row, uint8_t transparent) {
  const int32_t width = frame.Width;
  int32_t s = 0;
  int32_t d = 0;
  while (s < sourceLength) {
    const uint8_t control = source[s++];
    int32_t count;
    if (control & 1) {
      count = control >> 1;
      if (d + count > width) FailLineLength(frame, d, count, row);
      std::memset(dest + d, transparent, static_cast<size_t>(count));
    } else if (control & 2) {
      if (s >= sourceLength) FailScanLineIndex(frame, s + 1, sourceLength, row);
      const uint8_t value = source[s++];
      count = (control >> 2) + 1;
      if (d + count > width) FailLineLength(frame, d, count, row);
      std::memset(dest + d, value, static_cast<size_t>(count));
    } else {
      count = (control >> 2) + 1;
      if (d + count > width) FailLineLength(frame, d, count, row);
      if (s >= sourceLength) FailScanLineIndex(frame, s + 1, sourceLength, row);
      // A copy that runs past the row's code names the last byte it would need.
      if (s + count > sourceLength) FailScanLineIndex(frame, s + count, sourceLength, row);
      std::memcpy(dest + d, source + s, static_cast<size_t>(count));
      s += count;
    }
    d += count;
  }
  if (d < width) std::memset(dest + d, transparent, static_cast<size_t>(width - d));
  if (d > width) throw EQuvFileError(Format("Corrupted quv image: %s", ImageNameOf(frame).c_str()));
}

// Grows the canvas to newWidth x newHeight, keeping the old pixels at (left, top).
void GrowCanvas(TQuvFrame& frame, int64_t left, int64_t top, int64_t newWidth, int64_t newHeight,
                TFrameLoadGuard* guard) {
  // A sub-frame sticking out is valid data, so the growth is only worth a warning.
  ConsoleLog(
      LogLevel::Warning,
      Format("In file \"%s\" : a sub-frame of image \"%s\", frame %d grows its "
             "canvas from %d x %d to %lld x %lld pixels",
             FileNameOf(frame.Image).c_str(), ImageNameOf(frame).c_str(), frame.Index, frame.Width,
             frame.Height, static_cast<long long>(newWidth), static_cast<long long>(newHeight)));
  if (newWidth * newHeight > QuvMaxFramePixels) FailTooLarge(frame, newWidth, newHeight);
  if (guard) guard->Spend(frame, newWidth * newHeight - int64_t{frame.Width} * frame.Height);
  const uint8_t transparent = TransparentOf(frame);
  TPixelRows& rows = *frame.Pixels;
  for (TPixelRow& row : rows) {
    row.insert(row.begin(), static_cast<size_t>(left), transparent);
    row.resize(static_cast<size_t>(newWidth), transparent);
  }
  rows.insert(rows.begin(), static_cast<size_t>(top),
              TPixelRow(static_cast<size_t>(newWidth), transparent));
  rows.resize(static_cast<size_t>(newHeight),
              TPixelRow(static_cast<size_t>(newWidth), transparent));
  frame.Width = static_cast<int32_t>(newWidth);
  frame.Height = static_cast<int32_t>(newHeight);
  frame.RowBytes = frame.BytesPerPixel * frame.Width;
}

}  // namespace

void ComposeSubFrame(TQuvFrame& frame, TQuvFrame& subFrame, TFrameLoadGuard* guard) {
  if (!subFrame.Pixels || subFrame.Pixels->empty()) return;
  VASSERT(!frame.Converted && !subFrame.Converted);
  if (!frame.Pixels) frame.Pixels = std::make_shared<TPixelRows>();
  const uint8_t transparent = TransparentOf(frame);
  int64_t dx = static_cast<int64_t>(frame.XOffset) - subFrame.XOffset;
  int64_t dy = static_cast<int64_t>(frame.YOffset) - subFrame.YOffset;
  const int64_t subWidth = std::max(subFrame.Width, 0);
  const int64_t subHeight = std::max(subFrame.Height, 0);
  // A growth to the left or top moves the frame's own hot spot with its pixels, so that every
  // sub-frame composed so far, and those still to come, stay lined up on it.
  if (dx < 0) {
    GrowCanvas(frame, -dx, 0, frame.Width - dx, frame.Height, guard);
    frame.XOffset = static_cast<int32_t>(frame.XOffset - dx);
    dx = 0;
  }
  if (frame.Width < subWidth + dx) GrowCanvas(frame, 0, 0, subWidth + dx, frame.Height, guard);
  if (dy < 0) {
    GrowCanvas(frame, 0, -dy, frame.Width, frame.Height - dy, guard);
    frame.YOffset = static_cast<int32_t>(frame.YOffset - dy);
    dy = 0;
  }
  if (frame.Height < subHeight + dy) GrowCanvas(frame, 0, 0, frame.Width, subHeight + dy, guard);

  TPixelRows& rows = *frame.Pixels;
  const TPixelRows& subRows = *subFrame.Pixels;
  const size_t rowCount = std::min(subRows.size(), static_cast<size_t>(subHeight));
  for (size_t r = 0; r < rowCount; ++r) {
    const size_t y = static_cast<size_t>(dy) + r;
    if (y >= rows.size()) break;
    const TPixelRow& source = subRows[r];
    TPixelRow& target = rows[y];
    const size_t columns =
        std::min({source.size(), static_cast<size_t>(subWidth),
                  target.size() - std::min(target.size(), static_cast<size_t>(dx))});
    uint8_t* out = target.data() + dx;
    for (size_t c = 0; c < columns; ++c) {
      if (source[c] != transparent) out[c] = source[c];
    }
  }
}
