#include "config/ConfigOptions.h"
#include "helpers/NamedMutex.h"
#include "helpers/WException.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kGoldenDir = std::string(QUARROW_TEST_DATA_DIR) + "/config/golden/";

std::string Golden(const std::string& name) { return qtest::ReadFile(kGoldenDir + name); }

struct ExpectedType {
    std::string ext, desc;
    bool checked;
};

// The default list, written out here rather than taken from the code under test.
std::vector<ExpectedType> DefaultTypes()
{
    std::vector<ExpectedType> types;
    for (const char* e : {"jpg", "jpe", "jpeg", "gif", "png", "bmp", "dib", "rle", "tif", "tiff", "psd", "pcx"})
        types.push_back({std::string("*.") + e, "Image File", true});
    for (const char* e : {"mp3", "ram", "rm", "ogg", "wav", "wma"})
        types.push_back({std::string("*.") + e, "Audio File", true});
    for (const char* e : {"mpe", "mpg", "mpeg", "mp4", "avi", "mov", "asf", "wmv"})
        types.push_back({std::string("*.") + e, "Video File", true});
    return types;
}

ConfigOptions MakeOptions(const std::string& folder, std::int32_t minSize, std::int32_t minUnits, std::int32_t maxSize,
                          std::int32_t maxUnits, const std::vector<ExpectedType>& types, FileSavePolicy policy,
                          std::int32_t concurrent, const std::string& agent, std::int32_t resp, std::int32_t refresh)
{
    ConfigOptions o;
    o.m_bModified = true;
    o.m_downloadFolder = folder;
    o.m_nMinSize = minSize;
    o.m_minSizeUnits = minUnits;
    o.m_nMaxSize = maxSize;
    o.m_maxSizeUnits = maxUnits;
    for (const auto& t : types)
        o.m_fileTypes.push_back(std::make_shared<CFileType>(t.ext, t.desc, t.checked));
    o.m_fileSavePolicy = policy;
    o.m_nMaxConcurrentDownloads = concurrent;
    o.m_userAgent = agent;
    o.m_respFactor = resp;
    o.m_dvRefreshRate = refresh;
    return o;
}

// The records the golden files hold.
ConfigOptions DefaultRecord()
{
    return MakeOptions("/home/user/Documents/Quarrow Downloads/", 1, 1, 350, 2, DefaultTypes(), FSP_RENAME, 3,
                       "Quarrow/1.2", 1, 1);
}

ConfigOptions EscapesRecord()
{
    return MakeOptions("/home/user/R&D <new>/", 0, 0, 2000000000, 3,
                       {{"*.tom", "Tom & Jerry", true}, {"*.lt", "a<b", false}, {"*.none", "", true}}, FSP_SKIP, 6,
                       "Mozilla/5.0 (X11; \"Q\" 'R' <S> & T)", 2, 0);
}

ConfigOptions EmptyTypesRecord()
{
    return MakeOptions("/srv/downloads/", -5, 0, 350, 2, {}, FSP_OVERWRITE, 1, "", 0, 2);
}

// Every persisted field; m_bModified is not stored in the file.
void ExpectSameOptions(const ConfigOptions& actual, const ConfigOptions& expected)
{
    EXPECT_EQ(actual.m_downloadFolder.GetPath(), expected.m_downloadFolder.GetPath());
    EXPECT_EQ(actual.m_nMinSize, expected.m_nMinSize);
    EXPECT_EQ(actual.m_minSizeUnits, expected.m_minSizeUnits);
    EXPECT_EQ(actual.m_nMaxSize, expected.m_nMaxSize);
    EXPECT_EQ(actual.m_maxSizeUnits, expected.m_maxSizeUnits);
    ASSERT_EQ(actual.m_fileTypes.size(), expected.m_fileTypes.size());
    for (std::size_t i = 0; i < actual.m_fileTypes.size(); ++i) {
        ASSERT_TRUE(actual.m_fileTypes[i]) << i;
        EXPECT_EQ(*actual.m_fileTypes[i], *expected.m_fileTypes[i]) << "type " << i;
    }
    EXPECT_EQ(actual.m_fileSavePolicy, expected.m_fileSavePolicy);
    EXPECT_EQ(actual.m_nMaxConcurrentDownloads, expected.m_nMaxConcurrentDownloads);
    EXPECT_EQ(actual.m_userAgent, expected.m_userAgent);
    EXPECT_EQ(actual.m_respFactor, expected.m_respFactor);
    EXPECT_EQ(actual.m_dvRefreshRate, expected.m_dvRefreshRate);
}

