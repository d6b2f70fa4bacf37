// Scanning disk folders into the virtual file system: search paths, masks, priorities,
// sub-directories and archives handed to a loader.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "CoreTestSupport.h"
#include "FileSystemU.h"
#include "LowLevelIO.h"

namespace {

// A toy archive: "PACK" then the name of the one file it holds, which is mounted at
// "pack\<name>" and reads the whole archive. A name of "!" makes the loader decline.
class TPackLoader : public TLibLoader {
 public:
  explicit TPackLoader(TFileSystem* fs) : TLibLoader(fs, "TPackLoader") {}
  uint32_t GetSignature() const override { return 0x4B434150; }  // "PACK"
  bool Load(IFileReaderRef reader, const std::string& fileName, int32_t priority) override {
    PositionAtLoad = reader->GetPosition();
    const int64_t size = reader->GetSize();
    std::string name(static_cast<size_t>(size - 4), '\0');
    reader->SetPosition(4);
    reader->ReadBuffer(name.data(), size - 4);
    if (name == "!") return false;
    auto node = std::make_unique<TFileEntry>(name);
    node->Priority = priority;
    node->Reader = reader->Clone();
    return AddFile(node, AddDirectory("pack", GetRoot())) != nullptr;
  }
  int64_t PositionAtLoad = -1;
};

std::vector<TFileMaskInfo> Masks(const std::string& mask, int32_t priority = 0,
                                 bool loadArchives = false) {
  return {TFileMaskInfo{mask, priority, loadArchives}};
}

// Every path of the tree, directories with a trailing '\'.
std::vector<std::string> TreePaths(TFileSystem& fs) {
  std::vector<std::string> paths;
  if (!fs.Root()) return paths;
  VisitTree(*fs.Root(), [&paths](TEntry& node, const std::string&) {
    paths.push_back(node.GetFullPath() + (node.IsDirectory() ? "\\" : ""));
    return TWalkStep::Continue;
  });
  return paths;
}

class FileSystemScan : public testing::Test {
 protected:
  void MakeDir(const std::string& name) { std::filesystem::create_directories(dir.File(name)); }
  TTempDir dir;
  TFileSystem fs;
};

}  // namespace

TEST_F(FileSystemScan, SamePathTwiceKeepsOneScanDirectoryAndMergesMasks) {
  fs.AddSearchPath("", dir.Path().string() + "/", 1, Masks("*.pal", 1));
  fs.AddSearchPath("", dir.Path(), 0, {{"*.PAL", 1, false}, {"*.quv", 2, false}});
  ASSERT_EQ(fs.ScanDirs().size(), 1u);
  const TScanDir& scanDir = *fs.ScanDirs()[0];
  EXPECT_EQ(scanDir.Path, dir.Path());  // trailing separator removed, letter case kept
  ASSERT_EQ(scanDir.Masks.size(), 2u);
  EXPECT_EQ(scanDir.Masks[1].Mask, "*.QUV");
  fs.AddSearchPath("", dir.Path(), 0, Masks("*.Pal", 7));
  EXPECT_EQ(scanDir.Masks[0].Priority, 7);
  EXPECT_EQ(scanDir.Masks.size(), 2u);
}

TEST_F(FileSystemScan, PathsAreNormalisedAndParentReferencesRefused) {
  TScopedConsole console;
  fs.AddSearchPath("/game/art/", "\\data\\Sprites\\", 0, Masks("*"));
  ASSERT_EQ(fs.ScanDirs().size(), 1u);
  EXPECT_EQ(fs.ScanDirs()[0]->MountPoint, "GAME\\ART");
  EXPECT_EQ(fs.ScanDirs()[0]->Path, "/data/Sprites");
  fs.AddSearchPath("", "", 0, Masks("*"));
  EXPECT_EQ(fs.ScanDirs()[1]->Path, "<Root>");

  fs.AddSearchPath("", dir.Path().string() + "/../etc", 0, Masks("*"));
  EXPECT_EQ(fs.ScanDirs().size(), 2u);
  ASSERT_FALSE(console.Logged.empty());
  EXPECT_EQ(console.Logged.back().first, 7);
  EXPECT_EQ(console.Logged.back().second, "Invalid search path, contains \"..\"");
}

