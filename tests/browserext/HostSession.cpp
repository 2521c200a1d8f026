#include "HostSession.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qtest {

std::string Frame(const std::string& json)
{
    const auto length = static_cast<std::uint32_t>(json.size());
    std::string bytes(sizeof length, '\0');
    std::memcpy(bytes.data(), &length, sizeof length);
    return bytes + json;
}

HostSession::HostSession(const std::vector<std::string>& args)
{
    int toHost[2], fromHost[2];
    if (::pipe2(toHost, O_CLOEXEC) != 0 || ::pipe2(fromHost, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toHost[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromHost[1], 1);
    // Browsers leave descriptors of their own open in the host; so does this session, so
    // that a test sees whether the host hands them on.
    m_extra = ::open("/dev/zero", O_RDONLY);
    std::vector<std::string> store{QUARROW_BROWSER_HOST_PATH};
    store.insert(store.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : store)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(toHost[0]);
    ::close(fromHost[1]);
    m_in = toHost[1];
    m_out = fromHost[0];
    if (rc != 0)
        throw std::runtime_error(std::string("cannot start the host: ") + std::strerror(rc));
    // A host that stops reading must fail our writes, not end the test by SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
}

HostSession::~HostSession()
{
    CloseInput();
    if (m_out >= 0)
        ::close(m_out);
    if (m_extra >= 0)
        ::close(m_extra);
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

bool HostSession::Send(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_in, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool HostSession::SendMessage(const std::string& json) { return Send(Frame(json)); }

void HostSession::CloseInput()
{
    if (m_in >= 0)
        ::close(m_in);
    m_in = -1;
}

bool HostSession::ReadExactly(char* data, std::size_t size, std::chrono::steady_clock::time_point deadline)
{
    std::size_t done = 0;
    while (done < size) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd p{m_out, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        const ssize_t n = ::read(m_out, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::optional<std::string> HostSession::Reply(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::uint32_t length = 0;
    if (!ReadExactly(reinterpret_cast<char*>(&length), sizeof length, deadline) || length > (1u << 20))
        return std::nullopt;
    std::string body(length, '\0');
    if (!ReadExactly(body.data(), length, deadline))
        return std::nullopt;
    return body;
}

int HostSession::Exit(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid)
            break;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            m_pid = -1;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace qtest
