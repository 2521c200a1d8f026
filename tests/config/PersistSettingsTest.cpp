#include "config/PersistSettings.h"
#include "helpers/NamedMutex.h"
#include "helpers/WException.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace {

const std::string kGoldenDir = std::string(QUARROW_TEST_DATA_DIR) + "/config/golden/";

std::string Golden(const std::string& name) { return qtest::ReadFile(kGoldenDir + name); }

// The record settings_v4_full.xml holds.
PersistSettings FullRecord()
{
    PersistSettings s;
    s.m_recentSites = {"http://example.com/gallery/?page=2&sort=new", "https://example.org/a\"b'c",
                       "http://localhost:8080/"};
    s.m_recentCopyMoveFolders = {"/home/user/Pictures/", "/mnt/backup/R&D/"};
    s.m_frameWinPos = {-8, -8, 1288, 1008};
    s.m_ftViewColWidths = {120, 240};
    s.m_recentDownloadFolders = {"/home/user/Documents/Quarrow Downloads/", "/home/user/Bilder/Übersicht/"};
    s.m_mainViewHdrCols = {0, 1, 2, 3, 5, 7};
    s.m_mainViewHdrColOrdering = {0, 2, 1, 3, 4, 5};
    s.m_mainViewHdrColWidths = {40, 180, -1, 70, 0, 2147483647};
    return s;
}