using qtest::FilesIn;

// Each test gets its own home, data and config folders.
class ConfigOptionsTest : public ::testing::Test {
protected:
    qtest::TempFolder m_root;
    qtest::ScopedEnv m_home{"HOME", (m_root.Path() / "home").string()};
    qtest::ScopedEnv m_data{"XDG_DATA_HOME", (m_root.Path() / "data").string()};
    qtest::ScopedEnv m_config{"XDG_CONFIG_HOME", (m_root.Path() / "config").string()};

    fs::path DataHome() const { return m_root.Path() / "data"; }
    std::string DocumentsDownloads() const { return (m_root.Path() / "home/Documents/Quarrow Downloads/").string(); }

    void ExpectDefaults(const ConfigOptions& o) const
    {
        ConfigOptions expected = MakeOptions(DocumentsDownloads(), 1, SU_KB, 350, SU_MB, DefaultTypes(), FSP_RENAME, 3,
                                             "Quarrow/1.2", LEVEL_MED, LEVEL_MED);
        ExpectSameOptions(o, expected);
    }
};

TEST_F(ConfigOptionsTest, FirstStartGivesTheDefaults)
{
    ConfigOptions o;
    o.Restore(nullptr);
    ExpectDefaults(o);
    EXPECT_FALSE(o.m_bModified);
    EXPECT_TRUE(fs::is_directory(DataHome() / "Orlendi"));
    EXPECT_FALSE(fs::exists(DataHome() / "Orlendi/Quarrow")); // created only when saving
}

TEST_F(ConfigOptionsTest, FoldersFollowTheXdgLocations)
{
    fs::create_directories(m_root.Path() / "config");
    std::ofstream(m_root.Path() / "config/user-dirs.dirs") << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";

    HELPERS::WinDirectory app, downloads;
    ASSERT_TRUE(GetAppDataFolder(app));
    EXPECT_EQ(app.GetPath(), (DataHome() / "Orlendi/Quarrow/").string());
    ASSERT_TRUE(GetDefaultDownloadFolder(downloads));
    EXPECT_EQ(downloads.GetPath(), (m_root.Path() / "home/Dokumente/Quarrow Downloads/").string());
    EXPECT_FALSE(fs::exists(m_root.Path() / "home/Dokumente/Quarrow Downloads"));
}

struct GoldenCase {
    const char* file;
    std::function<ConfigOptions()> record;
};

TEST_F(ConfigOptionsTest, WritesTheGoldenFilesAndReadsThemBack)
{
    const GoldenCase cases[] = {
        {"options_default.xml", DefaultRecord},
        {"options_escapes.xml", EscapesRecord},
        {"options_empty_types.xml", EmptyTypesRecord},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const ConfigOptions record = c.record();
        const fs::path path = m_root.Path() / c.file;
        record.Save(path.c_str());
        EXPECT_EQ(qtest::ReadFile(path), Golden(c.file));

        // Read into a record that already holds other values: all of them are replaced.
        ConfigOptions back = c.file == std::string("options_default.xml") ? EscapesRecord() : DefaultRecord();
        back.m_bModified = false;
        back.Restore((kGoldenDir + c.file).c_str());
        ExpectSameOptions(back, record);
        EXPECT_FALSE(back.m_bModified);
    }
}

TEST_F(ConfigOptionsTest, DefaultLocationRoundTrip)
{
    ConfigOptions saved = EscapesRecord();
    saved.Save(nullptr);
    const fs::path file = DataHome() / "Orlendi/Quarrow/QuarrowOptions.xml";
    EXPECT_EQ(qtest::ReadFile(file), Golden("options_escapes.xml"));
    EXPECT_EQ(FilesIn(file.parent_path()), std::vector<std::string>{"QuarrowOptions.xml"});

    ConfigOptions back;
    back.Restore(nullptr);
    ExpectSameOptions(back, saved);
}

