#pragma once
// Sample sprites drawn in code, and Quv files built from them with the writer: for the bundled
// sample files, tests, benchmarks and fuzz seeds.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "QuvModelU.h"

// The palette index that means an empty pixel in every sample.
constexpr uint8_t SampleTransparentIndex = 9;

// The samples are Quv models like any collection to be written.
using TSampleFrame = TQuvFrameModel;
using TSampleImage = TQuvImageModel;

// A frame of one colour at the given offsets.
TSampleFrame SolidFrame(int32_t width, int32_t height, int32_t xOffset, int32_t yOffset,
                        uint8_t colour);

// The drawn sprites: "ball" (bouncing, run-length), "windmill" (rotating, raw), "tank" (hull
// and turret as overlapping sub-frames), "light" (blinking, two sizes), "walker" (stick figure).
std::vector<TSampleImage> SampleSprites();

// A whole Quv file of the images, written by the writer under the given CompressionMode.
std::vector<uint8_t> BuildQuvFile(const std::vector<TSampleImage>& images,
                                  uint8_t compressionMode = KeepCompression,
                                  uint8_t transparentIndex = SampleTransparentIndex);

// The bundled sample: every sprite, each frame with its own compression.
std::vector<uint8_t> MakeSampleQuv();

// imageCount images named "image0000".. of frameCount frames of width x height pixels, with a
// pattern that mixes transparent runs, repeats and literals. firstImage numbers the first image
// (its name and its pattern), so that files made in turn differ.
std::vector<TSampleImage> SyntheticImages(int32_t imageCount, int32_t frameCount,
                                          int32_t width = 32, int32_t height = 32,
                                          uint8_t compression = 1, int32_t firstImage = 0);
std::vector<uint8_t> MakeSyntheticQuv(int32_t imageCount, int32_t frameCount, int32_t width = 32,
                                      int32_t height = 32, uint8_t compression = 1);

// The sample files by name: "sample.quv" (every sprite), "sample_raw.quv" (every sprite, raw
// rows), "tank.quv" (the tank alone, run-length with empty rows).
std::vector<std::pair<std::string, std::vector<uint8_t>>> SampleFiles();
// Writes SampleFiles() into dir (which must exist); returns the paths written.
std::vector<std::string> WriteSampleFiles(const std::string& dir);
