#pragma once
// Where an export tells its front end what the user should know while it
// runs: the problems that did not stop it, and how far it has come. The
// front end decides how to show them (standard error, a status line, a
// message box); an export only reports, as it goes, so that what was reported
// before a failure is not lost with it.

#include <functional>
#include <string>

using TWarningSink = std::function<void(const std::string& warning)>;
using TProgressSink = std::function<void(const std::string& step, int percent)>;

// Both sinks of one job, either of which may be unset: nothing is then shown.
struct TReportSinks {
  TWarningSink Warnings;
  TProgressSink Progress;

  void Warn(const std::string& warning) const {
    if (Warnings) Warnings(warning);
  }
  void Report(const std::string& step, int percent) const {
    if (Progress) Progress(step, percent);
  }
};