TEST_F(ConfigOptionsTest, SaveWithoutChangesWritesNothing)
{
    ConfigOptions o = EscapesRecord();
    o.m_bModified = false;
    o.Save(nullptr);
    const fs::path explicitPath = m_root.Path() / "o.xml";
    o.Save(explicitPath.c_str());
    EXPECT_FALSE(fs::exists(DataHome()));
    EXPECT_FALSE(fs::exists(explicitPath));
}

// Every damaged or foreign file gives exactly the defaults: no partly read list in front
// of the default types, none of the values read before the damage.
TEST_F(ConfigOptionsTest, DamagedFileGivesTheDefaults)
{
    const std::string good = Golden("options_escapes.xml");
    auto replace = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        const auto at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        return text.replace(at, from.size(), to);
    };
    std::vector<std::pair<std::string, std::string>> damaged = {
        {"empty file", ""},
        {"not xml", "QuarrowOptions"},
        {"wrong signature", replace("serialization::archive", "serialization::archivf")},
        {"no archive element", replace("boost_serialization signature", "boost_serialisation signature")},
        {"settings file", Golden("settings_v4_full.xml")},
        {"missing element", replace("\t<m_nMaxSize>2000000000</m_nMaxSize>\n", "")},
        {"elements swapped", replace("<m_nMinSize>0</m_nMinSize>\n\t<m_minSizeUnits>0</m_minSizeUnits>",
                                     "<m_minSizeUnits>0</m_minSizeUnits>\n\t<m_nMinSize>0</m_nMinSize>")},
        {"number with text", replace("<m_nMaxConcurrentDownloads>6<", "<m_nMaxConcurrentDownloads>6x<")},
        {"number too large", replace("<m_nMaxSize>2000000000<", "<m_nMaxSize>4294967296<")},
        {"bool out of range", replace("<m_bChecked>0<", "<m_bChecked>2<")},
        {"more types counted than present", replace("<count>3</count>", "<count>4</count>")},
        {"negative count", replace("<count>3</count>", "<count>-1</count>")},
        {"mismatched end tag", replace("</m_desc>", "</m_dsc>")},
        {"element inside a value", replace("<m_userAgent>", "<m_userAgent><b/>")},
    };
    for (std::size_t cut = 0; cut + 1 < good.size(); ++cut)
        damaged.emplace_back("cut at " + std::to_string(cut), good.substr(0, cut));

    for (const auto& [what, text] : damaged) {
        SCOPED_TRACE(what);
        const fs::path path = m_root.Write("damaged.xml", text);
        ConfigOptions o = EmptyTypesRecord();
        o.m_fileTypes.push_back(std::make_shared<CFileType>("*.old", "Old", false));
        o.Restore(path.c_str());
        ExpectDefaults(o);
        EXPECT_TRUE(o.m_bModified); // Restore leaves the flag alone
        if (::testing::Test::HasFailure())
            return;
    }
}

// A stored user agent goes onto the wire as a header line: one holding a control
// character could end that line and add headers, so it is replaced by the default.
TEST_F(ConfigOptionsTest, StoredUserAgentWithControlCharactersGivesTheDefaultAgent)
{
    const std::string good = Golden("options_escapes.xml");
    const std::string stored =
        "<m_userAgent>Mozilla/5.0 (X11; &quot;Q&quot; &apos;R&apos; &lt;S&gt; &amp; T)</m_userAgent>";
    ASSERT_NE(good.find(stored), std::string::npos);
    const std::pair<std::string, std::string> cases[] = {
        {"x\r\nX-Injected: 1", "Quarrow/1.2"},
        {"x&#13;&#10;X-Injected: 1", "Quarrow/1.2"},
        {"line\nfeed", "Quarrow/1.2"},
        {"tab\tinside", "Quarrow/1.2"},
        {std::string("del\x7f"), "Quarrow/1.2"},
        {"escape\x1b[0m", "Quarrow/1.2"},
        {"Mozilla/5.0 (X11; Linux x86_64) Übersetzt/1 ~", "Mozilla/5.0 (X11; Linux x86_64) Übersetzt/1 ~"},
        {"", ""},
    };
    for (const auto& [agent, expected] : cases) {
        std::string text = good;
        text.replace(text.find(stored), stored.size(), "<m_userAgent>" + agent + "</m_userAgent>");
        const fs::path path = m_root.Write("agent.xml", text);
        ConfigOptions o;
        o.Restore(path.c_str());
        EXPECT_EQ(o.m_userAgent, expected) << agent;
        // Only the agent falls back: the rest of the file is kept.
        EXPECT_EQ(o.m_fileTypes.size(), 3u) << agent;
        EXPECT_EQ(o.m_nMaxConcurrentDownloads, 6) << agent;
    }
}

