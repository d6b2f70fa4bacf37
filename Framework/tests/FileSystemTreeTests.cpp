// The tree of the virtual file system: adding nodes, priorities, lookups, searches and the
// lifetime of the readers handed out.
#include <gtest/gtest.h>

#include <clocale>

#include "CoreTestSupport.h"
#include "FileSystemU.h"
#include "LowLevelIO.h"
#include "StringUtilsU.h"

namespace {

std::unique_ptr<TFileEntry> MakeFile(const std::string& name, int32_t priority,
                                     IFileReaderRef reader = nullptr) {
  auto node = std::make_unique<TFileEntry>(name);
  node->Priority = priority;
  node->Reader = std::move(reader);
  return node;
}

// Records assertion reports instead of printing them.
class TAssertionRecorder {
 public:
  TAssertionRecorder() : FPrevious(Platform().AssertionHandler) {
    Platform().AssertionHandler = [this](bool condition, const std::string& message,
                                         const TSourceLocation&) {
      if (!condition) Messages.push_back(message);
    };
  }
  ~TAssertionRecorder() { Platform().AssertionHandler = FPrevious; }
  std::vector<std::string> Messages;

 private:
  decltype(TPlatformTable::AssertionHandler) FPrevious;
};

std::vector<std::string> ListNames(TFileSystem& fs, uint8_t attributes, const std::string& dir,
                                   const std::string& mask) {
  std::vector<std::string> names;
  TFindData data;
  auto handle = fs.FindFirst(attributes, dir, mask, data);
  if (!handle) return names;
  do {
    names.push_back((data.Kind == fkDirectory ? "d:" : "f:") + data.Name);
  } while (handle->FindNext(data));
  return names;
}

}  // namespace

TEST(FileSystemTree, EqualPriorityKeepsFirstHigherReplacesLowerIsDropped) {
  TFileSystem fs;
  TDirEntry* root = fs.GetRoot();
  auto first = MakeFile("unit.quv", 5);
  TFileEntry* kept = fs.AddFile(first, root);
  ASSERT_NE(kept, nullptr);

  auto same = MakeFile("UNIT.QUV", 5);
  EXPECT_EQ(fs.AddFile(same, root), kept);
  EXPECT_EQ(same, nullptr);  // freed

  auto lower = MakeFile("Unit.Quv", 1);
  EXPECT_EQ(fs.AddFile(lower, root), kept);
  EXPECT_EQ(lower, nullptr);

  auto higher = MakeFile("unit.QUV", 9);
  TFileEntry* winner = fs.AddFile(higher, root);
  ASSERT_NE(winner, kept);
  EXPECT_EQ(fs.FindFile("unit.quv"), winner);
  EXPECT_EQ(winner->ReplacedEntry, kept);
  EXPECT_EQ(kept->ReplacedBy, winner);
  EXPECT_EQ(root->ChildCount(), 1);  // the replaced node keeps no place in the index
  EXPECT_EQ(root->Files.size(), 2u);
}

TEST(FileSystemTree, HiddenCopiesAreKeptInRankOrderAndStepUpWhenTheStandingOneGoes) {
  TFileSystem fs;
  fs.KeepHiddenCopies = true;
  TDirEntry* root = fs.GetRoot();
  auto base = MakeFile("unit.quv", 0);
  TFileEntry* first = fs.AddFile(base, root);
  auto same = MakeFile("UNIT.QUV", 0);  // equal priority, met later: below the first
  TFileEntry* second = same.get();
  EXPECT_EQ(fs.AddFile(same, root), first);
  EXPECT_EQ(same, nullptr);
  auto low = MakeFile("unit.quv", -1);
  TFileEntry* lowest = low.get();
  EXPECT_EQ(fs.AddFile(low, root), first);
  auto high = MakeFile("unit.quv", 3);  // replaces the standing one
  TFileEntry* top = fs.AddFile(high, root);

  std::vector<TFileEntry*> chain;
  for (TFileEntry* node = top; node; node = node->ReplacedEntry) chain.push_back(node);
  EXPECT_EQ(chain, (std::vector<TFileEntry*>{top, first, second, lowest}));
  EXPECT_EQ(fs.FindFile("unit.quv"), top);
  EXPECT_EQ(ListNames(fs, faFiles, "", "*"), std::vector<std::string>{"f:unit.quv"});

  root->FreeFile(top);
  EXPECT_EQ(fs.FindFile("UNIT.quv"), first);
  root->FreeFile(first);
  EXPECT_EQ(fs.FindFile("unit.quv"), second);
  EXPECT_EQ(second->ReplacedEntry, lowest);
  EXPECT_EQ(lowest->ReplacedBy, second);
}

