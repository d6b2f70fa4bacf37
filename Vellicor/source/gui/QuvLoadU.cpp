#include "QuvLoadU.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>

#include "AnimationPauseU.h"
#include "ApplicationU.h"
#include "ArchiveLoadersU.h"
#include "QuvViewU.h"
#include "SelectU.h"
#include "SettingsModelU.h"

TQuvLoader::TQuvLoader(IQuvBatchHost* host, TSettingsModel* settings, const TPaletteModel* palettes,
                       QWidget* owner)
    : TQuvProgressDialog(host, owner, QStringLiteral("Loading Quvs...")), FSettings(settings) {
  CurrentQuv = AddValueRow(QStringLiteral("Current quv:"));
  connect(AbortButton, &QPushButton::clicked, this, [this] {
    Aborted = true;
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
  });
  PickFiles = [this, palettes](QString& filter, QStringList& results, const QString& archive,
                               bool multi) {
    const TAnimationPause pause;  // the picker comes before the batch's own dialog
    return SelectFilesInHpi(filter, results, archive, multi, parentWidget(), palettes);
  };
}

bool IsHpiArchive(const QString& fileName) {
  return IsArchiveFile(QFile::encodeName(fileName).toStdString());
}

int TQuvLoader::Run(const QStringList& names) {
  Items.clear();
  for (const QString& name : names) Add(name);
  if (Items.isEmpty()) return QDialog::Rejected;
  return RunBatch();
}

void TQuvLoader::Add(const QString& entry) {
  // Full paths: a view resolves relative names against the program's folder.
  const QString name = QFileInfo(entry).absoluteFilePath();
  if (!IsHpiArchive(name)) {
    Items.append({QString(), name});
  } else {
    QString filter = FSettings->ArchiveSearchFilter();
    QStringList results;
    try {
      if (!PickFiles(filter, results, name, true)) return;
    } catch (const std::exception& error) {
      ReportError(error);  // the other names of the batch still open
      return;
    }
    FSettings->SetArchiveSearchFilter(filter);  // the picker may have changed it
    for (QString inner : results) Items.append({name, name + '/' + inner.replace('\\', '/')});
  }
  ShowMaximum();
}

void TQuvLoader::ReportError(const std::exception& error) {
  TApplication* app = TApplication::Instance();
  if (app && app->OnError) app->OnError(error);
}

void TQuvLoader::ShowMaximum() {
  ProgressBar->setMaximum(int(Items.size()));
  MaxQuvIndex->setText(QString::number(ProgressBar->maximum()));
}

void TQuvLoader::Stop() {
  Aborted = true;
  Items.clear();
}

void TQuvLoader::Open(const QString& source, const QString& fileName) {
  FHost->QueueWindowMenuEntry(FHost->OpenQuvFile(source, fileName));
  ++FOpened;
  if (OnFileOpened) OnFileOpened(FOpened);
}

void TQuvLoader::FormActivate() {
  Aborted = false;
  FOpened = 0;
  ShowMaximum();
  ProgressBar->setValue(0);
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

  // By index: requests served between files may add to the list, closing the dialog empties it.
  for (qsizetype i = 0; i < Items.size(); ++i) {
    const TItem item = Items[i];
    ProgressBar->setValue(int(i) + 1);
    CurrentQuvIndex->setText(QString::number(i + 1));
    CurrentQuv->setText(item.FileName.mid(item.FileName.lastIndexOf('/') + 1));
    try {
      Open(item.Source, item.FileName);
    } catch (const std::exception& error) {
      ReportError(error);  // one file's error does not end the batch
    }
    QCoreApplication::processEvents();
    if (FHost->IsTerminating()) return;
    if (Aborted) break;
  }
  Items.clear();
  FHost->ProcessPendingWindowMenu(5);
  if (TQuvView* view = FHost->ActiveView()) {
    FHost->SetLoadingQuvs(false);
    view->Activate();
  }
}
