#include "QuvLoadU.h"

#include <QApplication>
#include <QDir>
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

int TQuvLoader::Run(const QStringList& names, int filterIndex) {
  FileList = names;
  FilterIndex = filterIndex;
  return RunBatch();
}

void TQuvLoader::Stop() {
  Aborted = true;
  FileList.clear();
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
  ProgressBar->setMaximum(int(FileList.size()));
  ProgressBar->setValue(0);
  MaxQuvIndex->setText(QString::number(ProgressBar->maximum()));
  CurrentQuvIndex->clear();
  CurrentQuv->clear();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  FMainForm->LoadingQuvs = true;
  bool terminated = false;
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

  const QStringList names = FileList;  // closing the dialog empties the list
  for (const QString& entry : names) {
    // Full paths: a view resolves relative names against the program's folder.
    const QString name = QFileInfo(entry).absoluteFilePath();
    if (FilterIndex == 1) {
      ProgressBar->setValue(ProgressBar->value() + 1);
      CurrentQuvIndex->setText(QString::number(ProgressBar->value()));
      CurrentQuv->setText(QFileInfo(name).fileName());
      Open(QString(), name);
    } else {
      QStringList results;
      if (PickFiles(FMainForm->ArchiveSearchFilter, results, name, true)) {
        FMainForm->SaveSettings();  // the picker may have changed the filter
        ProgressBar->setMaximum(ProgressBar->maximum() + int(results.size()) - 1);
        MaxQuvIndex->setText(QString::number(ProgressBar->maximum()));
        bool stop = false;
        for (const QString& inner : results) {
          CurrentQuvIndex->setText(QString::number(ProgressBar->value()));
          QString innerPath = inner;
          innerPath.replace('\\', '/');
          CurrentQuv->setText(innerPath.mid(innerPath.lastIndexOf('/') + 1));
          Open(name, name + '/' + innerPath);
          ProgressBar->setValue(ProgressBar->value() + 1);
          QCoreApplication::processEvents();
          if (FMainForm->Terminating) {
            terminated = true;
            stop = true;
            break;
          }
          if (Aborted) {
            stop = true;
            break;
          }
        }
        if (terminated) break;
        if (stop) break;
      }
    }
    QCoreApplication::processEvents();
    if (FMainForm->Terminating) {
      terminated = true;
      break;
    }
    if (Aborted) break;
  }
  if (terminated) return;
  FMainForm->ProcessPendingWindowMenu(5);
  if (TQuvView* view = FMainForm->ActiveView()) {
    FMainForm->LoadingQuvs = false;
    view->Activate();
  }
}
