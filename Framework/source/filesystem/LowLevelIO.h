#pragma once
// The table of replaceable procedures through which the framework reaches the operating
// system, and the file and search handles behind it. Filled with the POSIX implementation at
// start-up; tests may replace entries.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SourceLocationU.h"

// Handle flags of a file open (a byte). The share bits have no POSIX meaning: they are accepted
// and ignored.
enum THandleFlags : uint8_t {
  hfCreateAlways = 1,  // write access, create always (else: open existing)
  hfRead = 2,          // read access (replaces the access chosen so far)
  hfTruncate = 4,      // write access, truncate existing
  hfReadWrite = 8,     // read and write access added
  hfShareNone = 16,
  hfShareWrite = 32,
  hfShareRead = 64,
  hfShareReadWrite = 128,
};

// Search attribute bits of FindFirst.
enum TSearchAttributes : uint32_t {
  saNormal = 1,     // normal files, hidden and archive ones included
  saReadOnly = 2,   // read-only files too
  saDirectory = 4,  // directories too
};

// One result of an operating-system search.
struct TFindFileData {
  std::string Name;
  int64_t Size = 0;
  uint32_t Attributes = 0;  // bit 0 read-only, bit 1 directory
};
enum TFindFileAttributes : uint32_t { ffReadOnly = 1, ffDirectory = 2 };

class IFileHandle {
 public:
  virtual ~IFileHandle() = default;  // releasing the last reference closes the file
  virtual int64_t Size() = 0;
  virtual int64_t SetPosition(int64_t position) = 0;  // from the start
  virtual int64_t Seek(int64_t offset, int origin) = 0;
  virtual int64_t Read(void* buffer, int64_t count) = 0;         // bytes read, -1 on error
  virtual int64_t Write(const void* buffer, int64_t count) = 0;  // bytes written, -1 on error
  // Reads at an absolute position; where the handle's own position ends up is unspecified.
  virtual int64_t ReadAt(int64_t position, void* buffer, int64_t count) {
    if (SetPosition(position) != position) return -1;
    return Read(buffer, count);
  }
};
using IFileHandleRef = std::shared_ptr<IFileHandle>;

class ISearchHandle {
 public:
  virtual ~ISearchHandle() = default;              // ends the search
  virtual bool FindNext(TFindFileData& data) = 0;  // false at the end
};

struct TPlatformTable {
  // Records of the platform calls (level, text). The console sets itself here when it is linked
  // in, so this unit does not depend on it; empty = no records.
  std::function<void(uint8_t level, const std::string& text)> Log;
  // Assertion handler (condition, message, location): does nothing when the condition holds.
  // The assertion unit installs its console handler here at start-up.
  std::function<void(bool condition, const std::string& message, const TSourceLocation& where)>
      AssertionHandler;
  // "Program: %s\nFile: %s\nProcedure: %s\nLine: %s\n" for a code location.
  std::function<std::string(const TSourceLocation& where)> LocationFormatter;
  // Search of a disk folder: pattern is a folder joined with a mask (the platform's wildcard
  // matching, letter case ignored). Null when nothing matches; else the handle and the first
  // result in `first`. Names "." and ".." are never returned.
  std::function<std::unique_ptr<ISearchHandle>(const std::string& pattern, uint32_t attributes,
                                               TFindFileData& first)>
      FindFirst;
  // Opens a file with handle flags; raises EInOutError "Unable to open file "%s":%s".
  std::function<IFileHandleRef(const std::string& path, uint8_t flags)> FileOpen;
  std::function<bool(const std::string& path)> FileExists;
  std::function<bool(const std::string& path)> DirectoryExists;
  std::function<bool(const std::string& path)> DirectoryUsable;  // exists and is readable
  std::function<bool(const std::string& path)> CreateDirectory;
  std::function<bool(const std::string& path)> RemoveDirectory;
  std::function<std::vector<std::string>()> CDDriveList;  // roots of mounted optical media
  std::function<uint32_t()> GetTickCount;                 // milliseconds
  std::function<int64_t()> HighResCounter;
  std::function<int64_t()> HighResFrequency;
};

// The process's platform table, filled with the POSIX implementation on first use.
TPlatformTable& Platform();
// Puts the POSIX implementation into every entry of the table.
void InstallPosixPlatform(TPlatformTable& table);
