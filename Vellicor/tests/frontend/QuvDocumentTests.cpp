// Opening a Quv document by path: on disk, through an archive, and the reasons it fails.
#include <gtest/gtest.h>

#include "FrontendTestUtilsU.h"
#include "HpiBuilderU.h"
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

}  // namespace
