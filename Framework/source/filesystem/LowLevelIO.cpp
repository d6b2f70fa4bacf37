#include "LowLevelIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>

#include "ExceptionsU.h"
#include "LogLevelU.h"
#include "StringUtilsU.h"

namespace {

// The file handle of the table's file open, over a POSIX descriptor.
class TWin32FileHandle : public IFileHandle {
 public:
  TWin32FileHandle(const std::string& path, uint8_t flags);
  ~TWin32FileHandle() override {
    if (FHandle >= 0) ::close(FHandle);
  }

  int64_t Size() override {
    struct stat info {};
    return ::fstat(FHandle, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
  }
  int64_t SetPosition(int64_t position) override { return Seek(position, 0); }
  int64_t Seek(int64_t offset, int origin) override {
    const int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    return static_cast<int64_t>(::lseek(FHandle, static_cast<off_t>(offset), whence));
  }
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t ReadAt(int64_t position, void* buffer, int64_t count) override;

 private:
  int FHandle = -1;
};

// Maps the handle flags onto open(2). The share bits (16 to 128) have no meaning for POSIX
// descriptors: they are accepted and ignored.
int OpenFlags(uint8_t flags) {
  bool read = false, write = false, create = false, truncate = false;
  if (flags & hfCreateAlways) write = create = truncate = true;
  if (flags & hfRead) {
    read = true;
    write = false;
  }
  if (flags & hfTruncate) write = truncate = true;
  if (flags & hfReadWrite) read = write = true;
  if (!read && !write) read = true;  // a handle without access can still be queried and read
  int result = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  if (create) result |= O_CREAT;
  if (truncate) result |= O_TRUNC;
  // Non-blocking so that opening a FIFO never waits for a writer; regular files ignore it.
  return result | O_CLOEXEC | O_NONBLOCK;
}

TWin32FileHandle::TWin32FileHandle(const std::string& path, uint8_t flags) {
  const std::string diskPath = NormalizePath(path, PathDelim);
  int error = 0;
  FHandle = ::open(diskPath.c_str(), OpenFlags(flags), 0666);
  if (FHandle < 0) {
    error = errno;
  } else {
    // A folder is not a file, even though POSIX lets it be opened for reading.
    struct stat info {};
    if (::fstat(FHandle, &info) != 0) {
      error = errno;
    } else if (S_ISDIR(info.st_mode)) {
      error = EISDIR;
    }
    if (error != 0) {
      ::close(FHandle);
      FHandle = -1;
    }
  }
  if (error != 0)
    throw EInOutError(Format("Unable to open file \"%s\":%s", path.c_str(), std::strerror(error)));
}

// read(2) and write(2) may move fewer bytes than asked or be interrupted: loop until all of it
// moved, the end was met, or an error came (reporting what moved before the error).
template <class TBytes, class TTransfer>
static int64_t TransferAll(TBytes* bytes, int64_t count, TTransfer transfer) {
  if (count < 0) return -1;
  int64_t total = 0;
  while (total < count) {
    const ssize_t n = transfer(bytes + total, static_cast<size_t>(count - total));
    if (n < 0) {
      if (errno == EINTR) continue;
      return total > 0 ? total : -1;
    }
    if (n == 0) break;
    total += n;
  }
  return total;
}

int64_t TWin32FileHandle::Read(void* buffer, int64_t count) {
  return TransferAll(static_cast<uint8_t*>(buffer), count,
                     [this](uint8_t* at, size_t n) { return ::read(FHandle, at, n); });
}

int64_t TWin32FileHandle::ReadAt(int64_t position, void* buffer, int64_t count) {
  if (position < 0) return -1;
  return TransferAll(static_cast<uint8_t*>(buffer), count, [&](uint8_t* at, size_t n) {
    return ::pread(FHandle, at, n,
                   static_cast<off_t>(position + (at - static_cast<uint8_t*>(buffer))));
  });
}

int64_t TWin32FileHandle::Write(const void* buffer, int64_t count) {
  return TransferAll(static_cast<const uint8_t*>(buffer), count,
                     [this](const uint8_t* at, size_t n) { return ::write(FHandle, at, n); });
}

// A running folder search; the folder stays open until the handle is released.
class TWin32SearchHandle : public ISearchHandle {
 public:
  TWin32SearchHandle(std::string folder, std::string mask, uint32_t attributes, DIR* dir)
      : FFolder(std::move(folder)), FMask(std::move(mask)), FAttributes(attributes), FDir(dir) {}
  ~TWin32SearchHandle() override { ::closedir(FDir); }

  bool FindNext(TFindFileData& data) override;

