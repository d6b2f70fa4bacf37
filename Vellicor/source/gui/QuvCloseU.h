#pragma once
// "Closing Quvs...": closes every view window from the last to the first, letting the event
// loop run between windows; a changed file the user keeps open stops it.
#include <functional>
#include "QuvProgressU.h"

class TQuvCloser : public TQuvProgressDialog {
  Q_OBJECT
 public:
  TQuvCloser(IQuvBatchHost* host, QWidget* owner);

  int Run();  // modal; the batch runs once the dialog is shown
  // The last run stopped at a view whose changes the user chose to keep ("Cancel").
  bool KeptOpen() const { return FKeptOpen; }

  // Told after every window closed, with the number closed so far.
  std::function<void(int closed)> OnViewClosed;

 protected:
  void FormActivate() override;

 private:
  bool FKeptOpen = false;
};
