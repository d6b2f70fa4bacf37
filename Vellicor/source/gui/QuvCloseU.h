#pragma once
// "Closing Quvs...": closes every view window from the last to the first, letting the event
// loop run between windows.
#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class TMainForm;

class TQuvCloser : public QDialog {
  Q_OBJECT
 public:
  explicit TQuvCloser(TMainForm* mainForm);

  int Run();  // modal; the batch runs once the dialog is shown

  bool Aborted = false;
  // Told after every window closed, with the number closed so far.
  std::function<void(int closed)> OnViewClosed;

  QProgressBar* ProgressBar;
  QLabel *CurrentQuvIndex, *MaxQuvIndex;
  QPushButton* AbortButton;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  void FormActivate();

  TMainForm* FMainForm;
  bool FArmed = false;
};
