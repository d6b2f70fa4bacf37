#include "FrontendTestUtilsU.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "ImageLoaderU.h"

namespace fs = std::filesystem;

TDecodedImage DecodeWithMagick(const std::string& fileName) {
  TDecodedImage image;
  const std::string command = "convert '" + fileName + "' txt:- 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) {
    ADD_FAILURE() << "cannot run ImageMagick";
    return image;
  }
  std::string text;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe.get())) > 0) text.append(buffer, got);
  // "# ImageMagick pixel enumeration: W,H,..." then "x,y: (...)  #RRGGBB..." per pixel.
  size_t lineStart = 0;
  bool header = false;
  while (lineStart < text.size()) {
    size_t lineEnd = text.find('\n', lineStart);
    if (lineEnd == std::string::npos) lineEnd = text.size();
    const std::string line = text.substr(lineStart, lineEnd - lineStart);
    lineStart = lineEnd + 1;
    int a, b;
    if (sscanf(line.c_str(), "# ImageMagick pixel enumeration: %d,%d", &a, &b) == 2) {
      image.Width = a;
      image.Height = b;
      image.Pixels.assign(size_t(a) * b, TRGBColor{1, 2, 3});
      header = true;
      continue;
    }
    const size_t hash = line.find('#');
    if (!header || hash == std::string::npos || sscanf(line.c_str(), "%d,%d:", &a, &b) != 2)
      continue;
    unsigned rgb = 0;
    if (sscanf(line.c_str() + hash + 1, "%6x", &rgb) != 1 || a < 0 || b < 0 || a >= image.Width ||
        b >= image.Height)
      continue;
    image.Pixels[size_t(b) * image.Width + a] = {uint8_t(rgb >> 16), uint8_t(rgb >> 8),
                                                 uint8_t(rgb)};
  }
  if (!header) ADD_FAILURE() << "ImageMagick could not decode " << fileName << ":\n" << text;
  return image;
}

std::filesystem::path CliPath() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path()
               : self.parent_path().parent_path() / "tools" / "vellicor-cli";
}

std::vector<uint8_t> ReadFileBytes(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& fileName, const std::vector<uint8_t>& bytes) {
  std::ofstream out(fileName, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
  return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (uint32_t(bytes[at + 3]) << 24);
}

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t at) {
  return uint16_t(bytes[at] | (bytes[at + 1] << 8));
}

std::string RunShell(const std::string& command, int* exitCode) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, got);
  const int status = pclose(pipe);
  if (exitCode) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

const std::string& PillowPython() {
  static const std::string python = [] {
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
      int code = -1;
      RunShell(std::string(candidate) + " -c 'import PIL' 2>/dev/null", &code);
      if (code == 0) return std::string(candidate);
    }
    return std::string();
  }();
  return python;
}

namespace {

constexpr const char* PillowScript = R"(
import sys
from PIL import Image
im = Image.open(sys.argv[1])
n = getattr(im, 'n_frames', 1)
print('format', im.format); print('mode', im.mode); print('size', im.size[0], im.size[1])
print('frames', n); print('loop', im.info.get('loop', -1))
if im.mode == 'P':
    print('indices', bytes(im.getdata()).hex())
    print('palette', bytes(im.getpalette()).hex())
    t = im.info.get('transparency', b'')
    print('trns', (t if isinstance(t, bytes) else bytes([t])).hex())
for i in range(n):
    im.seek(i)
    print('duration', im.info.get('duration', -1))
    print('rgba', im.convert('RGBA').tobytes().hex())
)";

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(uint8_t(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

}  // namespace

TPillowImage DecodeWithPillow(const std::string& fileName) {
  TPillowImage image;
  const TTempDir temp("pillow");
  const std::string script = temp.Write("decode.py", PillowScript);
  std::istringstream lines(RunShell(PillowPython() + " '" + script + "' '" + fileName + "' 2>&1"));
  std::string key;
  while (lines >> key) {
    if (key == "format")
      lines >> image.Format;
    else if (key == "mode")
      lines >> image.Mode;
    else if (key == "size")
      lines >> image.Width >> image.Height;
    else if (key == "frames")
      lines >> image.Frames;
    else if (key == "loop")
      lines >> image.Loop;
    else if (key == "duration") {
      double duration = -1;
      lines >> duration;
      image.Durations.push_back(int32_t(duration));
    } else {
      std::string hex;
      if (key == "indices" || key == "palette" || key == "trns" || key == "rgba")
        lines >> hex;
      else {
        ADD_FAILURE() << "Pillow: " << key << lines.rdbuf();
        break;
      }
      if (key == "indices") image.Indices = FromHex(hex);
      if (key == "palette") image.Palette = FromHex(hex);
      if (key == "trns") image.Transparency = FromHex(hex);
      if (key == "rgba") image.Rgba.push_back(FromHex(hex));
    }
  }
  return image;
}

std::vector<uint8_t> ToRgba(const std::vector<uint8_t>& indices) {
  const TPalette& palette = BuiltInPalette();
  std::vector<uint8_t> out;
  for (uint8_t index : indices) {
    if (index == SampleTransparentIndex) {
      out.insert(out.end(), {0, 0, 0, 0});
      continue;
    }
    out.insert(out.end(), {palette[index][0], palette[index][1], palette[index][2], 255});
  }
  return out;
}

std::vector<uint8_t> ClearTransparent(std::vector<uint8_t> rgba) {
  for (size_t i = 0; i + 3 < rgba.size(); i += 4)
    if (rgba[i + 3] == 0) rgba[i] = rgba[i + 1] = rgba[i + 2] = 0;
  return rgba;
}

const TSampleImage& Sprite(const std::string& name) {
  static const std::vector<TSampleImage> sprites = SampleSprites();
  for (const TSampleImage& image : sprites)
    if (image.Name == name) return image;
  throw std::runtime_error("no sprite " + name);
}
