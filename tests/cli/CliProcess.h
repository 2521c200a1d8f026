#pragma once
// Runs the quarrow-cli binary as a child process with its output in files, so that tests see
// exactly what a user or a script would: the exit status, stdout and stderr.
#include <chrono>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/types.h>
#include <vector>

namespace qtest {

struct CliOutcome {
    int exitCode = -1;  // -1 when the process ended by a signal or did not end in time
    int termSignal = 0; // the signal that ended it, if any
    bool timedOut = false;
    std::string out;
    std::string err;
};

// How the child is started beyond its arguments.
struct CliLaunch {
    uid_t uid = 0;           // run as this user (needs root); 0 keeps ours
    rlim_t maxFileBytes = 0; // largest file the child may write (as on a full disk); 0: no limit
};

class CliProcess {
public:
    // Starts `binary` with `args`; the environment is the test process's own (its HOME is
    // the sandbox).
    CliProcess(const std::string& binary, const std::vector<std::string>& args, CliLaunch launch = {});
    ~CliProcess(); // kills a child still running
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    void Signal(int sig) const;
    // What stdout holds so far.
    std::string OutSoFar() const;
    // Waits for the end; a child still running after `timeout` is killed.
    CliOutcome Wait(std::chrono::milliseconds timeout = std::chrono::seconds(60));

private:
    std::filesystem::path m_dir;
    pid_t m_pid = -1;
};

// Starts, waits, returns the outcome.
CliOutcome RunCli(const std::string& binary, const std::vector<std::string>& args,
                  std::chrono::milliseconds timeout = std::chrono::seconds(60), CliLaunch launch = {});

} // namespace qtest
