#include "helpers/FileText.h"
#include "helpers/PathHelpers.h"
#include "helpers/Registry.h"
#include "helpers/ShellCommand.h"
#include "helpers/UserFolders.h"
#include "helpers/WException.h"
#include "helpers/WinDirectory.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace HELPERS;
namespace fs = std::filesystem;

namespace {

template <typename F>
std::string ThrownText(F&& f)
{
    try {
        f();
    } catch (const WException& e) {
        return e.what();
    }
    return "<nothing thrown>";
}

// ---- paths ----------------------------------------------------------------------------

TEST(PathHelpers, JoinsFolderAndFileWithOneSeparator)
{
    struct Case {
        const char* file;
        const char* folder;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{
             {"x.jpg", "/d", "/d/x.jpg"}, {"x.jpg", "/d/", "/d/x.jpg"}, {"", "/d", "/d/"}, {"x.jpg", "/", "/x.jpg"}}) {
        EXPECT_EQ(GetFullFilePath(c.file, c.folder), c.expected) << c.file << " in " << c.folder;
    }
    EXPECT_EQ(ThrownText([] { GetFullFilePath("x.jpg", ""); }), "Invalid foldername passed into GetFullFilePath");
    EXPECT_EQ(ThrownText([] { FileExists("x.jpg", ""); }), "Invalid foldername passed into GetFullFilePath");
}

TEST(PathHelpers, DirectoryPathAlwaysEndsInSeparator)
{
    struct Case {
        const char* rel;
        const char* prepend;
        const char* expected;
    };
    for (const Case& c : std::vector<Case>{{"sub", "/d", "/d/sub/"},
                                           {"sub", "/d/", "/d/sub/"},
                                           {"sub/", "/d", "/d/sub/"},
                                           {"", "/d", "/d//"},
                                           {"", "/d/", "/d//"}}) {
        EXPECT_EQ(GetFullDirectoryPath(c.rel, c.prepend).GetPath(), c.expected)
            << '"' << c.rel << "\" under " << c.prepend;
    }
    EXPECT_EQ(ThrownText([] { GetFullDirectoryPath("sub", ""); }),
              "Invalid fullPrependPath passed into GetFullDirectoryPath");
}

TEST(PathHelpers, SplitsNameAtLastDot)
{
    struct Case {
        const char* name;
        const char* base;
        const char* ext;
    };
    for (const Case& c : std::vector<Case>{{"a.jpg", "a", ".jpg"},
                                           {"a.tar.gz", "a.tar", ".gz"},
                                           {".profile", ".profile", ""},
                                           {"name.", "name.", ""},
                                           {"README", "README", ""},
                                           {"..x", ".", ".x"},
                                           {"", "", ""}}) {
        std::string base = "junk", ext = "junk";
        SplitFileName(c.name, base, ext);
        EXPECT_EQ(base, c.base) << c.name;
        EXPECT_EQ(ext, c.ext) << c.name;
        EXPECT_EQ(GetFileExtension(c.name), c.ext) << c.name;
    }
}

// ---- unique names ---------------------------------------------------------------------

TEST(MakeUniqueFileName, TriesNameThenNumberedCandidatesInOrder)
{
    qtest::TempFolder dir;
    struct Case {
        std::vector<std::string> existing;
        std::string name;
        bool ok;
        std::string expected;
    };
    std::vector<Case> cases{
        {{}, "a.jpg", true, "a.jpg"},
        {{"a.jpg"}, "a.jpg", true, "a(0).jpg"},
        {{"a.jpg", "a(0).jpg"}, "a.jpg", true, "a(1).jpg"},
        {{"a.jpg", "a(1).jpg"}, "a.jpg", true, "a(0).jpg"},
        {{"README"}, "README", true, "README(0)"},
        {{"a.tar.gz"}, "a.tar.gz", true, "a.tar(0).gz"},
        {{}, "", false, ""},
    };
    for (const Case& c : cases) {
        for (const auto& f : fs::directory_iterator(dir.Path()))
            fs::remove(f.path());
        for (const auto& e : c.existing)
            dir.Write(e, "x");
        std::string name = c.name;
        EXPECT_EQ(MakeUniqueFileName(name, dir.Dir()), c.ok) << c.name;
        EXPECT_EQ(name, c.expected) << c.name;
    }
}

TEST(MakeUniqueFileName, GivesUpAfterHundredCandidates)
{
    qtest::TempFolder dir;
    dir.Write("a.jpg", "x");
    for (int i = 0; i <= 97; ++i)
        dir.Write("a(" + std::to_string(i) + ").jpg", "x");

    std::string name = "a.jpg";
    EXPECT_TRUE(MakeUniqueFileName(name, dir.Dir()));
    EXPECT_EQ(name, "a(98).jpg");

    dir.Write("a(98).jpg", "x");
    name = "a.jpg";
    EXPECT_FALSE(MakeUniqueFileName(name, dir.Dir()));
    // The last candidate is formed but never tested, even though it is free.
    EXPECT_EQ(name, "a(99).jpg");
    EXPECT_FALSE(dir.Has("a(99).jpg"));
}

TEST(FileExists, IsAnExactTestWithoutWildcards)
{
    qtest::TempFolder dir;
    dir.Write("a.jpg", "x");
    fs::create_symlink(dir.Path() / "missing-target", dir.Path() / "dangling");
    EXPECT_TRUE(FileExists("a.jpg", dir.Dir()));
    EXPECT_FALSE(FileExists("*.jpg", dir.Dir()));
    EXPECT_FALSE(FileExists("a?jpg", dir.Dir()));
    EXPECT_FALSE(FileExists("b.jpg", dir.Dir()));
    // A dangling link still occupies the name.
    EXPECT_TRUE(FileExists("dangling", dir.Dir()));
}

// ---- WinDirectory byte form -----------------------------------------------------------

class MemoryStream : public IByteStream {
public:
    std::vector<unsigned char> bytes;
    std::size_t pos = 0;
    std::size_t writeLimit = SIZE_MAX;

