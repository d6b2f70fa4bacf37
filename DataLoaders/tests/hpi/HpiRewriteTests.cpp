// Rewriting an archive with entries put, removed or renamed: every other entry keeps its stored
// bytes, a replaced entry keeps its storage, and a rewrite that fails leaves the old archive
// byte for byte as it was and says why. Archives are read back with the tests' own reader.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "HpiOutsideReader.h"
#include "HpiRewriteU.h"
#include "HpiTestSupport.h"
#include "SafeFileU.h"
#include "SmallDiskU.h"

using namespace hpitest;

namespace {

constexpr uint32_t Key = 0x1234567;

class HpiRewrite : public HpiTest {
 protected:
  // Every storage form, nested folders, an empty folder, an empty file and files of several
  // chunks.
  static THpiBuilder Sample() {
    THpiBuilder builder;
    builder.HeaderKey = Key;
    builder.AddFile("stored.bin", Pattern(1000, 1), {0, {}, false});
    builder.AddFile("anims/tank.quv", Pattern(70000, 2), {1, {THpiChunkKind::LZ77}, true});
    builder.AddFile("anims/units/big.bin", Pattern(200000, 3),
                    {2, {THpiChunkKind::ZLib, THpiChunkKind::LZ77, THpiChunkKind::Stored}, false});
    builder.AddFile("maps/plain.txt", Pattern(5000, 4), {1, {THpiChunkKind::Plain}, false});
    builder.AddFile("maps/deep/stored-chunks.bin", Pattern(66000, 5),
                    {1, {THpiChunkKind::Stored}, true});
    builder.AddFile("empty.txt", {}, {1, {THpiChunkKind::LZ77}, false});
    builder.AddDirectory("sounds/none");
    return builder;
  }

  void SetUp() override {
    HpiTest::SetUp();
    Archive = WriteBytes("units.hpi", Sample().Build());
  }

  std::vector<uint8_t> Bytes() const { return ReadFileBytes(Archive); }
  static void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteFileAtomically(path, {reinterpret_cast<const char*>(bytes.data()), bytes.size()});
  }
  static std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    const std::string bytes = ReadRegularFile(path, size_t{1} << 30, TLinkPolicy::Refuse);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
  }

  // Each entry of before not named in changed reads the same and keeps its stored block.
  static void ExpectUntouched(const TOutsideArchive& before, const TOutsideArchive& after,
                              const std::vector<std::string>& changed) {
    for (const auto& [path, file] : before.Files) {
      if (std::find(changed.begin(), changed.end(), path) != changed.end()) continue;
      SCOPED_TRACE(path);
      ASSERT_EQ(after.Files.count(path), 1u);
      const TOutsideFile& now = after.Files.at(path);
      EXPECT_EQ(now.Content, file.Content);
      EXPECT_EQ(now.Block, file.Block);
      EXPECT_EQ(now.Flag, file.Flag);
    }
  }

  // The rewrite must fail with a message holding each text, and leave the archive as it was.
  void ExpectRefused(const std::vector<THpiChange>& changes,
                     const std::vector<std::string>& texts) {
    const std::vector<uint8_t> before = Bytes();
    try {
      RewriteHpiArchive(Archive, changes);
      ADD_FAILURE() << "rewritten; expected: " << texts.back();
    } catch (const std::exception& error) {
      for (const std::string& text : texts)
        EXPECT_NE(std::string(error.what()).find(text), std::string::npos) << error.what();
    }
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(Temp.List(), std::vector<std::string>{"units.hpi"});
  }

  static THpiChange Put(const std::string& path, std::vector<uint8_t> data) {
    THpiChange change;
    change.Path = path;
    change.Data = std::move(data);
    return change;
  }
  static THpiChange Remove(const std::string& path) {
    THpiChange change;
    change.Kind = THpiChange::TKind::Remove;
    change.Path = path;
    return change;
  }
  static THpiChange Rename(const std::string& path, const std::string& to) {
    THpiChange change;
    change.Kind = THpiChange::TKind::Rename;
    change.Path = path;
    change.NewPath = to;
    return change;
  }

  std::string Archive;
};

