#pragma once
// The warnings of a job on standard error: each printed as the export meets
// it, the progress line out of its way, and counted for a summary at the end,
// which a long list would otherwise hide. Strict, the first warning is the
// job's error instead: raised inside the export, it leaves nothing written.

#include <cstddef>
#include <ostream>

#include "base/ReportSinks.h"

class TProgressLine;

class TWarningPrinter {
public:
  TWarningPrinter(std::ostream& err, TProgressLine& progress, bool strict)
      : FErr(err), FProgress(progress), FStrict(strict) {}

  // The job's sinks: its warnings printed, its progress shown on the line.
  TReportSinks Sinks();
  // "warning: N warnings" when there were any.
  void PrintSummary() const;

private:
  std::ostream& FErr;
  TProgressLine& FProgress;
  bool FStrict;
  std::size_t FCount = 0;
};
