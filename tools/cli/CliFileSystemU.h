#pragma once
// The virtual file system the vellicor-cli commands mount their input into, with every archive
// loader the tool knows registered.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FileSystemU.h"

// Archive loaders join every command's file system by registering a factory, from their own
// file: `static TCliLoader hpiLoader([](TFileSystem* fs) { return std::make_unique<...>(fs); });`
using TCliLoaderFactory = std::function<std::unique_ptr<TLibLoader>(TFileSystem* fileSystem)>;
struct TCliLoader {
  explicit TCliLoader(TCliLoaderFactory factory);
};
std::vector<TCliLoaderFactory>& CliLoaderFactories();

// A fresh, started file system with every registered archive loader.
std::unique_ptr<TFileSystem> MakeCliFileSystem();

// Mounts a disk folder and its sub-folders at the root of the tree, taking the files that match
// mask. Archives among them stay listed as files of their folders, and the loaders merge their
// content into the root. Raises an error when the folder cannot be read.
void MountCliFolder(TFileSystem& fileSystem, const std::string& folder,
                    const std::string& mask = "*");
