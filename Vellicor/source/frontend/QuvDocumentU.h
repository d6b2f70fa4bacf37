#pragma once
// The one way a Quv file is opened, by the viewer's windows and the command-line tool alike: a
// path on disk, or one that runs through an archive file ("data/units.hpi/anims/tank.quv").
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "FileSystemU.h"
#include "ImageLoaderU.h"
#include "QuvManagerU.h"

// An open Quv file with what reads it: a file system of its own that holds the file (or the
// archive it lies in), a manager of its own that loaded it, and the front-end objects over it.
struct TQuvDocument {
  TQuvDocument() = default;
  TQuvDocument(const TQuvDocument&) = delete;
  TQuvDocument& operator=(const TQuvDocument&) = delete;
  ~TQuvDocument();  // front-end objects, collection, manager, file system: in that order

  std::unique_ptr<TFileSystem> FileSystem;
  std::unique_ptr<TQuvManager> Manager;
  TQuvImages* Images = nullptr;  // registered in Manager; the document holds one reference
  std::unique_ptr<TFrontEndImages> FrontEnd;
  std::string Path;      // as given
  std::string OpenName;  // what the manager loaded: the file's name, or the path inside the archive
  bool InArchive = false;
};

struct TQuvDocumentOptions {
  TPalette Palette{};
  uint8_t TransparentIndex = 9;
  bool TrueColour = false;  // frames converted for display (the viewer), not only indexed
  // Told once the file is mounted, before it is read (what the viewer's status line shows).
  std::function<void(const TQuvDocument& document)> OnLoading;
};

struct TQuvDocumentResult {
  std::unique_ptr<TQuvDocument> Document;
  std::string Error;  // the reason, when there is no document
};

// Mounts the file's folder with the file's name as the only mask, or the archive the path runs
// through, and loads the file. A failure gives no document and the error's own words: "Can not
// find file path "%s".", "Could not find %s", the archive's and the format's messages.
TQuvDocumentResult OpenQuvDocument(const std::string& path, const TQuvDocumentOptions& options);
