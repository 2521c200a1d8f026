// The hand-written link classification against its regular-expression definition: every
// answer, captured extension, split and prefix group must be the same.
#include "fetch/UrlResolution.h"
#include "fetch/UrlResolutionReference.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The value with control and non-ASCII bytes spelt out, for failure messages.
std::string Shown(const std::string& s)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "'";
    for (char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F) {
            out += c;
        } else {
            out += "\\x";
            out += hex[u >> 4];
            out += hex[u & 15];
        }
    }
    if (out.size() > 120)
        out = out.substr(0, 100) + "...(" + std::to_string(s.size()) + " bytes)";
    return out + "'";
}

// Output strings start with this, so that "left alone" is compared too.
const std::string kUntouched = "<untouched>";

// Where Boost gives up on a value (it throws once its backtracking passes its limits),
// there is no reference answer to compare with.
struct Tally {
    long compared = 0;
    long regexGaveUp = 0;
};

// Runs `regex`; false if it threw.
template <typename F>
bool RegexAnswered(F&& regex, Tally& tally)
{
    try {
        regex();
    } catch (const std::runtime_error&) {
        ++tally.regexGaveUp;
        return false;
    }
    ++tally.compared;
    return true;
}

// Every matcher, and every public function built on them, on `s`. Returns the value
// of GetRelativeURLType, or -1 when the regex gave up on it.
int ExpectSameAsRegex(const std::string& s, Tally& tally)
{
    SCOPED_TRACE(Shown(s));
    using namespace URLMATCH;

    bool regexBool = false;
    if (RegexAnswered([&] { regexBool = RegexFileNameWithoutDot(s); }, tally)) {
        EXPECT_EQ(IsFileNameWithoutDot(s), regexBool) << "file name without dot";
    }

    std::string regexExt = kUntouched;
    if (RegexAnswered([&] { regexBool = RegexFileNameWithDots(s, regexExt); }, tally)) {
        std::string_view ext = kUntouched;
        EXPECT_EQ(MatchFileNameWithDots(s, ext), regexBool) << "file name with dots";
        EXPECT_EQ(std::string(ext), regexExt) << "group 4 of the file name with dots";
    }

    // The classification always hands these two a directory ending in "/".
    for (const std::string& d : {s, s + "/"}) {
        SCOPED_TRACE("directory " + Shown(d));
        int regexGroup = -2;
        if (RegexAnswered([&] { regexGroup = RegexRelativeDirectoryGroup(d); }, tally)) {
            EXPECT_EQ(RelativeDirectoryGroup(d), regexGroup) << "relative directory";
        }
        if (RegexAnswered([&] { regexBool = RegexNetworkPathWithPort(d); }, tally)) {
            EXPECT_EQ(IsNetworkPathWithPort(d), regexBool) << "network path with port";
        }
    }

    std::string regexDir = kUntouched;
    std::string regexName = kUntouched;
    const auto regexSplit = [&] {
        regexBool = RegexSplitDirAndLastComponent(s, regexDir, regexName);
    };
    if (RegexAnswered(regexSplit, tally)) {
        std::string_view dir = kUntouched;
        std::string_view name = kUntouched;
        EXPECT_EQ(SplitDirAndLastComponent(s, dir, name), regexBool) << "dir and last component";
        EXPECT_EQ(std::string(dir), regexDir);
        EXPECT_EQ(std::string(name), regexName);
    }

    if (RegexAnswered([&] { regexBool = RegexAbsoluteHttp(s); }, tally)) {
        EXPECT_EQ(MatchesAbsoluteHttp(s), regexBool) << "absolute http";
    }
    if (RegexAnswered([&] { regexBool = RegexIsAbsoluteHttpURL(s); }, tally)) {
        EXPECT_EQ(IsAbsoluteHttpURL(s), regexBool) << "IsAbsoluteHttpURL";
    }

    regexExt = kUntouched;
    if (RegexAnswered([&] { regexBool = RegexIsValidFileName(s, regexExt); }, tally)) {
        std::string ext = kUntouched;
        EXPECT_EQ(IsValidFileName(s, ext), regexBool) << "IsValidFileName";
        EXPECT_EQ(ext, regexExt) << "IsValidFileName extension";
    }

    int regexType = -1;
    std::string regexFileName = kUntouched;
    regexExt = kUntouched;
    const auto regexClassify = [&] {
        regexType = RegexGetRelativeURLType(s, regexFileName, regexExt);
    };
    if (!RegexAnswered(regexClassify, tally))
        return -1;
    std::string fileName = kUntouched;
    std::string ext = kUntouched;
    EXPECT_EQ(GetRelativeURLType(s, fileName, ext), regexType) << "GetRelativeURLType";
    EXPECT_EQ(fileName, regexFileName) << "GetRelativeURLType file name";
    EXPECT_EQ(ext, regexExt) << "GetRelativeURLType extension";
    return regexType;
}

