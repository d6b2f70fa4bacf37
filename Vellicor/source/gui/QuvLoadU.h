#pragma once
// "Loading Quvs...": opens every file chosen in the open dialog one after another, searching
// archives through the archive picker, while the event loop keeps serving timers and input (and
// the Abort button) between files.
#include <QDialog>
#include <QStringList>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class TMainForm;
class TQuvView;

class TQuvLoader : public QDialog {
  Q_OBJECT
 public:
  explicit TQuvLoader(TMainForm* mainForm);

  // Shows the dialog modally and runs the batch for these names; filter index 1 means Quv
  // files, any other value means each name is an archive to search.
  int Run(const QStringList& names, int filterIndex);

  QStringList FileList;
  int FilterIndex = 1;
  bool Aborted = false;

  // The archive picker (replaceable by tests): (filter in/out, results, archive, multiple).
  std::function<bool(QString& filter, QStringList& results, const QString& archiveName,
                     bool multipleSelection)>
      PickFiles;
  // Told after every file opened, with the number opened so far (tests abort from here).
  std::function<void(int opened)> OnFileOpened;

  QProgressBar* ProgressBar;
  QLabel *CurrentQuvIndex, *MaxQuvIndex, *CurrentQuv;
  QPushButton* AbortButton;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void FormActivate();
  bool Open(const QString& source, const QString& fileName);  // false: stop the batch
  bool Stopping() const;

  TMainForm* FMainForm;
  bool FArmed = false;
  int FOpened = 0;
};
