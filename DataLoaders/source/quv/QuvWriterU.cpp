#include "QuvWriterU.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "AssertU.h"
#include "ByteOrderU.h"
#include "ConsoleU.h"
#include "StreamsU.h"

namespace {

using ByteOrder::StoreU16;
using ByteOrder::StoreU32;

uint16_t CheckedU16(int64_t value) {
  if (value < 0 || value > 65535) throw ERangeError("Range check error");
  return static_cast<uint16_t>(value);
}
int16_t CheckedI16(int64_t value) {
  if (value < -32768 || value > 32767) throw ERangeError("Range check error");
  return static_cast<int16_t>(value);
}
uint32_t CheckedOffset(int64_t value) {
  if (value < 0 || value > std::numeric_limits<int32_t>::max())
    throw ERangeError("Range check error");
  return static_cast<uint32_t>(value);
}

uint8_t CompressionModeOf(const TImage* image) {
  const TQuvManager* manager =
      image && image->ImageClass ? dynamic_cast<TQuvManager*>(image->ImageClass->Manager) : nullptr;
  return manager ? manager->CompressionMode : 0;
}

// Writes the tables (offsets, then headers) at start and puts the writer back at the end of the
// data written behind them, also when the writes fail.
void WriteTables(IStream& writer, int64_t start, const std::vector<uint8_t>& offsets,
                 const std::vector<uint8_t>& headers) {
  const int64_t end = writer.GetPosition();
  writer.SetPosition(start);
  try {
    writer.WriteBuffer(offsets.data(), static_cast<int64_t>(offsets.size()));
    writer.WriteBuffer(headers.data(), static_cast<int64_t>(headers.size()));
  } catch (...) {
    writer.SetPosition(end);
    throw;
  }
  writer.SetPosition(end);
}

// Writes frame (a frame or sub-frame) under its header at data position; the header and the
// frame take the Compression chosen by the mode.
void SaveUnder(TQuvFrame& frame, uint8_t* header, uint8_t mode, IStream& writer) {
  FillFrameHeader(frame, header);
  frame.Compression = CompressionFor(mode, frame.Compression);
  header[9] = frame.Compression;
  StoreU32(header + 16, CheckedOffset(writer.GetPosition()));
  frame.Save(writer);
}

// The rows a frame without sub-frames writes: palette indices (a converted frame keeps them
// beside its colours).
const TPixelRowsRef& RowsToWrite(const TQuvFrame& frame) {
  return frame.Converted ? frame.PalettePixels : frame.Pixels;
}

// The first row (from 0) of a frame without sub-frames that is missing or shorter than the
// frame, or -1.
int32_t FirstShortRow(const TQuvFrame& frame) {
  if (frame.Width <= 0 || frame.Height <= 0) return -1;
  const TPixelRowsRef& rows = RowsToWrite(frame);
  for (int32_t y = 0; y < frame.Height; ++y) {
    if (!rows || static_cast<size_t>(y) >= rows->size() ||
        (*rows)[static_cast<size_t>(y)].size() < static_cast<size_t>(frame.Width))
      return y;
  }
  return -1;
}

// "frame 3" or "frame 3, sub-frame 1" for a sub-frame.
std::string FrameLabel(const TQuvFrame& frame) {
  if (!frame.ParentFrame) return Format("frame %d", frame.Index);
  return FrameLabel(static_cast<const TQuvFrame&>(*frame.ParentFrame)) +
         Format(", sub-frame %d", frame.Index);
}

}  // namespace

void CheckFramePixels(TQuvFrame& frame) {
  if (frame.SubFrameCount != 0) {
    for (int32_t k = 0; k < frame.SubFrameCount; ++k)
      if (auto* subFrame = static_cast<TQuvFrame*>(frame.GetSubFrame(k)))
        CheckFramePixels(*subFrame);
    return;
  }
  const int32_t row = FirstShortRow(frame);
  if (row < 0) return;
  // Writing the row anyway would store a picture the frame does not have.
  VASSERT_MSG(false, "A frame to be written lacks pixel rows");
  throw EQuvFileError(Format(
      "Image \"%s\", %s: pixel row %d is missing or shorter than the "
      "frame's %d pixels; nothing was written",
      frame.Image ? frame.Image->Name.c_str() : "", FrameLabel(frame).c_str(), row, frame.Width));
}

void CheckImagePixels(TQuvImage& image) {
  for (int32_t i = 0; i < image.FrameCount; ++i)
    if (auto* frame = static_cast<TQuvFrame*>(image.GetFrame(i))) CheckFramePixels(*frame);
}

uint8_t CompressionFor(uint8_t compressionMode, uint8_t frameCompression) {
  switch (compressionMode) {
    case 0:
      return 0;
    case 1:
    case 2:
      return 1;
    default:
      return frameCompression;
  }
}

