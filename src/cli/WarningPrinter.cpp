#include "cli/WarningPrinter.h"

#include "base/uException.h"
#include "cli/ProgressLine.h"

TReportSinks TWarningPrinter::Sinks() {
  TReportSinks sinks;
  sinks.Warnings = [this](const std::string& warning) {
    if (FStrict) throw TException(warning);
    FProgress.Erase();
    FErr << "warning: " << VisibleText(warning) << '\n';
    ++FCount;
  };
  sinks.Progress = [this](const std::string& step, int percent) { FProgress.Report(step, percent); };
  return sinks;
}

void TWarningPrinter::PrintSummary() const {
  if (FCount > 0) FErr << "warning: " << FCount << (FCount == 1 ? " warning" : " warnings") << '\n';
}
