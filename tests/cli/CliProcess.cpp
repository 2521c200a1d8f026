#include "CliProcess.h"

#include "support/Sandbox.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <grp.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace qtest {

namespace {

std::filesystem::path MakeOutputFolder()
{
    std::string pattern = (SandboxRoot() / "cli-run-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    return pattern;
}

} // namespace

CliProcess::CliProcess(const std::string& binary, const std::vector<std::string>& args, CliLaunch launch)
    : m_dir(MakeOutputFolder())
{
    const std::string outPath = (m_dir / "stdout").string();
    const std::string errPath = (m_dir / "stderr").string();
    std::vector<std::string> argvStore;
    argvStore.push_back(binary);
    argvStore.insert(argvStore.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    m_pid = ::fork();
    if (m_pid < 0)
        throw std::runtime_error("fork failed");
    if (m_pid == 0) {
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0)
            ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        // GoogleTest may run us with signals blocked or ignored; the child starts clean.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGINT, SIG_DFL);
        if (launch.maxFileBytes > 0) {
            // Writes past the limit fail with EFBIG, as on a full disk, instead of a signal.
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = launch.maxFileBytes;
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(125);
        }
        if (launch.uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(launch.uid) != 0 || ::setuid(launch.uid) != 0))
            ::_exit(125);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }
}

CliProcess::~CliProcess()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    std::error_code ec;
    std::filesystem::remove_all(m_dir, ec);
}

void CliProcess::Signal(int sig) const
{
    if (m_pid > 0)
        ::kill(m_pid, sig);
}

std::string CliProcess::OutSoFar() const { return ReadFile(m_dir / "stdout"); }

CliOutcome CliProcess::Wait(std::chrono::milliseconds timeout)
{
    CliOutcome outcome;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid)
            break;
        if (r < 0 && errno != EINTR)
            throw std::runtime_error("waitpid failed");
        if (std::chrono::steady_clock::now() > deadline) {
            outcome.timedOut = true;
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_pid = -1;
    if (WIFEXITED(status) && !outcome.timedOut)
        outcome.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        outcome.termSignal = WTERMSIG(status);
    outcome.out = ReadFile(m_dir / "stdout");
    outcome.err = ReadFile(m_dir / "stderr");
    return outcome;
}

CliOutcome RunCli(const std::string& binary, const std::vector<std::string>& args, std::chrono::milliseconds timeout,
                  CliLaunch launch)
{
    CliProcess process(binary, args, launch);
    return process.Wait(timeout);
}

} // namespace qtest
