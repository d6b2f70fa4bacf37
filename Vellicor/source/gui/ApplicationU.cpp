#include "ApplicationU.h"

#include <QKeyEvent>
#include <cstdio>
#include <stdexcept>

#include "MainU.h"
#include "VellicorVersion.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Vellicor"));
  setApplicationVersion(QStringLiteral(VELLICOR_VERSION_STRING));
  // Wayland and X11 match the windows to the installed desktop entry and its icon by this.
  setDesktopFileName(QStringLiteral(VELLICOR_APP_ID));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
      // Before QMdiArea's own Ctrl+Tab handling sees the key.
      if (TMainForm* main = TMainForm::Instance(); main && main->HandleSwitchKey(event))
        return true;
    }
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    if (TMainForm* main = TMainForm::Instance())
      main->ApplicationException(error);
    else
      std::fprintf(stderr, "Vellicor: %s\n", error.what());
  } catch (...) {
    const std::runtime_error unknown("Unknown exception");
    if (TMainForm* main = TMainForm::Instance())
      main->ApplicationException(unknown);
    else
      std::fprintf(stderr, "Vellicor: unknown exception\n");
  }
  return false;
}
