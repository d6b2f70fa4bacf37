#pragma once
// Every archive loader the program knows, registered with a file system in one place, so that
// the viewer's windows, the picker and the command-line tool all read the same archives.
#include <memory>

#include "FileSystemU.h"

// Registers each known loader with fileSystem (a loader whose signature is taken is skipped).
void RegisterArchiveLoaders(TFileSystem& fileSystem);

// A fresh, started file system with every archive loader registered.
std::unique_ptr<TFileSystem> MakeArchiveFileSystem();
