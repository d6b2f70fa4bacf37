// The two chunk decompressors and the chunk header, without any archive around them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "HpiBuilderU.h"
#include "HpiChunkU.h"
#include "HpiLz77EncoderU.h"
#include "HpiTestSupport.h"
#include "Hpi_Zeta_LoaderU.h"
#include "Lz77U.h"

using hpitest::Pattern;

namespace {

std::vector<uint8_t> Lz77RoundTrip(const std::vector<uint8_t>& data) {
  const std::vector<uint8_t> packed = CompressLZ77(data.data(), data.size());
  std::vector<uint8_t> out(data.size());
  const size_t n = DecompressLZ77(packed.data(), packed.size(), out.data(), out.size());
  out.resize(n);
  return out;
}

}  // namespace

TEST(Lz77, CompressorOutputDecodesToTheInput) {
  for (size_t size : {size_t(1), size_t(2), size_t(8), size_t(9), size_t(4095), size_t(4096),
                      size_t(4097), size_t(65536)}) {
    const std::vector<uint8_t> data = Pattern(size, uint32_t(size));
    EXPECT_EQ(Lz77RoundTrip(data), data) << size;
  }
  // Long runs use overlapping references, including ones that start near window slot 0.
  std::vector<uint8_t> zeros(20000, 0);
  EXPECT_EQ(Lz77RoundTrip(zeros), zeros);
  EXPECT_LT(CompressLZ77(zeros.data(), zeros.size()).size(), zeros.size() / 7);
  std::vector<uint8_t> periodic(70000);
  for (size_t i = 0; i < periodic.size(); ++i) periodic[i] = uint8_t(i % 4099);
  EXPECT_EQ(Lz77RoundTrip(periodic), periodic);
}

TEST(Lz77, EndMarkerFirstYieldsNoBytes) {
  const uint8_t stream[] = {0x01, 0x00, 0x00};
  uint8_t out[4];
  EXPECT_EQ(DecompressLZ77(stream, sizeof(stream), out, sizeof(out)), 0u);
}

TEST(Lz77, OverlappingReferenceRepeatsTheLastByte) {
  // Literal 'x' lands in slot 1; a reference to slot 1 of 5 bytes copies it forward.
  const uint16_t word = (1 << 4) | (5 - 2);
  const uint8_t stream[] = {0x06, 'x', uint8_t(word), uint8_t(word >> 8), 0x00, 0x00};
  uint8_t out[6] = {};
  ASSERT_EQ(DecompressLZ77(stream, sizeof(stream), out, sizeof(out)), 6u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 6), "xxxxxx");
}

TEST(Lz77, ReferenceToUnwrittenSlotReadsZeros) {
  const uint16_t word = (2000 << 4) | (3 - 2);
  const uint8_t stream[] = {0x03, uint8_t(word), uint8_t(word >> 8), 0x00, 0x00};
  uint8_t out[3] = {7, 7, 7};
  ASSERT_EQ(DecompressLZ77(stream, sizeof(stream), out, sizeof(out)), 3u);
  EXPECT_EQ(out[0] | out[1] | out[2], 0);
}

