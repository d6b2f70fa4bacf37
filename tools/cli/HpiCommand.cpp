// vellicor-cli hpi list ARCHIVE [--json] and vellicor-cli hpi extract ARCHIVE --out DIR [MASK...]:
// mount one HPI archive into a file system of its own, list its tree or write its files out.
// Also registers the HPI loader with every file system the other commands make.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "CliCommandU.h"
#include "CliFileSystemU.h"
#include "Hpi_Zeta_LoaderU.h"
#include "StringUtilsU.h"

static TCliLoader hpiLoader([](TFileSystem* fileSystem) -> std::unique_ptr<TLibLoader> {
  return std::make_unique<THpiLoader>(fileSystem);
});

namespace {

namespace fs = std::filesystem;

struct TArchiveItem {
  std::vector<std::string> Parts;  // names from the root down
  TEntry* Node;
  bool IsDirectory;
  int64_t Size;
};

// Mounts the archive through its loader directly, so that a file that is no HPI archive is an
// error instead of a plain file in the tree.
std::unique_ptr<TFileSystem> MountArchive(const std::string& archive) {
  auto fileSystem = std::make_unique<TFileSystem>();
  fileSystem->Initialize();
  auto loader = std::make_unique<THpiLoader>(fileSystem.get());
  THpiLoader* hpi = loader.get();
  fileSystem->RegisterLoader(std::move(loader));
  auto reader = std::make_shared<TSystemFileReader>(archive);
  reader->Open(fmRead);
  uint8_t header[8] = {};
  if (reader->Read(header, 8) != 8 || std::memcmp(header, "HAPI", 4) != 0)
    throw Exception(Format("\"%s\" is not an HPI archive", archive.c_str()));
  const uint32_t version =
      header[4] | (header[5] << 8) | (header[6] << 16) | (uint32_t(header[7]) << 24);
  if (version != HpiZetaVersion)
    throw Exception(
        Format("\"%s\" is an HPI archive of unknown version 0x%08x", archive.c_str(), version));
  reader->SetPosition(0);
  fileSystem->GetRoot();
  hpi->Load(reader, archive, 0);
  return fileSystem;
}

void Collect(TDirEntry& dir, std::vector<std::string>& parts, std::vector<TArchiveItem>& out) {
  for (const auto& [name, node] : dir.SortedIndex()) {
    parts.push_back(node->Name);
    if (node->IsDirectory()) {
      out.push_back({parts, node, true, 0});
      Collect(static_cast<TDirEntry&>(*node), parts, out);
    } else {
      out.push_back({parts, node, false, static_cast<TFileEntry*>(node)->Size});
    }
    parts.pop_back();
  }
}

std::vector<TArchiveItem> ListArchive(TFileSystem& fileSystem) {
  std::vector<TArchiveItem> items;
  std::vector<std::string> parts;
  if (TDirEntry* root = fileSystem.Root()) Collect(*root, parts, items);
  return items;
}

std::string Joined(const std::vector<std::string>& parts) {
  std::string path;
  for (const std::string& part : parts) path += (path.empty() ? "" : "/") + part;
  return path;
}

// A name from an archive may hold anything; only a plain name may become part of a disk path.
bool SafePart(const std::string& part) {
  return !part.empty() && part != "." && part != ".." &&
         part.find_first_of("/\\") == std::string::npos;
}

// A mask with a separator matches the inner path ("/" between parts); any other mask the name.
bool Selected(const TArchiveItem& item, const std::vector<std::string>& masks) {
  if (masks.empty()) return true;
  for (const std::string& mask : masks) {
    const bool byPath = mask.find_first_of("/\\") != std::string::npos;
    if (MatchesMask(byPath ? Joined(item.Parts) : item.Parts.back(), ToDiskPath(mask))) return true;
  }
  return false;
}

void Extract(TFileEntry& node, const fs::path& target) {
  IFileReaderRef reader = node.OpenReader(fmRead);
  if (!reader) throw Exception(Format("\"%s\" has no reader", node.GetFullPath().c_str()));
  std::vector<uint8_t> data(size_t(std::max<int64_t>(reader->GetSize(), 0)));
  if (!data.empty()) reader->ReadBuffer(data.data(), int64_t(data.size()));
  reader->Close();
  fs::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  if (!out) throw EInOutError(Format("Cannot write \"%s\"", target.string().c_str()));
}

struct THpiOptions {
  std::string Archive;
  bool Json = false;
  std::string Out;
  std::vector<std::string> Masks;
};

}  // namespace

