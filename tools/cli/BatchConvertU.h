#pragma once
// Batch conversion for vellicor-cli convert: which Quv files the inputs stand for and where
// their output goes, and running the conversions on several threads with a progress display.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TConvertItem {
  std::string Source;     // a disk path or an archive path OpenQuvSource reads
  std::string Name;       // as reported: the input-relative path
  std::string OutFolder;  // relative to the output folder: <folder or archive>/<inner>/<file>
};

struct TConvertFailure {
  std::string Name;
  std::string Reason;
};

struct TConvertBatch {
  std::vector<TConvertItem> Items;
  std::vector<TConvertFailure> Failures;  // inputs that name nothing convertible
};

// Each input is a Quv file, a folder (its *.quv files; with recursive those of its sub-folders
// too), an HPI archive (every Quv file in it) or an archive path (a file or folder inside an
// archive). Items come in input order, each input's files sorted by path.
TConvertBatch CollectConvertItems(const std::vector<std::string>& inputs, bool recursive);

struct TConvertReport {
  int64_t Converted = 0;     // sources done without failure
  int64_t FilesWritten = 0;  // files the conversions wrote
  double Seconds = 0;
  std::vector<TConvertFailure> Failures;  // the batch's, then those of the conversions
};

// Runs convert on every item on jobs threads (0: one per core); convert returns the number of
// files it wrote and raises on failure. A bar on standard error when it is a terminal.
TConvertReport RunConvertJobs(const TConvertBatch& batch, int32_t jobs,
                              const std::function<int64_t(const TConvertItem&)>& convert);

// Each failure on standard error ("NAME: reason"), then the one-line summary on standard output.
void PrintConvertReport(const TConvertReport& report, const std::string& out);
