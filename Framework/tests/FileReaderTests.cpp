#include <gtest/gtest.h>

#include "CoreTestSupport.h"
#include "FileReaderU.h"
#include "FileSystemU.h"
#include "LowLevelIO.h"

namespace {

// Counts the class hooks behind the counted Open/Close.
class TCountingReader : public TFileReader {
 public:
  ~TCountingReader() override { CloseOnDestroy(); }
  int64_t GetPosition() override { return 0; }
  void SetPosition(int64_t) override {}
  int64_t GetSize() override { return 0; }
  void SetSize(int64_t) override {}
  int64_t Read(void*, int64_t) override { return -1; }
  int64_t Write(const void*, int64_t) override { return -1; }
  int64_t Seek(int64_t, int) override { return -1; }
  IFileReaderRef Clone() override { return nullptr; }
  bool SameFile(IFileReader&) override { return false; }

  int Opens = 0, Closes = 0;
  bool FailOpen = false;
  int* ClosesAtDestruction = nullptr;

 protected:
  void DoOpen(uint8_t) override {
    if (FailOpen) throw EInOutError("refused");
    ++Opens;
  }
  void DoClose() override {
    ++Closes;
    if (ClosesAtDestruction) ++*ClosesAtDestruction;
  }
};

TEST(FileReader, CloseMoreOftenThanOpenClosesOnceAndStaysAtZero) {
  TCountingReader reader;
  reader.Open(fmRead);
  reader.Close();
  reader.Close();
  reader.Close();
  EXPECT_EQ(reader.OpenCount(), 0);
  EXPECT_EQ(reader.Closes, 1);
  EXPECT_FALSE(reader.IsOpen());
  reader.Open(fmRead);
  EXPECT_EQ(reader.Opens, 2) << "a count held at zero lets the next Open reopen";
}

TEST(FileReader, SecondOpenDoesNotReopenAndLastCloseCloses) {
  TCountingReader reader;
  reader.Open(fmRead);
  reader.Open(fmRead);
  EXPECT_EQ(reader.Opens, 1);
  reader.Close();
  EXPECT_TRUE(reader.IsOpen());
  EXPECT_EQ(reader.Closes, 0);
  reader.Close();
  EXPECT_EQ(reader.Closes, 1);
}

TEST(FileReader, OpenModeBecomesTheReadOnlyFlag) {
  TCountingReader reader;
  reader.Open(0);
  EXPECT_EQ(reader.GetReadOnly(), 0);
  reader.Close();
  reader.Open(fmRead);
  EXPECT_EQ(reader.GetReadOnly(), 1);
}

TEST(FileReader, FailedOpenLeavesTheReaderClosed) {
  TCountingReader reader;
  reader.FailOpen = true;
  EXPECT_THROW(reader.Open(fmRead), EInOutError);
  EXPECT_EQ(reader.OpenCount(), 0);
  reader.FailOpen = false;
  reader.Open(fmRead);
  EXPECT_EQ(reader.Opens, 1);
}

TEST(FileReader, DestroyingAnOpenReaderClosesItOnceAndDetaches) {
  TFileEntry node("palette.pal");
  int closes = 0;
  {
    TCountingReader reader;
    reader.ClosesAtDestruction = &closes;
    reader.SetEntry(&node);
    EXPECT_EQ(node.Readers.size(), 1u);
    reader.Open(fmRead);
    reader.Open(fmRead);
  }
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(node.Readers.empty());
}

TEST(FileReader, SetEntryMovesTheReaderBetweenNodes) {
  TFileEntry first("a"), second("b");
  TCountingReader reader;
  reader.SetEntry(&first);
  reader.SetEntry(&first);
  EXPECT_EQ(first.Readers.size(), 1u);
  reader.SetEntry(&second);
  EXPECT_TRUE(first.Readers.empty());
  ASSERT_EQ(second.Readers.size(), 1u);
  EXPECT_EQ(reader.GetEntry(), &second);
  reader.SetEntry(nullptr);
  EXPECT_TRUE(second.Readers.empty());
}

class SystemFileReader : public testing::Test {
 protected:
  void SetUp() override { path = dir.Write("data.bin", "0123456789"); }
  TTempDir dir;
  std::string path;
};

TEST_F(SystemFileReader, ClosedReaderAnswersZeroOrMinusOne) {
  TSystemFileReader reader(path);
  char c;
  EXPECT_EQ(reader.GetPosition(), 0);
  EXPECT_EQ(reader.GetSize(), 0);
  EXPECT_EQ(reader.Read(&c, 1), -1);
  EXPECT_EQ(reader.Write(&c, 1), -1);
  EXPECT_EQ(reader.Seek(0, soBeginning), -1);
  EXPECT_THROW(reader.ReadBuffer(&c, 1), EReadError);
}

TEST_F(SystemFileReader, ReadsTheDiskFileAndRefusesWrites) {
  TSystemFileReader reader(path);
  reader.Open(fmRead);
  EXPECT_EQ(reader.GetSize(), 10);
  reader.SetPosition(4);
  char buffer[3];
  reader.ReadBuffer(buffer, 3);
  EXPECT_EQ(std::string(buffer, 3), "456");
  EXPECT_EQ(reader.GetPosition(), 7);
  EXPECT_EQ(reader.Seek(-2, soEnd), 8);
  EXPECT_EQ(reader.Write("x", 1), -1);
  EXPECT_EQ(dir.Read("data.bin"), "0123456789");
}

TEST_F(SystemFileReader, HandleFlagsFollowTheReadOnlyFlagBeforeOpen) {
  TPlatformTable& platform = Platform();
  const auto savedOpen = platform.FileOpen;
  std::vector<int> flags;
  platform.FileOpen = [&](const std::string& file, uint8_t f) {
    flags.push_back(f);
    return savedOpen(file, f);
  };
  {
    TSystemFileReader readOnly(path, 1);
    readOnly.Open(0);
    TSystemFileReader writable(path, 0);
    writable.Open(fmRead);
    EXPECT_EQ(writable.Write("A", 1), -1) << "Open(1) made the reader read-only";
  }
  platform.FileOpen = savedOpen;
  EXPECT_EQ(flags, (std::vector<int>{66, 72}));
}

TEST_F(SystemFileReader, UnopenableFileGivesTheClearErrorAndStaysClosed) {
  TSystemFileReader reader(dir.File("gone.bin"));
  try {
    reader.Open(fmRead);
    FAIL();
  } catch (const EInOutError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Unable to open file \"" + dir.File("gone.bin") + "\":No such file or directory");
  }
  EXPECT_FALSE(reader.IsOpen());
}

