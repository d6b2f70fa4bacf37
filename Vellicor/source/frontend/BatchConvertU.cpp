#include "BatchConvertU.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "ArchiveLoadersU.h"
#include "ArchivePathU.h"
#include "ExceptionsU.h"
#include "FileSystemU.h"
#include "StringUtilsU.h"
#include "WorkerPoolU.h"

namespace {

namespace fs = std::filesystem;
using TClock = std::chrono::steady_clock;

bool IsQuvName(const std::string& name) {
  return MatchesMask(name, "*.quv");
}

// A name from a folder or an archive made safe as one part of an output path.
std::string OutPart(std::string part) {
  std::replace(part.begin(), part.end(), '/', '_');
  std::replace(part.begin(), part.end(), '\\', '_');
  if (part.empty() || part == "." || part == "..") part.assign(1, '_');
  return part;
}

// <base>/<inner folders>/<file name without extension>.
std::string OutFolderOf(const std::string& base, const std::vector<std::string>& innerDirs,
                        const std::string& fileName) {
  fs::path out = base.empty() ? fs::path() : fs::path(OutPart(base));
  for (const std::string& dir : innerDirs) out /= OutPart(dir);
  return (out / OutPart(fs::path(fileName).stem().string())).string();
}

TConvertItem MakeItem(std::string source, std::string name, std::string outFolder,
                      std::string container = {}, bool inArchive = false, std::string inner = {}) {
  TConvertItem item;
  item.Source = std::move(source);
  item.Name = std::move(name);
  item.OutFolder = std::move(outFolder);
  item.Container = std::move(container);
  item.InArchive = inArchive;
  item.Inner = std::move(inner);
  return item;
}

// The name a folder or file stands under in the output (a path's last part, "." resolved).
std::string BaseName(const fs::path& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error).lexically_normal();
  if (!absolute.has_filename()) absolute = absolute.parent_path();
  return absolute.filename().string();
}

bool IsHidden(const fs::path& path) {
  const std::string name = path.filename().string();
  return !name.empty() && name.front() == '.';
}

void CollectFolder(const fs::path& folder, const std::string& input, bool recursive,
                   TConvertBatch& batch) {
  std::vector<TConvertItem> found;
  const std::string base = BaseName(folder);
  std::error_code error;
  // Hidden files and folders stay out, as the folder's mount leaves them out. An entry that
  // cannot be looked at (a dangling link) is no file, and the walk goes on.
  std::error_code ignored;
  const auto add = [&](const fs::directory_entry& entry) {
    const std::string name = entry.path().filename().string();
    if (!IsQuvName(name) || IsHidden(entry.path()) || !entry.is_regular_file(ignored)) return;
    const fs::path relative = entry.path().lexically_relative(folder);
    std::vector<std::string> dirs;
    for (const fs::path& part : relative.parent_path()) dirs.push_back(part.string());
    found.push_back(MakeItem(entry.path().string(), (fs::path(input) / relative).string(),
                             OutFolderOf(base, dirs, name), entry.path().parent_path().string(),
                             false, name));
  };
  if (recursive) {
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                             error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
      if (IsHidden(it->path()) && it->is_directory(ignored))
        it.disable_recursion_pending();
      else
        add(*it);
    }
  } else {
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
         it.increment(error))
      add(*it);
  }
  if (error) batch.Failures.push_back({input, error.message()});
  // Each folder's files in a row: a folder is mounted once for them.
  std::sort(found.begin(), found.end(), [](const TConvertItem& a, const TConvertItem& b) {
    return std::tie(a.Container, a.Inner) < std::tie(b.Container, b.Inner);
  });
  batch.Items.insert(batch.Items.end(), found.begin(), found.end());
}

// The Quv files below dir (all levels when deep), with their folders below dir.
void CollectArchiveDir(TDirEntry& dir, bool deep, const std::vector<std::string>& parts,
                       std::vector<std::pair<std::vector<std::string>, std::string>>& out) {
  VisitTree(dir, [&](TEntry& node, const std::string&) {
    if (node.IsDirectory()) return deep ? TWalkStep::Continue : TWalkStep::SkipChildren;
    if (!IsQuvName(node.Name)) return TWalkStep::Continue;
    // Folder names from the node's own chain: an archived name may hold a "/".
    std::vector<std::string> below;
    for (const TEntry* at = node.Parent; at && at != &dir; at = at->Parent)
      below.push_back(at->Name);
    std::vector<std::string> dirs = parts;
    dirs.insert(dirs.end(), below.rbegin(), below.rend());
    out.emplace_back(std::move(dirs), node.Name);
    return TWalkStep::Continue;
  });
}

