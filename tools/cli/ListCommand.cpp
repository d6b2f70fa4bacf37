// vellicor-cli list PATH [--json]: loads a Quv file as the viewer does and prints every image in
// file order with its frames and sub-frames. Only frames with sub-frames are decoded (their
// composition decides their size and offsets), one at a time.
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "CliCommandU.h"
#include "ConsoleU.h"
#include "QuvSourceU.h"

namespace {

using TJson = nlohmann::ordered_json;

struct TListOptions {
  std::string Path;
  bool Json = false;
};

// Warnings and errors of the readers go to standard error as they are logged; an error raised
// afterwards carries the same words, so it is printed only when it was not.
class TStderrLog {
 public:
  TStderrLog() {
    if (!Console) {
      FOwn = std::make_unique<TConsole>();
      FOwn->Initialize();
      Console = FOwn.get();
    }
    FSaved = Console->OnLog;
    Console->OnLog = [this](const std::string& text, uint8_t level) {
      if (level != 8) return;
      std::fprintf(stderr, "%s\n", text.c_str());
      FPrinted.push_back(text);
    };
  }
  ~TStderrLog() {
    Console->OnLog = FSaved;
    if (FOwn) Console = nullptr;
  }
  // True when message is the last printed message, or the last few run together (errors of
  // several entries are raised as one text).
  bool Printed(const std::string& message) const {
    std::string tail;
    for (auto it = FPrinted.rbegin(); it != FPrinted.rend() && tail.size() < message.size(); ++it) {
      tail = *it + tail;
      if (tail == message) return true;
    }
    return false;
  }

 private:
  std::unique_ptr<TConsole> FOwn;
  TConsole::TLogEvent FSaved;
  std::vector<std::string> FPrinted;
};

TJson FrameJson(const TImageFrame& frame) {
  TJson json;
  json["width"] = frame.Width;
  json["height"] = frame.Height;
  json["xoffset"] = frame.XOffset;
  json["yoffset"] = frame.YOffset;
  return json;
}

// A frame as listed: the header says all of a frame without sub-frames; one with sub-frames is
// fetched (read and composed).
TImageFrame* ListedFrame(TImage& image, int32_t index) {
  const size_t slot = size_t(index);
  TImageFrame* known = slot < image.Frames.size() ? image.Frames[slot].get() : nullptr;
  if (known && known->SubFrameCount == 0) return known;
  return image.GetFrame(index);
}

// Every image in file order, with its frames.
TJson Describe(const TQuvDocument& source) {
  TJson images = TJson::array();
  for (auto& image : source.Images->Images) {
    TJson frames = TJson::array();
    for (int32_t i = 0; i < image->FrameCount; ++i) {
      TImageFrame* frame = ListedFrame(*image, i);
      if (!frame) continue;
      TJson json = FrameJson(*frame);
      TJson subFrames = TJson::array();
      for (int32_t k = 0; k < frame->SubFrameCount; ++k) {
        if (TImageFrame* subFrame = frame->GetSubFrame(k))
          subFrames.push_back(FrameJson(*subFrame));
      }
      json["subframes"] = std::move(subFrames);
      frames.push_back(std::move(json));
      // What is reported stays: the pixels are not needed again.
      if (frame->Loaded) source.Images->ReleaseFrame(frame);
    }
    images.push_back(TJson{{"name", image->Name}, {"frames", std::move(frames)}});
  }
  return TJson{{"file", source.Path}, {"images", std::move(images)}};
}

void PrintTable(const TJson& listing) {
  const auto& images = listing["images"];
  std::printf("%s: %zu image%s\n", listing["file"].get<std::string>().c_str(), images.size(),
              images.size() == 1 ? "" : "s");
  for (const auto& image : images) {
    const auto& frames = image["frames"];
    std::printf("\n%s (%zu frame%s)\n", image["name"].get<std::string>().c_str(), frames.size(),
                frames.size() == 1 ? "" : "s");
    std::printf("  %-9s %6s %6s %8s %8s %10s\n", "frame", "width", "height", "xoffset", "yoffset",
                "subframes");
    int index = 0;
    for (const auto& frame : frames) {
      std::printf("  %-9d %6d %6d %8d %8d %10zu\n", index++, frame["width"].get<int>(),
                  frame["height"].get<int>(), frame["xoffset"].get<int>(),
                  frame["yoffset"].get<int>(), frame["subframes"].size());
      int subIndex = 0;
      for (const auto& sub : frame["subframes"]) {
        std::printf("    sub %-3d %6d %6d %8d %8d\n", subIndex++, sub["width"].get<int>(),
                    sub["height"].get<int>(), sub["xoffset"].get<int>(), sub["yoffset"].get<int>());
      }
    }
  }
}

void RunList(const TListOptions& options) {
  TStderrLog log;
  TJson listing;
  // Sizes and offsets only: the built-in palette and its transparent index, whatever palette
  // file lies here.
  LoadPaletteFrom(nullptr);
  try {
    listing = Describe(*OpenQuvSource(options.Path));
  } catch (const std::exception& e) {
    if (!log.Printed(e.what())) std::fprintf(stderr, "%s\n", e.what());
    CliExitCode() = 1;
    return;
  }
  if (options.Json)
    std::printf("%s\n", listing.dump(2).c_str());
  else
    PrintTable(listing);
  std::fflush(stdout);
}

}  // namespace

static TCliCommand listCommand(10, [](CLI::App& app) {
  auto options = std::make_shared<TListOptions>();
  CLI::App* command = app.add_subcommand(
      "list",
      "Load a Quv file and list its images in file order with their frames and sub-frames (size "
      "and hot-spot offsets, as composed)");
  command->add_option("PATH", options->Path, "the Quv file")->required();
  command->add_flag("--json", options->Json, "print JSON instead of a table");
  command->callback([options] { RunList(*options); });
});
