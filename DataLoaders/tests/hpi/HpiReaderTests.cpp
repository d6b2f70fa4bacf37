// Reading archived files: the stored window onto the archive and the chunked reader that decodes
// into memory, reached through a mounted file system as the viewer reaches them.
#include <gtest/gtest.h>

#include "HpiChunkU.h"
#include "HpiTestSupport.h"

using namespace hpitest;

namespace {

class HpiReader : public HpiTest {};

THpiFileOptions Stored() {
  return THpiFileOptions{0, {}, false};
}
THpiFileOptions Chunked(THpiChunkKind kind, bool encrypt = false, uint8_t flag = 1) {
  return THpiFileOptions{flag, {kind}, encrypt};
}

TBufferedHpiFileReader& Chunked(IFileReaderRef& reader) {
  auto* chunked = dynamic_cast<TBufferedHpiFileReader*>(reader.get());
  if (!chunked) throw std::runtime_error("not a chunked reader");
  return *chunked;
}

}  // namespace

TEST_F(HpiReader, StoredFileStartsAtDataStartAndStopsAtFileSize) {
  THpiBuilder builder;
  builder.AddFile("a.bin", Pattern(100, 1), Stored());
  builder.AddFile("b.bin", Pattern(50, 2), Stored());
  const std::string path = WriteBytes("stored.hpi", builder.Build());
  auto fs = MakeFileSystem();
  Mount(*fs, path);
  IFileReaderRef reader = fs->OpenFile("a.bin");
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->GetSize(), 100);
  std::vector<uint8_t> buffer(40);
  EXPECT_EQ(reader->Read(buffer.data(), 40), 40);
  EXPECT_EQ(reader->GetPosition(), 40);
  const std::vector<uint8_t> a = Pattern(100, 1);
  EXPECT_EQ(buffer, std::vector<uint8_t>(a.begin(), a.begin() + 40));
  // A read across the end gets this file's bytes only, never those of the next file.
  buffer.assign(200, 0);
  EXPECT_EQ(reader->Read(buffer.data(), 200), 60);
  EXPECT_EQ(reader->Read(buffer.data(), 200), 0);
  EXPECT_EQ(reader->Seek(-10, soEnd), 90);
  EXPECT_EQ(reader->Seek(5, soCurrent), 95);
  EXPECT_EQ(reader->Seek(3, soBeginning), 3);
  EXPECT_EQ(reader->Write("x", 1), -1);
  EXPECT_EQ(ReadFile(*fs, "b.bin"), Pattern(50, 2));
}

TEST_F(HpiReader, ChunkCountFollowsTheFileSize) {
  THpiBuilder builder;
  builder.HeaderKey = 0x12345678;
  for (size_t size : {size_t(1), size_t(65535), size_t(65536), size_t(65537), size_t(200000)})
    builder.AddFile("f" + std::to_string(size), Pattern(size, uint32_t(size)),
                    THpiFileOptions{2, {THpiChunkKind::ZLib, THpiChunkKind::LZ77}, true});
  THpiLayout layout;
  const std::vector<uint8_t> archive = builder.Build(&layout);
  const std::string path = WriteBytes("sizes.hpi", archive);
  // The first chunk of a 65537-byte file follows a two-entry table and holds 65536 bytes.
  std::vector<uint8_t> plain = archive;
  HpiDecrypt(plain.data(), 0, uint32_t(plain.size()), HpiDeriveKey(builder.HeaderKey));
  const uint32_t start = layout.DataStarts["f65537"];
  const uint32_t firstSize = GetU32(plain, start);
  EXPECT_EQ(GetU32(plain, start + 8 + 11), 65536u);
  EXPECT_EQ(GetU32(plain, start + 8 + firstSize + 11), 1u);
  // That file's data is the archive's last: its last chunk ends exactly at the end of the file.
  EXPECT_EQ(start + 8 + firstSize + GetU32(plain, start + 4), archive.size());

  auto fs = MakeFileSystem();
  Mount(*fs, path);
  for (size_t size : {size_t(1), size_t(65535), size_t(65536), size_t(65537), size_t(200000)})
    EXPECT_EQ(ReadFile(*fs, "f" + std::to_string(size)), Pattern(size, uint32_t(size))) << size;
}

