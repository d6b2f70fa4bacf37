#include "HpiBuilderU.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "ByteOrderU.h"
#include "ExceptionsU.h"
#include "HpiLz77EncoderU.h"
#include "SafeFileU.h"

namespace {

using ByteOrder::StoreU32;

constexpr size_t ChunkDataSize = 65536;
constexpr size_t RawPieceSize = 1 << 20;  // a copied block moves in pieces of this size
constexpr size_t ChunkHeaderSize = 19;
constexpr uint32_t HeaderSize = 20;

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
  StoreU32(&chunk[7], uint32_t(payload.size()));
  StoreU32(&chunk[11], uint32_t(size));
  StoreU32(&chunk[15], checksum);
  chunk.insert(chunk.end(), payload.begin(), payload.end());
  return chunk;
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
    // Never a fifo or a link met in the tree; an entry holds less than 2 GiB.
    const std::string bytes =
        ReadRegularFile(files[i].string(), (size_t(1) << 31) - 1, TLinkPolicy::Refuse);
    AddFile(inner, std::vector<uint8_t>(bytes.begin(), bytes.end()),
            choose ? choose(inner, i) : THpiFileOptions{});
  }
}

THpiTreeEntry THpiBuilder::Tree(const TDir& dir, std::vector<const TFile*>& files) {
  THpiTreeEntry entry;
  entry.IsDirectory = true;
  for (const auto& [name, file] : dir.Files) {
    THpiTreeEntry child;
    child.Name = name;
    child.Size = uint32_t(file.Data.size());
    child.Options = file.Options;
    child.Source = files.size();
    files.push_back(&file);
    entry.Children.push_back(std::move(child));
  }
  for (const auto& [name, sub] : dir.Dirs) {
    THpiTreeEntry child = Tree(sub, files);
    child.Name = name;
    entry.Children.push_back(std::move(child));
  }
  return entry;
}

namespace {

class TMemoryOutput : public IHpiOutput {
 public:
  int64_t Position() const override { return int64_t(Bytes.size()); }
  void Write(const uint8_t* data, size_t size) override {
    Bytes.insert(Bytes.end(), data, data + size);
  }
  void WriteAt(int64_t position, const uint8_t* data, size_t size) override {
    if (size > 0) std::memcpy(Bytes.data() + position, data, size);
  }
  std::vector<uint8_t> Bytes;
};

struct TFileSlot {
  const THpiTreeEntry* Entry;
  std::string Path;
  size_t Record;  // its 9-byte file record, in the directory block
};

// Lays one directory out at the end of block (byte i of which lies at file offset base + i) as
// the reader walks it: record, entries, names and file records, then each sub-directory. File
// records get their DataStart later.
void LayOut(const THpiTreeEntry& dir, const std::string& path, uint32_t base,
            std::vector<uint8_t>& block, std::vector<TFileSlot>& files, THpiLayout& layout) {
  const size_t record = block.size();
  layout.DirRecords[path] = uint32_t(base + record);
  block.resize(record + 8 + dir.Children.size() * 9);
  StoreU32(&block[record], uint32_t(dir.Children.size()));
  StoreU32(&block[record + 4], uint32_t(base + record + 8));
  std::vector<size_t> subEntries;
  for (size_t i = 0; i < dir.Children.size(); ++i) {
    const THpiTreeEntry& child = dir.Children[i];
    const std::string inner = JoinArchivePath(path, child.Name);
    const size_t entry = record + 8 + 9 * i;
    layout.Entries[inner] = uint32_t(base + entry);
    StoreU32(&block[entry], uint32_t(base + block.size()));
    block.insert(block.end(), child.Name.begin(), child.Name.end());
    block.push_back(0);
    block[entry + 8] = child.IsDirectory ? 1 : 0;
    if (child.IsDirectory) {
      subEntries.push_back(i);
      continue;
    }
    const size_t fileRecord = block.size();
    block.resize(fileRecord + 9);
    StoreU32(&block[entry + 4], uint32_t(base + fileRecord));
    StoreU32(&block[fileRecord + 4], child.Size);
    block[fileRecord + 8] = child.Options.CompressionFlag;
    layout.FileRecords[inner] = uint32_t(base + fileRecord);
    files.push_back({&child, inner, fileRecord});
  }
  for (size_t i : subEntries) {
    StoreU32(&block[record + 8 + 9 * i + 4], uint32_t(base + block.size()));
    LayOut(dir.Children[i], JoinArchivePath(path, dir.Children[i].Name), base, block, files,
           layout);
  }
  if (base + block.size() >= size_t(HpiMaxOffset))
    throw Exception("The folder's names and entries are too many for an archive directory");
}

// Appends file data to an archive, scrambled for where it lands.
class TDataWriter {
 public:
  TDataWriter(IHpiOutput& out, uint32_t headerKey) : FOut(out), FHeaderKey(headerKey) {}