    bool Read(void* buffer, std::size_t count) override
    {
        if (bytes.size() - pos < count)
            return false;
        std::memcpy(buffer, bytes.data() + pos, count);
        pos += count;
        return true;
    }
    bool Write(const void* buffer, std::size_t count) override
    {
        if (bytes.size() + count > writeLimit)
            return false;
        const auto* p = static_cast<const unsigned char*>(buffer);
        bytes.insert(bytes.end(), p, p + count);
        return true;
    }
    void PutLength(std::uint32_t n) { Write(&n, sizeof n); }
};

TEST(WinDirectory, SavesLengthThenBytesAndLoadsThemBack)
{
    MemoryStream s;
    WinDirectory dir("/home/u/Quarrow Downloads/");
    ASSERT_TRUE(dir.Save(s));
    ASSERT_EQ(s.bytes.size(), 4 + dir.GetPath().size());
    std::uint32_t len = 0;
    std::memcpy(&len, s.bytes.data(), 4);
    EXPECT_EQ(len, dir.GetPath().size());
    EXPECT_EQ(std::string(s.bytes.begin() + 4, s.bytes.end()), dir.GetPath());

    WinDirectory back("/old/");
    ASSERT_TRUE(back.Load(s));
    EXPECT_EQ(back, dir);
}

TEST(WinDirectory, LoadRefusesTooLongOrShortInput)
{
    struct Case {
        const char* what;
        std::uint32_t announced;
        std::size_t supplied;
        bool ok;
        std::string expected;
    };
    const std::string old = "/old/";
    for (const Case& c : std::vector<Case>{
             {"empty", 0, 0, true, ""},
             {"at the limit", 260, 260, true, std::string(260, 'p')},
             {"one past the limit", 261, 261, false, old},
             {"truncated body", 10, 4, false, old},
         }) {
        MemoryStream s;
        s.PutLength(c.announced);
        s.bytes.insert(s.bytes.end(), c.supplied, 'p');
        WinDirectory dir(old);
        EXPECT_EQ(dir.Load(s), c.ok) << c.what;
        EXPECT_EQ(dir.GetPath(), c.expected) << c.what;
    }
    MemoryStream none;
    WinDirectory dir(old);
    EXPECT_FALSE(dir.Load(none));
    EXPECT_EQ(dir.GetPath(), old);
}

TEST(WinDirectory, SaveStopsAtFailedWrite)
{
    MemoryStream s;
    s.writeLimit = 6;
    EXPECT_FALSE(WinDirectory("/a/long/path/").Save(s));
    MemoryStream full;
    full.writeLimit = 2;
    EXPECT_FALSE(WinDirectory("/a/").Save(full));
    MemoryStream ok;
    ok.writeLimit = 4;
    EXPECT_TRUE(WinDirectory("").Save(ok));
}

// ---- shell execution ------------------------------------------------------------------

// Puts a fake xdg-open first on PATH that records its arguments and working folder and
// exits with the status held in a file.
class FakeXdgOpen : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto bin = dir.Path() / "bin";
        fs::create_directories(bin);
        std::ofstream script(bin / "xdg-open");
        script << "#!/bin/sh\n"
               << "pwd > '" << (dir.Path() / "cwd").string() << "'\n"
               << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << (dir.Path() / "args").string() << "'\n"
               << "exit $(cat '" << (dir.Path() / "status").string() << "')\n";
        script.close();
        fs::permissions(bin / "xdg-open", fs::perms::owner_all);
        path = std::make_unique<qtest::ScopedEnv>("PATH", bin.string() + ":/usr/bin:/bin");
    }
    void SetStatus(int s) { dir.Write("status", std::to_string(s)); }

    qtest::TempFolder dir;
    std::unique_ptr<qtest::ScopedEnv> path;
};

