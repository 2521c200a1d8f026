// Several processes (and threads) save and restore the same options or settings file at
// once: every read must see one whole document, never a mix or a part of one.
#include "config/ConfigOptions.h"
#include "config/PersistSettings.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int kRounds = 100;

// Two versions of a record, differing in every field and far apart in size, so that a
// half-written file or one version's tail after the other's head cannot pass for either.
struct Contender {
    std::function<void(int which, const char* path)> save;
    std::function<std::string(const char* path)> restore; // the restored record's text
    std::string texts[2];
};

ConfigOptions OptionsVersion(int which)
{
    ConfigOptions o;
    o.m_bModified = true;
    o.m_downloadFolder = std::string(which ? "/b/" : "/a/");
    o.m_nMinSize = which;
    o.m_minSizeUnits = SU_KB;
    o.m_nMaxSize = 100 + which;
    o.m_maxSizeUnits = SU_MB;
    const int types = which ? 200 : 3;
    for (int i = 0; i < types; ++i)
        o.m_fileTypes.push_back(
            std::make_shared<CFileType>("*.e" + std::to_string(i), "Type & " + std::to_string(i), i % 2 == 0));
    o.m_fileSavePolicy = which ? FSP_SKIP : FSP_OVERWRITE;
    o.m_nMaxConcurrentDownloads = 2 + which;
    o.m_userAgent = which ? "agent b" : "agent a";
    o.m_respFactor = which;
    o.m_dvRefreshRate = which;
    return o;
}

PersistSettings SettingsVersion(int which)
{
    PersistSettings s;
    const int entries = which ? 1000 : 2;
    for (int i = 0; i < entries; ++i)
        s.m_recentSites.push_back("http://site" + std::to_string(which) + ".example/" + std::to_string(i));
    s.m_recentCopyMoveFolders = {which ? "/copy/b/" : "/copy/a/"};
    s.m_frameWinPos = {which, which, 800 + which, 600 + which};
    s.m_ftViewColWidths = {100 + which, 200};
    s.m_recentDownloadFolders = {which ? "/dl/b/" : "/dl/a/"};
    s.m_mainViewHdrCols = {0, 1, which};
    s.m_mainViewHdrColOrdering = {which, 1, 0};
    s.m_mainViewHdrColWidths = {10, 20, 30 + which};
    return s;
}

Contender OptionsContender()
{
    Contender c;
    c.save = [](int which, const char* path) { OptionsVersion(which).Save(path); };
    c.restore = [](const char* path) {
        ConfigOptions o;
        o.Restore(path);
        return o.ToXml();
    };
    c.texts[0] = OptionsVersion(0).ToXml();
    c.texts[1] = OptionsVersion(1).ToXml();
    return c;
}

Contender SettingsContender()
{
    Contender c;
    c.save = [](int which, const char* path) { SettingsVersion(which).Save(path); };
    c.restore = [](const char* path) {
        PersistSettings s;
        s.Restore(path);
        return s.ToXml();
    };
    c.texts[0] = SettingsVersion(0).ToXml();
    c.texts[1] = SettingsVersion(1).ToXml();
    return c;
}

bool IsOneVersion(const Contender& c, const std::string& text) { return text == c.texts[0] || text == c.texts[1]; }

// Saves and restores in turn; returns the number of reads that were not a whole version.
int SaveAndRestore(const Contender& c, const std::string& path, int first)
{
    int bad = 0;
    for (int round = 0; round < kRounds; ++round) {
        c.save((first + round) % 2, path.c_str());
        if (!IsOneVersion(c, c.restore(path.c_str())))
            ++bad;
    }
    return bad;
}

// Reads the bytes without taking the mutex, as a program unaware of it would: only the
// rename keeps such a reader from seeing a part of a file.
int ReadRaw(const Contender& c, const std::string& path)
{
    int bad = 0;
    for (int round = 0; round < kRounds * 4; ++round) {
        if (!IsOneVersion(c, qtest::ReadFile(path)))
            ++bad;
    }
    return bad;
}

pid_t Spawn(const std::function<int()>& work)
{
    const pid_t pid = fork();
    if (pid == 0) {
        int bad = 1;
        try {
            bad = work();
        } catch (...) {
            bad = 1;
        }
        _exit(bad == 0 ? 0 : 1);
    }
    return pid;
}

class ConfigConcurrencyTest : public ::testing::TestWithParam<const char*> {
protected:
    Contender Make() const { return GetParam() == std::string("options") ? OptionsContender() : SettingsContender(); }
};

TEST_P(ConfigConcurrencyTest, ProcessesNeverReadAHalfWrittenFile)
{
    const Contender c = Make();
    ASSERT_NE(c.texts[0].size(), c.texts[1].size());
    qtest::TempFolder folder;
    const std::string path = (folder.Path() / "shared.xml").string();
    c.save(0, path.c_str());
    ASSERT_EQ(qtest::ReadFile(path), c.texts[0]);

    const pid_t children[] = {
        Spawn([&] { return SaveAndRestore(c, path, 0); }),
        Spawn([&] { return SaveAndRestore(c, path, 1); }),
        Spawn([&] { return ReadRaw(c, path); }),
    };
    for (pid_t child : children) {
        ASSERT_GT(child, 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a process read something that was not one whole version";
    }
    EXPECT_TRUE(IsOneVersion(c, qtest::ReadFile(path)));
    EXPECT_EQ(fs::directory_iterator(folder.Path())->path().filename(), "shared.xml");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), fs::directory_iterator()), 1);
}

// Within one process, threads each with their own record are kept apart the same way.
TEST_P(ConfigConcurrencyTest, ThreadsNeverReadAHalfWrittenFile)
{
    const Contender c = Make();
    qtest::TempFolder folder;
    const std::string path = (folder.Path() / "shared.xml").string();
    c.save(0, path.c_str());

    int bad[3] = {0, 0, 0};
    std::thread threads[] = {
        std::thread([&] { bad[0] = SaveAndRestore(c, path, 0); }),
        std::thread([&] { bad[1] = SaveAndRestore(c, path, 1); }),
        std::thread([&] { bad[2] = ReadRaw(c, path); }),
    };
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(bad[0], 0);
    EXPECT_EQ(bad[1], 0);
    EXPECT_EQ(bad[2], 0);
    EXPECT_TRUE(IsOneVersion(c, qtest::ReadFile(path)));
}

INSTANTIATE_TEST_SUITE_P(Files, ConfigConcurrencyTest, ::testing::Values("options", "settings"));

} // namespace
