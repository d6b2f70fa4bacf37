#pragma once
// The index of a game folder's image names built in the background: a thread of its own runs
// the build (which spreads the reading over worker threads), and the result comes back to the
// thread that owns the job through its signals.
#include <QObject>
#include <atomic>
#include <memory>
#include <thread>

class TGameFolder;
class TGameSearch;
class TImageNameIndex;

class TImageIndexJob : public QObject {
  Q_OBJECT
 public:
  // Starts at once. The folder's tree must outlive the job and stay as it is.
  explicit TImageIndexJob(TGameFolder& folder, QObject* parent = nullptr);
  // Cancels a build still running and waits for it (one file's read at most).
  ~TImageIndexJob() override;

  // Stops the build; finished is not emitted.
  void Cancel();
  bool Running() const { return !FDone.load(); }

 signals:
  // The file-name list of the folder, made before the index (TGameSearchPane::SetGameFolder).
  void searchReady(std::shared_ptr<TGameSearch> search);
  // Files read so far of those to read; a few times a second at most.
  void progress(qulonglong done, qulonglong total);
  // The whole index, when the build was not cancelled.
  void finished(std::shared_ptr<TImageNameIndex> index);

 private:
  std::atomic<bool> FCancel{false};
  std::atomic<bool> FDone{false};
  std::thread FThread;
};
