#pragma once
// The command line's progress on a terminal: one line on standard error,
// "STEP PERCENT%", rewritten in place with a carriage return and erased
// again before anything else is printed there (a warning, an error) and at
// the end. It shows only when standard error is a terminal and the job has
// run for more than half a second, so that quick jobs and pipelines see
// nothing of it; --quiet switches it off.
//
// The clock and the is-a-terminal test are injected, so that the printer is
// tested without a terminal and without waiting.

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

struct TProgressDevice {
  using TClock = std::chrono::steady_clock;

  // Whether the stream the line goes to is a terminal.
  std::function<bool()> IsTerminal;
  std::function<TClock::time_point()> Now;

  // Standard error of this process (isatty / _isatty) and the steady clock:
  // what the tool uses.
  static TProgressDevice StandardError();
  // No terminal: nothing is ever shown. What RunCommandLine assumes unless
  // told otherwise, as its streams may be anything.
  static TProgressDevice None();
};

class TProgressLine {
public:
  // How long a job runs before its progress shows.
  static constexpr std::chrono::milliseconds kDelay{500};

  // The clock starts now. A quiet printer, or one whose stream is no
  // terminal, never writes.
  TProgressLine(std::ostream& err, const TProgressDevice& terminal, bool quiet);
  ~TProgressLine();
  TProgressLine(const TProgressLine&) = delete;
  TProgressLine& operator=(const TProgressLine&) = delete;

  // The step's text and its percentage (0 to 100), as the exporter's
  // OnProgress reports them: shown once the delay is over, the line
  // rewritten only when its text changes.
  void Report(const std::string& status, int percent);
  // A line of the caller's own making (the batch's count of assets), shown
  // and rewritten as Report's, once the delay is over.
  void Show(const std::string& line);
  // Removes the line, if one shows, leaving the cursor at the start of the
  // empty line; what is printed next stands where it was. A later Report
  // shows it again.
  void Erase();

  bool Enabled() const { return FEnabled; }

private:
  bool DelayOver();
  void Print(std::string text);

  std::ostream& FErr;
  std::function<TProgressDevice::TClock::time_point()> FNow;
  bool FEnabled;
  TProgressDevice::TClock::time_point FStart;
  bool FDelayOver = false;
  // The text on the terminal now; its length is what Erase overwrites.
  std::string FShown;
  std::string FLastStatus;
  int FLastPercent = -1;
};
