// Reading Quv files: header and entries on open, rows and sub-frames on a frame's first fetch,
// the scan-line decoder, composition, and every way a file can lie.
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "QuvSamplesU.h"
#include "QuvTestSupport.h"
#include "StreamsU.h"
#include "TempDirU.h"

namespace {

const std::vector<uint8_t> Smallest = {
    0x00, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // header
    0x10, 0x00, 0x00, 0x00,                                                  // entry at 16
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x78, 0x00, 0,    0,
    0,    0,    0,    0,  // entry
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0x40, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,                          // frame table
    0x02, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00,  // frame header
    0x00, 0x00, 0x00, 0x00, 0x58, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x01, 0x02, 0x03, 0x04};  // pixels

class QuvReaderTest : public QuvTest {
 protected:
  // Loads into a collection that survives a failed load, so partial results can be checked;
  // returns the error text ("" on success).
  std::string LoadPartly(std::vector<uint8_t> bytes) {
    AddFile("test.quv", std::move(bytes));
    FPartial = Manager.CreateClass("test.quv");
    auto* images = static_cast<TQuvImages*>(FPartial.get());
    return QuvError([&] {
      images->LoadWithReader(images->Reader, "test.quv",
                             [images](IFileReader& reader) { images->LoadHeader(reader); });
    });
  }
  // One row of width pixels decoded from code.
  TPixelRow DecodeRow(int32_t width, const std::vector<uint8_t>& code,
                      std::string* error = nullptr) {
    TByteWriter w = OneFrameFile(static_cast<uint16_t>(width), 1, 1);
    w.U16(88, static_cast<uint16_t>(code.size()));
    w.Bytes(90, code);
    FImages = Load(w.Data, "row" + std::to_string(++FFiles) + ".quv");
    const std::string message = QuvError([&] { FImages->GetImage(0)->GetFrame(0); });
    if (error) *error = message;
    TImageFrame* frame = FImages->GetImage(0)->Frames[0].get();
    return frame->Pixels ? (*frame->Pixels)[0] : TPixelRow();
  }
  TQuvImages* Partial() { return static_cast<TQuvImages*>(FPartial.get()); }

