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

}  // namespace
