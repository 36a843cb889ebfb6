#pragma once
// Whether the process writes to a person: a terminal (a console on Windows)
// rather than a file or a pipe.

bool StandardErrorIsTerminal();
