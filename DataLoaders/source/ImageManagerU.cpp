#include "ImageManagerU.h"

#include <cstring>

#include "AssertU.h"
#include "ConsoleU.h"
#include "FileSystemU.h"

// ---- TImageManager ----

TImageManager::~TImageManager() {
  if (Active) Finalize();
  // Collections go before the rest of the manager they point at.
  ClassNames.Clear();
  Classes.clear();
}

void TImageManager::Finalize() {
  ClassNames.Clear();
  Classes.clear();
  ClassCount = 0;
  TSubSystem::Finalize();
}

TImageClass* TImageManager::GetClass(const std::string& fileName) {
  if (TImageClass* known = ClassNames.Find(fileName)) {
    known->AddRef();
    return known;
  }
  std::unique_ptr<TImageClass> loaded = LoadFile(fileName);
  if (!loaded) return nullptr;
  TImageClass* imageClass = loaded.get();
  imageClass->AddRef();
  if (imageClass->RefCount == 1) Register(std::move(loaded), imageClass);
  return imageClass;
}

void TImageManager::Register(std::unique_ptr<TImageClass> owned, TImageClass* imageClass) {
  ClassNames.Add(imageClass->Name, imageClass);
  Classes.push_back(std::move(owned));
  ++ClassCount;
}

void TImageManager::Unregister(TImageClass* imageClass) {
  if (ClassNames.Find(imageClass->Name) != imageClass) return;
  ClassNames.Remove(imageClass->Name);
  --ClassCount;
  for (auto it = Classes.begin(); it != Classes.end(); ++it) {
    if (it->get() == imageClass) {
      Classes.erase(it);  // frees the collection
      return;
    }
  }
}

TFileSystem* TImageManager::GetFileSystem() const {
  return FileSystem ? FileSystem : DefaultFileSystem;
}

void TImageManager::SetTrueColour(bool value) {
  TrueColour = value;
  for (auto& imageClass : Classes) imageClass->SetTrueColour(value);
}

// ---- TImageClass ----

TImageClass::TImageClass(std::string name, int32_t capacity, TImageManager* manager)
    : Name(std::move(name)), Manager(manager) {
  VASSERT(!Name.empty());
  VASSERT(manager != nullptr);
  Images.reserve(static_cast<size_t>(capacity < 4 ? 4 : capacity));
  if (manager) TrueColour = manager->TrueColour;
}

TImageClass::~TImageClass() = default;

void TImageClass::AddRef() {
  ++RefCount;
}

void TImageClass::Release() {
  if (RefCount > 0) --RefCount;
  if (RefCount == 0 && Manager) Manager->Unregister(this);  // may free this object
}

TImage* TImageClass::AddImage(const std::string& name, int32_t frameCount,
                              std::unique_ptr<TImage>* rejected) {
  std::unique_ptr<TImage> image = CreateImage(name, frameCount);
  TImage* raw = image.get();
  if (Names.IndexOf(raw->Name) >= 0) {
    ConsoleLog(8, Format("Duplicate Image \"%s\" in Image Class \"%s\", ignoring",
                         raw->Name.c_str(), Name.c_str()));
    if (!rejected) return nullptr;
    *rejected = std::move(image);
    return raw;
  }
  Names.Add(raw->Name, raw);
  Images.push_back(std::move(image));
  ++ImageCount;
  return raw;
}

TImage* TImageClass::FindImage(const std::string& name) {
  if (Names.Count() > 0) {
    if (name.empty()) return Names[0].second;
    if (TImage* found = Names.Find(name)) return found;
  }
  return ImageNotFound(name);
}

TImage* TImageClass::GetImage(int32_t index) {
  if (index < 0 || index >= Names.Count()) return nullptr;
  return Names[index].second;
}

void TImageClass::LoadWithReader(IFileReaderRef& readerField, const std::string& fileName,
                                 const TLoadRoutine& routine) {
  VASSERT(static_cast<bool>(routine));
  if (readerField) {
    readerField->Close();
    readerField.reset();
  }
  readerField = OpenReader(fileName);
  if (!readerField) throw EImageFileError(Format("Could not find %s", fileName.c_str()));
  readerField->SetPosition(0);
  if (routine) routine(*readerField);
  readerField->Close();
  readerField.reset();
}

IFileReaderRef TImageClass::OpenReader(const std::string& fileName) {
  TFileSystem* fileSystem = Manager ? Manager->GetFileSystem() : nullptr;
  return fileSystem ? fileSystem->OpenFile(fileName, fmRead) : nullptr;
}

void TImageClass::SetTrueColour(bool value) {
  TrueColour = value;
  for (auto& image : Images) image->SetTrueColour(value);
}

// ---- TImage ----

TImage::TImage(TImageClass* imageClass, std::string name, int32_t frameCount)
    : ImageClass(imageClass), Name(std::move(name)), FrameCount(frameCount) {
  VASSERT(imageClass != nullptr);
  VASSERT(!Name.empty());
  if (imageClass) TrueColour = imageClass->TrueColour;
}

TImage::~TImage() = default;

void TImage::SetFrameCount(int32_t count) {
  if (count < 0 || count == FrameCount) return;
  if (Frames.size() > static_cast<size_t>(count)) Frames.resize(static_cast<size_t>(count));
  FrameCount = count;
}

void TImage::Rename(const std::string& newName) {
  VASSERT(ImageClass != nullptr);
  if (!ImageClass) return;
  if (ImageClass->Names.IndexOf(newName) < 0) {
    ImageClass->Names.Add(newName, this);
    ImageClass->Names.Remove(Name);
    Name = newName;
    return;
  }
  ConsoleLog(8, Format("In image class: \"%s\", Attempting to rename image \"%s\" to an existing "
                       "image name \"%s\"",
                       ImageClass->Name.c_str(), Name.c_str(), newName.c_str()));
}

