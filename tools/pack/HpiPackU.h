#pragma once
// Packing a disk folder's whole tree into an HPI archive, streamed file by file: the tree is
// scanned and checked first (sizes, names, links), so that a folder the format cannot hold is
// refused before anything is written; the directory goes first, then each file's data.
#include <cstdint>
#include <string>
#include <vector>

#include "HpiBuilderU.h"

// A folder may hold at most this many entries.
constexpr size_t HpiPackMaxFolderEntries = 65535;
// File sizes and data offsets of the format are below this.
constexpr int64_t HpiPackMaxOffset = int64_t{1} << 31;

enum class THpiPackCompression : uint8_t { None, LZ77, ZLib };

struct THpiPackOptions {
  THpiPackCompression Compression = THpiPackCompression::LZ77;
  uint32_t HeaderKey = 0;
  int ZLibLevel = 6;
};

struct THpiPackEntry {
  std::string Name;
  std::string DiskPath;  // files: where the bytes are, as a real path (no link at its end)
  uint64_t Device = 0;   // files: the one the scan saw, which the writer must find again
  uint64_t Inode = 0;
  bool IsDirectory = false;
  int64_t Size = 0;
  std::vector<THpiPackEntry> Children;  // sorted by name
};

// Scans folder; raises Exception naming the offending path for a file of 2 GiB or more, a name
// the archive cannot hold (a backslash, two names equal but for case), a symbolic link that
// leads out of the folder, back into its own parents (a loop) or to a folder, a folder of more
// than HpiPackMaxFolderEntries entries, anything that is neither file nor folder (a fifo), or
// anything that cannot be read.
THpiPackEntry ScanHpiFolder(const std::string& folder);

struct THpiPackResult {
  int64_t Files = 0;
  int64_t Bytes = 0;         // of the files
  int64_t ArchiveBytes = 0;  // written
};

// Writes the archive of the scanned tree to out (under a temporary name, renamed when done).
THpiPackResult WriteHpiArchive(const THpiPackEntry& root, const std::string& out,
                               const THpiPackOptions& options);
