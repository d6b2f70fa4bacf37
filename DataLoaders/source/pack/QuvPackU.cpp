#include "QuvPackU.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "ExceptionsU.h"
#include "FrameDataTextU.h"
#include "QuvManagerU.h"
#include "QuvWriterU.h"
#include "SafeFileU.h"
#include "SheetAtlasU.h"
#include "StringUtilsU.h"

namespace {

namespace fs = std::filesystem;

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && LowerCase(text.substr(text.size() - tail.size())) == tail;
}

// Frame files of one image in a folder: IMAGE_N.png or IMAGE_N.bmp (N decimal; a PNG wins over
// a BMP of the same number), by number.
struct TFrameFiles {
  std::map<int64_t, std::string> ByNumber;
};

// Splits "IMAGE_N.ext" into IMAGE and N; false for any other name.
bool SplitFrameName(const std::string& file, std::string& image, int64_t& number, bool& png) {
  png = EndsWith(file, ".png");
  if (!png && !EndsWith(file, ".bmp")) return false;
  const std::string stem = file.substr(0, file.size() - 4);
  const size_t bar = stem.rfind('_');
  if (bar == std::string::npos || bar == 0 || bar + 1 == stem.size() || stem.size() - bar > 7)
    return false;
  for (size_t i = bar + 1; i < stem.size(); ++i)
    if (stem[i] < '0' || stem[i] > '9') return false;
  image = stem.substr(0, bar);
  number = std::stoll(stem.substr(bar + 1));
  return true;
}

// What one pass over a folder finds: the frame files of every image, and the names of the
// frame-data files (IMAGE_Data.txt gives IMAGE).
struct TFolderListing {
  std::map<std::string, TFrameFiles> Images;
  std::vector<std::string> DataFiles;
};

TFolderListing ListFrameFolder(const std::string& folder) {
  TFolderListing listing;
  std::map<std::string, bool> pngs;
  std::error_code error;
  size_t entries = 0;
  fs::directory_iterator it(folder, error), end;
  if (error)
    throw EInOutError(
        Format("Cannot read folder \"%s\": %s", folder.c_str(), error.message().c_str()));
  for (; it != end; it.increment(error)) {
    if (error)
      throw EInOutError(
          Format("Cannot read folder \"%s\": %s", folder.c_str(), error.message().c_str()));
    if (++entries > PackMaxFolderEntries)
      throw Exception(Format("Folder \"%s\" holds more than %zu entries", folder.c_str(),
                             PackMaxFolderEntries));
    const std::string file = it->path().filename().string();
    std::string image;
    int64_t number = 0;
    bool png = false;
    if (EndsWith(file, "_data.txt")) {
      listing.DataFiles.push_back(file.substr(0, file.size() - 9));
    } else if (SplitFrameName(file, image, number, png)) {
      auto& slot = listing.Images[image].ByNumber[number];
      const std::string key = image + "/" + std::to_string(number);
      if (slot.empty() || (png && !pngs[key])) slot = it->path().string(), pngs[key] = png;
    }
  }
  return listing;
}

// The image a folder source packs: the one given, else the one the folder holds.
std::string FolderImageName(const TFolderListing& listing, const std::string& givenName,
                            const std::string& folder) {
  if (!givenName.empty()) return givenName;
  if (listing.DataFiles.size() == 1) return listing.DataFiles[0];
  if (listing.DataFiles.empty() && listing.Images.size() == 1) return listing.Images.begin()->first;
  throw Exception(
      Format("Folder \"%s\" holds the frames of several images: name one as "
             "NAME=%s or %s/NAME_Data.txt",
             folder.c_str(), folder.c_str(), folder.c_str()));
}

// A copy of the picture keeping every scale-th pixel of every scale-th row.
TSourcePicture Downscaled(const TSourcePicture& picture, int32_t scale) {
  if (scale == 1) return picture;
  TSourcePicture small = picture;
  small.Width = std::max(1, picture.Width / scale);
  small.Height = std::max(1, picture.Height / scale);
  const size_t bytes = picture.Indexed ? 1 : 4;
  small.Pixels.assign(size_t(small.Width) * size_t(small.Height) * bytes, 0);
  for (int32_t y = 0; y < small.Height; ++y)
    for (int32_t x = 0; x < small.Width; ++x)
      std::copy_n(&picture.Pixels[(size_t(y) * scale * picture.Width + size_t(x) * scale) * bytes],
                  bytes, &small.Pixels[(size_t(y) * small.Width + x) * bytes]);
  return small;
}

