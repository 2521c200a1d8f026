#include "browserext/host/ProgramLauncher.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>

extern char** environ;

namespace {

// The posix_spawn attribute and file-action objects, destroyed on every path.
struct SpawnSetup {
    posix_spawnattr_t attr;
    posix_spawn_file_actions_t actions;
    bool attrReady = false;
    bool actionsReady = false;
    ~SpawnSetup()
    {
        if (actionsReady)
            posix_spawn_file_actions_destroy(&actions);
        if (attrReady)
            posix_spawnattr_destroy(&attr);
    }
};

int Prepare(SpawnSetup& s)
{
    if (int rc = posix_spawnattr_init(&s.attr))
        return rc;
    s.attrReady = true;
    if (int rc = posix_spawn_file_actions_init(&s.actions))
        return rc;
    s.actionsReady = true;

    // A session of its own: closing the browser (and its process group) leaves it running.
    // The browser's blocked or ignored signals are not the program's business.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    const short flags = POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (int rc = posix_spawnattr_setflags(&s.attr, flags))
        return rc;
    if (int rc = posix_spawnattr_setsigmask(&s.attr, &none))
        return rc;
    if (int rc = posix_spawnattr_setsigdefault(&s.attr, &all))
        return rc;

    // Standard descriptors on /dev/null; everything else closed, whether or not it was
    // opened close-on-exec (the browser's pipes among them).
    if (int rc = posix_spawn_file_actions_addopen(&s.actions, 0, "/dev/null", O_RDONLY, 0))
        return rc;
    if (int rc = posix_spawn_file_actions_addopen(&s.actions, 1, "/dev/null", O_WRONLY, 0))
        return rc;
    if (int rc = posix_spawn_file_actions_adddup2(&s.actions, 1, 2))
        return rc;
    return posix_spawn_file_actions_addclosefrom_np(&s.actions, 3);
}

} // namespace

int LaunchDetached(const std::vector<std::string>& argv)
{
    if (argv.empty() || argv[0].empty())
        return ENOENT;
    SpawnSetup setup;
    if (int rc = Prepare(setup))
        return rc;
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    // glibc reports a failed exec (missing file, no permission) as posix_spawn's result.
    return posix_spawn(&pid, argv[0].c_str(), &setup.actions, &setup.attr, args.data(), environ);
}

void IgnoreChildExits()
{
    struct sigaction sa {};
    sa.sa_handler = SIG_IGN;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_NOCLDWAIT;
    sigaction(SIGCHLD, &sa, nullptr);
}
