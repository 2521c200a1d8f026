// quarrow-browser-host as the browsers run it: framed requests on a pipe, replies read
// back, the program it starts replaced by a fake that records how it was started.
#include "HostSession.h"

#include "browserext/host/HostMessage.h"
#include "browserext/host/HostRegistration.h"
#include "helpers/Json.h"
#include "helpers/Registry.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <map>
#include <sys/stat.h>
#include <thread>

namespace fs = std::filesystem;
using HELPERS::JsonReader;
using HELPERS::JsonValue;
using qtest::HostSession;

namespace {

const std::string kProgramPath = "Software\\Orlendi\\Quarrow\\ProgramPath";

std::vector<std::string> SplitZeros(const std::string& text)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0, end;
    while ((end = text.find('\0', start)) != std::string::npos) {
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// Each test gets its own stores for both registry roots and its own record of the fake.
class BrowserHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        user = std::make_unique<qtest::ScopedEnv>("XDG_CONFIG_HOME", (dir.Path() / "user").string());
        machine = std::make_unique<qtest::ScopedEnv>("XDG_CONFIG_DIRS", (dir.Path() / "machine").string());
        recordEnv = std::make_unique<qtest::ScopedEnv>("QUARROW_FAKE_RECORD", Record().string());
    }

    fs::path Record() const { return dir.Path() / "argv"; }

    // The fake program reachable at `name` inside the test folder (a link, so that two
    // names tell the two roots apart in argv[0]).
    std::string Fake(const std::string& name) const
    {
        const fs::path link = dir.Path() / name;
        fs::create_directories(link.parent_path());
        fs::create_symlink(QUARROW_FAKE_PROGRAM_PATH, link);
        return link.string();
    }

    static void Store(HELPERS::RegistryRoot root, const std::string& path)
    {
        ASSERT_TRUE(HELPERS::registry_string(kProgramPath, root).set_value(path));
    }

    // The argument vector the fake recorded, once it is there.
    std::vector<std::string> Recorded() const
    {
        if (!qtest::WaitFor([&] { return fs::exists(Record()); }))
            return {};
        return SplitZeros(qtest::ReadFile(Record()));
    }

    std::map<std::string, std::string> Facts() const
    {
        std::map<std::string, std::string> facts;
        std::ifstream in(Record().string() + ".facts");
        for (std::string line; std::getline(in, line);)
            facts[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        return facts;
    }

    // Sends one request and returns the host's reply, parsed.
    static JsonValue Ask(HostSession& host, const std::string& json)
    {
        EXPECT_TRUE(host.SendMessage(json));
        const auto reply = host.Reply();
        if (!reply) {
            ADD_FAILURE() << "no reply to " << json.substr(0, 200);
            return {};
        }
        return JsonReader::Parse(*reply);
    }

    static std::string Request(const std::string& address)
    {
        return "{\"address\":" + HELPERS::JsonString(address) + "}";
    }

    qtest::TempFolder dir;
    std::unique_ptr<qtest::ScopedEnv> user, machine, recordEnv;
};

void ExpectError(const JsonValue& reply, const std::string& text, const std::string& title,
                 const std::string& detail = {})
{
    ASSERT_EQ(reply.type, JsonValue::Object);
    EXPECT_FALSE(reply.Has("ok"));
    ASSERT_TRUE(reply.Has("error") && reply.Has("title"));
    EXPECT_EQ(reply["error"].text, text);
    EXPECT_EQ(reply["title"].text, title);
    if (!detail.empty()) {
        ASSERT_TRUE(reply.Has("detail"));
        EXPECT_NE(reply["detail"].text.find(detail), std::string::npos) << reply["detail"].text;
    }
}

void ExpectOk(const JsonValue& reply)
{
    ASSERT_EQ(reply.type, JsonValue::Object);
    ASSERT_TRUE(reply.Has("ok"));
    EXPECT_TRUE(reply["ok"].boolean);
    EXPECT_FALSE(reply.Has("error"));
}

} // namespace

