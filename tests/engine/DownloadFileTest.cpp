// The file side of a transfer on its own: temporary files, failing writes and the final
// move by save policy, without any HTTP.
#include "engine/DownloadFile.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

std::vector<std::string> TempFiles(const qtest::TempFolder& folder)
{
    std::vector<std::string> found;
    for (const std::string& name : qtest::FilesIn(folder.Path()))
        if (name.rfind("TFR", 0) == 0)
            found.push_back(name);
    return found;
}

TEST(DownloadFile, WritesIntoATemporaryFileThatGoesAwayUnlessSaved)
{
    qtest::TempFolder folder;
    {
        CDownloadFile file;
        ASSERT_TRUE(file.Create(folder.Dir()));
        EXPECT_TRUE(file.Write("abc", 3));
        EXPECT_TRUE(file.Write("de", 2));
        EXPECT_EQ(file.BytesWritten(), 5);
        ASSERT_EQ(TempFiles(folder).size(), 1u);
        EXPECT_EQ(qtest::ReadFile(file.TempPath()), "abcde");
    } // dropped without saving
    EXPECT_TRUE(TempFiles(folder).empty());

    CDownloadFile discarded;
    ASSERT_TRUE(discarded.Create(folder.Dir()));
    discarded.Discard();
    EXPECT_FALSE(discarded.IsOpen());
    EXPECT_FALSE(discarded.Write("x", 1));
    EXPECT_TRUE(TempFiles(folder).empty());
}

TEST(DownloadFile, FolderThatCannotTakeAFileRefusesCreate)
{
    qtest::TempFolder folder;
    folder.Write("plain", "x");
    for (const std::string& bad : {folder.Dir() + "missing/", folder.Dir() + "plain/"}) {
        CDownloadFile file;
        EXPECT_FALSE(file.Create(bad)) << bad;
        EXPECT_FALSE(file.IsOpen());
    }
}

TEST(DownloadFile, WriteThatFailsPartWayDeletesTheTemporaryFile)
{
    qtest::TempFolder folder;
    CDownloadFile file;
    ASSERT_TRUE(file.Create(folder.Dir()));

    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = old;
    lowered.rlim_cur = 4096; // as if the disk were full after 4 KiB
    ::setrlimit(RLIMIT_FSIZE, &lowered);
    const std::string block(3000, 'b');
    const bool first = file.Write(block.data(), block.size());
    const bool second = file.Write(block.data(), block.size());
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(TempFiles(folder).empty());
}

TEST(DownloadFile, SaveFollowsThePolicyAndNeverReplacesUnlessOverwrite)
{
    struct Case {
        FileSavePolicy policy;
        std::vector<std::string> existing;
        CDownloadFile::SaveResult result;
        std::string savedAs; // empty when nothing was saved
    };
    const Case cases[] = {
        {FSP_SKIP, {}, CDownloadFile::SR_SAVED, "a.jpg"},
        {FSP_SKIP, {"a.jpg"}, CDownloadFile::SR_NAME_TAKEN, ""},
        {FSP_OVERWRITE, {"a.jpg"}, CDownloadFile::SR_SAVED, "a.jpg"},
        {FSP_RENAME, {"a.jpg"}, CDownloadFile::SR_SAVED, "a(0).jpg"},
        {FSP_RENAME, {"a.jpg", "a(0).jpg"}, CDownloadFile::SR_SAVED, "a(1).jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.policy) + " with " + std::to_string(c.existing.size()) + " existing");
        qtest::TempFolder folder;
        for (const std::string& name : c.existing)
            folder.Write(name, "old");
        CDownloadFile file;
        ASSERT_TRUE(file.Create(folder.Dir()));
        ASSERT_TRUE(file.Write("new", 3));
        std::string name = "a.jpg";
        std::string path;
        EXPECT_EQ(file.Save(folder.Dir(), c.policy, name, path), c.result);
        if (!c.savedAs.empty()) {
            EXPECT_EQ(name, c.savedAs);
            EXPECT_EQ(path, folder.Dir() + c.savedAs);
            EXPECT_EQ(folder.Read(c.savedAs), "new");
        }
        for (const std::string& old : c.existing) {
            if (old != c.savedAs) {
                EXPECT_EQ(folder.Read(old), "old") << old;
            }
        }
        file.Discard();
        EXPECT_TRUE(TempFiles(folder).empty());
    }
}

TEST(DownloadFile, SavedFileGetsTheUsersPermissionsNotThoseOfATemporaryFile)
{
    qtest::TempFolder folder;
    const mode_t mask = ::umask(022);
    ::umask(mask);
    CDownloadFile file;
    ASSERT_TRUE(file.Create(folder.Dir()));
    std::string name = "p.bin";
    std::string path;
    ASSERT_EQ(file.Save(folder.Dir(), FSP_RENAME, name, path), CDownloadFile::SR_SAVED);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    EXPECT_EQ(file.Save(folder.Dir(), FSP_RENAME, name, path), CDownloadFile::SR_NOTHING_OPEN);
}

TEST(DownloadFile, MoveThatFailsLeavesNoTemporaryFile)
{
    qtest::TempFolder folder;
    CDownloadFile file;
    ASSERT_TRUE(file.Create(folder.Dir()));
    std::string name = "sub/x.jpg"; // its folder does not exist
    std::string path;
    EXPECT_EQ(file.Save(folder.Dir(), FSP_OVERWRITE, name, path), CDownloadFile::SR_MOVE_FAILED);
    EXPECT_TRUE(TempFiles(folder).empty());
}

} // namespace
