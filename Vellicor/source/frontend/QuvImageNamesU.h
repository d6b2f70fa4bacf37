#pragma once
// The names of a Quv file's images, read from its header and image entries alone: what a search
// by image name needs, at a small part of the cost of loading the file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The names of the images the Quv reader would load from these bytes, in file order (entries
// it skips, and repeated names, left out). Only the header, the entry offset table and the
// entries are looked at, never past size. Raises EQuvFileError naming fileName, with the
// reader's words, for a file the reader refuses.
std::vector<std::string> QuvImageNames(const uint8_t* data, size_t size,
                                       const std::string& fileName);
