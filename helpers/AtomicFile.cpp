#include "helpers/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace HELPERS {

namespace {

bool WriteAll(int fd, const std::string& text)
{
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The path that links at `path` lead to, or empty for a loop or a link that cannot be read.
// The result is not a link; it may not exist yet.
std::string FollowLinks(std::string path)
{
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), target, sizeof target);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target)
            return std::string();
        const std::string next(target, static_cast<std::size_t>(n));
        path = next[0] == '/' ? next : FolderOf(path) + next;
    }
    return std::string();
}

// Opens a new, hidden file beside `path`. The process id, a counter and O_EXCL keep two
// writers (threads or processes) from ever sharing one.
int CreateSibling(const std::string& path, std::string& tempPath)
{
    static std::atomic<unsigned> counter{0};
    const std::string folder = FolderOf(path);
    const std::string name = path.substr(folder.size());
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        // 0666 under the umask: the same mode a plainly created file would get.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// The rename is only durable once the folder's entry is on disk too.
void SyncFolder(const std::string& path)
{
    const std::string folder = FolderOf(path);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace

bool MayWriteFile(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::access(path.c_str(), W_OK) == 0;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& text)
{
    if (path.empty() || path.back() == '/')
        return false;
    const std::string target = FollowLinks(path);
    if (target.empty() || target.back() == '/')
        return false;
    struct stat old {};
    const bool exists = ::lstat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT)
        return false;
    if (exists && (!S_ISREG(old.st_mode) || !MayWriteFile(target)))
        return false;

    std::string tempPath;
    const int fd = CreateSibling(target, tempPath);
    if (fd < 0)
        return false;
    bool ok = true;
    if (exists) {
        struct stat created {};
        if (::fstat(fd, &created) == 0 && (created.st_uid != old.st_uid || created.st_gid != old.st_gid)) {
            // Best effort: only root may give a file away, and a user's own file already
            // has the right owner.
            [[maybe_unused]] const int owned = ::fchown(fd, old.st_uid, old.st_gid);
        }
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tempPath.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tempPath.c_str());
        return false;
    }
    SyncFolder(target);
    return true;
}

} // namespace HELPERS
