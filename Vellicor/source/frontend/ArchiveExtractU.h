#pragma once
// Writing files of a mounted archive out to a disk folder: where each one goes, refusing names
// that would leave that folder, and its bytes.
#include <cstdint>
#include <filesystem>
#include <vector>

class TEntry;
class TFileEntry;

// The disk path of node under folder, made of its names below base (the tree's root when null).
// False when one of those names would leave the folder; target is then incomplete.
bool ExtractTarget(const TEntry& node, const TEntry* base, const std::filesystem::path& folder,
                   std::filesystem::path& target);

// The files of entry in listing order: the file itself, or every file below a folder.
void CollectFiles(TEntry& entry, std::vector<TFileEntry*>& files);

// The whole file read through a reader of its own; raises what the reader raises for a broken
// entry, and EReadError when the file ends before its size.
std::vector<uint8_t> ReadEntryBytes(TFileEntry& file);
