// vellicor-cli hpi list ARCHIVE [--json] and vellicor-cli hpi extract ARCHIVE --out DIR [MASK...]:
// mount one HPI archive into a file system of its own, list its tree or write its files out.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "ArchiveExtractU.h"
#include "ArchiveLoadersU.h"
#include "CliCommandU.h"
#include "HpiFileReaderU.h"
#include "SafeFileU.h"
#include "StringUtilsU.h"
#include "WorkerPoolU.h"

namespace {

namespace fs = std::filesystem;

struct TMountedArchive {
  std::unique_ptr<TFileSystem> FileSystem;
  IFileReaderRef Reader;  // the archive file, open while the tree lives
};

// Offers the archive to the loaders directly, so that a file that is no archive is an error
// instead of a plain file in the tree.
TMountedArchive MountArchive(const std::string& archive) {
  TMountedArchive mounted;
  mounted.FileSystem = MakeArchiveFileSystem();
  auto reader = std::make_shared<TSystemFileReader>(archive);
  reader->Open(fmRead);
  mounted.FileSystem->GetRoot();
  const TArchiveAnswer answer = mounted.FileSystem->OfferArchive(reader, archive, 0);
  if (answer.Kind == TArchiveAnswer::akNotMine)
    throw Exception(Format("\"%s\" is not an archive: %s", archive.c_str(), answer.Reason.c_str()));
  mounted.Reader = std::move(reader);
  return mounted;
}

// Visits every node of the archive in listing order (sorted, folders before their content) with
// its inner path, "/" between parts.
template <class TVisit>
void WalkArchive(TFileSystem& fileSystem, const TVisit& visit) {
  TDirEntry* root = fileSystem.Root();
  if (!root) return;
  VisitTree(*root, [&visit](TEntry& node, const std::string& path) {
    visit(path, node);
    return TWalkStep::Continue;
  });
}

// A JSON string as nlohmann's dump writes it (invalid UTF-8 replaced): plain printable ASCII is
// copied as it stands, anything else goes through the library.
void AppendJsonString(std::string& out, const std::string& text) {
  const bool plain = std::all_of(text.begin(), text.end(), [](char c) {
    return c >= 0x20 && c < 0x7f && c != '"' && c != '\\';
  });
  if (!plain) {
    out += nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return;
  }
  out += '"';
  out += text;
  out += '"';
}

void WriteOut(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

// The listing as nlohmann's dump(2) of {"archive", "entries": [{"path", "type", "size"}]}.
std::string JsonListing(const std::string& archive, TFileSystem& fileSystem) {
  std::string out = "{\n  \"archive\": ";
  AppendJsonString(out, archive);
  out += ",\n  \"entries\": [";
  bool first = true;
  WalkArchive(fileSystem, [&](const std::string& path, TEntry& node) {
    out += first ? "\n    {\n      \"path\": " : ",\n    {\n      \"path\": ";
    first = false;
    AppendJsonString(out, path);
    const bool dir = node.IsDirectory();
    out += dir ? ",\n      \"type\": \"dir\",\n      \"size\": "
               : ",\n      \"type\": \"file\",\n      \"size\": ";
    out += std::to_string(dir ? 0 : static_cast<TFileEntry&>(node).Size);
    out += "\n    }";
  });
  out += first ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

std::string TextListing(TFileSystem& fileSystem) {
  std::string out;
  WalkArchive(fileSystem, [&](const std::string& path, TEntry& node) {
    if (node.IsDirectory()) {
      out += path;
      out += "/\n";
      return;
    }
    out += std::to_string(static_cast<TFileEntry&>(node).Size);
    out += '\t';
    out += path;
    out += '\n';
  });
  return out;
}

// A mask with a separator matches the inner path ("/" between parts); any other mask the name.
bool Selected(const std::string& path, const std::string& name,
              const std::vector<std::string>& masks) {
  if (masks.empty()) return true;
  for (const std::string& mask : masks) {
    const bool byPath = mask.find_first_of("/\\") != std::string::npos;
    if (MatchesMask(byPath ? path : name, ToDiskPath(mask))) return true;
  }
  return false;
}

// One file to write, in listing order; what went wrong with it is reported after the run.
struct TExtractItem {
  std::string Path;  // inner path
  fs::path Target;   // below the output folder
  TFileEntry* Node = nullptr;
  std::string Error;
};

// The selected files in listing order, with their paths below the output folder; names that
// would leave it are refused.
std::vector<TExtractItem> ExtractItems(TFileSystem& fileSystem,
                                       const std::vector<std::string>& masks) {
  std::vector<TExtractItem> items;
  WalkArchive(fileSystem, [&](const std::string& path, TEntry& node) {
    if (node.IsDirectory() || !Selected(path, node.Name, masks)) return;
    TExtractItem item;
    item.Path = path;
    item.Node = &static_cast<TFileEntry&>(node);
    if (!ExtractTarget(node, nullptr, fs::path(), item.Target))
      item.Error = "the name would leave the output folder";
    items.push_back(std::move(item));
  });
  return items;
}

// Reads one file through the worker's own archive reader and writes it out.
void ExtractOne(TExtractItem& item, IFileReader& archive, TOutputTree& out) {
  auto* hpi = dynamic_cast<THpiFileReader*>(item.Node->Reader.get());
  if (!hpi) throw Exception("the file has no archive reader");
  const std::vector<uint8_t> data = ReadArchivedFile(*hpi, archive);
  out.Write(item.Target, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

// Writes the items on `jobs` threads, each with an archive reader of its own and one file in
// hand at a time, so memory holds no more than the files in flight. The tool's hpi commands
// run without a console, so the readers' error paths log nothing that threads would share.
void ExtractAll(std::vector<TExtractItem>& items, IFileReader& archive, TOutputTree& out,
                unsigned jobs) {
  std::vector<IFileReaderRef> readers;
  jobs = std::max(1u, std::min<unsigned>(jobs, unsigned(std::max<size_t>(items.size(), 1))));
  for (unsigned i = 0; i < jobs; ++i) {
    readers.push_back(archive.Clone());
    readers.back()->Open(fmRead);
  }
  TWorkerPool pool(jobs);
  for (TExtractItem& item : items) {
    if (!item.Error.empty()) continue;
    pool.Submit([&item, &readers, &out](size_t worker) {
      try {
        ExtractOne(item, *readers[worker], out);
      } catch (const std::exception& e) {
        item.Error = e.what();
      }
    });
  }
  pool.Wait();
}

struct THpiOptions {
  std::string Archive;
  bool Json = false;
  std::string Out;
  std::vector<std::string> Masks;
  unsigned Jobs = 0;
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
    TMountedArchive mounted = MountArchive(options->Archive);
    WriteOut(options->Json ? JsonListing(options->Archive, *mounted.FileSystem)
                           : TextListing(*mounted.FileSystem));
  });

  CLI::App* extract = hpi->add_subcommand(
      "extract",
      "Write the archive's files under a folder at their inner paths, decoding files on "
      "several threads (--jobs). With masks, only the files that match one: a mask holding "
      "\"/\" is matched against the inner path (\"/\" between parts; \"*\" also spans \"/\"), "
      "any other against the file name. A file that cannot be written (a name that would leave "
      "the folder: \"..\", separators, empty; a broken file) is reported by name after the "
      "others are written, and the exit status is then 1");
  extract->add_option("ARCHIVE", options->Archive, "HPI archive")->required();
  extract->add_option("--out", options->Out, "folder to write into")->required();
  extract->add_option("MASK", options->Masks, "masks of the files to write");
  extract
      ->add_option("--jobs", options->Jobs,
                   "threads that decode files (default: one per processor core)")
      ->check(CLI::PositiveNumber);
  extract->callback([options] {
    TMountedArchive mounted = MountArchive(options->Archive);
    std::vector<TExtractItem> items = ExtractItems(*mounted.FileSystem, options->Masks);
    TOutputTree out(options->Out);
    const unsigned jobs =
        options->Jobs > 0 ? options->Jobs : std::max(1u, std::thread::hardware_concurrency());
    ExtractAll(items, *mounted.Reader, out, jobs);
    int written = 0, failed = 0;
    for (const TExtractItem& item : items) {
      if (item.Error.empty()) {
        ++written;
        continue;
      }
      std::fprintf(stderr, "Cannot extract \"%s\": %s\n", item.Path.c_str(), item.Error.c_str());
      ++failed;
    }
    std::printf("%d files written to %s\n", written, options->Out.c_str());
    if (failed) CliExitCode() = 1;
  });
});
