#pragma once
// Changing the entries of an HPI archive: files put, removed or renamed, and the archive written
// anew beside the old one and renamed over it. What the changes leave alone keeps its stored
// bytes: it is copied, never decompressed and compressed again.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "HpiBuilderU.h"

// One change of an archive. Inner paths have '/' (or '\\') between their parts, and their names
// match the archive's without regard to case, as the loader's tree matches them.
struct THpiChange {
  enum class TKind : uint8_t { Put, Remove, Rename, MakeFolder };
  TKind Kind = TKind::Put;
  // The entry: a file, or for Remove and Rename also a folder; MakeFolder: the folder, made with
  // its missing parents (one already there is left as it is).
  std::string Path;
  std::string NewPath;        // Rename: where it goes (missing parent folders are made)
  std::vector<uint8_t> Data;  // Put: the file's new content
  // Put of a new file: how it is stored (absent: LZ77 chunks, as "hpi pack" stores by default).
  // A file that is replaced keeps its storage: stored or chunked, the kind of its first chunk
  // (LZ77, zlib, stored or plain) and the payload scrambling.
  std::optional<THpiFileOptions> Options;
};

// The names of an inner path ('/' or '\\' between them); none when one of them is not a plain
// name (empty, "." or "..") and the path would leave the archive.
std::vector<std::string> InnerPathParts(const std::string& path);

// Applies the changes in order and writes the archive under a temporary name in its folder,
// renamed over the old one when complete; the header key stays. Nothing is written unless every
// change applies. Raises Exception naming the archive and the reason, leaving the old archive
// byte for byte as it was:
// - "Cannot read "ARCHIVE": REASON": it is no archive, or a damaged one (a file entry whose data
//   it cannot hold, stored data of several entries overlapping);
// - "Cannot rewrite "ARCHIVE": REASON": a change that cannot apply (a name that would leave the
//   archive: empty parts, "." or ".."; an entry to remove or rename that is not there; a file
//   where a folder is needed and the reverse; a Rename onto an existing entry);
// - "Cannot write "ARCHIVE": REASON" (EDiskFileError, the system's reason): a full disk, a
//   read-only folder.
void RewriteHpiArchive(const std::string& archive, const std::vector<THpiChange>& changes);