// One atlas frame in the sheet's pixels (the atlas's values divided by its scale).
struct TSheetFrame {
  TAtlasRect Cell, Region;
  int32_t HotX = 0, HotY = 0;
  bool Cut = false;  // no "spriteSourceSize": the cell is cut to its non-transparent pixels
};

// The atlas's frames in sheet pixels, each checked against the scale and its cell; nothing of
// the sheet is read yet.
std::vector<TSheetFrame> SheetFrames(const TSheetAtlas& atlas, const std::string& atlasFile) {
  const int32_t s = atlas.Scale;
  std::vector<TSheetFrame> frames;
  frames.reserve(atlas.Frames.size());
  for (size_t i = 0; i < atlas.Frames.size(); ++i) {
    const TAtlasFrame& f = atlas.Frames[i];
    const auto fail = [&](const char* what) {
      return Exception(Format("Atlas \"%s\", frame %zu: %s", atlasFile.c_str(), i, what));
    };
    const TAtlasRect& c = f.Cell;
    const TAtlasRect& r = f.Source;
    if (c.X % s || c.Y % s || c.W % s || c.H % s ||
        (f.HasSource && (r.X % s || r.Y % s || r.W % s || r.H % s)) ||
        (f.HasHotSpot && (f.HotX % s || f.HotY % s)))
      throw fail("a value is not a multiple of the sheet's scale");
    TSheetFrame frame;
    frame.Cell = {c.X / s, c.Y / s, c.W / s, c.H / s};
    frame.Region = frame.Cell;
    frame.Cut = !f.HasSource;
    if (f.HasSource) {
      frame.Region = {frame.Cell.X + r.X / s, frame.Cell.Y + r.Y / s, r.W / s, r.H / s};
      if (int64_t(r.X / s) + frame.Region.W > frame.Cell.W ||
          int64_t(r.Y / s) + frame.Region.H > frame.Cell.H)
        throw fail("\"spriteSourceSize\" lies outside the cell");
    }
    frame.HotX = frame.Cell.X + f.HotX / s;
    frame.HotY = frame.Cell.Y + f.HotY / s;
    frames.push_back(frame);
  }
  return frames;
}

}  // namespace

TPackSource ParsePackSource(const std::string& argument) {
  const size_t eq = argument.find('=');
  // A '=' inside a path (after a separator) does not name the image.
  if (eq == std::string::npos || argument.find('/') < eq) return {"", argument};
  return {argument.substr(0, eq), argument.substr(eq + 1)};
}

TQuvPacker::TQuvPacker(const TPalette& palette, uint8_t transparentIndex,
                       const TPackOptions& options)
    : FMapper(palette, transparentIndex),
      FTransparent(transparentIndex),
      FOptions(options),
      FPixelsLeft(QuvMaxFramePixels) {}

void TQuvPacker::Add(const TPackSource& source) {
  std::error_code error;
  const fs::path path(source.Path);
  if (fs::is_directory(path, error)) return AddFolder(source.Name, source.Path);
  // Anything else must be a file that can be read; the refusal says why it cannot (it does not
  // exist, a dangling link, a fifo, no permission) before any work starts.
  OpenRegularFile(source.Path, TLinkPolicy::Follow);
  if (EndsWith(source.Path, ".json")) return AddSheet(source.Name, source.Path);
  if (EndsWith(source.Path, "_data.txt")) {
    std::string name = source.Name;
    if (name.empty()) {
      name = path.filename().string();
      name.resize(name.size() - 9);
    }
    return AddFolder(name, path.parent_path().empty() ? "." : path.parent_path().string());
  }
  AddPicture(source.Name.empty() ? path.stem().string() : source.Name, source.Path);
}