  std::unique_ptr<TImageClass> FPartial;
  std::unique_ptr<TQuvImages> FImages;
  int FFiles = 0;
};

TEST_F(QuvReaderTest, SmallestFileLoadsOneImageWithOneFrame) {
  ASSERT_EQ(Smallest.size(), 92u);
  auto images = Load(Smallest);
  ASSERT_EQ(images->ImageCount, 1);
  TImage* image = images->GetImage(0);
  EXPECT_EQ(image->Name, "x");
  EXPECT_EQ(image->FrameCount, 1);
  TImageFrame* frame = image->GetFrame(0);
  EXPECT_EQ(frame->Width, 2);
  EXPECT_EQ(frame->Height, 2);
  EXPECT_EQ(*frame->Pixels, (TPixelRows{{1, 2}, {3, 4}}));
  EXPECT_TRUE(Logged.empty());
  EXPECT_TRUE(Assertions.empty());
  EXPECT_EQ(images->Reader, nullptr);  // closed after each load
}

TEST_F(QuvReaderTest, OpeningReadsEveryHeaderButNoPixels) {
  TByteWriter w = OneFrameFile(3, 2, 0, 0, -5, 7);
  w.Bytes(88, {1, 2, 3, 4, 5, 6});
  auto images = Load(w.Data);
  TImage* image = images->GetImage(0);
  auto& frame = static_cast<TQuvFrame&>(*image->Frames[0]);
  EXPECT_FALSE(frame.Loaded);
  EXPECT_EQ(frame.Pixels, nullptr);
  EXPECT_EQ(frame.Width, 3);
  EXPECT_EQ(frame.Height, 2);
  EXPECT_EQ(frame.XOffset, -5);
  EXPECT_EQ(frame.YOffset, 7);
  EXPECT_EQ(frame.SubFrameCount, 0);
  EXPECT_EQ(frame.FrameDataOffset, 88);
  EXPECT_EQ(image->MaxXOffset, 0);  // the largest offsets start from 0
  EXPECT_EQ(image->MaxYOffset, 7);
  EXPECT_EQ(image->GetFrame(1), nullptr);
  EXPECT_EQ(image->GetFrame(0), &frame);
  EXPECT_TRUE(frame.Loaded);
}

TEST_F(QuvReaderTest, VersionMismatchIsWarnedAndTheFileStillLoads) {
  std::vector<uint8_t> bytes = Smallest;
  bytes[1] = 0x02;
  auto images = Load(bytes);
  EXPECT_EQ(images->ImageCount, 1);
  ASSERT_EQ(Logged.size(), 1u);
  EXPECT_EQ(Logged[0],
            "In file \"test.quv\" : Quv header version was $00010200 expecting $00010100. Trying "
            "to continue.");
}

TEST_F(QuvReaderTest, HeaderCountsAreChecked) {
  std::vector<uint8_t> empty(12, 0);
  empty[1] = 1;
  empty[2] = 1;
  EXPECT_EQ(Load(empty, "empty.quv")->ImageCount, 0);
  EXPECT_TRUE(Logged.empty());

  EXPECT_EQ(QuvError([&] { Load({}, "zero.quv"); }), "File \"zero.quv\" has a zero length");
  EXPECT_EQ(Logged.back(), "File \"zero.quv\" has a zero length");

  std::vector<uint8_t> tooMany = empty;
  tooMany[4] = 3;
  EXPECT_EQ(QuvError([&] { Load(tooMany, "many.quv"); }),
            "In file \"many.quv\" : Number Of entries( 3 ) in Quv header is invalid ");

  std::vector<uint8_t> negative = empty;
  negative[7] = 0x80;
  EXPECT_THROW(Load(negative, "negative.quv"), ERangeError);
  EXPECT_EQ(Manager.ClassCount, 0);
}

TEST_F(QuvReaderTest, NamelessAndFramelessEntriesAreSkippedWithAWarning) {
  TByteWriter w;
  w.U32(0, 0x00010100);
  w.U32(4, 3);
  w.U32(12, 24);   // 32 non-zero name bytes
  w.U32(16, 64);   // zero frames
  w.U32(20, 104);  // a 31-character name
  w.U16(24, 1);
  w.Name(32, std::string(32, 'n'));
  w.Name(72, "empty");
  const std::string longName(31, 'L');
  w.U16(104, 1);
  w.Name(112, longName);
  w.U32(144, 152);
  w.FrameHeader(152, 1, 1, 0, 0, 0, 0, 176);
  w.U8(176, 3);
  auto images = Load(w.Data);
  ASSERT_EQ(images->ImageCount, 1);
  EXPECT_EQ(images->GetImage(0)->Name, longName);
  ASSERT_EQ(Logged.size(), 2u);
  EXPECT_EQ(Logged[0], "In file \"test.quv\" : Quv entry has a null name, Ignoring image");
  EXPECT_EQ(Logged[1],
            "In file \"test.quv\" : Quv entry \"empty\" has zero frames, Ignoring image");
}

TEST_F(QuvReaderTest, DuplicateEntryIsLoggedAndTheFirstImageKept) {
  TByteWriter w = OneFrameFile(1, 1, 0);
  w.U32(4, 2);
  w.U32(12, 20);
  w.U32(16, 20);
  w.U16(20, 1);
  w.Name(28, "img");
  w.U32(60, 64);
  w.U8(88, 7);
  auto images = Load(w.Data);
  EXPECT_EQ(images->ImageCount, 1);
  ASSERT_EQ(Logged.size(), 1u);
  EXPECT_EQ(Logged[0], "Duplicate Image \"img\" in Image Class \"test.quv\", ignoring");
}

TEST_F(QuvReaderTest, ScanLineCodeDecodesRunsRepeatsAndCopies) {
  const uint8_t T = 9;
  EXPECT_EQ(DecodeRow(10, {0x07, 0x06, 0x2A, 0x04, 0x10, 0x11}),
            (TPixelRow{T, T, T, 0x2A, 0x2A, 0x10, 0x11, T, T, T}));
  EXPECT_EQ(DecodeRow(4, {}), (TPixelRow{T, T, T, T}));
  EXPECT_EQ(DecodeRow(3, {0x01, 0x00, 0x05, 0x01}), (TPixelRow{5, T, T}));  // runs of length 0
  EXPECT_EQ(DecodeRow(64, {0xFE, 0x21}), TPixelRow(64, 0x21));
  EXPECT_TRUE(Logged.empty());
}

TEST_F(QuvReaderTest, CodeThatEndsInsideAStepFailsWithTheScanlineIndex) {
  std::string error;
  DecodeRow(10, {0x07, 0x06}, &error);
  EXPECT_EQ(error,
            "Corrupted Quv frame data: Invalid scanline index: 3, Max scanline index is 2 on scan "
            "line 0, Image: \"img\", Frame 0");
  EXPECT_EQ(Logged.back(), error);
  // A copy of 4 bytes with one byte of code left.
  DecodeRow(10, {0x0C, 0x01}, &error);
  EXPECT_EQ(error,
            "Corrupted Quv frame data: Invalid scanline index: 5, Max scanline index is 2 on scan "
            "line 0, Image: \"img\", Frame 0");
}

TEST_F(QuvReaderTest, RunPastTheRowFailsWithTheLineLength) {
  std::string error;
  DecodeRow(10, {0x0F, 0x09}, &error);
  EXPECT_EQ(error,
            "Corrupted Quv frame data: Invalid line length: 11, Max line length is 10 on scan line "
            "0, Image: \"img\", Frame 0, Dest Index:7, Copy Count:4");
  DecodeRow(2, {0x04, 1, 2, 0x00, 3}, &error);  // a copy too
  EXPECT_NE(error.find("Invalid line length: 3, Max line length is 2"), std::string::npos);
}

TEST_F(QuvReaderTest, FailedFrameKeepsItsRowsAndIsNotReadAgain) {
  TByteWriter w = OneFrameFile(2, 2, 1);
  w.U16(88, 2);
  w.Bytes(90, {0x06, 0x07});  // row 0: 7 7
  w.U16(92, 1);
  w.U8(94, 0x06);  // row 1: a repeat without its value
  auto images = Load(w.Data);
  TImage* image = images->GetImage(0);
  EXPECT_NE(QuvError([&] { image->GetFrame(0); }).find("on scan line 1"), std::string::npos);
  TImageFrame* frame = nullptr;
  EXPECT_NO_THROW(frame = image->GetFrame(0));
  EXPECT_TRUE(frame->Loaded);
  EXPECT_EQ((*frame->Pixels)[0], (TPixelRow{7, 7}));
  EXPECT_NE(images->Reader, nullptr);  // kept until the next load through the collection
}

TEST_F(QuvReaderTest, UnknownCompressionFailsOnlyWhenTheFrameIsFetched) {
  TByteWriter w = OneFrameFile(1, 1, 2);
  w.U16(16, 2);  // two frames: the table now ends at 72
  w.U32(56, 72);
  w.U32(64, 96);
  w.FrameHeader(72, 1, 1, 0, 0, 2, 0, 120);
  w.FrameHeader(96, 1, 1, 0, 0, 0, 0, 120);
  w.U8(120, 4);
  auto images = Load(w.Data);
  TImage* image = images->GetImage(0);
  EXPECT_EQ(QuvError([&] { image->GetFrame(0); }), " Unsupported Quv compression 2 in test.quv ");
  EXPECT_EQ(Logged.back(), " Unsupported Quv compression 2 in test.quv ");
  EXPECT_EQ((*image->GetFrame(1)->Pixels)[0], TPixelRow{4});
}

TEST_F(QuvReaderTest, LaterSubFrameCoversAnEarlierOne) {
  TByteWriter w = OneFrameFile(4, 2, 0, 2);
  w.U32(88, 96);
  w.U32(92, 120);
  w.FrameHeader(96, 4, 2, 0, 0, 0, 0, 144);
  w.FrameHeader(120, 2, 1, -1, -1, 0, 0, 152);
  w.Bytes(144, {1, 1, 1, 1, 2, 2, 2, 2});
  w.Bytes(152, {5, 9});
  auto images = Load(w.Data);
  TImageFrame* frame = images->GetImage(0)->GetFrame(0);
  EXPECT_EQ(*frame->Pixels, (TPixelRows{{1, 1, 1, 1}, {2, 5, 2, 2}}));
  EXPECT_EQ(frame->PalettePixels, frame->Pixels);
  ASSERT_EQ(frame->SubFrameCount, 2);
  EXPECT_EQ(frame->GetSubFrame(1)->Index, 1);
  EXPECT_EQ(*frame->GetSubFrame(1)->Pixels, (TPixelRows{{5, 9}}));
  EXPECT_TRUE(frame->GetSubFrame(0)->Loaded);
  EXPECT_EQ(frame->MaxSubXOffset, 0);
  EXPECT_TRUE(Assertions.empty());
}

TEST_F(QuvReaderTest, CanvasGrowthIsAWarningAndKeepsHotSpotsLinedUp) {
  TByteWriter w = OneFrameFile(4, 2, 0, 2);
  w.U32(88, 96);
  w.U32(92, 120);
  w.FrameHeader(96, 4, 2, 0, 0, 0, 0, 144);
  w.FrameHeader(120, 2, 1, 1, -1, 0, 0, 152);  // one column left of the canvas
  w.Bytes(144, {1, 1, 1, 1, 2, 2, 2, 2});
  w.Bytes(152, {5, 9});
  auto images = Load(w.Data);
  TImageFrame* frame = images->GetImage(0)->GetFrame(0);
  // Valid data: no report of a programming error, one warning.
  EXPECT_TRUE(Assertions.empty());
  EXPECT_EQ(Logged,
            std::vector<std::string>{"In file \"test.quv\" : a sub-frame of image \"img\", "
                                     "frame 0 grows its canvas from 4 x 2 to 5 x 2 pixels"});
  EXPECT_EQ(frame->Width, 5);
  EXPECT_EQ(frame->XOffset, 1);  // the hot spot moved with the pixels
  EXPECT_EQ(frame->GetSubFrame(0)->XOffset, 0);
  EXPECT_EQ(*frame->Pixels, (TPixelRows{{9, 1, 1, 1, 1}, {5, 2, 2, 2, 2}}));
}

TEST_F(QuvReaderTest, EntryErrorsAreCollectedAndTheOtherEntriesLoad) {
  TByteWriter w;
  w.U32(0, 0x00010100);
  w.U32(4, 3);
  w.U32(12, 4);    // inside the header
  w.U32(16, 900);  // past the end
  w.U32(20, 24);
  w.U16(24, 1);
  w.Name(32, "img");
  w.U32(64, 72);
  w.FrameHeader(72, 1, 1, 0, 0, 0, 0, 96);
  w.U8(96, 1);
  const std::string error = LoadPartly(w.Data);
  // Offsets outside the entry area are data errors with the words of the check, not reports of
  // a programming error.
  EXPECT_EQ(error,
            "In file \"test.quv\" : Assertion failure: Quv entry offset 4 is invalid"
            "In file \"test.quv\" : Assertion failure: Quv entry offset 900 is invalid");
  EXPECT_TRUE(Assertions.empty());
  EXPECT_EQ(Logged,
            (std::vector<std::string>{
                "In file \"test.quv\" : Assertion failure: Quv entry offset 4 is invalid",
                "In file \"test.quv\" : Assertion failure: Quv entry offset 900 is invalid"}));
  EXPECT_EQ(Partial()->ImageCount, 1);
  EXPECT_EQ(QuvError([&] { Manager.LoadFile("test.quv"); }), error);

  // A cut file loses the entries the header names: the first offset past the end fails.
  std::vector<uint8_t> cut(Smallest.begin(), Smallest.begin() + 16);
  EXPECT_EQ(QuvError([&] { Load(cut, "cut.quv"); }),
            "In file \"cut.quv\" : Assertion failure: Quv entry offset 16 is invalid");
  EXPECT_TRUE(Assertions.empty());
}

TEST_F(QuvReaderTest, AFrameWithASideOfZeroFailsWhenFetchedAsADataError) {
  struct TCase {
    uint16_t Width, Height, SubFrames;
  };
  for (const TCase c : {TCase{0, 4, 0}, TCase{3, 0, 0}, TCase{0, 0, 1}}) {
    const std::string what = std::to_string(c.Width) + " x " + std::to_string(c.Height);
    TByteWriter w = OneFrameFile(c.Width, c.Height, 0, c.SubFrames);
    w.U32(88, 92);
    w.FrameHeader(92, 1, 1, 0, 0, 0, 0, 116);
    w.U8(116, 1);
    auto images = Load(w.Data, "zero" + what + ".quv");
    Logged.clear();
    const std::string expected = "In file \"zero" + what +
                                 ".quv\" : Assertion failure: a frame of " + what +
                                 " pixels has no pixels, Image: \"img\", Frame 0";
    EXPECT_EQ(QuvError([&] { images->GetImage(0)->GetFrame(0); }), expected) << what;
    EXPECT_EQ(Logged, std::vector<std::string>{expected}) << what;
    EXPECT_TRUE(Assertions.empty()) << what;
  }
}

TEST_F(QuvReaderTest, StructuresPastTheEndFailWithTheReadError) {
  std::vector<uint8_t> cut(Smallest.begin(), Smallest.begin() + 80);
  try {
    Load(cut);
    FAIL() << "no error";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  TByteWriter w = OneFrameFile(1, 1, 0);
  w.U32(80, 0x80000000u);  // negative data offset
  EXPECT_THROW(Load(w.Data, "negative.quv"), ERangeError);
}

TEST_F(QuvReaderTest, RunLengthRowsLongerThanTheirWidthNeedsAreReadInFull) {
  // Rows padded with empty transparent runs run past the first range read for the frame.
  TByteWriter w = OneFrameFile(2, 2, 1);
  size_t at = 88;
  for (uint8_t row = 0; row < 2; ++row) {
    std::vector<uint8_t> code(300, 0x01);
    code.insert(code.end(), {0x06, uint8_t(0x20 + row)});
    w.U16(at, static_cast<uint16_t>(code.size()));
    w.Bytes(at + 2, code);
    at += 2 + code.size();
  }
  auto images = Load(w.Data);
  EXPECT_EQ(*images->GetImage(0)->GetFrame(0)->Pixels, (TPixelRows{{0x20, 0x20}, {0x21, 0x21}}));
}

TEST_F(QuvReaderTest, RunLengthRowPastTheEndFailsWithTheReadErrorAndKeepsEarlierRows) {
  TByteWriter w = OneFrameFile(2, 3, 1);
  w.U16(88, 2);
  w.Bytes(90, {0x06, 0x33});
  w.U16(92, 40);  // the second row claims more code than the file holds
  w.Bytes(94, {0x06});
  auto images = Load(w.Data);
  try {
    images->GetImage(0)->GetFrame(0);
    FAIL() << "no error";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  const TImageFrame* frame = images->GetImage(0)->Frames[0].get();
  ASSERT_TRUE(frame->Pixels);
  EXPECT_EQ((*frame->Pixels)[0], (TPixelRow{0x33, 0x33}));
}

TEST_F(QuvReaderTest, FileOnDiskIsOpenedOnceHoweverManyFramesAreFetched) {
  const TTempDir temp("quv");
  const std::filesystem::path& folder = temp.Path();
  const std::vector<uint8_t> bytes = MakeSyntheticQuv(3, 4, 8, 8, 1);
  std::ofstream(folder / "many.quv", std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  TFileSystem disk;
  disk.AddSearchPath("", folder.string(), 0, {TFileMaskInfo{"*.quv", 0, false}});
  disk.Rescan(true);
  int opens = 0;
  const auto savedOpen = Platform().FileOpen;
  Platform().FileOpen = [&](const std::string& path, uint8_t flags) {
    ++opens;
    return savedOpen(path, flags);
  };
  {
    TQuvManager manager;
    manager.FileSystem = &disk;
    manager.TransparentIndex = 9;
    manager.Initialize();
    TImageClass* images = manager.GetClass("many.quv");
    ASSERT_NE(images, nullptr);
    ASSERT_EQ(images->ImageCount, 3);
    for (int32_t i = 0; i < images->ImageCount; ++i)
      for (int32_t f = 0; f < 4; ++f) ASSERT_TRUE(images->GetImage(i)->GetFrame(f)->Pixels);
    EXPECT_EQ(opens, 1) << "the header load's open serves every frame";
    const auto* quv = static_cast<TQuvImages*>(images);
    ASSERT_TRUE(quv->KeptReader);
    EXPECT_TRUE(quv->KeptReader->IsOpen());
    EXPECT_EQ(quv->Reader, nullptr);
    images->Release();
  }
  Platform().FileOpen = savedOpen;
}

// ---- Files that lie about their size or structure ----

TEST_F(QuvReaderTest, SubFrameTablePointingBackFails) {
  TByteWriter w = OneFrameFile(1, 1, 0, 1);
  w.U32(88, 92);
  w.FrameHeader(92, 1, 1, 0, 0, 0, 1, 88);  // its sub-frames are the table being read
  auto images = Load(w.Data);
  const std::string error = QuvError([&] { images->GetImage(0)->GetFrame(0); });
  EXPECT_NE(error.find("refers back to a frame being loaded"), std::string::npos) << error;
  EXPECT_EQ(Logged.back(), error);
  // What was read stays; the table that was not read counts no sub-frames.
  TImageFrame* frame = images->GetImage(0)->GetFrame(0);
  ASSERT_EQ(frame->SubFrameCount, 1);
  EXPECT_EQ(frame->GetSubFrame(0)->SubFrameCount, 0);
  EXPECT_TRUE(frame->GetSubFrame(0)->SubFrames.empty());
}

TEST_F(QuvReaderTest, EndlessNestingStopsAtTheDepthLimit) {
  TByteWriter w = OneFrameFile(1, 1, 0, 1);
  size_t at = 88;
  for (int level = 0; level < 40; ++level, at += 28) {
    w.U32(at, static_cast<uint32_t>(at + 4));
    w.FrameHeader(at + 4, 1, 1, 0, 0, 0, 1, static_cast<uint32_t>(at + 28));
  }
  auto images = Load(w.Data);
  const std::string error = QuvError([&] { images->GetImage(0)->GetFrame(0); });
  EXPECT_NE(error.find("nested deeper than 16 levels"), std::string::npos) << error;
}

TEST_F(QuvReaderTest, SharedSubFrameTablesCannotMultiplyWithoutEnd) {
  // Each level's table names the same header twice, whose sub-frames are the next level.
  TByteWriter w = OneFrameFile(1, 1, 0, 2);
  size_t at = 88;
  for (int level = 0; level < 15; ++level, at += 32) {
    w.U32(at, static_cast<uint32_t>(at + 8));
    w.U32(at + 4, static_cast<uint32_t>(at + 8));
    w.FrameHeader(at + 8, 1, 1, 0, 0, 0, level < 14 ? 2 : 0, static_cast<uint32_t>(at + 32));
  }
  w.U8(at, 1);
  auto images = Load(w.Data);
  const std::string error = QuvError([&] { images->GetImage(0)->GetFrame(0); });
  EXPECT_NE(error.find("more sub-frames than the file can hold"), std::string::npos) << error;
}

TEST_F(QuvReaderTest, FramesLargerThanTheFileCanBackFailBeforeAllocating) {
  TByteWriter raw = OneFrameFile(60000, 60000, 0);
  raw.U32(88, 0);
  auto images = Load(raw.Data, "raw.quv");
  EXPECT_NE(QuvError([&] { images->GetImage(0)->GetFrame(0); }).find("does not fit in the file"),
            std::string::npos);

  TByteWriter packed = OneFrameFile(60000, 60000, 1);
  packed.U32(88, 0);
  images = Load(packed.Data, "packed.quv");
  EXPECT_NE(QuvError([&] { images->GetImage(0)->GetFrame(0); }).find("does not fit in the file"),
            std::string::npos);

  TByteWriter table = OneFrameFile(1, 1, 0, 60000);
  table.U32(88, 0);
  images = Load(table.Data, "table.quv");
  EXPECT_NE(QuvError([&] {
              images->GetImage(0)->GetFrame(0);
            }).find("60000 sub-frames at 88 do not fit in the file"),
            std::string::npos);

  TByteWriter canvas = OneFrameFile(65535, 65535, 0, 1);
  canvas.U32(88, 0);
  images = Load(canvas.Data, "canvas.quv");
  EXPECT_NE(QuvError([&] {
              images->GetImage(0)->GetFrame(0);
            }).find("a frame of 65535 x 65535 pixels is larger than the 67108864 pixels"),
            std::string::npos);
}

TEST_F(QuvReaderTest, AFrameLargerThanAnySpriteNeedsFailsNamingImageAndFrame) {
  // Empty run-length rows cost two bytes each however wide they are: the file backs the frame.
  TByteWriter w = OneFrameFile(16000, 16000, 1);
  w.Bytes(88, std::vector<uint8_t>(2 * 16000, 0));
  auto images = Load(w.Data);
  EXPECT_EQ(QuvError([&] { images->GetImage(0)->GetFrame(0); }),
            "Corrupted Quv frame data: a frame of 16000 x 16000 pixels is larger than the "
            "67108864 pixels any sprite needs, Image: \"img\", Frame 0");
  EXPECT_EQ(images->GetImage(0)->Frames[0]->Pixels, nullptr);  // nothing was allocated
  EXPECT_EQ(QuvMaxFramePixels, 8192 * 8192);
}

TEST_F(QuvReaderTest, CanvasGrowthStopsAtTheSizeLimit) {
  TByteWriter w = OneFrameFile(1, 1, 0, 1);
  w.U32(88, 92);
  w.FrameHeader(92, 1, 1, 32767, 32767, 0, 0, 116);
  w.U8(116, 1);
  auto images = Load(w.Data);
  const std::string error = QuvError([&] { images->GetImage(0)->GetFrame(0); });
  EXPECT_NE(error.find("32768 x 32768 pixels is larger than the 67108864 pixels"),
            std::string::npos)
      << error;
  EXPECT_TRUE(Assertions.empty());
  EXPECT_EQ(Logged.size(), 3u);  // the growth to the left, the one refused, the error
}

TEST_F(QuvReaderTest, EntriesSharingAFrameTableCannotBeReadOverAndOver) {
  TByteWriter w;
  const uint32_t entries = 40;
  w.U32(0, 0x00010100);
  w.U32(4, entries);
  const uint32_t entry = 12 + 4 * entries;
  for (uint32_t i = 0; i < entries; ++i) w.U32(12 + 4 * i, entry);
  w.U16(entry, 1000);
  w.Name(entry + 8, "many");
  for (uint32_t i = 0; i < 1000; ++i) w.U32(entry + 40 + 8 * i, entry + 40 + 8000);
  w.FrameHeader(entry + 40 + 8000, 1, 1, 0, 0, 0, 0, 0);
  const std::string error = LoadPartly(w.Data);
  EXPECT_NE(error.find("In file \"test.quv\" : Quv entry \"many\" has more frames than the file "
                       "can hold"),
            std::string::npos)
      << error;
  // 39 entries failed: the first 64 messages would be kept, so all are there.
  size_t messages = 0;
  for (size_t at = error.find("has more frames"); at != std::string::npos;
       at = error.find("has more frames", at + 1))
    ++messages;
  EXPECT_EQ(messages, 39u);
  EXPECT_EQ(Partial()->ImageCount, 1);
}

TEST_F(QuvReaderTest, ManyBadEntriesAreCountedBeyondTheFirstMessages) {
  TByteWriter w;
  w.U32(0, 0x00010100);
  w.U32(4, 100);
  for (uint32_t i = 0; i < 100; ++i) w.U32(12 + 4 * i, 4);  // every entry inside the header
  const std::string error = LoadPartly(w.Data);
  const std::string one = "In file \"test.quv\" : Assertion failure: Quv entry offset 4 is invalid";
  std::string expected;
  for (int i = 0; i < 64; ++i) expected += one;
  EXPECT_EQ(error, expected + " (and 36 more entries that could not be read)");
}

}  // namespace

// ---- The budget of decoded pixels ----

namespace {

// One image "img" of count raw frames of width x height, frame i filled with i + 1.
std::vector<uint8_t> RawFramesFile(uint32_t count, uint16_t width, uint16_t height) {
  TByteWriter w;
  w.U32(0, 0x00010100);
  w.U32(4, 1);
  w.U32(12, 16);
  w.U16(16, static_cast<uint16_t>(count));
  w.Name(24, "img");
  const uint32_t headers = 56 + 8 * count;
  uint32_t data = headers + 24 * count;
  for (uint32_t i = 0; i < count; ++i) {
    w.U32(56 + 8 * i, headers + 24 * i);
    w.FrameHeader(headers + 24 * i, width, height, 0, 0, 0, 0, data);
    w.Bytes(data, std::vector<uint8_t>(size_t{width} * height, static_cast<uint8_t>(i + 1)));
    data += uint32_t{width} * height;
  }
  return w.Data;
}

}  // namespace

TEST_F(QuvReaderTest, TheLeastRecentlyUsedFramesGoPastTheBudgetAndAreDecodedAgain) {
  auto images = Load(RawFramesFile(3, 100, 100));
  images->PixelBudget = 25000;  // two frames of 10000 bytes
  TImage* image = images->GetImage(0);
  image->GetFrame(0);
  image->GetFrame(1);
  image->GetFrame(0);  // frame 1 is now the least recently used
  image->GetFrame(2);
  EXPECT_TRUE(image->Frames[0]->Loaded);
  EXPECT_FALSE(image->Frames[1]->Loaded);
  EXPECT_EQ(image->Frames[1]->Pixels, nullptr);
  EXPECT_TRUE(image->Frames[2]->Loaded);
  EXPECT_LE(images->KeptBytes(), images->PixelBudget);

  TImageFrame* again = image->GetFrame(1);
  EXPECT_EQ(again, image->Frames[1].get());
  EXPECT_EQ(*again->Pixels, TPixelRows(100, TPixelRow(100, 2)));
  EXPECT_FALSE(image->Frames[0]->Loaded);

  // A frame larger than the budget is kept while it is the one in use.
  images->PixelBudget = 0;
  EXPECT_EQ(*image->GetFrame(0)->Pixels, TPixelRows(100, TPixelRow(100, 1)));
  EXPECT_EQ(images->KeptBytes(), 10000);
  images->ReleaseFrame(image->Frames[0].get());
  EXPECT_EQ(images->KeptBytes(), 0);
}

TEST_F(QuvReaderTest, ColourRowsCountInTheBudget) {
  Manager.TrueColour = true;
  auto images = Load(RawFramesFile(3, 100, 100));
  images->PixelBudget = 25000;
  TImage* image = images->GetImage(0);
  image->GetFrame(0);
  image->GetFrame(1);
  EXPECT_EQ(images->KeptBytes(), 20000);
  image->GetFrame(1)->GetPixels();  // 4 bytes a pixel beside the palette rows
  EXPECT_EQ(images->KeptBytes(), 50000);
  EXPECT_FALSE(image->Frames[0]->Loaded);
  EXPECT_EQ((*image->GetFrame(0)->GetPixels())[0].size(), 400u);
  EXPECT_FALSE(image->Frames[1]->Loaded);
}

TEST_F(QuvReaderTest, AReleasedFrameIsComposedAgainIntoTheSameObjectsWithoutGrowing) {
  TByteWriter w = OneFrameFile(4, 2, 0, 2);
  w.U32(88, 96);
  w.U32(92, 120);
  w.FrameHeader(96, 4, 2, 0, 0, 0, 0, 144);
  w.FrameHeader(120, 2, 1, 1, -1, 0, 0, 152);  // grows the canvas on the left
  w.Bytes(144, {1, 1, 1, 1, 2, 2, 2, 2});
  w.Bytes(152, {5, 6});
  auto images = Load(w.Data);
  TImage* image = images->GetImage(0);
  TImageFrame* frame = image->GetFrame(0);
  const TPixelRows composed = *frame->Pixels;
  TImageFrame* subFrame = frame->GetSubFrame(1);
  EXPECT_EQ(image->MaxXOffset, 1);  // the moved hot spot counts for the image
  const size_t warnings = Logged.size();

  images->ReleaseFrame(frame);
  EXPECT_FALSE(frame->Loaded);
  EXPECT_EQ(subFrame->Pixels, nullptr);
  EXPECT_TRUE(frame->Composed);  // size and offsets stay those of the composed picture
  EXPECT_EQ(frame->Width, 5);
  EXPECT_EQ(frame->XOffset, 1);

  EXPECT_EQ(image->GetFrame(0), frame);
  EXPECT_EQ(*frame->Pixels, composed);
  EXPECT_EQ(frame->GetSubFrame(1), subFrame);
  EXPECT_EQ(*subFrame->Pixels, (TPixelRows{{5, 6}}));
  EXPECT_EQ(frame->Width, 5);
  EXPECT_EQ(frame->Height, 2);
  EXPECT_EQ(Logged.size(), warnings);  // the canvas already has its size
}

TEST_F(QuvReaderTest, AFrameThatFailedIsNotReadAgainAfterARelease) {
  TByteWriter w = OneFrameFile(2, 1, 2);  // compression 2 is refused
  w.Bytes(88, {1, 2});
  auto images = Load(w.Data);
  TImage* image = images->GetImage(0);
  EXPECT_NE(QuvError([&] { image->GetFrame(0); }), "");
  images->ReleaseFrame(image->Frames[0].get());
  EXPECT_EQ(QuvError([&] { image->GetFrame(0); }), "");
  EXPECT_TRUE(image->Frames[0]->Loaded);
}