TEST_F(FakeXdgOpen, MapsExitStatusToPlatformCodeAndMessage)
{
    struct Case {
        int status;
        const char* message; // null: success
    };
    for (const Case& c : std::vector<Case>{
             {0, nullptr},
             {2, "The specified file was not found"},
             {3, "There is no application associated with the given file name extension. This "
                 "error will also be returned if you attempt to print a file that is not printable"},
             {1, "Unknown error while executing shell command!"},
             {4, "Unknown error while executing shell command!"},
         }) {
        SetStatus(c.status);
        if (!c.message) {
            EXPECT_GT(ExecuteShellCommand(nullptr, "open", "/tmp/x.jpg", "", "", 1), 32);
        } else {
            EXPECT_EQ(ThrownText([] { ExecuteShellCommand(nullptr, "open", "/tmp/x.jpg", "", "", 1); }), c.message)
                << "status " << c.status;
        }
    }
}

TEST_F(FakeXdgOpen, PassesTheTargetAsOneArgumentWithoutAShell)
{
    SetStatus(0);
    const std::string target = "http://h/a b;$(touch pwned)|`x`&y.jpg";
    ExecuteShellCommand(nullptr, "open", target, "", dir.Dir(), 1);
    EXPECT_EQ(dir.Read("args"), target + "\n");
    EXPECT_EQ(dir.Read("cwd"), dir.Path().string() + "\n");
    EXPECT_FALSE(dir.Has("pwned"));
}

TEST(ShellErrorMessage, KeepsThePlatformTable)
{
    EXPECT_STREQ(ShellErrorMessage(42), "Unknown error while executing shell command!");
    EXPECT_STREQ(ShellErrorMessage(0), "The operating system is out of memory or resources");
    EXPECT_STREQ(ShellErrorMessage(32), "The specified dynamic-link library (DLL) was not found");
    EXPECT_STREQ(ShellErrorMessage(11),
                 "The .exe file is invalid (non-Microsoft Win32\xC2\xAE .exe or error in .exe image)");
}

TEST(ShellCommand, MissingXdgOpenIsAnError)
{
    qtest::TempFolder empty;
    qtest::ScopedEnv path("PATH", empty.Path().string());
    EXPECT_EQ(ThrownText([] { ExecuteShellCommand(nullptr, "open", "/tmp/x", "", "", 1); }),
              "Unknown error while executing shell command!");
}

// ---- file text ------------------------------------------------------------------------

