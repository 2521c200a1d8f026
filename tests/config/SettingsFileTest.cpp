// What the options file and the settings file share: how they are saved over what is on
// disk (links, read-only files) and which files a restore agrees to read.
#include "config/ConfigOptions.h"
#include "config/PersistSettings.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// One of the two records, seen only through its file.
struct Record {
    const char* name;
    std::function<void(const char* path)> save;             // saves a record unlike the defaults
    std::function<std::string()> savedText;                 // the document that save writes
    std::function<bool(const char* path)> restoresDefaults; // a restore fell back
};

ConfigOptions SavedOptions()
{
    ConfigOptions o;
    o.m_bModified = true;
    o.m_downloadFolder = std::string("/saved/");
    o.m_nMinSize = 7;
    o.m_minSizeUnits = SU_BYTES;
    o.m_nMaxSize = 8;
    o.m_maxSizeUnits = SU_KB;
    o.m_fileTypes = {std::make_shared<CFileType>("*.x", "X", true)};
    o.m_fileSavePolicy = FSP_SKIP;
    o.m_nMaxConcurrentDownloads = 5;
    o.m_userAgent = "Saved/1";
    o.m_respFactor = LEVEL_HIGH;
    o.m_dvRefreshRate = LEVEL_LOW;
    return o;
}

PersistSettings SavedSettings()
{
    PersistSettings s;
    s.m_recentSites = {"http://saved/"};
    s.m_frameWinPos = {1, 2, 300, 400};
    return s;
}

const Record kRecords[] = {
    {"options", [](const char* p) { SavedOptions().Save(p); }, [] { return SavedOptions().ToXml(); },
     [](const char* p) {
         ConfigOptions o;
         o.Restore(p);
         return o.m_userAgent == "Quarrow/1.2" && o.m_fileTypes.size() == 26 && o.m_nMaxConcurrentDownloads == 3;
     }},
    {"settings", [](const char* p) { SavedSettings().Save(p); }, [] { return SavedSettings().ToXml(); },
     [](const char* p) {
         PersistSettings s;
         s.m_frameWinPos = {5, 6, 700, 800};
         s.Restore(p);
         return s.m_frameWinPos.IsEmpty() && s.m_recentSites.empty();
     }},
};

void PrintTo(const Record& r, std::ostream* os) { *os << r.name; }

class SettingsFileTest : public ::testing::TestWithParam<Record> {
protected:
    qtest::TempFolder m_dir;
    const Record& m_record = GetParam();

    fs::path File() const { return m_dir.Path() / "file.xml"; }
};