// A record whose every field differs from the files', to see what a read replaced.
PersistSettings OldRecord()
{
    PersistSettings s;
    s.m_recentSites = {"http://old/"};
    s.m_recentCopyMoveFolders = {"/old/copy/"};
    s.m_frameWinPos = {1, 2, 300, 400};
    s.m_ftViewColWidths = {9, 9};
    s.m_recentDownloadFolders = {"/old/dl/"};
    s.m_mainViewHdrCols = {9};
    s.m_mainViewHdrColOrdering = {9};
    s.m_mainViewHdrColWidths = {9};
    return s;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// Removes a field element (one line, or a list up to its end tag) from a document.
std::string EraseField(std::string text, const std::string& name)
{
    const auto begin = text.find("\t<" + name + ">");
    EXPECT_NE(begin, std::string::npos) << name;
    const std::string endTag = "</" + name + ">\n";
    const auto end = text.find(endTag, begin);
    text.erase(begin, end + endTag.size() - begin);
    return text;
}

using qtest::FilesIn;

class PersistSettingsTest : public ::testing::Test {
protected:
    qtest::TempFolder m_root;
    qtest::ScopedEnv m_data{"XDG_DATA_HOME", (m_root.Path() / "data").string()};

    fs::path DataHome() const { return m_root.Path() / "data"; }
};

TEST_F(PersistSettingsTest, WritesTheGoldenFileAndReadsItBack)
{
    const PersistSettings full = FullRecord();
    const fs::path path = m_root.Path() / "QR_Settings.xml";
    full.Save(path.c_str());
    EXPECT_EQ(qtest::ReadFile(path), Golden("settings_v4_full.xml"));

    PersistSettings back = OldRecord();
    back.Restore((kGoldenDir + "settings_v4_full.xml").c_str());
    EXPECT_TRUE(back == full);
    EXPECT_EQ(back.m_recentSites, full.m_recentSites);
    EXPECT_EQ(back.m_frameWinPos, full.m_frameWinPos);
}

TEST_F(PersistSettingsTest, DefaultLocationRoundTrip)
{
    const PersistSettings full = FullRecord();
    full.Save(nullptr);
    const fs::path folder = DataHome() / "Orlendi/Quarrow";
    EXPECT_EQ(qtest::ReadFile(folder / "QR_Settings.xml"), Golden("settings_v4_full.xml"));
    EXPECT_EQ(FilesIn(folder), std::vector<std::string>{"QR_Settings.xml"});

    // There is no modified flag: an unchanged record is written again.
    fs::remove(folder / "QR_Settings.xml");
    full.Save(nullptr);
    EXPECT_TRUE(fs::exists(folder / "QR_Settings.xml"));

    PersistSettings back;
    back.Restore(nullptr);
    EXPECT_TRUE(back == full);
}

TEST_F(PersistSettingsTest, Version2FileReadsItsFieldsAndIsResavedAsVersion4)
{
    PersistSettings s;
    s.Restore((kGoldenDir + "settings_v2.xml").c_str());
    EXPECT_EQ(s.m_recentSites, (std::deque<std::string>{"http://example.com/", "http://example.net/x?a<b"}));
    EXPECT_EQ(s.m_recentCopyMoveFolders, std::deque<std::string>{"/tmp/copy/"});
    EXPECT_EQ(s.m_frameWinPos, (PersistSettings::Rect{10, 20, 810, 620}));
    EXPECT_EQ(s.m_ftViewColWidths, (std::vector<std::int32_t>{100, 300}));
    EXPECT_TRUE(s.m_recentDownloadFolders.empty());
    EXPECT_TRUE(s.m_mainViewHdrCols.empty());
    EXPECT_TRUE(s.m_mainViewHdrColOrdering.empty());
    EXPECT_TRUE(s.m_mainViewHdrColWidths.empty());

    const fs::path path = m_root.Path() / "resaved.xml";
    s.Save(path.c_str());
    const std::string text = qtest::ReadFile(path);
    EXPECT_EQ(text, Golden("settings_v2_resaved.xml"));
    EXPECT_NE(text.find("<PersistSettings class_id=\"0\" tracking_level=\"0\" version=\"4\">"), std::string::npos);
    std::size_t fields = 0;
    for (auto at = text.find("\n\t<m_"); at != std::string::npos; at = text.find("\n\t<m_", at + 1))
        ++fields;
    EXPECT_EQ(fields, 11u);
}

// Each stored version holds the fields of the one before plus its own; the others stay empty.
TEST_F(PersistSettingsTest, EveryStoredVersionReadsItsOwnFields)
{
    const std::string full = Golden("settings_v4_full.xml");
    const std::string v4Tag = "<PersistSettings class_id=\"0\" tracking_level=\"0\" version=\"4\">";
    auto atVersion = [&](int version, std::vector<std::string> absent) {
        std::string text =
            Replace(full, v4Tag, Replace(v4Tag, "version=\"4\"", "version=\"" + std::to_string(version) + "\""));
        for (const auto& name : absent)
            text = EraseField(text, name);
        return text;
    };
    const std::vector<std::string> v4Only = {"m_mainViewHdrCols", "m_mainViewHdrColOrdering", "m_mainViewHdrColWidths"};
    auto plus = [](std::vector<std::string> a, std::vector<std::string> b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<std::string> v3Absent = v4Only;
    const std::vector<std::string> v2Absent = plus(v3Absent, {"m_recentDownloadFolders"});
    const std::vector<std::string> v1Absent = plus(v2Absent, {"m_ftViewColWidths"});
    const std::vector<std::string> v0Absent = plus(v1Absent, {"m_recentCopyMoveFolders"});

    for (int version = 0; version <= 4; ++version) {
        SCOPED_TRACE(version);
        const std::vector<std::string>* absent[] = {&v0Absent, &v1Absent, &v2Absent, &v3Absent, nullptr};
        const std::string text = atVersion(version, absent[version] ? *absent[version] : std::vector<std::string>{});
        PersistSettings s;
        s.Restore(m_root.Write("v.xml", text).c_str());

        PersistSettings expected = FullRecord();
        if (version < 1)
            expected.m_recentCopyMoveFolders.clear();
        if (version < 2)
            expected.m_ftViewColWidths.clear();
        if (version < 3)
            expected.m_recentDownloadFolders.clear();
        if (version < 4) {
            expected.m_mainViewHdrCols.clear();
            expected.m_mainViewHdrColOrdering.clear();
            expected.m_mainViewHdrColWidths.clear();
        }
        EXPECT_TRUE(s == expected);
        EXPECT_EQ(s.m_frameWinPos, expected.m_frameWinPos);
        EXPECT_EQ(s.m_recentCopyMoveFolders.size(), expected.m_recentCopyMoveFolders.size());
    }
}

struct BrokenCase {
    const char* what;
    std::string text;
    // The record expected after reading into OldRecord(), before its rectangle is emptied.
    std::function<void(PersistSettings& expected, const PersistSettings& full)> read;
};

// A read that fails keeps what it read before the fault, keeps the older values of the
// fields after it, and always empties the rectangle.
TEST_F(PersistSettingsTest, BrokenFileEmptiesTheRectangle)
{
    const std::string good = Golden("settings_v4_full.xml");
    auto headFields = [](PersistSettings& e, const PersistSettings& f) {
        e.m_recentSites = f.m_recentSites;
        e.m_recentCopyMoveFolders = f.m_recentCopyMoveFolders;
    };
    const std::string dlCut = "\t\t<item>/home/user/Documents/Quarrow Downloads/</item>\n\t\t<item>/home/us";
    const BrokenCase cases[] = {
        {"rectangle value not a number", Replace(good, "<m_frameWinPos.top>-8<", "<m_frameWinPos.top>top<"),
         headFields},
        {"end tag misspelt in a list", Replace(good, "<item>240</item>", "<item>240</itme>"),
         [&](PersistSettings& e, const PersistSettings& f) {
             headFields(e, f);
             e.m_ftViewColWidths = {120};
         }},
        {"file cut inside a list", good.substr(0, good.find(dlCut) + dlCut.size()),
         [&](PersistSettings& e, const PersistSettings& f) {
             headFields(e, f);
             e.m_ftViewColWidths = f.m_ftViewColWidths;
             e.m_recentDownloadFolders = {f.m_recentDownloadFolders.front()};
         }},
        {"field missing", EraseField(good, "m_mainViewHdrCols"),
         [&](PersistSettings& e, const PersistSettings& f) {
             headFields(e, f);
             e.m_ftViewColWidths = f.m_ftViewColWidths;
             e.m_recentDownloadFolders = f.m_recentDownloadFolders;
         }},
        {"count above the items",
         Replace(good, "<count>2</count>\n\t\t<item>/home/user/Pictures/",
                 "<count>3</count>\n\t\t<item>/home/user/Pictures/"),
         headFields},
        {"last element cut", good.substr(0, good.find("2147483647") + 4),
         [&](PersistSettings& e, const PersistSettings& f) {
             e = f;
             e.m_mainViewHdrColWidths.pop_back();
         }},
        {"wrong signature", Replace(good, "serialization::archive", "serialization::other"), nullptr},
        {"another record", Golden("options_default.xml"), nullptr},
        {"newer version", Replace(good, "tracking_level=\"0\" version=\"4\"", "tracking_level=\"0\" version=\"5\""),
         nullptr},
        {"no version", Replace(good, "tracking_level=\"0\" version=\"4\"", "tracking_level=\"0\""), nullptr},
        {"empty file", "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        PersistSettings s = OldRecord();
        s.Restore(m_root.Write("broken.xml", c.text).c_str());
        PersistSettings expected = OldRecord();
        if (c.read)
            c.read(expected, FullRecord());
        expected.m_frameWinPos.SetEmpty();
        EXPECT_EQ(s.m_frameWinPos, PersistSettings::Rect{});
        EXPECT_TRUE(s.m_frameWinPos.IsEmpty());
        EXPECT_EQ(s.m_recentSites, expected.m_recentSites);
        EXPECT_EQ(s.m_recentCopyMoveFolders, expected.m_recentCopyMoveFolders);
        EXPECT_EQ(s.m_ftViewColWidths, expected.m_ftViewColWidths);
        EXPECT_EQ(s.m_recentDownloadFolders, expected.m_recentDownloadFolders);
        EXPECT_EQ(s.m_mainViewHdrCols, expected.m_mainViewHdrCols);
        EXPECT_EQ(s.m_mainViewHdrColWidths, expected.m_mainViewHdrColWidths);
        EXPECT_TRUE(s == expected);
    }
}

TEST_F(PersistSettingsTest, MissingFileEmptiesOnlyTheRectangle)
{
    for (const char* path : {"", "/nonexistent/QR_Settings.xml"}) {
        PersistSettings s = OldRecord();
        s.Restore(path);
        PersistSettings expected = OldRecord();
        expected.m_frameWinPos.SetEmpty();
        EXPECT_TRUE(s == expected) << path;
    }
    PersistSettings s = OldRecord();
    s.Restore(nullptr); // no file in the application folder yet
    EXPECT_TRUE(s.m_frameWinPos.IsEmpty());
    EXPECT_EQ(s.m_recentSites, OldRecord().m_recentSites);
}

TEST_F(PersistSettingsTest, AnotherInstanceHoldingTheMutex)
{
    const fs::path path = m_root.Write("held.xml", Golden("settings_v2.xml"));
    HELPERS::NamedMutex other(PersistSettings::kMutexName);
    ASSERT_TRUE(other.Lock(0));

    PersistSettings s = OldRecord();
    s.Restore(path.c_str()); // waits 3 s, then gives up without reading
    PersistSettings expected = OldRecord();
    expected.m_frameWinPos.SetEmpty();
    EXPECT_TRUE(s == expected);

    try {
        FullRecord().Save(path.c_str());
        ADD_FAILURE() << "no exception";
    } catch (const HELPERS::WException& e) {
        EXPECT_STREQ(e.what(), "Could not persist settings");
    }
    EXPECT_EQ(qtest::ReadFile(path), Golden("settings_v2.xml"));

    // The options file's mutex is a different one.
    other.Unlock();
    HELPERS::NamedMutex options("QR_CO_MUTEX_4883");
    ASSERT_TRUE(options.Lock(0));
    FullRecord().Save(path.c_str());
    EXPECT_EQ(qtest::ReadFile(path), Golden("settings_v4_full.xml"));
}

TEST_F(PersistSettingsTest, SaveReportsFoldersThatCannotBeCreated)
{
    {
        qtest::TempFolder root;
        qtest::ScopedEnv data("XDG_DATA_HOME", (root.Path() / "file/data").string());
        root.Write("file", "x");
        try {
            FullRecord().Save(nullptr);
            ADD_FAILURE() << "no exception";
        } catch (const HELPERS::WException& e) {
            EXPECT_STREQ(e.what(), "Could not create folder to save persist settings!");
        }
    }
    {
        qtest::TempFolder root;
        qtest::ScopedEnv data("XDG_DATA_HOME", root.Path().string());
        root.Write("Orlendi", "x");
        try {
            FullRecord().Save(nullptr);
            ADD_FAILURE() << "no exception";
        } catch (const HELPERS::WException& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Could not create folder to save persist settings: " + root.Dir() + "Orlendi/Quarrow/");
        }
    }
}

TEST_F(PersistSettingsTest, UnwritableFileIsLeftAlone)
{
    fs::create_directories(m_root.Path() / "QR_Settings.xml");
    EXPECT_NO_THROW(FullRecord().Save((m_root.Path() / "QR_Settings.xml").c_str()));
    EXPECT_TRUE(fs::is_directory(m_root.Path() / "QR_Settings.xml"));
    EXPECT_EQ(FilesIn(m_root.Path()), std::vector<std::string>{"QR_Settings.xml"});
}

struct RecentFolderCase {
    const char* what;
    std::deque<std::string> before;
    std::string folder;
    std::deque<std::string> after;
};

std::deque<std::string> Numbered(int from, int to)
{
    std::deque<std::string> list;
    for (int i = from; i <= to; ++i)
        list.push_back("/f" + std::to_string(i) + "/");
    return list;
}

template <class... Lists>
std::deque<std::string> Join(const Lists&... lists)
{
    std::deque<std::string> all;
    (all.insert(all.end(), lists.begin(), lists.end()), ...);
    return all;
}

TEST(AddRecentDownloadFolderTest, KeepsNewestFirstWithoutDuplicates)
{
    const RecentFolderCase cases[] = {
        {"empty list", {}, "/a/", {"/a/"}},
        {"new folder", {"/a/", "/b/"}, "/c/", {"/c/", "/a/", "/b/"}},
        {"already first", {"/a/", "/b/"}, "/a/", {"/a/", "/b/"}},
        {"first apart from case", {"/Home/X/", "/b/"}, "/home/x/", {"/Home/X/", "/b/"}},
        {"later apart from case", {"/a/", "/Home/X/", "/b/"}, "/home/x/", {"/home/x/", "/a/", "/b/"}},
        {"same text later", {"/a/", "/b/", "/c/"}, "/c/", {"/c/", "/a/", "/b/"}},
        {"other scripts are not folded", {"/home/Ä/"}, "/home/ä/", {"/home/ä/", "/home/Ä/"}},
        {"prefix is no match", {"/a/b/"}, "/a/", {"/a/", "/a/b/"}},
        {"fourteen grow to fifteen", Numbered(1, 14), "/new/", Join(std::deque<std::string>{"/new/"}, Numbered(1, 14))},
        {"fifteen drop the oldest", Numbered(1, 15), "/new/", Join(std::deque<std::string>{"/new/"}, Numbered(1, 14))},
        {"more than fifteen from a file", Numbered(1, 18), "/new/",
         Join(std::deque<std::string>{"/new/"}, Numbered(1, 14))},
        {"oldest of fifteen moves up", Numbered(1, 15), "/F15/",
         Join(std::deque<std::string>{"/F15/"}, Numbered(1, 14))},
    };
    for (const auto& c : cases) {
        PersistSettings s;
        s.m_recentDownloadFolders = c.before;
        AddRecentDownloadFolder(c.folder, s);
        EXPECT_EQ(s.m_recentDownloadFolders, c.after) << c.what;
    }
}

} // namespace
