#pragma once
// The application object: every exception that escapes an event handler ends up in the main
// window's error dialog instead of ending the program, and Ctrl+Tab / Ctrl+Shift+Tab switch
// view windows the way the main window does it.
#include <QApplication>

class TApplication : public QApplication {
  Q_OBJECT
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};
