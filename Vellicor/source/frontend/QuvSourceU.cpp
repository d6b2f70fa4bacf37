#include "QuvSourceU.h"

#include "ExceptionsU.h"

namespace {

std::unique_ptr<TQuvDocument> OpenWith(const std::string& path, const TPalette& palette,
                                       uint8_t transparentIndex, const TQuvMount& mount) {
  TQuvDocumentOptions options;
  options.Palette = palette;
  options.TransparentIndex = transparentIndex;
  options.Mount = mount;
  TQuvDocumentResult opened = OpenQuvDocument(path, options);
  if (!opened.Document) throw Exception(opened.Error);
  return std::move(opened.Document);
}

}  // namespace

std::unique_ptr<TQuvDocument> OpenQuvSource(const std::string& path) {
  return OpenWith(path, Palette, TransparentIndex, {});
}

TQuvSources::TQuvSources(const TPalette& palette, uint8_t transparentIndex)
    : FPalette(palette), FTransparentIndex(transparentIndex) {}

std::unique_ptr<TQuvDocument> TQuvSources::Open(const std::string& container, bool archive,
                                                const std::string& inner) {
  if (container != FContainer || archive != FArchive) {
    // The previous mount goes with the last of its documents.
    FMount = {};
    FError.clear();
    FContainer = container;
    FArchive = archive;
    try {
      FMount = archive ? MountQuvArchive(container) : MountQuvFolder(container);
    } catch (const std::exception& e) {
      FError = e.what();
    }
  }
  if (!FError.empty()) throw Exception(FError);
  return OpenWith(inner, FPalette, FTransparentIndex, FMount);
}

std::unique_ptr<TQuvDocument> TQuvSources::OpenFile(const std::string& path) {
  return OpenWith(path, FPalette, FTransparentIndex, {});
}