// ---- framing ----------------------------------------------------------------------------

TEST_F(BrowserHost, EndOfInputBeforeAnyMessageIsACleanExit)
{
    HostSession host;
    host.CloseInput();
    EXPECT_FALSE(host.Reply(std::chrono::seconds(5)).has_value());
    EXPECT_EQ(host.Exit(), 0);
}

// A message that leaves the stream out of step is answered once and ends the host.
TEST_F(BrowserHost, CutShortOrOversizedInputIsAnsweredAndEndsTheHost)
{
    struct Case {
        const char* name;
        std::string bytes;
        const char* detail;
    };
    const std::string fullLength = qtest::Frame(std::string(40, 'x')).substr(0, 4);
    const Case cases[] = {
        {"length cut short", std::string("\x05\x00", 2), "cut short"},
        {"body cut short", fullLength + "{\"address\":\"http", "cut short"},
        {"one byte past 1 MiB", qtest::Frame(std::string((1u << 20) + 1, ' ')).substr(0, 4), "larger than 1 MiB"},
        {"largest length", std::string("\xff\xff\xff\xff", 4), "larger than 1 MiB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostSession host;
        ASSERT_TRUE(host.Send(c.bytes));
        host.CloseInput();
        const auto reply = host.Reply();
        ASSERT_TRUE(reply.has_value());
        ExpectError(JsonReader::Parse(*reply), "Could not launch Quarrow", "Error", c.detail);
        EXPECT_EQ(host.Exit(), 1);
        EXPECT_FALSE(fs::exists(Record()));
    }
}

// The host refuses an oversized message from its length alone: it answers while the
// browser is still writing the body, instead of waiting for a megabyte it will not use.
TEST_F(BrowserHost, OversizedMessageIsAnsweredWithoutReadingItsBody)
{
    HostSession host;
    ASSERT_TRUE(host.Send(qtest::Frame(std::string(2u << 20, ' ')).substr(0, 4)));
    const auto reply = host.Reply();
    ASSERT_TRUE(reply.has_value());
    ExpectError(JsonReader::Parse(*reply), "Could not launch Quarrow", "Error", "larger than 1 MiB");
    EXPECT_EQ(host.Exit(), 1);
}

// A bad request is refused and the host keeps answering the messages after it.
TEST_F(BrowserHost, BadRequestsGetAnErrorAndTheHostGoesOn)
{
    Store(HELPERS::HKEY_CURRENT_USER, Fake("bin/quarrow"));
    struct Case {
        const char* name;
        std::string json;
        const char* detail;
    };
    const Case cases[] = {
        {"not JSON", "harvest http://example.org/", "not valid JSON"},
        {"empty message", "", "not valid JSON"},
        {"unterminated", "{\"address\":\"http://example.org/", "not valid JSON"},
        {"trailing text", "{\"address\":\"http://example.org/\"} x", "trailing text"},
        {"bad UTF-8", "{\"address\":\"http://example.org/\xc3(\"}", "bad UTF-8"},
        {"overlong UTF-8", "{\"address\":\"http://example.org/\xc0\xaf\"}", "bad UTF-8"},
        {"UTF-8 surrogate", "{\"address\":\"http://example.org/\xed\xa0\x80\"}", "bad UTF-8"},
        {"unpaired high surrogate", "{\"address\":\"http://example.org/\\ud800\"}", "not valid JSON"},
        {"lone low surrogate", "{\"address\":\"http://example.org/\\udc00\"}", "lone surrogate"},
        {"nesting past any sense", "{\"x\":" + std::string(200000, '[') + "}", "nested too deeply"},
        {"array", "[\"http://example.org/\"]", "not a JSON object"},
        {"no address", "{\"url\":\"http://example.org/\"}", "no address"},
        {"address not a string", "{\"address\":42}", "no address"},
        {"address in a nested object", "{\"tab\":{\"address\":\"http://example.org/\"}}", "no address"},
        {"not a web address", Request("file:///etc/passwd"), "not an http or https"},
        {"address read as an option", Request("--help"), "not an http or https"},
        {"zero byte", "{\"address\":\"http://example.org/\\u0000x\"}", "zero byte"},
    };
    HostSession host;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectError(Ask(host, c.json), "Could not launch Quarrow", "Error", c.detail);
    }
    EXPECT_FALSE(fs::exists(Record()));
    // Still in step: the next good request is served.
    ExpectOk(Ask(host, Request("http://example.org/after")));
    EXPECT_EQ(Recorded().back(), "http://example.org/after");
    host.CloseInput();
    EXPECT_EQ(host.Exit(), 0);
}

