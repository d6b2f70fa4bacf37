// Writing Quv files: the scan-line encoder, compression modes, header ranges, and the sample
// files read back as they were drawn.
#include "QuvSamplesU.h"
#include "QuvTestSupport.h"
#include "StreamsU.h"

namespace {

constexpr uint8_t T = 9;

class QuvWriterTest : public QuvTest {
 protected:
  void SetUp() override {
    QuvTest::SetUp();
    FCollection = Manager.CreateClass("mem.quv");
    FImage = Images().AddImage("a", 0);
    FFrame = static_cast<TQuvFrame*>(FImage->AddFrame());
  }
  TQuvImages& Images() { return static_cast<TQuvImages&>(*FCollection); }

  // Encodes the row, checks that it decodes back, and returns the code.
  std::vector<uint8_t> Encode(const TPixelRow& row, bool allowEmpty = false) {
    FFrame->Width = static_cast<int32_t>(row.size());
    std::vector<uint8_t> code;
    int32_t length = -1;
    CompressScanLine(*FFrame, row.data(), code, length, allowEmpty, 0);
    EXPECT_EQ(length, static_cast<int32_t>(code.size()));
    TPixelRow back(row.size());
    DecompressScanLine(*FFrame, code.data(), back.data(), length, 0);
    EXPECT_EQ(back, row);
    return code;
  }
  void SetRows(TQuvFrame& frame, const TPixelRows& rows) {
    const int32_t width = static_cast<int32_t>(rows[0].size());
    frame.Width = width;
    frame.Height = static_cast<int32_t>(rows.size());
    frame.SetImageData({width, frame.Height, 1, width, std::make_shared<TPixelRows>(rows)});
  }
  std::vector<uint8_t> Save() {
    TMemoryStream stream;
    SaveQuvFile(stream, Images());
    return std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.GetSize());
  }

  std::unique_ptr<TImageClass> FCollection;
  TImage* FImage = nullptr;
  TQuvFrame* FFrame = nullptr;
};

TEST_F(QuvWriterTest, TransparentRunsAreSplitAt127) {
  EXPECT_EQ(Encode(TPixelRow(300, T)), (std::vector<uint8_t>{0xFF, 0xFF, 0x5D}));
  EXPECT_EQ(Encode(TPixelRow(127, T)), (std::vector<uint8_t>{0xFF}));
  EXPECT_EQ(Encode(TPixelRow(128, T)), (std::vector<uint8_t>{0xFF, 0x03}));
  EXPECT_EQ(Encode({T, T, 6}), (std::vector<uint8_t>{0x05, 0x00, 0x06}));
}

TEST_F(QuvWriterTest, RepeatsHoldUpTo64AndASingleByteBecomesALiteral) {
  EXPECT_EQ(Encode({5, 5, 5, 7}), (std::vector<uint8_t>{0x0A, 0x05, 0x00, 0x07}));
  EXPECT_EQ(Encode(TPixelRow(70, 4)), (std::vector<uint8_t>{0xFE, 0x04, 0x16, 0x04}));
}

TEST_F(QuvWriterTest, LiteralsHoldUpTo63AndStopBeforeAnEqualPair) {
  TPixelRow row;
  for (int i = 0; i < 100; ++i) row.push_back(static_cast<uint8_t>(10 + i % 8));
  std::vector<uint8_t> expected{0xF8};
  expected.insert(expected.end(), row.begin(), row.begin() + 63);
  expected.push_back(0x90);
  expected.insert(expected.end(), row.begin() + 63, row.end());
  EXPECT_EQ(Encode(row), expected);
  // The equal pair 2, 2 starts a repeat; a transparent byte between colours stays in a literal.
  EXPECT_EQ(Encode({1, T, 3, 2, 2}), (std::vector<uint8_t>{0x08, 1, T, 3, 0x06, 2}));
}

TEST_F(QuvWriterTest, OnlyWhollyTransparentRowsMayBeEmpty) {
  EXPECT_TRUE(Encode(TPixelRow(50, T), true).empty());
  EXPECT_EQ(Encode(TPixelRow(50, T), false), (std::vector<uint8_t>{0x65}));
  EXPECT_EQ(Encode({T, T, 1}, true), (std::vector<uint8_t>{0x05, 0x00, 0x01}));
}