TEST_F(FileSystemScan, RescanMountsMatchingFilesUnderTheMountPointOnce) {
  dir.Write("palette.pal", "1234");
  dir.Write("unit.quv", "12");
  dir.Write(".hidden.pal", "x");
  MakeDir("inner");
  dir.Write("inner/deep.pal", "x");
  std::vector<std::pair<std::string, std::string>> found;
  fs.OnFileFound = [&found](TFileSystem*, const std::string& tree, const std::string& disk) {
    found.emplace_back(tree, disk);
  };
  fs.AddSearchPath("base/art", dir.Path(), sdCheckUsable, Masks("*"));
  fs.Rescan();
  EXPECT_EQ(TreePaths(fs),
            (std::vector<std::string>{"BASE\\", "BASE\\ART\\", "BASE\\ART\\inner\\",
                                      "BASE\\ART\\palette.pal", "BASE\\ART\\unit.quv"}));
  EXPECT_EQ(fs.FindFile("base/art/PALETTE.PAL")->Size, 4);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].second.substr(0, dir.Path().string().size()), dir.Path());

  fs.Rescan(false);  // the same files again: nothing doubles
  EXPECT_EQ(fs.FindDirectory("base/art")->Files.size(), 2u);
  auto reader = fs.OpenFile("BASE\\ART\\palette.pal");
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->GetSize(), 4);
}

TEST_F(FileSystemScan, HigherPriorityFolderWinsWhateverTheOrder) {
  MakeDir("low");
  MakeDir("high");
  dir.Write("low/palette.pal", "low");
  dir.Write("high/PALETTE.PAL", "high!");
  fs.AddSearchPath("", dir.File("high"), 0, Masks("*.pal", 5));
  fs.AddSearchPath("", dir.File("low"), 0, Masks("*.pal", 1));
  fs.Rescan();
  TFileEntry* node = fs.FindFile("palette.pal");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->Name, "PALETTE.PAL");
  EXPECT_EQ(node->Size, 5);
}

TEST_F(FileSystemScan, StarPathMountsTheNestedTreeWithTheSameMask) {
  MakeDir("a/b/c");
  MakeDir("empty");
  dir.Write("top.quv", "1");
  dir.Write("a/b/c/deep.QUV", "1");
  dir.Write("a/skip.txt", "1");
  fs.AddSearchPath("", dir.Path().string() + "/*", sdCheckUsable | sdRemoveAfterScan,
                   Masks("*.quv"));
  fs.Rescan();
  EXPECT_EQ(TreePaths(fs), (std::vector<std::string>{"a\\", "a\\b\\", "a\\b\\c\\",
                                                     "a\\b\\c\\deep.QUV", "empty\\", "top.quv"}));
  EXPECT_TRUE(fs.ScanDirs().empty());  // removed after its scan
}

TEST_F(FileSystemScan, LinkLoopsAndMissingFoldersEndQuietly) {
  MakeDir("a/b");
  dir.Write("a/b/f.txt", "1");
  std::filesystem::create_directory_symlink(dir.File("a"), dir.File("a/b/back"));
  std::filesystem::create_symlink(dir.File("nowhere"), dir.File("a/dangling"));
  fs.AddSearchPath("", dir.Path().string() + "/*", 0, Masks("*"));
  fs.AddSearchPath("", dir.File("missing") + "/*", sdCheckUsable, Masks("*"));
  fs.AddSearchPath("", dir.File("missing2"), 0, Masks("*", 0, true));
  fs.Rescan();
  EXPECT_NE(fs.FindFile("a/b/f.txt"), nullptr);
  // The link is mounted as a directory, but the folder it leads back to is not walked again.
  EXPECT_NE(fs.FindDirectory("a/b/back"), nullptr);
  EXPECT_EQ(fs.FindEntry("a/b/back/b"), nullptr);
  EXPECT_EQ(fs.FindEntry("a/dangling"), nullptr);
}

