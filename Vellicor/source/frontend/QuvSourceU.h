#pragma once
// Opening a Quv file for the commands as the viewer's window does, with the process palette;
// the files of a batch through their folders and archives, each mounted once.
#include <cstdint>
#include <memory>
#include <string>

#include "QuvDocumentU.h"

// The open document; raises the reason it could not be opened ("Can not find file path "%s".",
// "Could not find %s", the archive's and the format's messages).
std::unique_ptr<TQuvDocument> OpenQuvSource(const std::string& path);

// Opens the files of a batch through the folder or archive each lies in. That container is
// mounted when the first of its files is asked for, and kept while the files asked for come
// from it (a batch lists each container's files in a row). A tree serves one thread: each
// thread has sources of its own. Files are drawn with the palette given here.
class TQuvSources {
 public:
  TQuvSources(const TPalette& palette, uint8_t transparentIndex);

  // inner: the file's name in the folder, or its path inside the archive. Raises as
  // OpenQuvSource does, or why the container cannot be mounted.
  std::unique_ptr<TQuvDocument> Open(const std::string& container, bool archive,
                                     const std::string& inner);
  // A file given alone, mounted for itself: as OpenQuvSource, with this palette.
  std::unique_ptr<TQuvDocument> OpenFile(const std::string& path);

 private:
  TPalette FPalette;
  uint8_t FTransparentIndex;
  std::string FContainer;
  bool FArchive = false;
  TQuvMount FMount;
  std::string FError;  // why the container could not be mounted, told to each of its files
};
