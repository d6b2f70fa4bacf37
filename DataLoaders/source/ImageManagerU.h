#pragma once
// The image model shared by every image format: a manager subsystem with a palette, a
// transparent index and a registry of loaded collections; per loaded file a collection of named
// images; per image its frames; per frame its pixel rows and sub-frames. A format fills in how
// each level is read and written.
#include <array>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ExceptionsU.h"
#include "FileReaderU.h"
#include "StringUtilsU.h"
#include "SubSystemU.h"

class TFileSystem;
class TImageManager;
class TImageClass;
class TImage;
class TImageFrame;

// An image file cannot be opened or read ("Could not find %s").
class EImageFileError : public Exception {
 public:
  using Exception::Exception;
};

// One row of pixels: one byte per pixel (palette indices) or four (colours).
using TPixelRow = std::vector<uint8_t>;
using TPixelRows = std::vector<TPixelRow>;
// Rows are shared between a frame's Pixels and PalettePixels and handed out without copying.
using TPixelRowsRef = std::shared_ptr<TPixelRows>;

// 256 entries of 4 bytes (red, green, blue, a fourth byte), as the application supplies them.
using TPaletteEntry = std::array<uint8_t, 4>;
using TPalette = std::array<TPaletteEntry, 256>;

// What SetImageData stores in a frame.
struct TImageData {
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BytesPerPixel = 1;
  int32_t RowBytes = 0;
  TPixelRowsRef Pixels;
};

// A sorted list of names, each with an object attached; lookups ignore letter case.
template <class T>
class TNameIndex {
 public:
  using TItem = std::pair<std::string, T*>;

  // Position of the name, or -1.
  int32_t IndexOf(const std::string& name) const;
  T* Find(const std::string& name) const {
    const int32_t i = IndexOf(name);
    return i < 0 ? nullptr : FItems[i].second;
  }
  void Add(const std::string& name, T* object);
  bool Remove(const std::string& name);  // false when absent
  void Clear() { FItems.clear(); }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  const TItem& operator[](int32_t i) const { return FItems[i]; }

 private:
  size_t LowerBound(const std::string& name) const;
  std::vector<TItem> FItems;
};

using TLoadRoutine = std::function<void(IFileReader& reader)>;

// Bytes of decoded pixels (palette rows, colour rows and what the front end builds from them)
// a collection keeps by default; past it the least recently used frames are released.
constexpr int64_t DefaultPixelBudget = int64_t{512} << 20;

class TImageManager : public TSubSystem {
 public:
  TImageManager() = default;
  ~TImageManager() override;

  void Finalize() override;  // frees every registered collection

  // A loaded collection for the file, or null.
  virtual std::unique_ptr<TImageClass> LoadFile(const std::string& fileName) = 0;
  // An empty collection with that name; nothing is read.
  virtual std::unique_ptr<TImageClass> CreateClass(const std::string& name) = 0;

  // The registered collection of that name, or one loaded with LoadFile; one more user.
  TImageClass* GetClass(const std::string& fileName);
  // FileSystem, or the application's default one when none is set.
  TFileSystem* GetFileSystem() const;
  void SetTrueColour(bool value);

  TNameIndex<TImageClass> ClassNames;
  std::vector<std::unique_ptr<TImageClass>> Classes;
  uint8_t TransparentIndex = 0;
  TPalette Palette{};
  int32_t ClassCount = 0;
  TFileSystem* FileSystem = nullptr;
  bool TrueColour = false;

 private:
  friend class TImageClass;
  void Register(std::unique_ptr<TImageClass> owned, TImageClass* imageClass);
  void Unregister(TImageClass* imageClass);
};

class TImageClass {
 public:
  TImageClass(std::string name, int32_t capacity, TImageManager* manager);
  TImageClass(const TImageClass&) = delete;
  TImageClass& operator=(const TImageClass&) = delete;
  virtual ~TImageClass();

  // The result of a failed lookup.
  virtual TImage* ImageNotFound(const std::string& name) { return nullptr; }
  virtual std::unique_ptr<TImage> CreateImage(const std::string& name, int32_t frameCount) = 0;
  // Loads the frame by running routine on a reader of the collection's file.
  virtual void LoadFrame(const TLoadRoutine& routine, TImageFrame* frame) = 0;

  void AddRef();
  // One user less; the last release unregisters and frees the collection.
  void Release();