TEST_F(FileSystemScan, ArchiveLandsAtTheRootNotUnderTheMountPoint) {
  auto loader = std::make_unique<TPackLoader>(&fs);
  TPackLoader* pack = loader.get();
  fs.RegisterLoader(std::move(loader));
  fs.RegisterLoader(std::make_unique<TPackLoader>(&fs));  // same signature: ignored
  EXPECT_EQ(fs.Loaders().size(), 1u);

  dir.Write("one.pak", "PACKinner.quv");
  dir.Write("declined.pak", "PACK!");
  dir.Write("plain.txt", "text");
  fs.AddSearchPath("mount", dir.Path(), 0, Masks("*", 3, true));
  fs.Rescan();
  EXPECT_EQ(pack->PositionAtLoad, 0);
  TFileEntry* inner = fs.FindFile("pack/inner.quv");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(inner->Priority, 3);
  EXPECT_EQ(fs.FindEntry("mount/pack"), nullptr);
  EXPECT_EQ(fs.FindFile("mount/one.pak"), nullptr);       // taken by the loader
  EXPECT_NE(fs.FindFile("mount/declined.pak"), nullptr);  // declined: a plain file
  EXPECT_NE(fs.FindFile("mount/plain.txt"), nullptr);
  auto reader = fs.OpenFile("pack/inner.quv");
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->GetSize(), 13);

  TFileSystem noArchives;
  noArchives.RegisterLoader(std::make_unique<TPackLoader>(&noArchives));
  noArchives.AddSearchPath("", dir.Path(), 0, Masks("*.pak", 0, false));
  noArchives.Rescan();
  EXPECT_NE(noArchives.FindFile("one.pak"), nullptr);
  EXPECT_EQ(noArchives.FindEntry("pack"), nullptr);
}

