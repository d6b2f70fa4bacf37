#include "FileOpenU.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include "AnimationPauseU.h"
#include "DialogsU.h"
#include "FileAssociateU.h"
#include "QtStringU.h"
#include "QuvLoadU.h"
#include "RegistryU.h"
#include "SettingsModelU.h"
#include "SingleInstanceServerU.h"
#include "SingleInstanceU.h"

TFileOpener::TFileOpener(QWidget* window, IQuvBatchHost* host, TSettingsModel* settings,
                         const TPaletteModel* palettes)
    : QObject(window), FWindow(window), FHost(host), FSettings(settings), FPalettes(palettes) {}

void TFileOpener::OpenWithDialog() {
  int filterIndex = FSettings->OpenFilterIndex();
  QStringList names;
  {
    // The views stand still and nothing is written while the dialog runs.
    const TAnimationPause pause;
    const TSettingsModel::TUpdate update(*FSettings);
    names = Dialogs().GetOpenFileNames(FWindow, QStringLiteral("Open"), FSettings->LoadLastDir(),
                                       FSettings->OpenFilter(), filterIndex);
    if (names.isEmpty()) return;
    // The folder of the chosen files is where the dialog opens next time.
    FSettings->SetLoadLastDir(QFileInfo(names.front()).absolutePath());
    FSettings->SetOpenFilterIndex(filterIndex);  // for the dialog; the files' bytes decide
  }
  FSettings->Save();
  LoadFiles(names);
}

TQuvLoader* TFileOpener::QuvLoader() {
  if (!FQuvLoader) FQuvLoader = new TQuvLoader(FHost, FSettings, FPalettes, FWindow);
  return FQuvLoader;
}

void TFileOpener::LoadFiles(const QStringList& names) {
  QuvLoader()->Run(names);
}

void TFileOpener::OpenFiles(const QStringList& names) {
  QStringList archives;
  for (const QString& name : names) {
    if (!IsHpiArchive(name))
      FHost->OpenQuvFile(QString(), name);
    else if (FLoading)
      QuvLoader()->Add(name);
    else
      archives << name;
  }
  if (!archives.isEmpty()) LoadFiles(archives);
}

// With Quv files registered the desktop starts the program with the file as its argument, so
// the files take the path of a request a second start hands over (each failure reported, then
// the next file).
void TFileOpener::OpenCommandLine(const QStringList& files) {
  bool registered = false;
  if (!files.isEmpty()) {
    try {
      const TFileRegistry registry(DefaultRegistryFileName());
      registered = IsFileTypeRegistered(registry);
    } catch (const std::exception&) {
      registered = false;
    }
  }
  if (!registered) {
    OpenFiles(files);
    return;
  }
  std::vector<std::string> names;
  for (const QString& file : files) names.push_back(ToStd(file));
  ExecuteRequest(SplitRequestLines(EncodeOpenRequest(names, ToStd(QDir::currentPath()))));
}

void TFileOpener::ExecuteRequest(const std::vector<std::string>& lines) {
  ExecuteOpenRequest(
      lines, [this](const std::string& fileName) { OpenFiles({FromStd(fileName)}); },
      [this](const std::exception& error) {
        if (OnError) OnError(error);
      });
  // The opened files must not appear behind the window the user works in.
  BringToFront();
}

void TFileOpener::ServeRequests(TSingleInstanceServer& server) {
  server.Open = [this](const std::string& fileName) { OpenFiles({FromStd(fileName)}); };
  server.OpenGame = [this](const std::string& folder) {
    if (OpenGameFolder) OpenGameFolder(FromStd(folder));
  };
  server.OnError = [this](const std::exception& error) {
    if (OnError) OnError(error);
  };
  // The opened files must not appear behind the window the user works in.
  connect(&server, &TSingleInstanceServer::RequestExecuted, this, [this] { BringToFront(); });
}

void TFileOpener::BringToFront() {
  if (FWindow->isMinimized())
    FWindow->setWindowState((FWindow->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  FWindow->show();
  FWindow->raise();
  FWindow->activateWindow();
}

QStringList TFileOpener::DroppedFiles(const QMimeData* data) {
  QStringList files;
  if (!data || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;
    const QFileInfo info(url.toLocalFile());
    if (info.isDir()) {
      // A folder gives its Quv files, by name.
      QStringList inFolder;
      QDirIterator it(info.absoluteFilePath(), {QStringLiteral("*.quv")},
                      QDir::Files | QDir::Readable);
      while (it.hasNext()) inFolder << it.next();
      inFolder.sort(Qt::CaseInsensitive);
      files << inFolder;
    } else if (info.isFile()) {
      files << info.absoluteFilePath();
    }
  }
  return files;
}

// One Quv file opens at once; an archive goes through the picker, several files through the
// load dialog.
void TFileOpener::OpenDroppedFiles(const QStringList& files) {
  if (files.isEmpty()) return;
  if (FLoading) {
    for (const QString& file : files) QuvLoader()->Add(file);
    return;
  }
  BringToFront();
  if (files.size() == 1 && !IsHpiArchive(files.front()))
    FHost->OpenQuvFile(QString(), files.front());
  else
    LoadFiles(files);
}