// Settings and stores are read whole: only regular files, and only up to a size far above
// any real one, so that a FIFO cannot block the start and /dev/zero cannot fill memory.
TEST(FileText, ReadsOnlyRegularFilesUpToTheCap)
{
    qtest::TempFolder dir;
    dir.Write("ten", "0123456789");
    fs::create_symlink(dir.Path() / "ten", dir.Path() / "link");
    ASSERT_EQ(::mkfifo((dir.Path() / "fifo").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", dir.Path() / "zero");
    fs::create_directory(dir.Path() / "folder");
    struct Case {
        const char* name;
        std::size_t cap;
        FileTextResult result;
        const char* text;
    };
    const Case cases[] = {
        {"ten", 10, FileTextResult::Read, "0123456789"},   {"ten", 9, FileTextResult::Unusable, ""},
        {"link", 100, FileTextResult::Read, "0123456789"}, {"fifo", 100, FileTextResult::Unusable, ""},
        {"zero", 100, FileTextResult::Unusable, ""},       {"folder", 100, FileTextResult::Unusable, ""},
        {"missing", 100, FileTextResult::Missing, ""},     {"ten/below-a-file", 100, FileTextResult::Unusable, ""},
    };
    for (const auto& c : cases) {
        std::string text = "stale";
        EXPECT_EQ(ReadFileText((dir.Path() / c.name).string(), text, c.cap), c.result) << c.name << " " << c.cap;
        EXPECT_EQ(text, c.text) << c.name << " " << c.cap;
    }
}

// ---- registry store -------------------------------------------------------------------

class RegistryStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        config = std::make_unique<qtest::ScopedEnv>("XDG_CONFIG_HOME", (dir.Path() / "user").string());
        dirs = std::make_unique<qtest::ScopedEnv>("XDG_CONFIG_DIRS", (dir.Path() / "machine").string() + ":/etc/xdg");
    }
    void WriteStore(const std::string& root, const std::string& text)
    {
        fs::create_directories(dir.Path() / root / "Orlendi");
        std::ofstream(dir.Path() / root / "Orlendi" / "registry.ini") << text;
    }

    qtest::TempFolder dir;
    std::unique_ptr<qtest::ScopedEnv> config, dirs;
};

TEST_F(RegistryStore, RootsLiveInTheXdgFolders)
{
    EXPECT_EQ(RegistryFilePath(HKEY_CURRENT_USER), (dir.Path() / "user/Orlendi/registry.ini").string());
    EXPECT_EQ(RegistryFilePath(HKEY_LOCAL_MACHINE), (dir.Path() / "machine/Orlendi/registry.ini").string());
}

TEST_F(RegistryStore, CurrentUserIsReadBeforeLocalMachine)
{
    WriteStore("machine", "[Software\\Orlendi\\Quarrow]\nProgramPath=/usr/bin/quarrow\n"
                          "HelpFilePath=/usr/share/doc/quarrow/index.html\n");
    WriteStore("user", "; user overrides\n[software\\orlendi\\quarrow]\nprogrampath = /home/u/bin/quarrow\n");

    EXPECT_EQ(ReadRegistryString("Software\\Orlendi\\Quarrow\\ProgramPath"), "/home/u/bin/quarrow");
    EXPECT_EQ(ReadRegistryString("Software\\Orlendi\\Quarrow\\HelpFilePath"), "/usr/share/doc/quarrow/index.html");
    EXPECT_EQ(ReadRegistryString("Software\\Orlendi\\Quarrow\\Missing"), "");

    registry_string machine("Software\\Orlendi\\Quarrow\\ProgramPath", HKEY_LOCAL_MACHINE);
    EXPECT_TRUE(machine.exists());
    EXPECT_EQ(machine.get_value(), "/usr/bin/quarrow");
}

TEST_F(RegistryStore, MissingStoresKeysAndValuesReadAsAbsent)
{
    registry_string noStore("Software\\Orlendi\\Quarrow\\ProgramPath", HKEY_CURRENT_USER);
    EXPECT_FALSE(noStore.exists());
    EXPECT_EQ(noStore.get_value(), "");
    EXPECT_FALSE(noStore.open(false));

    WriteStore("user", "[Software\\Other]\nProgramPath=/x\nbroken line without equals\n[unterminated\n");
    EXPECT_FALSE(noStore.exists());
    EXPECT_EQ(noStore.get_value(), "");
    registry_string other("Software\\Other\\ProgramPath", HKEY_CURRENT_USER);
    EXPECT_EQ(other.get_value(), "/x");
}