static TCliCommand hpiCommand(40, [](CLI::App& app) {
  auto options = std::make_shared<THpiOptions>();
  CLI::App* hpi = app.add_subcommand("hpi", "List or unpack an HPI archive");
  hpi->require_subcommand(1);

  CLI::App* list = hpi->add_subcommand(
      "list",
      "List every folder and file of an archive: files as their size, a tab and their "
      "inner path; folders as their path ending in \"/\". --json prints "
      "{\"archive\", \"entries\": [{\"path\", \"type\": \"file\"|\"dir\", \"size\"}]} "
      "with size 0 for folders");
  list->add_option("ARCHIVE", options->Archive, "HPI archive")->required();
  list->add_flag("--json", options->Json, "print JSON");
  list->callback([options] {
    std::unique_ptr<TFileSystem> fileSystem = MountArchive(options->Archive);
    const std::vector<TArchiveItem> items = ListArchive(*fileSystem);
    if (options->Json) {
      nlohmann::ordered_json entries = nlohmann::ordered_json::array();
      for (const TArchiveItem& item : items)
        entries.push_back({{"path", Joined(item.Parts)},
                           {"type", item.IsDirectory ? "dir" : "file"},
                           {"size", item.Size}});
      nlohmann::ordered_json doc = {{"archive", options->Archive}, {"entries", entries}};
      std::printf("%s\n",
                  doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else {
      for (const TArchiveItem& item : items) {
        if (item.IsDirectory)
          std::printf("%s/\n", Joined(item.Parts).c_str());
        else
          std::printf("%" PRId64 "\t%s\n", item.Size, Joined(item.Parts).c_str());
      }
    }
    std::fflush(stdout);
  });

  CLI::App* extract = hpi->add_subcommand(
      "extract",
      "Write the archive's files under a folder at their inner paths. With masks, "
      "only the files that match one: a mask holding \"/\" is matched against the "
      "inner path (\"/\" between parts; \"*\" also spans \"/\"), any other against the file "
      "name. Names that would leave the folder (\"..\", separators, empty) are "
      "refused, and the exit status is then 1");
  extract->add_option("ARCHIVE", options->Archive, "HPI archive")->required();
  extract->add_option("--out", options->Out, "folder to write into")->required();
  extract->add_option("MASK", options->Masks, "masks of the files to write");
  extract->callback([options] {
    std::unique_ptr<TFileSystem> fileSystem = MountArchive(options->Archive);
    const fs::path out(options->Out);
    int written = 0, refused = 0;
    for (const TArchiveItem& item : ListArchive(*fileSystem)) {
      if (item.IsDirectory || !Selected(item, options->Masks)) continue;
      fs::path target = out;
      bool safe = true;
      for (const std::string& part : item.Parts) {
        safe = safe && SafePart(part);
        target /= part;
      }
      if (!safe) {
        std::fprintf(stderr, "Refusing \"%s\": the name would leave the output folder\n",
                     Joined(item.Parts).c_str());
        ++refused;
        continue;
      }
      Extract(static_cast<TFileEntry&>(*item.Node), target);
      ++written;
    }
    std::printf("%d files written to %s\n", written, options->Out.c_str());
    if (refused) CliExitCode() = 1;
  });
});
