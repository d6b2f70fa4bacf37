#include "SafeFileU.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <list>
#include <map>
#include <mutex>

#include "StringUtilsU.h"

namespace {

[[noreturn]] void Raise(const std::string& path, int code, const std::string& reason,
                        const char* verb = "read") {
  throw EDiskFileError(Format("Cannot %s \"%s\": %s", verb, path.c_str(), reason.c_str()), path,
                       code);
}

[[noreturn]] void RaiseWrite(const std::string& path, int code) {
  Raise(path, code, std::strerror(code), "write");
}

bool WriteAll(int fd, const void* data, size_t size, int64_t position) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t written = ::pwrite(fd, p, size, off_t(position));
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) {
      errno = ENOSPC;
      return false;
    }
    p += written;
    size -= size_t(written);
    position += written;
  }
  return true;
}

std::string Joined(const std::string& folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  if (folder.back() == '/') return folder + std::string(name);
  return folder + "/" + std::string(name);
}

// A fresh name for the temporary file of name in this process.
std::string TemporaryName(const std::string& name) {
  static std::atomic<uint32_t> counter{0};
  // Kept short: the temporary name must stay within the folder's name-length limit.
  return Format(".%s.%d-%u.part", name.substr(0, 180).c_str(), int(::getpid()),
                unsigned(counter++));
}

bool SafeComponent(const std::string& part) {
  return !part.empty() && part != "." && part != ".." && part.find('/') == std::string::npos;
}

}  // namespace

std::string FileKindName(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a fifo";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISLNK(mode)) return "a symbolic link";
  if (S_ISREG(mode)) return "a file";
  return "not a file";
}

std::string ReadFailureReason(const std::string& path, int code) {
  struct stat info {};
  if (code == ENOENT && ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode))
    return "it is a dangling symbolic link";
  if (code == ELOOP) {
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return "it is a symbolic link";
    return "its path runs through a loop of symbolic links";
  }
  if (code == ENOENT) return "it does not exist";
  if (code == EACCES || code == EPERM) return "permission denied";
  if (code == ENOTDIR) return "a part of its path is not a folder";
  return std::strerror(code);
}

// ---- TFileHandle ----

TFileHandle& TFileHandle::operator=(TFileHandle&& other) noexcept {
  if (this != &other) {
    if (FFd >= 0) ::close(FFd);
    FFd = other.Release();
  }
  return *this;
}

TFileHandle::~TFileHandle() {
  if (FFd >= 0) ::close(FFd);
}

// ---- Reading ----

TFileHandle OpenRegularFileAt(int folderFd, const std::string& name, const std::string& shownPath,
                              TLinkPolicy links, struct stat* info) {
  int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  if (links == TLinkPolicy::Refuse) flags |= O_NOFOLLOW;
  TFileHandle file(::openat(folderFd, name.c_str(), flags));
  if (!file) {
    const int code = errno;
    if (code == ELOOP && links == TLinkPolicy::Refuse)
      Raise(shownPath, code, "it is a symbolic link");
    // The reason is worked out on the path the user sees; for a file met relative to a
    // folder that is the same file.
    Raise(shownPath, code, ReadFailureReason(folderFd == AT_FDCWD ? name : shownPath, code));
  }
  struct stat local {};
  struct stat& status = info ? *info : local;
  if (::fstat(file.Fd(), &status) != 0) Raise(shownPath, errno, std::strerror(errno));
  if (!S_ISREG(status.st_mode))
    Raise(shownPath, 0, "it is " + FileKindName(status.st_mode) + ", not a file");
  // Regular files never block; reads go on as usual.
  ::fcntl(file.Fd(), F_SETFL, ::fcntl(file.Fd(), F_GETFL) & ~O_NONBLOCK);
  return file;
}

TFileHandle OpenRegularFile(const std::string& path, TLinkPolicy links, struct stat* info) {
  return OpenRegularFileAt(AT_FDCWD, path, path, links, info);
}

std::string ReadAllFrom(const TFileHandle& file, const std::string& shownPath, size_t maxSize) {
  std::string data;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(file.Fd(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      Raise(shownPath, errno, std::strerror(errno));
    }
    if (got == 0) break;
    if (data.size() + size_t(got) > maxSize)
      throw EDiskFileError(Format("\"%s\" is larger than %zu bytes", shownPath.c_str(), maxSize),
                           shownPath, EFBIG);
    data.append(buffer, size_t(got));
  }
  return data;
}

