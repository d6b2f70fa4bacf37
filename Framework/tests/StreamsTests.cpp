#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "CoreTestSupport.h"
#include "LowLevelIO.h"
#include "StreamsU.h"

namespace {

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

// A stream that takes fewer bytes than offered, to make WriteBuffer fail.
class TShortWriter : public TMemoryStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override {
    return TMemoryStream::Write(buffer, count > 1 ? count - 1 : count);
  }
};

TEST(Streams, ReadBufferWithCountZeroReadsNothing) {
  TMemoryStream stream;
  EXPECT_NO_THROW(stream.ReadBuffer(nullptr, 0));
  EXPECT_EQ(stream.GetPosition(), 0);
}

TEST(Streams, ShortReadsAndWritesRaiseStreamErrors) {
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  stream.SetPosition(1);
  char buffer[4];
  try {
    stream.ReadBuffer(buffer, 4);
    FAIL();
  } catch (const EReadError& error) {
    EXPECT_STREQ(error.what(), "Stream read error");
  }
  TShortWriter writer;
  try {
    writer.WriteBuffer("abcd", 4);
    FAIL();
  } catch (const EWriteError& error) {
    EXPECT_STREQ(error.what(), "Stream write error");
  }
  EXPECT_THROW(stream.ReadBuffer(buffer, -1), EReadError);
}

TEST(Streams, CopyFromZeroCopiesTheWholeSourceFromItsStart) {
  const auto bytes = Pattern(150000);  // more than two copy steps
  TMemoryStream source;
  source.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  source.SetPosition(1000);
  TMemoryStream target;
  EXPECT_EQ(target.CopyFrom(source, 0), 150000);
  ASSERT_EQ(target.GetSize(), 150000);
  EXPECT_EQ(std::memcmp(target.Memory(), bytes.data(), bytes.size()), 0);
}

TEST(Streams, CopyFromCountStartsAtTheSourcePosition) {
  const auto bytes = Pattern(100);
  TMemoryStream source;
  source.WriteBuffer(bytes.data(), 100);
  source.SetPosition(10);
  TMemoryStream target;
  EXPECT_EQ(target.CopyFrom(source, 20), 20);
  EXPECT_EQ(std::memcmp(target.Memory(), bytes.data() + 10, 20), 0);
  EXPECT_THROW(target.CopyFrom(source, 100), EReadError);
}

TEST(MemoryStream, SeekOriginsAndReadsPastTheEnd) {
  TMemoryStream stream;
  stream.WriteBuffer("0123456789", 10);
  EXPECT_EQ(stream.Seek(2, soBeginning), 2);
  EXPECT_EQ(stream.Seek(3, soCurrent), 5);
  EXPECT_EQ(stream.Seek(-1, soEnd), 9);
  char c = 0;
  EXPECT_EQ(stream.Read(&c, 5), 1);
  EXPECT_EQ(c, '9');
  EXPECT_EQ(stream.Read(&c, 1), 0);
  stream.SetPosition(-5);
  EXPECT_EQ(stream.Read(&c, 1), 0);
  EXPECT_EQ(stream.Seek(INT64_MAX, soEnd), -5) << "an overflowing seek keeps the position";
}

TEST(MemoryStream, WritingBehindTheEndZeroesTheGap) {
  TMemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  stream.SetSize(2);
  stream.SetPosition(5);
  stream.WriteBuffer("z", 1);
  ASSERT_EQ(stream.GetSize(), 6);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(stream.Memory()), 6), std::string("ab\0\0\0z", 6));
}

TEST(MemoryStream, GrowsThroughManySmallWrites) {
  const auto bytes = Pattern(100000);
  TMemoryStream stream;
  for (size_t i = 0; i < bytes.size(); i += 3)
    stream.WriteBuffer(bytes.data() + i,
                       static_cast<int64_t>(std::min<size_t>(3, bytes.size() - i)));
  ASSERT_EQ(stream.GetSize(), 100000);
  EXPECT_EQ(std::memcmp(stream.Memory(), bytes.data(), bytes.size()), 0);
  stream.Clear();
  EXPECT_EQ(stream.GetSize(), 0);
  EXPECT_EQ(stream.GetPosition(), 0);
}

TEST(MemoryStream, BogusSizesRaiseOutOfMemory) {
  TMemoryStream stream;
  for (int64_t size : {int64_t{-1}, int64_t{1} << 50, INT64_MAX}) {
    try {
      stream.SetSize(size);
      FAIL() << size;
    } catch (const EOutOfMemoryError& error) {
      EXPECT_STREQ(error.what(), "Out of memory while expanding memory stream");
    }
  }
  stream.SetPosition(INT64_MAX - 2);
  EXPECT_THROW(stream.Write("abcd", 4), EOutOfMemoryError);
  EXPECT_EQ(stream.GetSize(), 0);
}

TEST(FileStream, MissingFileNamesPathAndReason) {
  TTempDir dir;
  const std::string path = dir.File("missing.bin");
  try {
    TFileStream stream(path, hfRead | hfShareRead);
    FAIL();
  } catch (const EInOutError& error) {
    EXPECT_EQ(std::string(error.what()),
              "Unable to open file \"" + path + "\":No such file or directory");
  }
}

TEST(FileStream, CreateWriteAndReadBack) {
  TTempDir dir;
  const std::string path = dir.File("out.bin");
  {
    TFileStream out(path, hfCreateAlways);
    out.WriteBuffer("hello", 5);
    EXPECT_EQ(out.GetPosition(), 5);
  }
  TFileStream in(path, hfRead | hfShareRead);
  EXPECT_EQ(in.GetSize(), 5);
  in.SetPosition(1);
  char buffer[4];
  in.ReadBuffer(buffer, 4);
  EXPECT_EQ(std::string(buffer, 4), "ello");
  EXPECT_EQ(in.Write("x", 1), -1) << "read-only handle";
}

}  // namespace
