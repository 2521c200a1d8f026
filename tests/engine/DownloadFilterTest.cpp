#include "engine/DownloadFilter.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>
#include <string>

namespace {

using Set = std::set<std::string>;
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

// Runs `call` and returns the text of the DFException it throws ("" if none).
template <typename F>
std::string DFErrorText(F&& call)
{
    try {
        call();
    } catch (const DFException& e) {
        return e.what();
    }
    return "";
}

TEST(DownloadFilter, DefaultsAllowEveryWellFormedPatternAndEverySize)
{
    const CDownloadFilter filter;
    EXPECT_FALSE(filter.m_bUseInclude);
    EXPECT_FALSE(filter.m_bUseExclude);
    EXPECT_TRUE(filter.GetIncludeExtensions().empty());
    EXPECT_TRUE(filter.GetExcludeExtensions().empty());
    EXPECT_EQ(filter.GetMinFileSize(), 0);
    EXPECT_EQ(filter.GetMaxFileSize(), kMax);
    EXPECT_TRUE(filter.IsExtensionAllowed("*.jpg"));
    EXPECT_TRUE(filter.IsExtensionAllowed("*.HTM"));
    EXPECT_TRUE(filter.IsSizeAllowed(0));
    EXPECT_TRUE(filter.IsSizeAllowed(kMax));
    EXPECT_FALSE(filter.IsSizeAllowed(-1));
}

TEST(DownloadFilter, IncludeIsAWhitelistAndExcludeVetoesIt)
{
    struct Case {
        const char* include;
        bool useInclude;
        const char* exclude;
        bool useExclude;
        const char* pattern;
        bool allowed;
    };
    const Case cases[] = {
        {"*.jpg|*.gif", true, "*.htm", false, "*.gif", true},
        // Letter case is folded on both sides.
        {"*.jpg|*.gif", true, "*.htm", false, "*.GIF", true},
        {"*.JPG|*.gif", true, "*.htm", false, "*.jpg", true},
        {"*.jpg", true, "*.HTM", true, "*.htm", false},
        {"*.jpg|*.gif", true, "*.htm", false, "*.png", false},
        {"*.jpg", true, "*.jpg", true, "*.jpg", false},
        {"*.jpg|*.gif", true, "*.gif", true, "*.jpg", true},
        {"*.jpg", false, "*.htm", true, "*.htm", false},
        {"*.jpg", false, "*.htm", true, "*.png", true},
        {"*.jpg", false, "*.htm", false, "*.htm", true},
        {"*.jpg", false, "*.htm", false, "*.zzz", true},
        {"*.jpg", true, "*.htm", false, "*.htm", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("include ") + c.include + (c.useInclude ? " (on)" : " (off)") + ", exclude " +
                     c.exclude + (c.useExclude ? " (on)" : " (off)") + ", " + c.pattern);
        CDownloadFilter filter;
        filter.SetIncludeExtensions(c.include);
        filter.SetExcludeExtensions(c.exclude);
        filter.m_bUseInclude = c.useInclude;
        filter.m_bUseExclude = c.useExclude;
        EXPECT_EQ(filter.IsExtensionAllowed(c.pattern), c.allowed);
    }
}

TEST(DownloadFilter, EmptyIncludeSetInForceRefusesEverything)
{
    CDownloadFilter filter;
    filter.m_bUseInclude = true;
    EXPECT_FALSE(filter.IsExtensionAllowed("*.jpg"));
}

TEST(DownloadFilter, MalformedPatternThrowsWhateverTheFlags)
{
    const char* bad[] = {
        "*.tar.gz", "jpg",    ".jpg",   "*.",     "*",     "",      "*jpg",   "**.jpg",
        "*.jp g",   " *.jpg", "*.jpg ", "*.jpg/", "*.j?g", "*.j:g", "*.j\"g", "*.\xC3\xA9",
    };
    for (bool useInclude : {false, true}) {
        for (const char* pattern : bad) {
            SCOPED_TRACE(std::string("'") + pattern + "' include " + (useInclude ? "on" : "off"));
            CDownloadFilter filter;
            filter.m_bUseInclude = useInclude;
            filter.m_bUseExclude = true;
            EXPECT_EQ(DFErrorText([&] { filter.IsExtensionAllowed(pattern); }), "Bad extension string");
        }
    }
}

TEST(DownloadFilter, ListTextsKeepEveryPunctuationOfTheExtensionClass)
{
    CDownloadFilter filter;
    filter.SetIncludeExtensions("*.jpg|*.jpg|*.JPG|*.a'~`!@#$%&^_+=(){},-[];9");
    EXPECT_EQ(filter.GetIncludeExtensions(),
              (Set{"*.a'~`!@#$%&^_+=(){},-[];9", "*.jpg"})); // duplicates collapse, in lower case
    filter.m_bUseInclude = true;
    EXPECT_TRUE(filter.IsExtensionAllowed("*.a'~`!@#$%&^_+=(){},-[];9"));
}

TEST(DownloadFilter, BadListThrowsAndKeepsThePreviousSet)
{
    const char* bad[] = {
        "*.jpg|",       "|*.jpg",       "*.jpg||*.gif", "",          "|",
        "*.jpg| *.gif", "*.jpg |*.gif", "*.jpg,*.gif",  "*.jpg|gif", "*.jpg|*.tar.gz",
    };
    for (const char* list : bad) {
        SCOPED_TRACE(std::string("'") + list + "'");
        CDownloadFilter filter;
        filter.SetIncludeExtensions("*.jpg|*.gif");
        filter.SetExcludeExtensions("*.htm");
        EXPECT_EQ(DFErrorText([&] { filter.SetIncludeExtensions(list); }), "Bad include extension string");
        EXPECT_EQ(DFErrorText([&] { filter.SetExcludeExtensions(list); }), "Bad exclude extension string");
        EXPECT_EQ(filter.GetIncludeExtensions(), (Set{"*.gif", "*.jpg"}));
        EXPECT_EQ(filter.GetExcludeExtensions(), (Set{"*.htm"}));
    }
}

TEST(DownloadFilter, GoodListReplacesThePreviousSet)
{
    CDownloadFilter filter;
    filter.SetExcludeExtensions("*.htm|*.php");
    filter.SetExcludeExtensions("*.asp");
    EXPECT_EQ(filter.GetExcludeExtensions(), (Set{"*.asp"}));
}

TEST(DownloadFilter, IncludeSetIsTakenWithoutValidation)
{
    CDownloadFilter filter;
    filter.SetIncludeExtensions("*.gif");
    filter.SetIncludeExtensionSet({"*.jpg", "not a pattern"});
    EXPECT_EQ(filter.GetIncludeExtensions(), (Set{"*.jpg", "not a pattern"}));
    filter.m_bUseInclude = true;
    EXPECT_TRUE(filter.IsExtensionAllowed("*.jpg"));
    EXPECT_FALSE(filter.IsExtensionAllowed("*.gif"));
}

// The lists the controller starts with must parse and mean what they say.
TEST(DownloadFilter, ControllerDefaultListsParse)
{
    CDownloadFilter filter;
    filter.SetIncludeExtensions("*.jpg|*.jpeg|*.bmp|*.gif|*.tiff|*.wmv|*.mpg|*.mpeg|*.avi|*.mov");
    filter.SetExcludeExtensions("*.html|*.htm|*.jsp|*.asp|*.php");
    filter.m_bUseInclude = true;
    filter.m_bUseExclude = true;
    EXPECT_EQ(filter.GetIncludeExtensions().size(), 10u);
    EXPECT_EQ(filter.GetExcludeExtensions().size(), 5u);
    EXPECT_TRUE(filter.IsExtensionAllowed("*.jpg"));
    EXPECT_TRUE(filter.IsExtensionAllowed("*.mov"));
    EXPECT_FALSE(filter.IsExtensionAllowed("*.htm"));
    EXPECT_FALSE(filter.IsExtensionAllowed("*.png"));
}

TEST(DownloadFilter, SizeBoundsAreInclusive)
{
    struct Case {
        std::int64_t min;
        std::int64_t max;
        std::int64_t size;
        bool allowed;
    };
    const Case cases[] = {
        {100, 200, 100, true},  {100, 200, 200, true},  {100, 200, 150, true},
        {100, 200, 99, false},  {100, 200, 201, false}, {0, 0, 0, true}, // a maximum of 0 lets only empty files through
        {0, 0, 1, false},       {0, kMax, kMax, true},  {0, kMax, -1, false},
        {0, kMax, kMin, false}, {200, 100, 150, false}, // min above max: nothing passes
        {200, 100, 100, false}, {200, 100, 200, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.min) + ".." + std::to_string(c.max) + " size " + std::to_string(c.size));
        CDownloadFilter filter;
        filter.SetMinFileSize(c.min);
        filter.SetMaxFileSize(c.max);
        EXPECT_EQ(filter.IsSizeAllowed(c.size), c.allowed);
    }
}

