#include "helpers/NamedMutex.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/wait.h>
#include <unistd.h>

using HELPERS::NamedMutex;
using Clock = std::chrono::steady_clock;

namespace {

// A child process that takes the mutex, tells the parent, then holds it until the
// parent writes a byte (or for holdMs), writing a marker file just before it releases.
struct Holder {
    pid_t pid = -1;
    int toParent[2]{-1, -1};
    int toChild[2]{-1, -1};

    void Start(const std::string& name, const std::string& marker, int holdMs)
    {
        ASSERT_EQ(pipe(toParent), 0);
        ASSERT_EQ(pipe(toChild), 0);
        pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            NamedMutex m(name);
            char c = m.Lock(3000) ? 'L' : 'F';
            (void)!write(toParent[1], &c, 1);
            if (holdMs > 0)
                usleep(holdMs * 1000);
            else
                (void)!read(toChild[0], &c, 1);
            FILE* f = fopen(marker.c_str(), "w");
            if (f)
                fclose(f);
            m.Unlock();
            _exit(0);
        }
        char c = 0;
        ASSERT_EQ(read(toParent[0], &c, 1), 1);
        ASSERT_EQ(c, 'L');
    }
    void Release()
    {
        char c = 'R';
        (void)!write(toChild[1], &c, 1);
    }
    ~Holder()
    {
        if (pid > 0) {
            Release();
            int status = 0;
            waitpid(pid, &status, 0);
        }
        for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
            if (fd >= 0)
                close(fd);
    }
};

TEST(NamedMutex, SecondProcessGetsItAfterTheFirstReleases)
{
    qtest::TempFolder dir;
    const std::string marker = (dir.Path() / "released").string();
    Holder holder;
    holder.Start("QR_TEST_MUTEX_A", marker, 300);

    NamedMutex m("QR_TEST_MUTEX_A");
    ASSERT_TRUE(m.Lock(3000));
    // Only possible after the holder let go.
    EXPECT_TRUE(dir.Has("released"));
    m.Unlock();
}

TEST(NamedMutex, GivesUpAfterItsTimeOut)
{
    qtest::TempFolder dir;
    Holder holder;
    holder.Start("QR_TEST_MUTEX_B", (dir.Path() / "released").string(), 0);

    NamedMutex m("QR_TEST_MUTEX_B");
    const auto start = Clock::now();
    EXPECT_FALSE(m.Lock(150));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(150));
    EXPECT_FALSE(m.IsLocked());

    holder.Release();
    EXPECT_TRUE(m.Lock(3000));
    EXPECT_TRUE(dir.Has("released"));
}

TEST(NamedMutex, ExcludesTwoThreadsOfOneProcess)
{
    NamedMutex a("QR_TEST_MUTEX_C"), b("QR_TEST_MUTEX_C");
    ASSERT_TRUE(a.Lock(100));
    EXPECT_FALSE(b.Lock(50));
    a.Unlock();
    EXPECT_TRUE(b.Lock(100));
}

TEST(NamedMutex, LockFileLivesInTheRuntimeFolder)
{
    qtest::TempFolder dir;
    qtest::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path().string());
    EXPECT_EQ(NamedMutex::LockFilePath("QR_CO_MUTEX_4883"), dir.Path().string() + "/QR_CO_MUTEX_4883.lock");
    NamedMutex m("QR_CO_MUTEX_4883");
    ASSERT_TRUE(m.Lock(100));
    EXPECT_TRUE(dir.Has("QR_CO_MUTEX_4883.lock"));
}

} // namespace