TEST(FileSystemTree, LookupIgnoresCaseAndAcceptsEitherSeparator) {
  TFileSystem fs;
  TDirEntry* art = fs.ForceDirectory("Game/Art");
  auto node = MakeFile("palette.pal", 0);
  TFileEntry* palette = fs.AddFile(node, art);
  EXPECT_EQ(fs.FindFile("GAME\\ART\\PALETTE.PAL"), palette);
  EXPECT_EQ(fs.FindFile("/game/art/Palette.Pal"), palette);
  EXPECT_EQ(fs.FindEntry("game\\art"), art);
  EXPECT_EQ(fs.FindDirectory("game/art/"), art);
  EXPECT_EQ(fs.FindFile("game/art"), nullptr);  // a directory is not a file
  EXPECT_EQ(fs.FindDirectory("game/art/palette.pal"), nullptr);
  EXPECT_EQ(fs.FindFile("game/palette.pal"), nullptr);
  EXPECT_EQ(fs.FindFile("palette.pal", art), palette);  // relative to a start node
  EXPECT_EQ(palette->GetFullPath(), "Game\\Art\\palette.pal");
  EXPECT_EQ(fs.GetRoot()->GetFullPath(), "");
  EXPECT_EQ(fs.ForceDirectory("GAME\\art"), art);
}