void FillFrameHeader(const TQuvFrame& frame, uint8_t* header) {
  std::memset(header, 0, QuvFrameHeaderSize);
  StoreU16(header, CheckedU16(frame.Width));
  StoreU16(header + 2, CheckedU16(frame.Height));
  StoreU16(header + 4, static_cast<uint16_t>(CheckedI16(frame.XOffset)));
  StoreU16(header + 6, static_cast<uint16_t>(CheckedI16(frame.YOffset)));
  header[8] = 9;
  header[9] = frame.Compression;
  StoreU16(header + 10, CheckedU16(frame.SubFrameCount));
  StoreU32(header + 16, CheckedOffset(frame.FrameDataOffset));
}

void TQuvImage::SaveToWriter(IStream& writer) {
  VASSERT(FrameCount != 0);
  CheckImagePixels(*this);
  const size_t count = static_cast<size_t>(std::max(FrameCount, 0));
  std::vector<uint8_t> table(QuvFrameRowSize * count, 0);
  std::vector<uint8_t> headers(QuvFrameHeaderSize * count, 0);
  const int64_t start = writer.GetPosition();
  const int64_t headersAt = start + static_cast<int64_t>(table.size());
  writer.SetPosition(headersAt + static_cast<int64_t>(headers.size()));
  const uint8_t mode = CompressionModeOf(this);
  for (size_t i = 0; i < count; ++i) {
    auto* frame = static_cast<TQuvFrame*>(GetFrame(static_cast<int32_t>(i)));
    StoreU32(&table[QuvFrameRowSize * i],
             CheckedOffset(headersAt + static_cast<int64_t>(QuvFrameHeaderSize * i)));
    SaveUnder(*frame, &headers[QuvFrameHeaderSize * i], mode, writer);
  }
  WriteTables(writer, start, table, headers);
}

void TQuvFrame::Save(IStream& writer) {
  FrameDataOffset = static_cast<int32_t>(CheckedOffset(writer.GetPosition()));
  if (SubFrameCount == 0) {
    WriteFramePixels(*this, writer);
    return;
  }
  const size_t count = static_cast<size_t>(SubFrameCount);
  std::vector<uint8_t> offsets(4 * count, 0);
  std::vector<uint8_t> headers(QuvFrameHeaderSize * count, 0);
  const int64_t headersAt = FrameDataOffset + static_cast<int64_t>(offsets.size());
  writer.SetPosition(headersAt + static_cast<int64_t>(headers.size()));
  const uint8_t mode = CompressionModeOf(Image);
  for (size_t k = 0; k < count; ++k) {
    auto* subFrame = static_cast<TQuvFrame*>(GetSubFrame(static_cast<int32_t>(k)));
    StoreU32(&offsets[4 * k],
             CheckedOffset(headersAt + static_cast<int64_t>(QuvFrameHeaderSize * k)));
    SaveUnder(*subFrame, &headers[QuvFrameHeaderSize * k], mode, writer);
  }
  WriteTables(writer, FrameDataOffset, offsets, headers);
}

void WriteFramePixels(TQuvFrame& frame, IStream& writer) {
  const int32_t width = frame.Width;
  const int32_t height = frame.Height;
  VASSERT(!frame.Converted);
  VASSERT(width >= 1 && width <= 65535 && height >= 1 && height <= 65535);
  if (frame.Compression != 0 && frame.Compression != 1)
    RaiseLogged<EQuvFileError>(LogLevel::Warning,
                               Format(" Unsupported Quv compression %d in %s ", frame.Compression,
                                      FileNameOf(frame.Image).c_str()));
  if (width <= 0 || height <= 0) return;
  CheckFramePixels(frame);
  const TPixelRows& rows = *RowsToWrite(frame);
  const TQuvManager* manager = ManagerOf(frame);
  auto rowAt = [&](int32_t y) { return rows[static_cast<size_t>(y)].data(); };
  if (frame.Compression == 0) {
    for (int32_t y = 0; y < height; ++y) writer.WriteBuffer(rowAt(y), width);
    return;
  }
  const bool allowEmpty = manager && manager->CompressionMode == 2;
  std::vector<uint8_t> code;
  code.reserve(2 * static_cast<size_t>(width));
  std::vector<uint8_t> check(static_cast<size_t>(width));
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = rowAt(y);
    int32_t length = 0;
    CompressScanLine(frame, row, code, length, allowEmpty, y);
    DecompressScanLine(frame, code.data(), check.data(), length, y);
    if (std::memcmp(check.data(), row, static_cast<size_t>(width)) != 0)
      throw EQuvFileError(
          Format("Scan line %d compression error, scanline does not decompress to original", y));
    uint8_t lengthBytes[2];
    StoreU16(lengthBytes, static_cast<uint16_t>(length));
    writer.WriteBuffer(lengthBytes, 2);
    if (length > 0) writer.WriteBuffer(code.data(), length);
  }
}

