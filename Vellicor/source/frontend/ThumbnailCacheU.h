#pragma once
// Thumbnails kept on disk between runs, in a folder of the user's cache, so that a folder seen
// before shows at once. An entry is found by everything its picture depends on: the disk file
// it comes from with what changes when that file is rewritten (size, modification time,
// inode), the path inside an archive, the size and the colours. A rewritten archive so gives
// new keys and its thumbnails are made anew. Each entry is a PNG file written atomically that
// carries its whole key; a file whose key differs (two keys of one hash), or that cannot be
// decoded, is no entry. Files that cannot be read are kept too, with the reason, so that a
// broken file is not decoded again on every visit.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "GameFolderU.h"
#include "ImageManagerU.h"
#include "PictureU.h"
#include "QuvSaveU.h"
#include "SafeFileU.h"

// How the thumbnails look: at most Side x Side pixels, coloured with Palette, TransparentIndex
// empty.
struct TThumbnailLook {
  int32_t Side = 96;
  TPalette Palette{};
  uint8_t TransparentIndex = 9;
};

// The facts an entry depends on, as one text (one "name=value" per line, control characters
// and '%' written as %XX).
struct TThumbnailKey {
  std::string Text;
  // The entry's file name in the cache folder: a hash of Text.
  std::string FileName() const;
  bool operator==(const TThumbnailKey&) const = default;
};

// The key of the thumbnail of origin's file, whose disk file (the archive, or the file itself)
// has the given stamp.
TThumbnailKey ThumbnailKeyOf(const TFileOrigin& origin, const TFileStamp& stamp,
                             const TThumbnailLook& look);

// An entry: the picture, or why the file cannot be read.
struct TCachedThumbnail {
  TPicture Rgba;        // 4 bytes per pixel; empty when Failure is set
  std::string Failure;  // "" when there is a picture
};

// More pictures than a user looks through in months; past it the oldest go, a tenth at a time.
inline constexpr size_t DefaultMaxThumbnailFiles = 20000;

class TThumbnailCache {
 public:
  // folder: where the entries lie (the program's is VellicorThumbnailDir()), made on the first
  // store.
  explicit TThumbnailCache(std::string folder, size_t maxFiles = DefaultMaxThumbnailFiles);
  TThumbnailCache(const TThumbnailCache&) = delete;
  TThumbnailCache& operator=(const TThumbnailCache&) = delete;

  const std::string& Folder() const { return FFolder; }

  // The entry stored for key; nullopt when there is none, when its file is broken or holds
  // another key. Any thread may call it.
  std::optional<TCachedThumbnail> Find(const TThumbnailKey& key);
  // Keeps the entry; a failure is also kept in memory, so that it holds for this run when the
  // folder cannot be written. False when the file cannot be written (the cache is then only
  // slower). Any thread may call it.
  bool Store(const TThumbnailKey& key, const TCachedThumbnail& entry);

 private:
  // The folder, open (and made) once for every store.
  std::shared_ptr<const TOutputFolder> Output();
  void CountFiles();
  void Trim();

  std::string FFolder;
  size_t FMaxFiles;
  std::mutex FLock;                                        // guards what follows
  std::unordered_map<std::string, std::string> FFailures;  // key text -> reason
  std::optional<size_t> FFileCount;  // entries in the folder, counted on the first store
  std::shared_ptr<const TOutputFolder> FOutput;
};