TEST_F(BrowserHost, MessagesSplitAcrossManyReadsAreReadWhole)
{
    Store(HELPERS::HKEY_CURRENT_USER, Fake("bin/quarrow"));
    // Exactly 1 MiB is still a message; its extra member is ignored.
    const std::string head = "{\"address\":\"http://example.org/big\",\"pad\":\"";
    const std::string big = head + std::string((1u << 20) - head.size() - 2, 'p') + "\"}";
    ASSERT_EQ(big.size(), 1u << 20);
    HostSession host;
    const std::string bytes = qtest::Frame(Request("http://example.org/slow")) + qtest::Frame(big);
    // The first message a byte at a time, the second in pieces that end mid-length.
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t n = i < 40 ? 1 : 65537;
        ASSERT_TRUE(host.Send(bytes.substr(i, n)));
        i += n;
        if (i < 40)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    for (const char* address : {"http://example.org/slow", "http://example.org/big"}) {
        const auto reply = host.Reply();
        ASSERT_TRUE(reply.has_value()) << address;
        ExpectOk(JsonReader::Parse(*reply));
        EXPECT_TRUE(qtest::WaitFor([&] { return fs::exists(Record()) && Recorded().back() == address; })) << address;
    }
    host.CloseInput();
    EXPECT_EQ(host.Exit(), 0);
}

// ---- program path -------------------------------------------------------------------------

TEST_F(BrowserHost, ProgramPathComesFromTheCurrentUserFirstThenTheMachine)
{
    struct Case {
        const char* name;
        bool inUser, inMachine;
        const char* expected; // argv[0] by link name, or nullptr when nothing starts
    };
    const Case cases[] = {
        {"current user only", true, false, "user-quarrow"},
        {"machine only", false, true, "machine-quarrow"},
        {"both", true, true, "user-quarrow"},
        {"neither", false, false, nullptr},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string sub = "round" + std::to_string(round++) + "/";
        qtest::ScopedEnv userRoot("XDG_CONFIG_HOME", (dir.Path() / sub / "user").string());
        qtest::ScopedEnv machineRoot("XDG_CONFIG_DIRS", (dir.Path() / sub / "machine").string());
        if (c.inUser)
            Store(HELPERS::HKEY_CURRENT_USER, Fake(sub + "user-quarrow"));
        if (c.inMachine)
            Store(HELPERS::HKEY_LOCAL_MACHINE, Fake(sub + "machine-quarrow"));
        fs::remove(Record());

        HostSession host;
        const JsonValue reply = Ask(host, Request("http://example.org/gallery.html"));
        if (c.expected) {
            ExpectOk(reply);
            const auto argv = Recorded();
            ASSERT_EQ(argv.size(), 4u);
            EXPECT_EQ(argv[0], (dir.Path() / sub / c.expected).string());
        } else {
            ExpectError(reply, "Could not locate Quarrow!", "Error Launching Quarrow");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            EXPECT_FALSE(fs::exists(Record()));
        }
    }
}

TEST_F(BrowserHost, ProgramThatCannotStartIsReportedAsLaunchFailure)
{
    const fs::path notExecutable = dir.Write("quarrow-text", "#!/bin/sh\n");
    ::chmod(notExecutable.c_str(), 0644);
    for (const std::string& path :
         {(dir.Path() / "no-such-quarrow").string(), notExecutable.string(), dir.Path().string()}) {
        SCOPED_TRACE(path);
        Store(HELPERS::HKEY_CURRENT_USER, path);
        HostSession host;
        ExpectError(Ask(host, Request("http://example.org/")), "Could not launch Quarrow", "Error", path);
    }
}

