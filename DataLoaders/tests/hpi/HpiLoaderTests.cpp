// Mounting archives into a file system: the header, the directory walk, priorities, and how
// damaged archives fail.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "HpiTestSupport.h"
#include "MemoryFileReaderU.h"
#include "QuvManagerU.h"
#include "QuvSamplesU.h"

using namespace hpitest;

namespace {

class HpiLoader : public HpiTest {
 protected:
  // Mounts and expects the load to fail with an error of type E carrying text.
  template <class E>
  void ExpectMountError(const std::vector<uint8_t>& archive, const std::string& text) {
    auto fs = MakeFileSystem();
    const std::string path = WriteBytes("bad.hpi", archive);
    try {
      Mount(*fs, path);
      FAIL() << "mounted: " << text;
    } catch (const E& e) {
      if (!text.empty()) {
        EXPECT_EQ(std::string(e.what()), text);
      }
    }
  }

  std::vector<std::string> List(TFileSystem& fs, TDirEntry* dir, const std::string& prefix = "") {
    std::vector<std::string> out;
    TFindData data;
    for (TFindHandleRef h = fs.FindFirst(faFiles | faDirectories, dir, "*", data);
         h && !data.Name.empty();) {
      const std::string path = prefix + data.Name;
      out.push_back(path + (data.Kind == fkDirectory ? "/" : ""));
      if (data.Kind == fkDirectory) {
        for (const auto& child : List(fs, data.Dir, path + "/")) out.push_back(child);
      }
      if (!h->FindNext(data)) break;
    }
    return out;
  }
};

const std::vector<THpiFileOptions> AllVariants = {
    {0, {}, false},
    {1, {THpiChunkKind::Stored}, false},
    {1, {THpiChunkKind::LZ77}, false},
    {2, {THpiChunkKind::ZLib}, false},
    {1, {THpiChunkKind::LZ77}, true},
    {2, {THpiChunkKind::ZLib}, true},
    {1, {THpiChunkKind::Stored}, true},
    {1, {THpiChunkKind::Plain}, false},
    {2,
     {THpiChunkKind::Plain, THpiChunkKind::ZLib, THpiChunkKind::LZ77, THpiChunkKind::Stored},
     true},
};

}  // namespace

TEST_F(HpiLoader, EveryStorageVariantRoundTripsUnderEveryKind) {
  for (uint32_t headerKey : {0u, 0x7du, 0x40000000u, 0xffffffffu}) {
    for (bool dataFirst : {false, true}) {
      THpiBuilder builder;
      builder.HeaderKey = headerKey;
      builder.DataBeforeDirectory = dataFirst;
      for (size_t v = 0; v < AllVariants.size(); ++v)
        for (size_t size : {size_t(0), size_t(1), size_t(65536), size_t(65537)})
          builder.AddFile("v" + std::to_string(v) + "/deep/f" + std::to_string(size),
                          Pattern(size, uint32_t(v * 7 + size)), AllVariants[v]);
      const std::vector<uint8_t> archive = builder.Build();
      auto fs = MakeFileSystem();
      Mount(*fs, WriteBytes("all.hpi", archive));
      for (size_t v = 0; v < AllVariants.size(); ++v)
        for (size_t size : {size_t(0), size_t(1), size_t(65536), size_t(65537)}) {
          const std::string inner = "v" + std::to_string(v) + "\\deep\\f" + std::to_string(size);
          EXPECT_EQ(ReadFile(*fs, inner), Pattern(size, uint32_t(v * 7 + size)))
              << inner << " key " << headerKey << " dataFirst " << dataFirst;
          EXPECT_EQ(fs->FindFile(inner)->Size, int64_t(size));
        }
    }
  }
}

TEST_F(HpiLoader, TreeHoldsEveryDirectoryAndFile) {
  THpiBuilder builder;
  builder.HeaderKey = 0xabcdef01;
  builder.AddFile("anims/units/a.quv", Pattern(10));
  builder.AddFile("anims/b.quv", Pattern(20), THpiFileOptions{0, {}, false});
  builder.AddFile("x", Pattern(3));  // one-character name
  builder.AddDirectory("empty");
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("tree.hpi", builder.Build()));
  std::vector<std::string> listed = List(*fs, fs->GetRoot());
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{"anims/", "anims/b.quv", "anims/units/",
                                              "anims/units/a.quv", "empty/", "x"}));
  EXPECT_EQ(fs->FindFile("ANIMS\\UNITS\\A.QUV")->Size, 10);
}

