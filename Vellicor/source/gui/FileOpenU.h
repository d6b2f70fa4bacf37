#pragma once
// Where the files to open come from, and the road each takes to its view: the open dialog,
// the command line, a drop, and the requests of later starts. A Quv file opens at once; an
// archive, or several files, go through the load dialog (and the archive picker), which opens
// one after another while a batch runs.
#include <QObject>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class QMimeData;
class QWidget;
class IQuvBatchHost;
class TPaletteModel;
class TQuvLoader;
class TSettingsModel;
class TSingleInstanceServer;

class TFileOpener : public QObject {
  Q_OBJECT
 public:
  // `window`: the main window, owner of the dialogs and brought to the front for requests.
  TFileOpener(QWidget* window, IQuvBatchHost* host, TSettingsModel* settings,
              const TPaletteModel* palettes);

  // Told of every error of a request's file.
  std::function<void(const std::exception& error)> OnError;
  // Opens a game folder that a request names (in a game browser).
  std::function<void(const QString& folder)> OpenGameFolder;

  // A batch is opening files: later names join it.
  bool Loading() const { return FLoading; }
  void SetLoading(bool on) { FLoading = on; }

  // Open Quv: the open dialog, then the load dialog with the names chosen.
  void OpenWithDialog();
  // The load progress dialog with these names (archives through the archive picker first).
  void LoadFiles(const QStringList& names);
  // Files named on the command line or by a request: an archive goes to the picker and the
  // load dialog (joining a batch already running), anything else opens at once.
  void OpenFiles(const QStringList& names);
  // The files of the command line: with Quv files registered they take the path of a request.
  void OpenCommandLine(const QStringList& files);
  // The open requests of later starts: each line opens its file (or game folder), each failure
  // is reported.
  void ServeRequests(TSingleInstanceServer& server);
  void ExecuteRequest(const std::vector<std::string>& lines);
  // The local files of a drop: folders give their Quv files.
  static QStringList DroppedFiles(const QMimeData* data);
  void OpenDroppedFiles(const QStringList& files);
  TQuvLoader* QuvLoader();
  // Shows the main window in front, restored from the task bar, with the input focus.
  void BringToFront();

 private:
  QWidget* FWindow;
  IQuvBatchHost* FHost;
  TSettingsModel* FSettings;
  const TPaletteModel* FPalettes;
  TQuvLoader* FQuvLoader = nullptr;
  bool FLoading = false;
};
