#include "PackTestSupportU.h"

#include <png.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <sys/wait.h>

#include "FrontendTestUtilsU.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> WritePng(png_image& image, const void* pixels, const void* colours) {
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, pixels, 0, colours);
  std::vector<uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, pixels, 0, colours)) return {};
  out.resize(size);
  return out;
}

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<uint8_t> EncodeRgbaPng(int32_t width, int32_t height,
                                   const std::vector<uint8_t>& rgba) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = PNG_FORMAT_RGBA;
  return WritePng(image, rgba.data(), nullptr);
}

std::vector<uint8_t> EncodeIndexedPng(int32_t width, int32_t height,
                                      const std::vector<uint8_t>& indices,
                                      const std::vector<std::array<uint8_t, 4>>& palette) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(width);
  image.height = png_uint_32(height);
  image.format = PNG_FORMAT_RGBA_COLORMAP;
  image.colormap_entries = png_uint_32(palette.size());
  return WritePng(image, indices.data(), palette.data());
}

std::vector<std::array<uint8_t, 4>> Png8Palette(const TPalette& palette, uint8_t transparent) {
  std::vector<std::array<uint8_t, 4>> colours;
  for (size_t i = 0; i < 256; ++i)
    colours.push_back(
        {palette[i][0], palette[i][1], palette[i][2], uint8_t(i == transparent ? 0 : 255)});
  return colours;
}

fs::path PackCliPath() {
  const fs::path cli = CliPath();
  return !cli.empty() && fs::exists(cli) ? cli : fs::path();
}

TCliRun RunPackCli(const fs::path& folder, const std::string& arguments) {
  const fs::path out = folder / ".cli-out", err = folder / ".cli-err";
  // A run that hangs is stopped and fails the test instead of stalling the suite.
  const std::string command = "cd '" + folder.string() + "' && timeout -k 5 " +
                              std::to_string(PackCliTimeoutSeconds) + " '" +
                              PackCliPath().string() + "' " + arguments + " >'" + out.string() +
                              "' 2>'" + err.string() + "' </dev/null";
  TCliRun run;
  const int status = std::system(command.c_str());
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.Out = ReadText(out);
  run.Err = ReadText(err);
  fs::remove(out);
  fs::remove(err);
  return run;
}
