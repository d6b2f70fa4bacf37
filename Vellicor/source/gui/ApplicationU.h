#pragma once
// The application object: every exception that escapes an event handler ends up in the main
// window's error report instead of ending the program, and the main window sees the keys that
// switch view windows before QMdiArea does.
#include <QApplication>
#include <exception>
#include <functional>

class TApplication : public QApplication {
  Q_OBJECT
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;

  // Installed by the main window for its life; empty: errors are printed, keys pass on.
  std::function<void(const std::exception& error)> OnError;
  std::function<bool(QEvent* event)> OnKey;  // true: the key was taken

  static TApplication* Instance();  // null when the application is another QApplication
};
