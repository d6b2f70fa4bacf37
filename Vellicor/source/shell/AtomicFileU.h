#pragma once
// Whole-file replacement that a crash or a full disk cannot leave half written: the new content
// goes to "<name>.tmp" beside the target, is flushed to the disk and then renamed over it.
#include <string>
#include <string_view>

// Writes `content` as the file `fileName`, creating missing parent folders. On failure the old
// file is left as it was, the temporary file is removed and `error` (when given) says why.
bool WriteFileAtomically(const std::string& fileName, std::string_view content,
                         std::string* error = nullptr);

// Reads a whole file; false when it cannot be opened or read. Files larger than `maxSize` are
// refused rather than loaded.
bool ReadWholeFile(const std::string& fileName, std::string& content,
                   size_t maxSize = 64u * 1024 * 1024);
