#pragma once
// "Loading Quvs...": opens every file chosen in the open dialog one after another, searching
// archives through the archive picker, while the event loop keeps serving timers and input (and
// the Abort button) between files.
#include <QStringList>
#include <functional>

#include "QuvProgressU.h"

class QLabel;
class TSettingsModel;

class TQuvLoader : public TQuvProgressDialog {
  Q_OBJECT
 public:
  // The picker's search filter is the setting in `settings`.
  TQuvLoader(IQuvBatchHost* host, TSettingsModel* settings, QWidget* owner);

  // Shows the dialog modally and runs the batch for these names; filter index 1 means Quv
  // files, any other value means each name is an archive to search.
  int Run(const QStringList& names, int filterIndex);

  QStringList FileList;
  int FilterIndex = 1;

  // The archive picker (replaceable by tests): (filter in/out, results, archive, multiple).
  std::function<bool(QString& filter, QStringList& results, const QString& archiveName,
                     bool multipleSelection)>
      PickFiles;
  // Told after every file opened, with the number opened so far (tests abort from here).
  std::function<void(int opened)> OnFileOpened;

  QLabel* CurrentQuv;

 protected:
  void FormActivate() override;
  void Stop() override;

 private:
  void Open(const QString& source, const QString& fileName);
  // The files chosen inside one archive; false when the batch is to stop.
  bool OpenFromArchive(const QString& archive);
  // Lets the event loop run; false when the batch is to stop (FTerminated: the program ends).
  bool Continue();

  TSettingsModel* FSettings;
  int FOpened = 0;
  bool FTerminated = false;
};