TEST_F(SystemFileReader, CloneIsClosedWithItsOwnPosition) {
  TFileEntry node("data.bin");
  TSystemFileReader original(path);
  original.SetEntry(&node);
  original.Open(fmRead);
  original.SetPosition(6);
  IFileReaderRef clone = original.Clone();
  ASSERT_TRUE(clone);
  EXPECT_FALSE(clone->IsOpen());
  EXPECT_EQ(clone->GetEntry(), &node);
  EXPECT_EQ(clone->GetReadOnly(), 1);
  EXPECT_EQ(node.Readers.size(), 2u);
  clone->Open(fmRead);
  EXPECT_EQ(clone->GetPosition(), 0);
  char c;
  clone->ReadBuffer(&c, 1);
  EXPECT_EQ(c, '0');
  EXPECT_EQ(original.GetPosition(), 6);
  clone.reset();
  EXPECT_EQ(node.Readers.size(), 1u);
}

TEST_F(SystemFileReader, SameFileOnlyForWritableReadersOfOnePath) {
  TSystemFileReader a(path, 0), b(UpperCase(path), 0), readOnly(path, 1), other(path + "x", 0);
  TCountingReader foreign;
  EXPECT_TRUE(a.SameFile(b));
  EXPECT_FALSE(a.SameFile(readOnly));
  EXPECT_FALSE(readOnly.SameFile(a));
  EXPECT_FALSE(a.SameFile(other));
  EXPECT_FALSE(a.SameFile(foreign));
}

// A file handle that counts the reads reaching the file and the opens of the platform table.
class TCountingHandle : public IFileHandle {
 public:
  explicit TCountingHandle(IFileHandleRef inner, int& reads)
      : FInner(std::move(inner)), FReads(reads) {}
  int64_t Size() override { return FInner->Size(); }
  int64_t SetPosition(int64_t position) override { return FInner->SetPosition(position); }
  int64_t Seek(int64_t offset, int origin) override { return FInner->Seek(offset, origin); }
  int64_t Read(void* buffer, int64_t count) override {
    ++FReads;
    return FInner->Read(buffer, count);
  }
  int64_t Write(const void* buffer, int64_t count) override { return FInner->Write(buffer, count); }
  int64_t ReadAt(int64_t position, void* buffer, int64_t count) override {
    ++FReads;
    return FInner->ReadAt(position, buffer, count);
  }

 private:
  IFileHandleRef FInner;
  int& FReads;
};