TEST_F(HpiRewrite, PutReplacesAnEntryInItsOwnStorageAndCopiesEveryOtherStoredBlock) {
  const std::vector<uint8_t> original = Bytes();
  const TOutsideArchive before = ReadOutside(original);
  for (const std::string path : {"stored.bin", "anims/tank.quv", "anims/units/big.bin",
                                 "maps/plain.txt", "maps/deep/stored-chunks.bin", "empty.txt"}) {
    SCOPED_TRACE(path);
    WriteBytes("units.hpi", original);
    const std::vector<uint8_t> content = Pattern(140000, 9);  // three chunks
    RewriteHpiArchive(Archive, {Put(path, content)});
    const std::vector<uint8_t> bytes = Bytes();
    const TOutsideArchive after = ReadOutside(bytes);
    EXPECT_EQ(after.HeaderKey, Key);
    EXPECT_EQ(after.Folders, before.Folders);
    ExpectUntouched(before, after, {path});
    const TOutsideFile& was = before.Files.at(path);
    const TOutsideFile& now = after.Files.at(path);
    EXPECT_EQ(now.Content, content);
    EXPECT_EQ(now.Flag, was.Flag);
    if (!was.FirstChunk.empty()) {
      EXPECT_EQ(now.FirstChunk, was.FirstChunk);
      EXPECT_EQ(now.Encrypted, was.Encrypted);
    }
    // What the viewer reads through the program's own loader.
    auto fs = MakeFileSystem();
    ASSERT_EQ(Mount(*fs, Archive).Kind, TArchiveAnswer::akLoaded);
    EXPECT_EQ(ReadFile(*fs, path), content);
    EXPECT_EQ(ReadFile(*fs, "maps/plain.txt"),
              path == "maps/plain.txt" ? content : Pattern(5000, 4));
  }
}

