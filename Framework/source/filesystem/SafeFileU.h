#pragma once
// Reading and writing disk files so that a hostile or careless folder cannot redirect, stall or
// half-write them. Every writer of the programs goes through here:
// - a file is written under a temporary name in its folder and renamed into place when it is
//   complete, so a failure (a full disk, a crash) leaves no partial file and the old file intact;
// - below a folder the user chose, no component is followed through a symbolic link: folders
//   are opened with O_NOFOLLOW | O_DIRECTORY one by one, files are created relative to their
//   folder's descriptor, and a link met on the way is refused with its name;
// - a file is read only when it is a regular file: it is opened with O_NONBLOCK, so a fifo
//   never blocks, and checked with fstat before the first byte is read.
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ExceptionsU.h"

// A disk file that cannot be read or written. The message names the file and the reason;
// Path and Code (an errno value, 0 when the reason is not one) say the same to a program.
class EDiskFileError : public EInOutError {
 public:
  EDiskFileError(const std::string& message, std::string path, int code,
                 TSourceLocation where = TSourceLocation::current())
      : EInOutError(message, where), Path(std::move(path)), Code(code) {}
  std::string Path;
  int Code;
};

// What a non-regular file is, in words: "a folder", "a fifo", "a socket", "a device".
std::string FileKindName(mode_t mode);

// Why path cannot be opened for reading, given the errno of the attempt: "permission denied",
// "it is a dangling symbolic link", "it does not exist", ...
std::string ReadFailureReason(const std::string& path, int code);

// An open descriptor that closes itself.
class TFileHandle {
 public:
  TFileHandle() = default;
  explicit TFileHandle(int fd) : FFd(fd) {}
  TFileHandle(TFileHandle&& other) noexcept : FFd(other.Release()) {}
  TFileHandle& operator=(TFileHandle&& other) noexcept;
  TFileHandle(const TFileHandle&) = delete;
  TFileHandle& operator=(const TFileHandle&) = delete;
  ~TFileHandle();
  int Fd() const { return FFd; }
  explicit operator bool() const { return FFd >= 0; }
  int Release() {
    const int fd = FFd;
    FFd = -1;
    return fd;
  }

 private:
  int FFd = -1;
};

// ---- Reading ----

enum class TLinkPolicy : uint8_t {
  Follow,  // a path the user named: its links are theirs
  Refuse,  // a file met inside a tree: its last component must not be a link
};

// Opens path for reading without blocking on a fifo and checks that it is a regular file;
// info receives its fstat. Raises EDiskFileError "Cannot read "PATH": REASON" (REASON from
// ReadFailureReason, or "it is a fifo, not a file" and the like).
TFileHandle OpenRegularFile(const std::string& path, TLinkPolicy links,
                            struct stat* info = nullptr);
// The same, relative to an open folder (name is one component).
TFileHandle OpenRegularFileAt(int folderFd, const std::string& name, const std::string& shownPath,
                              TLinkPolicy links, struct stat* info = nullptr);

// Reads all of an open file; raises when it holds more than maxSize bytes ("PATH is larger
// than N bytes") or a read fails. Grown by what arrives, never by the size the file claims.
std::string ReadAllFrom(const TFileHandle& file, const std::string& shownPath, size_t maxSize);

// OpenRegularFile + ReadAllFrom.
std::string ReadRegularFile(const std::string& path, size_t maxSize,
                            TLinkPolicy links = TLinkPolicy::Follow);

// ---- Folders ----

// An open folder, the anchor of everything written below it.
class TOutputFolder {
 public:
  // Opens folder (following links: the user named it), first creating it and its missing
  // parents when create is set. Raises EDiskFileError naming the folder.
  static TOutputFolder Open(const std::string& folder, bool create = true);

  // The folder relative below this one (created when missing and create is set). Each
  // component is opened with O_NOFOLLOW | O_DIRECTORY: a symbolic link on the way is refused
  // ("PATH is a symbolic link; nothing is written through it"), as are "..", absolute paths and
  // components that are not folders.
  TOutputFolder Sub(const std::filesystem::path& relative, bool create = true) const;

  int Fd() const { return FHandle.Fd(); }
  const std::string& Path() const { return FPath; }
  // The disk path of name in this folder, as messages show it.
  std::string PathOf(std::string_view name) const;

 private:
  TFileHandle FHandle;
  std::string FPath;
};

// Everything a run writes below one folder the user chose (an extraction, a batch
// conversion): sub-folders are made and opened never through a link, and every file is
// written atomically. The folders used last stay open (a bounded number, so a tree of any size
// never runs out of descriptors), so files written in a row into one folder open it once. Safe
// to use from several threads at once.
class TOutputTree {
 public:
  explicit TOutputTree(const std::string& root, bool create = true);
  ~TOutputTree();
  TOutputTree(const TOutputTree&) = delete;
  TOutputTree& operator=(const TOutputTree&) = delete;

  // The folder relative below the root, made when missing; raises EDiskFileError as
  // TOutputFolder::Sub does. It stays open while the caller holds it.
  std::shared_ptr<const TOutputFolder> Folder(const std::filesystem::path& relative);
  // Writes content as the file relative below the root (its folders made first).
  void Write(const std::filesystem::path& relative, std::string_view content);
  const TOutputFolder& Root() const;

 private:
  struct TState;
  std::unique_ptr<TState> FState;
};

// ---- Writing ----

enum class TDurability : uint8_t {
  Renamed,  // complete before it is renamed into place; the kernel writes it back later
  Synced,   // also flushed to the disk with its folder before the call returns (settings)
};

// A file written under a temporary name in its folder ("." + name + ".PID-N.part", created
// with O_EXCL | O_NOFOLLOW) and renamed over name by Commit. Without Commit, or when a write
// fails, the temporary file is removed and the target stays as it was. The rename replaces a
// symbolic link standing at name instead of writing through it. Errors are EDiskFileError
// "Cannot write "PATH": REASON".
class TAtomicFile {
 public:
  TAtomicFile(const TOutputFolder& folder, const std::string& name,
              TDurability durability = TDurability::Renamed);
  // The file at path: its folder is opened (and created) as TOutputFolder::Open does.
  explicit TAtomicFile(const std::string& path, TDurability durability = TDurability::Renamed);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  void Write(const void* data, size_t size);
  void WriteAt(int64_t position, const void* data, size_t size);
  int64_t Position() const { return FPosition; }
  // The new file's permissions before the umask (default 0666); an existing target's are kept.
  void Commit();
  const std::string& TargetPath() const { return FShownPath; }

 private:
  void Begin(TDurability durability);
  [[noreturn]] void Fail(int code);
  void Discard();

  TOutputFolder FFolder;
  std::string FName, FTemp, FShownPath;
  TFileHandle FFile;
  int64_t FPosition = 0;
  TDurability FDurability = TDurability::Renamed;
};

// The whole file in one call, atomically.
void WriteFileAtomically(const TOutputFolder& folder, const std::string& name,
                         std::string_view content, TDurability durability = TDurability::Renamed);
void WriteFileAtomically(const std::string& path, std::string_view content,
                         TDurability durability = TDurability::Renamed);

// For a reader that already holds the output open (a thumbnail service creates the file, keeps
// a descriptor and reads the picture back through it): when path is an existing regular file,
// its content is replaced in place (truncate, write, flush) and the same inode keeps the new
// bytes; otherwise the file is written atomically. A link at path is never written through.
void ReplaceFileContent(const std::string& path, std::string_view content);
