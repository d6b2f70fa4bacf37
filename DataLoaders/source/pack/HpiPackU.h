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

enum class THpiPackCompression : uint8_t { None, LZ77, ZLib };

struct THpiPackOptions {
  THpiPackCompression Compression = THpiPackCompression::LZ77;
  uint32_t HeaderKey = 0;
  int ZLibLevel = 6;
};

// A file the scan saw.
struct THpiPackFile {
  std::string DiskPath;  // where the bytes are, as a real path (no link at its end)
  uint64_t Device = 0;   // the one the scan saw, which the writer must find again
  uint64_t Inode = 0;
  int64_t Size = 0;
};

// A scanned folder: its tree, children sorted by name, and the file each file entry's Source
// numbers in Files.
struct THpiPackTree {
  THpiTreeEntry Root;
  std::vector<THpiPackFile> Files;
};

// Scans folder; raises Exception naming the offending path for a file of 2 GiB or more, a name
// the archive cannot hold (a backslash, two names equal but for case), a symbolic link that
// leads out of the folder, back into its own parents (a loop) or to a folder, a folder of more
// than HpiPackMaxFolderEntries entries, anything that is neither file nor folder (a fifo), or
// anything that cannot be read.
THpiPackTree ScanHpiFolder(const std::string& folder);

// How "hpi pack" stores every file for a compression: stored, or in LZ77 or zlib chunks.
THpiFileOptions HpiPackFileOptions(THpiPackCompression compression, int zlibLevel = 6);

// The whole content of a file the scan saw; raises as the writer does when it was replaced or
// changed its size since the scan, or cannot be read.
std::vector<uint8_t> ReadHpiPackFile(const THpiPackFile& file);

struct THpiPackResult {
  int64_t Files = 0;
  int64_t Bytes = 0;         // of the files
  int64_t ArchiveBytes = 0;  // written
};

// Writes the archive of the scanned tree to out (under a temporary name, renamed when done).
THpiPackResult WriteHpiArchive(const THpiPackTree& tree, const std::string& out,
                               const THpiPackOptions& options);