  // Writes one file's data at the current end; returns its DataStart.
  uint32_t WriteFile(const THpiTreeEntry& file, const THpiPieceReader& read) {
    if (file.Raw) return WriteRaw(file, read);
    const THpiFileOptions& options = file.Options;
    const int64_t start = FOut.Position();
    const size_t chunks = (size_t(file.Size) + ChunkDataSize - 1) / ChunkDataSize;
    std::vector<uint8_t> table(options.CompressionFlag == 0 ? 0 : 4 * chunks);
    if (!table.empty()) Append(std::vector<uint8_t>(table));  // filled once the sizes are known
    std::vector<uint8_t> piece(std::min(ChunkDataSize, size_t(file.Size)));
    for (size_t i = 0, left = file.Size; i < chunks; ++i) {
      const size_t size = std::min(ChunkDataSize, left);
      read(piece.data(), size);
      left -= size;
      if (options.CompressionFlag == 0) {
        CheckRoom(size);
        FOut.Write(piece.data(), size);  // stored files are not scrambled
        continue;
      }
      const THpiChunkKind kind =
          options.Chunks.empty() ? THpiChunkKind::LZ77 : options.Chunks[i % options.Chunks.size()];
      std::vector<uint8_t> chunk = THpiBuilder::MakeChunk(
          piece.data(), size, kind, options.EncryptPayload, options.ZLibLevel);
      StoreU32(&table[4 * i], uint32_t(chunk.size()));
      Append(std::move(chunk));
    }
    if (!table.empty()) {
      THpiBuilder::Scramble(table.data(), table.size(), uint32_t(start), FHeaderKey);
      FOut.WriteAt(start, table.data(), table.size());
    }
    return uint32_t(start);
  }

  // A block stored before, copied piece by piece; only the scrambling depends on where it lies.
  uint32_t WriteRaw(const THpiTreeEntry& file, const THpiPieceReader& read) {
    const int64_t start = FOut.Position();
    std::vector<uint8_t> piece(std::min(RawPieceSize, size_t(file.RawSize)));
    for (size_t left = file.RawSize; left > 0;) {
      const size_t size = std::min(piece.size(), left);
      read(piece.data(), size);
      left -= size;
      CheckRoom(size);
      if (file.Options.CompressionFlag != 0)
        THpiBuilder::Scramble(piece.data(), size, uint32_t(FOut.Position()), FHeaderKey);
      FOut.Write(piece.data(), size);
    }
    return uint32_t(start);
  }

  void CheckRoom(size_t size) const {
    if (FOut.Position() + int64_t(size) > HpiMaxOffset)
      throw Exception("The archive would pass 2 GiB, beyond the format's offsets");
  }

 private:
  void Append(std::vector<uint8_t> bytes) {
    CheckRoom(bytes.size());
    THpiBuilder::Scramble(bytes.data(), bytes.size(), uint32_t(FOut.Position()), FHeaderKey);
    FOut.Write(bytes.data(), bytes.size());
  }

  IHpiOutput& FOut;
  uint32_t FHeaderKey;
};

}  // namespace

int64_t THpiFileOutput::Position() const {
  return FFile.Position();
}

void THpiFileOutput::Write(const uint8_t* data, size_t size) {
  FFile.Write(data, size);
}

void THpiFileOutput::WriteAt(int64_t position, const uint8_t* data, size_t size) {
  FFile.WriteAt(position, data, size);
}

THpiLayout WriteHpi(const THpiTreeEntry& root, IHpiOutput& out, const THpiArchiveOptions& options,
                    const THpiFileOpener& open) {
  THpiLayout layout;
  std::vector<TFileSlot> files;
  std::vector<uint8_t> directory;
  uint32_t directoryStart = HeaderSize;
  LayOut(root, "", directoryStart, directory, files, layout);
  std::vector<uint8_t> header(HeaderSize);
  out.Write(header.data(), header.size());  // both rewritten once the data starts are known
  if (!options.DataBeforeDirectory) out.Write(directory.data(), directory.size());
  TDataWriter writer(out, options.HeaderKey);
  std::vector<uint32_t> starts;
  for (const TFileSlot& slot : files)
    starts.push_back(writer.WriteFile(*slot.Entry, open(*slot.Entry)));
  if (options.DataBeforeDirectory) {
    // Laid out again where it now goes: the same files in the same order.
    directoryStart = uint32_t(out.Position());
    layout = THpiLayout{};
    files.clear();
    directory.clear();
    LayOut(root, "", directoryStart, directory, files, layout);
  }
  for (size_t i = 0; i < files.size(); ++i) {
    StoreU32(&directory[files[i].Record], starts[i]);
    layout.DataStarts[files[i].Path] = starts[i];
  }
  layout.DirectoryStart = directoryStart;
  layout.DirectorySize = uint32_t(directoryStart + directory.size());
  THpiBuilder::Scramble(directory.data(), directory.size(), directoryStart, options.HeaderKey);
  std::memcpy(header.data(), "HAPI", 4);
  StoreU32(&header[4], options.Version);
  StoreU32(&header[8], layout.DirectorySize);
  StoreU32(&header[12], options.HeaderKey);
  StoreU32(&header[16], directoryStart);
  if (options.DataBeforeDirectory) {
    writer.CheckRoom(directory.size());
    out.Write(directory.data(), directory.size());
  } else {
    out.WriteAt(HeaderSize, directory.data(), directory.size());
  }
  out.WriteAt(0, header.data(), header.size());
  return layout;
}

std::vector<uint8_t> THpiBuilder::Build(THpiLayout* layoutOut) const {
  std::vector<const TFile*> files;
  const THpiTreeEntry root = Tree(FRoot, files);
  TMemoryOutput out;
  THpiLayout layout =
      WriteHpi(root, out, {HeaderKey, Version, DataBeforeDirectory},
               [&files](const THpiTreeEntry& file) -> THpiPieceReader {
                 const std::vector<uint8_t>& data = files[file.Source]->Data;
                 return [&data, at = size_t(0)](uint8_t* into, size_t size) mutable {
                   std::memcpy(into, data.data() + at, size);
                   at += size;
                 };
               });
  if (layoutOut) *layoutOut = std::move(layout);
  return std::move(out.Bytes);
}

void THpiBuilder::WriteFile(const std::string& fileName, THpiLayout* layout) const {
  const std::vector<uint8_t> archive = Build(layout);
  WriteFileAtomically(
      fileName, std::string_view(reinterpret_cast<const char*>(archive.data()), archive.size()));
}
