#pragma once
// "Loading Quvs...": opens every file chosen in the open dialog one after another, searching
// archives through the archive picker, while the event loop keeps serving timers and input (and
// the Abort button) between files.
#include <QStringList>
#include <functional>

#include "QuvProgressU.h"

class QLabel;
class TMainForm;
class TQuvView;

class TQuvLoader : public TQuvProgressDialog {
  Q_OBJECT
 public:
  explicit TQuvLoader(TMainForm* mainForm);

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
  bool Open(const QString& source, const QString& fileName);  // false: stop the batch
  bool Stopping() const;

  int FOpened = 0;
};
