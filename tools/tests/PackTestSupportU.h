#pragma once
// Helpers of the pack tests: PNG files written with libpng, and vellicor-cli run as a user runs
// it in a scratch folder.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ImageManagerU.h"

// An RGBA PNG (4 bytes a pixel, top row first).
std::vector<uint8_t> EncodeRgbaPng(int32_t width, int32_t height, const std::vector<uint8_t>& rgba);
// An indexed PNG with a palette of all 256 entries; entries whose alpha is below 255 get it
// through tRNS.
std::vector<uint8_t> EncodeIndexedPng(int32_t width, int32_t height,
                                      const std::vector<uint8_t>& indices,
                                      const std::vector<std::array<uint8_t, 4>>& palette);

// The built-in palette with only the transparent index transparent (alpha 0), as png8 writes.
std::vector<std::array<uint8_t, 4>> Png8Palette(const TPalette& palette, uint8_t transparent);

struct TCliRun {
  int ExitCode = -1;
  std::string Out;
  std::string Err;
};

// vellicor-cli next to the test binary's folder, or empty when it has not been built.
std::filesystem::path PackCliPath();
// A run taking longer is stopped; its exit code is then 124.
constexpr int PackCliTimeoutSeconds = 60;
// Runs vellicor-cli with the arguments (shell words) in folder, standard input closed.
TCliRun RunPackCli(const std::filesystem::path& folder, const std::string& arguments);
