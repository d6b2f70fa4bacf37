#include "QuvCloseU.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include "QuvViewU.h"

TQuvCloser::TQuvCloser(IQuvBatchHost* host, QWidget* owner)
    : TQuvProgressDialog(host, owner, QStringLiteral("Closing Quvs...")) {
  // Stopping works through closing the dialog, which the button does.
  connect(AbortButton, &QPushButton::clicked, this, [this] { close(); });
}

int TQuvCloser::Run() {
  return RunBatch();
}

void TQuvCloser::FormActivate() {
  QList<QPointer<QMdiSubWindow>> children;
  for (QMdiSubWindow* child : FHost->ChildWindows()) children << child;
  ProgressBar->setMaximum(int(children.size()));
  ProgressBar->setValue(0);
  MaxQuvIndex->setText(QString::number(children.size()));
  CurrentQuvIndex->clear();
  Aborted = false;
  FKeptOpen = false;
  int closed = 0;
  for (qsizetype i = children.size() - 1; i >= 0; --i) {
    // A child may already be gone if something else closed it meanwhile.
    if (!children[i]) continue;
    if (!qobject_cast<TQuvView*>(children[i]->widget())) continue;
    if (!children[i]->close()) {
      FKeptOpen = true;
      break;
    }
    ProgressBar->setValue(ProgressBar->value() + 1);
    CurrentQuvIndex->setText(QString::number(ProgressBar->value()));
    ++closed;
    if (OnViewClosed) OnViewClosed(closed);
    QCoreApplication::processEvents();
    if (FHost->IsTerminating() || Aborted) break;
  }
  QMetaObject::invokeMethod(
      this, [this] { accept(); }, Qt::QueuedConnection);
}
