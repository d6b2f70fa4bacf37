#include "QuvDocumentU.h"

#include "ArchiveLoadersU.h"
#include "ImageManagerU.h"
#include "LoadMessagesU.h"
#include "LowLevelIO.h"
#include "MemoryFileReaderU.h"
#include "StringUtilsU.h"

TQuvDocument::~TQuvDocument() {
  FrontEnd.reset();
  if (Images) Images->Release();
  Images = nullptr;
  if (Manager) Manager->Finalize();
  Manager.reset();
  FileSystem.reset();  // a shared mount lives on with its other documents
}

TQuvMount MountQuvFolder(const std::string& folder) {
  if (!Platform().DirectoryUsable(folder))
    throw EInOutError(Format("Cannot read directory \"%s\"", folder.c_str()));
  TQuvMount mount{MakeArchiveFileSystem(), false};
  mount.FileSystem->MountDiskFolder(folder, "*.quv", 1);
  return mount;
}

TQuvMount MountQuvArchive(const std::string& archive) {
  TQuvMount mount{MakeArchiveFileSystem(), true};
  const TArchiveAnswer answer = mount.FileSystem->MountArchive(archive, 1);
  switch (answer.Kind) {
    case TArchiveAnswer::akLoaded:
    case TArchiveAnswer::akNothingNew:  // an empty archive
      return mount;
    case TArchiveAnswer::akNotMine:
      throw Exception(
          Format("\"%s\" is not an archive: %s", archive.c_str(), answer.Reason.c_str()));
    case TArchiveAnswer::akUnreadable:
      throw EInOutError(answer.Reason);
    case TArchiveAnswer::akMissing:
      break;
  }
  throw EInOutError(Format("Can not find file path \"%s\".", archive.c_str()));
}

namespace {

// Loads the file from the document's file system, which holds it.
std::unique_ptr<TQuvDocument> Load(std::unique_ptr<TQuvDocument> document,
                                   const TQuvDocumentOptions& options) {
  document->Manager = std::make_unique<TQuvManager>();
  document->Manager->FileSystem = document->FileSystem.get();
  if (options.TrueColour) document->Manager->SetTrueColour(true);
  document->Manager->Palette = options.Palette;
  document->Manager->TransparentIndex = options.TransparentIndex;
  document->Manager->Initialize();
  if (options.OnLoading) options.OnLoading(*document);
  document->Images = static_cast<TQuvImages*>(document->Manager->GetClass(document->OpenName));
  if (!document->Images)
    throw EImageFileError(Format("Could not find %s", document->OpenName.c_str()));
  document->FrontEnd = std::make_unique<TFrontEndImages>(document->Images);
  return document;
}

// The disk file that MountDiskFile found for name: the path as given, or the file whose name
// differs from it in letter case alone.
std::string MountedDiskFile(TFileSystem& fileSystem, const std::string& name,
                            const std::string& diskPath) {
  if (StampOf(diskPath)) return diskPath;
  TFileEntry* node = fileSystem.FindFile(name);
  auto* reader = node ? dynamic_cast<TSystemFileReader*>(node->Reader.get()) : nullptr;
  return reader ? reader->FileName() : diskPath;
}

std::unique_ptr<TQuvDocument> Open(const std::string& path, const TQuvDocumentOptions& options) {
  auto document = std::make_unique<TQuvDocument>();
  document->Path = path;
  if (options.Mount.FileSystem) {
    document->FileSystem = options.Mount.FileSystem;
    document->InArchive = options.Mount.InArchive;
    document->OpenName = path;
    return Load(std::move(document), options);
  }
  document->FileSystem = MakeArchiveFileSystem();
  TQuvSaveTarget& target = document->SaveTarget;
  target = SaveTargetOf(path);
  document->InArchive = target.InArchive();
  if (document->InArchive) {
    // A declined archive stays a plain file, and the inner path is then not found.
    document->FileSystem->MountArchive(target.DiskFile, 1);
    document->OpenName = ToTreePath(target.InnerPath);
  } else {
    document->FileSystem->MountDiskFile(target.DiskFile, 1);
    document->OpenName = ExtractFileName(target.DiskFile);
    target.DiskFile = MountedDiskFile(*document->FileSystem, document->OpenName, target.DiskFile);
  }
  document->Stamp = StampOf(target.DiskFile);
  return Load(std::move(document), options);
}

}  // namespace

TQuvDocumentResult OpenQuvDocument(const std::string& path, const TQuvDocumentOptions& options) {
  TQuvDocumentResult result;
  try {
    result.Document = Open(path, options);
  } catch (const std::exception& error) {
    result.Error = error.what();
  }
  return result;
}

std::unique_ptr<TQuvDocument> ReopenQuvDocument(const TQuvDocument& original,
                                                std::vector<uint8_t> bytes,
                                                const TQuvDocumentOptions& options) {
  auto document = std::make_unique<TQuvDocument>();
  document->Path = original.Path;
  document->OpenName = original.OpenName;
  document->InArchive = original.InArchive;
  document->SaveTarget = original.SaveTarget;
  document->Stamp = original.Stamp;
  document->FileSystem = MakeArchiveFileSystem();
  AddMemoryFile(*document->FileSystem, document->OpenName,
                std::make_shared<const std::vector<uint8_t>>(std::move(bytes)));
  return Load(std::move(document), options);
}

TQuvContent ReadDocumentContent(const TQuvDocument& document, uint8_t transparentIndex) {
  try {
    return ReadQuvContent(*document.Images, transparentIndex);
  } catch (const EQuvFrameReadError& error) {
    throw EImageFileError(ExtractFileName(document.OpenName) + ": " +
                          FrameErrorSentence(error.Frame, error.ImageName, error.Reason));
  }
}
