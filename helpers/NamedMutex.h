#pragma once
// A mutex shared by every process of the user: flock on a lock file named after the
// mutex in $XDG_RUNTIME_DIR (else /tmp/quarrow-<uid>/).
#include <string>

namespace HELPERS {

class NamedMutex {
public:
    // Throws WException when the fallback lock folder in /tmp is not safe to use.
    explicit NamedMutex(const std::string& name);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // Waits up to timeoutMs milliseconds; false if the mutex stayed taken or the lock
    // file could not be opened.
    bool Lock(unsigned timeoutMs);
    void Unlock();
    bool IsLocked() const { return m_locked; }

    // The lock file used for a mutex name.
    static std::string LockFilePath(const std::string& name);

private:
    std::string m_path;
    int m_fd = -1;
    bool m_locked = false;
};

// Holds a NamedMutex for a scope.
class NamedMutexLock {
public:
    NamedMutexLock(NamedMutex& mutex, unsigned timeoutMs) : m_mutex(mutex), m_owns(mutex.Lock(timeoutMs)) {}
    ~NamedMutexLock()
    {
        if (m_owns)
            m_mutex.Unlock();
    }
    NamedMutexLock(const NamedMutexLock&) = delete;
    NamedMutexLock& operator=(const NamedMutexLock&) = delete;
    bool OwnsLock() const { return m_owns; }

private:
    NamedMutex& m_mutex;
    bool m_owns;
};

} // namespace HELPERS
