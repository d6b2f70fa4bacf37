#include "QuvProgressU.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "AnimationPauseU.h"

TQuvProgressDialog::TQuvProgressDialog(IQuvBatchHost* host, QWidget* owner, const QString& caption)
    : QDialog(owner), FHost(host) {
  setWindowTitle(caption);
  setModal(true);
  resize(258, 147);
  FGrid = new QGridLayout(this);
  ProgressBar = new QProgressBar(this);
  ProgressBar->setMinimum(0);
  ProgressBar->setTextVisible(false);
  FGrid->addWidget(ProgressBar, 0, 0, 1, 2);
  CurrentQuvIndex = AddValueRow(QStringLiteral("Current Quv Index"));
  MaxQuvIndex = AddValueRow(QStringLiteral("Max Quv Index"));
  AbortButton = new QPushButton(QStringLiteral("Abort"), this);
  FGrid->addWidget(AbortButton, FNextRow, 0, 1, 2, Qt::AlignHCenter);
}

QLabel* TQuvProgressDialog::AddValueRow(const QString& caption) {
  const int row = FNextRow++;
  FGrid->addWidget(new QLabel(caption, this), row, 0);
  auto* value = new QLabel(this);
  FGrid->addWidget(value, row, 1);
  if (AbortButton) {  // the Abort button stays the last row
    FGrid->removeWidget(AbortButton);
    FGrid->addWidget(AbortButton, FNextRow, 0, 1, 2, Qt::AlignHCenter);
  }
  return value;
}

int TQuvProgressDialog::RunBatch() {
  // The views stand still while the batch runs, those it opens too, until the dialog closes.
  const TAnimationPause pause;
  FArmed = true;
  return exec();
}

void TQuvProgressDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!FArmed) return;
  FArmed = false;  // once per show
  QTimer::singleShot(0, this, [this] { FormActivate(); });
}

void TQuvProgressDialog::closeEvent(QCloseEvent* event) {
  Stop();
  QDialog::closeEvent(event);
}

void TQuvProgressDialog::reject() {
  Stop();
  QDialog::reject();
}
