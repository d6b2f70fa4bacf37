#include "QuvSourceU.h"

#include "ExceptionsU.h"

std::unique_ptr<TQuvDocument> OpenQuvSource(const std::string& path) {
  TQuvDocumentOptions options;
  options.Palette = Palette;
  options.TransparentIndex = TransparentIndex;
  TQuvDocumentResult opened = OpenQuvDocument(path, options);
  if (!opened.Document) throw Exception(opened.Error);
  return std::move(opened.Document);
}
