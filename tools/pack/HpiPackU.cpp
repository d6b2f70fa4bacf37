#include "HpiPackU.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "ExceptionsU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t ChunkSize = 65536;
constexpr uint32_t HeaderSize = 20;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

bool Inside(const fs::path& path, const fs::path& root) {
  auto p = path.begin();
  for (auto r = root.begin(); r != root.end(); ++r, ++p)
    if (p == path.end() || *p != *r) return false;
  return true;
}

Exception Refusal(const fs::path& path, const std::string& why) {
  return Exception(Format("\"%s\" %s", path.string().c_str(), why.c_str()));
}

// Walks the real folders of the tree, each once: a link to a folder would put a second copy of
// it into the archive (and a tree of links to links a copy per path, exponentially many), so it
// is refused; a link to a file inside the tree packs that file under the link's name.
class TScanner {
 public:
  explicit TScanner(const fs::path& root) : FRoot(fs::canonical(root)) {}

  void Scan(const fs::path& dir, const fs::path& real, THpiPackEntry& into) {
    if (FChain.size() > MaxDepth) throw Refusal(dir, "lies too deep");
    FChain.push_back(real);
    std::vector<fs::directory_entry> items = List(dir);
    std::vector<std::string> folded;
    for (const fs::directory_entry& item : items) {
      const std::string name = item.path().filename().string();
      if (name.find('\\') != std::string::npos)
        throw Refusal(item.path(), "has a backslash in its name, which an archive cannot hold");
      folded.push_back(Lower(name));
      THpiPackEntry entry;
      entry.Name = name;
      fs::path target = real / name;
      std::error_code error;
      if (item.is_symlink(error)) target = LinkTarget(item.path(), real);
      struct stat info {};
      if (::stat(target.c_str(), &info) != 0)
        throw Refusal(item.path(), "cannot be read: " + ReadFailureReason(item.path(), errno));
      if (S_ISDIR(info.st_mode)) {
        if (target != real / name)
          throw Refusal(item.path(),
                        "is a symbolic link to a folder; an archive holds each folder once");
        entry.IsDirectory = true;
        Scan(item.path(), target, entry);
      } else if (S_ISREG(info.st_mode)) {
        if (info.st_size >= HpiPackMaxOffset)
          throw Refusal(item.path(), Format("is %lld bytes; an archived file is below 2 GiB",
                                            (long long)info.st_size));
        entry.Size = int64_t(info.st_size);
        entry.DiskPath = target.string();
        entry.Device = uint64_t(info.st_dev);
        entry.Inode = uint64_t(info.st_ino);
      } else {
        throw Refusal(item.path(),
                      "is " + FileKindName(info.st_mode) + ", neither a file nor a folder");
      }
      into.Children.push_back(std::move(entry));
    }
    std::sort(folded.begin(), folded.end());
    const auto twin = std::adjacent_find(folded.begin(), folded.end());
    if (twin != folded.end())
      throw Refusal(dir, Format("holds two names that differ only in case (\"%s\"); the archive's "
                                "names ignore case",
                                twin->c_str()));
    FChain.pop_back();
  }

 private:
  // The folder's entries sorted by name, bounded in number.
  std::vector<fs::directory_entry> List(const fs::path& dir) {
    std::vector<fs::directory_entry> items;
    std::error_code error;
    fs::directory_iterator it(dir, error), end;
    if (error) throw Refusal(dir, "cannot be read: " + error.message());
    for (; it != end; it.increment(error)) {
      if (error) throw Refusal(dir, "cannot be read: " + error.message());
      if (items.size() == HpiPackMaxFolderEntries)
        throw Refusal(dir, Format("holds more than %zu entries", HpiPackMaxFolderEntries));
      if (++FTotal > MaxEntries)
        throw Refusal(FRoot, Format("holds more than %zu entries in all", MaxEntries));
      items.push_back(*it);
    }
    std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) {
      return a.path().filename() < b.path().filename();
    });
    return items;
  }

  // Where a link inside the tree leads, as a real path; refused when it leads out of the tree
  // or back into a folder that holds it.
  fs::path LinkTarget(const fs::path& link, const fs::path& real) const {
    std::error_code error;
    const fs::path target = fs::weakly_canonical(link, error);
    if (error || !Inside(target, FRoot))
      throw Refusal(link, "is a symbolic link that leads out of the folder");
    if (Inside(real, target) || std::find(FChain.begin(), FChain.end(), target) != FChain.end())
      throw Refusal(link, "is a symbolic link back into a folder that holds it (a loop)");
    return target;
  }

  static constexpr size_t MaxDepth = 64;
  static constexpr size_t MaxEntries = 1000000;
  fs::path FRoot;
  std::vector<fs::path> FChain;  // the real folders being scanned, outermost first
  size_t FTotal = 0;
};