std::string Repeat(const std::string& unit, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += unit;
    return out;
}

TEST(UrlClassificationEquivalence, HandPickedValues)
{
    std::vector<std::string> values = {
        "", "/", "//", "///", ".", "..", "...", "./", "../", ".../", "a", "a.jpg", ".jpg", "a.",
        "a..", "a..b", "a.b.c", ".htaccess", "README", "x", "ab",
        // Prefixes and their chains.
        "/a.jpg", "/img/a.jpg", "//a.jpg", "//host/a.jpg", "//host/img/a.jpg", "///a.jpg",
        "////host/a.jpg", "./a.jpg", "././a.jpg", "./././img/a.jpg", "../a.jpg", "../../a.jpg",
        "../../../img/b/a.jpg", "./../a.jpg", "../ ./a.jpg", ".././a.jpg", "../img/../a.jpg",
        "img/./a.jpg", "img/../a.jpg", "/./a.jpg", "/../a.jpg", "//./a.jpg", ".//a.jpg",
        "..//a.jpg", "../", "./", "img/", "/img/", "//img/", ".a/b.jpg", "a./b.jpg", "a.b/c.jpg",
        "a..b/c.jpg", "a/.b/c.jpg", "./.a/b.jpg", "../.a/b.jpg", "..a/b.jpg", "...a/b.jpg",
        // Empty segments.
        "a//b", "a//b.jpg", "/a//b.jpg", "//a//b.jpg", "./a//b.jpg", "../a//b.jpg", "a///b",
        // Network paths with ports.
        "//host:81/a.jpg", "//host:81/", "//host:81", "//host:81/img/a.jpg", "//host:81/img//a.jpg",
        "//h.example.com:8080/a/b/c.png", "//host:/a.jpg", "//host:1/a.jpg", "//host:123456/a.jpg",
        "//host:1234567/a.jpg", ":1234567", "//:81/a.jpg", "//.host:81/a.jpg", "//host.:81/a.jpg",
        "//ho..st:81/a.jpg", "//host:81:82/a.jpg", "//host:8a/a.jpg", "//host:81a/a.jpg",
        "//host:81/./a.jpg", "//host:81/../a.jpg", "//host:81/.a/b.jpg", "//host: 81/a.jpg",
        "//user@host:81/a.jpg", "//[::1]:81/a.jpg", "//host:\xD9\xA1/a.jpg", "host:81/a.jpg",
        "/host:81/a.jpg", "./host:81/a.jpg", "//host:81/a:b/c.jpg", "//host:81/?/a.jpg",
        "//host:0000000/", "//h:1/", "//h:1//",
        // Trailing dots and slashes.
        "a.jpg.", "img./a.jpg", "img../a.jpg", "a/b.", "a/b..", "a/.", "a/..", "a/...", "a/b/",
        "a/b//",
        // Blanks, question marks and other excluded bytes.
        " a.jpg", "a.jpg ", " \t\n\v\f\ra.jpg\r\n", "a b.jpg", "img/a b.jpg", "img /a.jpg",
        " /a.jpg ", " //host/a.jpg", "\t../a.jpg", "page.php?id=1", "a?.jpg", "img?/a.jpg",
        "a\"b.jpg", "a:b.jpg", "a*b.jpg", "a|b.jpg", "a<b.jpg", "a\\b.jpg", "a\x7F.jpg",
        std::string("a\0b.jpg", 7), std::string("img\0/a.jpg", 10), std::string("\0", 1),
        // Newlines inside: "." of the split matches them, no name character is one.
        "img\n/a.jpg", "img/\na.jpg", "a\nb", "a.\njpg", "\n/a.jpg", "a/b\nc/d.jpg",
        "http://host/a\n.jpg", "img/a.jp\ng", "./\n/a.jpg",
        // Non-ASCII bytes.
        "\xC3\xA9t\xC3\xA9.jpg", "img/\xC3\xA9.jpg", "\xC3\xA9/a.jpg", "a.\xC3\xA9",
        "\xA0" "a.jpg\xA0", "\x85" "a.jpg", "\xFF", "\x80/a.jpg", "a\xE2\x80\x8B.jpg",
        // Absolute addresses.
        "http://host/a.jpg", "https://host/a.jpg", "http://", "https://", "http:///", "http://\"",
        "http://a b", "https:/host", "HTTP://host/", "httpss://host", "http://host\x0B",
        " http://host/a.jpg\t", "http://h\xC3\xA9", "ftp://host/a.jpg", "mailto:a@b.c",
        "javascript:void(0)", "#top", "a.jpg#top", "a.jpg?x=1",
    };
    // Every one of the 22 punctuation characters: alone, inside a name, first and last,
    // in a directory segment, in a host and after the last dot.
    for (char c : std::string("'~`!@#$%&^_+=(){},-[];")) {
        const std::string p(1, c);
        for (const std::string& v :
             {p, "a" + p + "b.jpg", p + "a.jpg", "a.jp" + p, "a." + p, p + ".jpg",
              "d" + p + "/a.jpg", p + "/a.jpg", "./" + p + "/a.jpg", "../" + p + ".d/a.jpg",
              "//h" + p + ":81/a.jpg", "//" + p + ":81/" + p + "/a.jpg",
              "/" + p + "." + p + "/" + p})
            values.push_back(v);
    }
    // Long values the regexes still answer.
    values.push_back(Repeat("a", 3000) + ".jpg");
    values.push_back("a." + Repeat("b", 3000));
    values.push_back(Repeat("ab.", 300) + "jpg");
    values.push_back(Repeat("d/", 2000) + "a.jpg");
    values.push_back(Repeat("../", 1000) + "img/a.jpg");
    values.push_back(Repeat("./", 1000) + "a.jpg");
    values.push_back("//host:81/" + Repeat("d.e/", 500) + "a.jpg");
    values.push_back(Repeat(" ", 5000) + "a.jpg" + Repeat("\t", 5000));

    Tally tally;
    for (const std::string& v : values)
        ExpectSameAsRegex(v, tally);
    // Every value here is one the regexes answer, long ones included.
    EXPECT_EQ(tally.regexGaveUp, 0);
    EXPECT_GT(tally.compared, static_cast<long>(values.size()) * 10);
}

