#pragma once
// What one export does with its files: writes each whole and keeps its name, or, in a dry run,
// only names it; and which frames it could not write, with the reason.
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// Writes the whole file under a temporary name in the target folder and renames it into place
// only when complete, so a failed write leaves no partial file and an existing file of that
// name intact. Raises EInOutError "Cannot create file "%s". %s" on failure.
void WriteWholeFile(const std::string& fileName, const void* data, size_t size);

class TOutputFolder;

class TExportPlan {
 public:
  enum class TMode { Write, NamesOnly };
  explicit TExportPlan(TMode mode = TMode::Write);
  ~TExportPlan();
  TExportPlan(const TExportPlan&) = delete;
  TExportPlan& operator=(const TExportPlan&) = delete;

  // In a dry run: adds the names and is true, and the caller encodes and writes nothing.
  bool NamesOnly(std::initializer_list<std::string_view> fileNames);
  // WriteWholeFile, keeping the name once the file is complete; a dry run only names it.
  void WriteFile(const std::string& fileName, const void* data, size_t size);
  // The files written (or named), in order, each once: a file written twice is one on disk.
  const std::vector<std::string>& Files() const { return FFiles; }

  // A frame that the export leaves out, and why (a sentence that names the file).
  void FrameFailed(const std::string& message) { FFailures.push_back(message); }
  const std::vector<std::string>& Failures() const { return FFailures; }

 private:
  void Add(std::string_view fileName);

  TMode FMode;
  // The folder written into last stays open, so an export into one folder opens it once.
  std::string FFolderPath;
  std::unique_ptr<TOutputFolder> FFolder;
  std::vector<std::string> FFiles;
  std::unordered_set<std::string> FSeen;
  std::vector<std::string> FFailures;
};

// The files the routine's exports would write, in order, each once; nothing is written.
std::vector<std::string> PlannedExportFiles(const std::function<void(TExportPlan&)>& routine);
// Those of the names that are there already on disk, in order.
std::vector<std::string> ExistingFiles(const std::vector<std::string>& fileNames);
