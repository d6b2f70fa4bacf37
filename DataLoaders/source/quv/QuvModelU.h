#pragma once
// What a Quv collection to be written holds, before it is a loaded collection: images of
// frames, each frame its size, offsets, compression and palette indices, or sub-frames that
// compose it.
#include <cstdint>
#include <string>
#include <vector>

class TQuvImages;

// CompressionMode that keeps each frame's own Compression.
constexpr uint8_t KeepCompression = 255;

struct TQuvFrameModel {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t XOffset = 0;
  int32_t YOffset = 0;
  uint8_t Compression = 1;
  std::vector<uint8_t> Pixels;            // Width x Height palette indices, top row first
  std::vector<TQuvFrameModel> SubFrames;  // when not empty, the frame is their composition

  bool operator==(const TQuvFrameModel&) const = default;
};

struct TQuvImageModel {
  std::string Name;
  std::vector<TQuvFrameModel> Frames;

  bool operator==(const TQuvImageModel&) const = default;
};

// Enters the images into a collection as loaded frames; a frame with sub-frames gets their
// composition as its own rows.
void FillCollection(TQuvImages& collection, const std::vector<TQuvImageModel>& images);
