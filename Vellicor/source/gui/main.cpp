// vellicor: the viewer. Options (CommandLineU): --sample opens the bundled sample when no file
// is given (as does the VELLICOR_SAMPLE environment variable); --select=NAME shows that image in
// the last opened window; --tile tiles the windows once they are open; --settings=FILE keeps the
// settings in FILE instead of the usual "Vellicor.ini"; --game=DIR opens DIR in a game browser;
// --help, --version.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <functional>

#include "ApplicationU.h"
#include "ArchiveLoadersU.h"
#include "AssertDialogU.h"
#include "CommandLineU.h"
#include "FileOpenU.h"
#include "FileSystemU.h"
#include "MainU.h"
#include "ProgramPathsU.h"
#include "QuvViewU.h"
#include "SingleInstanceServerU.h"
#include "VellicorVersion.h"

namespace {

// The first Quv file inside an archive (folders before files, each in name order), as a path
// with '/' separators; empty when there is none or the archive cannot be read.
QString FirstQuvInArchive(const QString& archive) {
  try {
    TFileSystem fileSystem;
    RegisterArchiveLoaders(fileSystem);
    if (fileSystem.MountArchive(archive.toStdString(), 1).Kind != TArchiveAnswer::akLoaded)
      return {};
    std::function<std::string(TDirEntry*, int)> find = [&](TDirEntry* dir, int depth) {
      if (depth > 64) return std::string();
      TFindData data;
      for (auto handle = fileSystem.FindFirst(faDirectories, dir, "*", data); handle;) {
        if (data.Dir) {
          std::string found = find(data.Dir, depth + 1);
          if (!found.empty()) return found;
        }
        if (!handle->FindNext(data)) break;
      }
      if (auto handle = fileSystem.FindFirst(faFiles, dir, "*.quv", data); handle && data.File)
        return data.File->GetFullPath();
      return std::string();
    };
    QString inner = QString::fromStdString(find(fileSystem.Root(), 0));
    return inner.replace('\\', '/');
  } catch (const std::exception&) {
    return {};
  }
}

// The sample files the build writes next to the program's folder (build/<type>/samples), or
// those installed with it (<prefix>/share/vellicor/samples).
QStringList SampleFiles(const QString& programDir) {
  QStringList files;
  QDir samples(programDir + QStringLiteral("/../samples"));
  if (!samples.exists()) samples.setPath(programDir + QStringLiteral("/../share/vellicor/samples"));
  const QString quv = samples.absoluteFilePath(QStringLiteral("sample.quv"));
  if (QFileInfo::exists(quv)) files << QDir::cleanPath(quv);
  const QString hpi = QDir::cleanPath(samples.absoluteFilePath(QStringLiteral("sample.hpi")));
  if (QFileInfo::exists(hpi)) {
    const QString inner = FirstQuvInArchive(hpi);
    if (!inner.isEmpty()) files << hpi + '/' + inner;
  }
  return files;
}

// Reads the command line before any window system is reached, so that --help, --version and
// a wrong option answer in a terminal without a display; those end the program here.
TCommandLine ParseCommandLine(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("vellicor"));
  QCoreApplication::setApplicationVersion(QStringLiteral(VELLICOR_VERSION_STRING));
  QCommandLineParser parser;
  AddViewerOptions(parser);
  parser.process(application);
  return ReadCommandLine(parser);
}

}  // namespace

int main(int argc, char** argv) {
  const TCommandLine line = ParseCommandLine(argc, argv);
  TApplication app(argc, argv);
  QStringList files = line.Files;
  QStringList gameFolders = line.GameFolders;
  const QString select = line.Select;
  QString settings = line.Settings;
  const bool sample = line.Sample || !qEnvironmentVariableIsEmpty("VELLICOR_SAMPLE");
  const bool tile = line.Tile;

  // Names are taken against the folder the user started from, before anything else runs.
  for (QString& file : files) file = QDir::cleanPath(QDir::current().absoluteFilePath(file));
  for (QString& folder : gameFolders)
    folder = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
  if (!settings.isEmpty())
    settings = QDir::cleanPath(QDir::current().absoluteFilePath(settings));
  else
    settings = QString::fromStdString(SettingsFileName(ProgramDir()));

  // The viewer of this instance already running opens the files itself. Otherwise this one
  // listens at once, before any dialog or load, and opens what later starts hand over once its
  // own start-up is done.
  TSingleInstanceServer server;
  server.Hold();
  if (server.Start(files, QDir::currentPath(), TSingleInstanceServer::ServerName(settings), 3000,
                   gameFolders) == TSingleInstanceServer::srHandedOver)
    return 0;

  TMainForm form(settings);
  form.Opener()->ServeRequests(server);
  InstallAssertDialog();
  if (files.isEmpty() && sample) files = SampleFiles(form.ProgramFolder());
  if (form.FirstRun()) {
    form.ShowAboutBox();
    form.ShowSettingsDialog();
  }
  form.show();
  // First activation once the window is up, as the event loop starts.
  QTimer::singleShot(0, &form, [&form, &server, files, gameFolders, select, tile] {
    form.FirstActivation(files, gameFolders);
    server.Release();
    if (tile) form.WindowTileVertical1->trigger();
    if (!select.isEmpty())
      if (TQuvView* view = form.ActiveView()) view->ShowImageNamed(select);
  });
  return app.exec();
}
