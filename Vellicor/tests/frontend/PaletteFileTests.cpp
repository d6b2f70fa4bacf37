#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "ExceptionsU.h"
#include "PaletteFileU.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// Entry i is (i, 255 - i, i / 2).
std::string ColourLines(size_t count, const std::string& suffix = "") {
  std::string lines;
  for (size_t i = 0; i < count; ++i)
    lines += std::to_string(i % 256) + " " + std::to_string(255 - i % 256) + " " +
             std::to_string(i % 256 / 2) + suffix + "\n";
  return lines;
}

std::string Jasc(size_t count, size_t announced = 256) {
  return "JASC-PAL\r\n0100\r\n" + std::to_string(announced) + "\r\n" + ColourLines(count);
}

std::string Gimp(size_t count) {
  return "GIMP Palette\nName: Test\nColumns: 16\n#\n# a comment\n" + ColourLines(count, "\tName");
}

void ExpectRamp(const TPalette& palette) {
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(palette[i][0], i) << i;
    EXPECT_EQ(palette[i][1], 255 - i) << i;
    EXPECT_EQ(palette[i][2], i / 2) << i;
  }
}

std::string ErrorOf(const std::vector<uint8_t>& bytes) {
  try {
    ParsePaletteFile(bytes);
  } catch (const Exception& error) {
    return error.what();
  }
  return {};
}

}  // namespace

TEST(PaletteFileTest, EveryFormatGivesTheSameColoursAndTheLoadedFourthBytes) {
  std::vector<uint8_t> raw4, raw3;
  for (int i = 0; i < 256; ++i) {
    raw4.insert(raw4.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2), 77});
    raw3.insert(raw3.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
  }
  for (const auto& bytes : {raw4, raw3, Bytes(Jasc(256)), Bytes(Gimp(256))}) {
    const TPalette palette = ParsePaletteFile(bytes);
    ExpectRamp(palette);
    EXPECT_EQ(palette[0][3], 0);
    EXPECT_EQ(palette[9][3], 0);
    EXPECT_EQ(palette[10][3], 100);
    EXPECT_EQ(palette[1][3], 255);
    EXPECT_EQ(palette[255][3], 255);
  }
}

TEST(PaletteFileTest, RawTablesOfAnyOtherSizeAreRefused) {
  for (size_t size : {0u, 767u, 769u, 1023u, 1025u}) {
    const std::string message = ErrorOf(std::vector<uint8_t>(size, 1));
    EXPECT_NE(message.find("Not a palette: " + std::to_string(size) + " bytes"), std::string::npos)
        << message;
  }
}

TEST(PaletteFileTest, JascHeaderCountAndValuesAreChecked) {
  EXPECT_NE(ErrorOf(Bytes("JASC-PAL\n0200\n256\n" + ColourLines(256))).find("0100"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Bytes("JASC-PAL\n0100\nmany\n" + ColourLines(256))).find("colour count"),
            std::string::npos);
  EXPECT_NE(ErrorOf(Bytes(Jasc(16, 16))).find("has 16 colours"), std::string::npos);
  EXPECT_NE(ErrorOf(Bytes(Jasc(255))).find("has 255 colours"), std::string::npos);
  EXPECT_NE(ErrorOf(Bytes(Jasc(257))).find("has 257 colours"), std::string::npos);
  std::string outOfRange = Jasc(256);
  outOfRange.replace(outOfRange.find("\n3 252 1\n") + 1, 7, "3 256 1");
  EXPECT_NE(ErrorOf(Bytes(outOfRange)).find("Line 7 has the value 256"), std::string::npos)
      << ErrorOf(Bytes(outOfRange));
  std::string negative = Jasc(256);
  negative.replace(negative.find("\n0 255 0\n") + 1, 7, "-1 255 0");
  EXPECT_NE(ErrorOf(Bytes(negative)).find("value -1"), std::string::npos);
  std::string twoNumbers = Jasc(256);
  twoNumbers.replace(twoNumbers.find("\n0 255 0\n") + 1, 7, "0 255");
  EXPECT_NE(ErrorOf(Bytes(twoNumbers)).find("three numbers"), std::string::npos);
}

TEST(PaletteFileTest, GimpCountsColoursPastCommentsAndNames) {
  EXPECT_NE(ErrorOf(Bytes(Gimp(16))).find("has 16 colours"), std::string::npos);
  EXPECT_NE(ErrorOf(Bytes(Gimp(300))).find("has 300 colours"), std::string::npos);
  std::string bad = Gimp(256);
  bad.replace(bad.find("\n5 250 2\t"), 9, "\n5 250 x2\t");
  EXPECT_NE(ErrorOf(Bytes(bad)).find("three numbers"), std::string::npos);
  // A text that is no known palette is refused by its size, not taken as a raw table.
  EXPECT_NE(ErrorOf(Bytes("GIMP")).find("Not a palette"), std::string::npos);
}

TEST(PaletteFileTest, FilesAreReadWithinALimitAndErrorsNameThem) {
  const auto dir = std::filesystem::temp_directory_path() / "vellicor_palette_file_test";
  std::filesystem::create_directories(dir);
  const std::string good = (dir / "ramp.gpl").string(), huge = (dir / "huge.pal").string();
  std::ofstream(good, std::ios::binary) << Gimp(256);
  {
    std::ofstream out(huge, std::ios::binary);
    out << Jasc(256) << std::string(size_t(MaxPaletteFileSize), '\n');
  }
  ExpectRamp(ReadPaletteFile(good));
  EXPECT_THROW(ReadPaletteFile(huge), Exception);
  try {
    ReadPaletteFile((dir / "missing.pal").string());
    ADD_FAILURE();
  } catch (const Exception& error) {
    EXPECT_NE(std::string(error.what()).find("missing.pal"), std::string::npos);
  }
  EXPECT_THROW(ReadPaletteFile(dir.string()), Exception);  // a folder
  std::filesystem::remove_all(dir);
}
