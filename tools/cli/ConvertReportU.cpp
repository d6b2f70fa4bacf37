#include "ConvertReportU.h"

#include <unistd.h>

#include <cstdio>

TConvertProgressBar::TConvertProgressBar()
    : FEnabled(isatty(2)), FStart(std::chrono::steady_clock::now()) {}

TConvertProgressBar::~TConvertProgressBar() {
  Finish();
}

void TConvertProgressBar::Show(size_t done, size_t total, const std::string& current) {
  if (!FEnabled) return;
  constexpr int Width = 24;
  const int filled = total ? int(Width * done / total) : Width;
  std::string bar(size_t(filled), '#');
  bar.resize(Width, ' ');
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
  const double left = done ? seconds / double(done) * double(total - done) : 0;
  std::string name = current.size() > 40 ? "..." + current.substr(current.size() - 37) : current;
  std::fprintf(stderr, "\r[%s] %zu/%zu %-40s %4.0f s left", bar.c_str(), done, total, name.c_str(),
               left);
  std::fflush(stderr);
  FShown = true;
}

void TConvertProgressBar::Finish() {
  if (FEnabled && FShown) std::fputc('\n', stderr);
  FShown = false;
}

void PrintConvertReport(const TConvertReport& report, const std::string& out) {
  for (const TConvertFailure& renamed : report.Renamed)
    std::fprintf(stderr, "%s: %s\n", renamed.Name.c_str(), renamed.Reason.c_str());
  for (const TConvertFailure& failure : report.Failures)
    std::fprintf(stderr, "%s: %s\n", failure.Name.c_str(), failure.Reason.c_str());
  std::printf("%lld source%s converted, %lld file%s written to %s, %zu failed (%.2f s)\n",
              (long long)report.Converted, report.Converted == 1 ? "" : "s",
              (long long)report.FilesWritten, report.FilesWritten == 1 ? "" : "s", out.c_str(),
              report.Failures.size(), report.Seconds);
}
