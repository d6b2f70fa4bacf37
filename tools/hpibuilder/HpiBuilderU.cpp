#include "HpiBuilderU.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "HpiLz77EncoderU.h"

namespace {

constexpr size_t ChunkDataSize = 65536;
constexpr size_t ChunkHeaderSize = 19;

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '/' || c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  if (parts.empty()) throw std::invalid_argument("empty archive path");
  return parts;
}

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
  out[at + 2] = uint8_t(v >> 16);
  out[at + 3] = uint8_t(v >> 24);
}

uint32_t DeriveKey(uint32_t headerKey) {
  return headerKey == 0 ? 0 : ~((headerKey * 4u) | (headerKey >> 6));
}

std::string JoinArchivePath(const std::string& dir, const std::string& name) {
  return dir.empty() ? name : dir + "/" + name;
}

}  // namespace

void THpiBuilder::Scramble(uint8_t* data, size_t count, uint32_t position, uint32_t headerKey) {
  const uint32_t key = DeriveKey(headerKey);
  if (key == 0) return;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t t = (position + uint32_t(i)) ^ key;
    data[i] = uint8_t(~(data[i] ^ t));
  }
}

std::vector<uint8_t> THpiBuilder::MakeChunk(const uint8_t* data, size_t size, THpiChunkKind kind,
                                            bool encryptPayload, int zlibLevel) {
  if (kind == THpiChunkKind::Plain) {
    if (size >= 4 && std::memcmp(data, "SQSH", 4) == 0)
      throw std::invalid_argument("a plain chunk cannot begin with \"SQSH\"");
    return std::vector<uint8_t>(data, data + size);
  }
  std::vector<uint8_t> payload;
  uint8_t method = 0;
  switch (kind) {
    case THpiChunkKind::Stored:
      payload.assign(data, data + size);
      break;
    case THpiChunkKind::LZ77:
      method = 1;
      payload = CompressLZ77(data, size);
      break;
    case THpiChunkKind::ZLib: {
      method = 2;
      uLongf length = compressBound(uLong(size));
      payload.resize(length);
      if (compress2(payload.data(), &length, data, uLong(size), zlibLevel) != Z_OK)
        throw std::runtime_error("zlib compression failed");
      payload.resize(length);
      break;
    }
    case THpiChunkKind::Plain:
      break;
  }
  if (encryptPayload) {
    for (size_t i = 0; i < payload.size(); ++i)
      payload[i] = uint8_t((payload[i] ^ uint8_t(i)) + uint8_t(i));
  }
  uint32_t checksum = 0;
  for (uint8_t b : payload) checksum += b;
  std::vector<uint8_t> chunk(ChunkHeaderSize);
  std::memcpy(chunk.data(), "SQSH", 4);
  chunk[4] = 2;
  chunk[5] = method;
  chunk[6] = encryptPayload ? 1 : 0;
  PutU32(chunk, 7, uint32_t(payload.size()));
  PutU32(chunk, 11, uint32_t(size));
  PutU32(chunk, 15, checksum);
  chunk.insert(chunk.end(), payload.begin(), payload.end());
  return chunk;
}

std::vector<uint8_t> EncodeChunkedFile(const std::vector<uint8_t>& data,
                                       const THpiFileOptions& options) {
  const size_t count = (data.size() + ChunkDataSize - 1) / ChunkDataSize;
  std::vector<uint8_t> out(count * 4);
  for (size_t i = 0; i < count; ++i) {
    const size_t start = i * ChunkDataSize;
    const size_t size = std::min(ChunkDataSize, data.size() - start);
    const THpiChunkKind kind =
        options.Chunks.empty() ? THpiChunkKind::LZ77 : options.Chunks[i % options.Chunks.size()];
    const std::vector<uint8_t> chunk =
        THpiBuilder::MakeChunk(data.data() + start, size, kind, options.EncryptPayload);
    PutU32(out, i * 4, uint32_t(chunk.size()));
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

THpiBuilder::TDir& THpiBuilder::ForceDir(const std::vector<std::string>& parts) {
  TDir* dir = &FRoot;
  for (const std::string& part : parts) dir = &dir->Dirs[part];
  return *dir;
}

void THpiBuilder::AddDirectory(const std::string& path) {
  ForceDir(SplitPath(path));
}

void THpiBuilder::AddFile(const std::string& path, std::vector<uint8_t> data,
                          const THpiFileOptions& options) {
  std::vector<std::string> parts = SplitPath(path);
  const std::string name = parts.back();
  parts.pop_back();
  ForceDir(parts).Files[name] = TFile{std::move(data), options};
}

void THpiBuilder::AddFolder(const std::string& folder, const TOptionsChooser& choose) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    if (item.is_directory()) AddDirectory(fs::relative(item.path(), folder).generic_string());
    if (item.is_regular_file()) files.push_back(item.path());
  }
  std::sort(files.begin(), files.end());
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string inner = fs::relative(files[i], folder).generic_string();
    std::ifstream in(files[i], std::ios::binary);
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
    AddFile(inner, std::move(data), choose ? choose(inner, i) : THpiFileOptions{});
  }
}