TEST_F(HpiReader, ZeroLengthChunkedFileReadsEmptyWithoutTouchingTheArchive) {
  THpiBuilder builder;
  builder.AddFile("empty.bin", {}, Chunked(THpiChunkKind::LZ77));
  THpiLayout layout;
  std::vector<uint8_t> archive = builder.Build(&layout);
  SetU32(archive, layout.FileRecords["empty.bin"], 0x7ffffff0);  // DataStart far past the end
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("empty.hpi", archive));
  IFileReaderRef reader = fs->OpenFile("empty.bin");
  ASSERT_TRUE(reader);
  uint8_t byte;
  EXPECT_EQ(reader->Read(&byte, 1), 0);
  EXPECT_EQ(reader->GetSize(), 0);
}

TEST_F(HpiReader, PositionSetBeforeTheFirstReadIsWhereReadingStarts) {
  THpiBuilder builder;
  const std::vector<uint8_t> data = Pattern(70000);
  builder.AddFile("f.bin", data, Chunked(THpiChunkKind::LZ77));
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("pos.hpi", builder.Build()));
  IFileReaderRef reader = fs->OpenFile("f.bin");
  reader->SetPosition(66000);
  EXPECT_EQ(reader->GetPosition(), 66000);
  uint8_t bytes[4];
  reader->ReadBuffer(bytes, 4);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 4),
            std::vector<uint8_t>(data.begin() + 66000, data.begin() + 66004));
  EXPECT_EQ(reader->GetPosition(), 66004);
}

TEST_F(HpiReader, SeekOnAnUnreadChunkedFileDecodesIt) {
  THpiBuilder builder;
  builder.AddFile("f.bin", Pattern(1000), Chunked(THpiChunkKind::Stored));
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("seek.hpi", builder.Build()));
  // A reader of the same file that was never read.
  TFileEntry* node = fs->FindFile("f.bin");
  ASSERT_TRUE(node);
  auto fresh = std::make_shared<TBufferedHpiFileReader>(
      dynamic_cast<THpiFileReader&>(*node->Reader).ArchiveReader(),
      dynamic_cast<THpiFileReader&>(*node->Reader).Key(), 1000,
      dynamic_cast<THpiFileReader&>(*node->Reader).DataStart());
  EXPECT_FALSE(fresh->Decoded());
  EXPECT_EQ(fresh->Seek(-1, soEnd), 999);
  EXPECT_TRUE(fresh->Decoded());
  EXPECT_EQ(fresh->DecodeCount(), 1);
}

TEST_F(HpiReader, SecondOpeningCopiesTheDecodedBytesInsteadOfDecodingAgain) {
  THpiBuilder builder;
  builder.AddFile("f.bin", Pattern(150000), Chunked(THpiChunkKind::ZLib));
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("cache.hpi", builder.Build()));
  EXPECT_EQ(ReadFile(*fs, "f.bin"), Pattern(150000));
  EXPECT_EQ(ReadFile(*fs, "f.bin"), Pattern(150000));
  IFileReaderRef first = fs->OpenFile("f.bin");
  IFileReaderRef second = fs->OpenFile("f.bin");
  EXPECT_EQ(Chunked(first).DecodeCount(), 0);
  TFileEntry* node = fs->FindFile("f.bin");
  EXPECT_EQ(dynamic_cast<TBufferedHpiFileReader&>(*node->Reader).DecodeCount(), 1);
  // Clones keep positions of their own.
  first->SetPosition(10);
  EXPECT_EQ(second->GetPosition(), 0);
}