TQuvImageModel& TQuvPacker::NewImage(const std::string& name, const std::string& source) {
  if (name.empty())
    throw Exception(
        Format("\"%s\": the image needs a name (NAME=%s)", source.c_str(), source.c_str()));
  if (name.size() > PackMaxNameLength)
    throw Exception(
        Format("Image name \"%s\" (from \"%s\") has %zu bytes; a Quv image name has "
               "at most %zu",
               name.c_str(), source.c_str(), name.size(), PackMaxNameLength));
  if (name.find('\0') != std::string::npos)
    throw Exception(Format("Image name from \"%s\" holds a zero byte", source.c_str()));
  for (const TQuvImageModel& image : FImages)
    if (LowerCase(image.Name) == LowerCase(name))
      throw Exception(
          Format("Image \"%s\" (from \"%s\") is given twice", name.c_str(), source.c_str()));
  FImages.push_back({name, {}});
  FMoved.clear();
  return FImages.back();
}

void TQuvPacker::CheckPixels(int64_t pixels, const std::string& source) const {
  if (pixels <= FPixelsLeft) return;
  std::string before;
  if (FPixelsLeft < QuvMaxFramePixels)
    before = Format(" (the images before it take %lld)",
                    static_cast<long long>(QuvMaxFramePixels - FPixelsLeft));
  throw Exception(
      Format("Image \"%s\" (%s): its frames need more than the %lld pixels one pack builds%s",
             FImages.back().Name.c_str(), source.c_str(), static_cast<long long>(QuvMaxFramePixels),
             before.c_str()));
}

TQuvFrameModel TQuvPacker::MakeFrame(const TSourcePicture& picture, TRegion region, int32_t hotX,
                                     int32_t hotY, bool cut, const std::string& file,
                                     int32_t index) {
  const int64_t area = int64_t(region.W) * region.H;
  CheckPixels(area, file);
  FPixelsLeft -= area;
  std::vector<uint8_t> pixels;
  const int64_t moved = FMapper.Map(picture, region.X, region.Y, region.W, region.H, pixels);
  if (moved > 0) FMoved.push_back({index, moved});
  if (cut) {
    int32_t left = region.W, top = region.H, right = -1, bottom = -1;
    for (int32_t y = 0; y < region.H; ++y)
      for (int32_t x = 0; x < region.W; ++x)
        if (pixels[size_t(y) * region.W + x] != FTransparent) {
          left = std::min(left, x), right = std::max(right, x);
          top = std::min(top, y), bottom = std::max(bottom, y);
        }
    if (right < 0) left = top = right = bottom = 0;  // nothing drawn: one empty pixel
    std::vector<uint8_t> inner;
    inner.reserve(size_t(right - left + 1) * size_t(bottom - top + 1));
    for (int32_t y = top; y <= bottom; ++y) {
      const auto row = pixels.begin() + std::ptrdiff_t(y) * region.W;
      inner.insert(inner.end(), row + left, row + right + 1);
    }
    pixels.swap(inner);
    region = {region.X + left, region.Y + top, right - left + 1, bottom - top + 1};
  }
  TQuvFrameModel frame;
  frame.Width = region.W;
  frame.Height = region.H;
  const int64_t xOffset = int64_t(hotX) - region.X, yOffset = int64_t(hotY) - region.Y;
  if (xOffset < -32768 || xOffset > 32767 || yOffset < -32768 || yOffset > 32767)
    throw Exception(
        Format("\"%s\", frame %d: the hot spot lies %lld, %lld from the frame's "
               "corner; a Quv offset holds -32768 to 32767",
               file.c_str(), index, (long long)xOffset, (long long)yOffset));
  frame.XOffset = int32_t(xOffset);
  frame.YOffset = int32_t(yOffset);
  frame.Compression = FOptions.Raw ? 0 : 1;
  frame.Pixels = std::move(pixels);
  return frame;
}

