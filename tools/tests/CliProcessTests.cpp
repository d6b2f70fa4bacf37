// vellicor-cli as a child process, measured from outside: a small file that announces huge
// frames is listed and exported (or refused) quickly and in bounded memory, and a file that
// lies fails with one line naming it. Skipped when the tool has not been built next to the
// tests.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"

namespace {

namespace fs = std::filesystem;

struct TRun {
  int ExitCode = -1;
  bool TimedOut = false;
  double Seconds = 0;
  int64_t PeakKiB = 0;  // the child's largest resident set
  std::string Out, Err;
};

// Runs program with arguments in folder, output to files; killed after limit.
TRun RunChild(const fs::path& program, const std::vector<std::string>& arguments,
              const fs::path& folder, std::chrono::seconds limit) {
  TRun run;
  const fs::path out = folder / "child.out", err = folder / "child.err";
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(o, 1);
    dup2(e, 2);
    // What the program keeps is measured, not what a sanitizer keeps of what it freed.
    const char* options = getenv("ASAN_OPTIONS");
    const std::string asan = std::string(options ? options : "") + ":quarantine_size_mb=4";
    setenv("ASAN_OPTIONS", asan.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& argument : arguments)
      argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  struct rusage usage {};
  while (wait4(pid, &status, WNOHANG, &usage) == 0) {
    if (std::chrono::steady_clock::now() - start > limit) {
      kill(pid, SIGKILL);
      wait4(pid, &status, 0, &usage);
      run.TimedOut = true;
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.PeakKiB = usage.ru_maxrss;
  run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  const std::vector<uint8_t> o = ReadFileBytes(out.string()), e = ReadFileBytes(err.string());
  run.Out.assign(o.begin(), o.end());
  run.Err.assign(e.begin(), e.end());
  return run;
}

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

// One image "bomb" of frames run-length frames of side x side pixels, every row empty: two
// bytes a row, so the file backs each frame while decoding it would fill side * side bytes.
std::vector<uint8_t> PixelBomb(uint32_t frames, uint32_t side) {
  const uint32_t headers = 12 + 4 + 40 + 8 * frames;
  std::vector<uint8_t> b(headers + 24 * frames + size_t(frames) * 2 * side, 0);
  Put32(b, 0, 0x00010100);
  Put32(b, 4, 1);
  Put32(b, 12, 16);
  Put16(b, 16, frames);
  const std::string name = "bomb";
  std::copy(name.begin(), name.end(), b.begin() + 24);
  for (uint32_t i = 0; i < frames; ++i) {
    const size_t header = headers + 24 * i;
    Put32(b, 56 + 8 * i, uint32_t(header));
    Put16(b, header, side);
    Put16(b, header + 2, side);
    b[header + 8] = 9;
    b[header + 9] = 1;
    Put32(b, header + 16, uint32_t(headers + 24 * frames + size_t(i) * 2 * side));
  }
  return b;
}

// One image "img" of one raw frame of width x height, or (subFrame set) of one 2 x 2 frame made of
// one sub-frame of width x height.
std::vector<uint8_t> ZeroSidedQuv(uint16_t width, uint16_t height, bool subFrame) {
  std::vector<uint8_t> b(120, 0);
  Put32(b, 0, 0x00010100);
  Put32(b, 4, 1);
  Put32(b, 12, 16);
  Put16(b, 16, 1);
  b[24] = 'i', b[25] = 'm', b[26] = 'g';
  Put32(b, 56, 64);
  const auto header = [&](size_t at, uint16_t w, uint16_t h, uint16_t subFrames, uint32_t data) {
    Put16(b, at, w);
    Put16(b, at + 2, h);
    b[at + 8] = 9;
    Put16(b, at + 10, subFrames);
    Put32(b, at + 16, data);
  };
  if (!subFrame) {
    header(64, width, height, 0, 88);
    return b;
  }
  header(64, 2, 2, 1, 88);
  Put32(b, 88, 92);
  header(92, width, height, 0, 116);
  return b;
}

class CliProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    Cli = CliPath();
    if (!fs::exists(Cli)) GTEST_SKIP() << "vellicor-cli not built";
  }
  fs::path Cli;
  TTempDir Dir;
};

}  // namespace