TEST_F(FileSystemScan, FileShorterThanASignatureFailsTheRescan) {
  fs.RegisterLoader(std::make_unique<TPackLoader>(&fs));
  dir.Write("abc", "abc");
  fs.AddSearchPath("", dir.Path(), 0, Masks("*", 0, true));
  try {
    fs.Rescan();
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
}

TEST_F(FileSystemScan, MacrosScanTheCurrentFolderAndEveryOpticalDrive) {
  MakeDir("sub");
  dir.Write("sub/here.txt", "1");
  MakeDir("cd");
  dir.Write("cd/disc.txt", "1");
  const std::string previous = std::filesystem::current_path();
  auto drives = Platform().CDDriveList;
  Platform().CDDriveList = [this] { return std::vector<std::string>{dir.File("cd")}; };
  std::filesystem::current_path(dir.Path());
  fs.Initialize();
  fs.AddSearchPath("", "<Root>/sub", sdCheckUsable, Masks("*"));
  fs.AddSearchPath("", "<CD_DIRS>", 0, Masks("*.txt"));
  fs.Rescan();
  std::filesystem::current_path(previous);
  Platform().CDDriveList = drives;
  EXPECT_NE(fs.FindFile("here.txt"), nullptr);
  EXPECT_NE(fs.FindFile("disc.txt"), nullptr);
  EXPECT_EQ(fs.ScanDirs().size(), 3u);
  fs.Finalize();
  EXPECT_EQ(fs.Root(), nullptr);
  EXPECT_TRUE(fs.Loaders().empty());
}

TEST_F(FileSystemScan, FileNameMaskMountsNamesHoldingMaskCharacters) {
  dir.Write("tank[1].quv", "x");
  dir.Write("star*.quv", "y");
  dir.Write("tank1.quv", "z");
  EXPECT_EQ(FileNameMask("tank[1].quv"), "tank?1?.quv");
  fs.AddSearchPath("", dir.Path(), sdCheckUsable, {{FileNameMask("tank[1].quv"), 1, false}});
  fs.AddSearchPath("", dir.Path(), sdCheckUsable, {{FileNameMask("star*.quv"), 1, false}});
  fs.Rescan(true);
  EXPECT_NE(fs.FindFile("tank[1].quv"), nullptr);
  EXPECT_NE(fs.FindFile("star*.quv"), nullptr);
  EXPECT_EQ(fs.FindFile("tank1.quv"), nullptr);
}

TEST_F(FileSystemScan, MountArchiveSaysWhatBecameOfTheFile) {
  fs.RegisterLoader(std::make_unique<TPackLoader>(&fs));
  const auto mount = [this](const std::string& name) { return fs.MountArchive(dir.File(name), 1); };
  dir.Write("one.pak", "PACKinner.quv");
  EXPECT_EQ(mount("one.pak").Kind, TArchiveAnswer::akLoaded);
  EXPECT_NE(fs.FindFile("pack/inner.quv"), nullptr);
  EXPECT_EQ(fs.FindFile("one.pak"), nullptr);

  dir.Write("other.bin", "ZIP!data");
  const TArchiveAnswer other = mount("other.bin");
  EXPECT_EQ(other.Kind, TArchiveAnswer::akNotMine);
  EXPECT_EQ(other.Reason, "no archive signature known here");
  EXPECT_NE(fs.FindFile("other.bin"), nullptr);  // a plain file of its folder

  dir.Write("declined.pak", "PACK!");
  EXPECT_EQ(mount("declined.pak").Kind, TArchiveAnswer::akNothingNew);
  EXPECT_NE(fs.FindFile("declined.pak"), nullptr);

  EXPECT_EQ(mount("absent.pak").Kind, TArchiveAnswer::akMissing);
  // The rule of the scan holds here too: a file shorter than a signature fails it.
  dir.Write("abc", "abc");
  EXPECT_THROW(mount("abc"), EReadError);
  // Each mount forgets its scan: the short file's mask does not fail the next one.
  EXPECT_TRUE(fs.ScanDirs().empty());
  dir.Write("two.pak", "PACKsecond.quv");
  EXPECT_EQ(mount("two.pak").Kind, TArchiveAnswer::akLoaded);
}

TEST_F(FileSystemScan, ShortFilesArePlainWhereTheScanAsksForIt) {
  fs.RegisterLoader(std::make_unique<TPackLoader>(&fs));
  dir.Write("abc", "abc");
  dir.Write("empty", "");
  dir.Write("one.pak", "PACKinner.quv");
  fs.AddSearchPath("", dir.Path(), sdShortFilesArePlain, Masks("*", 0, true));
  fs.Rescan();
  EXPECT_NE(fs.FindFile("abc"), nullptr);
  EXPECT_NE(fs.FindFile("empty"), nullptr);
  EXPECT_NE(fs.FindFile("pack/inner.quv"), nullptr);
  EXPECT_EQ(fs.FindFile("one.pak"), nullptr);

  // Offered directly, a short file is refused with the loader's reason, not an error.
  auto reader = std::make_shared<TSystemFileReader>(dir.File("abc"), 1);
  reader->Open(fmRead);
  const TArchiveAnswer answer = fs.OfferArchive(reader, dir.File("abc"), 0);
  EXPECT_EQ(answer.Kind, TArchiveAnswer::akNotMine);
  EXPECT_EQ(answer.Reason, "too short for an archive signature");
  EXPECT_EQ(reader->GetPosition(), 0);
  TFileSystem bare;
  EXPECT_EQ(bare.OfferArchive(reader, "abc", 0).Reason, "no archive loader is registered");
}
