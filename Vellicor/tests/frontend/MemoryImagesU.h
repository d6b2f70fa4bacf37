#pragma once
// An in-memory image collection for the front-end tests: frames are described in code, come
// "loaded" with palette-index rows and are converted to colours by the image model itself.
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ImageManagerU.h"

class TMemoryFrame : public TImageFrame {
 public:
  using TImageFrame::TImageFrame;
  std::unique_ptr<TImageFrame> CreateSubFrame(int32_t index) override {
    return std::make_unique<TMemoryFrame>(Image, index, this);
  }
  void Save(IStream&) override {}
};

class TMemoryImage : public TImage {
 public:
  using TImage::TImage;
  std::unique_ptr<TImageFrame> CreateFrame(int32_t index) override {
    return std::make_unique<TMemoryFrame>(this, index, nullptr);
  }
  void LoadFromReader(IFileReader&) override {}
  void SaveToWriter(IStream&) override {}
};

// Frames left unloaded are "corrupt": fetching them raises EImageFileError.
class TMemoryImages : public TImageClass {
 public:
  using TImageClass::TImageClass;
  std::unique_ptr<TImage> CreateImage(const std::string& name, int32_t frameCount) override {
    return std::make_unique<TMemoryImage>(this, name, frameCount);
  }
  void LoadFrame(const TLoadRoutine&, TImageFrame* frame) override {
    frame->Loaded = true;
    throw EImageFileError("Frame " + std::to_string(frame->Index) + " is corrupt");
  }
};

class TMemoryManager : public TImageManager {
 public:
  std::string GetName() const override { return "Memory image manager"; }
  std::unique_ptr<TImageClass> LoadFile(const std::string&) override { return nullptr; }
  std::unique_ptr<TImageClass> CreateClass(const std::string& name) override {
    return std::make_unique<TMemoryImages>(name, 16, this);
  }
};

// One frame or sub-frame to build. Pixel (x, y) gets palette index Index(x, y).
struct TFrameDesc {
  TFrameDesc(int32_t width = 1, int32_t height = 1, int32_t xOffset = 0, int32_t yOffset = 0)
      : Width(width), Height(height), XOffset(xOffset), YOffset(yOffset) {}
  int32_t Width = 1;
  int32_t Height = 1;
  int32_t XOffset = 0;
  int32_t YOffset = 0;
  std::function<uint8_t(int32_t x, int32_t y)> Index = [](int32_t, int32_t) { return 1; };
  std::vector<TFrameDesc> SubFrames;
  bool Corrupt = false;  // stays unloaded; its fetch fails
};

// A manager (with the process palette copied in and colours switched on) and its collection.
class TMemoryFile {
 public:
  explicit TMemoryFile(const std::string& name = "test.quv");
  TImage* AddImage(const std::string& name, const std::vector<TFrameDesc>& frames);

  TMemoryManager Manager;
  std::unique_ptr<TImageClass> Images;
};