TEST_F(HpiRewrite, PutMatchesNamesWithoutCaseAndStoresNewFilesAsAskedOrInLz77Chunks) {
  const TOutsideArchive before = ReadOutside(Bytes());
  THpiChange zlib = Put("new/deeper/packed.bin", Pattern(70000, 7));
  zlib.Options = THpiFileOptions{2, {THpiChunkKind::ZLib}, true};
  // A plain chunk beginning with "SQSH" would read as a chunk header.
  THpiChange plain = Put("new/plain.bin", Pattern(70000, 8));
  std::copy_n("SQSH", 4, plain.Data.begin() + 65536);
  plain.Options = THpiFileOptions{1, {THpiChunkKind::Plain}, false};
  RewriteHpiArchive(
      Archive, {Put("ANIMS/TANK.QUV", {1, 2, 3}), Put("new/default.bin", {4, 5}), zlib, plain});
  const TOutsideArchive after = ReadOutside(Bytes());
  EXPECT_EQ(after.Files.count("ANIMS/TANK.QUV"), 0u);
  EXPECT_EQ(after.Files.at("anims/tank.quv").Content, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(after.Files.at("anims/tank.quv").FirstChunk, "lz77");
  const TOutsideFile& fresh = after.Files.at("new/default.bin");
  EXPECT_EQ(fresh.Content, (std::vector<uint8_t>{4, 5}));
  EXPECT_EQ(fresh.Flag, 1);
  EXPECT_EQ(fresh.FirstChunk, "lz77");
  EXPECT_FALSE(fresh.Encrypted);
  EXPECT_EQ(after.Files.at("new/deeper/packed.bin").Content, zlib.Data);
  EXPECT_EQ(after.Files.at("new/deeper/packed.bin").Flag, 2);
  EXPECT_EQ(after.Files.at("new/deeper/packed.bin").FirstChunk, "zlib");
  EXPECT_TRUE(after.Files.at("new/deeper/packed.bin").Encrypted);
  EXPECT_EQ(after.Files.at("new/plain.bin").Content, plain.Data);
  EXPECT_EQ(after.Files.at("new/plain.bin").FirstChunk, "plain");
  ExpectUntouched(before, after, {"anims/tank.quv"});
}

TEST_F(HpiRewrite, RemoveAndRenameTakeFoldersAlongAndKeepStoredBlocks) {
  const TOutsideArchive before = ReadOutside(Bytes());
  RewriteHpiArchive(Archive, {Remove("stored.bin"), Remove("MAPS/deep"),
                              Rename("anims/units/big.bin", "moved/here/big.bin"),
                              Rename("anims", "animations"), Rename("empty.txt", "EMPTY.TXT")});
  const TOutsideArchive after = ReadOutside(Bytes());
  std::vector<std::string> files;
  for (const auto& [path, file] : after.Files) files.push_back(path);
  EXPECT_EQ(files, (std::vector<std::string>{"EMPTY.TXT", "animations/tank.quv", "maps/plain.txt",
                                             "moved/here/big.bin"}));
  std::vector<std::string> folders = after.Folders;
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(folders, (std::vector<std::string>{"animations", "animations/units", "maps", "moved",
                                               "moved/here", "sounds", "sounds/none"}));
  const auto same = [&](const std::string& was, const std::string& now) {
    SCOPED_TRACE(now);
    EXPECT_EQ(after.Files.at(now).Block, before.Files.at(was).Block);
    EXPECT_EQ(after.Files.at(now).Content, before.Files.at(was).Content);
  };
  same("anims/units/big.bin", "moved/here/big.bin");
  same("anims/tank.quv", "animations/tank.quv");
  same("empty.txt", "EMPTY.TXT");
  same("maps/plain.txt", "maps/plain.txt");
}

TEST_F(HpiRewrite, MakeFolderAddsAnEmptyFolderWithItsParentsAndLeavesOneThereAsItIs) {
  const TOutsideArchive before = ReadOutside(Bytes());
  THpiChange folder;
  folder.Kind = THpiChange::TKind::MakeFolder;
  folder.Path = "new/deeper";
  THpiChange existing = folder;
  existing.Path = "ANIMS";
  RewriteHpiArchive(Archive, {folder, existing, Put("new/deeper/x.bin", {1, 2})});
  const TOutsideArchive after = ReadOutside(Bytes());
  EXPECT_NE(std::find(after.Folders.begin(), after.Folders.end(), "new/deeper"),
            after.Folders.end());
  EXPECT_EQ(after.Files.at("new/deeper/x.bin").Content, (std::vector<uint8_t>{1, 2}));
  EXPECT_EQ(after.Files.at("anims/tank.quv").Block, before.Files.at("anims/tank.quv").Block);
  folder.Path = "maps/plain.txt/sub";
  ExpectRefused({folder}, {"\"maps/plain.txt\" is a file, not a folder"});
  folder.Path = "maps/../up";
  ExpectRefused({folder}, {"would leave the archive"});
}

TEST_F(HpiRewrite, ChangesThatCannotApplyAreRefusedAndWriteNothing) {
  const std::string named = "Cannot rewrite \"" + Archive + "\": ";
  for (const std::string path :
       {"../x.quv", "/x.quv", "anims//x.quv", "anims/./x.quv", "", "anims/"}) {
    SCOPED_TRACE(path);
    ExpectRefused({Put(path, {1})}, {named + "the name \"" + path + "\" would leave the archive"});
  }
  ExpectRefused({Rename("stored.bin", "../stored.bin")},
                {named + "the name \"../stored.bin\" would leave the archive"});
  ExpectRefused({Put("a.bin", {1}), Remove("missing.bin")},
                {named + "\"missing.bin\" is not in the archive"});
  ExpectRefused({Rename("stored.bin/x", "y")}, {"\"stored.bin\" is a file, not a folder"});
  ExpectRefused({Rename("missing/x", "y")}, {named + "\"missing/x\" is not in the archive"});
  ExpectRefused({Rename("stored.bin", "anims/TANK.quv")},
                {named + "\"anims/TANK.quv\" already exists"});
  ExpectRefused({Rename("anims", "anims/units/sub")}, {"\"anims\" cannot move into itself"});
  ExpectRefused({Put("anims/units", {1})}, {named + "\"anims/units\" is a folder"});
  ExpectRefused({Put("stored.bin/inner.quv", {1})},
                {named + "\"stored.bin\" is a file, not a folder"});
}

TEST_F(HpiRewrite, DamagedOrForeignArchivesAreRefusedNamingThem) {
  const std::vector<uint8_t> good = Bytes();
  const std::string named = "Cannot read \"" + Archive + "\": ";
  // The directory runs past the end of the file.
  WriteBytes("units.hpi", std::vector<uint8_t>(good.begin(), good.begin() + 60));
  ExpectRefused({Put("x", {1})},
                {named + "Error reading and decrypting Zeta Hpi central directory"});
  // A stored file whose bytes the archive cannot hold: the loader would leave it out.
  THpiLayout layout;
  std::vector<uint8_t> bytes = Sample().Build(&layout);
  std::vector<uint8_t> record(bytes.begin() + layout.FileRecords["stored.bin"],
                              bytes.begin() + layout.FileRecords["stored.bin"] + 9);
  THpiBuilder::Scramble(record.data(), 9, layout.FileRecords["stored.bin"], Key);  // unscrambles
  SetU32(record, 4, uint32_t(bytes.size()));
  THpiBuilder::Scramble(record.data(), 9, layout.FileRecords["stored.bin"], Key);
  std::copy(record.begin(), record.end(), bytes.begin() + layout.FileRecords["stored.bin"]);
  WriteBytes("units.hpi", bytes);
  ExpectRefused({Put("x", {1})}, {named + "HPI file entry \"stored.bin\" is corrupt"});
  // Two entries sharing one block would copy it twice over.
  THpiBuilder shared;
  shared.AddFile("a.bin", Pattern(3000, 1), {0, {}, false});
  shared.AddFile("b.bin", {1}, {0, {}, false});
  bytes = shared.Build(&layout);
  SetU32(bytes, layout.FileRecords["b.bin"], layout.DataStarts["a.bin"]);
  SetU32(bytes, layout.FileRecords["b.bin"] + 4, 3000);
  WriteBytes("units.hpi", bytes);
  ExpectRefused({Put("x", {1})}, {named + "the stored data of its files overlap"});
  WriteBytes("units.hpi", std::vector<uint8_t>(100, 'x'));
  ExpectRefused({Put("x", {1})}, {named + "it is not an archive"});
  std::filesystem::remove(Archive);
  std::filesystem::create_directory(Archive);
  try {
    RewriteHpiArchive(Archive, {Put("x", {1})});
    ADD_FAILURE() << "a folder rewritten";
  } catch (const std::exception& error) {
    EXPECT_EQ(std::string(error.what()), named + "it is a folder, not a file");
  }
  EXPECT_TRUE(std::filesystem::is_empty(Archive));
}

TEST_F(HpiRewrite, AFullDiskLeavesTheArchiveWholeAndSaysSo) {
  TSmallDisk disk(512 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
  const std::vector<uint8_t> original = Sample().Build();
  Archive = disk / "units.hpi";
  WriteFileBytes(Archive, original);
  disk.Fill(original.size() / 2);
  try {
    RewriteHpiArchive(Archive, {Put("anims/tank.quv", Pattern(90000, 6))});
    ADD_FAILURE() << "written on a full disk";
  } catch (const std::exception& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot write \"" + Archive + "\": No space left on device");
  }
  EXPECT_EQ(ReadFileBytes(Archive), original);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(disk.Path()))
    names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".filler", "units.hpi"}));
}

