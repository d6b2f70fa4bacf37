#pragma once
// An HPI reader of the tests' own, written from the format alone and sharing no code with the
// program's loader: it reads an archive's bytes into every folder and file, each file with its
// content, its stored block (chunk table and chunks, or the stored bytes, unscrambled) and how it
// is stored. What the program writes is checked against it.
#include <zlib.h>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace hpitest {

struct TOutsideFile {
  std::vector<uint8_t> Content;
  std::vector<uint8_t> Block;  // as stored, the archive's scrambling undone
  uint8_t Flag = 0;            // 0 stored, 1 or 2 chunked
  // The first chunk: "stored", "lz77", "zlib" or "plain" ("" for none), and its payload scrambling.
  std::string FirstChunk;
  bool Encrypted = false;
};

struct TOutsideArchive {
  uint32_t HeaderKey = 0;
  std::vector<std::string> Folders;           // "a/b", in the order met
  std::map<std::string, TOutsideFile> Files;  // by "a/b/name"
};

class TOutsideReader {
 public:
  explicit TOutsideReader(const std::vector<uint8_t>& bytes) : FBytes(bytes) {}

  TOutsideArchive Read() {
    Need(0, 20);
    if (U32(0) != 0x49504148u || U32(4) != 0x00010000u) throw std::runtime_error("not HAPI");
    FArchive.HeaderKey = U32(12);
    FKey = FArchive.HeaderKey ? ~((FArchive.HeaderKey * 4u) | (FArchive.HeaderKey >> 6)) : 0;
    const uint32_t end = U32(8), start = U32(16);
    if (start >= end) throw std::runtime_error("directory range");
    FDir.assign(start, 0);
    const std::vector<uint8_t> dir = Plain(start, end - start);
    FDir.insert(FDir.end(), dir.begin(), dir.end());
    Walk(start, "", 0);
    return FArchive;
  }

 private:
  uint32_t U32(size_t at) const { return Get32(FBytes, at); }
  static uint32_t Get32(const std::vector<uint8_t>& v, size_t at) {
    if (at + 4 > v.size()) throw std::runtime_error("read past the end");
    return v[at] | (v[at + 1] << 8) | (v[at + 2] << 16) | (uint32_t(v[at + 3]) << 24);
  }
  void Need(size_t at, size_t count) const {
    if (at + count > FBytes.size()) throw std::runtime_error("range past the end");
  }
  // count bytes at a file offset, the scrambling keyed by that offset undone.
  std::vector<uint8_t> Plain(size_t at, size_t count) const {
    Need(at, count);
    std::vector<uint8_t> bytes(FBytes.begin() + at, FBytes.begin() + at + count);
    if (FKey != 0)
      for (size_t i = 0; i < count; ++i) bytes[i] = uint8_t(~bytes[i] ^ (((at + i) ^ FKey) & 0xff));
    return bytes;
  }

  void Walk(uint32_t record, const std::string& path, int depth) {
    if (depth > 64) throw std::runtime_error("too deep");
    const uint32_t count = Get32(FDir, record), list = Get32(FDir, record + 4);
    for (uint32_t k = 0; k < count; ++k) {
      const size_t entry = list + 9 * size_t(k);
      std::string name;
      for (size_t at = Get32(FDir, entry); FDir.at(at) != 0; ++at) name += char(FDir[at]);
      const std::string inner = path.empty() ? name : path + "/" + name;
      const uint32_t data = Get32(FDir, entry + 4);
      if (FDir.at(entry + 8) == 1) {
        FArchive.Folders.push_back(inner);
        Walk(data, inner, depth + 1);
      } else {
        FArchive.Files[inner] = File(data);
      }
    }
  }

  TOutsideFile File(uint32_t record) {
    TOutsideFile file;
    const uint32_t start = Get32(FDir, record), size = Get32(FDir, record + 4);
    file.Flag = FDir.at(record + 8);
    if (file.Flag == 0) {
      Need(start, size);
      file.Block.assign(FBytes.begin() + start, FBytes.begin() + start + size);
      file.Content = file.Block;
      return file;
    }
    const uint32_t chunks = uint32_t((uint64_t(size) + 65535) / 65536);
    const std::vector<uint8_t> table = Plain(start, 4 * size_t(chunks));
    file.Block = table;
    size_t at = start + table.size();
    for (uint32_t i = 0; i < chunks; ++i) {
      const uint32_t length = Get32(table, 4 * size_t(i));
      std::vector<uint8_t> chunk = Plain(at, length);
      file.Block.insert(file.Block.end(), chunk.begin(), chunk.end());
      Decode(chunk, file, i == 0);
      at += length;
    }
    return file;
  }

  static void Decode(std::vector<uint8_t>& chunk, TOutsideFile& file, bool first) {
    if (chunk.size() < 4 || Get32(chunk, 0) != 0x48535153u) {
      if (first) file.FirstChunk = "plain";
      file.Content.insert(file.Content.end(), chunk.begin(), chunk.end());
      return;
    }
    const uint8_t method = chunk.at(5);
    const uint32_t packed = Get32(chunk, 7), size = Get32(chunk, 11);
    if (first) {
      file.FirstChunk = method == 0 ? "stored" : method == 1 ? "lz77" : "zlib";
      file.Encrypted = chunk[6] != 0;
    }
    std::vector<uint8_t> payload(chunk.begin() + 19, chunk.end());
    if (chunk[6])
      for (size_t i = 0; i < packed; ++i) payload.at(i) = uint8_t((payload[i] - i) ^ i);
    std::vector<uint8_t> out(size);
    if (method == 0) {
      out.assign(payload.begin(), payload.begin() + size);
    } else if (method == 2) {
      uLongf length = size;
      if (uncompress(out.data(), &length, payload.data(), packed) != Z_OK || length != size)
        throw std::runtime_error("zlib");
    } else {
      out = Lz77(payload);
    }
    if (out.size() != size) throw std::runtime_error("chunk size");
    file.Content.insert(file.Content.end(), out.begin(), out.end());
  }

  static std::vector<uint8_t> Lz77(const std::vector<uint8_t>& in) {
    std::vector<uint8_t> out, window(4096);
    size_t pos = 0, slot = 1;
    unsigned mask = 1, flags = in.at(pos++);
    for (;;) {
      if (flags & mask) {
        const unsigned word = in.at(pos) | (in.at(pos + 1) << 8);
        pos += 2;
        size_t from = word >> 4;
        if (from == 0) return out;
        for (unsigned n = (word & 15) + 2; n > 0; --n) {
          out.push_back(window[slot] = window[from]);
          from = (from + 1) & 4095;
          slot = (slot + 1) & 4095;
        }
      } else {
        out.push_back(window[slot] = in.at(pos++));
        slot = (slot + 1) & 4095;
      }
      mask <<= 1;
      if (mask == 256) {
        mask = 1;
        flags = in.at(pos++);
      }
    }
  }

  const std::vector<uint8_t>& FBytes;
  std::vector<uint8_t> FDir;
  uint32_t FKey = 0;
  TOutsideArchive FArchive;
};

inline TOutsideArchive ReadOutside(const std::vector<uint8_t>& bytes) {
  return TOutsideReader(bytes).Read();
}

}  // namespace hpitest
