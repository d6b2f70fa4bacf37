#pragma once
// Mounting a whole disk folder for the vellicor-cli commands.
#include <string>

#include "FileSystemU.h"

// Mounts a disk folder and its sub-folders at the root of the tree, taking the files that match
// mask. Archives among them stay listed as files of their folders, and the loaders merge their
// content into the root. Raises an error when the folder cannot be read.
void MountCliFolder(TFileSystem& fileSystem, const std::string& folder,
                    const std::string& mask = "*");
