#include "PictureReaderU.h"

#include "ExceptionsU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

TPictureColour TSourcePicture::At(int32_t x, int32_t y) const {
  const size_t i = size_t(y) * size_t(Width) + size_t(x);
  if (Indexed) return Palette[Pixels[i]];
  const uint8_t* p = &Pixels[4 * i];
  return {p[0], p[1], p[2], p[3]};
}

void CheckPictureSize(const std::string& name, int64_t width, int64_t height, int64_t decodedBytes,
                      int64_t backedBytes) {
  if (width < 1 || height < 1)
    throw Exception(Format("\"%s\" has no pixels (%lld x %lld)", name.c_str(), (long long)width,
                           (long long)height));
  if (width > PictureMaxSide || height > PictureMaxSide)
    throw Exception(Format("\"%s\" is %lld x %lld pixels: a frame is at most %d pixels on a side",
                           name.c_str(), (long long)width, (long long)height, PictureMaxSide));
  if (width * height > PictureMaxPixels)
    throw Exception(Format("\"%s\" is %lld x %lld pixels: more than %lld pixels are not read",
                           name.c_str(), (long long)width, (long long)height,
                           (long long)PictureMaxPixels));
  if (decodedBytes > backedBytes)
    throw Exception(Format("\"%s\" is truncated: %lld x %lld pixels need more data than it holds",
                           name.c_str(), (long long)width, (long long)height));
}

TSourcePicture DecodePicture(std::span<const uint8_t> bytes, const std::string& name) {
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return DecodeBmp(bytes, name);
  return DecodePng(bytes, name);
}

TSourcePicture ReadPicture(const std::string& fileName) {
  const std::string bytes = ReadRegularFile(fileName, PictureMaxFileSize);
  return DecodePicture(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()),
                       fileName);
}
