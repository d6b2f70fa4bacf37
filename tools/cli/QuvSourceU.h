#pragma once
// Opening a Quv file for the commands as the viewer's window does: a file system of its own
// that holds the file, and a manager of its own that loads it.
#include <cstdint>
#include <memory>
#include <string>

#include "FileSystemU.h"
#include "QuvManagerU.h"

struct TQuvSource {
  std::unique_ptr<TFileSystem> FileSystem;
  std::unique_ptr<TQuvManager> Manager;  // freed before the file system it reads from
  TQuvImages* Images = nullptr;          // registered in Manager
  std::string FileName;                  // the name the manager loaded
  std::string Path;                      // as given

  TQuvSource() = default;
  TQuvSource(TQuvSource&&) = default;
  TQuvSource& operator=(TQuvSource&&) = default;
  ~TQuvSource();
};

// Mounts the file's folder with the file's name as the only mask, and loads the file. Raises
// the load's error ("Could not find %s", the format's messages).
TQuvSource OpenQuvSource(const std::string& path, uint8_t transparentIndex = 9);