TEST_F(QuvWriterTest, CompressionModeDecidesHowRowsAreStored) {
  SetRows(*FFrame, {{T, T, T}, {1, 2, 3}});
  FImage->FrameCount = 1;
  FFrame->Compression = 0;
  // The frame's data follow header (12), offset table (4), entry (40), table (8), header (24).
  const size_t data = 88;
  Manager.CompressionMode = 2;
  std::vector<uint8_t> bytes = Save();
  EXPECT_EQ(FFrame->Compression, 1);
  EXPECT_EQ(bytes[data], 0);
  EXPECT_EQ(bytes[data + 1], 0);
  Manager.CompressionMode = 1;
  bytes = Save();
  EXPECT_EQ(bytes[data], 1);
  EXPECT_EQ(bytes[data + 2], 0x07);
  Manager.CompressionMode = 0;
  bytes = Save();
  EXPECT_EQ(FFrame->Compression, 0);
  EXPECT_EQ(bytes.size(), data + 6);
  EXPECT_EQ(bytes[64 + 9], 0);  // the header's Compression
  EXPECT_EQ(bytes[64 + 8], 9);
  Manager.CompressionMode = 7;
  FFrame->Compression = 3;
  EXPECT_EQ(QuvError([&] { Save(); }), " Unsupported Quv compression 3 in mem.quv ");
  EXPECT_EQ(Logged.back(), " Unsupported Quv compression 3 in mem.quv ");
}

TEST_F(QuvWriterTest, FieldsThatDoNotFitTheirWidthRaiseRangeErrors) {
  uint8_t header[24];
  FFrame->Width = 70000;
  EXPECT_THROW(FillFrameHeader(*FFrame, header), ERangeError);
  FFrame->Width = 1;
  FFrame->XOffset = -40000;
  EXPECT_THROW(FillFrameHeader(*FFrame, header), ERangeError);
  FFrame->XOffset = 0;
  FFrame->FrameDataOffset = -1;
  EXPECT_THROW(FillFrameHeader(*FFrame, header), ERangeError);
  FFrame->FrameDataOffset = 0;
  EXPECT_NO_THROW(FillFrameHeader(*FFrame, header));
}

// ---- Round trips ----

void ExpectSameFrame(TImageFrame& read, TImageFrame& drawn, const std::string& where) {
  SCOPED_TRACE(where);
  EXPECT_EQ(read.Width, drawn.Width);
  EXPECT_EQ(read.Height, drawn.Height);
  EXPECT_EQ(read.XOffset, drawn.XOffset);
  EXPECT_EQ(read.YOffset, drawn.YOffset);
  ASSERT_EQ(read.SubFrameCount, drawn.SubFrameCount);
  ASSERT_TRUE(read.Pixels && drawn.Pixels);
  EXPECT_EQ(*read.Pixels, *drawn.Pixels);
  for (int32_t k = 0; k < read.SubFrameCount; ++k)
    ExpectSameFrame(*read.GetSubFrame(k), *drawn.GetSubFrame(k),
                    where + " sub-frame " + std::to_string(k));
}

TEST_F(QuvWriterTest, EverySampleFileReadsBackAsDrawn) {
  std::unique_ptr<TImageClass> drawn = Manager.CreateClass("drawn.quv");
  FillCollection(static_cast<TQuvImages&>(*drawn), SampleSprites());
  for (const auto& [name, bytes] : SampleFiles()) {
    AddFile(name, bytes);
    TImageClass* read = Manager.GetClass(name);
    ASSERT_NE(read, nullptr) << name;
    for (auto& owned : read->Images) {
      TImage* image = owned.get();
      TImage* expected = drawn->FindImage(image->Name);
      ASSERT_NE(expected, nullptr);
      ASSERT_EQ(image->FrameCount, expected->FrameCount);
      EXPECT_EQ(image->MaxXOffset, expected->MaxXOffset);
      EXPECT_EQ(image->MaxYOffset, expected->MaxYOffset);
      for (int32_t i = 0; i < image->FrameCount; ++i)
        ExpectSameFrame(*image->GetFrame(i), *expected->GetFrame(i),
                        name + " " + image->Name + " frame " + std::to_string(i));
    }
  }
  EXPECT_TRUE(Logged.empty());
  EXPECT_TRUE(Assertions.empty());
}

