// PNG decoding through libpng. libpng reports errors by longjmp: everything that must survive
// one lives in a heap state that the frame holding setjmp owns, and the decoding steps between
// setjmp and the jump keep no objects of their own.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <memory>

#include "ExceptionsU.h"
#include "PictureReaderU.h"
#include "StringUtilsU.h"

namespace {

struct TPngState {
  std::span<const uint8_t> Bytes;
  size_t Position = 0;
  std::string Error;
  std::string Refusal;  // a limit of ours, reported as it stands
  TSourcePicture Picture;
  std::vector<png_bytep> Rows;
};

void ReadData(png_structp png, png_bytep out, png_size_t count) {
  auto* state = static_cast<TPngState*>(png_get_io_ptr(png));
  if (count > state->Bytes.size() - state->Position) png_error(png, "the file ends early");
  std::memcpy(out, state->Bytes.data() + state->Position, count);
  state->Position += count;
}

void OnError(png_structp png, png_const_charp message) {
  static_cast<TPngState*>(png_get_error_ptr(png))->Error = message ? message : "";
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// The steps that may jump: no objects with destructors here.
void Decode(png_structp png, png_infop info, TPngState& state, const std::string& name) {
  png_set_read_fn(png, &state, ReadData);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
  TSourcePicture& picture = state.Picture;
  png_textp texts = nullptr;
  const int textCount = png_get_text(png, info, &texts, nullptr);
  for (int i = 0; i < textCount && texts; ++i)
    picture.Texts.push_back({texts[i].key ? texts[i].key : "", texts[i].text ? texts[i].text : ""});
  picture.Indexed = colourType == PNG_COLOR_TYPE_PALETTE;
  picture.HasAlpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
  const int64_t channels = picture.Indexed ? 1 : 4;
  // Each row arrives with a filter byte; deflate expands at most about 1032-fold.
  const int64_t raw = (int64_t(width) * png_get_channels(png, info) * depth + 7) / 8 + 1;
  bool refused = false;
  try {
    CheckPictureSize(name, width, height, raw * int64_t(height),
                     int64_t(state.Bytes.size()) * 1100 + 4096);
  } catch (const Exception& e) {
    state.Refusal = e.what();
    refused = true;
  }
  if (refused) png_error(png, "refused");
  if (picture.Indexed) {
    png_colorp colours = nullptr;
    int count = 0;
    if (png_get_PLTE(png, info, &colours, &count) && colours) {
      picture.PaletteCount = count > 256 ? 256 : count;
      for (int i = 0; i < picture.PaletteCount; ++i)
        picture.Palette[size_t(i)] = {colours[i].red, colours[i].green, colours[i].blue, 255};
    }
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    if (png_get_tRNS(png, info, &alphas, &alphaCount, nullptr) && alphas)
      for (int i = 0; i < alphaCount && i < 256; ++i) picture.Palette[size_t(i)].A = alphas[i];
    if (depth < 8) png_set_packing(png);
  } else {
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != size_t(width) * size_t(channels))
    png_error(png, "unexpected row layout");
  picture.Width = int32_t(width);
  picture.Height = int32_t(height);
  picture.Pixels.resize(size_t(width) * size_t(height) * size_t(channels));
  state.Rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y)
    state.Rows[y] = picture.Pixels.data() + size_t(y) * size_t(width) * size_t(channels);
  png_read_image(png, state.Rows.data());
  png_read_end(png, nullptr);
}

}  // namespace

TSourcePicture DecodePng(std::span<const uint8_t> bytes, const std::string& name) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0)
    throw Exception(Format("\"%s\" is not a PNG or BMP file", name.c_str()));
  auto state = std::make_unique<TPngState>();
  state->Bytes = bytes;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state.get(), OnError, OnWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_read_struct(png ? &png : nullptr, nullptr, nullptr);
    throw Exception(Format("Cannot decode \"%s\": out of memory", name.c_str()));
  }
  // Our own limits decide; libpng's defaults would refuse earlier with its own words.
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  png_set_chunk_malloc_max(png, 16u << 20);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (!state->Refusal.empty()) throw Exception(state->Refusal);
    throw Exception(
        Format("\"%s\" is not a usable PNG file: %s", name.c_str(), state->Error.c_str()));
  }
  try {
    Decode(png, info, *state, name);
  } catch (...) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return std::move(state->Picture);
}
