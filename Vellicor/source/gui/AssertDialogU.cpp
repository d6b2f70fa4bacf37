#include "AssertDialogU.h"

#include <QApplication>
#include <QFile>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "AssertU.h"
#include "ConsoleU.h"
#include "DialogsU.h"
#include "LowLevelIO.h"
#include "MapFileU.h"

const char* const AssertionButtonHelp =
    "Press Abort to break into the debugger\nPress Retry to continue program execution\nPress "
    "Ignore to disable any further assertion failures.\n";

bool DebuggerAttached() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("TracerPid:")) return line.mid(10).trimmed().toInt() != 0;
  return false;
}

std::function<void()> BeforeProgramEnds;

namespace {
void EndProgramInOrder() {
  ConsoleLog(LogLevel::BreakPoint, "BreakPoint Encountered");
  if (BeforeProgramEnds) BeforeProgramEnds();
  std::fflush(nullptr);
  // The report may come from anywhere, with windows, event loops and the libraries' threads
  // running: destroying the globals under them (std::exit) can wait for ever and keep this
  // instance's name taken. The process ends here; the system closes what it held.
  std::_Exit(3);
}
}  // namespace

std::function<void()> AssertionBreakHandler = EndProgramInOrder;

void AssertDialogHandler(bool condition, const std::string& message, const TSourceLocation& where) {
  if (condition || AssertionsSuppressed()) return;
  const std::string body = AssertionBody(where, message);
  const auto answer = Dialogs().Message(
      QApplication::activeWindow(), QStringLiteral("Assertion Failure"),
      QString::fromStdString(body + "\n\n\n" + AssertionButtonHelp), QMessageBox::Critical,
      QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore, QMessageBox::Retry);
  const bool breakNow = answer == QMessageBox::Abort;
  if (answer == QMessageBox::Ignore) AssertionsSuppressed() = true;
  if (Console)
    Console->Log(breakNow ? LogLevel::BreakPoint : LogLevel::Assertion,
                 "Assertion Failure\n" + body);
  if (!breakNow) return;
  if (DebuggerAttached()) {
    std::raise(SIGTRAP);
    return;
  }
  if (AssertionBreakHandler) AssertionBreakHandler();
}

void InstallAssertDialog() {
  // Read once at start-up, so that reports name unit, routine and line from the map beside the
  // program when there is one (the compiler's location otherwise).
  LoadProgramMapFile();
  Platform().AssertionHandler = AssertDialogHandler;
}