void PutU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  out[at] = uint8_t(v);
  out[at + 1] = uint8_t(v >> 8);
  out[at + 2] = uint8_t(v >> 16);
  out[at + 3] = uint8_t(v >> 24);
}

// The file the scan saw, opened without following a link and without blocking on a fifo: a
// file swapped for a link or for another file since the scan is refused, so nothing from
// outside the tree lands in the archive.
TFileHandle OpenScannedFile(const THpiPackEntry& entry) {
  struct stat info {};
  TFileHandle file = OpenRegularFile(entry.DiskPath, TLinkPolicy::Refuse, &info);
  if (uint64_t(info.st_dev) != entry.Device || uint64_t(info.st_ino) != entry.Inode)
    throw Refusal(entry.DiskPath, "was replaced by another file while the archive was written");
  if (info.st_size != entry.Size)
    throw Refusal(entry.DiskPath, "changed its size while the archive was written");
  return file;
}

void ReadPiece(const TFileHandle& file, const THpiPackEntry& entry, uint8_t* into, size_t size) {
  while (size > 0) {
    const ssize_t got = ::read(file.Fd(), into, size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0)
      throw EDiskFileError(
          Format("Cannot read \"%s\": %s", entry.DiskPath.c_str(), std::strerror(errno)),
          entry.DiskPath, errno);
    if (got == 0) throw Refusal(entry.DiskPath, "changed its size while the archive was written");
    into += got;
    size -= size_t(got);
  }
}

struct TFileSlot {
  const THpiPackEntry* Entry;
  size_t Record;  // offset of its 9-byte file record in the directory block
};

// Lays one directory out at the end of block (whose index is the file offset), as the reader
// walks it: record, entries, names and file records, then each sub-directory.
void LayOut(const THpiPackEntry& dir, std::vector<uint8_t>& block, std::vector<TFileSlot>& files,
            uint8_t flag) {
  const size_t record = block.size();
  block.resize(record + 8 + dir.Children.size() * 9);
  PutU32(block, record, uint32_t(dir.Children.size()));
  PutU32(block, record + 4, uint32_t(record + 8));
  std::vector<size_t> subEntries;
  for (size_t i = 0; i < dir.Children.size(); ++i) {
    const THpiPackEntry& child = dir.Children[i];
    const size_t entry = record + 8 + 9 * i;
    PutU32(block, entry, uint32_t(block.size()));
    block.insert(block.end(), child.Name.begin(), child.Name.end());
    block.push_back(0);
    block[entry + 8] = child.IsDirectory ? 1 : 0;
    if (child.IsDirectory) {
      subEntries.push_back(i);
      continue;
    }
    const size_t fileRecord = block.size();
    block.resize(fileRecord + 9);
    PutU32(block, entry + 4, uint32_t(fileRecord));
    PutU32(block, fileRecord + 4, uint32_t(child.Size));
    block[fileRecord + 8] = flag;
    files.push_back({&child, fileRecord});
  }
  for (size_t i : subEntries) {
    PutU32(block, record + 8 + 9 * i + 4, uint32_t(block.size()));
    LayOut(dir.Children[i], block, files, flag);
  }
  if (block.size() >= size_t(HpiPackMaxOffset))
    throw Exception("The folder's names and entries are too many for an archive directory");
}