TEST(FileSystemTree, NamesTheSortedListsCallEqualAreOneNameInTheTree) {
  // Under a locale that reads UTF-8, letters beyond a to z have cases too.
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  if (!std::setlocale(LC_ALL, "C.UTF-8")) GTEST_SKIP() << "no C.UTF-8 locale";
  TFileSystem fs;
  auto node = MakeFile("\xC3\xA9t\xC3\xA9.quv", 0);  // "été.quv"
  TFileEntry* file = fs.AddFile(node, fs.GetRoot());
  for (const std::string name : {"\xC3\x89T\xC3\x89.QUV", "\xC3\x89t\xC3\xA9.quv", "ÉTÉ.quv"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(AnsiCompareText(name, "\xC3\xA9t\xC3\xA9.quv"), 0);
    EXPECT_EQ(FoldCase(name), FoldCase("\xC3\xA9t\xC3\xA9.quv"));
    EXPECT_EQ(fs.FindFile(name), file);
  }
  EXPECT_EQ(fs.FindFile("ete.quv"), nullptr);
  EXPECT_NE(AnsiCompareText("ete.quv", "\xC3\xA9t\xC3\xA9.quv"), 0);
  // Text the locale cannot read folds a to z only, on both sides.
  EXPECT_EQ(FoldCase("a\xFF"), "A\xFF");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(FileSystemTree, FileClashingWithDirectoryIsLeftOut) {
  TFileSystem fs;
  TDirEntry* data = fs.AddDirectory("data", fs.GetRoot());
  EXPECT_EQ(fs.AddDirectory("DATA", fs.GetRoot()), data);
  EXPECT_EQ(fs.AddDirectory("", data), data);
  auto clash = MakeFile("Data", 99);
  EXPECT_EQ(fs.AddFile(clash, fs.GetRoot()), nullptr);
  EXPECT_NE(clash, nullptr);  // left to the caller
  EXPECT_EQ(fs.FindEntry("data"), data);
  auto nameless = MakeFile("", 0);
  EXPECT_EQ(fs.AddFile(nameless, data), nullptr);
  EXPECT_EQ(fs.AddFile(nameless, nullptr), nullptr);
}

TEST(FileSystemTree, FindFirstFiltersByKindAndMaskInSortedOrder) {
  TFileSystem fs;
  TDirEntry* root = fs.GetRoot();
  for (const char* name : {"b.quv", "A.pal", "c.QUV"}) {
    auto node = MakeFile(name, 0);
    node->Size = 7;
    fs.AddFile(node, root);
  }
  TDirEntry* sub = fs.ForceDirectory("quvdir/inner");
  fs.ForceDirectory("Maps");

  EXPECT_EQ(ListNames(fs, faFiles | faDirectories, "", "*"),
            (std::vector<std::string>{"f:A.pal", "f:b.quv", "f:c.QUV", "d:Maps", "d:quvdir"}));
  EXPECT_EQ(ListNames(fs, faFiles, "", "*.quv"), (std::vector<std::string>{"f:b.quv", "f:c.QUV"}));
  EXPECT_EQ(ListNames(fs, faDirectories, "", "*quv*"), (std::vector<std::string>{"d:quvdir"}));
  EXPECT_EQ(ListNames(fs, faFiles, "", ""),
            (std::vector<std::string>{"f:A.pal", "f:b.quv", "f:c.QUV"}));
  EXPECT_TRUE(ListNames(fs, faFiles, "quvdir/inner", "*").empty());
  EXPECT_TRUE(ListNames(fs, faFiles, "missing", "*").empty());

  TFindData data;
  auto handle = fs.FindFirst(faDirectories, "", "QUVDIR", data);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(data.Kind, fkDirectory);
  EXPECT_EQ(data.Size, 1);  // its child count
  EXPECT_EQ(data.Dir, sub->Parent);
  EXPECT_EQ(data.File, nullptr);
  EXPECT_FALSE(handle->FindNext(data));
  ASSERT_NE(fs.FindFirst(faFiles, root, "b*", data), nullptr);
  EXPECT_EQ(data.Size, 7);
  EXPECT_NE(data.File, nullptr);
  EXPECT_THROW(fs.FindFirst(faFiles, root, "[a", data), EMaskException);
}

TEST(FileSystemTree, OpenFileGivesIndependentReadersThatOutliveTheTree) {
  TTempDir dir;
  const std::string path = dir.Write("frames.quv", "0123456789");
  TFileSystem fs;
  auto node = MakeFile("frames.quv", 0, std::make_shared<TSystemFileReader>(path));
  TFileEntry* entry = fs.AddFile(node, fs.GetRoot());
  EXPECT_EQ(entry->Reader->GetEntry(), entry);  // the template is attached

  IFileReaderRef one = fs.OpenFile("FRAMES.QUV");
  IFileReaderRef two = fs.OpenFile("frames.quv");
  ASSERT_TRUE(one && two);
  EXPECT_NE(one, two);
  EXPECT_TRUE(one->IsOpen());
  EXPECT_FALSE(entry->Reader->IsOpen());
  char buffer[4] = {};
  one->ReadBuffer(buffer, 4);
  EXPECT_EQ(one->GetPosition(), 4);
  EXPECT_EQ(two->GetPosition(), 0);
  EXPECT_EQ(entry->Readers.size(), 3u);
  EXPECT_EQ(one->GetEntry(), entry);

  fs.Clear();  // frees the node while both readers live
  EXPECT_EQ(one->GetEntry(), nullptr);
  two->ReadBuffer(buffer, 2);
  EXPECT_EQ(std::string(buffer, 2), "01");
  EXPECT_EQ(fs.OpenFile("frames.quv"), nullptr);
}

TEST(FileSystemTree, NodeWithoutTemplateIsFreedWithItsLastReaderAndRestoresTheOneItReplaced) {
  TTempDir dir;
  const std::string path = dir.Write("a.txt", "abc");
  TFileSystem fs;
  auto older = MakeFile("a.txt", 0, std::make_shared<TSystemFileReader>(path));
  TFileEntry* kept = fs.AddFile(older, fs.GetRoot());
  auto newer = MakeFile("a.txt", 5);
  TFileEntry* transient = fs.AddFile(newer, fs.GetRoot());
  ASSERT_EQ(fs.FindFile("a.txt"), transient);

  auto reader = std::make_shared<TSystemFileReader>(path);
  reader->SetEntry(transient);
  reader->SetEntry(nullptr);  // last reader gone: the node goes too
  EXPECT_EQ(fs.FindFile("a.txt"), kept);
  EXPECT_EQ(kept->ReplacedBy, nullptr);
  EXPECT_EQ(fs.GetRoot()->Files.size(), 1u);
}

TEST(FileSystemTree, AssignClonesTheTemplateUnlessItIsTheSameFile) {
  TTempDir dir;
  TFileEntry source("x");
  source.Priority = 3;
  source.Size = 11;
  source.Reader = std::make_shared<TSystemFileReader>(dir.Write("x", "1"));
  TFileEntry target("y");
  target.Assign(source);
  EXPECT_EQ(target.Name, "x");
  EXPECT_EQ(target.Priority, 3);
  EXPECT_EQ(target.Size, 11);
  ASSERT_NE(target.Reader, nullptr);
  EXPECT_NE(target.Reader, source.Reader);
  EXPECT_EQ(target.Reader->GetEntry(), &target);
}

TEST(FileSystemTree, UnknownEntryKindAndLoaderWithoutFileSystemAreReported) {
  struct TOddEntry : TEntry {
    TOddEntry() : TEntry("odd", nullptr) {}
  };
  struct TNoLoader : TLibLoader {
    using TLibLoader::TLibLoader;
    uint32_t GetSignature() const override { return 1; }
    bool Load(IFileReaderRef, const std::string&, int32_t) override { return false; }
  };
  TAssertionRecorder recorder;
  TFileSystem fs;
  EXPECT_EQ(fs.GetRoot()->AddChild(std::make_unique<TOddEntry>()), nullptr);
  ASSERT_EQ(recorder.Messages.size(), 1u);
  EXPECT_EQ(recorder.Messages[0], "Attempting to add an unknown Entry type to file system");

  try {
    TNoLoader loader(nullptr, "TNoLoader");
    FAIL();
  } catch (const ELibLoaderError& e) {
    EXPECT_STREQ(e.what(),
                 "Library file loader \"TNoLoader\" was not passed a valid FileSystem object");
  }
  EXPECT_EQ(recorder.Messages.size(), 2u);
  TNoLoader loader(&fs);
  loader.FileSystem = nullptr;
  EXPECT_THROW(loader.GetRoot(), ELibLoaderError);
  EXPECT_EQ(recorder.Messages.size(), 3u);
}

TEST(FileSystemTree, VisitTreeWalksInListingOrderAndObeysTheVisitor) {
  TFileSystem fs;
  TDirEntry* root = fs.GetRoot();
  for (const char* path : {"b\\x.quv", "a\\deep\\y.quv", "a\\z.quv", "c.txt"}) {
    const std::string tree(path);
    TDirEntry* dir = fs.ForceDirectory(ExtractFileDir(tree));
    auto node = MakeFile(ExtractFileName(tree), 0);
    ASSERT_TRUE(fs.AddFile(node, dir ? dir : root));
  }
  const auto walk = [root](const std::function<TWalkStep(TEntry&)>& answer) {
    std::vector<std::string> seen;
    VisitTree(*root, [&](TEntry& node, const std::string& path) {
      seen.push_back(path + (node.IsDirectory() ? "/" : ""));
      return answer(node);
    });
    return seen;
  };
  EXPECT_EQ(walk([](TEntry&) { return TWalkStep::Continue; }),
            (std::vector<std::string>{"a/", "a/deep/", "a/deep/y.quv", "a/z.quv", "b/", "b/x.quv",
                                      "c.txt"}));
  EXPECT_EQ(walk([](TEntry& node) {
              return node.Name == "a" ? TWalkStep::SkipChildren : TWalkStep::Continue;
            }),
            (std::vector<std::string>{"a/", "b/", "b/x.quv", "c.txt"}));
  EXPECT_EQ(walk([](TEntry& node) {
              return node.Name == "z.quv" ? TWalkStep::Stop : TWalkStep::Continue;
            }),
            (std::vector<std::string>{"a/", "a/deep/", "a/deep/y.quv", "a/z.quv"}));
}

TEST(FileSystemTree, VisitTreeReachesTheBottomOfADeepTree) {
  TFileSystem fs;
  constexpr int Depth = 2000;
  std::string path;
  for (int i = 0; i < Depth; ++i) path += "d\\";
  TDirEntry* bottom = fs.ForceDirectory(path);
  ASSERT_TRUE(bottom);
  auto node = MakeFile("end.quv", 0);
  ASSERT_TRUE(fs.AddFile(node, bottom));
  int nodes = 0;
  std::string last;
  VisitTree(*fs.GetRoot(), [&](TEntry&, const std::string& at) {
    ++nodes;
    last = at;
    return TWalkStep::Continue;
  });
  EXPECT_EQ(nodes, Depth + 1);
  EXPECT_EQ(last.size(), size_t(Depth) * 2 + std::string("end.quv").size());
}