// Deterministic, and the same on every platform (unlike the standard distributions).
class SplitMix {
public:
    explicit SplitMix(std::uint64_t seed) : m_state(seed) {}
    std::uint64_t Next()
    {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }

private:
    std::uint64_t m_state;
};

// Random values, letter by letter and piece by piece; the tally of outcomes shows that
// the generator reaches every kind of value, so that agreement means something.
TEST(UrlClassificationEquivalence, GeneratedValues)
{
    // Slashes and dots weigh more; a few bytes outside the name set.
    const std::vector<std::string> letters = {
        "/", "/", "/", "/", ".", ".", ".", ":", "0", "7", "9", "a", "b", "Z", "'", "~", "#",
        "(", "]", ";", "-", "_", "?", " ", "\"", "\n", "\t", "\xC3", "\xA9",
    };
    const std::vector<std::string> pieces = {
        "/", "//", "./", "../", ".", "..", "a", "img", "b.c", "a.jpg", ".gif", "x~y", "h",
        ":81", ":8", ":1234567", ":", "http://", "https://", "?", " ", "\n", "\xC3\xA9", "%20",
        "[1]", "(", "/", "./", "../", "//h/", "//h:81/", "//", "/",
    };

    const std::vector<std::string> prefixes = {
        "", "", "/", "//", "./", "../", "././", "../../", "//h:81/", "./../", "//h.e:123456/",
    };
    const std::vector<std::string> names = {
        "a", "img", "b.c", "a.jpg", "x~y", "[1]", "p.tar.gz", "_d-e", "Z9",
    };

    SplitMix random(20240611);
    std::map<int, long> types;
    std::map<int, long> groups;
    Tally tally;
    for (int i = 0; i < 40000; ++i) {
        std::string value;
        if (i % 3 == 0) {
            const std::size_t n = random.Below(19);
            for (std::size_t k = 0; k < n; ++k)
                value += letters[random.Below(letters.size())];
        } else if (i % 3 == 1) {
            const std::size_t n = random.Below(9);
            for (std::size_t k = 0; k < n; ++k)
                value += pieces[random.Below(pieces.size())];
        } else {
            // Shaped like a link (prefix, directories, name), with the odd letter swapped.
            value = prefixes[random.Below(prefixes.size())];
            for (std::size_t k = random.Below(4); k > 0; --k)
                value += names[random.Below(names.size())] + "/";
            value += names[random.Below(names.size())];
            if (!value.empty() && random.Below(2) == 0)
                value[random.Below(value.size())] = letters[random.Below(letters.size())][0];
        }
        ++types[ExpectSameAsRegex(value, tally)];
        ++groups[URLMATCH::RelativeDirectoryGroup(value + "/")];
        if (HasFailure())
            break; // the first few disagreements say enough
    }

    for (int type = 0; type <= 5; ++type)
        EXPECT_GT(types[type], 20) << "values of type " << type;
    for (int group : {-1, 0, 2, 3, 4, 5})
        EXPECT_GT(groups[group], 20) << "directories with group " << group;
    EXPECT_GT(tally.compared, 40000L * 10);
    EXPECT_LT(tally.regexGaveUp * 1000, tally.compared) << "values too hard for the regexes";
}

