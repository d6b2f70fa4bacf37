#include "ThumbnailCacheU.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "PictureReaderU.h"
#include "PngWriterU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"
#include "ThumbnailU.h"

namespace {

namespace fs = std::filesystem;

// The text chunks of an entry's file.
constexpr char KeyChunk[] = "Vellicor thumbnail key";
constexpr char FailureChunk[] = "Cannot read";
// A thumbnail's PNG is far below this (1024 x 1024 RGBA); a larger file is no entry.
constexpr size_t MaxEntryFileSize = size_t(16) << 20;

// Text that fits on one line of a key and in a PNG text chunk: control characters, '%' and
// bytes past ASCII as %XX.
std::string Escaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == '%' || byte >= 0x7f)
      out += Format("%%%02X", unsigned(byte));
    else
      out += c;
  }
  return out;
}

std::string Unescaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    int64_t byte = 0;
    if (text[i] == '%' && i + 2 < text.size() &&
        TryStrToInt("0x" + std::string(text.substr(i + 1, 2)), byte)) {
      out += char(byte);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

uint64_t PaletteHash(const TPalette& palette) {
  const std::string_view bytes(reinterpret_cast<const char*>(palette.data()), sizeof(TPalette));
  return std::hash<std::string_view>{}(bytes);
}

const std::string* TextOf(const TSourcePicture& picture, std::string_view key) {
  for (const TPictureText& text : picture.Texts)
    if (text.Key == key) return &text.Text;
  return nullptr;
}

// The entry a cache file holds for key, or nullopt.
std::optional<TCachedThumbnail> Decoded(const std::string& bytes, const TThumbnailKey& key,
                                        const std::string& path) {
  const TSourcePicture picture =
      DecodePng(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), path);
  const std::string* stored = TextOf(picture, KeyChunk);
  if (!stored || *stored != key.Text) return std::nullopt;
  TCachedThumbnail entry;
  if (const std::string* failure = TextOf(picture, FailureChunk)) {
    entry.Failure = failure->empty() ? "unknown reason" : Unescaped(*failure);
    return entry;
  }
  if (picture.Indexed || picture.Width > MaxThumbnailSize || picture.Height > MaxThumbnailSize)
    return std::nullopt;
  entry.Rgba = TPicture(picture.Width, picture.Height, 4);
  entry.Rgba.Pixels = picture.Pixels;
  return entry;
}

}  // namespace

std::string TThumbnailKey::FileName() const {
  return Format("%016llx.png",
                static_cast<unsigned long long>(std::hash<std::string_view>{}(Text)));
}

TThumbnailKey ThumbnailKeyOf(const TFileOrigin& origin, const TFileStamp& stamp,
                             const TThumbnailLook& look) {
  TThumbnailKey key;
  key.Text = Format(
      "file=%s\ninner=%s\nsize=%lld\nmodified=%lld\ninode=%llu:%llu\nside=%d\n"
      "palette=%016llx/%d\n",
      Escaped(origin.DiskPath).c_str(), Escaped(origin.InnerPath).c_str(),
      static_cast<long long>(stamp.Size), static_cast<long long>(stamp.ModifiedNs),
      static_cast<unsigned long long>(stamp.Device), static_cast<unsigned long long>(stamp.Inode),
      look.Side, static_cast<unsigned long long>(PaletteHash(look.Palette)),
      int(look.TransparentIndex));
  return key;
}

TThumbnailCache::TThumbnailCache(std::string folder, size_t maxFiles)
    : FFolder(std::move(folder)), FMaxFiles(std::max<size_t>(maxFiles, 1)) {}

std::optional<TCachedThumbnail> TThumbnailCache::Find(const TThumbnailKey& key) {
  {
    const std::lock_guard lock(FLock);
    if (const auto failure = FFailures.find(key.Text); failure != FFailures.end())
      return TCachedThumbnail{{}, failure->second};
  }
  const std::string path = FFolder + PathDelim + key.FileName();
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;  // the usual miss, without a throw
  try {
    return Decoded(ReadRegularFile(path, MaxEntryFileSize), key, path);
  } catch (const std::exception&) {
    return std::nullopt;  // broken or cut short: made anew and written over
  }
}

bool TThumbnailCache::Store(const TThumbnailKey& key, const TCachedThumbnail& entry) {
  std::vector<TPictureText> texts{{KeyChunk, key.Text}};
  if (!entry.Failure.empty()) {
    const std::lock_guard lock(FLock);
    FFailures[key.Text] = entry.Failure;
    texts.push_back({FailureChunk, Escaped(entry.Failure)});
  }
  try {
    // A failure is a one-pixel picture that carries the reason.
    const TPicture picture = entry.Failure.empty() ? entry.Rgba : TPicture(1, 1, 4);
    const std::vector<uint8_t> png = EncodePng(picture, texts);
    WriteFileAtomically(*Output(), key.FileName(),
                        std::string_view(reinterpret_cast<const char*>(png.data()), png.size()));
  } catch (const std::exception&) {
    // The folder may have gone (a user emptied the cache): opened anew next time.
    const std::lock_guard lock(FLock);
    FOutput.reset();
    return false;
  }
  const std::lock_guard lock(FLock);
  if (!FFileCount) CountFiles();
  if (++*FFileCount > FMaxFiles) Trim();
  return true;
}

std::shared_ptr<const TOutputFolder> TThumbnailCache::Output() {
  const std::lock_guard lock(FLock);
  if (!FOutput) FOutput = std::make_shared<const TOutputFolder>(TOutputFolder::Open(FFolder));
  return FOutput;
}

void TThumbnailCache::CountFiles() {
  size_t count = 0;
  std::error_code error;
  for (fs::directory_iterator it(FFolder, error), end; !error && it != end; it.increment(error))
    count += it->path().extension() == ".png";
  FFileCount = count;
}

// Removes the oldest entries (by the time they were written) until a tenth of the room is free.
void TThumbnailCache::Trim() {
  std::vector<std::pair<fs::file_time_type, fs::path>> entries;
  std::error_code error;
  for (fs::directory_iterator it(FFolder, error), end; !error && it != end; it.increment(error)) {
    std::error_code timeError;
    const fs::file_time_type written = it->last_write_time(timeError);
    if (!timeError && it->path().extension() == ".png") entries.emplace_back(written, it->path());
  }
  std::sort(entries.begin(), entries.end());
  const size_t keep = FMaxFiles - FMaxFiles / 10;
  size_t count = entries.size();
  for (const auto& [written, path] : entries) {
    if (count <= keep) break;
    std::error_code removeError;
    if (fs::remove(path, removeError)) --count;
  }
  FFileCount = count;
}