void TQuvPacker::Finish(const TQuvImageModel& image, int32_t cutFrames, const std::string& source) {
  if (cutFrames > 0)
    FWarnings.push_back(
        Format("Image \"%s\" (%s): %d frame%s had no size given, cut to their "
               "non-transparent pixels",
               image.Name.c_str(), source.c_str(), cutFrames, cutFrames == 1 ? "" : "s"));
  if (FMoved.empty()) return;
  int64_t total = 0;
  std::string frames;
  for (const auto& [index, count] : FMoved) {
    total += count;
    frames += Format("%s%d (%lld)", frames.empty() ? "" : ", ", index, (long long)count);
  }
  const std::string text = Format(
      "Image \"%s\" (%s): %lld pixel%s had no exact palette colour and took the nearest, in "
      "frames %s",
      image.Name.c_str(), source.c_str(), (long long)total, total == 1 ? "" : "s", frames.c_str());
  if (FOptions.Strict) throw Exception(text);
  FWarnings.push_back(text);
}

void TQuvPacker::AddSheet(const std::string& givenName, const std::string& atlasFile) {
  const TSheetAtlas atlas =
      ParseSheetAtlas(ReadRegularFile(atlasFile, AtlasMaxFileSize), atlasFile);
  const fs::path atlasPath(atlasFile);
  std::string name = givenName;
  if (name.empty()) {
    name = atlasPath.filename().string();
    name.resize(name.size() - (EndsWith(name, "_sheet.json") ? 11 : 5));
  }
  const std::string sheetFile =
      (atlasPath.parent_path() /
       (atlas.Image.empty() ? atlasPath.stem().string() + ".png" : atlas.Image))
          .string();
  TQuvImageModel& image = NewImage(name, atlasFile);
  const std::vector<TSheetFrame> frames = SheetFrames(atlas, atlasFile);
  // All the frames' pixels are counted before the sheet is read: an atlas of a few bytes can ask
  // for the whole sheet thousands of times over.
  int64_t pixels = 0;
  for (const TSheetFrame& f : frames)
    if ((pixels += int64_t(f.Region.W) * f.Region.H) > FPixelsLeft) break;
  CheckPixels(pixels, atlasFile);
  const TSourcePicture sheet = Downscaled(ReadPicture(sheetFile), atlas.Scale);
  int32_t cut = 0, guessedHotSpots = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    const TSheetFrame& f = frames[i];
    if (int64_t(f.Cell.X) + f.Cell.W > sheet.Width || int64_t(f.Cell.Y) + f.Cell.H > sheet.Height) {
      const TAtlasRect& c = atlas.Frames[i].Cell;
      throw Exception(
          Format("Atlas \"%s\", frame %zu: the cell %d,%d %dx%d lies outside the "
                 "sheet \"%s\" of %dx%d",
                 atlasFile.c_str(), i, c.X, c.Y, c.W, c.H, sheetFile.c_str(),
                 sheet.Width * atlas.Scale, sheet.Height * atlas.Scale));
    }
    cut += f.Cut ? 1 : 0;
    guessedHotSpots += atlas.Frames[i].HasHotSpot ? 0 : 1;
    image.Frames.push_back(MakeFrame(sheet, {f.Region.X, f.Region.Y, f.Region.W, f.Region.H},
                                     f.HotX, f.HotY, f.Cut, atlasFile, int32_t(i)));
  }
  if (guessedHotSpots > 0)
    FWarnings.push_back(
        Format("Image \"%s\" (%s): %d frame%s had no \"hotspot\"; taken as the "
               "cell's corner",
               name.c_str(), atlasFile.c_str(), guessedHotSpots, guessedHotSpots == 1 ? "" : "s"));
  Finish(image, cut, atlasFile);
}

void TQuvPacker::AddFolder(const std::string& givenName, const std::string& folder) {
  const TFolderListing listing = ListFrameFolder(folder);
  const std::string name = FolderImageName(listing, givenName, folder);
  const auto found = listing.Images.find(name);
  if (found == listing.Images.end() || found->second.ByNumber.empty())
    throw Exception(Format("Folder \"%s\" holds no frame files %s_N.png or %s_N.bmp",
                           folder.c_str(), name.c_str(), name.c_str()));
  const TFrameFileList files(found->second.ByNumber.begin(), found->second.ByNumber.end());
  if (files.size() > 65535)
    throw Exception(Format("Folder \"%s\" holds %zu frames of \"%s\"; an image has at most 65535",
                           folder.c_str(), files.size(), name.c_str()));

  const std::string dataFile = (fs::path(folder) / (name + "_Data.txt")).string();
  const TFrameDataText data = ReadFolderFrameData(dataFile, folder, name, files.size());
  TQuvImageModel& image = NewImage(name, folder);
  const int32_t cut = AddFrameFiles(image, files, data, dataFile);
  Finish(image, cut, folder);
}

