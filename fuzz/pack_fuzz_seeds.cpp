// Writes the seed corpus of pack_fuzz: atlases, frame-data files of every type, and small PNG
// and BMP pictures, each behind the byte that selects its reader.
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void Write(const std::filesystem::path& dir, const std::string& name, uint8_t selector,
           const std::vector<uint8_t>& bytes) {
  std::ofstream out(dir / name, std::ios::binary);
  out.put(char(selector));
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Png(uint32_t format, int width, int height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = format;
  const bool indexed = format & PNG_FORMAT_FLAG_COLORMAP;
  const size_t channels = indexed ? 1 : PNG_IMAGE_SAMPLE_CHANNELS(format);
  std::vector<uint8_t> pixels(size_t(width) * height * channels);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 37 % 16);
  std::vector<uint8_t> colours(16 * 4);
  for (size_t i = 0; i < colours.size(); ++i) colours[i] = uint8_t(i * 29);
  image.colormap_entries = indexed ? 16 : 0;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0,
                            indexed ? colours.data() : nullptr);
  std::vector<uint8_t> out(size);
  png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0,
                            indexed ? colours.data() : nullptr);
  out.resize(size);
  return out;
}

// An uncompressed bottom-up BMP of 3 x 2 pixels at the given depth (8 with a colour table).
std::vector<uint8_t> Bmp(int bits) {
  const int width = 3, height = 2, stride = ((width * bits + 31) / 32) * 4;
  const int table = bits == 8 ? 256 * 4 : 0;
  const uint32_t offset = 54 + table, size = offset + stride * height;
  std::vector<uint8_t> b(size);
  auto put = [&](size_t at, uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b[at + i] = uint8_t(v >> (8 * i));
  };
  b[0] = 'B', b[1] = 'M';
  put(2, size, 4), put(10, offset, 4), put(14, 40, 4), put(18, width, 4), put(22, height, 4);
  put(26, 1, 2), put(28, bits, 2), put(34, stride * height, 4);
  for (size_t i = 54; i < size; ++i) b[i] = uint8_t(i * 13);
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: pack_fuzz_seeds CORPUS_DIR\n");
    return 2;
  }
  const std::filesystem::path dir(argv[1]);
  std::filesystem::create_directories(dir);
  Write(
      dir, "atlas", 0,
      Bytes(
          R"({"frames": [{"filename": "arm_0", "frame": {"x": 0, "y": 0, "w": 8, "h": 6}, "rotated": false, "trimmed": false, "spriteSourceSize": {"x": 1, "y": 2, "w": 5, "h": 4}, "sourceSize": {"w": 8, "h": 6}, "hotspot": {"x": 3, "y": 5}, "pivot": {"x": 0.375, "y": 0.833}, "duration": 67}, {"filename": "arm_1", "frame": {"x": 8, "y": 0, "w": 8, "h": 6}, "spriteSourceSize": {"x": 0, "y": 0, "w": 8, "h": 6}, "hotspot": {"x": -2, "y": 0}}], "meta": {"app": "Vellicor", "version": "1.0.0", "image": "arm_sheet.png", "size": {"w": 16, "h": 6}, "format": "RGBA8888", "scale": 1}})"));
  Write(
      dir, "atlas_hash", 0,
      Bytes(
          R"({"frames": {"a": {"frame": {"x": 0, "y": 0, "w": 2, "h": 2}}}, "meta": {"scale": 2}})"));
  Write(dir, "data0", 1, Bytes("Extended=0\r\nXOffset,YOffset\r\n3,4\r\n-1,2,5,6\r\n"));
  Write(dir, "data1", 1, Bytes("Extended=1\r\nXOffset,YOffset,Width,Height\r\n3,4,10,12\r\n"));
  Write(dir, "data2", 1,
        Bytes("Extended=2\r\nXOffset,YOffset,Width,Height,ImageName\r\n"
              "10,25,20,30,arm_03.bmp,1,2,5,6,arm_03_0.bmp,3,4,7,8,arm_03_1.bmp\r\n"));
  Write(dir, "png_rgba", 2, Png(PNG_FORMAT_RGBA, 5, 3));
  Write(dir, "png_gray", 2, Png(PNG_FORMAT_GRAY, 4, 4));
  Write(dir, "png_indexed", 2, Png(PNG_FORMAT_RGBA_COLORMAP, 6, 2));
  for (int bits : {8, 16, 24, 32}) Write(dir, "bmp" + std::to_string(bits), 2, Bmp(bits));
  return 0;
}