// ---- the started program ------------------------------------------------------------------

// The address is one argument whatever it holds; nothing reads it as shell text.
TEST_F(BrowserHost, AddressReachesTheProgramAsOneArgument)
{
    const std::string program = Fake("Program Files/quarrow; echo x");
    Store(HELPERS::HKEY_CURRENT_USER, program);
    const std::string addresses[] = {
        "http://example.org/gallery.html",
        "http://example.org/my pictures/index.html",
        "https://example.org/a b  c/?q=\"quoted\" 'single'",
        "http://example.org/;rm -rf ~;/x?a=1;b=2",
        "http://example.org/$(touch pwned)/`id`/${HOME}|&>x<y",
        "http://example.org/caf\xc3\xa9/\xe2\x82\xac\xf0\x9f\x93\xb7\\back\\slash\ttab\nline",
        "HTTPS://EXAMPLE.ORG/-o --url",
    };
    HostSession host;
    for (const std::string& address : addresses) {
        SCOPED_TRACE(address);
        fs::remove(Record());
        ExpectOk(Ask(host, Request(address)));
        EXPECT_EQ(Recorded(), (std::vector<std::string>{program, "-o", "--url", address}));
    }
    EXPECT_FALSE(fs::exists(dir.Path() / "pwned"));
    EXPECT_FALSE(fs::exists(fs::current_path() / "pwned"));
}

// The host answers and ends while the program is still running; the program has its own
// session and nothing of the browser's pipes.
TEST_F(BrowserHost, ProgramRunsDetachedAndIsNotWaitedFor)
{
    Store(HELPERS::HKEY_CURRENT_USER, Fake("bin/quarrow"));
    std::ofstream(Record().string() + ".hold") << "";
    HostSession host;
    ExpectOk(Ask(host, Request("http://example.org/")));
    host.CloseInput();
    EXPECT_EQ(host.Exit(std::chrono::seconds(5)), 0);

    ASSERT_EQ(Recorded().size(), 4u);
    const auto facts = Facts();
    const pid_t pid = std::stoi(facts.at("pid"));
    EXPECT_EQ(::kill(pid, 0), 0) << "the program should still be running";
    EXPECT_EQ(facts.at("sid"), facts.at("pid"));
    EXPECT_EQ(facts.at("fds"), "0,1,2");
    for (const char* fd : {"fd0", "fd1", "fd2"})
        EXPECT_EQ(facts.at(fd), "/dev/null") << fd;

    fs::remove(Record().string() + ".hold");
    EXPECT_TRUE(qtest::WaitFor([&] { return ::kill(pid, 0) != 0; }));
}

// ---- registration ---------------------------------------------------------------------------

