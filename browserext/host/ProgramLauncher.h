#pragma once
#include <string>
#include <vector>

// Starts `argv[0]` with exactly `argv` as its argument vector: no shell, no search of PATH,
// the environment of this process. The program runs in a session of its own, its standard
// input, output and error are /dev/null and it inherits no other descriptor, so it outlives
// the browser and never writes into the browser's pipe. Nobody waits for it: the caller must
// have SIGCHLD ignored (see IgnoreChildExits) so that it leaves no zombie behind.
// Returns 0 on success, else the errno value of the failed start (a missing or
// non-executable program among them).
int LaunchDetached(const std::vector<std::string>& argv);

// Lets the kernel reap children at once; LaunchDetached restores the default for the child.
void IgnoreChildExits();