TEST_F(HpiRewrite, AReadOnlyFolderLeavesTheArchiveAndSaysSo) {
  // Root writes into any folder whose mode forbids it; a read-only mount stops it too.
  TSmallDisk disk(1 << 20);
  std::string folder = Dir.string(), reason = "Permission denied";
  if (::geteuid() == 0) {
    if (!disk.Mounted()) GTEST_SKIP() << disk.Reason();
    folder = disk.Path().string();
    reason = "Read-only file system";
  }
  const std::vector<uint8_t> original = Sample().Build();
  Archive = folder + "/units.hpi";
  WriteFileBytes(Archive, original);
  const bool locked = ::geteuid() == 0 ? ::mount(nullptr, folder.c_str(), nullptr,
                                                 MS_REMOUNT | MS_RDONLY, nullptr) == 0
                                       : ::chmod(folder.c_str(), 0555) == 0;
  if (!locked) GTEST_SKIP() << "cannot make the folder read-only";
  try {
    RewriteHpiArchive(Archive, {Remove("stored.bin")});
    ADD_FAILURE() << "written into a read-only folder";
  } catch (const std::exception& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot write \"" + Archive + "\": " + reason);
  }
  EXPECT_EQ(ReadFileBytes(Archive), original);
  if (::geteuid() != 0) ::chmod(folder.c_str(), 0755);
}

}  // namespace
