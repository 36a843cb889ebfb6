#pragma once
// The program file of this process, for what must change when the program
// does (the batch's cache takes the program's bytes as its version).

#include <string>

// The path of the running program's file; empty when the system does not say.
std::string RunningProgramPath();