TEST_F(CliProcess, AFileOfHugeFramesListsAndFailsToExportQuicklyInBoundedMemory) {
  // 40 frames of 16000 x 16000 in 1.3 MB: 10 GB if every frame were decoded and kept.
  const std::vector<uint8_t> bomb = PixelBomb(40, 16000);
  ASSERT_GT(bomb.size(), 1'250'000u);
  WriteFileBytes(Dir.File("bomb.quv"), bomb);
  constexpr int64_t LimitKiB = 512 * 1024;

  const TRun list = RunChild(Cli, {"list", "bomb.quv"}, Dir.Path(), std::chrono::seconds(20));
  EXPECT_FALSE(list.TimedOut);
  EXPECT_EQ(list.ExitCode, 0) << list.Err;
  EXPECT_NE(list.Out.find("bomb (40 frames)"), std::string::npos) << list.Out;
  EXPECT_NE(list.Out.find("16000  16000"), std::string::npos);
  EXPECT_LT(list.PeakKiB, LimitKiB);
  EXPECT_LT(list.Seconds, 2.0);

  const TRun exported =
      RunChild(Cli, {"export", "bomb.quv", "--out", "out"}, Dir.Path(), std::chrono::seconds(20));
  EXPECT_FALSE(exported.TimedOut);
  EXPECT_EQ(exported.ExitCode, 1);
  // Every frame is refused on its own, before its pixels are read.
  EXPECT_NE(
      exported.Err.find(
          "bomb.quv: Frame 1 of \u2018bomb\u2019 cannot be read: it is larger than any sprite "
          "could be\n"),
      std::string::npos)
      << exported.Err;
  EXPECT_EQ(std::count(exported.Err.begin(), exported.Err.end(), '\n'), 40) << exported.Err;
  EXPECT_LT(exported.PeakKiB, LimitKiB);
  EXPECT_LT(exported.Seconds, 2.0);
  std::printf("list: %.2f s, %lld KiB; export: %.2f s, %lld KiB\n", list.Seconds,
              (long long)list.PeakKiB, exported.Seconds, (long long)exported.PeakKiB);
}

TEST_F(CliProcess, ExportReleasesEachFrameOnceWritten) {
  // 48 frames of 1024 x 1024, 4 MB each decoded and drawn: 192 MB if all were kept.
  WriteFileBytes(Dir.File("big.quv"), PixelBomb(48, 1024));
  const TRun run =
      RunChild(Cli, {"export", "big.quv", "--out", "out"}, Dir.Path(), std::chrono::seconds(120));
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_NE(run.Out.find("48 files written"), std::string::npos) << run.Out;
  EXPECT_LT(run.PeakKiB, 120 * 1024);
  std::printf("export of 48 frames of 1024 x 1024: %.2f s, %lld KiB\n", run.Seconds,
              (long long)run.PeakKiB);
}