TFrameDataText TQuvPacker::ReadFolderFrameData(const std::string& dataFile,
                                               const std::string& folder, const std::string& name,
                                               size_t frameFiles) {
  TFrameDataText data;
  std::error_code error;
  // Whatever stands at the name is read, so that a dangling link or a fifo is refused with its
  // reason rather than taken for a missing file.
  if (!fs::exists(fs::symlink_status(dataFile, error))) {
    FWarnings.push_back(Format("Image \"%s\": no \"%s\" beside the frames; hot spots are 0, 0",
                               name.c_str(), dataFile.c_str()));
    return data;
  }
  data = ParseFrameDataText(ReadRegularFile(dataFile, FrameDataMaxFileSize), dataFile);
  if (data.Lines.size() > frameFiles)
    throw Exception(
        Format("Frame data \"%s\" names %zu frames, but \"%s\" holds %zu frame "
               "files of \"%s\"",
               dataFile.c_str(), data.Lines.size(), folder.c_str(), frameFiles, name.c_str()));
  return data;
}

int32_t TQuvPacker::AddFrameFiles(TQuvImageModel& image, const TFrameFileList& files,
                                  const TFrameDataText& data, const std::string& dataFile) {
  int32_t cut = 0;
  bool padded = false;
  for (size_t k = 0; k < files.size(); ++k) {
    const std::string& file = files[k].second;
    const TSourcePicture picture = ReadPicture(file);
    const TRegion whole{0, 0, picture.Width, picture.Height};
    const int32_t index = int32_t(k);
    if (k < data.Lines.size() && data.Type >= 1) {
      const TFrameDataLine& line = data.Lines[k];
      if (picture.Width == line.Width && picture.Height == line.Height) {
        image.Frames.push_back(MakeFrame(picture, whole, line.X, line.Y, false, file, index));
        continue;
      }
      // A padded export: the frame lies at (X, Y) of the picture, and its hot spot is at the
      // padding origin, which the data does not tell; the picture's corner stands for it.
      if (line.X >= 0 && line.Y >= 0 && int64_t(line.X) + line.Width == picture.Width &&
          int64_t(line.Y) + line.Height == picture.Height) {
        padded = true;
        image.Frames.push_back(MakeFrame(picture, {line.X, line.Y, line.Width, line.Height}, 0, 0,
                                         false, file, index));
        continue;
      }
      throw Exception(
          Format("\"%s\" is %dx%d, but frame data \"%s\" gives frame %zu as %dx%d "
                 "at %d,%d",
                 file.c_str(), picture.Width, picture.Height, dataFile.c_str(), k, line.Width,
                 line.Height, line.X, line.Y));
    }
    const int32_t hotX = k < data.Lines.size() ? data.Lines[k].X : 0;
    const int32_t hotY = k < data.Lines.size() ? data.Lines[k].Y : 0;
    ++cut;
    image.Frames.push_back(MakeFrame(picture, whole, hotX, hotY, true, file, index));
  }
  if (padded)
    FWarnings.push_back(
        Format("Image \"%s\": the frames are padded; the hot spots are placed at "
               "the padding origin (exports line up as before)",
               image.Name.c_str()));
  return cut;
}

void TQuvPacker::AddPicture(const std::string& name, const std::string& file) {
  TQuvImageModel& image = NewImage(name, file);
  const TSourcePicture picture = ReadPicture(file);
  image.Frames.push_back(
      MakeFrame(picture, {0, 0, picture.Width, picture.Height}, 0, 0, true, file, 0));
  Finish(image, 1, file);
}

std::vector<uint8_t> TQuvPacker::Build() const {
  if (FImages.empty()) throw Exception("Nothing to pack");
  return EncodeQuvFile(FImages, FOptions.Raw ? 0 : 1, FTransparent);
}