// The Quv files of an archive, or of a folder or file inside it (innerPath, '\\'-separated).
void CollectArchive(const std::string& archive, const std::string& innerPath, bool recursive,
                    const std::string& input, TConvertBatch& batch) {
  std::unique_ptr<TFileSystem> fileSystem = MakeArchiveFileSystem();
  fileSystem->MountArchive(archive, 1);
  TDirEntry* dir = fileSystem->Root();
  std::vector<std::string> innerDirs;
  std::string fileName;
  for (const std::string& part : SplitString(ToDiskPath(innerPath), '/')) {
    if (part.empty()) continue;
    if (!fileName.empty() || !dir) {
      dir = nullptr;
      break;
    }
    TEntry* child = dir->FindChild(part);
    if (!child) {
      dir = nullptr;
      break;
    }
    if (child->IsDirectory()) {
      dir = static_cast<TDirEntry*>(child);
      innerDirs.push_back(child->Name);
    } else {
      fileName = child->Name;
    }
  }
  if (!dir) {
    batch.Failures.push_back({input, Format("Can not find file path \"%s\".", input.c_str())});
    return;
  }
  const std::string base = ExtractFileName(archive);
  const auto addItem = [&](const std::vector<std::string>& dirs, const std::string& name) {
    std::string source = archive, inner;
    for (const std::string& d : dirs) {
      source += "/" + d;
      inner += d + TreeDelim;
    }
    source += "/" + name;
    batch.Items.push_back(
        MakeItem(source, source, OutFolderOf(base, dirs, name), archive, true, inner + name));
  };
  if (!fileName.empty()) return addItem(innerDirs, fileName);
  // A whole archive gives every Quv file in it; a folder inside one follows --recursive.
  std::vector<std::pair<std::vector<std::string>, std::string>> found;
  CollectArchiveDir(*dir, innerDirs.empty() || recursive, innerDirs, found);
  for (const auto& [dirs, name] : found) addItem(dirs, name);
}

void CollectInput(const std::string& input, bool recursive, TConvertBatch& batch) {
  const fs::path path(ToDiskPath(input));
  std::error_code error;
  if (fs::is_directory(path, error)) return CollectFolder(path, input, recursive, batch);
  if (fs::is_regular_file(path, error)) {
    if (IsArchiveFile(path.string()))
      return CollectArchive(path.string(), "", recursive, input, batch);
    batch.Items.push_back(
        MakeItem(path.string(), input, OutFolderOf("", {}, path.filename().string())));
    return;
  }
  std::string archive, inner;
  if (ResolveArchivePath(ExtractFileDir(path.string()), path.string(), archive, inner))
    return CollectArchive(archive, inner, recursive, input, batch);
  batch.Failures.push_back({input, Format("Can not find file path \"%s\".", input.c_str())});
}

// Of items that would share an output folder, the first keeps it and each later one takes the
// folder with "~N" appended, the lowest N from 2 on that no item has: nothing is written over,
// and the same inputs give the same folders.
void SeparateOutFolders(TConvertBatch& batch) {
  std::vector<TConvertItem>& items = batch.Items;
  std::unordered_map<std::string, size_t> holder;  // output folder -> the item that has it
  std::vector<size_t> later;
  for (size_t i = 0; i < items.size(); ++i)
    if (!holder.emplace(items[i].OutFolder, i).second) later.push_back(i);
  std::unordered_map<std::string, int> nextSuffix;
  for (const size_t i : later) {
    const std::string wanted = items[i].OutFolder;
    int& suffix = nextSuffix.try_emplace(wanted, 2).first->second;
    std::string folder;
    do {
      folder = wanted + "~" + std::to_string(suffix++);
    } while (!holder.emplace(folder, i).second);
    batch.Renamed.push_back(
        {items[i].Name, Format("written to %s, as %s is the output of %s", folder.c_str(),
                               wanted.c_str(), items[holder[wanted]].Name.c_str())});
    items[i].OutFolder = folder;
  }
}

}  // namespace

TConvertBatch CollectConvertItems(const std::vector<std::string>& inputs, bool recursive) {
  TConvertBatch batch;
  for (const std::string& input : inputs) {
    try {
      CollectInput(input, recursive, batch);
    } catch (const std::exception& e) {
      batch.Failures.push_back({input, e.what()});
    }
  }
  SeparateOutFolders(batch);
  return batch;
}

TConvertReport RunConvertJobs(const TConvertBatch& batch, const TConvertControl& control,
                              const std::function<TConvertFunction()>& makeConverter) {
  TConvertReport report;
  report.Renamed = batch.Renamed;
  report.Failures = batch.Failures;
  const size_t total = batch.Items.size();
  size_t threads =
      control.Jobs > 0 ? size_t(control.Jobs) : std::max(1u, std::thread::hardware_concurrency());
  threads = std::max<size_t>(1, std::min(threads, total));
  std::mutex lock;  // guards the report, the results and the progress calls
  std::vector<TConvertFailure> failures(total);
  std::vector<bool> failed(total, false);
  size_t done = 0;
  const auto start = TClock::now();
  TWorkerPool pool(threads);
  // Each worker's own, made by the worker: what it mounts serves its next items.
  std::vector<TConvertFunction> converters(pool.ThreadCount());
  for (size_t i = 0; i < total; ++i) {
    pool.Submit([&, i](size_t worker) {
      if (control.Abort && control.Abort->load()) {
        std::lock_guard<std::mutex> guard(lock);
        ++report.NotDone;
        return;
      }
      if (!converters[worker]) converters[worker] = makeConverter();
      const TConvertItem& item = batch.Items[i];
      int64_t files = 0;
      std::string reason;
      bool ok = true;
      try {
        converters[worker](item, files);
      } catch (const std::exception& e) {
        ok = false;
        reason = e.what();
      }
      std::lock_guard<std::mutex> guard(lock);
      report.FilesWritten += files;
      if (ok)
        ++report.Converted;
      else {
        failed[i] = true;
        failures[i] = {item.Name, reason};
      }
      ++done;
      if (control.OnProgress) control.OnProgress(done, total, item.Name);
    });
  }
  pool.Wait();
  report.Seconds = std::chrono::duration<double>(TClock::now() - start).count();
  // In input order, whatever order the workers finished in.
  for (size_t i = 0; i < total; ++i)
    if (failed[i]) report.Failures.push_back(failures[i]);
  return report;
}
