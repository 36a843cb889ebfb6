#pragma once
// The veldara-export command line: parses the arguments, runs the command and
// returns the exit status (0 success, 1 failure of the job, 2 usage error).
// Errors end standard error with a line "error: " and the message.

// `terminal` tells whether `err` is a terminal, where `mesh` and `export`
// show their progress (see ProgressLine.h); by default it is none.

#include <ostream>

#include "cli/ProgressLine.h"

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   const TProgressDevice& terminal = TProgressDevice::None());