TImageFrame* TImage::GetFrame(int32_t index) {
  if (index < 0 || index >= FrameCount) return nullptr;
  VASSERT(ImageClass != nullptr);
  const size_t slot = static_cast<size_t>(index);
  if (slot >= Frames.size()) {
    // A frame table that was never read in full: hand out an empty, unloaded frame in its slot.
    Frames.resize(slot + 1);
    Frames[slot] = CreateFrame(index);
    return Frames[slot].get();
  }
  if (!Frames[slot]) Frames[slot] = CreateFrame(index);
  TImageFrame* frame = Frames[slot].get();
  if (!frame->Loaded && ImageClass)
    ImageClass->LoadFrame([frame](IFileReader& reader) { frame->Load(reader); }, frame);
  return frame;
}

TImageFrame* TImage::AddFrame() {
  std::unique_ptr<TImageFrame> frame = CreateFrame(FrameCount);
  if (Frames.size() < static_cast<size_t>(FrameCount))
    Frames.resize(static_cast<size_t>(FrameCount));
  ++FrameCount;
  Frames.push_back(std::move(frame));
  return Frames.back().get();
}

void TImage::SetTrueColour(bool value) {
  TrueColour = value;
  for (int32_t i = 0; i < FrameCount; ++i) {
    if (TImageFrame* frame = GetFrame(i)) frame->SetTrueColour(value);
  }
}

// ---- TImageFrame ----

TImageFrame::TImageFrame(TImage* image, int32_t index, TImageFrame* parentFrame)
    : Image(image), ParentFrame(parentFrame), Index(index) {
  VASSERT(image != nullptr);
  if (image) TrueColour = image->TrueColour;
}

TImageFrame::~TImageFrame() = default;

TImageFrame* TImageFrame::GetSubFrame(int32_t index) {
  if (index < 0 || index >= SubFrameCount) return nullptr;
  const size_t slot = static_cast<size_t>(index);
  if (slot >= SubFrames.size()) SubFrames.resize(slot + 1);
  if (!SubFrames[slot]) SubFrames[slot] = CreateSubFrame(index);
  return SubFrames[slot].get();
}

TImageFrame* TImageFrame::AddSubFrame() {
  std::unique_ptr<TImageFrame> subFrame = CreateSubFrame(SubFrameCount);
  if (SubFrames.size() < static_cast<size_t>(SubFrameCount))
    SubFrames.resize(static_cast<size_t>(SubFrameCount));
  ++SubFrameCount;
  SubFrames.push_back(std::move(subFrame));
  return SubFrames.back().get();
}

void TImageFrame::SetSubFrameCount(int32_t count) {
  if (count < 0 || count == SubFrameCount) return;
  if (SubFrames.size() > static_cast<size_t>(count)) SubFrames.resize(static_cast<size_t>(count));
  SubFrameCount = count;
}

const TPixelRowsRef& TImageFrame::GetPixels() {
  if (!Converted && WantTrueColour) {
    const bool owned = Image && Image->ImageClass && Image->ImageClass->Manager;
    VASSERT(owned);
    if (owned) ConvertToTrueColour(Image->ImageClass->Manager->Palette);
  }
  return Pixels;
}

void TImageFrame::ConvertToTrueColour(const TPalette& palette) {
  if (Converted) return;
  Converted = true;
  if (!Pixels || Pixels->empty()) return;
  BytesPerPixel = 4;
  auto colours = std::make_shared<TPixelRows>(Pixels->size());
  for (size_t y = 0; y < Pixels->size(); ++y) {
    const TPixelRow& source = (*Pixels)[y];
    TPixelRow& row = (*colours)[y];
    row.resize(4 * source.size());
    uint8_t* out = row.data();
    for (size_t i = source.size(); i-- > 0; out += 4)
      std::memcpy(out, palette[source[i]].data(), 4);
  }
  // The palette indices stay beside the colours, e.g. for writing the frame back.
  if (!PalettePixels) PalettePixels = Pixels;
  Pixels = std::move(colours);
}

void TImageFrame::SetPixels(TPixelRowsRef rows) {
  Loaded = true;
  Converted = WantTrueColour;
  Pixels = rows;
  PalettePixels = std::move(rows);
}

void TImageFrame::SetImageData(const TImageData& data) {
  Loaded = true;
  if (data.BytesPerPixel == 1) {
    Converted = false;
    WantTrueColour = false;
  } else if (data.BytesPerPixel == 4) {
    Converted = true;
    WantTrueColour = true;
  } else {
    throw Exception("Unknown pixel format");
  }
  Width = data.Width;
  Height = data.Height;
  BytesPerPixel = data.BytesPerPixel;
  RowBytes = data.RowBytes;
  PalettePixels = data.Pixels;
  Pixels = data.Pixels;
}

void TImageFrame::SetWantTrueColour(bool value) {
  WantTrueColour = value;
  if (Converted) return;
  BytesPerPixel = value ? 4 : 1;
  RowBytes = BytesPerPixel * Width;
}

void TImageFrame::Load(IFileReader& reader) {
  Loaded = true;
  Converted = false;
  WantTrueColour = TrueColour;
  BytesPerPixel = TrueColour ? 4 : 1;
  RowBytes = BytesPerPixel * Width;
}

void TImageFrame::SetTrueColour(bool value) {
  TrueColour = value;
  for (int32_t k = 0; k < SubFrameCount; ++k) {
    if (TImageFrame* subFrame = GetSubFrame(k)) subFrame->SetTrueColour(value);
  }
}
