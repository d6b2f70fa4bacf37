#pragma once
// What vellicor-cli convert shows of a batch: a bar on standard error while it runs (on a
// terminal only), the renamed outputs and the failures, and the one-line summary.
#include <chrono>
#include <cstddef>
#include <string>

#include "BatchConvertU.h"

// "[#####     ] 12/100 name, 3 s left" on one line of standard error.
class TConvertProgressBar {
 public:
  TConvertProgressBar();
  ~TConvertProgressBar();  // Finish
  TConvertProgressBar(const TConvertProgressBar&) = delete;
  TConvertProgressBar& operator=(const TConvertProgressBar&) = delete;
  // A batch's progress callback: one call at a time.
  void Show(size_t done, size_t total, const std::string& current);
  // Ends the bar's line, so that what follows starts on a line of its own.
  void Finish();

 private:
  bool FEnabled;
  bool FShown = false;
  std::chrono::steady_clock::time_point FStart;
};

// Each renamed output and each failure on standard error ("NAME: reason"), then the one-line
// summary on standard output.
void PrintConvertReport(const TConvertReport& report, const std::string& out);
