#pragma once
// "Closing Quvs...": closes every view window from the last to the first, letting the event
// loop run between windows.
#include <functional>
#include "QuvProgressU.h"

class TMainForm;

class TQuvCloser : public TQuvProgressDialog {
  Q_OBJECT
 public:
  explicit TQuvCloser(TMainForm* mainForm);

  int Run();  // modal; the batch runs once the dialog is shown

  // Told after every window closed, with the number closed so far.
  std::function<void(int closed)> OnViewClosed;

 protected:
  void FormActivate() override;
};
