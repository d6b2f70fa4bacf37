#include "QuvLoadU.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>

#include "QuvViewU.h"
#include "SelectU.h"
#include "SettingsModelU.h"

TQuvLoader::TQuvLoader(IQuvBatchHost* host, TSettingsModel* settings, QWidget* owner)
    : TQuvProgressDialog(host, owner, QStringLiteral("Loading Quvs...")), FSettings(settings) {
  CurrentQuv = AddValueRow(QStringLiteral("Current quv:"));
  connect(AbortButton, &QPushButton::clicked, this, [this] {
    Aborted = true;
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
  });
  PickFiles = [this](QString& filter, QStringList& results, const QString& archive, bool multi) {
    return SelectFilesInHpi(filter, results, archive, multi, parentWidget());
  };
}

int TQuvLoader::Run(const QStringList& names, int filterIndex) {
  FileList = names;
  FilterIndex = filterIndex;
  return RunBatch();
}

void TQuvLoader::Stop() {
  Aborted = true;
  FileList.clear();
}

void TQuvLoader::Open(const QString& source, const QString& fileName) {
  FHost->QueueWindowMenuEntry(FHost->OpenQuvFile(source, fileName));
  ++FOpened;
  if (OnFileOpened) OnFileOpened(FOpened);
}

bool TQuvLoader::Continue() {
  QCoreApplication::processEvents();
  FTerminated = FHost->IsTerminating();
  return !FTerminated && !Aborted;
}

bool TQuvLoader::OpenFromArchive(const QString& archive) {
  QString filter = FSettings->ArchiveSearchFilter();
  QStringList results;
  if (!PickFiles(filter, results, archive, true)) return true;
  FSettings->SetArchiveSearchFilter(filter);  // the picker may have changed it
  ProgressBar->setMaximum(ProgressBar->maximum() + int(results.size()) - 1);
  MaxQuvIndex->setText(QString::number(ProgressBar->maximum()));
  for (const QString& inner : results) {
    CurrentQuvIndex->setText(QString::number(ProgressBar->value()));
    QString innerPath = inner;
    innerPath.replace('\\', '/');
    CurrentQuv->setText(innerPath.mid(innerPath.lastIndexOf('/') + 1));
    Open(archive, archive + '/' + innerPath);
    ProgressBar->setValue(ProgressBar->value() + 1);
    if (!Continue()) return false;
  }
  return true;
}

void TQuvLoader::FormActivate() {
  Aborted = false;
  FOpened = 0;
  FTerminated = false;
  ProgressBar->setMaximum(int(FileList.size()));
  ProgressBar->setValue(0);
  MaxQuvIndex->setText(QString::number(ProgressBar->maximum()));
  CurrentQuvIndex->clear();
  CurrentQuv->clear();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  FHost->SetLoadingQuvs(true);
  // Also when an open raises an error.
  const auto cleanUp = qScopeGuard([this] {
    FHost->SetLoadingQuvs(false);
    QApplication::restoreOverrideCursor();
    QMetaObject::invokeMethod(
        this, [this] { accept(); }, Qt::QueuedConnection);
  });

  const QStringList names = FileList;  // closing the dialog empties the list
  for (const QString& entry : names) {
    // Full paths: a view resolves relative names against the program's folder.
    const QString name = QFileInfo(entry).absoluteFilePath();
    if (FilterIndex == 1) {
      ProgressBar->setValue(ProgressBar->value() + 1);
      CurrentQuvIndex->setText(QString::number(ProgressBar->value()));
      CurrentQuv->setText(QFileInfo(name).fileName());
      Open(QString(), name);
    } else if (!OpenFromArchive(name)) {
      break;
    }
    if (FTerminated || !Continue()) break;
  }
  if (FTerminated) return;
  FHost->ProcessPendingWindowMenu(5);
  if (TQuvView* view = FHost->ActiveView()) {
    FHost->SetLoadingQuvs(false);
    view->Activate();
  }
}
