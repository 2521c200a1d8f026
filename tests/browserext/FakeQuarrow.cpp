// Stands in for quarrow when the browser host starts it: records what it was given and how
// it was started, so that tests can check the argument vector and the detachment.
//   $QUARROW_FAKE_RECORD        file that receives every argument, each ended by a zero byte
//   $QUARROW_FAKE_RECORD.facts  "pid=", "sid=", "fds=" (open descriptors), "fd0=".."fd2="
// While $QUARROW_FAKE_RECORD.hold exists (at most 30 s) the program keeps running.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Written beside the target and renamed, so that a test polling for the file never sees half.
void WriteWhole(const std::string& path, const std::string& text)
{
    const std::string temp = path + ".part";
    std::ofstream(temp, std::ios::binary) << text;
    fs::rename(temp, path);
}

std::string OpenDescriptors()
{
    std::string list;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return "?";
    const int own = ::dirfd(dir);
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.' || std::atoi(e->d_name) == own)
            continue;
        list += (list.empty() ? "" : ",") + std::string(e->d_name);
    }
    ::closedir(dir);
    return list;
}

std::string Target(int fd)
{
    std::error_code ec;
    return fs::read_symlink("/proc/self/fd/" + std::to_string(fd), ec).string();
}

} // namespace

int main(int argc, char** argv)
{
    const char* record = std::getenv("QUARROW_FAKE_RECORD");
    if (!record)
        return 2;
    std::string facts = "pid=" + std::to_string(::getpid()) + "\nsid=" + std::to_string(::getsid(0)) +
                        "\nfds=" + OpenDescriptors() + "\n";
    for (int fd = 0; fd < 3; ++fd)
        facts += "fd" + std::to_string(fd) + "=" + Target(fd) + "\n";
    WriteWhole(std::string(record) + ".facts", facts);

    std::string args;
    for (int i = 0; i < argc; ++i)
        args.append(argv[i]).push_back('\0');
    WriteWhole(record, args);

    const std::string hold = std::string(record) + ".hold";
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (fs::exists(hold) && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return 0;
}