TEST_F(RegistryStore, WriteAccessCreatesKeyAndValuesKeepOtherKeys)
{
    WriteStore("user", "[Software\\Other]\nA=1\n");
    registry_string value("Software\\Orlendi\\Quarrow\\ProgramPath", HKEY_CURRENT_USER);
    EXPECT_TRUE(value.open(true));
    value.close();
    EXPECT_FALSE(value.exists());
    ASSERT_TRUE(value.set_value("/opt/quarrow/bin/quarrow"));
    EXPECT_EQ(value.get_value(), "/opt/quarrow/bin/quarrow");
    ASSERT_TRUE(value.set_value("/usr/local/bin/quarrow"));
    EXPECT_EQ(value.get_value(), "/usr/local/bin/quarrow");
    EXPECT_EQ(registry_string("Software\\Other\\A", HKEY_CURRENT_USER).get_value(), "1");
    EXPECT_FALSE(value.set_value("two\nlines"));
    ASSERT_TRUE(value.remove_value());
    EXPECT_FALSE(value.exists());
}

// What uninstall does once its values are gone: the emptied key goes, then the store and
// its folder when nothing else is left; another program's key and files stay.
TEST_F(RegistryStore, EmptyKeyIsRemovedAndThenTheStoreWhenNothingIsLeft)
{
    const std::string key = "Software\\Orlendi\\Quarrow";
    const fs::path store = dir.Path() / "user/Orlendi/registry.ini";
    WriteStore("user", "[Software\\Other]\nA=1\n\n[Software\\Orlendi\\Quarrow]\nProgramPath=/x\n");
    EXPECT_TRUE(RemoveEmptyRegistryKey(key, HKEY_CURRENT_USER));
    EXPECT_EQ(registry_string(key + "\\ProgramPath", HKEY_CURRENT_USER).get_value(), "/x") << "a key with values stays";

    ASSERT_TRUE(registry_string(key + "\\ProgramPath", HKEY_CURRENT_USER).remove_value());
    EXPECT_TRUE(RemoveEmptyRegistryKey(key, HKEY_CURRENT_USER));
    EXPECT_EQ(qtest::ReadFile(store), "[Software\\Other]\nA=1\n\n");

    ASSERT_TRUE(registry_string("Software\\Other\\A", HKEY_CURRENT_USER).remove_value());
    std::ofstream(dir.Path() / "user/Orlendi/notes.txt") << "kept";
    EXPECT_TRUE(RemoveEmptyRegistryKey("software\\other", HKEY_CURRENT_USER));
    EXPECT_FALSE(fs::exists(store));
    EXPECT_TRUE(fs::exists(dir.Path() / "user/Orlendi/notes.txt")) << "a folder holding more stays";

    fs::remove(dir.Path() / "user/Orlendi/notes.txt");
    WriteStore("user", "[Software\\Orlendi\\Quarrow]\n");
    EXPECT_TRUE(RemoveEmptyRegistryKey(key, HKEY_CURRENT_USER));
    EXPECT_FALSE(fs::exists(dir.Path() / "user/Orlendi"));
    EXPECT_TRUE(RemoveEmptyRegistryKey(key, HKEY_CURRENT_USER)) << "a missing store has nothing to remove";
}

// Two threads (the desktop program's and a helper's) writing the store at once: every
// write succeeds, and the store stays a whole, parsable file holding both values.
TEST_F(RegistryStore, TwoThreadsWritingAtOnceKeepTheStoreWhole)
{
    constexpr int kRounds = 200;
    auto writer = [](const std::string& name) {
        return [name] {
            registry_string value("Software\\Orlendi\\Quarrow\\" + name, HKEY_CURRENT_USER);
            int failures = 0;
            for (int i = 0; i < kRounds; ++i)
                if (!value.set_value(name + "-" + std::to_string(i)))
                    ++failures;
            return failures;
        };
    };
    int failuresA = -1, failuresB = -1;
    std::thread a([&] { failuresA = writer("A")(); });
    std::thread b([&] { failuresB = writer("B")(); });
    a.join();
    b.join();
    EXPECT_EQ(failuresA, 0);
    EXPECT_EQ(failuresB, 0);
    EXPECT_EQ(ReadRegistryString("Software\\Orlendi\\Quarrow\\A"), "A-" + std::to_string(kRounds - 1));
    EXPECT_EQ(ReadRegistryString("Software\\Orlendi\\Quarrow\\B"), "B-" + std::to_string(kRounds - 1));
    EXPECT_EQ(qtest::FilesIn(dir.Path() / "user/Orlendi"), std::vector<std::string>{"registry.ini"});
}

