#pragma once
// What the edit tests share: the sample file as a fresh reader gives it, bytes saved by an edit
// read back by a reader of their own, and a palette of 256 distinct colours.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "../quv/QuvTestSupport.h"
#include "QuvEditU.h"
#include "QuvSamplesU.h"

// What a loaded frame shows: each visible pixel by its column and row from the hot spot.
using TShown = std::map<std::pair<int32_t, int32_t>, uint8_t>;

class EditTest : public QuvTest {
 protected:
  // The sample file's content as a fresh reader gives it.
  TQuvContent Sample() {
    Collection = Load(MakeSampleQuv(), "sample" + std::to_string(++FLoads) + ".quv");
    return ReadQuvContent(*Collection, 9);
  }
  // The content of bytes saved by an edit, read back by a reader of its own.
  TQuvContent Reread(const std::vector<uint8_t>& bytes) {
    Reloaded = Load(bytes, "saved" + std::to_string(++FLoads) + ".quv");
    return ReadQuvContent(*Reloaded, 9);
  }
  // Applies the edit, checks that undoing it gives the same bytes again, and applies it once
  // more: the content as the edit leaves it.
  static void ApplyAndCheckUndo(TQuvContent& content, const TQuvEdit& edit) {
    const std::vector<uint8_t> before = EncodeQuvContent(content);
    ApplyEdit(content, edit);
    EXPECT_NE(EncodeQuvContent(content), before) << edit.Name << " changed nothing";
    RevertEdit(content, edit);
    EXPECT_EQ(EncodeQuvContent(content), before) << edit.Name << " was not undone";
    ApplyEdit(content, edit);
  }
  // The message of the refusal, which must leave the content byte for byte as it was.
  static std::string Refusal(const TQuvContent& content, const std::function<void()>& edit) {
    const std::vector<uint8_t> before = EncodeQuvContent(content);
    std::string message;
    try {
      edit();
    } catch (const EQuvEditError& e) {
      message = e.what();
    }
    EXPECT_EQ(EncodeQuvContent(content), before);
    return message;
  }
  // Entry i: (i, 255 - i, 7i mod 256), no two alike.
  static TPalette DistinctPalette() {
    TPalette palette{};
    for (size_t i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
    return palette;
  }

  static TShown Shown(TImageClass& images, const std::string& image, int32_t index) {
    TQuvFrame& frame = Frame(images, image, index);
    TShown shown;
    EXPECT_TRUE(frame.Pixels) << image << " " << index;
    if (!frame.Pixels) return shown;
    for (int32_t y = 0; y < frame.Height; ++y)
      for (int32_t x = 0; x < frame.Width; ++x) {
        const uint8_t pixel = (*frame.Pixels)[size_t(y)][size_t(x)];
        if (pixel != 9) shown[{x - frame.XOffset, y - frame.YOffset}] = pixel;
      }
    return shown;
  }
  // The same pixels moved by dx, dy.
  static TShown Moved(const TShown& shown, int32_t dx, int32_t dy) {
    TShown moved;
    for (const auto& [at, pixel] : shown) moved[{at.first + dx, at.second + dy}] = pixel;
    return moved;
  }

  std::unique_ptr<TQuvImages> Collection;
  std::unique_ptr<TQuvImages> Reloaded;

 private:
  int FLoads = 0;
};
