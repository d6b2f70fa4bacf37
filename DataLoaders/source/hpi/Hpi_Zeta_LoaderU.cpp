#include "Hpi_Zeta_LoaderU.h"
#include "ByteOrderU.h"

#include <cstring>

#include "ConsoleU.h"
#include "HpiChunkU.h"
#include "StringUtilsU.h"

namespace {

const char* const DirectoryReadError = "Error reading and decrypting Zeta Hpi central directory";
constexpr uint32_t HpiMaxField = 0x80000000u;
constexpr uint32_t NoNameEnd = 0xffffffffu;

// Offset and width must lie inside the directory buffer; the walk trusts nothing it reads.
void CheckInside(const std::vector<uint8_t>& dir, uint64_t offset, uint64_t width,
                 const char* what) {
  if (offset > dir.size() || width > dir.size() - offset)
    throw ERangeError(Format("HPI %s at offset %llu lies outside the %zu-byte directory", what,
                             static_cast<unsigned long long>(offset), dir.size()));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// THpiLoaderImp

bool THpiLoaderImp::Load(IFileReaderRef reader, const std::string& fileName, int32_t priority) {
  Reader = std::move(reader);
  FileName = fileName;
  Priority = priority;
  return false;
}

// ---------------------------------------------------------------------------------------------
// THpiLoader_Zeta

bool THpiLoader_Zeta::Load(IFileReaderRef reader, const std::string& fileName, int32_t priority) {
  THpiLoaderImp::Load(std::move(reader), fileName, priority);
  struct TClearLoadState {
    THpiLoader_Zeta& Self;
    ~TClearLoadState() {
      Self.FileName.clear();
      Self.Reader.reset();
      Self.Priority = 0;
      Self.FVisited = {};
      Self.FEntryVisited = {};
      Self.FNameEnd = {};
    }
  } clearLoadState{*this};

  uint8_t header[12];
  Reader->ReadBuffer(header, sizeof(header));
  const uint32_t directorySize = ByteOrder::LoadU32(header);
  const uint32_t headerKey = ByteOrder::LoadU32(header + 4);
  const uint32_t directoryStart = ByteOrder::LoadU32(header + 8);
  const uint32_t key = HpiDeriveKey(headerKey);

  // The size comes from the file: only a directory that the archive can hold is allocated.
  if (directoryStart >= directorySize || int64_t(directorySize) > Reader->GetSize())
    RaiseLogged<EZetaHpiLoadError>(LogLevel::Warning, DirectoryReadError);
  std::vector<uint8_t> dir;
  try {
    dir.assign(directorySize, 0);
    HpiReadAndDecrypt(*Reader, dir.data() + directoryStart, directoryStart,
                      directorySize - directoryStart, key);
  } catch (...) {
    RaiseLogged<EZetaHpiLoadError>(LogLevel::Warning, DirectoryReadError);
  }

  TDirEntry* root = Loader && Loader->FileSystem ? Loader->GetRoot() : nullptr;
  if (!root) RaiseLogged<EZetaHpiLoadError>(LogLevel::Assertion, "File tree root node is nil");
  return ReadDirectory(root, dir, directoryStart, key);
}

bool THpiLoader_Zeta::ReadDirectory(TDirEntry* parent, const std::vector<uint8_t>& dir,
                                    uint32_t recordOffset, uint32_t key) {
  FVisited.assign(dir.size(), false);
  FEntryVisited.assign(dir.size(), false);
  // Where the name starting at each offset ends, found in one pass: scanning per entry would
  // let many entries pointing into one long unterminated run cost the square of its length.
  FNameEnd.resize(dir.size());
  uint32_t end = NoNameEnd;
  for (size_t i = dir.size(); i-- > 0;) {
    if (dir[i] == 0) end = uint32_t(i);
    FNameEnd[i] = end;
  }
  return WalkDirectory(parent, dir, recordOffset, key, 0);
}

bool THpiLoader_Zeta::WalkDirectory(TDirEntry* parent, const std::vector<uint8_t>& dir,
                                    uint32_t recordOffset, uint32_t key, int depth) {
  if (depth > HpiMaxDirectoryDepth)
    RaiseLogged<EZetaHpiLoadError>(
        LogLevel::Warning,
        Format("Corrupted Zeta hpi file:\"%s\".\n Directories nest deeper than %d levels",
               FileName.c_str(), HpiMaxDirectoryDepth));
  CheckInside(dir, recordOffset, HpiDirRecordSize, "directory record");
  const uint32_t entryCount = ByteOrder::LoadU32(&dir[recordOffset]);
  const uint32_t entryListOffset = ByteOrder::LoadU32(&dir[recordOffset + 4]);
  if (entryCount == 0) return false;
  // An empty record may be shared harmlessly; one with entries reached twice is a loop.
  if (FVisited[recordOffset])
    RaiseLogged<EZetaHpiLoadError>(
        LogLevel::Warning,
        Format("Corrupted Zeta hpi file:\"%s\".\n Directory record at %u is reached twice",
               FileName.c_str(), recordOffset));
  FVisited[recordOffset] = true;
  CheckInside(dir, entryListOffset, uint64_t(entryCount) * HpiEntrySize, "entry list");

  bool result = false;
  for (uint32_t k = 0; k < entryCount; ++k) {
    const uint32_t entryOffset = entryListOffset + k * HpiEntrySize;
    // Entries shared by several records would multiply the walk's work with every sharer.
    if (FEntryVisited[entryOffset])
      RaiseLogged<EZetaHpiLoadError>(
          LogLevel::Warning,
          Format("Corrupted Zeta hpi file:\"%s\".\n Entry at %u is reached twice", FileName.c_str(),
                 entryOffset));
    FEntryVisited[entryOffset] = true;
    const uint8_t* entry = &dir[entryOffset];
    const uint32_t nameOffset = ByteOrder::LoadU32(entry);
    const uint32_t dataOffset = ByteOrder::LoadU32(entry + 4);
    const uint8_t kind = entry[8];
    CheckInside(dir, nameOffset, 1, "entry name");
    const uint32_t nameEnd = FNameEnd[nameOffset];
    if (nameEnd == NoNameEnd)
      throw ERangeError(
          Format("HPI entry name at offset %u runs past the end of the directory", nameOffset));
    std::string name(reinterpret_cast<const char*>(&dir[nameOffset]), nameEnd - nameOffset);
    if (name.empty())
      RaiseLogged<EZetaHpiLoadError>(
          LogLevel::Warning,
          Format("Corrupted Entry in the Zeta hpi file:\"%s\".\n Entry does not have a name",
                 FileName.c_str()));
    if (kind == ekDirectory) {
      TDirEntry* node = Loader->AddDirectory(name, parent);
      if (node && WalkDirectory(node, dir, dataOffset, key, depth + 1)) result = true;
    } else if (kind == ekFile) {
      if (AddFileEntry(parent, dir, std::move(name), dataOffset, key)) result = true;
    }
  }
  return result;
}

bool THpiLoader_Zeta::AddFileEntry(TDirEntry* parent, const std::vector<uint8_t>& dir,
                                   std::string name, uint32_t recordOffset, uint32_t key) {
  CheckInside(dir, recordOffset, HpiFileRecordSize, "file record");
  const uint32_t dataStart = ByteOrder::LoadU32(&dir[recordOffset]);
  const uint32_t fileSize = ByteOrder::LoadU32(&dir[recordOffset + 4]);
  const uint8_t compression = dir[recordOffset + 8];
  // The name moves into the node; the full path is only put together for a message.
  auto node = std::make_unique<TFileEntry>(std::move(name));
  const auto fullPath = [parent, &node] {
    const std::string name = node ? node->Name : std::string();
    const std::string parentPath = parent->GetFullPath();
    return parentPath.empty() ? name : parentPath + TreeDelim + name;
  };
  try {
    node->Priority = Priority;
    if (dataStart >= HpiMaxField || fileSize >= HpiMaxField)
      throw ERangeError(Format("HPI file \"%s\" has data start %u and size %u", fullPath().c_str(),
                               dataStart, fileSize));
    node->Size = fileSize;
    std::shared_ptr<THpiFileReader> reader;
    if (compression == 0) {
      // The node's size is what readers of the file trust; the archive must hold those bytes.
      if (int64_t(dataStart) + int64_t(fileSize) > Reader->GetSize())
        throw EReadError("Stream read error");
      reader = std::make_shared<THpiFileReader>(Reader, key, int32_t(fileSize), dataStart);
    } else if (compression <= 2) {
      // The chunk table's length follows from the size; the archive must hold it.
      const uint64_t chunks = (uint64_t(fileSize) + HpiChunkDataSize - 1) / HpiChunkDataSize;
      if (chunks > 0 && int64_t(dataStart) + int64_t(chunks) * 4 > Reader->GetSize())
        throw EReadError("Stream read error");
      reader = std::make_shared<TBufferedHpiFileReader>(Reader, key, int32_t(fileSize), dataStart);
      reader->Compression = compression;
    } else {
      RaiseLogged<EZetaHpiLoadError>(LogLevel::Warning, "Unkown HPI compression type");
    }
    node->Reader = reader;
    TFileEntry* const added = node.get();
    return Loader->AddFile(node, parent) == added;
  } catch (const EReadError&) {
    const std::string message = Format("HPI file entry \"%s\" is corrupt", fullPath().c_str());
    if (Strict) RaiseLogged<EZetaHpiLoadError>(LogLevel::Warning, message);
    ConsoleLog(LogLevel::Warning, message);
    return false;
  }
}

// ---------------------------------------------------------------------------------------------
// THpiLoader

THpiLoader::THpiLoader(TFileSystem* fileSystem)
    : TLibLoader(fileSystem, "THpiLoader"), Imp(std::make_unique<THpiLoader_Zeta>(this)) {}

THpiLoader::~THpiLoader() = default;

TLoaderBid THpiLoader::Bid(IFileReader& reader) const {
  TLoaderBid bid = TLibLoader::Bid(reader);
  uint8_t version[4];
  if (!bid.Mine() || reader.Read(version, sizeof version) != sizeof version) return bid;
  const uint32_t found = ByteOrder::LoadU32(version);
  if (found == HpiZetaVersion) return bid;
  return {TLoaderBid::bdOtherVersion,
          Format("HPI archive of version 0x%08x; only 0x%08x is read", found, HpiZetaVersion)};
}

bool THpiLoader::Load(IFileReaderRef reader, const std::string& fileName, int32_t priority) {
  uint8_t header[8];
  reader->ReadBuffer(header, sizeof(header));
  const uint32_t version = ByteOrder::LoadU32(header + 4);
  if (version != HpiZetaVersion) return false;
  return Imp->Load(std::move(reader), fileName, priority);
}
