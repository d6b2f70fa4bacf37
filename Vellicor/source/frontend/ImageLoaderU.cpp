#include "ImageLoaderU.h"

#include <algorithm>
#include <cstring>

#include "FileSystemU.h"
#include "LoadMessagesU.h"
#include "PaletteFileU.h"
#include "StringUtilsU.h"

TPalette Palette{};
uint8_t TransparentIndex = 0;

namespace {

// RRGGBB of each entry, in index order.
constexpr uint32_t BuiltInColors[256] = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080, 0xC0DCC0,
    0x5454FC, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0x000000, 0xFFEBF3, 0xEBC7D3,
    0xD7A3B3, 0xC38797, 0xAF6F7F, 0x9B5B63, 0x8B474F, 0x7B3B47, 0x6F333B, 0x632B33, 0x57232B,
    0x4B1B27, 0x3B171F, 0x2F0F17, 0x230B0F, 0x17070B, 0x73FFDF, 0x57E7BF, 0x43CF9F, 0x2FB783,
    0x1F9F67, 0x138B4F, 0x0F773F, 0x0B6B37, 0x075F2F, 0x07532B, 0x004727, 0x003F23, 0x00331B,
    0x002717, 0x001B0F, 0x00130B, 0xE3EFFF, 0xC7DFE7, 0xAFCFCB, 0x93B7A7, 0x7F9F83, 0x6B8767,
    0x5F6F53, 0x5F6347, 0x5B573B, 0x534333, 0x473B2B, 0x3B3323, 0x2F2B1B, 0x231F13, 0x17130F,
    0x0B0B07, 0xFBFBD7, 0xDFDFB7, 0xC3C39B, 0xABAB83, 0x93936F, 0x777757, 0x636343, 0x535333,
    0x434323, 0x333317, 0x23230F, 0x1B1B07, 0x171707, 0x131300, 0x0F0F00, 0x0B0B00, 0xFBFBFB,
    0xEBEBEB, 0xDBDBDB, 0xCBCBCB, 0xBBBBBB, 0xABABAB, 0x9B9B9B, 0x8B8B8B, 0x7B7B7B, 0x6B6B6B,
    0x5B5B5B, 0x4B4B4B, 0x3B3B3B, 0x2B2B2B, 0x1F1F1F, 0x0F0F0F, 0xEBF3FF, 0xCBE3FF, 0xAFCFFF,
    0x97B3FF, 0x7B97FF, 0x677FFF, 0x536BEF, 0x3F5BE3, 0x334BD7, 0x233BCB, 0x172FAF, 0x0F2797,
    0x071F7B, 0x071763, 0x000F47, 0x000B2F, 0xE3F7FF, 0xBFDBE7, 0x9FBFCF, 0x83A7B7, 0x6B8FA3,
    0x53778B, 0x3F5F73, 0x2F4B5F, 0x273F57, 0x23374F, 0x1F2F47, 0x1B273F, 0x171F37, 0x131B2F,
    0x0F1327, 0x0B0F1F, 0xD7EFFF, 0xBBE3EF, 0x9BCBDF, 0x83B7CF, 0x6BA3C3, 0x538FB3, 0x3F7BA3,
    0x2F6B97, 0x235B87, 0x1B4B77, 0x133F67, 0x0B3357, 0x072747, 0x001B37, 0x001327, 0x000B1B,
    0xFFE7FF, 0xE7C7EB, 0xD3ABD7, 0xBB93C3, 0xA77BB3, 0x8F639F, 0x774B8F, 0x633B7F, 0x4F2B6F,
    0x431F63, 0x371757, 0x2B0F47, 0x1F073B, 0x13002B, 0x0B001F, 0x070013, 0xD7FFA7, 0xABE77F,
    0x83D35B, 0x67BF3F, 0x4BAB2B, 0x43972B, 0x378727, 0x2F771B, 0x2B6713, 0x235B0F, 0x1F4F0B,
    0x1B4307, 0x173300, 0x0F2700, 0x0B1B00, 0x070F00, 0xFFE39F, 0xE3C773, 0xCBAF53, 0xB3973F,
    0x9B832F, 0x836F23, 0x6B5B17, 0x53470F, 0x4B3B0B, 0x433307, 0x3B2B07, 0x372300, 0x2F1B00,
    0x271300, 0x1F0F00, 0x1B0B00, 0xFFFFA3, 0xFBF383, 0xF7E367, 0xF3D34F, 0xEFBB33, 0xEFA71B,
    0xEB8F13, 0xE77B0F, 0xDF4F07, 0xD72300, 0xBF1F00, 0xA71B00, 0x931700, 0x7B1300, 0x631300,
    0x4F0F00, 0xFFFF00, 0xFFBF00, 0xFF8300, 0xFF4700, 0xD32B00, 0xAB1700, 0x7F0700, 0x570000,
    0xDFCBFF, 0xBB9FDF, 0x9B77BF, 0x7F579F, 0x673B7F, 0x4B235F, 0x33133F, 0x1B071F, 0xD3DBFF,
    0x879FF7, 0x436FEF, 0x1747E7, 0x0B2BBB, 0x07178F, 0x000763, 0x000037, 0x7BFF77, 0x53DF4F,
    0x33BF2B, 0x1B9F13, 0x1B7F0B, 0x175F07, 0x133F00, 0x0B1F00, 0x000000, 0x000000, 0x000000,
    0x000000, 0x000000, 0x000000, 0xFFFBF0, 0xA0A0A4, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
    0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

}  // namespace

