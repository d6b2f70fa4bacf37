#pragma once
// Writes HPI archives in every storage form the reader accepts: stored files, chunked files
// with stored, LZ77, zlib or plain (no "SQSH") chunks, payload scrambling, and any header key.
// WriteHpi streams an archive from any source of file bytes to any output (the "hpi pack"
// command: disk files into an atomic file); THpiBuilder holds the files in memory (the tests,
// the benchmarks, the fuzz seeds and the hpibuild tool).
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

enum class THpiChunkKind : uint8_t { Stored, LZ77, ZLib, Plain };

struct THpiFileOptions {
  uint8_t CompressionFlag = 1;  // 0 stored as is; 1 or 2 split into chunks
  // Chunk i is written as Chunks[i % Chunks.size()].
  std::vector<THpiChunkKind> Chunks = {THpiChunkKind::LZ77};
  bool EncryptPayload = false;  // the index-keyed scrambling of "SQSH" payloads
  int ZLibLevel = 9;
};

// Sizes and offsets of the format are below this.
constexpr int64_t HpiMaxOffset = int64_t{1} << 31;

// One entry of an archive's directory, children in the order they are listed.
struct THpiTreeEntry {
  std::string Name;
  bool IsDirectory = false;
  uint32_t Size = 0;        // files: their length
  THpiFileOptions Options;  // files: how their data is stored
  size_t Source = 0;        // files: the writer's caller's number for them
  // files: the opener gives the data as an archive stored it (chunk table and chunks, or the
  // stored bytes), RawSize bytes unscrambled, instead of the content to store. It is copied as
  // it is, scrambled for its new place when Options.CompressionFlag says chunks.
  bool Raw = false;
  uint32_t RawSize = 0;
  std::vector<THpiTreeEntry> Children;
};

// Where the parts of a built archive landed (file offsets), for tests that patch archives.
// Paths use '/' between parts; the root directory is "".
struct THpiLayout {
  uint32_t DirectoryStart = 0;
  uint32_t DirectorySize = 0;
  std::map<std::string, uint32_t> DirRecords;
  std::map<std::string, uint32_t> Entries;      // the 9-byte entry naming each path
  std::map<std::string, uint32_t> FileRecords;  // the 9-byte file record of each file
  std::map<std::string, uint32_t> DataStarts;
};

// Where an archive's bytes go as it is written.
class IHpiOutput {
 public:
  virtual ~IHpiOutput() = default;
  virtual int64_t Position() const = 0;
  virtual void Write(const uint8_t* data, size_t size) = 0;
  virtual void WriteAt(int64_t position, const uint8_t* data, size_t size) = 0;
};

class TAtomicFile;

// An archive written into an atomic file, which the caller commits.
class THpiFileOutput : public IHpiOutput {
 public:
  explicit THpiFileOutput(TAtomicFile& file) : FFile(file) {}
  int64_t Position() const override;
  void Write(const uint8_t* data, size_t size) override;
  void WriteAt(int64_t position, const uint8_t* data, size_t size) override;

 private:
  TAtomicFile& FFile;
};

struct THpiArchiveOptions {
  uint32_t HeaderKey = 0;
  uint32_t Version = 0x00010000;
  // Put the file data before the directory, so that the directory block ends the archive.
  bool DataBeforeDirectory = false;
};

// Fills the next size bytes of a file's data (the pieces come in order).
using THpiPieceReader = std::function<void(uint8_t* into, size_t size)>;
// Opens a file of the tree for its data, once per file, in the order the data is written.
using THpiFileOpener = std::function<THpiPieceReader(const THpiTreeEntry& file)>;

// Writes the archive of the tree to out, from its current position (the start of the
// archive). Raises Exception when the directory or the archive would pass HpiMaxOffset.
THpiLayout WriteHpi(const THpiTreeEntry& root, IHpiOutput& out, const THpiArchiveOptions& options,
                    const THpiFileOpener& open);

class THpiBuilder {
 public:
  uint32_t HeaderKey = 0;
  // Put the file data before the directory, so that the directory block ends the archive.
  bool DataBeforeDirectory = false;
  uint32_t Version = 0x00010000;

  // Paths use '/' (or '\\') between parts; missing parent directories are made.
  void AddDirectory(const std::string& path);
  void AddFile(const std::string& path, std::vector<uint8_t> data,
               const THpiFileOptions& options = {});
  // Adds every file below folder at its relative path; choose picks each file's options by its
  // path and its number in the order added (same options for all when absent).
  using TOptionsChooser = std::function<THpiFileOptions(const std::string& path, size_t index)>;
  void AddFolder(const std::string& folder, const TOptionsChooser& choose = {});

  std::vector<uint8_t> Build(THpiLayout* layout = nullptr) const;
  void WriteFile(const std::string& fileName, THpiLayout* layout = nullptr) const;

  // The scrambling the reader undoes: for bytes that will lie at the given file offset.
  static void Scramble(uint8_t* data, size_t count, uint32_t position, uint32_t headerKey);
  // One chunk's bytes (before the archive scrambling) for one piece of a file.
  static std::vector<uint8_t> MakeChunk(const uint8_t* data, size_t size, THpiChunkKind kind,
                                        bool encryptPayload, int zlibLevel = 9);

 private:
  struct TFile {
    std::vector<uint8_t> Data;
    THpiFileOptions Options;
  };
  struct TDir {
    std::map<std::string, TDir> Dirs;
    std::map<std::string, TFile> Files;
  };
  TDir& ForceDir(const std::vector<std::string>& parts);
  // The directory tree to write, files before folders; Source numbers files in files.
  static THpiTreeEntry Tree(const TDir& dir, std::vector<const TFile*>& files);

  TDir FRoot;
};
