#include "BatchConvertU.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "ArchiveLoadersU.h"
#include "ArchivePathU.h"
#include "ExceptionsU.h"
#include "FileSystemU.h"
#include "StringUtilsU.h"

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

bool IsHpiArchive(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  char signature[4] = {};
  return in.read(signature, 4) && std::memcmp(signature, "HAPI", 4) == 0;
}

// The name a folder or file stands under in the output (a path's last part, "." resolved).
std::string BaseName(const fs::path& path) {
  std::error_code error;
  fs::path absolute = fs::absolute(path, error).lexically_normal();
  if (!absolute.has_filename()) absolute = absolute.parent_path();
  return absolute.filename().string();
}

void CollectFolder(const fs::path& folder, const std::string& input, bool recursive,
                   TConvertBatch& batch) {
  std::vector<TConvertItem> found;
  const std::string base = BaseName(folder);
  std::error_code error;
  const auto add = [&](const fs::directory_entry& entry) {
    const std::string name = entry.path().filename().string();
    if (!IsQuvName(name) || !entry.is_regular_file(error)) return;
    const fs::path relative = entry.path().lexically_relative(folder);
    std::vector<std::string> dirs;
    for (const fs::path& part : relative.parent_path()) dirs.push_back(part.string());
    found.push_back({entry.path().string(), (fs::path(input) / relative).string(),
                     OutFolderOf(base, dirs, name)});
  };
  if (recursive) {
    for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied,
                                             error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error))
      add(*it);
  } else {
    for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
         it.increment(error))
      add(*it);
  }
  if (error) batch.Failures.push_back({input, error.message()});
  std::sort(found.begin(), found.end(),
            [](const TConvertItem& a, const TConvertItem& b) { return a.Source < b.Source; });
  batch.Items.insert(batch.Items.end(), found.begin(), found.end());
}

// The Quv files below dir (all levels when deep), with their folders below dir.
void CollectArchiveDir(TDirEntry& dir, bool deep, std::vector<std::string>& parts,
                       std::vector<std::pair<std::vector<std::string>, std::string>>& out) {
  for (const auto& [key, node] : dir.SortedIndex()) {
    if (node->IsDirectory()) {
      if (!deep) continue;
      parts.push_back(node->Name);
      CollectArchiveDir(static_cast<TDirEntry&>(*node), deep, parts, out);
      parts.pop_back();
    } else if (IsQuvName(node->Name)) {
      out.emplace_back(parts, node->Name);
    }
  }
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
  const auto innerSource = [&](const std::vector<std::string>& dirs, const std::string& name) {
    std::string path = archive;
    for (const std::string& d : dirs) path += "/" + d;
    return path + "/" + name;
  };
  if (!fileName.empty()) {
    const std::string source = innerSource(innerDirs, fileName);
    batch.Items.push_back({source, source, OutFolderOf(base, innerDirs, fileName)});
    return;
  }
  // A whole archive gives every Quv file in it; a folder inside one follows --recursive.
  std::vector<std::string> parts = innerDirs;
  std::vector<std::pair<std::vector<std::string>, std::string>> found;
  CollectArchiveDir(*dir, innerDirs.empty() || recursive, parts, found);
  for (const auto& [dirs, name] : found) {
    const std::string source = innerSource(dirs, name);
    batch.Items.push_back({source, source, OutFolderOf(base, dirs, name)});
  }
}

void CollectInput(const std::string& input, bool recursive, TConvertBatch& batch) {
  const fs::path path(ToDiskPath(input));
  std::error_code error;
  if (fs::is_directory(path, error)) return CollectFolder(path, input, recursive, batch);
  if (fs::is_regular_file(path, error)) {
    if (IsHpiArchive(path)) return CollectArchive(path.string(), "", recursive, input, batch);
    batch.Items.push_back({path.string(), input, OutFolderOf("", {}, path.filename().string())});
    return;
  }
  std::string archive, inner;
  if (ResolveArchivePath(ExtractFileDir(path.string()), path.string(), archive, inner))
    return CollectArchive(archive, inner, recursive, input, batch);
  batch.Failures.push_back({input, Format("Can not find file path \"%s\".", input.c_str())});
}

// "[#####     ] 12/100 name, 3 s left" on one line of standard error.
class TProgressBar {
 public:
  explicit TProgressBar(size_t total) : FEnabled(isatty(2)), FTotal(total) {}
  void Show(size_t done, const std::string& current, double seconds) {
    if (!FEnabled) return;
    constexpr int Width = 24;
    const int filled = FTotal ? int(Width * done / FTotal) : Width;
    std::string bar(size_t(filled), '#');
    bar.resize(Width, ' ');
    const double left = done ? seconds / double(done) * double(FTotal - done) : 0;
    std::string name = current.size() > 40 ? "..." + current.substr(current.size() - 37) : current;
    std::fprintf(stderr, "\r[%s] %zu/%zu %-40s %4.0f s left", bar.c_str(), done, FTotal,
                 name.c_str(), left);
    std::fflush(stderr);
    FShown = true;
  }
  void Finish() {
    if (FEnabled && FShown) std::fputc('\n', stderr);
    FShown = false;
  }

 private:
  bool FEnabled;
  bool FShown = false;
  size_t FTotal;
};

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
  return batch;
}

TConvertReport RunConvertJobs(const TConvertBatch& batch, int32_t jobs,
                              const std::function<int64_t(const TConvertItem&)>& convert) {
  TConvertReport report;
  report.Failures = batch.Failures;
  const size_t total = batch.Items.size();
  size_t threads = jobs > 0 ? size_t(jobs) : std::max(1u, std::thread::hardware_concurrency());
  threads = std::max<size_t>(1, std::min(threads, total));
  std::atomic<size_t> next{0};
  std::mutex lock;  // guards the report, the results and the bar
  std::vector<TConvertFailure> failures(total);
  std::vector<bool> failed(total, false);
  size_t done = 0;
  TProgressBar bar(total);
  const auto start = TClock::now();
  const auto work = [&] {
    for (size_t i = next++; i < total; i = next++) {
      const TConvertItem& item = batch.Items[i];
      int64_t files = 0;
      std::string reason;
      bool ok = true;
      try {
        files = convert(item);
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
      bar.Show(done, item.Name, std::chrono::duration<double>(TClock::now() - start).count());
    }
  };
  std::vector<std::thread> pool;
  for (size_t t = 1; t < threads; ++t) pool.emplace_back(work);
  work();
  for (std::thread& thread : pool) thread.join();
  bar.Finish();
  report.Seconds = std::chrono::duration<double>(TClock::now() - start).count();
  // In input order, whatever order the threads finished in.
  for (size_t i = 0; i < total; ++i)
    if (failed[i]) report.Failures.push_back(failures[i]);
  return report;
}

void PrintConvertReport(const TConvertReport& report, const std::string& out) {
  for (const TConvertFailure& failure : report.Failures)
    std::fprintf(stderr, "%s: %s\n", failure.Name.c_str(), failure.Reason.c_str());
  std::printf("%lld source%s converted, %lld file%s written to %s, %zu failed (%.2f s)\n",
              (long long)report.Converted, report.Converted == 1 ? "" : "s",
              (long long)report.FilesWritten, report.FilesWritten == 1 ? "" : "s", out.c_str(),
              report.Failures.size(), report.Seconds);
}