TEST_F(CliProcess, FilesThatLieFailWithOneLineNamingTheFileAndNoAssertionReport) {
  std::vector<uint8_t> inside(16, 0);  // one entry, its offset inside the header
  Put32(inside, 0, 0x00010100);
  Put32(inside, 4, 1);
  Put32(inside, 12, 4);
  std::vector<uint8_t> past = inside;
  Put32(past, 12, 900);
  // Cut where its last entry begins: that entry's offset is the end of the file.
  std::vector<uint8_t> cut = MakeSampleQuv();
  const uint32_t lastEntry = Le32(cut, 12 + 4 * (Le32(cut, 4) - 1));
  cut.resize(lastEntry);
  WriteFileBytes(Dir.File("inside.quv"), inside);
  WriteFileBytes(Dir.File("past.quv"), past);
  WriteFileBytes(Dir.File("cut.quv"), cut);
  WriteFileBytes(Dir.File("zero.quv"), ZeroSidedQuv(0, 4, false));
  WriteFileBytes(Dir.File("zerosub.quv"), ZeroSidedQuv(0, 1, true));

  struct TCase {
    std::string Command, File, Reason;
    std::string Line = "";  // when not the reader's own words: the frame's sentence
  };
  const std::string offset = "Assertion failure: Quv entry offset ";
  const std::string empty = "Assertion failure: a frame of 0 x ";
  const TCase cases[] = {
      {"list", "inside.quv", offset + "4 is invalid"},
      {"export", "inside.quv", offset + "4 is invalid"},
      {"thumbnail", "inside.quv", offset + "4 is invalid"},
      {"list", "past.quv", offset + "900 is invalid"},
      {"thumbnail", "past.quv", offset + "900 is invalid"},
      {"list", "cut.quv", offset + std::to_string(lastEntry) + " is invalid"},
      {"export", "cut.quv", offset + std::to_string(lastEntry) + " is invalid"},
      {"thumbnail", "cut.quv", offset + std::to_string(lastEntry) + " is invalid"},
      // The export leaves the frame out and says so once the rest is written.
      {"export", "zero.quv", "",
       "zero.quv: Frame 1 of \u2018img\u2019 cannot be read: it is 0 pixels wide or high\n"},
      {"export", "zerosub.quv", "",
       "zerosub.quv: Frame 1 of \u2018img\u2019 cannot be read: it is 0 pixels wide or high\n"},
      {"thumbnail", "zerosub.quv", empty + "1 pixels has no pixels, Image: \"img\", Frame 0"},
  };
  for (const TCase& c : cases) {
    const std::string what = c.Command + " " + c.File;
    std::vector<std::string> arguments{c.Command, c.File};
    if (c.Command == "export") arguments.insert(arguments.end(), {"--out", "out"});
    if (c.Command == "thumbnail") arguments.insert(arguments.end(), {"out.png", "--size", "64"});
    const TRun run = RunChild(Cli, arguments, Dir.Path(), std::chrono::seconds(20));
    EXPECT_EQ(run.ExitCode, 1) << what;
    EXPECT_EQ(std::count(run.Err.begin(), run.Err.end(), '\n'), 1) << what << ":\n" << run.Err;
    const std::string line =
        c.Line.empty() ? "In file \"" + c.File + "\" : " + c.Reason + "\n" : c.Line;
    EXPECT_NE(run.Err.find(line), std::string::npos) << what << ":\n" << run.Err;
  }
}

TEST_F(CliProcess, LsListsArchivesAsFilesWithTheirContentAndShortFilesAsFiles) {
  THpiBuilder builder;
  builder.AddFile("anims/tank.quv", {1, 2, 3});
  fs::create_directories(Dir.Path() / "in/sub");
  WriteFileBytes(Dir.File("in/sub/units.hpi"), builder.Build());
  WriteFileBytes(Dir.File("in/ab"), {'a', 'b'});
  const TRun ls = RunChild(Cli, {"ls", "in"}, Dir.Path(), std::chrono::seconds(20));
  EXPECT_EQ(ls.ExitCode, 0) << ls.Err;
  EXPECT_NE(ls.Out.find("ab\t2\n"), std::string::npos) << ls.Out;
  EXPECT_NE(ls.Out.find("sub/units.hpi\t"), std::string::npos) << ls.Out;
  EXPECT_NE(ls.Out.find("anims/tank.quv\t3\n"), std::string::npos) << ls.Out;

  // hpi list says why a file is not an archive.
  const TRun list = RunChild(Cli, {"hpi", "list", "in/ab"}, Dir.Path(), std::chrono::seconds(20));
  EXPECT_NE(list.ExitCode, 0);
  EXPECT_NE(list.Err.find("\"in/ab\" is not an archive: too short for an archive signature"),
            std::string::npos)
      << list.Err;
}
