#include "HpiPackU.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "ExceptionsU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"

namespace {

namespace fs = std::filesystem;

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
  TScanner(const fs::path& root, std::vector<THpiPackFile>& files)
      : FRoot(fs::canonical(root)), FFiles(files) {}

  void Scan(const fs::path& dir, const fs::path& real, THpiTreeEntry& into) {
    if (FChain.size() > MaxDepth) throw Refusal(dir, "lies too deep");
    FChain.push_back(real);
    std::vector<fs::directory_entry> items = List(dir);
    std::vector<std::string> folded;
    for (const fs::directory_entry& item : items) {
      const std::string name = item.path().filename().string();
      if (name.find('\\') != std::string::npos)
        throw Refusal(item.path(), "has a backslash in its name, which an archive cannot hold");
      folded.push_back(LowerCase(name));
      THpiTreeEntry entry;
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
        if (info.st_size >= HpiMaxOffset)
          throw Refusal(item.path(), Format("is %lld bytes; an archived file is below 2 GiB",
                                            (long long)info.st_size));
        entry.Size = uint32_t(info.st_size);
        entry.Source = FFiles.size();
        FFiles.push_back(
            {target.string(), uint64_t(info.st_dev), uint64_t(info.st_ino), int64_t(info.st_size)});
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
  std::vector<THpiPackFile>& FFiles;
};

// The file the scan saw, opened without following a link and without blocking on a fifo: a
// file swapped for a link or for another file since the scan is refused, so nothing from
// outside the tree lands in the archive.
TFileHandle OpenScannedFile(const THpiPackFile& entry) {
  struct stat info {};
  TFileHandle file = OpenRegularFile(entry.DiskPath, TLinkPolicy::Refuse, &info);
  if (uint64_t(info.st_dev) != entry.Device || uint64_t(info.st_ino) != entry.Inode)
    throw Refusal(entry.DiskPath, "was replaced by another file while the archive was written");
  if (info.st_size != entry.Size)
    throw Refusal(entry.DiskPath, "changed its size while the archive was written");
  return file;
}

void ReadPiece(const TFileHandle& file, const THpiPackFile& entry, uint8_t* into, size_t size) {
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

void SetFileOptions(THpiTreeEntry& entry, const THpiFileOptions& options) {
  if (!entry.IsDirectory) entry.Options = options;
  for (THpiTreeEntry& child : entry.Children) SetFileOptions(child, options);
}

}  // namespace

THpiPackTree ScanHpiFolder(const std::string& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error))
    throw Exception(Format("\"%s\" is not a folder", folder.c_str()));
  THpiPackTree tree;
  tree.Root.IsDirectory = true;
  TScanner scanner(folder, tree.Files);
  scanner.Scan(folder, fs::canonical(folder), tree.Root);
  return tree;
}

THpiFileOptions HpiPackFileOptions(THpiPackCompression compression, int zlibLevel) {
  THpiFileOptions storage;
  storage.CompressionFlag = compression == THpiPackCompression::None   ? 0
                            : compression == THpiPackCompression::LZ77 ? 1
                                                                       : 2;
  storage.Chunks = {compression == THpiPackCompression::ZLib ? THpiChunkKind::ZLib
                                                             : THpiChunkKind::LZ77};
  storage.ZLibLevel = zlibLevel;
  return storage;
}

std::vector<uint8_t> ReadHpiPackFile(const THpiPackFile& file) {
  const TFileHandle in = OpenScannedFile(file);
  std::vector<uint8_t> data(size_t(file.Size));
  ReadPiece(in, file, data.data(), data.size());
  return data;
}

THpiPackResult WriteHpiArchive(const THpiPackTree& tree, const std::string& out,
                               const THpiPackOptions& options) {
  const THpiFileOptions storage = HpiPackFileOptions(options.Compression, options.ZLibLevel);
  THpiTreeEntry root = tree.Root;
  SetFileOptions(root, storage);

  TAtomicFile file(out);
  THpiFileOutput output(file);
  THpiArchiveOptions archive;
  archive.HeaderKey = options.HeaderKey;
  THpiPackResult result;
  WriteHpi(root, output, archive, [&](const THpiTreeEntry& entry) -> THpiPieceReader {
    const THpiPackFile& scanned = tree.Files[entry.Source];
    auto in = std::make_shared<TFileHandle>(OpenScannedFile(scanned));
    ++result.Files;
    result.Bytes += scanned.Size;
    return [in, &scanned](uint8_t* into, size_t size) { ReadPiece(*in, scanned, into, size); };
  });
  result.ArchiveBytes = file.Position();
  file.Commit();
  return result;
}
