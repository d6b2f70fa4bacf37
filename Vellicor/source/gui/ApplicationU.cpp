#include "ApplicationU.h"

#include <QKeyEvent>
#include <cstdio>
#include <stdexcept>

#include "VellicorVersion.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Vellicor"));
  setApplicationVersion(QStringLiteral(VELLICOR_VERSION_STRING));
  // Wayland and X11 match the windows to the installed desktop entry and its icon by this.
  setDesktopFileName(QStringLiteral(VELLICOR_APP_ID));
}

TApplication* TApplication::Instance() {
  return qobject_cast<TApplication*>(QCoreApplication::instance());
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  try {
    if (OnKey && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        OnKey(event))
      return true;
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    if (OnError)
      OnError(error);
    else
      std::fprintf(stderr, "Vellicor: %s\n", error.what());
  } catch (...) {
    const std::runtime_error unknown("Unknown exception");
    if (OnError)
      OnError(unknown);
    else
      std::fprintf(stderr, "Vellicor: unknown exception\n");
  }
  return false;
}