TEST_F(ConfigOptionsTest, MissingFileOrFolderGivesTheDefaults)
{
    for (const fs::path& path : {m_root.Path() / "none.xml", m_root.Path() / "no/such/folder.xml", m_root.Path()}) {
        SCOPED_TRACE(path.string());
        ConfigOptions o;
        o.Restore(path.c_str());
        ExpectDefaults(o);
    }
}

// Blanks, line ends and attribute order beyond the written layout are accepted.
TEST_F(ConfigOptionsTest, ReaderToleratesLayoutVariations)
{
    const std::string good = Golden("options_escapes.xml");
    auto edit = [&](std::function<void(std::string&)> f) {
        std::string text = good;
        f(text);
        return text;
    };
    auto replaceAll = [](std::string& s, const std::string& from, const std::string& to) {
        for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
            s.replace(at, from.size(), to);
    };
    const std::pair<const char*, std::string> variants[] = {
        {"CRLF line ends", edit([&](std::string& s) { replaceAll(s, "\n", "\r\n"); })},
        {"spaces for tabs", edit([&](std::string& s) { replaceAll(s, "\t", "  "); })},
        {"no declaration or doctype", edit([](std::string& s) { s.erase(0, s.find("<boost_serialization")); })},
        {"attributes reordered", edit([&](std::string& s) {
             replaceAll(s, "<boost_serialization signature=\"serialization::archive\" version=\"3\">",
                        "<boost_serialization version=\"3\" signature=\"serialization::archive\">");
         })},
        {"blanks around numbers",
         edit([&](std::string& s) { replaceAll(s, "<m_nMaxSize>2000000000<", "<m_nMaxSize> 2000000000\n<"); })},
    };
    for (const auto& [what, text] : variants) {
        SCOPED_TRACE(what);
        const fs::path path = m_root.Write("variant.xml", text);
        ConfigOptions o;
        o.Restore(path.c_str());
        ExpectSameOptions(o, EscapesRecord());
    }
}

// A list that holds one type twice refers to the first copy; reading rebuilds the sharing.
TEST_F(ConfigOptionsTest, SharedTypeReferenceReadsAsTheSameObject)
{
    std::string text = Golden("options_escapes.xml");
    const std::string second = "<px class_id_reference=\"5\" object_id=\"_2\">\n"
                               "\t\t\t\t<m_ext>*.lt</m_ext>\n"
                               "\t\t\t\t<m_desc>a&lt;b</m_desc>\n"
                               "\t\t\t\t<m_bChecked>0</m_bChecked>\n"
                               "\t\t\t</px>";
    const auto at = text.find(second);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, second.size(), "<px class_id_reference=\"5\" object_id_reference=\"_0\"></px>");
    ConfigOptions o;
    o.Restore(m_root.Write("shared.xml", text).c_str());
    ASSERT_EQ(o.m_fileTypes.size(), 3u);
    EXPECT_EQ(o.m_fileTypes[1], o.m_fileTypes[0]);
    EXPECT_EQ(o.m_fileTypes[0]->m_desc, "Tom & Jerry");
    EXPECT_EQ(o.m_fileTypes[2]->m_ext, "*.none");
}

struct FolderErrorCase {
    const char* what;
    std::function<void(const fs::path& root)> block;
    std::function<std::string(const fs::path& root)> message;
};