namespace {

struct TPendingData {
  std::string Path;
  uint32_t RecordOffset;
  std::vector<uint8_t> Bytes;
  bool Scrambled;
};

// Writes one directory (record, entries, names, then each child) at the end of block, whose
// index is the file offset. File records get their DataStart later.
template <class TDir>
void WriteDirectory(const TDir& dir, const std::string& path, std::vector<uint8_t>& block,
                    THpiLayout& layout, std::vector<TPendingData>& pending) {
  const size_t record = block.size();
  layout.DirRecords[path] = uint32_t(record);
  const size_t count = dir.Dirs.size() + dir.Files.size();
  block.resize(record + 8 + count * 9);
  PutU32(block, record, uint32_t(count));
  PutU32(block, record + 4, uint32_t(record + 8));
  size_t entry = record + 8;
  auto writeEntry = [&](const std::string& name, uint8_t kind) {
    const size_t nameOffset = block.size();
    block.insert(block.end(), name.begin(), name.end());
    block.push_back(0);
    PutU32(block, entry, uint32_t(nameOffset));
    block[entry + 8] = kind;
    layout.Entries[JoinArchivePath(path, name)] = uint32_t(entry);
    const size_t at = entry;
    entry += 9;
    return at;
  };
  for (const auto& [name, file] : dir.Files) {
    const size_t at = writeEntry(name, 0);
    const size_t fileRecord = block.size();
    block.resize(fileRecord + 9);
    PutU32(block, at + 4, uint32_t(fileRecord));
    PutU32(block, fileRecord + 4, uint32_t(file.Data.size()));
    block[fileRecord + 8] = file.Options.CompressionFlag;
    const std::string inner = JoinArchivePath(path, name);
    layout.FileRecords[inner] = uint32_t(fileRecord);
    if (file.Options.CompressionFlag == 0)
      pending.push_back({inner, uint32_t(fileRecord), file.Data, false});
    else
      pending.push_back(
          {inner, uint32_t(fileRecord), EncodeChunkedFile(file.Data, file.Options), true});
  }
  for (const auto& [name, sub] : dir.Dirs) {
    const size_t at = writeEntry(name, 1);
    PutU32(block, at + 4, uint32_t(block.size()));
    WriteDirectory(sub, JoinArchivePath(path, name), block, layout, pending);
  }
}

}  // namespace

std::vector<uint8_t> THpiBuilder::Build(THpiLayout* layoutOut) const {
  THpiLayout layout;
  std::vector<TPendingData> pending;
  // Laid out once at offset 0 to learn the directory's size and contents.
  std::vector<uint8_t> block;
  WriteDirectory(FRoot, "", block, layout, pending);
  size_t dataSize = 0;
  for (const auto& item : pending) dataSize += item.Bytes.size();

  const size_t directoryStart = DataBeforeDirectory ? 20 + dataSize : 20;
  size_t dataPosition = DataBeforeDirectory ? 20 : directoryStart + block.size();
  // Lay the directory out again at its true offset.
  layout = THpiLayout{};
  pending.clear();
  std::vector<uint8_t> archive(directoryStart);
  WriteDirectory(FRoot, "", archive, layout, pending);
  const size_t directorySize = archive.size();
  layout.DirectoryStart = uint32_t(directoryStart);
  layout.DirectorySize = uint32_t(directorySize);
  if (!DataBeforeDirectory) archive.resize(directorySize + dataSize);
  for (auto& item : pending) {
    PutU32(archive, item.RecordOffset, uint32_t(dataPosition));
    layout.DataStarts[item.Path] = uint32_t(dataPosition);
    if (item.Scrambled)
      Scramble(item.Bytes.data(), item.Bytes.size(), uint32_t(dataPosition), HeaderKey);
    if (!item.Bytes.empty())
      std::memcpy(archive.data() + dataPosition, item.Bytes.data(), item.Bytes.size());
    dataPosition += item.Bytes.size();
  }
  Scramble(archive.data() + directoryStart, directorySize - directoryStart,
           uint32_t(directoryStart), HeaderKey);
  std::memcpy(archive.data(), "HAPI", 4);
  PutU32(archive, 4, Version);
  PutU32(archive, 8, uint32_t(directorySize));
  PutU32(archive, 12, HeaderKey);
  PutU32(archive, 16, uint32_t(directoryStart));
  if (layoutOut) *layoutOut = std::move(layout);
  return archive;
}

void THpiBuilder::WriteFile(const std::string& fileName, THpiLayout* layout) const {
  const std::vector<uint8_t> archive = Build(layout);
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(archive.data()), std::streamsize(archive.size()));
  if (!out) throw std::runtime_error("cannot write " + fileName);
}