TEST_F(QuvWriterTest, SampleKeepsFileOrderAndEveryImage) {
  AddFile("sample.quv", MakeSampleQuv());
  TImageClass* read = Manager.GetClass("sample.quv");
  std::vector<std::string> names;
  for (auto& image : read->Images) names.push_back(image->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"ball", "windmill", "tank", "light", "walker"}));
  TImage* tank = read->FindImage("tank");
  TImageFrame* frame = tank->GetFrame(3);
  EXPECT_EQ(frame->SubFrameCount, 2);
  EXPECT_EQ(static_cast<TQuvFrame*>(frame->GetSubFrame(1))->Compression, 0);
  EXPECT_EQ(static_cast<TQuvFrame*>(frame->GetSubFrame(0))->Compression, 1);
}

TEST_F(QuvWriterTest, RawModeWritesEveryFrameAndSubFrameRaw) {
  AddFile("raw.quv", BuildQuvFile(SampleSprites(), 0));
  TImageClass* read = Manager.GetClass("raw.quv");
  for (auto& image : read->Images) {
    for (int32_t i = 0; i < image->FrameCount; ++i) {
      auto* frame = static_cast<TQuvFrame*>(image->GetFrame(i));
      if (frame->SubFrameCount == 0) {
        EXPECT_EQ(frame->Compression, 0) << image->Name;
      }
      for (int32_t k = 0; k < frame->SubFrameCount; ++k)
        EXPECT_EQ(static_cast<TQuvFrame*>(frame->GetSubFrame(k))->Compression, 0);
    }
  }
}

TEST_F(QuvWriterTest, ALoadedFileWritesBackByteForByte) {
  const std::vector<uint8_t> original = MakeSampleQuv();
  AddFile("sample.quv", original);
  auto* read = static_cast<TQuvImages*>(Manager.GetClass("sample.quv"));
  Manager.CompressionMode = KeepCompression;
  TMemoryStream stream;
  SaveQuvFile(stream, *read);
  EXPECT_EQ(std::vector<uint8_t>(stream.Memory(), stream.Memory() + stream.GetSize()), original);
}

TEST_F(QuvWriterTest, SyntheticFilesHoldTheAskedImagesAndFrames) {
  AddFile("synthetic.quv", MakeSyntheticQuv(3, 4, 17, 5, 0));
  TImageClass* read = Manager.GetClass("synthetic.quv");
  ASSERT_EQ(read->ImageCount, 3);
  EXPECT_EQ(read->GetImage(2)->Name, "image0002");
  EXPECT_EQ(read->GetImage(2)->FrameCount, 4);
  EXPECT_EQ(read->GetImage(2)->GetFrame(3)->Width, 17);
}

}  // namespace

namespace {

TEST_F(QuvWriterTest, AMissingOrShortRowFailsNamingImageFrameAndRowAndNothingIsWritten) {
  SetRows(*FFrame, {{1, 2, 3}, {4, 5, 6}});
  FFrame->Height = 3;  // a row the frame does not hold
  TMemoryStream stream;
  EXPECT_EQ(QuvError([&] { SaveQuvFile(stream, Images()); }),
            "Image \"a\", frame 0: pixel row 2 is missing or shorter than the frame's 3 pixels; "
            "nothing was written");
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(Assertions.size(), 1u);

  SetRows(*FFrame, {{1, 2, 3}, {4, 5}});
  Manager.CompressionMode = 1;
  EXPECT_NE(QuvError([&] { SaveQuvFile(stream, Images()); }).find("frame 0: pixel row 1 is"),
            std::string::npos);

  SetRows(*FFrame, {{1, 2, 3}});
  auto* subFrame = static_cast<TQuvFrame*>(FFrame->AddSubFrame());
  SetRows(*subFrame, {{7, 7}});
  subFrame->Height = 2;
  EXPECT_NE(QuvError([&] {
              SaveQuvFile(stream, Images());
            }).find("Image \"a\", frame 0, sub-frame 0: pixel row 1 is"),
            std::string::npos);
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(Assertions.size(), 3u);
}

}  // namespace
