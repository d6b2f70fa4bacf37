#include "PngWriterU.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "BitmapU.h"

namespace {

struct TPngOutput {
  std::vector<uint8_t> Bytes;
  char Error[200] = {};
};

void WriteData(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<TPngOutput*>(png_get_io_ptr(png));
  out->Bytes.insert(out->Bytes.end(), data, data + length);
}

void FlushData(png_structp) {}

void OnError(png_structp png, png_const_charp message) {
  auto* out = static_cast<TPngOutput*>(png_get_error_ptr(png));
  std::snprintf(out->Error, sizeof out->Error, "%s", message);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

struct TPngLayout {
  int ColorType;
  const png_color* Palette = nullptr;  // 256 entries for PNG_COLOR_TYPE_PALETTE
  const png_byte* Alpha = nullptr;     // tRNS entries
  int AlphaCount = 0;
  const png_text* Texts = nullptr;
  int TextCount = 0;
};

// Only plain data lives in this frame, so libpng's longjmp out of it skips no destructor.
bool RunLibpng(TPngOutput& out, const TPicture& picture, const TPngLayout& layout,
               png_bytep* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &out, OnError, OnWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, WriteData, FlushData);
  png_set_compression_level(png, PngCompressionLevel);
  // Filtering costs more than it saves on palette-like sprite data at this level.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
  png_set_IHDR(png, info, png_uint_32(picture.Width), png_uint_32(picture.Height), 8,
               layout.ColorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (layout.Palette) png_set_PLTE(png, info, layout.Palette, 256);
  if (layout.Alpha) png_set_tRNS(png, info, layout.Alpha, layout.AlphaCount, nullptr);
  if (layout.TextCount) png_set_text(png, info, layout.Texts, layout.TextCount);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

std::vector<uint8_t> Encode(const TPicture& picture, const TPngLayout& layout) {
  // PNG has no empty pictures: an empty frame becomes one transparent pixel.
  if (picture.Width <= 0 || picture.Height <= 0) {
    const TPicture dot(1, 1, picture.BytesPerPixel,
                       layout.Alpha ? uint8_t(layout.AlphaCount - 1) : 0);
    return Encode(dot, layout);
  }
  std::vector<png_bytep> rows(size_t(picture.Height));
  for (int32_t y = 0; y < picture.Height; ++y)
    rows[size_t(y)] = const_cast<png_bytep>(picture.Row(y));
  TPngOutput out;
  out.Bytes.reserve(picture.Pixels.size() / 4 + 1024);
  if (!RunLibpng(out, picture, layout, rows.data()))
    throw EBitmapError(Format("PNG encoding failed: %s", out.Error[0] ? out.Error : "no memory"));
  return std::move(out.Bytes);
}

uint32_t Be32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void PutBe32(std::vector<uint8_t>& out, uint32_t value) {
  const uint8_t bytes[4] = {uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8),
                            uint8_t(value)};
  out.insert(out.end(), bytes, bytes + 4);
}

void PutBe16(std::vector<uint8_t>& out, uint16_t value) {
  out.push_back(uint8_t(value >> 8));
  out.push_back(uint8_t(value));
}

// A chunk: length, type, data, CRC of type and data.
void PutChunk(std::vector<uint8_t>& out, const char* type, const uint8_t* data, size_t size) {
  PutBe32(out, uint32_t(size));
  const size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  if (size) out.insert(out.end(), data, data + size);
  PutBe32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

}  // namespace

std::vector<uint8_t> EncodePng(const TPicture& rgba, const std::vector<TPictureText>& texts) {
  // libpng copies the texts; it only wants them writable in its old signature.
  std::vector<png_text> chunks(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    chunks[i].compression = PNG_TEXT_COMPRESSION_NONE;
    chunks[i].key = const_cast<char*>(texts[i].Key.c_str());
    chunks[i].text = const_cast<char*>(texts[i].Text.c_str());
    chunks[i].text_length = texts[i].Text.size();
  }
  TPngLayout layout{PNG_COLOR_TYPE_RGBA};
  layout.Texts = chunks.data();
  layout.TextCount = int(chunks.size());
  return Encode(rgba, layout);
}

std::vector<uint8_t> EncodePng8(const TPicture& indices, const TPalette& palette,
                                uint8_t transparentIndex) {
  png_color colours[256];
  for (int i = 0; i < 256; ++i) colours[i] = {palette[i][0], palette[i][1], palette[i][2]};
  // tRNS lists entries up to the last transparent one; the rest are opaque.
  png_byte alpha[256];
  std::memset(alpha, 255, sizeof alpha);
  alpha[transparentIndex] = 0;
  return Encode(indices, {PNG_COLOR_TYPE_PALETTE, colours, alpha, transparentIndex + 1});
}

// ---- TApngEncoder ----

TApngEncoder::TApngEncoder(int32_t width, int32_t height, int32_t delayMs)
    : FWidth(std::max(width, 1)),
      FHeight(std::max(height, 1)),
      FDelay(uint16_t(std::clamp(delayMs, 0, 65535))) {}

void TApngEncoder::AddFrame(const TPicture& rgba) {
  if (std::max(rgba.Width, 1) != FWidth || std::max(rgba.Height, 1) != FHeight)
    throw EBitmapError("Animation frames differ in size");
  const std::vector<uint8_t> png = EncodePng(rgba);
  // fcTL: sequence, size, offset (0, 0), delay as a fraction of a second, replace the canvas.
  std::vector<uint8_t> control;
  PutBe32(control, FSequence++);
  PutBe32(control, uint32_t(FWidth));
  PutBe32(control, uint32_t(FHeight));
  PutBe32(control, 0);
  PutBe32(control, 0);
  PutBe16(control, FDelay);
  PutBe16(control, 1000);
  control.push_back(0);  // dispose: none (the next frame replaces everything)
  control.push_back(0);  // blend: source
  PutChunk(FBody, "fcTL", control.data(), control.size());
  // libpng's output: the signature (8 bytes), then chunks; IDAT data moves into our chunks.
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = Be32(&png[at]);
    if (at + 12 + length > png.size()) break;
    const char* type = reinterpret_cast<const char*>(&png[at + 4]);
    const uint8_t* data = &png[at + 8];
    if (std::memcmp(type, "IHDR", 4) == 0 && FHeader.empty()) {
      FHeader.assign(png.begin(), png.begin() + std::ptrdiff_t(at + 12 + length));
    } else if (std::memcmp(type, "IDAT", 4) == 0) {
      if (FFrames == 0) {
        PutChunk(FBody, "IDAT", data, length);
      } else {
        std::vector<uint8_t> frameData;
        frameData.reserve(length + 4);
        PutBe32(frameData, FSequence++);
        frameData.insert(frameData.end(), data, data + length);
        PutChunk(FBody, "fdAT", frameData.data(), frameData.size());
      }
    }
    at += 12 + length;
  }
  ++FFrames;
}

std::vector<uint8_t> TApngEncoder::Finish() {
  if (FFrames == 0) AddFrame(TPicture(FWidth, FHeight, 4));
  std::vector<uint8_t> out = FHeader;
  std::vector<uint8_t> animation;
  PutBe32(animation, FFrames);
  PutBe32(animation, 0);  // plays: forever
  PutChunk(out, "acTL", animation.data(), animation.size());
  out.insert(out.end(), FBody.begin(), FBody.end());
  PutChunk(out, "IEND", nullptr, 0);
  return out;
}
