#pragma once
// What the load messages of the readers mean for the user's file, in one plain sentence each,
// and the warnings that a load leaves in the log.
#include <string>

// The sentence that says what a load error means for the file, or empty for a message this
// does not know.
std::string ExplainLoadError(const std::string& message);

// True for a warning of the Quv reader that the user should see beside the loaded file
// (version mismatch, skipped and duplicate images).
bool IsLoadWarning(const std::string& message);
