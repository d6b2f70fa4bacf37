#pragma once
// Shared set-up of the Quv tests: a console whose level-8 messages are collected, an assertion
// handler that records reports instead of stopping, and a manager reading from memory files.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ConsoleU.h"
#include "FileSystemU.h"
#include "LowLevelIO.h"
#include "MemoryFileReaderU.h"
#include "QuvManagerU.h"
#include "QuvWriterU.h"

// Little-endian bytes written at any offset; the buffer grows as needed.
class TByteWriter {
 public:
  void U8(size_t at, uint8_t v) { Grow(at + 1)[at] = v; }
  void U16(size_t at, uint16_t v) {
    U8(at, static_cast<uint8_t>(v));
    U8(at + 1, static_cast<uint8_t>(v >> 8));
  }
  void U32(size_t at, uint32_t v) {
    U16(at, static_cast<uint16_t>(v));
    U16(at + 2, static_cast<uint16_t>(v >> 16));
  }
  void Bytes(size_t at, const std::vector<uint8_t>& v) {
    Grow(at + v.size());
    std::copy(v.begin(), v.end(), Data.begin() + static_cast<std::ptrdiff_t>(at));
  }
  void Name(size_t at, const std::string& name) {
    Grow(at + 32);
    std::copy(name.begin(), name.end(), Data.begin() + static_cast<std::ptrdiff_t>(at));
  }
  // A 24-byte frame header.
  void FrameHeader(size_t at, uint16_t width, uint16_t height, int16_t x, int16_t y,
                   uint8_t compression, uint16_t subFrames, uint32_t dataOffset) {
    U16(at, width);
    U16(at + 2, height);
    U16(at + 4, static_cast<uint16_t>(x));
    U16(at + 6, static_cast<uint16_t>(y));
    U8(at + 8, 9);
    U8(at + 9, compression);
    U16(at + 10, subFrames);
    U32(at + 12, 0);
    U32(at + 16, dataOffset);
    U32(at + 20, 0);
  }
  std::vector<uint8_t> Data;

 private:
  std::vector<uint8_t>& Grow(size_t size) {
    if (Data.size() < size) Data.resize(size, 0);
    return Data;
  }
};

// A file of one image "img" with one frame whose header is at 64 and data at 88 (as the
// smallest file lays it out); the caller adds the data.
inline TByteWriter OneFrameFile(uint16_t width, uint16_t height, uint8_t compression,
                                uint16_t subFrames = 0, int16_t x = 0, int16_t y = 0) {
  TByteWriter w;
  w.U32(0, 0x00010100);
  w.U32(4, 1);
  w.U32(12, 16);
  w.U16(16, 1);
  w.Name(24, "img");
  w.U32(56, 64);
  w.FrameHeader(64, width, height, x, y, compression, subFrames, 88);
  return w;
}

class QuvTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Console = &FConsole;
    FConsole.Initialize();
    FConsole.OnLog = [this](const std::string& text, uint8_t level) {
      if (level == 8) Logged.push_back(text);
    };
    FSavedHandler = Platform().AssertionHandler;
    Platform().AssertionHandler = [this](bool condition, const std::string& message,
                                         const TSourceLocation&) {
      if (!condition) Assertions.push_back(message);
    };
    Manager.FileSystem = &FileSystem;
    Manager.TransparentIndex = 9;
    Manager.Initialize();
  }
  void TearDown() override {
    Manager.Finalize();
    Platform().AssertionHandler = FSavedHandler;
    Console = nullptr;
  }

  void AddFile(const std::string& name, std::vector<uint8_t> bytes) {
    AddMemoryFile(FileSystem, name, std::make_shared<const std::vector<uint8_t>>(std::move(bytes)));
  }
  // Loads the bytes as "test.quv".
  std::unique_ptr<TQuvImages> Load(std::vector<uint8_t> bytes,
                                   const std::string& name = "test.quv") {
    AddFile(name, std::move(bytes));
    std::unique_ptr<TImageClass> loaded = Manager.LoadFile(name);
    return std::unique_ptr<TQuvImages>(static_cast<TQuvImages*>(loaded.release()));
  }
  // The message of the EQuvFileError that f raises ("" when none).
  template <class F>
  static std::string QuvError(F f) {
    try {
      f();
    } catch (const EQuvFileError& e) {
      return e.what();
    }
    return "";
  }
  static TQuvFrame& Frame(TImageClass& images, const std::string& image, int32_t index) {
    return static_cast<TQuvFrame&>(*images.FindImage(image)->GetFrame(index));
  }

  TConsole FConsole;
  TFileSystem FileSystem;
  TQuvManager Manager;
  std::vector<std::string> Logged;
  std::vector<std::string> Assertions;

 private:
  decltype(TPlatformTable::AssertionHandler) FSavedHandler;
};
