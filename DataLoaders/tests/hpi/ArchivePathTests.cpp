// Splitting a disk path that runs through an archive file into the archive and its inner path.
#include <gtest/gtest.h>

#include "ArchivePathU.h"
#include "HpiTestSupport.h"

using namespace hpitest;

namespace {
class ArchivePath : public HpiTest {};
}  // namespace

TEST_F(ArchivePath, PathThroughAnArchiveFileSplitsAtTheFile) {
  const std::string archive = WriteBytes("game/data.hpi", {1, 2, 3});
  std::string archiveFile, inner;
  EXPECT_TRUE(ResolveArchivePath(archive + "/anims/units", archive + "/anims/units/tank.quv",
                                 archiveFile, inner));
  EXPECT_EQ(archiveFile, archive);
  EXPECT_EQ(inner, "anims\\units\\tank.quv");
  // A file directly inside the archive, and backslashes as separators.
  std::string backslashed = archive;
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  EXPECT_TRUE(ResolveArchivePath(backslashed, backslashed + "\\top.quv", archiveFile, inner));
  EXPECT_EQ(archiveFile, archive);
  EXPECT_EQ(inner, "top.quv");
}

TEST_F(ArchivePath, PlainFolderPathIsNotAnArchive) {
  WriteBytes("game/units/tank.quv", {1});
  std::string archiveFile = "stale", inner;
  const std::string folder = (Dir / "game" / "units").string();
  EXPECT_FALSE(ResolveArchivePath(folder + "/", folder + "/tank.quv", archiveFile, inner));
  EXPECT_TRUE(archiveFile.empty());
  EXPECT_FALSE(ResolveArchivePath("", "tank.quv", archiveFile, inner));
}

TEST_F(ArchivePath, MissingPartIsReportedWithThePathAsGiven) {
  const std::string missing = (Dir / "nowhere" / "deeper").string();
  std::string archiveFile, inner;
  try {
    ResolveArchivePath(missing, missing + "/x.quv", archiveFile, inner);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Can not find file path \"" + missing + "\".");
  }
}