const TPalette& BuiltInPalette() {
  static const TPalette palette = [] {
    TPalette p{};
    for (int i = 0; i < 256; ++i)
      p[i] = {uint8_t(BuiltInColors[i] >> 16), uint8_t(BuiltInColors[i] >> 8),
              uint8_t(BuiltInColors[i]), 0};
    return p;
  }();
  return palette;
}

bool LoadPalette(const std::string& fileName, TFileSystem* fileSystem) {
  if (!fileSystem) fileSystem = DefaultFileSystem;
  IFileReaderRef reader;
  if (fileSystem) reader = fileSystem->OpenFile(fileName, fmRead);
  return LoadPaletteFrom(reader);
}

bool LoadPaletteFrom(const IFileReaderRef& reader) {
  TPalette loaded;
  if (!ReadRawPalette(reader, loaded)) {
    Palette = BuiltInPalette();
    TransparentIndex = BuiltInTransparentIndex;
    return false;
  }
  Palette = loaded;
  return true;
}

bool ReadRawPalette(const IFileReaderRef& reader, TPalette& palette) {
  constexpr int64_t PaletteFileSize = 256 * 4;
  if (!reader || reader->GetSize() != PaletteFileSize) {
    if (reader) reader->Close();
    return false;
  }
  TPalette loaded;
  try {
    reader->SetPosition(0);
    reader->ReadBuffer(loaded.data(), PaletteFileSize);
  } catch (...) {
    reader->Close();
    throw;
  }
  reader->Close();
  // The fourth byte is not the file's: opaque everywhere but for the empty-pixel entries.
  SetLoadedFourthBytes(loaded);
  palette = loaded;
  return true;
}

// ---- TFrontEndImageFrame ----

TFrontEndImageFrame::TFrontEndImageFrame(TFrontEndImage* owner, TImageFrame* frame,
                                         int32_t nextIndex)
    : NextIndex(nextIndex), Owner(owner), Frame(frame) {
  SubFrameCount = std::max(0, frame->SubFrameCount);
  SubFrames.resize(size_t(SubFrameCount));
}

TFrontEndImageFrame* TFrontEndImageFrame::GetSubFrame(int32_t index) {
  if (index < 0 || index >= SubFrameCount) throw Exception("Index out of bounds");
  auto& slot = SubFrames[size_t(index)];
  if (!slot) {
    TImageFrame* subFrame = Frame->GetSubFrame(index);
    // A frame whose load failed part-way may have fewer sub-frames than it announced.
    if (!subFrame) throw Exception("Index out of bounds");
    slot = std::make_unique<TFrontEndImageFrame>(Owner, subFrame, (index + 1) % SubFrameCount);
  }
  return slot.get();
}

namespace {

// The palette-index rows of a frame whose rows are current: colour rows keep them beside them;
// rows of colours alone have none.
const TPixelRows* IndexRows(const TImageFrame& frame) {
  const TPixelRowsRef& rows = frame.Converted ? frame.PalettePixels : frame.Pixels;
  return frame.Converted || frame.BytesPerPixel == 1 ? rows.get() : nullptr;
}

// The frame's rows as one picture; pixels its rows lack are the transparent index.
TPicture GatherIndices(const TImageFrame& frame, uint8_t transparentIndex) {
  TPicture picture(std::max(0, frame.Width), std::max(0, frame.Height), 1, transparentIndex);
  const TPixelRows* rows = IndexRows(frame);
  const size_t width = size_t(picture.Width);
  for (int32_t y = 0; rows && width > 0 && y < picture.Height && size_t(y) < rows->size(); ++y) {
    const TPixelRow& row = (*rows)[size_t(y)];
    if (row.size() >= width) std::memcpy(picture.Row(y), row.data(), width);
  }
  return picture;
}

}  // namespace