std::string ReadRegularFile(const std::string& path, size_t maxSize, TLinkPolicy links) {
  return ReadAllFrom(OpenRegularFile(path, links), path, maxSize);
}

// ---- TOutputFolder ----

TOutputFolder TOutputFolder::Open(const std::string& folder, bool create) {
  const std::string path = folder.empty() ? std::string(".") : folder;
  if (create) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    // An error here shows again, with its reason, when the folder is opened below.
  }
  TOutputFolder result;
  result.FHandle = TFileHandle(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!result.FHandle) {
    const int code = errno;
    Raise(path, code, code == ENOTDIR ? "it is not a folder" : ReadFailureReason(path, code),
          "open folder");
  }
  result.FPath = folder;
  return result;
}

TOutputFolder TOutputFolder::Sub(const std::filesystem::path& relative, bool create) const {
  TOutputFolder result;
  result.FPath = FPath;
  result.FHandle = TFileHandle(::dup(Fd()));
  if (!result.FHandle) Raise(FPath, errno, std::strerror(errno), "open folder");
  if (relative.is_absolute())
    Raise(relative.string(), 0, "an absolute path leaves the output folder", "write into");
  for (const std::filesystem::path& component : relative) {
    const std::string part = component.string();
    if (part.empty() || part == ".") continue;
    const std::string shown = result.PathOf(part);
    if (!SafeComponent(part)) Raise(shown, 0, "the name leaves the output folder", "write into");
    if (create && ::mkdirat(result.Fd(), part.c_str(), 0777) != 0 && errno != EEXIST)
      Raise(shown, errno, std::strerror(errno), "create folder");
    TFileHandle next(
        ::openat(result.Fd(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!next) {
      const int code = errno;
      struct stat info {};
      if (::fstatat(result.Fd(), part.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(info.st_mode))
          throw EDiskFileError(
              Format("\"%s\" is a symbolic link; nothing is written through it", shown.c_str()),
              shown, ELOOP);
        if (!S_ISDIR(info.st_mode))
          Raise(shown, ENOTDIR, "it is " + FileKindName(info.st_mode) + ", not a folder",
                "write into");
      }
      Raise(shown, code, std::strerror(code), "open folder");
    }
    result.FHandle = std::move(next);
    result.FPath = shown;
  }
  return result;
}

std::string TOutputFolder::PathOf(std::string_view name) const {
  return Joined(FPath, name);
}

// ---- TAtomicFile ----

TAtomicFile::TAtomicFile(const TOutputFolder& folder, const std::string& name,
                         TDurability durability)
    : FFolder(folder.Sub("", false)), FName(name) {
  Begin(durability);
}

TAtomicFile::TAtomicFile(const std::string& path, TDurability durability) {
  const std::filesystem::path target(path);
  FName = target.filename().string();
  FFolder = TOutputFolder::Open(target.parent_path().string(), true);
  Begin(durability);
}

void TAtomicFile::Begin(TDurability durability) {
  FDurability = durability;
  FShownPath = FFolder.PathOf(FName);
  if (!SafeComponent(FName)) Raise(FShownPath, 0, "it is not a file name", "write");
  for (int attempt = 0; attempt < 100 && !FFile; ++attempt) {
    FTemp = TemporaryName(FName);
    FFile = TFileHandle(::openat(FFolder.Fd(), FTemp.c_str(),
                                 O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!FFile && errno != EEXIST) break;
  }
  if (!FFile) RaiseWrite(FShownPath, errno);
}

TAtomicFile::~TAtomicFile() {
  Discard();
}

void TAtomicFile::Discard() {
  if (!FFile) return;
  FFile = TFileHandle();
  ::unlinkat(FFolder.Fd(), FTemp.c_str(), 0);
}

void TAtomicFile::Fail(int code) {
  Discard();
  RaiseWrite(FShownPath, code);
}

void TAtomicFile::WriteAt(int64_t position, const void* data, size_t size) {
  if (!FFile) RaiseWrite(FShownPath, EBADF);
  if (!WriteAll(FFile.Fd(), data, size, position)) Fail(errno);
}

void TAtomicFile::Write(const void* data, size_t size) {
  WriteAt(FPosition, data, size);
  FPosition += int64_t(size);
}

void TAtomicFile::Commit() {
  if (!FFile) RaiseWrite(FShownPath, EBADF);
  // An existing target keeps its permissions; a link standing there is replaced, not followed.
  struct stat old {};
  if (::fstatat(FFolder.Fd(), FName.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(old.st_mode))
    ::fchmod(FFile.Fd(), old.st_mode & 07777);
  if (FDurability == TDurability::Synced && ::fsync(FFile.Fd()) != 0) Fail(errno);
  const int fd = FFile.Release();
  if (::close(fd) != 0) {
    const int code = errno;
    ::unlinkat(FFolder.Fd(), FTemp.c_str(), 0);
    RaiseWrite(FShownPath, code);
  }
  if (::renameat(FFolder.Fd(), FTemp.c_str(), FFolder.Fd(), FName.c_str()) != 0) {
    const int code = errno;
    ::unlinkat(FFolder.Fd(), FTemp.c_str(), 0);
    if (code == EISDIR || code == ENOTEMPTY || code == EEXIST)
      Raise(FShownPath, code, "a folder of that name stands there", "write");
    RaiseWrite(FShownPath, code);
  }
  if (FDurability == TDurability::Synced) ::fsync(FFolder.Fd());  // the rename itself; best effort
}

void WriteFileAtomically(const TOutputFolder& folder, const std::string& name,
                         std::string_view content, TDurability durability) {
  TAtomicFile file(folder, name, durability);
  file.Write(content.data(), content.size());
  file.Commit();
}

void WriteFileAtomically(const std::string& path, std::string_view content,
                         TDurability durability) {
  TAtomicFile file(path, durability);
  file.Write(content.data(), content.size());
  file.Commit();
}

void ReplaceFileContent(const std::string& path, std::string_view content) {
  TFileHandle file(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat info {};
  if (!file || ::fstat(file.Fd(), &info) != 0 || !S_ISREG(info.st_mode))
    return WriteFileAtomically(path, content);
  if (::ftruncate(file.Fd(), 0) != 0) RaiseWrite(path, errno);
  if (!WriteAll(file.Fd(), content.data(), content.size(), 0) || ::fsync(file.Fd()) != 0) {
    const int code = errno;
    // No half picture stays behind: the file is left empty, as the service created it.
    const int emptied = ::ftruncate(file.Fd(), 0);
    static_cast<void>(emptied);
    RaiseWrite(path, code);
  }
}

// ---- TOutputTree ----

struct TOutputTree::TState {
  using TFolder = std::shared_ptr<const TOutputFolder>;
  // Open folders kept at most; each holds a descriptor.
  static constexpr size_t MaxOpen = 64;

  TOutputFolder Root;
  std::mutex Lock;  // guards Open and Recent
  std::map<std::string, std::pair<TFolder, std::list<std::string>::iterator>> Open;
  std::list<std::string> Recent;  // most recently used first

  TFolder Find(const std::string& key) {
    auto found = Open.find(key);
    if (found == Open.end()) return nullptr;
    Recent.splice(Recent.begin(), Recent, found->second.second);
    return found->second.first;
  }

  void Keep(const std::string& key, TFolder folder) {
    Recent.push_front(key);
    Open[key] = {std::move(folder), Recent.begin()};
    if (Recent.size() > MaxOpen) {
      Open.erase(Recent.back());
      Recent.pop_back();
    }
  }
};

TOutputTree::TOutputTree(const std::string& root, bool create) : FState(new TState) {
  FState->Root = TOutputFolder::Open(root, create);
}

TOutputTree::~TOutputTree() = default;

const TOutputFolder& TOutputTree::Root() const {
  return FState->Root;
}

std::shared_ptr<const TOutputFolder> TOutputTree::Folder(const std::filesystem::path& relative) {
  const std::string key = relative.lexically_normal().string();
  std::lock_guard<std::mutex> guard(FState->Lock);
  if (auto folder = FState->Find(key)) return folder;
  // A parent still open is the start, so folders written in a row open each one once.
  const std::filesystem::path parent = relative.parent_path();
  const auto known = parent.empty() ? nullptr : FState->Find(parent.lexically_normal().string());
  auto folder = std::make_shared<const TOutputFolder>(known ? known->Sub(relative.filename(), true)
                                                            : FState->Root.Sub(relative, true));
  FState->Keep(key, folder);
  return folder;
}

void TOutputTree::Write(const std::filesystem::path& relative, std::string_view content) {
  const auto folder = Folder(relative.parent_path());
  WriteFileAtomically(*folder, relative.filename().string(), content);
}