// The regexes backtrack through every way of cutting a long segment chain, and Boost
// throws once that passes its limits. The documented contract is that classification
// never throws: the matchers give the answer the pattern defines, whatever the length.
TEST(UrlClassificationEquivalence, LongValuesWhereTheRegexMayGiveUp)
{
    const std::string chain = Repeat(Repeat("a", 20) + "/", 8);
    struct Case {
        std::string value;
        int type;
        const char* fileName;
        const char* extension;
    };
    const Case cases[] = {
        // A bad byte after many segments: nothing to match.
        {chain + "?/a.jpg", 0, "a.jpg", "jpg"},
        {"../" + chain + "a b/a.jpg", 0, "a.jpg", "jpg"},
        {"//host:81/" + chain + "?/a.jpg", 0, "a.jpg", "jpg"},
        {Repeat("a", 600) + ".", 0, kUntouched.c_str(), ""},
        // Chains long enough to exhaust the regex's backtracking stack.
        {Repeat("a/", 100000) + "a.jpg", 1, "a.jpg", "jpg"},
        {Repeat("../", 100000) + "a.jpg", 4, "a.jpg", "jpg"},
        {"//host/" + Repeat("a/", 100000) + "a.jpg", 3, "a.jpg", "jpg"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Shown(c.value));
        std::string fileName = kUntouched;
        std::string extension = kUntouched;
        EXPECT_EQ(GetRelativeURLType(c.value, fileName, extension), c.type);
        EXPECT_EQ(fileName, c.fileName);
        EXPECT_EQ(extension, c.extension);

        // Should a regex engine cope with the value after all, it must agree.
        std::string regexFileName = kUntouched;
        std::string regexExtension = kUntouched;
        try {
            EXPECT_EQ(URLMATCH::RegexGetRelativeURLType(c.value, regexFileName, regexExtension),
                      c.type);
            EXPECT_EQ(regexFileName, c.fileName);
            EXPECT_EQ(regexExtension, c.extension);
        } catch (const std::runtime_error&) {
        }
    }

    std::string extension = kUntouched;
    EXPECT_FALSE(IsValidFileName(Repeat("a", 600) + ".", extension));
    EXPECT_FALSE(IsValidFileName(Repeat("a", 600) + ".b?", extension));
    EXPECT_EQ(extension, kUntouched);
    EXPECT_TRUE(IsValidFileName(Repeat("a.", 60000) + "png", extension));
    EXPECT_EQ(extension, "png");
}

} // namespace