const TFramePixels& TFrontEndImageFrame::GetPixels() {
  TImageFrame* top = Frame->TopFrame();
  if (top->LoadFailed)
    throw EImageFileError(
        FrameErrorSentence(top->Index, top->Image ? top->Image->Name : "", top->LoadError));
  TImageClass* collection = Frame->Image ? Frame->Image->ImageClass : nullptr;
  if (Pixels) {
    if (collection) collection->TouchFrame(top);
    return *Pixels;
  }
  // Rows released to keep within the collection's budget are decoded again (sub-frames with
  // their frame, into the same objects).
  if (!top->Loaded && Owner && Owner->Image) Owner->Image->GetFrame(top->Index);
  // A collection that wants colours converts on this first request and keeps the indices
  // beside them; otherwise the rows are the indices already.
  Frame->GetPixels();
  const TImageManager* manager = collection ? collection->Manager : nullptr;
  const TPalette& palette = manager ? manager->Palette : Palette;
  const uint8_t empty = manager ? manager->TransparentIndex : TransparentIndex;
  Pixels = std::make_unique<TFramePixels>(GatherIndices(*Frame, empty), palette, empty);
  if (collection)
    collection->ChargeFrame(top, int64_t(Pixels->Indices().Pixels.size() + sizeof(TPalette)));
  return *Pixels;
}

// ---- TFrontEndImage ----

TFrontEndImage::TFrontEndImage(TFrontEndImages* owner, const std::string& name)
    : Owner(owner), Image(owner->Images->FindImage(name)) {
  if (!Image || name.empty())
    throw Exception(
        Format("Image \"%s\" does not exist in %s", name.c_str(), owner->Images->Name.c_str()));
  Name = Image->Name;
  FrameCount = std::max(1, Image->FrameCount);
  Frames.resize(size_t(FrameCount));
}

TFrontEndImageFrame* TFrontEndImage::GetFrame(int32_t index) {
  if (index < 0 || index >= FrameCount) return nullptr;
  auto& slot = Frames[size_t(index)];
  // Rows the collection released (for its budget, or to decode them with another empty index)
  // are read again, so that every user of the frame finds them.
  if (slot && !slot->Frame->Loaded) Image->GetFrame(index);
  if (!slot) {
    TImageFrame* frame = Image->GetFrame(index);
    if (!frame) return nullptr;
    slot = std::make_unique<TFrontEndImageFrame>(this, frame, (index + 1) % FrameCount);
  }
  return slot.get();
}

bool TFrontEndImage::IsFrameCreated(int32_t index) const {
  return index >= 0 && index < FrameCount && Frames[size_t(index)] != nullptr;
}

// ---- TFrontEndImages ----

TFrontEndImages::TFrontEndImages(TImageClass* images)
    : Images(images), ImageCount(images->ImageCount) {
  Images->OnFrameReleased = [this](TImageFrame* frame) { FrameReleased(frame); };
}

TFrontEndImages::~TFrontEndImages() {
  Images->OnFrameReleased = nullptr;
}

void TFrontEndImages::FrameReleased(TImageFrame* frame) {
  TFrontEndImage* image = frame->Image ? FNames.Find(frame->Image->Name) : nullptr;
  if (!image || image->Image != frame->Image || frame->Index < 0 ||
      frame->Index >= image->FrameCount)
    return;
  if (TFrontEndImageFrame* object = image->Frames[size_t(frame->Index)].get()) DropPixels(object);
}

void TFrontEndImages::DropPixels(TFrontEndImageFrame* frame) {
  if (frame->Pixels && OnPixelsReleased) OnPixelsReleased(frame);
  frame->Pixels.reset();
  for (auto& subFrame : frame->SubFrames)
    if (subFrame) DropPixels(subFrame.get());
}

void TFrontEndImages::Recolour() {
  Images->Recolour();
  for (auto& image : FImageList)
    for (auto& frame : image->Frames)
      if (frame) DropPixels(frame.get());
}

void TFrontEndImages::SetPalette(const TPalette& palette, uint8_t transparentIndex) {
  TImageManager* manager = Images->Manager;
  if (!manager) return;
  manager->Palette = palette;
  if (manager->TransparentIndex != transparentIndex) {
    manager->TransparentIndex = transparentIndex;
    Images->Redecode();
  }
  Recolour();
}

TFrontEndImage* TFrontEndImages::GetImage(const std::string& name) {
  if (TFrontEndImage* known = FNames.Find(name)) return known;
  auto image = std::make_unique<TFrontEndImage>(this, name);
  // Filed under the collection's spelling of the name.
  if (TFrontEndImage* known = FNames.Find(image->Name)) return known;
  FNames.Add(image->Name, image.get());
  FImageList.push_back(std::move(image));
  return FImageList.back().get();
}

TFrontEndImage* TFrontEndImages::GetImage(int32_t index) {
  TImage* image = Images->GetImage(index);
  return image ? GetImage(image->Name) : nullptr;
}

const TPalette& TFrontEndImages::PixelPalette() const {
  return Images->Manager ? Images->Manager->Palette : Palette;
}

uint8_t TFrontEndImages::PixelTransparentIndex() const {
  return Images->Manager ? Images->Manager->TransparentIndex : TransparentIndex;
}

std::string TFrontEndImages::FileError(const std::string& message) const {
  return Images->Name + ": " + message;
}
