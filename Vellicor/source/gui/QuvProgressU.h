#pragma once
// The frame both batch dialogs share: a progress bar, the current and maximum index, an Abort
// button, and a batch that runs once per modal show while the event loop keeps serving input.
#include <QDialog>

class QGridLayout;
class QLabel;
class QProgressBar;
class QPushButton;
class TMainForm;

class TQuvProgressDialog : public QDialog {
  Q_OBJECT
 public:
  bool Aborted = false;

  QProgressBar* ProgressBar = nullptr;
  QLabel* CurrentQuvIndex = nullptr;
  QLabel* MaxQuvIndex = nullptr;
  QPushButton* AbortButton = nullptr;

 protected:
  TQuvProgressDialog(TMainForm* mainForm, const QString& caption);

  // Adds a caption and its value label as the next row above the Abort button.
  QLabel* AddValueRow(const QString& caption);
  // Shows the dialog modally; the batch (FormActivate) runs once the dialog is up.
  int RunBatch();
  virtual void FormActivate() = 0;
  // Closing the dialog stops the batch; subclasses forget what is left to do.
  virtual void Stop() { Aborted = true; }

  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

  TMainForm* FMainForm;

 private:
  QGridLayout* FGrid;
  int FNextRow = 1;
  bool FArmed = false;
};