  // Enters a new image. A duplicate name is logged and not entered: the image then goes to
  // *rejected when the caller asks for it (and is freed otherwise, null being returned).
  TImage* AddImage(const std::string& name, int32_t frameCount,
                   std::unique_ptr<TImage>* rejected = nullptr);
  // An empty name gives the first image in name order.
  TImage* FindImage(const std::string& name);
  // By position in name order (letter case ignored); null outside the range.
  TImage* GetImage(int32_t index);
  // Opens fileName through the manager's file system into readerField, runs routine on it and
  // closes it. After a failure the reader stays in the field until the next call or the
  // collection's destruction.
  void LoadWithReader(IFileReaderRef& readerField, const std::string& fileName,
                      const TLoadRoutine& routine);
  // The opened reader LoadWithReader works with: a fresh one from the manager's file system, or
  // null when the file is not there.
  virtual IFileReaderRef OpenReader(const std::string& fileName);
  void SetTrueColour(bool value);

  // ---- The budget of decoded pixels ----
  // A frame (or the frame owning this sub-frame) was just used: when it was decoded from the
  // file it becomes the most recent, what it holds is counted again, and the least recently
  // used others are released while the collection keeps more than PixelBudget.
  void TouchFrame(TImageFrame* frame);
  // Counts bytes kept elsewhere for the frame (or the frame owning this sub-frame), such as the
  // bitmaps built from its rows; they are given up when the frame is released.
  void ChargeFrame(TImageFrame* frame, int64_t bytes);
  // Frees the decoded rows of the frame and its sub-frames; sizes, offsets and the objects
  // stay, and the next GetFrame decodes the frame again. OnFrameReleased is told first.
  void ReleaseFrame(TImageFrame* frame);
  int64_t KeptBytes() const { return FKeptBytes; }
  // The manager's palette changed: every frame decoded so far converts its palette indices
  // again on its next GetPixels.
  void Recolour();
  // The manager's transparent index changed: every frame decoded so far, failed ones too, is
  // read from the file again on its next request, so that its empty pixels hold the new index.
  void Redecode();

  int64_t PixelBudget = DefaultPixelBudget;
  // Told of each released frame, so that what was built from its rows goes with them.
  std::function<void(TImageFrame* frame)> OnFrameReleased;

  int32_t RefCount = 0;
  TNameIndex<TImage> Names;
  std::vector<std::unique_ptr<TImage>> Images;  // in the order added (file order)
  int32_t ImageCount = 0;
  std::string Name;
  TImageManager* Manager = nullptr;
  bool TrueColour = false;

 private:
  friend class TImage;
  friend class TImageFrame;
  void EnterFrame(TImageFrame* frame);  // a frame decoded from the file
  void LeaveFrame(TImageFrame* frame);
  void Trim(const TImageFrame* keep);
  std::list<TImageFrame*> FRecent;  // frames holding rows, least recently used first
  int64_t FKeptBytes = 0;
};

class TImage {
 public:
  TImage(TImageClass* imageClass, std::string name, int32_t frameCount);
  TImage(const TImage&) = delete;
  TImage& operator=(const TImage&) = delete;
  virtual ~TImage();

  virtual void SetFrameCount(int32_t count);
  // Refused (and logged) when the collection already holds the new name.
  virtual void Rename(const std::string& newName);
  virtual std::unique_ptr<TImageFrame> CreateFrame(int32_t index) = 0;
  virtual void LoadFromReader(IFileReader& reader) = 0;
  virtual void SaveToWriter(IStream& writer) = 0;

  // The frame, loaded on first request; null outside 0..FrameCount-1.
  TImageFrame* GetFrame(int32_t index);
  TImageFrame* AddFrame();
  void SetTrueColour(bool value);

  TImageClass* ImageClass = nullptr;
  std::string Name;
  int32_t MaxYOffset = 0;
  int32_t MaxXOffset = 0;
  std::vector<std::unique_ptr<TImageFrame>> Frames;
  int32_t FrameCount = 0;
  bool TrueColour = false;

 private:
  // A load attempt ended: the frame's offsets are final and it enters the budget.
  void Loaded(TImageFrame& frame);
};

class TImageFrame {
 public:
  TImageFrame(TImage* image, int32_t index, TImageFrame* parentFrame);
  TImageFrame(const TImageFrame&) = delete;
  TImageFrame& operator=(const TImageFrame&) = delete;
  virtual ~TImageFrame();

