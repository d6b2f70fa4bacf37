// Opening a Quv document by path: on disk, through an archive, and the reasons it fails.
#include <gtest/gtest.h>

#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "ImageExportU.h"
#include "QuvDocumentU.h"
#include "QuvSamplesU.h"

namespace {

class QuvDocument : public testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(dir.File("sample.quv"), MakeSampleQuv());
    THpiBuilder builder;
    builder.AddFile("anims/tank.quv", MakeSampleQuv());
    WriteFileBytes(dir.File("units.hpi"), builder.Build());
    options.TransparentIndex = 7;
  }
  TQuvDocumentResult Open(const std::string& path) { return OpenQuvDocument(path, options); }

  TTempDir dir;
  TQuvDocumentOptions options;
};

TEST_F(QuvDocument, DiskFileOpensWithItsOwnManagerAndFrontEnd) {
  std::string loading;
  options.OnLoading = [&loading](const TQuvDocument& document) {
    // Mounted, not yet read.
    EXPECT_NE(document.FileSystem->FindFile("sample.quv"), nullptr);
    EXPECT_EQ(document.Images, nullptr);
    loading = document.OpenName;
  };
  const TQuvDocumentResult opened = Open(dir.File("sample.quv"));
  ASSERT_TRUE(opened.Document) << opened.Error;
  const TQuvDocument& document = *opened.Document;
  EXPECT_EQ(loading, "sample.quv");
  EXPECT_FALSE(document.InArchive);
  EXPECT_EQ(document.Manager->TransparentIndex, 7);
  ASSERT_NE(document.Images, nullptr);
  EXPECT_GT(document.Images->ImageCount, 0);
  EXPECT_EQ(document.FrontEnd->Images, document.Images);
  EXPECT_TRUE(document.FileSystem->ScanDirs().empty());
}

TEST_F(QuvDocument, PathThroughAnArchiveOpensTheInnerFile) {
  const TQuvDocumentResult opened = Open(dir.File("units.hpi/anims/tank.quv"));
  ASSERT_TRUE(opened.Document) << opened.Error;
  EXPECT_TRUE(opened.Document->InArchive);
  EXPECT_EQ(opened.Document->OpenName, "anims\\tank.quv");
  EXPECT_GT(opened.Document->Images->ImageCount, 0);
  // Backslashes are a disk path's separators too.
  EXPECT_TRUE(Open(dir.Path().string() + "\\units.hpi\\anims\\tank.quv").Document);
}

TEST_F(QuvDocument, FailuresGiveNoDocumentAndTheErrorsOwnWords) {
  TQuvDocumentResult opened = Open(dir.File("missing.quv"));
  EXPECT_FALSE(opened.Document);
  EXPECT_EQ(opened.Error, "Could not find missing.quv");
  EXPECT_EQ(Open(dir.File("units.hpi/anims/none.quv")).Error, "Could not find anims\\none.quv");
  const std::string nowhere = dir.File("nowhere/x.quv");
  EXPECT_EQ(Open(nowhere).Error, "Can not find file path \"" + dir.File("nowhere") + "\".");
  // A file that is no archive stays a plain file: what lies "inside" it is not found.
  EXPECT_EQ(Open(dir.File("sample.quv/inner.quv")).Error, "Could not find inner.quv");
  // Not a Quv file: the format's own message.
  WriteFileBytes(dir.File("text.quv"), {'n', 'o', 't', ' ', 'q', 'u', 'v'});
  opened = Open(dir.File("text.quv"));
  EXPECT_FALSE(opened.Document);
  EXPECT_FALSE(opened.Error.empty());
}

// Every frame and sub-frame of the document: its palette indices and its bitmap, in file order.
struct TDrawn {
  std::vector<std::vector<uint8_t>> Indices;
  std::vector<TBitmap> Bitmaps;
};

void Draw(TFrontEndImageFrame& frame, TDrawn& drawn) {
  // The indices first, as the PNG exports take them, before anything draws the frame.
  drawn.Indices.push_back(frame.GetPixels().Indices().Pixels);
  drawn.Bitmaps.push_back(frame.GetPixels().Bitmap());
  for (int32_t i = 0; i < frame.SubFrameCount; ++i) Draw(*frame.GetSubFrame(i), drawn);
}

TDrawn DrawAll(TQuvDocument& document) {
  TDrawn drawn;
  for (int32_t i = 0; i < document.FrontEnd->ImageCount; ++i) {
    TFrontEndImage& image = *document.FrontEnd->GetImage(i);
    for (int32_t f = 0; f < image.FrameCount; ++f) Draw(*image.GetFrame(f), drawn);
  }
  return drawn;
}

TEST_F(QuvDocument, ANewTransparentIndexDecodesTheOpenFramesAgainAsAFreshOpenDoes) {
  options.Palette = BuiltInPalette();
  options.TransparentIndex = SampleTransparentIndex;
  const TQuvDocumentResult open = Open(dir.File("sample.quv"));
  ASSERT_TRUE(open.Document) << open.Error;
  const TDrawn before = DrawAll(*open.Document);

  // A palette file's colours with its own empty index, 0.
  TPalette palette{};
  for (int i = 0; i < 256; ++i) palette[i] = {uint8_t(i), uint8_t(255 - i), 77, 255};
  options.Palette = palette;
  options.TransparentIndex = 0;
  const TQuvDocumentResult fresh = Open(dir.File("sample.quv"));
  ASSERT_TRUE(fresh.Document) << fresh.Error;
  const TDrawn expected = DrawAll(*fresh.Document);
  ASSERT_NE(before.Indices, expected.Indices);  // the sprites have empty pixels

  open.Document->FrontEnd->SetPalette(palette, 0);
  const TDrawn after = DrawAll(*open.Document);
  ASSERT_EQ(after.Indices.size(), expected.Indices.size());
  EXPECT_EQ(after.Indices, expected.Indices);
  for (size_t i = 0; i < after.Bitmaps.size(); ++i) {
    EXPECT_EQ(after.Bitmaps[i].TransparentColor, expected.Bitmaps[i].TransparentColor);
    for (int32_t y = 0; y < after.Bitmaps[i].Height(); ++y)
      for (int32_t x = 0; x < after.Bitmaps[i].Width(); ++x)
        ASSERT_EQ(after.Bitmaps[i].GetPixel(x, y), expected.Bitmaps[i].GetPixel(x, y)) << i;
  }

  // The colours alone change: the rows stay, and only their colours follow.
  open.Document->FrontEnd->SetPalette(BuiltInPalette(), 0);
  const TDrawn recoloured = DrawAll(*open.Document);
  EXPECT_EQ(recoloured.Indices, expected.Indices);
  EXPECT_EQ(recoloured.Bitmaps.front().TransparentColor, (TRGBColor{0, 0, 0}));
}

}  // namespace
