// The front end over real Quv files: sample sprites read by the Quv reader, on their own and
// inside an HPI archive.
#include <gtest/gtest.h>

#include "FileSystemU.h"
#include "FrameExportU.h"
#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "Hpi_Zeta_LoaderU.h"
#include "ImageLoaderU.h"
#include "MemoryFileReaderU.h"
#include "QuvManagerU.h"
#include "QuvSamplesU.h"

namespace {

// A view's set-up: a file system holding the file, a manager with the palette, the collection.
class TOpenedFile {
 public:
  TOpenedFile() { FileSystem.Initialize(); }
  ~TOpenedFile() {
    Images.reset();
    Manager.reset();
    FileSystem.Finalize();
  }
  TImageClass* Load(const std::string& name) {
    Manager = std::make_unique<TQuvManager>();
    Manager->FileSystem = &FileSystem;
    Manager->TrueColour = true;
    Manager->Palette = Palette;
    Manager->TransparentIndex = TransparentIndex;
    Manager->Initialize();
    Images = Manager->LoadFile(name);
    return Images.get();
  }

  TFileSystem FileSystem;
  std::unique_ptr<TQuvManager> Manager;
  std::unique_ptr<TImageClass> Images;
};

class QuvExport : public ::testing::Test {
 protected:
  TExportPlan Plan;
  void SetUp() override {
    Palette = BuiltInPalette();
    TransparentIndex = SampleTransparentIndex;
  }
};

TRGBColor EntryColor(uint8_t index) {
  return {Palette[index][0], Palette[index][1], Palette[index][2]};
}

void ExpectPicture(const TBitmap& bitmap, const TSampleFrame& sample) {
  ASSERT_EQ(bitmap.Width(), sample.Width);
  ASSERT_EQ(bitmap.Height(), sample.Height);
  for (int32_t y = 0; y < sample.Height; ++y)
    for (int32_t x = 0; x < sample.Width; ++x)
      ASSERT_EQ(bitmap.GetPixel(x, y), EntryColor(sample.Pixels[size_t(y) * sample.Width + x]))
          << x << "," << y;
}

// Every file of a folder with its bytes.
std::vector<std::pair<std::string, std::vector<uint8_t>>> Contents(const TTempDir& dir) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  for (const std::string& name : dir.List())
    files.emplace_back(name, ReadFileBytes(dir.File(name)));
  return files;
}

}  // namespace

TEST_F(QuvExport, SampleFramesBecomeUnmirroredPicturesOfTheirPaletteColours) {
  TOpenedFile file;
  AddMemoryFile(file.FileSystem, "sample.quv",
                std::make_shared<const std::vector<uint8_t>>(MakeSampleQuv()));
  TFrontEndImages images(file.Load("sample.quv"));
  for (const TSampleImage& sample : SampleSprites()) {
    SCOPED_TRACE(sample.Name);
    TFrontEndImage* image = images.GetImage(sample.Name);
    ASSERT_EQ(image->FrameCount, int32_t(sample.Frames.size()));
    for (int32_t i = 0; i < image->FrameCount; ++i) {
      SCOPED_TRACE(i);
      TFrontEndImageFrame* frame = image->GetFrame(i);
      const TSampleFrame& expected = sample.Frames[size_t(i)];
      ASSERT_EQ(frame->SubFrameCount, int32_t(expected.SubFrames.size()));
      if (expected.SubFrames.empty()) {
        ExpectPicture(frame->GetPixels().Bitmap(), expected);
        continue;
      }
      EXPECT_EQ(frame->GetPixels().Bitmap().Width(), expected.Width);
      for (int32_t j = 0; j < frame->SubFrameCount; ++j)
        ExpectPicture(frame->GetSubFrame(j)->GetPixels().Bitmap(), expected.SubFrames[size_t(j)]);
    }
  }
}

TEST_F(QuvExport, FileInsideAnArchiveExportsTheSameBytesAsOnItsOwn) {
  const std::vector<uint8_t> quv = MakeSampleQuv();
  TTempDir plainDir, archiveDir;

  TOpenedFile plain;
  AddMemoryFile(plain.FileSystem, "sample.quv", std::make_shared<const std::vector<uint8_t>>(quv));
  TFrontEndImages plainImages(plain.Load("sample.quv"));
  plainImages.ExportPixelFormat = pf8bit;
  plainImages.AutoPad = true;
  plainImages.ExportAllImages(Plan, efBmp, plainDir.Path().string(), FrameNameFormat);

  THpiBuilder builder;
  builder.HeaderKey = 0x5A;
  builder.AddFile("sprites/sample.quv", quv, {1, {THpiChunkKind::LZ77, THpiChunkKind::ZLib}, true});
  TOpenedFile archived;
  auto loader = std::make_unique<THpiLoader>(&archived.FileSystem);
  THpiLoader* hpi = loader.get();
  archived.FileSystem.RegisterLoader(std::move(loader));
  auto reader = std::make_shared<TMemoryFileReader>(builder.Build());
  reader->Open(fmRead);
  archived.FileSystem.GetRoot();
  ASSERT_TRUE(hpi->Load(reader, "pack.hpi", 0));
  TFrontEndImages archivedImages(archived.Load("sprites\\sample.quv"));
  archivedImages.ExportPixelFormat = pf8bit;
  archivedImages.AutoPad = true;
  archivedImages.ExportAllImages(Plan, efBmp, archiveDir.Path().string(), FrameNameFormat);

  EXPECT_EQ(plainDir.List().size(), 28u);
  EXPECT_EQ(Contents(archiveDir), Contents(plainDir));
}