 private:
  std::string FFolder;
  std::string FMask;
  uint32_t FAttributes;
  DIR* FDir;
};

bool TWin32SearchHandle::FindNext(TFindFileData& data) {
  while (const dirent* entry = ::readdir(FDir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (::fnmatch(FMask.c_str(), name.c_str(), FNM_CASEFOLD) != 0) continue;
    // Follows links; a dangling link, a link loop or a file that vanished meanwhile is skipped.
    struct stat info {};
    if (::stat(JoinPath(FFolder, name, PathDelim).c_str(), &info) != 0) continue;
    uint32_t attributes = 0;
    if (S_ISDIR(info.st_mode)) {
      if (!(FAttributes & saDirectory)) continue;
      attributes = ffDirectory;
    } else if (S_ISREG(info.st_mode)) {
      // The nearest thing to a read-only attribute: nobody may write the file.
      const bool readOnly = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
      if (readOnly ? !(FAttributes & saReadOnly) : !(FAttributes & saNormal)) continue;
      attributes = readOnly ? static_cast<uint32_t>(ffReadOnly) : 0u;
    } else {
      continue;  // devices, sockets and pipes are not files to read
    }
    data.Name = name;
    data.Size = S_ISDIR(info.st_mode) ? 0 : static_cast<int64_t>(info.st_size);
    data.Attributes = attributes;
    return true;
  }
  return false;
}

std::unique_ptr<ISearchHandle> PosixFindFirst(const std::string& pattern, uint32_t attributes,
                                              TFindFileData& first) {
  const std::string path = ToDiskPath(pattern);
  std::string folder = ExtractFileDir(path);
  std::string mask = ExtractFileName(path);
  if (folder.empty()) folder = ".";
  // Every name matches "*.*", with or without a dot, as the desktop's own search has it.
  if (mask.empty() || mask == "*.*") mask = "*";
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return nullptr;
  auto handle = std::make_unique<TWin32SearchHandle>(folder, mask, attributes, dir);
  if (!handle->FindNext(first)) return nullptr;
  return handle;
}

IFileHandleRef PosixFileOpen(const std::string& path, uint8_t flags) {
  return std::make_shared<TWin32FileHandle>(path, flags);
}

bool StatPath(const std::string& path, struct stat& info) {
  return !path.empty() && ::stat(NormalizePath(path, PathDelim).c_str(), &info) == 0;
}

const char* Outcome(bool success) {
  return success ? "Success ." : "Failed.";
}

bool PosixFileExists(const std::string& path) {
  struct stat info {};
  const bool result = StatPath(path, info) && !S_ISDIR(info.st_mode);
  if (Platform().Log)
    Platform().Log(LogLevel::Info,
                   Format("Query for file \"%s\" exists; %s", path.c_str(), Outcome(result)));
  return result;
}

bool PosixDirectoryExists(const std::string& path) {
  struct stat info {};
  const bool result = StatPath(path, info) && S_ISDIR(info.st_mode);
  if (Platform().Log)
    Platform().Log(LogLevel::Info,
                   Format("Query for directory \"%s\" exists; %s", path.c_str(), Outcome(result)));
  return result;
}

bool PosixDirectoryUsable(const std::string& path) {
  struct stat info {};
  const bool result = StatPath(path, info) && S_ISDIR(info.st_mode) &&
                      ::access(NormalizePath(path, PathDelim).c_str(), R_OK | X_OK) == 0;
  if (Platform().Log)
    Platform().Log(LogLevel::Info, Format("Query for directory \"%s\" being usable; %s",
                                          path.c_str(), Outcome(result)));
  return result;
}

bool PosixCreateDirectory(const std::string& path) {
  const bool result = !path.empty() && ::mkdir(NormalizePath(path, PathDelim).c_str(), 0777) == 0;
  if (Platform().Log) {
    if (result)
      Platform().Log(LogLevel::Info, Format("Created Directory \"%s\".", path.c_str()));
    else
      Platform().Log(LogLevel::Info, Format("Failed to created Directory \"%s\".", path.c_str()));
  }
  return result;
}

bool PosixRemoveDirectory(const std::string& path) {
  const bool result = !path.empty() && ::rmdir(NormalizePath(path, PathDelim).c_str()) == 0;
  if (Platform().Log) {
    if (result)
      Platform().Log(LogLevel::Info, Format("Removed Directory \"%s\".", path.c_str()));
    else
      Platform().Log(LogLevel::Info, Format("Failed to remove Directory \"%s\".", path.c_str()));
  }
  return result;
}

// Mount points in /proc/mounts write blanks and other awkward characters as "\ooo" octal escapes.
std::string UnescapeMountPath(const std::string& text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      const std::string digits = text.substr(i + 1, 3);
      if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
        result += static_cast<char>(std::stoi(digits, nullptr, 8));
        i += 3;
        continue;
      }
    }
    result += text[i];
  }
  return result;
}

std::vector<std::string> PosixCDDriveList() {
  std::vector<std::string> drives;
  std::ifstream mounts("/proc/mounts");
  std::string device, mountPoint, type;
  std::string rest;
  while (mounts >> device >> mountPoint >> type) {
    std::getline(mounts, rest);
    if (type == "iso9660" || type == "udf") drives.push_back(UnescapeMountPath(mountPoint));
  }
  if (Platform().Log)
    Platform().Log(LogLevel::Info, Format("Query for all CD drives. %d CD drives found.",
                                          static_cast<int>(drives.size())));
  return drives;
}

uint32_t PosixTickCount() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

int64_t PosixHighResCounter() {
  using namespace std::chrono;
  return static_cast<int64_t>(
      duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count());
}

int64_t PosixHighResFrequency() {
  return 1000000000;
}

}  // namespace

void InstallPosixPlatform(TPlatformTable& table) {
  table.FindFirst = PosixFindFirst;
  table.FileOpen = PosixFileOpen;
  table.FileExists = PosixFileExists;
  table.DirectoryExists = PosixDirectoryExists;
  table.DirectoryUsable = PosixDirectoryUsable;
  table.CreateDirectory = PosixCreateDirectory;
  table.RemoveDirectory = PosixRemoveDirectory;
  table.CDDriveList = PosixCDDriveList;
  table.GetTickCount = PosixTickCount;
  table.HighResCounter = PosixHighResCounter;
  table.HighResFrequency = PosixHighResFrequency;
}

TPlatformTable& Platform() {
  static TPlatformTable table = [] {
    TPlatformTable posix;
    InstallPosixPlatform(posix);
    return posix;
  }();
  return table;
}
