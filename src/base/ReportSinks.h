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
