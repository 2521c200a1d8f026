#include "helpers/NamedMutex.h"

#include "helpers/UserFolders.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace HELPERS {

std::string NamedMutex::LockFilePath(const std::string& name)
{
    std::string safe;
    for (char c : name)
        safe += (c == '/' || c == '\0') ? '_' : c;
    return GetRuntimeFolder() + "/" + safe + ".lock";
}

NamedMutex::NamedMutex(const std::string& name) : m_path(LockFilePath(name)) {}

NamedMutex::~NamedMutex()
{
    Unlock();
    if (m_fd >= 0)
        ::close(m_fd);
}

bool NamedMutex::Lock(unsigned timeoutMs)
{
    if (m_locked)
        return true;
    if (m_fd < 0) {
        m_fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_fd < 0)
            return false;
    }
    // flock has no timed wait: poll with a short sleep until the deadline.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
            m_locked = true;
            return true;
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void NamedMutex::Unlock()
{
    if (m_locked) {
        ::flock(m_fd, LOCK_UN);
        m_locked = false;
    }
}

} // namespace HELPERS