TEST_F(HpiLoader, ArchiveWithoutFilesAnswersFalseAndIsAlsoMountedAsAPlainFile) {
  THpiBuilder builder;
  builder.AddDirectory("only/dirs");
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("nofiles.hpi", builder.Build()));
  EXPECT_TRUE(fs->FindDirectory("only\\dirs"));
  EXPECT_TRUE(fs->FindFile("nofiles.hpi"));
  // Called directly, the loader says it inserted nothing.
  auto reader = std::make_shared<TSystemFileReader>((Dir / "nofiles.hpi").string());
  reader->Open(fmRead);
  THpiLoader loader(fs.get());
  EXPECT_FALSE(loader.Load(reader, "nofiles.hpi", 0));
  EXPECT_TRUE(loader.Imp->FileName.empty());
  EXPECT_FALSE(loader.Imp->Reader);
}

TEST_F(HpiLoader, ShadowedArchiveAnswersFalseAndIsMountedAsAPlainFile) {
  THpiBuilder first;
  first.AddFile("dir/f.bin", Pattern(10, 1));
  THpiBuilder second;
  second.AddFile("dir/f.bin", Pattern(10, 2));
  second.AddFile("dir/g.bin", Pattern(10, 3));
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("a.hpi", first.Build()), 5);
  Mount(*fs, WriteBytes("b.hpi", second.Build()), 5);
  // b.hpi still inserted g.bin: it is an archive, not a plain file.
  EXPECT_FALSE(fs->FindFile("b.hpi"));
  EXPECT_EQ(ReadFile(*fs, "dir\\f.bin"), Pattern(10, 1));
  EXPECT_EQ(ReadFile(*fs, "dir\\g.bin"), Pattern(10, 3));
  Mount(*fs, WriteBytes("c.hpi", first.Build()), 5);
  EXPECT_TRUE(fs->FindFile("c.hpi"));
  EXPECT_EQ(ReadFile(*fs, "dir\\f.bin"), Pattern(10, 1));
}

TEST_F(HpiLoader, HigherPriorityArchiveWinsAndEqualPriorityKeepsTheFirst) {
  THpiBuilder low;
  low.AddFile("f.bin", Pattern(10, 1));
  THpiBuilder high;
  high.AddFile("f.bin", Pattern(10, 2));
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("low.hpi", low.Build()), 1);
  Mount(*fs, WriteBytes("high.hpi", high.Build()), 2);
  EXPECT_EQ(ReadFile(*fs, "f.bin"), Pattern(10, 2));
  auto fs2 = MakeFileSystem();
  Mount(*fs2, WriteBytes("high2.hpi", high.Build()), 2);
  Mount(*fs2, WriteBytes("low2.hpi", low.Build()), 1);
  EXPECT_EQ(ReadFile(*fs2, "f.bin"), Pattern(10, 2));
}

TEST_F(HpiLoader, SameDirectoryInTwoArchivesIsOneNodeHoldingBoth) {
  THpiBuilder a;
  a.AddFile("units/a.bin", Pattern(5, 1));
  THpiBuilder b;
  b.AddFile("UNITS/b.bin", Pattern(5, 2));
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("a.hpi", a.Build()));
  Mount(*fs, WriteBytes("b.hpi", b.Build()));
  TDirEntry* units = fs->FindDirectory("units");
  ASSERT_TRUE(units);
  EXPECT_EQ(units->ChildCount(), 2);
  EXPECT_EQ(ReadFile(*fs, "units\\b.bin"), Pattern(5, 2));
}

TEST_F(HpiLoader, OtherVersionIsMountedAsAPlainFile) {
  THpiBuilder builder;
  builder.Version = 0x00020000;
  builder.AddFile("f.bin", Pattern(5));
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("v2.hpi", builder.Build()));
  EXPECT_TRUE(fs->FindFile("v2.hpi"));
  EXPECT_FALSE(fs->FindFile("f.bin"));
}