// ---- user folders ---------------------------------------------------------------------

TEST(UserFolders, FollowXdgVariablesAndUserDirs)
{
    qtest::TempFolder dir;
    const std::string home = dir.Path().string();
    qtest::ScopedEnv h("HOME", home);
    qtest::ScopedEnv data("XDG_DATA_HOME", "relative/ignored");
    qtest::ScopedEnv config("XDG_CONFIG_HOME", home + "/cfg/");
    EXPECT_EQ(GetUserDataFolder(), home + "/.local/share");
    EXPECT_EQ(GetUserConfigFolder(), home + "/cfg");
    EXPECT_EQ(GetUserDocumentsFolder(), home + "/Documents");

    fs::create_directories(dir.Path() / "cfg");
    std::ofstream(dir.Path() / "cfg/user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
           "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EQ(GetUserDocumentsFolder(), home + "/Dokumente");
}

struct UserDirsCase {
    const char* line;     // the XDG_DOCUMENTS_DIR line as the file holds it
    std::string expected; // relative to home; empty: the default ~/Documents
};

// Values are shell words in double quotes: \" \\ \$ \` stand for the character itself,
// a backslash before anything else stays, and only a leading, unescaped $HOME expands.
TEST(UserFolders, UserDirsValuesLoseTheirShellEscapes)
{
    const UserDirsCase cases[] = {
        {R"(XDG_DOCUMENTS_DIR="$HOME/Dokumente")", "/Dokumente"},
        {R"(XDG_DOCUMENTS_DIR="$HOME/My \"Docs\"")", "/My \"Docs\""},
        {R"(XDG_DOCUMENTS_DIR="$HOME/back\\slash")", "/back\\slash"},
        {R"(XDG_DOCUMENTS_DIR="$HOME/cost\$5")", "/cost$5"},
        {R"(XDG_DOCUMENTS_DIR="$HOME/tick\`")", "/tick`"},
        {R"(XDG_DOCUMENTS_DIR="$HOME/keep\n\a")", "/keep\\n\\a"},
        {R"(XDG_DOCUMENTS_DIR="$HOME/a b")", "/a b"},
        {R"(  XDG_DOCUMENTS_DIR="$HOME/indented"  )", "/indented"},
        {R"(XDG_DOCUMENTS_DIR="$HOME/Docs/")", "/Docs"},
        {R"(XDG_DOCUMENTS_DIR="\$HOME/x")", ""}, // a literal "$HOME", not absolute
        {R"(XDG_DOCUMENTS_DIR="$HOMEX/x")", ""}, // another variable
        {R"(XDG_DOCUMENTS_DIR="$HOME")", ""},    // home itself means "not set"
        {R"(XDG_DOCUMENTS_DIR="$HOME/unterminated)", ""},
        {R"(XDG_DOCUMENTS_DIR="$HOME/x" trailing)", ""},
        {R"(XDG_DOCUMENTS_DIR="relative")", ""},
        {R"(XDG_DOCUMENTS_DIR=$HOME/Bare\ Word)", "/Bare Word"},
    };
    qtest::TempFolder dir;
    const std::string home = dir.Path().string();
    qtest::ScopedEnv h("HOME", home);
    qtest::ScopedEnv config("XDG_CONFIG_HOME", home + "/cfg");
    fs::create_directories(dir.Path() / "cfg");
    for (const auto& c : cases) {
        std::ofstream(dir.Path() / "cfg/user-dirs.dirs", std::ios::trunc) << "XDG_MUSIC_DIR=\"$HOME/M\"\n"
                                                                          << c.line << "\n";
        EXPECT_EQ(GetUserDocumentsFolder(), home + (c.expected.empty() ? "/Documents" : c.expected)) << c.line;
    }
    // An absolute value that names no home.
    std::ofstream(dir.Path() / "cfg/user-dirs.dirs", std::ios::trunc) << "XDG_DOCUMENTS_DIR=\"/srv/d\\\"q\"\n";
    EXPECT_EQ(GetUserDocumentsFolder(), "/srv/d\"q");
}

struct PrivateFolderCase {
    const char* what;
    std::function<void(const fs::path&)> make; // sets up the folder at the given path
    const char* reason;                        // empty: accepted
};

// The lock folder in /tmp is shared with every local user: only a folder that is ours,
// really a folder, and closed to others may hold the named mutexes.
TEST(UserFolders, PrivateFolderMustBeOursAndClosedToOthers)
{
    auto folder = [](fs::perms mode, uid_t owner) {
        return [mode, owner](const fs::path& p) {
            fs::create_directory(p);
            fs::permissions(p, mode);
            ASSERT_EQ(::chown(p.c_str(), owner, ::getgid()), 0);
        };
    };
    const PrivateFolderCase cases[] = {
        {"missing", [](const fs::path&) {}, ""},
        {"ours, 0700", folder(fs::perms::owner_all, ::getuid()), ""},
        {"ours, 0755",
         folder(fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                    fs::perms::others_exec,
                ::getuid()),
         ""},
        {"ours, 0777", folder(fs::perms::all, ::getuid()), "writable by others"},
        {"ours, 0770", folder(fs::perms::owner_all | fs::perms::group_all, ::getuid()), "writable by others"},
        {"ours, 1777", folder(fs::perms::all | fs::perms::sticky_bit, ::getuid()), "writable by others"},
        {"another user's, 0700", folder(fs::perms::owner_all, ::getuid() + 4242), "owned by another user"},
        {"link to a good folder",
         [](const fs::path& p) {
             fs::create_directory(p.string() + "-real");
             fs::permissions(p.string() + "-real", fs::perms::owner_all);
             fs::create_directory_symlink(p.string() + "-real", p);
         },
         "not a folder"},
        {"file", [](const fs::path& p) { std::ofstream(p) << "x"; }, "not a folder"},
    };
    for (const auto& c : cases) {
        qtest::TempFolder dir;
        const fs::path p = dir.Path() / "quarrow-lock";
        c.make(p);
        const std::string thrown = ThrownText([&] { EXPECT_EQ(EnsurePrivateFolder(p.string()), p.string()); });
        if (*c.reason == '\0') {
            EXPECT_EQ(thrown, "<nothing thrown>") << c.what;
            struct stat st {};
            ASSERT_EQ(::lstat(p.c_str(), &st), 0) << c.what;
            EXPECT_TRUE(S_ISDIR(st.st_mode)) << c.what;
        } else {
            EXPECT_EQ(thrown, "The lock folder " + p.string() + " cannot be used: it is " + c.reason) << c.what;
        }
    }
}

TEST(UserFolders, RuntimeFolderFallsBackToAPrivateFolderInTmp)
{
    qtest::TempFolder dir;
    qtest::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.Path().string() + "/");
    EXPECT_EQ(GetRuntimeFolder(), dir.Path().string());
    ::unsetenv("XDG_RUNTIME_DIR");
    const std::string fallback = "/tmp/quarrow-" + std::to_string(::getuid());
    EXPECT_EQ(GetRuntimeFolder(), fallback);
    struct stat st {};
    ASSERT_EQ(::lstat(fallback.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_uid, ::getuid());
    EXPECT_EQ(st.st_mode & 022, 0u);
}

TEST(UserFolders, CreateFolderPathMakesEveryLevel)
{
    qtest::TempFolder dir;
    const std::string deep = dir.Path().string() + "/a/b/c/";
    EXPECT_TRUE(CreateFolderPath(deep));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(CreateFolderPath(deep));
    dir.Write("file", "x");
    EXPECT_FALSE(CreateFolderPath(dir.Path().string() + "/file/sub"));
    EXPECT_FALSE(CreateFolderPath(""));
}

} // namespace