TEST(DownloadFilter, NegativeSizesThrowAndKeepTheBounds)
{
    for (std::int64_t bad : {std::int64_t{-1}, kMin}) {
        SCOPED_TRACE(bad);
        CDownloadFilter filter;
        filter.SetMinFileSize(10);
        filter.SetMaxFileSize(20);
        EXPECT_EQ(DFErrorText([&] { filter.SetMinFileSize(bad); }), "Bad min file size");
        EXPECT_EQ(DFErrorText([&] { filter.SetMaxFileSize(bad); }), "Bad max file size");
        EXPECT_EQ(filter.GetMinFileSize(), 10);
        EXPECT_EQ(filter.GetMaxFileSize(), 20);
    }
}

TEST(DownloadFilter, ExceptionIsAStandardException)
{
    CDownloadFilter filter;
    try {
        filter.SetMinFileSize(-5);
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Bad min file size");
    }
}

// Each ctest case runs in a process of its own, so the pattern is compiled here for the
// first time by two threads racing each other.
TEST(DownloadFilterThreads, FirstUseFromTwoThreadsAtOnce)
{
    CDownloadFilter filter;
    filter.SetIncludeExtensionSet({"*.jpg"});
    filter.m_bUseInclude = true;
    const int failures = qtest::RunAtOnce(2, [&] {
        int wrong = 0;
        for (int i = 0; i < 200; ++i) {
            if (!filter.IsExtensionAllowed("*.jpg") || filter.IsExtensionAllowed("*.gif") ||
                CDownloadFilter::IsWellFormedPattern("*.a.b"))
                ++wrong;
        }
        return wrong;
    });
    EXPECT_EQ(failures, 0);
}

} // namespace
