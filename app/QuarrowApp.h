#pragma once
// The program's entry: start-up, the main loop and shut-down, in that order.

// Returns the process exit code: 99 after the usage box, -1 without a refresh timer, 0 when
// the main window could not be created, 1 after a normal end.
int RunQuarrow(int argc, char** argv);
