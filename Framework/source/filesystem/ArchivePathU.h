#pragma once
// Splits a disk path that runs into an archive file into the archive and the path inside it.
#include <string>

// path: the folder part of a file name; innerPath: the whole file name. Walks path from its
// start, one part at a time. When a part names an existing file, that file is the archive:
// archiveFile gets the disk path up to it, innerOut the rest of path joined with the file-name
// part of innerPath (tree separators), and the answer is true. When every part is a folder the
// answer is false (a plain disk file). A part that is neither raises
// Exception "Can not find file path "%s"." with path as given. Disk paths use '/', and '\\' is
// accepted as well.
bool ResolveArchivePath(const std::string& path, const std::string& innerPath,
                        std::string& archiveFile, std::string& innerOut);
