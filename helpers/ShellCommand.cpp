#include "helpers/ShellCommand.h"

#include "helpers/WException.h"

#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace HELPERS {

std::intptr_t ShellCodeFromXdgOpenStatus(int exitStatus)
{
    switch (exitStatus) {
    case 0: return kShellSuccess;
    case 2: return 2;  // file not found
    case 3: return 31; // no program to open it with
    default: return -1;
    }
}

const char* ShellErrorMessage(std::intptr_t code)
{
    switch (code) {
    case 0: return "The operating system is out of memory or resources";
    case 2: return "The specified file was not found";
    case 3: return "The specified path was not found";
    case 5: return "The operating system denied access to the specified file";
    case 8: return "There was not enough memory to complete the operation";
    case 11: return "The .exe file is invalid (non-Microsoft Win32\u00ae .exe or error in .exe image)";
    case 26: return "A sharing violation occurred";
    case 27: return "The file name association is incomplete or invalid";
    case 28: return "The DDE transaction could not be completed because the request timed out";
    case 29: return "The DDE transaction failed";
    case 30:
        return "The Dynamic Data Exchange (DDE) transaction could not be completed because other DDE "
               "transactions were being processed";
    case 31:
        return "There is no application associated with the given file name extension. This error "
               "will also be returned if you attempt to print a file that is not printable";
    case 32: return "The specified dynamic-link library (DLL) was not found";
    default: return "Unknown error while executing shell command!";
    }
}

namespace {

// Runs xdg-open on the target without a shell, so no character of the name or address is
// ever interpreted; returns the platform code.
std::intptr_t RunXdgOpen(const std::string& file, const std::string& directory)
{
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return 0;
    if (!directory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());

    std::string program = "xdg-open";
    std::vector<char*> argv{program.data(), const_cast<char*>(file.c_str()), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return (rc == ENOMEM || rc == EAGAIN) ? 0 : -1;

    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return -1;
    }
    if (!WIFEXITED(status))
        return -1;
    return ShellCodeFromXdgOpenStatus(WEXITSTATUS(status));
}

} // namespace

std::intptr_t ExecuteShellCommand(void* /*window*/, const std::string& /*operation*/, const std::string& file,
                                  const std::string& /*parameters*/, const std::string& directory, int /*showCommand*/)
{
    const std::intptr_t code = RunXdgOpen(file, directory);
    if (code > 32)
        return code;
    throw WException(ShellErrorMessage(code));
}

} // namespace HELPERS
