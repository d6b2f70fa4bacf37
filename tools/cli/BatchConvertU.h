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
  // The folder or archive the file is opened through, mounted once for all its files (empty
  // for a file given alone), and the file's name in that folder or path inside that archive.
  std::string Container;
  bool InArchive = false;
  std::string Inner;
};

struct TConvertFailure {
  std::string Name;
  std::string Reason;
};

struct TConvertBatch {
  std::vector<TConvertItem> Items;
  std::vector<TConvertFailure> Failures;  // inputs that name nothing convertible
  // Items whose output folder an earlier item has: the reason is where they go instead.
  std::vector<TConvertFailure> Renamed;
};

// Each input is a Quv file, a folder (its *.quv files; with recursive those of its sub-folders
// too; hidden ones left out), an HPI archive (every Quv file in it) or an archive path (a file or
// folder inside an archive). Items come in input order, each input's files sorted by folder,
// then name. Every item has an output folder of its own: of items that would share one, the
// first keeps it and each later one takes it with "~2", "~3", ... appended.
TConvertBatch CollectConvertItems(const std::vector<std::string>& inputs, bool recursive);

struct TConvertReport {
  int64_t Converted = 0;     // sources done without failure
  int64_t FilesWritten = 0;  // files the conversions wrote, failed ones' included
  double Seconds = 0;
  std::vector<TConvertFailure> Renamed;   // the batch's
  std::vector<TConvertFailure> Failures;  // the batch's, then those of the conversions
};

// Converts one item, counting in written each file it writes (also those written before it
// fails); raises on failure.
using TConvertFunction = std::function<void(const TConvertItem& item, int64_t& written)>;

// Converts every item on jobs threads (0: one per core). Each thread calls makeConverter once
// and converts its items with what it returned, which is free to keep what it opened (mounts)
// for the thread's next items: no other thread calls it. A bar on standard error when it is a
// terminal.
TConvertReport RunConvertJobs(const TConvertBatch& batch, int32_t jobs,
                              const std::function<TConvertFunction()>& makeConverter);

// Each renamed output and each failure on standard error ("NAME: reason"), then the one-line
// summary on standard output.
void PrintConvertReport(const TConvertReport& report, const std::string& out);