unsigned Mode(const fs::path& p)
{
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

TEST_P(SettingsFileTest, SaveGoesThroughLinksToTheirTarget)
{
    fs::create_directories(m_dir.Path() / "real");
    const fs::path target = m_dir.Write("real/target.xml", "old");
    fs::create_symlink("real/target.xml", File());
    m_record.save(File().c_str());
    EXPECT_TRUE(fs::is_symlink(File()));
    EXPECT_EQ(qtest::ReadFile(target), m_record.savedText());
    EXPECT_EQ(qtest::FilesIn(m_dir.Path() / "real"), std::vector<std::string>{"target.xml"});

    // A link to a link, the last one pointing at nothing yet: the file appears at the end.
    fs::create_symlink(m_dir.Path() / "real/new.xml", m_dir.Path() / "dangling");
    fs::create_symlink("dangling", m_dir.Path() / "chain");
    m_record.save((m_dir.Path() / "chain").c_str());
    EXPECT_TRUE(fs::is_symlink(m_dir.Path() / "chain"));
    EXPECT_TRUE(fs::is_symlink(m_dir.Path() / "dangling"));
    EXPECT_EQ(qtest::ReadFile(m_dir.Path() / "real/new.xml"), m_record.savedText());

    // A link loop is not saved through, and nothing is left beside it.
    fs::create_symlink("loop-b", m_dir.Path() / "loop-a");
    fs::create_symlink("loop-a", m_dir.Path() / "loop-b");
    EXPECT_NO_THROW(m_record.save((m_dir.Path() / "loop-a").c_str()));
    EXPECT_TRUE(fs::is_symlink(m_dir.Path() / "loop-a"));
    EXPECT_EQ(qtest::FilesIn(m_dir.Path()),
              (std::vector<std::string>{"chain", "dangling", "file.xml", "loop-a", "loop-b", "real"}));
}

// The tests run as root, who may write any file: a file without a write bit is still
// one the user has marked read-only, and it is kept.
TEST_P(SettingsFileTest, ReadOnlyFileIsLeftAsItWas)
{
    m_dir.Write("file.xml", "old");
    fs::permissions(File(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_NO_THROW(m_record.save(File().c_str()));
    EXPECT_EQ(qtest::ReadFile(File()), "old");
    EXPECT_EQ(Mode(File()), 0444u);

    fs::create_symlink("file.xml", m_dir.Path() / "link");
    EXPECT_NO_THROW(m_record.save((m_dir.Path() / "link").c_str()));
    EXPECT_EQ(qtest::ReadFile(File()), "old");
    EXPECT_TRUE(fs::is_symlink(m_dir.Path() / "link"));
    EXPECT_EQ(qtest::FilesIn(m_dir.Path()), (std::vector<std::string>{"file.xml", "link"}));
}

// Replacing a file keeps its mode and owner: the new file is the old one rewritten.
TEST_P(SettingsFileTest, ReplacedFileKeepsItsModeAndOwner)
{
    m_dir.Write("file.xml", "old");
    fs::permissions(File(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(::chown(File().c_str(), 4321, 4322), 0);
    m_record.save(File().c_str());
    EXPECT_EQ(qtest::ReadFile(File()), m_record.savedText());
    EXPECT_EQ(Mode(File()), 0640u);
    struct stat st {};
    ASSERT_EQ(::stat(File().c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
}

// Runs `work` in a child process with a bounded heap and returns its exit status, or -1
// if it did not finish (it is then killed) or died. A restore that blocks or reads without
// end then fails the test instead of hanging it or filling the machine's memory.
int RunBounded(const std::function<bool()>& work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        // The heap may grow by 256 MiB over what the child starts with.
        long dataKb = 0;
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmData:", 0) == 0)
                dataKb = std::stol(line.substr(7));
        rlimit limit{};
        limit.rlim_cur = limit.rlim_max = static_cast<rlim_t>(dataKb) * 1024 + (rlim_t(256) << 20);
        ::setrlimit(RLIMIT_DATA, &limit);
        bool ok = false;
        try {
            ok = work();
        } catch (...) {
            _exit(3);
        }
        _exit(ok ? 0 : 1);
    }
    if (child < 0)
        return -1;
    int status = 0;
    const bool ended = qtest::WaitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; });
    if (!ended) {
        ::kill(child, SIGKILL);
        ::waitpid(child, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct UnreadableCase {
    const char* what;
    std::function<void(const qtest::TempFolder& dir, const fs::path& file, const std::string& goodText)> make;
};

TEST_P(SettingsFileTest, OnlyRegularFilesOfSaneSizeAreRead)
{
    const UnreadableCase cases[] = {
        {"fifo", [](const qtest::TempFolder&, const fs::path& f,
                    const std::string&) { ASSERT_EQ(::mkfifo(f.c_str(), 0600), 0); }},
        {"link to a fifo",
         [](const qtest::TempFolder& d, const fs::path& f, const std::string&) {
             ASSERT_EQ(::mkfifo((d.Path() / "pipe").c_str(), 0600), 0);
             fs::create_symlink(d.Path() / "pipe", f);
         }},
        {"link to /dev/zero",
         [](const qtest::TempFolder&, const fs::path& f, const std::string&) { fs::create_symlink("/dev/zero", f); }},
        {"folder", [](const qtest::TempFolder&, const fs::path& f, const std::string&) { fs::create_directory(f); }},
        // A good document that blank padding puts past any real file's size.
        {"over the size cap",
         [](const qtest::TempFolder&, const fs::path& f, const std::string& good) {
             std::ofstream out(f, std::ios::binary);
             out << good << std::string((std::size_t(16) << 20) + 1, ' ');
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qtest::TempFolder dir;
        const fs::path file = dir.Path() / "file.xml";
        c.make(dir, file, m_record.savedText());
        EXPECT_EQ(RunBounded([&] { return m_record.restoresDefaults(file.c_str()); }), 0);
    }

    // The same document, a little padded, is read: the cap is not below real files.
    qtest::TempFolder dir;
    const fs::path file = dir.Path() / "file.xml";
    std::ofstream(file, std::ios::binary) << m_record.savedText() << std::string(1 << 20, ' ');
    fs::create_symlink(file, dir.Path() / "link.xml");
    EXPECT_FALSE(m_record.restoresDefaults(file.c_str()));
    EXPECT_FALSE(m_record.restoresDefaults((dir.Path() / "link.xml").c_str()));
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFileTest, ::testing::ValuesIn(kRecords),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