class TArchiveWriter {
 public:
  TArchiveWriter(TAtomicFile& out, const THpiPackOptions& options) : FOut(out), FOptions(options) {}

  // Writes one file's data at the current end; returns its DataStart.
  uint32_t WriteFile(const THpiPackEntry& entry) {
    const int64_t start = FOut.Position();
    const TFileHandle in = OpenScannedFile(entry);
    const size_t chunks = (size_t(entry.Size) + ChunkSize - 1) / ChunkSize;
    std::vector<uint8_t> table(FOptions.Compression == THpiPackCompression::None ? 0 : 4 * chunks);
    if (!table.empty()) Append(table);  // filled once the chunk sizes are known
    std::vector<uint8_t> piece(ChunkSize);
    for (size_t i = 0, left = size_t(entry.Size); i < chunks; ++i) {
      const size_t size = std::min(ChunkSize, left);
      ReadPiece(in, entry, piece.data(), size);
      left -= size;
      if (table.empty()) {
        CheckRoom(size);
        FOut.Write(piece.data(), size);  // stored files are not scrambled
        continue;
      }
      std::vector<uint8_t> chunk = THpiBuilder::MakeChunk(
          piece.data(), size,
          FOptions.Compression == THpiPackCompression::ZLib ? THpiChunkKind::ZLib
                                                            : THpiChunkKind::LZ77,
          false, FOptions.ZLibLevel);
      PutU32(table, 4 * i, uint32_t(chunk.size()));
      Append(chunk);
    }
    if (!table.empty()) {
      THpiBuilder::Scramble(table.data(), table.size(), uint32_t(start), FOptions.HeaderKey);
      FOut.WriteAt(start, table.data(), table.size());
    }
    return uint32_t(start);
  }

 private:
  void CheckRoom(size_t size) const {
    if (FOut.Position() + int64_t(size) > HpiPackMaxOffset)
      throw Exception("The archive would pass 2 GiB, beyond the format's offsets");
  }
  void Append(std::vector<uint8_t>& bytes) {
    CheckRoom(bytes.size());
    THpiBuilder::Scramble(bytes.data(), bytes.size(), uint32_t(FOut.Position()),
                          FOptions.HeaderKey);
    FOut.Write(bytes.data(), bytes.size());
  }

  TAtomicFile& FOut;
  const THpiPackOptions& FOptions;
};

}  // namespace

THpiPackEntry ScanHpiFolder(const std::string& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error))
    throw Exception(Format("\"%s\" is not a folder", folder.c_str()));
  THpiPackEntry root;
  root.IsDirectory = true;
  TScanner scanner(folder);
  scanner.Scan(folder, fs::canonical(folder), root);
  return root;
}

THpiPackResult WriteHpiArchive(const THpiPackEntry& root, const std::string& out,
                               const THpiPackOptions& options) {
  const uint8_t flag = options.Compression == THpiPackCompression::None   ? 0
                       : options.Compression == THpiPackCompression::LZ77 ? 1
                                                                          : 2;
  std::vector<uint8_t> block(HeaderSize);
  std::vector<TFileSlot> files;
  LayOut(root, block, files, flag);

  TAtomicFile file(out);
  file.Write(block.data(), block.size());  // rewritten once the data starts are known
  TArchiveWriter writer(file, options);
  THpiPackResult result;
  for (const TFileSlot& slot : files) {
    PutU32(block, slot.Record, writer.WriteFile(*slot.Entry));
    ++result.Files;
    result.Bytes += slot.Entry->Size;
  }
  result.ArchiveBytes = file.Position();
  THpiBuilder::Scramble(block.data() + HeaderSize, block.size() - HeaderSize, HeaderSize,
                        options.HeaderKey);
  std::memcpy(block.data(), "HAPI", 4);
  PutU32(block, 4, 0x00010000);
  PutU32(block, 8, uint32_t(block.size()));
  PutU32(block, 12, options.HeaderKey);
  PutU32(block, 16, HeaderSize);
  file.WriteAt(0, block.data(), block.size());
  file.Commit();
  return result;
}
