#include "QuvDocumentU.h"

#include "ArchiveLoadersU.h"
#include "ArchivePathU.h"
#include "ImageManagerU.h"
#include "StringUtilsU.h"

TQuvDocument::~TQuvDocument() {
  FrontEnd.reset();
  if (Images) Images->Release();
  Images = nullptr;
  if (Manager) Manager->Finalize();
  Manager.reset();
  if (FileSystem) FileSystem->Finalize();
  FileSystem.reset();
}

namespace {

std::unique_ptr<TQuvDocument> Open(const std::string& path, const TQuvDocumentOptions& options) {
  auto document = std::make_unique<TQuvDocument>();
  document->Path = path;
  document->FileSystem = MakeArchiveFileSystem();
  const std::string diskPath = ToDiskPath(path);
  std::string archiveFile, innerPath;
  document->InArchive =
      ResolveArchivePath(ExtractFileDir(diskPath), diskPath, archiveFile, innerPath);
  if (document->InArchive) {
    // A declined archive stays a plain file, and the inner path is then not found.
    document->FileSystem->MountArchive(archiveFile, 1);
    document->OpenName = innerPath;
  } else {
    document->FileSystem->MountDiskFile(diskPath, 1);
    document->OpenName = ExtractFileName(diskPath);
  }

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
