#include "fetch/UrlResolution.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Runs `call` and returns the text of the std::runtime_error it throws ("" if none).
template <typename F>
std::string ErrorText(F&& call)
{
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

const std::string kBadAbsolute = "Invalid string passed in for absolute URL!";

TEST(IsAbsoluteHttpURL, AcceptsLowerCaseHttpAndHttpsOnly)
{
    struct Case {
        const char* text;
        bool absolute;
    };
    const Case cases[] = {
        {"http://host", true},
        {"http://host/a/b.jpg?x=1&y=2", true},
        {"https://host", true},
        {"https://host:8443/a/", true},
        {"  http://host/a.html \t\n", true}, // surrounding blanks are trimmed
        {"HTTP://host/", false},
        {"Https://host/", false},
        {"HTTPS://host/", false},
        {"ftp://host/a.jpg", false},
        {"mailto:someone@host", false},
        {"//host/a.jpg", false},
        {"/a.jpg", false},
        {"http://", false},
        {"https://", false},
        {"https:/host", false},
        {"httpss://host", false},
        {"http://host/a b.jpg", false},
        {"http://host/a\"b.jpg", false},
        {"xhttp://host", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(IsAbsoluteHttpURL(c.text), c.absolute);
    }
}

TEST(GetBaseURL, KeepsDirectoryAndScheme)
{
    struct Case {
        const char* page;
        const char* base;
    };
    const Case cases[] = {
        {"http://host", "http://host/"},
        {"http://host/", "http://host/"},
        {"http://host/page.html", "http://host/"},
        {"http://host/a/page.html", "http://host/a/"},
        {"http://host/a/", "http://host/a/"},
        {"http://host:8080/a/b/c.php?id=1", "http://host:8080/a/b/"},
        {"http://host/a//page.html", "http://host/a//"},
        {"https://host", "https://host/"},
        {"https://host/", "https://host/"},
        {"https://host/a/page.html", "https://host/a/"},
        {"https://host/a/", "https://host/a/"},
        // Blanks around the address never end up inside the result.
        {" http://host ", "http://host/"},
        {"\thttps://host/a/b.html ", "https://host/a/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(GetBaseURL(c.page), c.base);
    }
}

TEST(GetRootURL, KeepsHostPortAndScheme)
{
    struct Case {
        const char* page;
        const char* root;
    };
    const Case cases[] = {
        {"http://host", "http://host/"},
        {"http://host/", "http://host/"},
        {"http://host:8080/a/b.html", "http://host:8080/"},
        {"http://host/a/b/c/", "http://host/"},
        {"https://host", "https://host/"},
        {"https://host:8443/a/b.html", "https://host:8443/"},
        {" http://host ", "http://host/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(GetRootURL(c.page), c.root);
    }
}

TEST(GetBaseURLAndGetRootURL, RefuseAnythingButAbsoluteHttpOrHttps)
{
    const char* bad[] = {
        "HTTP://host/a/",  "HTTPS://host/a/", "Http://host/",        "ftp://host/a/b.jpg",
        "https:/host/a/",  "//host/a/",       "a/page.html",        "",
        "http://host/a b", "http://",         "javascript:void(0)",
    };
    for (const char* page : bad) {
        SCOPED_TRACE(page);
        EXPECT_EQ(ErrorText([&] { GetBaseURL(page); }), kBadAbsolute);
        EXPECT_EQ(ErrorText([&] { GetRootURL(page); }), kBadAbsolute);
    }
}

TEST(IsValidFileName, SplitsOffTheExtensionAfterTheLastDot)
{
    struct Case {
        const char* name;
        bool valid;
        const char* extension; // what `extension` holds afterwards
    };
    const Case cases[] = {
        {"a.jpg", true, "jpg"},
        {"x", true, ""},
        {"README", true, ""},
        {"a.b.jpg", true, "jpg"},
        {"archive.tar.gz", true, "gz"},
        {"a..b", true, "b"},
        {"IMG_1(2)-[x]{y};~!@#$%&^+=,'`.JPG", true, "JPG"},
        // Invalid names leave the previous extension alone.
        {".htaccess", false, "previous"},
        {"a.", false, "previous"},
        {"a b.jpg", false, "previous"},
        {"a:b.jpg", false, "previous"},
        {"a?b", false, "previous"},
        {"a/b.jpg", false, "previous"},
        {"\xC3\xA9t\xC3\xA9.jpg", false, "previous"},
        {"", false, "previous"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string extension = "previous";
        EXPECT_EQ(IsValidFileName(c.name, extension), c.valid);
        EXPECT_EQ(extension, c.extension);
    }
}

TEST(GetRelativeURLType, ClassifiesLinkValues)
{
    struct Case {
        const char* value;
        int type;
        const char* fileName; // nullptr: not checked
        const char* extension;
    };
    const Case cases[] = {
        {"a.jpg", 1, "a.jpg", "jpg"},
        {" a.jpg\t", 1, "a.jpg", "jpg"},
        {"img/a.jpg", 1, "a.jpg", "jpg"},
        {"img/b.c/a.jpg", 1, "a.jpg", "jpg"},
        {"README", 1, "README", ""},
        {"docs/README", 1, "README", ""},
        {"/a.jpg", 2, "a.jpg", "jpg"},
        {"/img/a.jpg", 2, "a.jpg", "jpg"},
        {"//host/img/a.jpg", 3, "a.jpg", "jpg"},
        {"//host.example.com/a.jpg", 3, "a.jpg", "jpg"},
        {"//host:81/a.jpg", 3, "a.jpg", "jpg"},
        {"//host:81/img/a.jpg", 3, "a.jpg", "jpg"},
        {"//host:81", 3, "host:81", ""},
        {"../img/a.jpg", 4, "a.jpg", "jpg"},
        {"../../a.jpg", 4, "a.jpg", "jpg"},
        {"./a.jpg", 5, "a.jpg", "jpg"},
        {"././img/a.jpg", 5, "a.jpg", "jpg"},
        {"", 0, nullptr, ""},
        {"   ", 0, nullptr, ""},
        {"img/a b.jpg", 0, nullptr, ""},
        {"page.php?id=1", 0, nullptr, ""},
        {".htaccess", 0, nullptr, ""},
        {"./../a.jpg", 0, nullptr, ""},
        {"img/../a.jpg", 0, nullptr, ""},
        {"img/", 0, nullptr, ""},
        {"/", 0, nullptr, ""},
        {"//host", 0, nullptr, ""},
        {"//host:1234567/a.jpg", 0, nullptr, ""},
        {"http://host/a.jpg", 0, nullptr, ""},
        {"https://host/a.jpg", 0, nullptr, ""},
        {"mailto:a@b.c", 0, nullptr, ""},
        {"#top", 1, "#top", ""}, // '#' is a name character
        {"java script.js", 0, nullptr, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("'") + c.value + "'");
        std::string fileName = "unset";
        std::string extension = "stale"; // cleared by every call
        EXPECT_EQ(GetRelativeURLType(c.value, fileName, extension), c.type);
        if (c.fileName) {
            EXPECT_EQ(fileName, c.fileName);
        }
        if (c.type != 0 || std::string(c.value).find_first_not_of(" \t") == std::string::npos) {
            EXPECT_EQ(extension, c.extension);
        }
    }
}

TEST(CombineBaseURLAndRelativeFileURL, JoinsWithExactlyOneSlash)
{
    struct Case {
        const char* base;
        const char* relative;
        const char* out;
    };
    const Case cases[] = {
        {"http://h/a/", "/x.jpg", "http://h/a/x.jpg"},
        {"http://h/a/", "x.jpg", "http://h/a/x.jpg"},
        {"http://h/a", "/x.jpg", "http://h/a/x.jpg"},
        {"http://h/a", "x.jpg", "http://h/a/x.jpg"},
        {"https://h/", "img/x.jpg", "https://h/img/x.jpg"},
        {"ab", "cd", "ab/cd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " + " + c.relative);
        std::string out;
        CombineBaseURLAndRelativeFileURL(c.base, c.relative, out);
        EXPECT_EQ(out, c.out);
    }
}

TEST(CombineBaseURLAndRelativeFileURL, RefusesValuesShorterThanTwoCharacters)
{
    const std::string badBase = "Invalid base URL string passed into CombineBaseURLAndRelativeFileURL";
    const std::string badRelative =
        "Invalid relative file URL string passed into CombineBaseURLAndRelativeFileURL";
    struct Case {
        const char* base;
        const char* relative;
        const std::string& error;
    };
    const Case cases[] = {
        {"http://h/", "x", badRelative}, // a link to the one-letter file x
        {"http://h/", "", badRelative},
        {"h", "x.jpg", badBase},
        {"", "x.jpg", badBase},
        {"", "", badBase}, // the base is checked first
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " + " + c.relative);
        std::string out = "untouched";
        EXPECT_EQ(ErrorText([&] { CombineBaseURLAndRelativeFileURL(c.base, c.relative, out); }),
                  c.error);
    }
}

TEST(StripCSOrBTFromRelativeFileURL, CountsAndStripsLeadingTokens)
{
    struct Case {
        const char* relative;
        const char* token;
        int count;
        const char* rest;
    };
    const Case cases[] = {
        {"../../img/a.jpg", "..", 2, "img/a.jpg"},
        {"../a.jpg", "..", 1, "a.jpg"},
        {"a.jpg", "..", 0, "a.jpg"},
        {"./a.jpg", ".", 1, "a.jpg"},
        {"././img/a.jpg", ".", 2, "img/a.jpg"},
        {"./../a.jpg", ".", 1, "../a.jpg"},   // only the given token counts
        {"../a/../b.jpg", "..", 1, "a/../b.jpg"}, // later tokens stay in the rest
        {"../a//b.jpg", "..", 1, "a//b.jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.relative) + " with " + c.token);
        std::string rest = "unset";
        EXPECT_EQ(StripCSOrBTFromRelativeFileURL(c.relative, rest, c.token), c.count);
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(StripCSOrBTFromRelativeFileURL, RefusesBadTokensAndValues)
{
    const std::string badToken = "Invalid CS/BT value passed into StripCSOrBTFromRelativeFileURL";
    const std::string badRelative =
        "Invalid relative file URL string passed into StripCSOrBTFromRelativeFileURL";
    struct Case {
        const char* relative;
        const char* token;
        const std::string& error;
    };
    const Case cases[] = {
        {"a.jpg", "...", badToken},
        {"a.jpg", "", badToken},
        {"a.jpg", "/", badToken},
        {"", "x", badToken}, // the token is checked first
        {"../", "..", badRelative},
        {"", "..", badRelative},
        {"/a.jpg", "..", badRelative},
        {"img/", ".", badRelative},
        {"..", "..", badRelative},    // nothing but tokens
        {"../..", "..", badRelative}, // nothing but tokens
        {".//a.jpg", ".", badRelative}, // empty part before the rest
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.relative) + " with " + c.token);
        std::string rest;
        EXPECT_EQ(ErrorText([&] { StripCSOrBTFromRelativeFileURL(c.relative, rest, c.token); }),
                  c.error);
    }
}

TEST(ApplyBacktrackToBaseURL, DropsOneLevelLessThanTheCount)
{
    struct Case {
        const char* base;
        int count;
        const char* out;
    };
    const Case cases[] = {
        {"http://host/a/b/", 1, "http://host/a/b/"},
        {"http://host/a/b/", 2, "http://host/a/"},
        {"http://host/a/b/", 3, "http://host/"},
        {"http://host:81/", 1, "http://host:81/"},
        {"https://host/a/b/", 1, "https://host/a/b/"},
        {"https://host/a/b/", 2, "https://host/a/"},
        {"https://host/a/b/", 3, "https://host/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " by " + std::to_string(c.count));
        std::string out = "unset";
        ApplyBacktrackToBaseURL(c.base, out, c.count);
        EXPECT_EQ(out, c.out);
    }

    std::string out = "untouched";
    ApplyBacktrackToBaseURL("http://host/a/b/", out, 0);
    EXPECT_EQ(out, "untouched");
}

TEST(ApplyBacktrackToBaseURL, RefusesCountsBeyondTheRootAndEmptyLevels)
{
    const std::string badCount = "Invalid backtrack count value passed into ApplyBacktrackToBaseURL";
    const std::string badBase = "Invalid backtrack count/base URL passed into ApplyBacktrackToBaseURL!";
    struct Case {
        const char* base;
        int count;
        const std::string& error;
    };
    const Case cases[] = {
        {"http://host/a/b/", -1, badCount},
        {"http://host/a/b/", 4, badBase},
        {"https://host/a/b/", 4, badBase},
        {"http://host/", 2, badBase},
        {"host", 1, badBase},
        {"", 1, badBase},
        {"http://host//", 1, badBase}, // empty directory level kept
        {"http://host/a//b/", 1, badBase},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " by " + std::to_string(c.count));
        std::string out;
        EXPECT_EQ(ErrorText([&] { ApplyBacktrackToBaseURL(c.base, out, c.count); }), c.error);
    }
}

// Each ctest case runs in a process of its own, so here the patterns are compiled for the
// first time by two threads racing each other.
TEST(UrlResolutionThreads, FirstUseFromTwoThreadsAtOnce)
{
    const int failures = qtest::RunAtOnce(2, [] {
        int wrong = 0;
        for (int i = 0; i < 200; ++i) {
            std::string fileName, extension;
            if (GetRelativeURLType("../img/a.jpg", fileName, extension) != 4 || extension != "jpg")
                ++wrong;
            if (GetRelativeURLType("//host:81/a.gif", fileName, extension) != 3)
                ++wrong;
            if (!IsAbsoluteHttpURL("https://host/") || GetBaseURL("http://h/a/b.jpg") != "http://h/a/")
                ++wrong;
        }
        return wrong;
    });
    EXPECT_EQ(failures, 0);
}

} // namespace