TEST_F(BrowserHost, RegisterWritesTheThreeManifestsAndUnregisterRemovesExactlyThem)
{
    const fs::path home = qtest::SandboxRoot() / "register-home";
    qtest::ScopedEnv homeEnv("HOME", home.string());
    const fs::path config = dir.Path() / "user";
    const std::string file = "vek_ie_tbextension.vekietbintegration.json";
    const fs::path chromium = config / "chromium/NativeMessagingHosts" / file;
    const fs::path chrome = config / "google-chrome/NativeMessagingHosts" / file;
    const fs::path firefox = home / ".mozilla/native-messaging-hosts" / file;
    const fs::path neighbour = config / "chromium/NativeMessagingHosts/other.host.json";
    fs::create_directories(neighbour.parent_path());
    std::ofstream(neighbour) << "{}";

    HostSession reg({"--register"});
    ASSERT_EQ(reg.Exit(), 0);
    const std::string hostPath = fs::canonical(QUARROW_BROWSER_HOST_PATH).string();
    for (const fs::path& p : {chromium, chrome, firefox}) {
        SCOPED_TRACE(p.string());
        ASSERT_TRUE(fs::exists(p));
        const JsonValue m = JsonReader::Parse(qtest::ReadFile(p));
        EXPECT_EQ(m["name"].text, "vek_ie_tbextension.vekietbintegration");
        EXPECT_EQ(m["path"].text, hostPath);
        EXPECT_EQ(m["type"].text, "stdio");
        EXPECT_NE(m["description"].text.find("{674CC1A8-3A39-421B-B075-68FA80DDAB9C}"), std::string::npos);
        EXPECT_NE(m["description"].text.find("CVekIeTbIntegration Object"), std::string::npos);
        if (p == firefox) {
            ASSERT_EQ(m["allowed_extensions"].items.size(), 1u);
            EXPECT_EQ(m["allowed_extensions"].items[0].text, "quarrow@orlendi.org");
            EXPECT_FALSE(m.Has("allowed_origins"));
        } else {
            ASSERT_EQ(m["allowed_origins"].items.size(), 1u);
            EXPECT_EQ(m["allowed_origins"].items[0].text, "chrome-extension://fhngnpjldhnajkcaanhgpennnjpkcifn/");
            EXPECT_FALSE(m.Has("allowed_extensions"));
        }
    }

    // Registering again replaces the files; unregistering removes them and nothing else.
    HostSession again({"--register"});
    ASSERT_EQ(again.Exit(), 0);
    HostSession unreg({"--unregister"});
    ASSERT_EQ(unreg.Exit(), 0);
    for (const fs::path& p : {chromium, chrome, firefox})
        EXPECT_FALSE(fs::exists(p)) << p;
    EXPECT_TRUE(fs::exists(neighbour));
    EXPECT_EQ(qtest::FilesIn(neighbour.parent_path()), std::vector<std::string>{"other.host.json"});
    // The folders registering made go when they are left empty; the one holding another
    // host stays, and so do the folders above the browsers' own.
    EXPECT_FALSE(fs::exists(config / "google-chrome")) << "emptied";
    EXPECT_FALSE(fs::exists(home / ".mozilla")) << "emptied";
    EXPECT_TRUE(fs::exists(config)) << "above the browsers' folders";
    EXPECT_TRUE(fs::exists(home));
    HostSession twice({"--unregister"});
    EXPECT_EQ(twice.Exit(), 0);
}

// The extension's Chromium id is derived from the public key in its manifest; the host
// manifests must name that same id, and the Firefox id must match the manifest's.
TEST_F(BrowserHost, ManifestIdsMatchTheExtension)
{
    const JsonValue manifest = JsonReader::Parse(qtest::ReadFile(QUARROW_EXTENSION_DIR "/manifest.json"));
    EXPECT_EQ(manifest["browser_specific_settings"]["gecko"]["id"].text, kFirefoxExtensionId);
    EXPECT_EQ(manifest["action"]["default_title"].text, "Harvest with Quarrow");
    EXPECT_EQ(manifest["name"].text, "Quarrow");
    EXPECT_EQ(manifest["manifest_version"].number, 3);
    const std::string background = qtest::ReadFile(QUARROW_EXTENSION_DIR "/background.js");
    EXPECT_NE(background.find(std::string("\"") + kHostName + "\""), std::string::npos);
    // Chromium's id: the first 128 bits of the SHA-256 of the key's bytes, each hex digit
    // written as a letter from a to p.
    const std::string key = manifest["key"].text;
    ASSERT_FALSE(key.empty());
    ASSERT_EQ(key.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
              std::string::npos);
    const std::string command = "printf %s '" + key + "' | base64 -d | sha256sum";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    ASSERT_TRUE(pipe);
    char digest[65] = {};
    ASSERT_EQ(std::fread(digest, 1, 64, pipe.get()), 64u);
    std::string id;
    for (int i = 0; i < 32; ++i)
        id += static_cast<char>('a' + std::stoi(std::string(1, digest[i]), nullptr, 16));
    EXPECT_EQ(id, kChromiumExtensionId);
}
