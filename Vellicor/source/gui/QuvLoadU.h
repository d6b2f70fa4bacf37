#pragma once
// "Loading Quvs...": opens every file chosen in the open dialog one after another, while the
// event loop keeps serving timers and input (and the Abort button) between files. Archives are
// searched through the archive picker before the dialog shows the files it opens.
#include <QList>
#include <QStringList>
#include <exception>
#include <functional>

#include "QuvProgressU.h"

class QLabel;
class TPaletteModel;
class TSettingsModel;

// An archive the loaders know (IsArchiveFile), whatever its name says.
bool IsHpiArchive(const QString& fileName);

class TQuvLoader : public TQuvProgressDialog {
  Q_OBJECT
 public:
  // The picker's search filter is the setting in `settings`; its previews are drawn with the
  // palette `palettes` holds.
  TQuvLoader(IQuvBatchHost* host, TSettingsModel* settings, const TPaletteModel* palettes,
             QWidget* owner);

  // Runs the batch for these names: each archive goes to the picker, then the dialog shows
  // modally and opens the files picked and every other name as a Quv file.
  int Run(const QStringList& names);
  // Adds a name to the batch (an archive: the files picked in it); while the batch runs they
  // are opened after the files already listed.
  void Add(const QString& name);

  // What the batch opens, in order: (archive source or empty, file name).
  struct TItem {
    QString Source;
    QString FileName;
  };
  QList<TItem> Items;

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
  void ShowMaximum();
  // To the application's error report (a plain box for a damaged file).
  void ReportError(const std::exception& error);

  TSettingsModel* FSettings;
  int FOpened = 0;
};