TEST_F(HpiLoader, BidNamesWhatItRecognisedAndATruncatedArchiveIsStillHpi) {
  THpiBuilder builder;
  builder.AddFile("f.bin", Pattern(5));
  const std::vector<uint8_t> good = builder.Build();
  auto fs = MakeFileSystem();
  const TLibLoader& hpi = *fs->Loaders().front();
  const auto bid = [&hpi](std::vector<uint8_t> bytes) {
    TMemoryFileReader reader(std::move(bytes));
    reader.Open(fmRead);
    return hpi.Bid(reader);
  };
  EXPECT_TRUE(bid(good).Mine());
  EXPECT_EQ(bid({'H', 'A', 'P'}).Verdict, TLoaderBid::bdTooShort);
  EXPECT_EQ(bid({'P', 'K', 3, 4, 0, 0, 1, 0}).Verdict, TLoaderBid::bdOtherSignature);
  std::vector<uint8_t> other = good;
  SetU32(other, 4, 0x00020000);
  const TLoaderBid version = bid(other);
  EXPECT_EQ(version.Verdict, TLoaderBid::bdOtherVersion);
  EXPECT_EQ(version.Reason, "HPI archive of version 0x00020000; only 0x00010000 is read");
  // Cut before its version: an HPI archive, and a broken one.
  EXPECT_TRUE(bid({'H', 'A', 'P', 'I', 0}).Mine());
  ExpectMountError<EReadError>({'H', 'A', 'P', 'I', 0}, "Stream read error");

  // Mounted, the version's reason is what the file system answers.
  const TArchiveAnswer answer = Mount(*fs, WriteBytes("v2.hpi", other));
  EXPECT_EQ(answer.Kind, TArchiveAnswer::akNotMine);
  EXPECT_EQ(answer.Reason, version.Reason);
  RegisterArchiveLoaders(*fs);  // every signature taken: nothing added
  EXPECT_EQ(fs->Loaders().size(), 1u);
}

TEST_F(HpiLoader, ArchiveSniffTakesEveryHpiSignatureWhateverTheNameOrVersion) {
  THpiBuilder builder;
  builder.AddFile("f.bin", Pattern(5));
  std::vector<uint8_t> good = builder.Build();
  std::vector<uint8_t> otherVersion = good;
  SetU32(otherVersion, 4, 0x00020000);
  EXPECT_TRUE(IsArchiveFile(WriteBytes("named.quv", good)));
  // Another version is an archive too: mounting it says why it cannot be read.
  EXPECT_TRUE(IsArchiveFile(WriteBytes("v2.hpi", otherVersion)));
  EXPECT_TRUE(IsArchiveFile(WriteBytes("cut.hpi", {'H', 'A', 'P', 'I', 0})));
  EXPECT_FALSE(IsArchiveFile(WriteBytes("short.hpi", {'H', 'A', 'P'})));
  EXPECT_FALSE(IsArchiveFile(WriteBytes("zip.hpi", {'P', 'K', 3, 4, 0, 0, 1, 0})));
  EXPECT_FALSE(IsArchiveFile((Dir / "missing.hpi").string()));
  EXPECT_FALSE(IsArchiveFile(Dir.string()));
  // A fifo with no writer answers at once instead of waiting for one.
  const std::string fifo = (Dir / "fifo.hpi").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(IsArchiveFile(fifo));
}

TEST_F(HpiLoader, SecondLoaderForTheSameSignatureIsIgnored) {
  auto fs = MakeFileSystem();
  const TLibLoader* first = fs->Loaders().front().get();
  fs->RegisterLoader(std::make_unique<THpiLoader>(fs.get()));
  ASSERT_EQ(fs->Loaders().size(), 1u);
  EXPECT_EQ(fs->Loaders().front().get(), first);
}

TEST_F(HpiLoader, EntryOfUnknownKindIsSkippedSilently) {
  THpiBuilder builder;
  builder.AddFile("a.bin", Pattern(5));
  builder.AddFile("b.bin", Pattern(5));
  THpiLayout layout;
  std::vector<uint8_t> archive = builder.Build(&layout);
  archive[layout.Entries["a.bin"] + 8] = 2;
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("kind.hpi", archive));
  EXPECT_FALSE(fs->FindEntry("a.bin"));
  EXPECT_TRUE(fs->FindFile("b.bin"));
}

TEST_F(HpiLoader, EmptyEntryNameEndsTheLoad) {
  THpiBuilder builder;
  builder.AddFile("a.bin", Pattern(5));
  THpiLayout layout;
  std::vector<uint8_t> archive = builder.Build(&layout);
  archive[GetU32(archive, layout.Entries["a.bin"])] = 0;
  const std::string path = (Dir / "bad.hpi").string();
  ExpectMountError<EZetaHpiLoadError>(archive, "Corrupted Entry in the Zeta hpi file:\"" + path +
                                                   "\".\n Entry does not have a name");
}

