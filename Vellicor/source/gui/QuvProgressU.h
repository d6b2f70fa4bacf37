#pragma once
// The frame both batch dialogs share: a progress bar, the current and maximum index, an Abort
// button, and a batch that runs once per modal show while the event loop keeps serving input.
#include <QDialog>
#include <QList>
#include <QString>

class QGridLayout;
class QLabel;
class QMdiSubWindow;
class QProgressBar;
class QPushButton;
class TQuvView;

// What a batch needs of the window that runs it.
class IQuvBatchHost {
 public:
  virtual ~IQuvBatchHost() = default;
  // Opens one file in a view of its own; the view comes back also when the file failed.
  virtual TQuvView* OpenQuvFile(const QString& source, const QString& fileName) = 0;
  // Views opened during a batch get their Window-menu entry from this queue, in order.
  virtual void QueueWindowMenuEntry(TQuvView* view) = 0;
  virtual void ProcessPendingWindowMenu(int count) = 0;
  virtual void SetLoadingQuvs(bool on) = 0;
  // The user chose to end the program: a batch stops at once.
  virtual bool IsTerminating() const = 0;
  virtual TQuvView* ActiveView() const = 0;
  virtual QList<QMdiSubWindow*> ChildWindows() const = 0;  // in creation order
};

class TQuvProgressDialog : public QDialog {
  Q_OBJECT
 public:
  bool Aborted = false;

  QProgressBar* ProgressBar = nullptr;
  QLabel* CurrentQuvIndex = nullptr;
  QLabel* MaxQuvIndex = nullptr;
  QPushButton* AbortButton = nullptr;

 protected:
  TQuvProgressDialog(IQuvBatchHost* host, QWidget* owner, const QString& caption);

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

  IQuvBatchHost* FHost;

 private:
  QGridLayout* FGrid;
  int FNextRow = 1;
  bool FArmed = false;
};
