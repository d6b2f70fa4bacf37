#pragma once
// Batch conversion (vellicor-cli convert, the viewer's batch export): which Quv files the inputs
// stand for and where their output goes, and running the conversions on several threads with
// progress told as it goes and a way to stop.
#include <atomic>
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
  int64_t NotDone = 0;       // items an abort left out: never started
  double Seconds = 0;
  std::vector<TConvertFailure> Renamed;   // the batch's
  std::vector<TConvertFailure> Failures;  // the batch's, then those of the conversions
};

// Converts one item, counting in written each file it writes (also those written before it
// fails); raises on failure.
using TConvertFunction = std::function<void(const TConvertItem& item, int64_t& written)>;

// Told after each item (converted or failed), one call at a time, from the worker thread that
// did it: the items finished so far, their total, and the item's name.
using TConvertProgress = std::function<void(size_t done, size_t total, const std::string& name)>;

struct TConvertControl {
  int32_t Jobs = 0;  // threads; 0: one per core
  TConvertProgress OnProgress;
  // Set from any thread to stop: the items not started yet are left out (NotDone), those
  // running finish.
  const std::atomic<bool>* Abort = nullptr;
};

// Converts every item on control.Jobs threads. Each thread calls makeConverter once and
// converts its items with what it returned, which is free to keep what it opened (mounts) for
// the thread's next items: no other thread calls it.
TConvertReport RunConvertJobs(const TConvertBatch& batch, const TConvertControl& control,
                              const std::function<TConvertFunction()>& makeConverter);
