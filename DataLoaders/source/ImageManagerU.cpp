#include "ImageManagerU.h"

#include <algorithm>
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

TImageClass::~TImageClass() {
  // The frames leave the budget's list as they go, so they go while it is there.
  Names.Clear();
  Images.clear();
}

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
    ConsoleLog(LogLevel::Warning, Format("Duplicate Image \"%s\" in Image Class \"%s\", ignoring",
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

void TImageClass::TouchFrame(TImageFrame* frame) {
  if (!frame) return;
  frame = frame->TopFrame();
  // Only what was decoded from the file can be decoded again: rows set by the program stay.
  if (!frame->FInRecent) return;
  const int64_t counted = frame->KeptRowBytes() + frame->FExternal;
  FKeptBytes += counted - frame->FCounted;
  frame->FCounted = counted;
  FRecent.splice(FRecent.end(), FRecent, frame->FRecentPos);
  Trim(frame);
}

void TImageClass::EnterFrame(TImageFrame* frame) {
  if (!frame->FInRecent) {
    frame->FRecentPos = FRecent.insert(FRecent.end(), frame);
    frame->FInRecent = true;
  }
  TouchFrame(frame);
}

void TImageClass::ChargeFrame(TImageFrame* frame, int64_t bytes) {
  if (!frame) return;
  frame = frame->TopFrame();
  if (!frame->FInRecent) return;
  frame->FExternal += bytes;
  TouchFrame(frame);
}

void TImageClass::ReleaseFrame(TImageFrame* frame) {
  if (!frame) return;
  frame = frame->TopFrame();
  if (!frame->FInRecent) return;
  if (OnFrameReleased) OnFrameReleased(frame);
  frame->DropRows();
  // A frame whose load failed is not read again: it stays loaded, without its rows.
  if (!frame->LoadFailed) frame->Loaded = false;
  LeaveFrame(frame);
}

void TImageClass::Recolour() {
  for (auto& image : Images)
    for (auto& frame : image->Frames)
      if (frame) {
        frame->Recolour();
        TouchFrame(frame.get());  // the colour rows no longer count
      }
}

void TImageClass::Redecode() {
  const std::vector<TImageFrame*> decoded(FRecent.begin(), FRecent.end());
  for (TImageFrame* frame : decoded) {
    ReleaseFrame(frame);
    frame->Loaded = false;  // also a frame whose load failed: a fresh open reads it again
  }
}

void TImageClass::LeaveFrame(TImageFrame* frame) {
  if (!frame->FInRecent) return;
  FRecent.erase(frame->FRecentPos);
  frame->FInRecent = false;
  FKeptBytes -= frame->FCounted;
  frame->FCounted = 0;
  frame->FExternal = 0;
}

void TImageClass::Trim(const TImageFrame* keep) {
  while (FKeptBytes > PixelBudget && !FRecent.empty() && FRecent.front() != keep)
    ReleaseFrame(FRecent.front());
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
  ConsoleLog(LogLevel::Warning,
             Format("In image class: \"%s\", Attempting to rename image \"%s\" to an existing "
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
  if (!frame->Loaded && ImageClass) {
    try {
      ImageClass->LoadFrame([frame](IFileReader& reader) { frame->Load(reader); }, frame);
    } catch (const std::exception& error) {
      frame->LoadFailed = true;
      frame->LoadError = error.what();
      Loaded(*frame);
      throw;
    } catch (...) {
      frame->LoadFailed = true;
      Loaded(*frame);
      throw;
    }
    frame->LoadFailed = false;
    frame->LoadError.clear();
    Loaded(*frame);
  } else if (ImageClass) {
    ImageClass->TouchFrame(frame);
  }
  return frame;
}

void TImage::Loaded(TImageFrame& frame) {
  // Composition may have moved the frame's hot spot: the image's largest offsets follow it.
  frame.Composed = true;
  MaxXOffset = std::max(MaxXOffset, frame.XOffset);
  MaxYOffset = std::max(MaxYOffset, frame.YOffset);
  ImageClass->EnterFrame(&frame);
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

TImageFrame::~TImageFrame() {
  LeaveBudget();
}

void TImageFrame::LeaveBudget() {
  if (FInRecent && Image && Image->ImageClass) Image->ImageClass->LeaveFrame(this);
}

TImageFrame* TImageFrame::TopFrame() {
  TImageFrame* frame = this;
  while (frame->ParentFrame) frame = frame->ParentFrame;
  return frame;
}

int64_t TImageFrame::KeptRowBytes() const {
  const auto rowBytes = [](const TPixelRowsRef& rows) {
    int64_t bytes = 0;
    if (rows)
      for (const TPixelRow& row : *rows) bytes += static_cast<int64_t>(row.capacity());
    return bytes;
  };
  int64_t bytes = rowBytes(Pixels);
  if (PalettePixels != Pixels) bytes += rowBytes(PalettePixels);
  for (const auto& subFrame : SubFrames)
    if (subFrame) bytes += subFrame->KeptRowBytes();
  return bytes;
}

void TImageFrame::DropRows() {
  Pixels.reset();
  PalettePixels.reset();
  Converted = false;
  for (auto& subFrame : SubFrames)
    if (subFrame) subFrame->DropRows();
}

TImageFrame* TImageFrame::GetSubFrame(int32_t index) {
  if (index < 0 || index >= SubFrameCount) return nullptr;
  const size_t slot = static_cast<size_t>(index);
  if (slot >= SubFrames.size()) SubFrames.resize(slot + 1);
  if (!SubFrames[slot]) SubFrames[slot] = CreateSubFrame(index);
  return SubFrames[slot].get();
}

TImageFrame* TImageFrame::AddSubFrame() {
  const size_t slot = static_cast<size_t>(SubFrameCount);
  std::unique_ptr<TImageFrame> subFrame = slot < FSpareSubFrames.size() && FSpareSubFrames[slot]
                                              ? std::move(FSpareSubFrames[slot])
                                              : CreateSubFrame(SubFrameCount);
  if (SubFrames.size() < static_cast<size_t>(SubFrameCount))
    SubFrames.resize(static_cast<size_t>(SubFrameCount));
  ++SubFrameCount;
  SubFrames.push_back(std::move(subFrame));
  return SubFrames.back().get();
}

void TImageFrame::SetAsideSubFrames() {
  for (size_t k = 0; k < SubFrames.size(); ++k) {
    if (!SubFrames[k]) continue;
    if (FSpareSubFrames.size() <= k) FSpareSubFrames.resize(k + 1);
    if (FSpareSubFrames[k]) FRetiredSubFrames.push_back(std::move(FSpareSubFrames[k]));
    FSpareSubFrames[k] = std::move(SubFrames[k]);
  }
  SubFrames.clear();
  SubFrameCount = 0;
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
    if (owned) {
      ConvertToTrueColour(Image->ImageClass->Manager->Palette);
      // The colour rows count in the budget of the frame they belong to.
      Image->ImageClass->TouchFrame(this);
    }
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

void TImageFrame::Recolour() {
  for (auto& subFrame : SubFrames)
    if (subFrame) subFrame->Recolour();
  if (!Converted || !PalettePixels || PalettePixels == Pixels) return;
  Pixels = PalettePixels;
  Converted = false;
  BytesPerPixel = WantTrueColour ? 4 : 1;
}

void TImageFrame::SetPixels(TPixelRowsRef rows) {
  LeaveBudget();  // rows given by the program cannot be read again
  Loaded = true;
  Converted = WantTrueColour;
  Pixels = rows;
  PalettePixels = std::move(rows);
}

void TImageFrame::SetImageData(const TImageData& data) {
  LeaveBudget();
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
