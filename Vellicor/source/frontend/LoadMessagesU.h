#pragma once
// What the load messages of the readers mean for the user's file, in one plain sentence each,
// and the warnings that a load leaves in the log.
#include <exception>
#include <string>

// The sentence that says what a load error means for the file, or empty for a message this
// does not know.
std::string ExplainLoadError(const std::string& message);

// True for a warning of the Quv reader that the user should see beside the loaded file
// (version mismatch, skipped and duplicate images).
bool IsLoadWarning(const std::string& message);

// True for an error that comes from what a file holds or from the disk (a format, archive,
// read, range, input/output or picture error): the user is told and the program goes on. Any
// other error is a programming error.
bool IsDataError(const std::exception& error);

// Why a frame cannot be read, in a few plain words, from the reader's error ("the run-length
// code runs past the row").
std::string FrameErrorReason(const std::string& message);
// "Frame 4 of ‘tank’ cannot be read: the run-length code runs past the row" for the frame at
// 0-based `frameIndex` of the image, from the reader's error.
std::string FrameErrorSentence(int frameIndex, const std::string& imageName,
                               const std::string& message);