TEST_F(HpiLoader, DamagedHeaderOrDirectoryRangeIsReportedAsADirectoryReadError) {
  const std::string message = "Error reading and decrypting Zeta Hpi central directory";
  THpiBuilder builder;
  builder.AddFile("a.bin", Pattern(5));
  const std::vector<uint8_t> good = builder.Build();
  std::vector<uint8_t> archive = good;
  SetU32(archive, 8, 0xfffffff0u);  // DirectorySize far past the file: refused, not allocated
  ExpectMountError<EZetaHpiLoadError>(archive, message);
  archive = good;
  SetU32(archive, 8, uint32_t(archive.size() + 1));
  ExpectMountError<EZetaHpiLoadError>(archive, message);
  archive = good;
  SetU32(archive, 16, GetU32(archive, 8));  // DirectoryStart not below DirectorySize
  ExpectMountError<EZetaHpiLoadError>(archive, message);
  EXPECT_EQ(Log.LastMessage(), message);
  // Too short for its header.
  ExpectMountError<EReadError>(std::vector<uint8_t>(good.begin(), good.begin() + 12),
                               "Stream read error");
}

TEST_F(HpiLoader, OffsetsOutsideTheDirectoryAreRangeErrors) {
  THpiBuilder builder;
  builder.AddFile("d/a.bin", Pattern(5));
  THpiLayout layout;
  const std::vector<uint8_t> good = builder.Build(&layout);
  std::vector<uint8_t> archive = good;
  SetU32(archive, layout.Entries["d/a.bin"], layout.DirectorySize);  // name offset
  ExpectMountError<ERangeError>(archive, "");
  archive[layout.DirectorySize - 1] = 'x';  // a name that never ends
  SetU32(archive, layout.Entries["d/a.bin"], layout.DirectorySize - 1);
  ExpectMountError<ERangeError>(archive, "");
  archive = good;
  SetU32(archive, layout.Entries["d/a.bin"] + 4, layout.DirectorySize - 4);  // file record
  ExpectMountError<ERangeError>(archive, "");
  archive = good;
  SetU32(archive, layout.DirRecords["d"], 0x20000000);  // entry count
  ExpectMountError<ERangeError>(archive, "");
  archive = good;
  SetU32(archive, layout.Entries["d"] + 4, 0xffffffffu);  // sub-directory record
  ExpectMountError<ERangeError>(archive, "");
}

TEST_F(HpiLoader, BadFileRecordsFailTheLoadOrDropTheEntry) {
  THpiBuilder builder;
  builder.AddFile("a.bin", Pattern(5));
  builder.AddFile("b.bin", Pattern(5));
  THpiLayout layout;
  const std::vector<uint8_t> good = builder.Build(&layout);
  std::vector<uint8_t> archive = good;
  archive[layout.FileRecords["a.bin"] + 8] = 3;
  ExpectMountError<EZetaHpiLoadError>(archive, "Unkown HPI compression type");
  archive = good;
  SetU32(archive, layout.FileRecords["a.bin"] + 4, 0x80000000u);
  ExpectMountError<ERangeError>(archive, "");
  // A chunk table that the archive cannot hold: this entry is dropped, the rest loads.
  archive = good;
  SetU32(archive, layout.FileRecords["a.bin"] + 4, 0x7fffffffu);
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("table.hpi", archive));
  EXPECT_FALSE(fs->FindFile("a.bin"));
  EXPECT_TRUE(fs->FindFile("b.bin"));
  bool logged = false;
  while (TComment* c = Log.Comments->Pop()) {
    logged |= c->Text == "HPI file entry \"a.bin\" is corrupt" && c->Level == 8;
    delete c;
  }
  EXPECT_TRUE(logged);
}

TEST_F(HpiLoader, DirectoryThatContainsItselfFailsTheLoad) {
  THpiBuilder builder;
  builder.AddFile("d/e/a.bin", Pattern(5));
  THpiLayout layout;
  std::vector<uint8_t> archive = builder.Build(&layout);
  SetU32(archive, layout.Entries["d/e"] + 4, layout.DirRecords["d"]);
  const std::string path = (Dir / "bad.hpi").string();
  ExpectMountError<EZetaHpiLoadError>(
      archive, "Corrupted Zeta hpi file:\"" + path + "\".\n Directory record at " +
                   std::to_string(layout.DirRecords["d"]) + " is reached twice");
}

TEST_F(HpiLoader, NestingWithoutEndFailsTheLoad) {
  THpiBuilder builder;
  std::string path = "d";
  for (int i = 0; i < 300; ++i) path += "/d";
  builder.AddFile(path + "/a.bin", Pattern(5));
  ExpectMountError<EZetaHpiLoadError>(builder.Build(), "");
  EXPECT_NE(Log.LastMessage().find("nest deeper than 256"), std::string::npos);
  // A shallower tree of the same kind loads.
  THpiBuilder shallow;
  shallow.AddFile(path.substr(0, 2 * 200) + "/a.bin", Pattern(5));
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("ok.hpi", shallow.Build()));
  EXPECT_TRUE(fs->FindFile(ToTreePath(path.substr(0, 2 * 200) + "/a.bin")));
}