TEST_F(HpiReader, FailedDecodeFailsEveryLaterReadInsteadOfServingZeros) {
  THpiBuilder builder;
  builder.AddFile("f.bin", Pattern(70000), Chunked(THpiChunkKind::Stored));
  THpiLayout layout;
  std::vector<uint8_t> archive = builder.Build(&layout);
  const uint32_t start = layout.DataStarts["f.bin"];
  const uint32_t firstChunk = start + 8;
  const uint32_t secondChunk = firstChunk + GetU32(archive, start);
  archive[secondChunk + 5] = 9;  // second chunk: unknown method
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("bad.hpi", archive));
  TFileEntry* node = fs->FindFile("f.bin");
  ASSERT_TRUE(node);
  auto reader = std::make_shared<TBufferedHpiFileReader>(
      dynamic_cast<THpiFileReader&>(*node->Reader).ArchiveReader(), 0, 70000, start);
  reader->Open(fmRead);
  uint8_t byte = 0xaa;
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      reader->Read(&byte, 1);
      FAIL() << "read served bytes of a file that did not decode";
    } catch (const EZetaHpiLoadError& e) {
      EXPECT_STREQ(e.what(), "Unknown Chunk compression in Zeta HPI file");
    }
  }
  EXPECT_THROW(reader->Seek(0, soBeginning), EZetaHpiLoadError);
  EXPECT_EQ(byte, 0xaa);
  EXPECT_FALSE(reader->Decoded());
  // Opening through the file system fails the same way.
  EXPECT_THROW(fs->OpenFile("f.bin"), EZetaHpiLoadError);
  EXPECT_THROW(fs->OpenFile("f.bin"), EZetaHpiLoadError);
}

TEST_F(HpiReader, ChunkThatDecodesToNothingIsADecompressionError) {
  THpiBuilder builder;
  builder.AddFile("f.bin", Pattern(10), Chunked(THpiChunkKind::LZ77));
  THpiLayout layout;
  std::vector<uint8_t> archive = builder.Build(&layout);
  const uint32_t chunk = layout.DataStarts["f.bin"] + 4;
  // The LZ77 payload becomes "end marker first".
  archive[chunk + 19] = 0x01;
  archive[chunk + 20] = 0;
  archive[chunk + 21] = 0;
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("end.hpi", archive));
  try {
    fs->OpenFile("f.bin");
    FAIL();
  } catch (const EZetaHpiLoadError& e) {
    EXPECT_STREQ(e.what(), "HPI Decompression error");
    EXPECT_EQ(Log.LastMessage(), "HPI Decompression error");
  }
}

TEST_F(HpiReader, ChunkSizesPastTheArchiveAreAReadErrorNotAnAllocation) {
  THpiBuilder builder;
  builder.AddFile("f.bin", Pattern(10), Chunked(THpiChunkKind::LZ77));
  THpiLayout layout;
  std::vector<uint8_t> archive = builder.Build(&layout);
  SetU32(archive, layout.DataStarts["f.bin"], 0xfffffff0u);
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("size.hpi", archive));
  try {
    fs->OpenFile("f.bin");
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
}

TEST_F(HpiReader, OpeningForWritingIsRefused) {
  THpiBuilder builder;
  builder.AddFile("s.bin", Pattern(10), Stored());
  builder.AddFile("c.bin", Pattern(10), Chunked(THpiChunkKind::Stored));
  auto fs = MakeFileSystem();
  Mount(*fs, WriteBytes("w.hpi", builder.Build()));
  for (const char* name : {"s.bin", "c.bin"}) {
    TFileEntry* node = fs->FindFile(name);
    ASSERT_TRUE(node);
    IFileReaderRef clone = node->Reader->Clone();
    try {
      clone->Open(2);
      FAIL();
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Writing to HPI files is not yet supported");
    }
    clone->Open(0);
    EXPECT_TRUE(clone->IsOpen());
  }
}
