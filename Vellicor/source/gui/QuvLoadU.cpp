#include "QuvLoadU.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "MainU.h"
#include "QuvViewU.h"
#include "SelectU.h"

TQuvLoader::TQuvLoader(TMainForm* mainForm)
    : TQuvProgressDialog(mainForm, QStringLiteral("Loading Quvs...")) {
  CurrentQuv = AddValueRow(QStringLiteral("Current quv:"));
  connect(AbortButton, &QPushButton::clicked, this, [this] {
    Aborted = true;
    QMetaObject::invokeMethod(
        this, [this] { close(); }, Qt::QueuedConnection);
  });
  PickFiles = [](QString& filter, QStringList& results, const QString& archive, bool multi) {
    return SelectFilesInHpi(filter, results, archive, multi);
  };
}

bool IsHpiArchive(const QString& fileName) {
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) return false;
  return file.read(4) == QByteArrayLiteral("HAPI");
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
    QStringList results;
    if (!PickFiles(FMainForm->ArchiveSearchFilter, results, name, true)) return;
    FMainForm->SaveSettings();  // the picker may have changed the filter
    for (QString inner : results) Items.append({name, name + '/' + inner.replace('\\', '/')});
  }
  ShowMaximum();
}

void TQuvLoader::ShowMaximum() {
  ProgressBar->setMaximum(int(Items.size()));
  MaxQuvIndex->setText(QString::number(ProgressBar->maximum()));
}

void TQuvLoader::Stop() {
  Aborted = true;
  Items.clear();
}

bool TQuvLoader::Stopping() const {
  return FMainForm->Terminating || Aborted;
}

bool TQuvLoader::Open(const QString& source, const QString& fileName) {
  TQuvView* view = FMainForm->OpenQuvFile(source, fileName);
  FMainForm->PendingWindowMenu.push_back(view);
  ++FOpened;
  if (OnFileOpened) OnFileOpened(FOpened);
  return true;
}

void TQuvLoader::FormActivate() {
  Aborted = false;
  FOpened = 0;
  ShowMaximum();
  ProgressBar->setValue(0);
  CurrentQuvIndex->clear();
  CurrentQuv->clear();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  FMainForm->LoadingQuvs = true;
  // Clean-up that also runs when an open raises an error.
  struct TCleanUp {
    TQuvLoader* Self;
    ~TCleanUp() {
      Self->FMainForm->LoadingQuvs = false;
      QApplication::restoreOverrideCursor();
      QMetaObject::invokeMethod(
          Self, [s = Self] { s->accept(); }, Qt::QueuedConnection);
    }
  } cleanUp{this};

  // By index: requests served between files may add to the list, closing the dialog empties it.
  for (qsizetype i = 0; i < Items.size(); ++i) {
    const TItem item = Items[i];
    ProgressBar->setValue(int(i) + 1);
    CurrentQuvIndex->setText(QString::number(i + 1));
    CurrentQuv->setText(item.FileName.mid(item.FileName.lastIndexOf('/') + 1));
    Open(item.Source, item.FileName);
    QCoreApplication::processEvents();
    if (FMainForm->Terminating) return;
    if (Aborted) break;
  }
  Items.clear();
  FMainForm->ProcessPendingWindowMenu(5);
  if (TQuvView* view = FMainForm->ActiveView()) {
    FMainForm->LoadingQuvs = false;
    view->Activate();
  }
}
