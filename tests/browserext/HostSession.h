#pragma once
// Runs quarrow-browser-host as the browser does: a pipe on its standard input for the
// requests and one on its standard output for the replies.
#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qtest {

class HostSession {
public:
    explicit HostSession(const std::vector<std::string>& args = {"chrome-extension://test/"});
    ~HostSession(); // kills a host still running
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Raw bytes to the host's input; false if the host no longer reads.
    bool Send(const std::string& bytes);
    // One framed message.
    bool SendMessage(const std::string& json);
    void CloseInput();
    // The next framed reply, or nothing if none arrives whole within `timeout` or the
    // host closes its output first.
    std::optional<std::string> Reply(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The host's exit status after its end, -1 if it did not end within `timeout` (then it is
    // killed) or ended by a signal.
    int Exit(std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    bool ReadExactly(char* data, std::size_t size, std::chrono::steady_clock::time_point deadline);

    pid_t m_pid = -1;
    int m_in = -1;    // our end of the host's stdin
    int m_out = -1;   // our end of the host's stdout
    int m_extra = -1; // a descriptor the host inherits beyond the standard ones
};

// A 4-byte native-order length, then the text.
std::string Frame(const std::string& json);

} // namespace qtest