TEST(Lz77, StreamPastItsPayloadIsARangeError) {
  uint8_t out[64];
  const uint8_t noFlags[] = {0};
  EXPECT_THROW(DecompressLZ77(noFlags, 0, out, sizeof(out)), ERangeError);
  const uint8_t literalsOnly[] = {0x00, 'a', 'b'};  // no end marker
  EXPECT_THROW(DecompressLZ77(literalsOnly, sizeof(literalsOnly), out, sizeof(out)), ERangeError);
  const uint8_t halfReference[] = {0x01, 0x10};
  EXPECT_THROW(DecompressLZ77(halfReference, sizeof(halfReference), out, sizeof(out)), ERangeError);
  // Eight literals use up the flag byte; the next flag byte is missing.
  const uint8_t eight[] = {0x00, 1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_THROW(DecompressLZ77(eight, sizeof(eight), out, sizeof(out)), ERangeError);
}

TEST(Lz77, StreamPastItsOutputIsARangeError) {
  const std::vector<uint8_t> data = Pattern(100);
  const std::vector<uint8_t> packed = CompressLZ77(data.data(), data.size());
  std::vector<uint8_t> out(99);
  EXPECT_THROW(DecompressLZ77(packed.data(), packed.size(), out.data(), out.size()), ERangeError);
  const uint16_t word = (1 << 4) | 15;  // 17 bytes into a 4-byte buffer
  const uint8_t stream[] = {0x02, 'x', uint8_t(word), uint8_t(word >> 8)};
  uint8_t small[4];
  EXPECT_THROW(DecompressLZ77(stream, sizeof(stream), small, sizeof(small)), ERangeError);
}

TEST(HpiChunk, EveryKindDecodesToItsPiece) {
  const std::vector<uint8_t> piece = Pattern(65536, 3);
  for (auto kind :
       {THpiChunkKind::Stored, THpiChunkKind::LZ77, THpiChunkKind::ZLib, THpiChunkKind::Plain}) {
    for (bool encrypt : {false, true}) {
      std::vector<uint8_t> chunk =
          THpiBuilder::MakeChunk(piece.data(), piece.size(), kind, encrypt);
      std::vector<uint8_t> out = {9, 9};  // output is appended to
      EXPECT_EQ(DecodeChunk(chunk.data(), chunk.size(), out), piece.size());
      EXPECT_EQ(std::vector<uint8_t>(out.begin() + 2, out.end()), piece);
    }
  }
}

TEST(HpiChunk, ChunkWithoutSignatureIsCopiedAsStored) {
  std::vector<uint8_t> chunk = {'S', 'Q', 'S', 'X', 1, 2, 3};
  std::vector<uint8_t> out;
  EXPECT_EQ(DecodeChunk(chunk.data(), chunk.size(), out), 7u);
  EXPECT_EQ(out, chunk);
}

TEST(HpiChunk, FaultyHeadersRaiseTheirErrors) {
  const std::vector<uint8_t> piece = Pattern(300);
  auto make = [&](THpiChunkKind kind) {
    return THpiBuilder::MakeChunk(piece.data(), piece.size(), kind, false);
  };
  std::vector<uint8_t> out;
  std::vector<uint8_t> chunk = make(THpiChunkKind::Stored);
  chunk[5] = 3;
  try {
    DecodeChunk(chunk.data(), chunk.size(), out);
    FAIL();
  } catch (const EZetaHpiLoadError& e) {
    EXPECT_STREQ(e.what(), "Unknown Chunk compression in Zeta HPI file");
  }
  // A DecompressedSize that differs from what the stream holds.
  chunk = make(THpiChunkKind::ZLib);
  hpitest::SetU32(chunk, 11, 301);
  try {
    DecodeChunk(chunk.data(), chunk.size(), out);
    FAIL();
  } catch (const EZetaHpiLoadError& e) {
    EXPECT_STREQ(e.what(), "HPI Decompression error");
  }
  // Stored payload shorter than DecompressedSize (but CompressedSize honest).
  chunk = make(THpiChunkKind::Stored);
  chunk.resize(chunk.size() - 10);
  hpitest::SetU32(chunk, 7, 290);
  EXPECT_THROW(DecodeChunk(chunk.data(), chunk.size(), out), EZetaHpiLoadError);
  // Truncated header.
  chunk = {'S', 'Q', 'S', 'H', 2, 1};
  EXPECT_THROW(DecodeChunk(chunk.data(), chunk.size(), out), ERangeError);
}

TEST(HpiChunk, SizesTheChunkCannotBackAreRefusedBeforeUse) {
  const std::vector<uint8_t> piece = Pattern(300);
  std::vector<uint8_t> out;
  // CompressedSize beyond the payload would make the unscrambling and zlib read past it.
  std::vector<uint8_t> chunk =
      THpiBuilder::MakeChunk(piece.data(), piece.size(), THpiChunkKind::ZLib, true);
  hpitest::SetU32(chunk, 7, 0x7fffffff);
  EXPECT_THROW(DecodeChunk(chunk.data(), chunk.size(), out), ERangeError);
  // No chunk stands for more than 64 KiB, whatever its header claims.
  chunk = THpiBuilder::MakeChunk(piece.data(), piece.size(), THpiChunkKind::LZ77, false);
  hpitest::SetU32(chunk, 11, 0xfffffff0u);
  EXPECT_THROW(DecodeChunk(chunk.data(), chunk.size(), out), ERangeError);
  EXPECT_TRUE(out.empty());
}

TEST(HpiChunk, ZLibInflateAcceptsTheOldVersionRequest) {
  const std::vector<uint8_t> data = Pattern(5000);
  uLongf length = compressBound(uLong(data.size()));
  std::vector<uint8_t> packed(length);
  ASSERT_EQ(compress2(packed.data(), &length, data.data(), uLong(data.size()), 6), Z_OK);
  std::vector<uint8_t> out(data.size());
  EXPECT_EQ(DecompressZLib(packed.data(), uint32_t(length), out.data(), out.size()), data.size());
  EXPECT_EQ(out, data);
  // A stream that does not end within its input fails as a whole.
  EXPECT_EQ(DecompressZLib(packed.data(), uint32_t(length / 2), out.data(), out.size()), 0u);
}

TEST(HpiKey, KeyDerivationWrapsInsteadOfOverflowing) {
  EXPECT_EQ(HpiDeriveKey(0), 0u);
  EXPECT_EQ(HpiDeriveKey(0x7d), ~((0x7du * 4) | (0x7du >> 6)));
  // HeaderKey * 4 does not fit a signed 32-bit integer: still a key.
  EXPECT_EQ(HpiDeriveKey(0x40000000u), ~(0u | (0x40000000u >> 6)));
  EXPECT_EQ(HpiDeriveKey(0xffffffffu), ~(0xfffffffcu | 0x03ffffffu));
}

TEST(HpiKey, DecryptIsKeyedByFileOffset) {
  const uint32_t key = HpiDeriveKey(0x5a5a5a5a);
  std::vector<uint8_t> bytes(64, 0x41);
  std::vector<uint8_t> whole = bytes;
  HpiDecrypt(whole.data(), 1000, 64, key);
  EXPECT_NE(whole[0], whole[1]);  // equal stored bytes, different offsets
  std::vector<uint8_t> pieces = bytes;
  HpiDecrypt(pieces.data(), 1000, 10, key);
  HpiDecrypt(pieces.data() + 10, 1010, 54, key);
  EXPECT_EQ(pieces, whole);
  // And the builder's scrambling is its inverse.
  std::vector<uint8_t> plain = Pattern(64);
  std::vector<uint8_t> scrambled = plain;
  THpiBuilder::Scramble(scrambled.data(), 64, 1000, 0x5a5a5a5a);
  HpiDecrypt(scrambled.data(), 1000, 64, key);
  EXPECT_EQ(scrambled, plain);
}