TEST_F(HpiLoader, EntryListsSharedBetweenDirectoriesFailTheLoad) {
  // Records sharing one entry list would multiply the work of the walk with every sharer.
  THpiBuilder builder;
  builder.AddFile("a/x.bin", Pattern(5));
  builder.AddFile("b/y.bin", Pattern(5));
  THpiLayout layout;
  std::vector<uint8_t> archive = builder.Build(&layout);
  SetU32(archive, layout.DirRecords["b"] + 4, GetU32(archive, layout.DirRecords["a"] + 4));
  const std::string path = (Dir / "bad.hpi").string();
  ExpectMountError<EZetaHpiLoadError>(
      archive, "Corrupted Zeta hpi file:\"" + path + "\".\n Entry at " +
                   std::to_string(layout.Entries["a/x.bin"]) + " is reached twice");
}

TEST_F(HpiLoader, LoaderWithoutFileSystemReportsTheMissingRoot) {
  THpiBuilder builder;
  builder.AddFile("a.bin", Pattern(5));
  auto reader = std::make_shared<TSystemFileReader>(WriteBytes("a.hpi", builder.Build()));
  reader->Open(fmRead);
  auto fs = MakeFileSystem();
  THpiLoader loader(fs.get());
  loader.FileSystem = nullptr;
  reader->SetPosition(8);
  try {
    loader.Imp->Load(reader, "a.hpi", 0);
    FAIL();
  } catch (const EZetaHpiLoadError& e) {
    EXPECT_STREQ(e.what(), "File tree root node is nil");
  }
  EXPECT_FALSE(loader.Imp->Reader);
  EXPECT_THROW(THpiLoader(nullptr), ELibLoaderError);
}

TEST_F(HpiLoader, StoredFileWhoseBytesLieOutsideTheArchiveIsDropped) {
  THpiBuilder builder;
  builder.AddFile("a.bin", Pattern(5), THpiFileOptions{0, {}, false});
  builder.AddFile("b.bin", Pattern(5), THpiFileOptions{0, {}, false});
  THpiLayout layout;
  std::vector<uint8_t> archive = builder.Build(&layout);
  SetU32(archive, layout.FileRecords["a.bin"] + 4, 0x7fff0000u);
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("stored.hpi", archive));
  EXPECT_FALSE(fs->FindFile("a.bin"));
  EXPECT_EQ(ReadFile(*fs, "b.bin"), Pattern(5));
  EXPECT_EQ(Log.LastMessage(), "HPI file entry \"a.bin\" is corrupt");
}

TEST_F(HpiLoader, DecodedSizeIsWhatTheChunksHoldNotTheRecordedSize) {
  THpiBuilder builder;
  builder.AddFile("a.bin", Pattern(10), THpiFileOptions{1, {THpiChunkKind::LZ77}, false});
  THpiLayout layout;
  std::vector<uint8_t> archive = builder.Build(&layout);
  SetU32(archive, layout.FileRecords["a.bin"] + 4, 60000);  // still one chunk
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("size.hpi", archive));
  EXPECT_EQ(fs->FindFile("a.bin")->Size, 60000);
  EXPECT_EQ(ReadFile(*fs, "a.bin"), Pattern(10));
}

TEST_F(HpiLoader, QuvFileInsideAnArchiveLoadsInEveryStorageForm) {
  const std::vector<uint8_t> quv = MakeSampleQuv();
  THpiBuilder builder;
  builder.HeaderKey = 0x2f6b3c1d;
  for (size_t v = 0; v < AllVariants.size(); ++v)
    builder.AddFile("anims/units/v" + std::to_string(v) + ".quv", quv, AllVariants[v]);
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("quv.hpi", builder.Build()));
  {
    TQuvManager manager;
    manager.FileSystem = fs.get();
    manager.Initialize();
    for (size_t v = 0; v < AllVariants.size(); ++v) {
      TImageClass* images = manager.GetClass("anims\\units\\v" + std::to_string(v) + ".quv");
      ASSERT_TRUE(images) << v;
      EXPECT_EQ(images->ImageCount, int32_t(SampleSprites().size())) << v;
    }
  }
}
