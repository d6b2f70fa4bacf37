#include "QuvCloseU.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "MainU.h"
#include "QuvViewU.h"

TQuvCloser::TQuvCloser(TMainForm* mainForm) : QDialog(mainForm), FMainForm(mainForm) {
  setWindowTitle(QStringLiteral("Closing Quvs..."));
  setModal(true);
  resize(258, 147);
  auto* grid = new QGridLayout(this);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setMinimum(0);
  ProgressBar->setTextVisible(false);
  grid->addWidget(ProgressBar, 0, 0, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Current Quv Index"), this), 1, 0);
  CurrentQuvIndex = new QLabel(this);
  grid->addWidget(CurrentQuvIndex, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("Max Quv Index"), this), 2, 0);
  MaxQuvIndex = new QLabel(this);
  grid->addWidget(MaxQuvIndex, 2, 1);
  // Stopping works through closing the dialog, which the button does.
  AbortButton = new QPushButton(QStringLiteral("Abort"), this);
  grid->addWidget(AbortButton, 3, 0, 1, 2, Qt::AlignHCenter);
  connect(AbortButton, &QPushButton::clicked, this, [this] { close(); });
}

int TQuvCloser::Run() {
  FArmed = true;
  return exec();
}

void TQuvCloser::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!FArmed) return;
  FArmed = false;
  QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TQuvCloser::closeEvent(QCloseEvent* event) {
  Aborted = true;
  QDialog::closeEvent(event);
}

void TQuvCloser::reject() {
  Aborted = true;
  QDialog::reject();
}

void TQuvCloser::FormActivate() {
  QList<QPointer<QMdiSubWindow>> children;
  for (QMdiSubWindow* child : FMainForm->MdiArea->subWindowList(QMdiArea::CreationOrder))
    children << child;
  ProgressBar->setMaximum(int(children.size()));
  ProgressBar->setValue(0);
  MaxQuvIndex->setText(QString::number(children.size()));
  CurrentQuvIndex->clear();
  Aborted = false;
  int closed = 0;
  for (qsizetype i = children.size() - 1; i >= 0; --i) {
    // A child may already be gone if something else closed it meanwhile.
    if (!children[i]) continue;
    if (!qobject_cast<TQuvView*>(children[i]->widget())) continue;
    children[i]->close();
    ProgressBar->setValue(ProgressBar->value() + 1);
    CurrentQuvIndex->setText(QString::number(ProgressBar->value()));
    ++closed;
    if (OnViewClosed) OnViewClosed(closed);
    QCoreApplication::processEvents();
    if (FMainForm->Terminating || Aborted) break;
  }
  QMetaObject::invokeMethod(
      this, [this] { accept(); }, Qt::QueuedConnection);
}
