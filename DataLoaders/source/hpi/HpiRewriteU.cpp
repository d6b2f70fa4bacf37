#include "HpiRewriteU.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "ByteOrderU.h"
#include "ExceptionsU.h"
#include "HpiChunkU.h"
#include "HpiFileReaderU.h"
#include "HpiFormatU.h"
#include "Hpi_Zeta_LoaderU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

namespace {

// Where the data of one file of the new archive comes from.
struct TSource {
  uint32_t Start = 0;                          // a copied entry: its stored block
  const std::vector<uint8_t>* Data = nullptr;  // a put one: its content
};

// The archive being rewritten: its tree as the loader reads it, turned into the writer's tree.
struct TArchive {
  std::string Name;
  IFileReaderRef Reader;  // open until the new archive is written
  uint32_t HeaderKey = 0;
  uint32_t Key = 0;
  THpiTreeEntry Root;
  std::vector<TSource> Sources;  // numbered by the files' Source
  int64_t StoredBytes = 0;       // of the blocks the loader's tree refers to
};

[[noreturn]] void Refuse(const TArchive& archive, const std::string& reason) {
  throw Exception(Format("Cannot rewrite \"%s\": %s", archive.Name.c_str(), reason.c_str()));
}

// A file of the old archive, to be copied as its stored block: the chunk table and chunks, or
// the stored bytes.
THpiTreeEntry CopiedFile(TFileEntry& node, TArchive& archive) {
  auto* reader = dynamic_cast<THpiFileReader*>(node.Reader.get());
  if (!reader) throw Exception(Format("\"%s\" is not an archived file", node.Name.c_str()));
  THpiTreeEntry file;
  file.Name = node.Name;
  file.Size = uint32_t(reader->FileSize());
  file.Options.CompressionFlag = reader->Compression;
  file.Raw = true;
  int64_t size = reader->FileSize();  // the loader checked that the archive holds stored bytes
  if (reader->Compression != 0) {
    const std::vector<uint32_t> sizes =
        ReadChunkSizes(*archive.Reader, reader->DataStart(), reader->FileSize(), archive.Key);
    size = int64_t(sizes.size()) * 4;
    for (const uint32_t chunk : sizes) size += chunk;
  }
  archive.StoredBytes += size;
  // Blocks that do not overlap fit in the archive; shared ones would multiply the copy.
  if (archive.StoredBytes > archive.Reader->GetSize())
    throw Exception("the stored data of its files overlap");
  file.RawSize = uint32_t(size);
  file.Source = archive.Sources.size();
  archive.Sources.push_back({reader->DataStart(), nullptr});
  return file;
}

// The loader's tree as the writer's, in listing order.
THpiTreeEntry CopiedTree(TDirEntry& dir, TArchive& archive) {
  THpiTreeEntry entry;
  entry.IsDirectory = true;
  entry.Name = dir.Name;
  for (const auto& [name, node] : dir.SortedIndex()) {
    entry.Children.push_back(node->IsDirectory()
                                 ? CopiedTree(static_cast<TDirEntry&>(*node), archive)
                                 : CopiedFile(static_cast<TFileEntry&>(*node), archive));
  }
  return entry;
}

// Reads the archive through the HPI loader, strictly: an entry it would leave out fails.
void ReadArchive(TArchive& archive) {
  struct stat info {};
  if (::stat(archive.Name.c_str(), &info) != 0)
    throw Exception(ReadFailureReason(archive.Name, errno));
  if (!S_ISREG(info.st_mode))
    throw Exception(Format("it is %s, not a file", FileKindName(info.st_mode).c_str()));
  auto reader = std::make_shared<TSystemFileReader>(archive.Name);
  reader->Open(fmRead);
  TFileSystem tree;
  THpiLoader loader(&tree);
  loader.Imp->Strict = true;
  const TLoaderBid bid = loader.Bid(*reader);
  if (!bid.Mine()) throw Exception(Format("it is not an archive: %s", bid.Reason.c_str()));
  reader->SetPosition(0);
  loader.Load(reader, archive.Name, 0);
  uint8_t header[HpiHeaderSize];
  reader->SetPosition(0);
  reader->ReadBuffer(header, sizeof header);
  archive.HeaderKey = ByteOrder::LoadU32(header + 12);
  archive.Key = HpiDeriveKey(archive.HeaderKey);
  archive.Reader = reader;
  archive.Root = CopiedTree(*tree.GetRoot(), archive);
}

// The names of an inner path; each must be a plain name.
std::vector<std::string> InnerParts(const TArchive& archive, const std::string& path) {
  std::vector<std::string> parts = InnerPathParts(path);
  if (parts.empty())
    Refuse(archive, Format("the name \"%s\" would leave the archive", path.c_str()));
  return parts;
}

std::vector<THpiTreeEntry>::iterator FindChild(THpiTreeEntry& dir, const std::string& name) {
  return std::find_if(dir.Children.begin(), dir.Children.end(), [&name](const THpiTreeEntry& e) {
    return AnsiCompareText(e.Name, name) == 0;
  });
}

// The folder of the first count parts, made when missing (create) or null.
THpiTreeEntry* Folder(TArchive& archive, const std::vector<std::string>& parts, size_t count,
                      bool create) {
  THpiTreeEntry* at = &archive.Root;
  std::string path;
  for (size_t i = 0; i < count; ++i) {
    path += (i ? "/" : "") + parts[i];
    auto child = FindChild(*at, parts[i]);
    if (child == at->Children.end()) {
      if (!create) return nullptr;
      THpiTreeEntry folder;
      folder.Name = parts[i];
      folder.IsDirectory = true;
      at->Children.push_back(std::move(folder));
      child = at->Children.end() - 1;
    } else if (!child->IsDirectory) {
      Refuse(archive, Format("\"%s\" is a file, not a folder", path.c_str()));
    }
    at = &*child;
  }
  return at;
}

// The stored form a put file keeps: the one its old block shows in its first chunk.
THpiFileOptions StorageOf(const THpiTreeEntry& file, const TArchive& archive) {
  if (!file.Raw) return file.Options;  // put before in this run
  THpiFileOptions options;
  options.CompressionFlag = file.Options.CompressionFlag;
  options.Chunks = {options.CompressionFlag == 2 ? THpiChunkKind::ZLib : THpiChunkKind::LZ77};
  options.ZLibLevel = 6;  // chunks do not record theirs; "hpi pack"'s default
  const uint32_t table =
      uint32_t(((uint64_t(file.Size) + HpiChunkDataSize - 1) / HpiChunkDataSize) * 4);
  if (options.CompressionFlag == 0 || table == 0) return options;
  const uint32_t start = archive.Sources[file.Source].Start;
  uint8_t first[HpiChunkHeaderSize] = {};
  HpiReadAndDecrypt(*archive.Reader, first, start, 4, archive.Key);
  const uint32_t size = std::min<uint32_t>(ByteOrder::LoadU32(first), HpiChunkHeaderSize);
  HpiReadAndDecrypt(*archive.Reader, first, start + table, size, archive.Key);
  if (size < HpiChunkHeaderSize || ByteOrder::LoadU32(first) != HpiChunkSignature) {
    options.Chunks = {THpiChunkKind::Plain};
    return options;
  }
  options.Chunks = {first[5] == cmStored ? THpiChunkKind::Stored
                    : first[5] == cmZLib ? THpiChunkKind::ZLib
                                         : THpiChunkKind::LZ77};
  options.EncryptPayload = first[6] != 0;
  return options;
}

// A plain chunk is its piece as it stands, so a piece that begins with "SQSH" would read as a
// chunk header: that piece is stored in a chunk of its own kind instead.
void AvoidSignatureInPlainChunks(THpiFileOptions& options, const std::vector<uint8_t>& data) {
  const auto& kinds = options.Chunks;
  if (std::find(kinds.begin(), kinds.end(), THpiChunkKind::Plain) == kinds.end()) return;
  std::vector<THpiChunkKind> chunks;
  for (size_t at = 0, i = 0; at < data.size(); at += HpiChunkDataSize, ++i) {
    const bool signature = data.size() - at >= 4 && std::memcmp(&data[at], "SQSH", 4) == 0;
    const THpiChunkKind kind = kinds[i % kinds.size()];
    chunks.push_back(signature && kind == THpiChunkKind::Plain ? THpiChunkKind::Stored : kind);
  }
  if (!chunks.empty()) options.Chunks = std::move(chunks);
}

void Put(TArchive& archive, const THpiChange& change) {
  const std::vector<std::string> parts = InnerParts(archive, change.Path);
  if (int64_t(change.Data.size()) >= HpiMaxOffset)
    Refuse(archive, Format("\"%s\" is 2 GiB or larger", change.Path.c_str()));
  THpiTreeEntry& dir = *Folder(archive, parts, parts.size() - 1, true);
  auto file = FindChild(dir, parts.back());
  if (file != dir.Children.end() && file->IsDirectory)
    Refuse(archive, Format("\"%s\" is a folder", change.Path.c_str()));
  THpiFileOptions options;
  if (file == dir.Children.end()) {
    options = change.Options.value_or(THpiFileOptions{});
    dir.Children.emplace_back().Name = parts.back();
    file = dir.Children.end() - 1;
  } else {
    options = StorageOf(*file, archive);
  }
  AvoidSignatureInPlainChunks(options, change.Data);
  file->Options = std::move(options);
  file->Raw = false;
  file->RawSize = 0;
  file->Size = uint32_t(change.Data.size());
  file->Source = archive.Sources.size();
  archive.Sources.push_back({0, &change.Data});
}

// The entry a path names, taken out of its folder.
THpiTreeEntry TakeOut(TArchive& archive, const std::string& path) {
  const std::vector<std::string> parts = InnerParts(archive, path);
  THpiTreeEntry* dir = Folder(archive, parts, parts.size() - 1, false);
  auto entry = dir ? FindChild(*dir, parts.back()) : std::vector<THpiTreeEntry>::iterator();
  if (!dir || entry == dir->Children.end())
    Refuse(archive, Format("\"%s\" is not in the archive", path.c_str()));
  THpiTreeEntry taken = std::move(*entry);
  dir->Children.erase(entry);
  return taken;
}

void Rename(TArchive& archive, const THpiChange& change) {
  const std::vector<std::string> from = InnerParts(archive, change.Path);
  const std::vector<std::string> to = InnerParts(archive, change.NewPath);
  const bool inside = to.size() > from.size() &&
                      std::equal(from.begin(), from.end(), to.begin(),
                                 [](auto& a, auto& b) { return AnsiCompareText(a, b) == 0; });
  if (inside) Refuse(archive, Format("\"%s\" cannot move into itself", change.Path.c_str()));
  THpiTreeEntry entry = TakeOut(archive, change.Path);
  THpiTreeEntry& dir = *Folder(archive, to, to.size() - 1, true);
  if (FindChild(dir, to.back()) != dir.Children.end())
    Refuse(archive, Format("\"%s\" already exists", change.NewPath.c_str()));
  entry.Name = to.back();
  dir.Children.push_back(std::move(entry));
}

int64_t BytesToWrite(const THpiTreeEntry& entry) {
  int64_t bytes = entry.Raw ? entry.RawSize : entry.Size;
  for (const THpiTreeEntry& child : entry.Children) bytes += BytesToWrite(child);
  return bytes;
}

void WriteArchive(TArchive& archive) {
  TAtomicFile file(archive.Name);
  THpiFileOutput out(file);
  THpiArchiveOptions options;
  options.HeaderKey = archive.HeaderKey;
  WriteHpi(archive.Root, out, options, [&archive](const THpiTreeEntry& entry) -> THpiPieceReader {
    const TSource& source = archive.Sources[entry.Source];
    if (source.Data)
      return [data = source.Data, at = size_t(0)](uint8_t* into, size_t size) mutable {
        if (size > 0) std::memcpy(into, data->data() + at, size);
        at += size;
      };
    // Stored files are not scrambled; a chunked file's block is, by its place in the file.
    const uint32_t key = entry.Options.CompressionFlag != 0 ? archive.Key : 0;
    return [&archive, key, at = source.Start](uint8_t* into, size_t size) mutable {
      HpiReadAndDecrypt(*archive.Reader, into, at, uint32_t(size), key);
      at += uint32_t(size);
    };
  });
  file.Commit();
}

}  // namespace

