// Exports of a file with a damaged frame, as the user meets them in the viewer (the frame was
// shown, and so fetched, before the export) and in vellicor-cli: the frame is reported with its
// reason and the file's name, no file is written for it, and every other frame is written.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ExportPlanU.h"
#include "FrontendTestUtilsU.h"
#include "ImageExportU.h"
#include "QuvDocumentU.h"
#include "QuvSamplesU.h"

namespace {

namespace fs = std::filesystem;

uint32_t U32(const std::vector<uint8_t>& bytes, size_t at) {
  return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
         uint32_t(bytes[at + 3]) << 24;
}

// "tank": 8 frames of 8 x 8 pixels, each of one colour; frame 4 (index 3) stored with a
// compression byte no Quv file uses.
std::vector<uint8_t> TankWithADamagedFrame() {
  TSampleImage tank{"tank", {}};
  for (int i = 0; i < 8; ++i) tank.Frames.push_back(SolidFrame(8, 8, 0, 0, uint8_t(16 + i)));
  std::vector<uint8_t> bytes = BuildQuvFile({tank}, 1);
  const size_t header = U32(bytes, U32(bytes, 12) + 40 + 8 * 3);
  bytes[header + 9] = 7;
  return bytes;
}

const std::string Sentence =
    "Frame 4 of \u2018tank\u2019 cannot be read: it is stored in a way no "
    "Quv file uses";

std::vector<std::string> Listed(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> TankFiles(const std::string& extension) {
  std::vector<std::string> names;
  for (int i : {0, 1, 2, 4, 5, 6, 7}) names.push_back("tank_" + std::to_string(i) + extension);
  return names;
}

class DamagedExport : public ::testing::Test {
 protected:
  void SetUp() override {
    Path = Dir.File("tank.quv");
    WriteFileBytes(Path, TankWithADamagedFrame());
    TQuvDocumentOptions options;
    options.Palette = BuiltInPalette();
    options.TransparentIndex = SampleTransparentIndex;
    options.TrueColour = true;
    TQuvDocumentResult opened = OpenQuvDocument(Path, options);
    ASSERT_TRUE(opened.Document) << opened.Error;
    Document = std::move(opened.Document);
    Image = Document->FrontEnd->GetImage("tank");
    // The viewer showed the damaged frame once: its first fetch failed, the next ones give it.
    EXPECT_THROW(Image->GetFrame(3), EImageFileError);
    ASSERT_NE(Image->GetFrame(3), nullptr);
  }

  TTempDir Dir;
  std::string Path;
  std::unique_ptr<TQuvDocument> Document;
  TFrontEndImage* Image = nullptr;
};

}  // namespace

TEST_F(DamagedExport, TheDamagedFrameIsReportedWithTheFileAndWritesNoFileInEveryFormat) {
  for (const TExportFormat format : {efBmp, efPng, efPng8, efGif, efSheet}) {
    SCOPED_TRACE(ExportFormatName(format));
    const fs::path out = Dir.Path() / ExportFormatName(format);
    fs::create_directories(out);
    TExportPlan plan;
    ExportImageFiles(plan, *Image, format, 0, INT32_MAX, false, out.string());
    ASSERT_EQ(plan.Failures().size(), 1u);
    const std::string& failure = plan.Failures()[0];
    EXPECT_NE(failure.find("tank.quv"), std::string::npos) << failure;
    EXPECT_EQ(failure.substr(failure.size() - Sentence.size()), Sentence) << failure;
    if (format == efBmp || format == efPng || format == efPng8)
      EXPECT_EQ(Listed(out), TankFiles(format == efBmp ? ".bmp" : ".png"));
    else
      EXPECT_EQ(Listed(out).size(), format == efSheet ? 2u : 1u);
  }
  // The frame's pixels are never handed out: the viewer's copy and pixel readout meet the same.
  try {
    Image->GetFrame(3)->GetPixels();
    ADD_FAILURE() << "no error";
  } catch (const EImageFileError& error) {
    EXPECT_EQ(error.what(), Sentence);
  }
}

TEST_F(DamagedExport, TheCommandLineExportWritesTheOtherFramesAndFailsNamingTheFrame) {
  const fs::path cli = CliPath();
  if (!fs::exists(cli)) GTEST_SKIP() << "vellicor-cli not built";
  const std::string command = "cd '" + Dir.Path().string() + "' && '" + cli.string() +
                              "' export tank.quv --out out 2>stderr.txt </dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  for (size_t got; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, got);
  const int status = pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(out, "7 files written to out\n");
  const std::vector<uint8_t> err = ReadFileBytes(Dir.File("stderr.txt"));
  const std::string text(err.begin(), err.end());
  EXPECT_NE(text.find("tank.quv: " + Sentence), std::string::npos) << text;
  EXPECT_EQ(Listed(Dir.Path() / "out"), TankFiles(".bmp"));
}