// A file of size bytes in which byte i is i mod 251, and a platform table that counts.
class BufferedSystemFileReader : public testing::Test {
 protected:
  static constexpr int64_t Block = TSystemFileReader::ReadAheadSize;
  void SetUp() override {
    std::string bytes(size_t(3 * Block + 17), '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i % 251);
    path = dir.Write("big.bin", bytes);
    saved = Platform().FileOpen;
    Platform().FileOpen = [this](const std::string& file, uint8_t flags) -> IFileHandleRef {
      ++opens;
      return std::make_shared<TCountingHandle>(saved(file, flags), reads);
    };
  }
  void TearDown() override { Platform().FileOpen = saved; }
  static bool Matches(const std::vector<uint8_t>& bytes, int64_t from) {
    for (size_t i = 0; i < bytes.size(); ++i)
      if (bytes[i] != uint8_t((from + int64_t(i)) % 251)) return false;
    return true;
  }
  // Reads count bytes at position, checking the bytes and the position after.
  void ReadAt(TSystemFileReader& reader, int64_t position, int64_t count) {
    reader.SetPosition(position);
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    reader.ReadBuffer(bytes.data(), count);
    EXPECT_TRUE(Matches(bytes, position)) << position << "+" << count;
    EXPECT_EQ(reader.GetPosition(), position + count);
  }

  TTempDir dir;
  std::string path;
  decltype(TPlatformTable::FileOpen) saved;
  int opens = 0, reads = 0;
};

TEST_F(BufferedSystemFileReader, SmallSequentialReadsCostOneFileReadPerBlock) {
  TSystemFileReader reader(path);
  reader.Open(fmRead);
  EXPECT_EQ(reader.GetSize(), 3 * Block + 17);
  for (int64_t at = 0; at + 3 <= reader.GetSize(); at += 3) {
    uint8_t bytes[3];
    reader.ReadBuffer(bytes, 3);
    ASSERT_TRUE(Matches({bytes, bytes + 3}, at)) << at;
  }
  EXPECT_EQ(reads, 4);
  EXPECT_EQ(opens, 1);
}

TEST_F(BufferedSystemFileReader, ReadsAcrossBlockEdgesAndSeeksBackGiveTheFileBytes) {
  TSystemFileReader reader(path);
  reader.Open(fmRead);
  ReadAt(reader, Block - 5, 10);      // spans the end of the first block
  ReadAt(reader, 2, 40);              // back before the block
  ReadAt(reader, 100, Block + 300);   // larger than a block: straight from the file
  ReadAt(reader, 3 * Block - 1, 18);  // up to the last byte
  ReadAt(reader, Block - 5 + 3, 4);   // inside the block read last but one
  EXPECT_EQ(reader.Seek(-1, soEnd), 3 * Block + 16);
  EXPECT_EQ(reader.Seek(-7, soCurrent), 3 * Block + 9);
  EXPECT_EQ(reader.Seek(-1, soBeginning), -1) << "no position before the start";
  EXPECT_EQ(reader.GetPosition(), 3 * Block + 9);
  reader.SetPosition(-4);
  EXPECT_EQ(reader.GetPosition(), 3 * Block + 9);
}

TEST_F(BufferedSystemFileReader, ReadsAtTheEndAreShortAndReadBufferFails) {
  TSystemFileReader reader(path);
  reader.Open(fmRead);
  std::vector<uint8_t> bytes(64);
  reader.SetPosition(3 * Block + 10);
  EXPECT_EQ(reader.Read(bytes.data(), 64), 7);
  EXPECT_EQ(reader.Read(bytes.data(), 64), 0);
  reader.SetPosition(3 * Block + 100);  // past the end: nothing, no error
  EXPECT_EQ(reader.Read(bytes.data(), 1), 0);
  reader.SetPosition(3 * Block);
  EXPECT_THROW(reader.ReadBuffer(bytes.data(), 18), EReadError);
  EXPECT_EQ(reader.Read(bytes.data(), -1), -1);
}

TEST_F(BufferedSystemFileReader, ShortFileAndReopenedReaderStartAfresh) {
  const std::string tiny = dir.Write("tiny.bin", "abc");
  TSystemFileReader reader(tiny);
  reader.Open(fmRead);
  char bytes[8] = {};
  EXPECT_EQ(reader.Read(bytes, 8), 3);
  EXPECT_EQ(std::string(bytes, 3), "abc");
  reader.Close();
  dir.Write("tiny.bin", "xyz!");  // changed while closed: the next open sees it
  reader.Open(fmRead);
  EXPECT_EQ(reader.GetSize(), 4);
  EXPECT_EQ(reader.GetPosition(), 0);
  EXPECT_EQ(reader.Read(bytes, 8), 4);
  EXPECT_EQ(std::string(bytes, 4), "xyz!");
}

TEST_F(BufferedSystemFileReader, WritableReaderReadsWhatItWrote) {
  TSystemFileReader reader(path, 0);
  reader.Open(0);
  uint8_t bytes[4];
  reader.ReadBuffer(bytes, 4);  // the block now holds the start of the file
  reader.SetPosition(1);
  reader.WriteBuffer("WXYZ", 4);
  reader.SetPosition(0);
  reader.ReadBuffer(bytes, 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 4), std::string("\0WXY", 4));
  reader.SetPosition(reader.GetSize());
  reader.WriteBuffer("!", 1);
  EXPECT_EQ(reader.GetSize(), 3 * Block + 18);
}

TEST_F(BufferedSystemFileReader, CountedOpenOpensTheFileOnce) {
  TSystemFileReader reader(path);
  reader.Open(fmRead);
  for (int i = 0; i < 5; ++i) {
    reader.Open(fmRead);
    ReadAt(reader, 1000 * i, 10);
    reader.Close();
  }
  EXPECT_EQ(opens, 1);
  EXPECT_TRUE(reader.IsOpen());
}

}  // namespace