void RewriteHpiArchive(const std::string& archiveName, const std::vector<THpiChange>& changes) {
  TArchive archive;
  archive.Name = archiveName;
  try {
    ReadArchive(archive);
  } catch (const std::exception& error) {
    throw Exception(Format("Cannot read \"%s\": %s", archiveName.c_str(), error.what()));
  }
  for (const THpiChange& change : changes) {
    switch (change.Kind) {
      case THpiChange::TKind::Put:
        Put(archive, change);
        break;
      case THpiChange::TKind::Remove:
        TakeOut(archive, change.Path);
        break;
      case THpiChange::TKind::Rename:
        Rename(archive, change);
        break;
      case THpiChange::TKind::MakeFolder: {
        const std::vector<std::string> parts = InnerParts(archive, change.Path);
        Folder(archive, parts, parts.size(), true);
        break;
      }
    }
  }
  if (BytesToWrite(archive.Root) >= HpiMaxOffset)
    Refuse(archive, "the archive would pass 2 GiB, beyond the format's offsets");
  try {
    WriteArchive(archive);
  } catch (const EDiskFileError&) {
    throw;  // "Cannot write "ARCHIVE": REASON" already
  } catch (const std::exception& error) {
    throw Exception(Format("Cannot rewrite \"%s\": %s", archiveName.c_str(), error.what()));
  }
}

std::vector<std::string> InnerPathParts(const std::string& path) {
  std::vector<std::string> parts(1);
  for (const char c : path) {
    if (c == '/' || c == '\\')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  for (const std::string& part : parts)
    if (!SafeNamePart(part)) return {};
  return parts;
}
