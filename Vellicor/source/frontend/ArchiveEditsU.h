#pragma once
// The pending changes of one HPI archive: files and folders added from disk, files replaced,
// entries renamed, deleted and folders made, held until Save rewrites the archive in one go.
// Until then the archive on disk is untouched; the listing shows it as it will be, each entry
// marked with what happens to it.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "HpiPackU.h"
#include "HpiRewriteU.h"

// What a pending change does to an entry of the listing.
enum class TEntryMark : uint8_t { Unchanged, Added, Replaced, Renamed, Deleted };

// "added", "replaced", "renamed", "deleted", "" for unchanged.
const char* EntryMarkName(TEntryMark mark);

struct TEditedEntry {
  std::string Path;  // inner path, '/' between parts, as it will be (deleted: as it was)
  bool IsFolder = false;
  int64_t Size = 0;  // files: their length after the changes
  TEntryMark Mark = TEntryMark::Unchanged;
  std::string OldPath;  // renamed: where the entry was
};

class TArchiveEdits {
 public:
  // Reads the archive's listing (not its files); raises Exception "Cannot read "ARCHIVE":
  // REASON" when it is no archive or a damaged one.
  explicit TArchiveEdits(std::string archive);

  const std::string& Archive() const { return FArchive; }
  // True while changes wait for Save.
  bool Modified() const { return !FChanges.empty(); }

  // How files that are new to the archive are stored (default LZ77); replaced files keep the
  // storage they had.
  void SetCompression(THpiPackCompression compression) { FCompression = compression; }
  THpiPackCompression Compression() const { return FCompression; }

  // Each change below raises Exception "Cannot rewrite "ARCHIVE": REASON" and changes nothing
  // when it cannot apply: a name that would leave the archive ("..", ".", empty parts, an
  // absolute path), a missing entry, a file where a folder is needed or the reverse, a rename
  // onto an existing entry. Inner paths have '/' or '\\' between parts and match without regard
  // to case; a folder "" is the root.

  // A disk file or folder (by its own name, with everything below it; links that lead out of
  // it are refused) put into the inner folder; files already there are replaced. The bytes are
  // read now. The number of files put.
  int AddFromDisk(const std::string& diskPath, const std::string& innerFolder);
  // Puts content at the inner path: a new file, or the replacement of the file there.
  void Put(const std::string& innerPath, std::vector<uint8_t> content);
  // Replaces an existing file with a disk file's content.
  void Replace(const std::string& innerPath, const std::string& diskPath);
  void Rename(const std::string& from, const std::string& to);
  void Delete(const std::string& innerPath);
  void MakeFolder(const std::string& innerPath);

  // The archive as it will be after Save: folders and files sorted by path without regard to
  // case, a folder before its content; deleted entries are listed too, at the path they had,
  // while nothing else stands there.
  std::vector<TEditedEntry> Listing() const;
  // The entry at an inner path as it will be (null: none, or deleted).
  const TEditedEntry* Find(const std::string& innerPath) const;

  // Rewrites the archive with the changes (RewriteHpiArchive); afterwards nothing is pending
  // and the listing is the new archive's. A failure raises the reason and leaves the archive on
  // disk and the pending changes as they were.
  void Save();

 private:
  // The names of an inner path, each a plain name; the root ("") has none when allowed.
  std::vector<std::string> Parts(const std::string& innerPath, bool rootAllowed = false) const;
  [[noreturn]] void Refuse(const std::string& reason) const;
  static std::string Key(const std::string& path);
  void ReadListing();
  // The entry at the first count parts (null: none).
  TEditedEntry* At(const std::vector<std::string>& parts, size_t count);
  // The folders of the first count parts, made (marked added) where missing.
  void MakeFolders(const std::vector<std::string>& parts, size_t count);
  void PutParts(const std::vector<std::string>& parts, std::vector<uint8_t> content);
  int AddFolderFromDisk(const std::string& diskPath, std::vector<std::string> base);
  // Runs a change so that a failure part way leaves everything as before it.
  template <class TChange>
  auto Atomically(const TChange& change);

  std::string FArchive;
  THpiPackCompression FCompression = THpiPackCompression::LZ77;
  std::vector<THpiChange> FChanges;
  std::map<std::string, TEditedEntry> FLive;  // by lower-case path
  std::map<std::string, TEditedEntry> FGone;  // deleted, by lower-case path
};
