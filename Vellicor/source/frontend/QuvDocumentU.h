#pragma once
// The one way a Quv file is opened, by the viewer's windows and the command-line tool alike: a
// path on disk, or one that runs through an archive file ("data/units.hpi/anims/tank.quv").
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "FileSystemU.h"
#include "ImageLoaderU.h"
#include "QuvEditU.h"
#include "QuvManagerU.h"
#include "QuvSaveU.h"

// A folder's Quv files, or an archive, mounted once for opening many of its files (a batch
// conversion). A tree serves one thread at a time: readers attach to its nodes as files open,
// and an archive's files share one reader of the archive. Each thread keeps mounts of its own.
struct TQuvMount {
  std::shared_ptr<TFileSystem> FileSystem;
  bool InArchive = false;
};

// The *.quv files of a disk folder (not those of its sub-folders), each opened by its name;
// names that differ in case alone are different files. Raises "Cannot read directory "%s"".
TQuvMount MountQuvFolder(const std::string& folder);
// An archive's content, each file opened by its path inside. Raises the archive's error, the
// reason it cannot be read, or ""%s" is not an archive: reason" for a file no loader takes.
TQuvMount MountQuvArchive(const std::string& archive);

// An open Quv file with what reads it: a file system that holds the file (or the archive it
// lies in), its own or a shared mount, a manager of its own that loaded it, and the front-end
// objects over it.
struct TQuvDocument {
  TQuvDocument() = default;
  TQuvDocument(const TQuvDocument&) = delete;
  TQuvDocument& operator=(const TQuvDocument&) = delete;
  ~TQuvDocument();  // front-end objects, collection, manager, file system: in that order

  std::shared_ptr<TFileSystem> FileSystem;
  std::unique_ptr<TQuvManager> Manager;
  TQuvImages* Images = nullptr;  // registered in Manager; the document holds one reference
  std::unique_ptr<TFrontEndImages> FrontEnd;
  std::string Path;      // as given
  std::string OpenName;  // what the manager loaded: the file's name, or its path in the tree
  bool InArchive = false;
  // Where the file was read from and is saved to (the file found, when its name was matched in
  // another letter case), and the stamp of that disk file (the Quv file, or the archive) when
  // it was opened, to tell whether it changed on disk since. Empty in a shared mount.
  TQuvSaveTarget SaveTarget;
  std::optional<TFileStamp> Stamp;
};

struct TQuvDocumentOptions {
  TPalette Palette{};
  uint8_t TransparentIndex = 9;
  bool TrueColour = false;  // frames converted for display (the viewer), not only indexed
  // Told once the file is mounted, before it is read (what the viewer's status line shows).
  std::function<void(const TQuvDocument& document)> OnLoading;
  // Where the file is already mounted: the path is then its path in that tree, and the
  // document shares the tree instead of mounting one of its own.
  TQuvMount Mount;
};

struct TQuvDocumentResult {
  std::unique_ptr<TQuvDocument> Document;
  std::string Error;  // the reason, when there is no document
};

// Mounts the file (a name in another letter case is found when the exact one is not there), or
// the archive the path runs through, unless options.Mount holds it already; and loads the file. A
// failure gives no document and the error's own words: "Can not find file path "%s".", "Could not
// find %s", the archive's and the format's messages.
TQuvDocumentResult OpenQuvDocument(const std::string& path, const TQuvDocumentOptions& options);

// The document's whole content, for an edit. A frame that cannot be read raises EImageFileError
// "NAME: Frame 4 of ‘tank’ cannot be read: REASON", as an export names it.
TQuvContent ReadDocumentContent(const TQuvDocument& document, uint8_t transparentIndex);

// The same file with other content (an edited file not yet saved): read from bytes in memory by
// the reader every file goes through, so what is shown is what a save writes. Path, OpenName,
// InArchive, SaveTarget and Stamp stay those of the original. Raises what reading the bytes raises.
std::unique_ptr<TQuvDocument> ReopenQuvDocument(const TQuvDocument& original,
                                                std::vector<uint8_t> bytes,
                                                const TQuvDocumentOptions& options);
