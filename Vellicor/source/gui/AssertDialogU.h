#pragma once
// The "Assertion Failure" dialog of the viewer: Abort breaks into the debugger (or ends the
// program in order when none is attached), Retry continues, Ignore silences further reports.
// Enter and Escape continue.
#include <functional>
#include <string>

#include "SourceLocationU.h"

// The platform table's assertion handler for the viewer.
void AssertDialogHandler(bool condition, const std::string& message, const TSourceLocation& where);
// Puts AssertDialogHandler into the platform table.
void InstallAssertDialog();
// The text under the report.
extern const char* const AssertionButtonHelp;
// What Abort does without a debugger (tests replace it; the default runs BeforeProgramEnds and
// ends the process at once with status 3).
extern std::function<void()> AssertionBreakHandler;
// The main window's last words before the program ends that way (its settings written).
extern std::function<void()> BeforeProgramEnds;
bool DebuggerAttached();