void CompressScanLine(TQuvFrame& frame, const uint8_t* row, std::vector<uint8_t>& code,
                      int32_t& length, bool allowEmpty, int32_t rowNumber) {
  const TQuvManager* manager = ManagerOf(frame);
  const uint8_t transparent = manager ? manager->TransparentIndex : 0;
  const int32_t width = frame.Width;
  code.clear();
  length = 0;
  VASSERT(row != nullptr && width > 0);
  int32_t i = 0;
  while (i < width) {
    const uint8_t c = row[i];
    if (c == transparent) {
      int32_t run = 0;
      while (i < width && row[i] == transparent) ++run, ++i;
      // A wholly transparent row may stay empty: the decoder fills it.
      if (allowEmpty && run == width) break;
      for (; run > 127; run -= 127) code.push_back(0xFF);
      code.push_back(static_cast<uint8_t>((run << 1) | 1));
      continue;
    }
    const int32_t groupStart = i++;
    if (i == width) {
      code.push_back(0x00);
      code.push_back(c);
      break;
    }
    int32_t pending;
    if (row[i] != c) {
      // A literal: it never ends with the first byte of an equal pair, which starts the next
      // group instead.
      int32_t count = 1;
      while (true) {
        ++count;
        ++i;
        if (count == 63 || i == width) break;
        if (row[i] == row[i - 1]) {
          --count;
          --i;
          break;
        }
      }
      code.push_back(static_cast<uint8_t>((count - 1) << 2));
      code.insert(code.end(), row + groupStart, row + groupStart + count);
      pending = i - groupStart - count;
    } else {
      int32_t count = 0;
      while (groupStart + count < width && count < 64 && row[groupStart + count] == c) ++count;
      i = groupStart + count;
      code.push_back(static_cast<uint8_t>(((count - 1) << 2) | 2));
      code.push_back(c);
      pending = i - groupStart - count;
    }
    if (pending != 0) throw EQuvFileError("Internal error in scanline compression algo");
  }
  length = static_cast<int32_t>(code.size());
  (void)rowNumber;
}

void SaveQuvFile(IStream& writer, const std::vector<TQuvImage*>& images) {
  for (TQuvImage* image : images) CheckImagePixels(*image);
  const int64_t start = writer.GetPosition();
  uint8_t header[QuvHeaderSize] = {};
  StoreU32(header, QuvFormatVersion);
  StoreU32(header + 4, static_cast<uint32_t>(images.size()));
  writer.WriteBuffer(header, sizeof header);
  std::vector<uint8_t> offsets(4 * images.size(), 0);
  writer.SetPosition(start + QuvHeaderSize + static_cast<int64_t>(offsets.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    TQuvImage& image = *images[i];
    if (image.Name.empty() || image.Name.size() >= QuvNameSize)
      throw EQuvFileError(Format("Image name \"%s\" does not fit a Quv entry", image.Name.c_str()));
    StoreU32(&offsets[4 * i], CheckedOffset(writer.GetPosition()));
    uint8_t entry[QuvEntrySize] = {};
    StoreU16(entry, CheckedU16(image.FrameCount));
    std::memcpy(entry + 8, image.Name.data(), image.Name.size());
    writer.WriteBuffer(entry, sizeof entry);
    image.SaveToWriter(writer);
  }
  const int64_t end = writer.GetPosition();
  writer.SetPosition(start + QuvHeaderSize);
  writer.WriteBuffer(offsets.data(), static_cast<int64_t>(offsets.size()));
  writer.SetPosition(end);
}

void SaveQuvFile(IStream& writer, TQuvImages& images) {
  std::vector<TQuvImage*> list;
  list.reserve(images.Images.size());
  for (auto& image : images.Images) list.push_back(static_cast<TQuvImage*>(image.get()));
  SaveQuvFile(writer, list);
}

std::vector<uint8_t> EncodeQuvFile(const std::vector<TQuvImageModel>& images,
                                   uint8_t compressionMode, uint8_t transparentIndex) {
  TQuvManager manager;
  manager.TransparentIndex = transparentIndex;
  manager.CompressionMode = compressionMode;
  std::unique_ptr<TImageClass> collection = manager.CreateClass("built.quv");
  auto& quvImages = static_cast<TQuvImages&>(*collection);
  FillCollection(quvImages, images);
  TMemoryStream stream;
  SaveQuvFile(stream, quvImages);
  return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.GetSize());
}
