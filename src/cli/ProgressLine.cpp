#include "cli/ProgressLine.h"

#include <algorithm>

#include "platform/uTerminal.h"

namespace {
// The line stays within 80 columns, so that the carriage return reaches its
// start: a wrapped line would leave its first part behind.
constexpr std::size_t kLongestStatus = 70;
}  // namespace

TProgressDevice TProgressDevice::StandardError() {
  return {StandardErrorIsTerminal, [] { return TClock::now(); }};
}

TProgressDevice TProgressDevice::None() {
  return {[] { return false; }, [] { return TClock::now(); }};
}

TProgressLine::TProgressLine(std::ostream& err, const TProgressDevice& terminal, bool quiet)
    : FErr(err),
      FNow(terminal.Now ? terminal.Now : [] { return TProgressDevice::TClock::now(); }),
      FEnabled(!quiet && terminal.IsTerminal && terminal.IsTerminal()),
      FStart(FNow()) {}

TProgressLine::~TProgressLine() {
  try {
    Erase();
  } catch (...) {
    // A stream that throws while the job ends: the job's own outcome matters more.
  }
}

bool TProgressLine::DelayOver() {
  if (!FEnabled) return false;
  if (!FDelayOver && FNow() - FStart > kDelay) FDelayOver = true;
  return FDelayOver;
}

void TProgressLine::Report(const std::string& status, int percent) {
  if (!DelayOver()) return;
  percent = std::clamp(percent, 0, 100);
  if (!FShown.empty() && percent == FLastPercent && status == FLastStatus) return;
  FLastStatus = status;
  FLastPercent = percent;
  Print(status.substr(0, kLongestStatus) + ' ' + std::to_string(percent) + '%');
}

void TProgressLine::Show(const std::string& line) {
  if (!DelayOver()) return;
  std::string text = line.substr(0, kLongestStatus + 5);
  if (!FShown.empty() && FShown.compare(0, text.size(), text) == 0 &&
      FShown.find_first_not_of(' ', text.size()) == std::string::npos)
    return;
  FLastStatus.clear();
  FLastPercent = -1;
  Print(std::move(text));
}

void TProgressLine::Print(std::string text) {
  // Only printable characters, so that the line's length is its width.
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  // Blanks over what is left of a longer line before.
  const std::size_t blanks = FShown.size() > text.size() ? FShown.size() - text.size() : 0;
  FErr << '\r' << text << std::string(blanks, ' ');
  FErr.flush();
  FShown = std::move(text);
  FShown.append(blanks, ' ');
}

void TProgressLine::Erase() {
  if (FShown.empty()) return;
  FErr << '\r' << std::string(FShown.size(), ' ') << '\r';
  FErr.flush();
  FShown.clear();
}