  virtual std::unique_ptr<TImageFrame> CreateSubFrame(int32_t index) = 0;
  // Never loads: sub-frames are loaded with their frame.
  virtual TImageFrame* GetSubFrame(int32_t index);
  // The rows, converted to colours on the first call when WantTrueColour.
  virtual const TPixelRowsRef& GetPixels();
  virtual void SetPixels(TPixelRowsRef rows);
  // Raises "Unknown pixel format" for a pixel size other than 1 or 4.
  virtual void SetImageData(const TImageData& data);
  virtual void SetWantTrueColour(bool value);
  virtual void SetSubFrameCount(int32_t count);
  // The format-independent start of every load: flags and pixel format.
  virtual void Load(IFileReader& reader);
  virtual void Save(IStream& writer) = 0;

  TImageFrame* AddSubFrame();
  // Empties the sub-frame list before the frame is decoded again, keeping its objects aside:
  // AddSubFrame puts each back in its place, so whoever points at a sub-frame keeps a valid
  // object (the frame frees them).
  void SetAsideSubFrames();
  // Bytes of rows held by the frame and its sub-frames.
  int64_t KeptRowBytes() const;
  // The frame (of an image) this one belongs to: itself, or its outermost parent.
  TImageFrame* TopFrame();
  // Each row becomes 4 bytes per pixel, in reverse column order (rightmost pixel first). The
  // palette-index rows stay available in PalettePixels.
  void ConvertToTrueColour(const TPalette& palette);
  // Gives up the colour rows made from the palette indices (also of the sub-frames), so that
  // the next GetPixels converts them again; rows that came as colours stay.
  void Recolour();
  void SetTrueColour(bool value);

  TImage* Image = nullptr;
  TImageFrame* ParentFrame = nullptr;
  bool Loaded = false;
  int32_t XOffset = 0;
  int32_t YOffset = 0;
  int32_t MaxSubYOffset = 0;
  int32_t MaxSubXOffset = 0;
  TPixelRowsRef Pixels;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BytesPerPixel = 1;
  int32_t RowBytes = 0;
  TPixelRowsRef PalettePixels;
  bool Converted = false;
  bool WantTrueColour = false;
  int32_t Index = 0;
  std::vector<std::unique_ptr<TImageFrame>> SubFrames;
  int32_t SubFrameCount = 0;
  bool TrueColour = false;
  // Width, Height and the offsets are those of the composed picture: the frame has no
  // sub-frames, or was loaded once (a sub-frame sticking out grows the canvas and moves the
  // frame's hot spot with its pixels). A release keeps them.
  bool Composed = false;
  // The last load failed part-way: the frame keeps what was read and is not read again.
  bool LoadFailed = false;
  // The reader's error of that failed load.
  std::string LoadError;

 private:
  friend class TImageClass;
  void DropRows();
  void LeaveBudget();
  std::vector<std::unique_ptr<TImageFrame>> FSpareSubFrames;  // by index, see SetAsideSubFrames
  std::vector<std::unique_ptr<TImageFrame>> FRetiredSubFrames;
  int64_t FCounted = 0;   // what the collection's budget counts for this frame
  int64_t FExternal = 0;  // of which kept outside the rows (ChargeFrame)
  bool FInRecent = false;
  std::list<TImageFrame*>::iterator FRecentPos;
};

// ---- TNameIndex ----

template <class T>
size_t TNameIndex<T>::LowerBound(const std::string& name) const {
  size_t lo = 0, hi = FItems.size();
  while (lo < hi) {
    const size_t mid = (lo + hi) / 2;
    if (AnsiCompareText(FItems[mid].first, name) < 0)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}

template <class T>
int32_t TNameIndex<T>::IndexOf(const std::string& name) const {
  const size_t i = LowerBound(name);
  if (i < FItems.size() && AnsiCompareText(FItems[i].first, name) == 0)
    return static_cast<int32_t>(i);
  return -1;
}

template <class T>
void TNameIndex<T>::Add(const std::string& name, T* object) {
  FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(LowerBound(name)), {name, object});
}

template <class T>
bool TNameIndex<T>::Remove(const std::string& name) {
  const int32_t i = IndexOf(name);
  if (i < 0) return false;
  FItems.erase(FItems.begin() + i);
  return true;
}
