// Saving a Quv file back where it was opened from: its disk file, or its entry inside an
// archive; what the viewer then reads, the file's stamp, and the failures that keep the old file.
#include <gtest/gtest.h>

#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
#include "QuvDocumentU.h"
#include "QuvSaveU.h"
#include "SmallDiskU.h"

namespace {

class QuvSave : public testing::Test {
 protected:
  void SetUp() override {
    WriteFileBytes(dir.File("sample.quv"), MakeSampleQuv());
    THpiBuilder builder;
    builder.HeaderKey = 0x2f6b3c;
    builder.AddFile("anims/tank.quv", MakeSampleQuv(), {2, {THpiChunkKind::ZLib}, true});
    builder.AddFile("anims/other.quv", Other, {0, {}, false});
    WriteFileBytes(dir.File("units.hpi"), builder.Build());
  }
  static std::unique_ptr<TQuvDocument> Open(const std::string& path) {
    TQuvDocumentResult opened = OpenQuvDocument(path, {});
    EXPECT_TRUE(opened.Document) << opened.Error;
    return std::move(opened.Document);
  }
  // The file's bytes as the viewer reads them, through the document's own file system.
  static std::vector<uint8_t> ReadBack(const std::string& path) {
    const auto document = Open(path);
    if (!document) return {};
    IFileReaderRef reader = document->FileSystem->OpenFile(document->OpenName, fmRead);
    std::vector<uint8_t> bytes(size_t(reader->GetSize()));
    reader->ReadBuffer(bytes.data(), int64_t(bytes.size()));
    return bytes;
  }
  // The save must fail with exactly this message.
  static void ExpectFailure(const TQuvSaveTarget& target, const std::string& message) {
    try {
      SaveQuvBytes(target, Edited);
      ADD_FAILURE() << "saved; expected: " << message;
    } catch (const std::exception& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }

  TTempDir dir;
  inline static const std::vector<uint8_t> Other = MakeSyntheticQuv(1, 2, 8, 8);
  inline static const std::vector<uint8_t> Edited = MakeSyntheticQuv(3, 4, 64, 64);
};

TEST_F(QuvSave, TheTargetIsWhereTheDocumentWasOpenedFrom) {
  TQuvSaveTarget target = SaveTargetOf(dir.File("sample.quv"));
  EXPECT_EQ(target.DiskFile, dir.File("sample.quv"));
  EXPECT_FALSE(target.InArchive());
  target = SaveTargetOf(dir.Path().string() + "\\units.hpi\\anims\\tank.quv");
  EXPECT_EQ(target.DiskFile, dir.File("units.hpi"));
  EXPECT_EQ(target.InnerPath, "anims/tank.quv");
  EXPECT_EQ(target.ShownPath(), dir.File("units.hpi/anims/tank.quv"));
  EXPECT_EQ(Open(dir.File("units.hpi/anims/tank.quv"))->SaveTarget.DiskFile, dir.File("units.hpi"));
  // A name matched in another letter case saves to the file that was read.
  EXPECT_EQ(Open(dir.File("SAMPLE.QUV"))->SaveTarget.DiskFile, dir.File("sample.quv"));
  try {
    SaveTargetOf(dir.File("nowhere/x.quv"));
    ADD_FAILURE() << "a missing folder resolved";
  } catch (const std::exception& error) {
    EXPECT_EQ(std::string(error.what()), "Can not find file path \"" + dir.File("nowhere") + "\".");
  }
}

TEST_F(QuvSave, SavingOnDiskReplacesTheFileAndItsStamp) {
  const auto document = Open(dir.File("sample.quv"));
  ASSERT_TRUE(document);
  ASSERT_TRUE(document->Stamp);
  EXPECT_EQ(document->Stamp, StampOf(dir.File("sample.quv")));
  SaveQuvBytes(document->SaveTarget, Edited);
  EXPECT_EQ(ReadFileBytes(dir.File("sample.quv")), Edited);
  EXPECT_EQ(Open(dir.File("sample.quv"))->Images->ImageCount, 3);
  const std::optional<TFileStamp> saved = StampOf(dir.File("sample.quv"));
  EXPECT_NE(saved, document->Stamp);
  // The same bytes written again are still another file on disk.
  SaveQuvBytes(document->SaveTarget, Edited);
  EXPECT_NE(StampOf(dir.File("sample.quv")), saved);
  EXPECT_EQ(StampOf(dir.File("missing.quv")), std::nullopt);
}

TEST_F(QuvSave, SavingThroughAnArchivePathReplacesTheEntryAlone) {
  const std::string path = dir.File("units.hpi/anims/tank.quv");
  const auto document = Open(path);
  ASSERT_TRUE(document);
  EXPECT_EQ(document->Stamp, StampOf(dir.File("units.hpi")));
  SaveQuvBytes(document->SaveTarget, Edited);
  EXPECT_EQ(ReadBack(path), Edited);
  EXPECT_EQ(Open(path)->Images->ImageCount, 3);
  EXPECT_EQ(ReadBack(dir.File("units.hpi/anims/other.quv")), Other);
  EXPECT_NE(StampOf(dir.File("units.hpi")), document->Stamp);
  // A path to an entry the archive lacks adds it.
  SaveQuvBytes(SaveTargetOf(dir.File("units.hpi/anims/new.quv")), Other);
  EXPECT_EQ(ReadBack(dir.File("units.hpi/anims/new.quv")), Other);
}

TEST_F(QuvSave, AFailedSaveNamesThePathAndKeepsTheOldFile) {
  const std::vector<uint8_t> archive = ReadFileBytes(dir.File("units.hpi"));
  WriteFileBytes(dir.File("units.hpi"),
                 std::vector<uint8_t>(archive.begin(), archive.begin() + 40));
  ExpectFailure(SaveTargetOf(dir.File("units.hpi/anims/tank.quv")),
                "Cannot save \"" + dir.File("units.hpi/anims/tank.quv") + "\": Cannot read \"" +
                    dir.File("units.hpi") +
                    "\": Error reading and decrypting Zeta Hpi central directory");
  EXPECT_EQ(ReadFileBytes(dir.File("units.hpi")).size(), 40u);

  TSmallDisk disk(256 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  const std::vector<uint8_t> old = MakeSampleQuv();
  WriteFileBytes(disk / "sample.quv", old);
  WriteFileBytes(disk / "units.hpi", archive);
  disk.Fill(std::min(old.size(), archive.size()) / 2);
  // More than the room left: the disk file; the whole new archive: the entry.
  ASSERT_GT(Edited.size(), std::min(old.size(), archive.size()) / 2 + 8192);
  ExpectFailure(SaveTargetOf(disk / "sample.quv"),
                "Cannot save \"" + (disk / "sample.quv") + "\": No space left on device");
  ExpectFailure(
      SaveTargetOf(disk / "units.hpi/anims/tank.quv"),
      "Cannot save \"" + (disk / "units.hpi/anims/tank.quv") + "\": No space left on device");
  EXPECT_EQ(ReadFileBytes(disk / "sample.quv"), old);
  EXPECT_EQ(ReadFileBytes(disk / "units.hpi"), archive);
}

}  // namespace