TEST_F(ConfigOptionsTest, SaveReportsFoldersThatCannotBeCreated)
{
    const FolderErrorCase cases[] = {
        {"data home below a file", [](const fs::path& root) { std::ofstream(root / "data") << "x"; },
         [](const fs::path&) { return std::string("Could not create folder to save config options!"); }},
        {"Orlendi is a file",
         [](const fs::path& root) {
             fs::create_directories(root / "data");
             std::ofstream(root / "data/Orlendi") << "x";
         },
         [](const fs::path& root) {
             return "Could not create folder to save config options: " + (root / "data/Orlendi/Quarrow/").string();
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        qtest::TempFolder root;
        qtest::ScopedEnv data("XDG_DATA_HOME", (root.Path() / "data").string());
        c.block(root.Path());
        ConfigOptions o = EscapesRecord();
        try {
            o.Save(nullptr);
            ADD_FAILURE() << "no exception";
        } catch (const HELPERS::WException& e) {
            EXPECT_EQ(std::string(e.what()), c.message(root.Path()));
        }
    }
}

TEST_F(ConfigOptionsTest, RestoreThrowsWhenTheDefaultsCannotBeSetEither)
{
    // The documents folder lies below a file, so it can be neither found nor created.
    fs::create_directories(m_root.Path() / "config");
    m_root.Write("blocker", "x");
    std::ofstream(m_root.Path() / "config/user-dirs.dirs")
        << "XDG_DOCUMENTS_DIR=\"" << (m_root.Path() / "blocker/Documents").string() << "\"\n";

    ConfigOptions o;
    try {
        o.Restore(nullptr);
        ADD_FAILURE() << "no exception";
    } catch (const HELPERS::WException& e) {
        EXPECT_STREQ(e.what(), "Could not restore config options and could not set defaults either");
    }
    // The other defaults are in place all the same.
    EXPECT_EQ(o.m_fileTypes.size(), 26u);
    EXPECT_EQ(o.m_userAgent, "Quarrow/1.2");
    EXPECT_TRUE(o.m_downloadFolder.empty());

    // A readable file needs no defaults.
    ConfigOptions fromFile;
    EXPECT_NO_THROW(fromFile.Restore((kGoldenDir + "options_escapes.xml").c_str()));
    ExpectSameOptions(fromFile, EscapesRecord());
}

TEST_F(ConfigOptionsTest, AnotherInstanceHoldingTheMutex)
{
    const fs::path path = m_root.Write("held.xml", Golden("options_escapes.xml"));
    HELPERS::NamedMutex other(ConfigOptions::kMutexName);
    ASSERT_TRUE(other.Lock(0));

    ConfigOptions o;
    o.Restore(path.c_str()); // waits 3 s, then takes the defaults without reading
    ExpectDefaults(o);

    ConfigOptions changed = DefaultRecord();
    try {
        changed.Save(path.c_str());
        ADD_FAILURE() << "no exception";
    } catch (const HELPERS::WException& e) {
        EXPECT_STREQ(e.what(), "Could not save config options");
    }
    EXPECT_EQ(qtest::ReadFile(path), Golden("options_escapes.xml"));

    other.Unlock();
    changed.Save(path.c_str());
    EXPECT_EQ(qtest::ReadFile(path), Golden("options_default.xml"));
}

// A save that cannot complete leaves the old file exactly as it was and no stray files.
TEST_F(ConfigOptionsTest, FailedSaveChangesNothingOnDisk)
{
    const std::string old = Golden("options_empty_types.xml");
    const fs::path path = m_root.Write("QuarrowOptions.xml", old);
    ConfigOptions big = DefaultRecord();

    // The disk fills up part-way (a file size limit in a child process stands in for it).
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 1000;
        setrlimit(RLIMIT_FSIZE, &limit);
        try {
            big.Save(path.c_str());
        } catch (...) {
            _exit(2);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "Save threw";
    EXPECT_EQ(qtest::ReadFile(path), old);
    EXPECT_EQ(FilesIn(m_root.Path()), std::vector<std::string>{"QuarrowOptions.xml"});

    // The target is a folder: the rename fails.
    fs::create_directories(m_root.Path() / "sub/QuarrowOptions.xml");
    EXPECT_NO_THROW(big.Save((m_root.Path() / "sub/QuarrowOptions.xml").c_str()));
    EXPECT_TRUE(fs::is_directory(m_root.Path() / "sub/QuarrowOptions.xml"));
    EXPECT_EQ(FilesIn(m_root.Path() / "sub"), std::vector<std::string>{"QuarrowOptions.xml"});

    // The folder does not exist.
    EXPECT_NO_THROW(big.Save((m_root.Path() / "none/QuarrowOptions.xml").c_str()));
    EXPECT_FALSE(fs::exists(m_root.Path() / "none"));

    // And a save that works replaces the file without leaving anything beside it.
    big.Save(path.c_str());
    EXPECT_EQ(qtest::ReadFile(path), Golden("options_default.xml"));
    EXPECT_EQ(FilesIn(m_root.Path()), (std::vector<std::string>{"QuarrowOptions.xml", "sub"}));
}

TEST_F(ConfigOptionsTest, CopySharesTheFileTypes)
{
    ConfigOptions source = EscapesRecord();
    ConfigOptions copy = source;
    EXPECT_TRUE(copy.m_bModified);
    ExpectSameOptions(copy, source);
    ASSERT_EQ(copy.m_fileTypes.size(), 3u);
    EXPECT_EQ(copy.m_fileTypes[1], source.m_fileTypes[1]);
    copy.m_fileTypes[1]->m_bChecked = true;
    EXPECT_TRUE(source.m_fileTypes[1]->m_bChecked);
    copy.m_userAgent = "other";
    EXPECT_EQ(source.m_userAgent, "Mozilla/5.0 (X11; \"Q\" 'R' <S> & T)");
}

TEST(KnownFileTypesTest, DescriptionsByExactPattern)
{
    EXPECT_EQ(KnownFileTypes::Table().size(), 35u);
    const std::pair<const char*, const char*> cases[] = {
        {"*.jpg", "Image File"},
        {"*.pcx", "Image File"},
        {"*.rm", "Audio File"},
        {"*.wma", "Audio File"},
        {"*.mpe", "Video File"},
        {"*.wmv", "Video File"},
        {"*.zip", "Compressed File"},
        {"*.gzip", "Compressed File"},
        {"*.jar", "Compressed File"},
        {"*.exe", "Executable File"},
        {"*.pif", "Executable File"},
        {"*.JPG", "N/A"},
        {"*.gz", "N/A"},
        {"jpg", "N/A"},
        {"", "N/A"},
    };
    for (const auto& [pattern, desc] : cases)
        EXPECT_EQ(KnownFileTypes::GetDescription(pattern), desc) << pattern;
    // Every default type is known with its own description.
    for (const auto& t : DefaultTypes())
        EXPECT_EQ(KnownFileTypes::GetDescription(t.ext), t.desc) << t.ext;
}

TEST(SizeUnitsTest, FactorsNamesAndLevels)
{
    const std::tuple<std::int32_t, std::int64_t, std::string> units[] = {
        {0, 1, "byte(s)"}, {1, 1024, "KB"}, {2, 1048576, "MB"}, {3, 1073741824, "GB"}, {4, 0, ""}, {-1, 0, ""},
    };
    for (const auto& [u, factor, name] : units) {
        EXPECT_EQ(SizeUnitFactor(u), factor) << u;
        EXPECT_EQ(SizeUnitName(u), name) << u;
    }
    EXPECT_EQ(SizeInBytes(350, SU_GB), 375809638400LL); // beyond 32 bits
    EXPECT_EQ(SizeInBytes(350, SU_MB), 367001600);
    EXPECT_EQ(SizeInBytes(7, 9), 0);

    EXPECT_EQ(RefreshPeriodMs(LEVEL_LOW), 1050u);
    EXPECT_EQ(RefreshPeriodMs(LEVEL_MED), 700u);
    EXPECT_EQ(RefreshPeriodMs(LEVEL_HIGH), 350u);
    EXPECT_EQ(RefreshPeriodMs(17), 350u);
    EXPECT_STREQ(LevelName(0), "LOW");
    EXPECT_STREQ(LevelName(1), "MED");
    EXPECT_STREQ(LevelName(2), "HIGH");
}

} // namespace
