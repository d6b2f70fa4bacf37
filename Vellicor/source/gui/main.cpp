// vellicor: the viewer. Options: --sample opens the bundled sample when no file is given (as
// does the VELLICOR_SAMPLE environment variable); --select=NAME shows that image in the last
// opened window; --tile tiles the windows once they are open; --settings=FILE keeps the
// settings in FILE instead of "Vellicor.ini" beside the program.
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <functional>

#include "ApplicationU.h"
#include "AssertDialogU.h"
#include "FileSystemU.h"
#include "Hpi_Zeta_LoaderU.h"
#include "MainU.h"
#include "QuvViewU.h"
#include "SingleInstanceServerU.h"

namespace {

// The first Quv file inside an archive (folders before files, each in name order), as a path
// with '/' separators; empty when there is none or the archive cannot be read.
QString FirstQuvInArchive(const QString& archive) {
  try {
    TFileSystem fileSystem;
    fileSystem.RegisterLoader(std::make_unique<THpiLoader>(&fileSystem));
    const QFileInfo info(archive);
    fileSystem.AddSearchPath("", info.absolutePath().toStdString(), sdCheckUsable,
                             {TFileMaskInfo{FileNameMask(info.fileName().toStdString()), 1, true}});
    fileSystem.Rescan(true);
    if (!fileSystem.Root()) return {};
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

// The sample files the build writes next to the program's folder (build/<type>/samples).
QStringList SampleFiles(const QString& programDir) {
  QStringList files;
  const QDir samples(programDir + QStringLiteral("/../samples"));
  const QString quv = samples.absoluteFilePath(QStringLiteral("sample.quv"));
  if (QFileInfo::exists(quv)) files << QDir::cleanPath(quv);
  const QString hpi = QDir::cleanPath(samples.absoluteFilePath(QStringLiteral("sample.hpi")));
  if (QFileInfo::exists(hpi)) {
    const QString inner = FirstQuvInArchive(hpi);
    if (!inner.isEmpty()) files << hpi + '/' + inner;
  }
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  TApplication app(argc, argv);
  QStringList files;
  QString select;
  QString settings;
  bool sample = !qEnvironmentVariableIsEmpty("VELLICOR_SAMPLE");
  bool tile = false;
  const QStringList arguments = app.arguments().mid(1);
  for (const QString& argument : arguments) {
    if (argument == QStringLiteral("--sample"))
      sample = true;
    else if (argument.startsWith(QStringLiteral("--select=")))
      select = argument.mid(9);
    else if (argument.startsWith(QStringLiteral("--settings=")))
      settings = argument.mid(11);
    else if (argument == QStringLiteral("--tile"))
      tile = true;
    else
      files << argument;
  }

  // A viewer of this user already running opens the files itself.
  if (!files.isEmpty() && TSingleInstanceServer::SendToRunning(files, QDir::currentPath()))
    return 0;

  TMainForm form(settings);
  InstallAssertDialog();
  if (files.isEmpty() && sample) files = SampleFiles(form.ProgramFolder());
  if (form.FirstRun()) {
    form.ShowAboutBox();
    form.ShowSettingsDialog();
  }
  form.show();
  // First activation once the window is up, as the event loop starts.
  TSingleInstanceServer server;
  form.ServeRequests(server);
  QTimer::singleShot(0, &form, [&form, &server, files, select, tile] {
    form.FirstActivation(files);
    server.Listen();  // later starts hand their files to this one
    if (tile) form.WindowTileVertical1->trigger();
    if (!select.isEmpty())
      if (TQuvView* view = form.ActiveView()) view->SelectImage(select);
  });
  return app.exec();
}
