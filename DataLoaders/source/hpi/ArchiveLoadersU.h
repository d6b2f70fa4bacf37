#pragma once
// Every archive loader the program knows, registered with a file system in one place, so that
// the viewer's windows, the picker and the command-line tool all read the same archives.
#include <memory>
#include <string>

#include "FileSystemU.h"

// Registers each known loader with fileSystem (a loader whose signature is taken is skipped).
void RegisterArchiveLoaders(TFileSystem& fileSystem);

// A fresh, started file system with every archive loader registered.
std::unique_ptr<TFileSystem> MakeArchiveFileSystem();

// Whether a disk file is an archive, whatever its name says: a registered loader knows its
// signature. An archive of a version no loader reads counts too, so that mounting it tells
// why it cannot be read. A file that cannot be opened, a folder or a fifo is none (a fifo is
// never waited on).
bool IsArchiveFile(const std::string& diskPath);
