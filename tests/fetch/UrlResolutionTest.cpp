#include "fetch/UrlResolution.h"
#include "support/Sandbox.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// The address `text` reads as, or "-" when it is not an absolute http or https address.
std::string Parsed(const std::string& text)
{
    HttpURL url;
    return ParseAbsoluteHttpURL(text, url) ? url.ToString() : "-";
}

// `reference` resolved against `base`, or "-" when it gives no web address.
std::string Resolved(const std::string& base, const std::string& reference)
{
    HttpURL out;
    return ResolveURL(ToAbsoluteHttpURL(base), reference, out) ? out.ToString() : "-";
}

struct Pair {
    const char* in;
    const char* out;
};

TEST(ParseAbsoluteHttpURL, ReadsHttpAndHttpsInAnyLetterCase)
{
    const Pair cases[] = {
        {"http://host", "http://host/"},
        {"http://host/a/b.jpg?x=1&y=2", "http://host/a/b.jpg?x=1&y=2"},
        {"https://host:8443/a/", "https://host:8443/a/"},
        {"  http://host/a.html \t\n", "http://host/a.html"},
        {"HTTP://HOST/Dir/A.html", "http://host/Dir/A.html"}, // the path keeps its case
        {"Https://host/", "https://host/"},
        {"http://host:80/a", "http://host/a"}, // default ports go
        {"https://host:443/a", "https://host/a"},
        {"http://host:443/a", "http://host:443/a"},
        {"http://host/a/../b/./c.jpg#top", "http://host/b/c.jpg"},
        {"http://user@host/a", "http://user@host/a"},
        {"http://[::1]:8080/a", "http://[::1]:8080/a"},
        {"http://host/a b.jpg", "http://host/a%20b.jpg"},
        {"ftp://host/a.jpg", "-"},
        {"mailto:someone@host", "-"},
        {"//host/a.jpg", "-"},
        {"/a.jpg", "-"},
        {"index.html", "-"},
        {"http://", "-"},
        {"http:///", "-"},
        {"http://host:99999/", "-"},
        {"http://host:8x/", "-"},
        {"http://ho st/", "-"},
        {"", "-"},
    };
    for (const Pair& c : cases)
        EXPECT_EQ(c.out, Parsed(c.in)) << c.in;
}

TEST(ToAbsoluteHttpURL, ThrowsTheFixedTextForAnythingElse)
{
    for (const char* bad : {"", "ftp://host/", "host/index.html", "http://"}) {
        try {
            ToAbsoluteHttpURL(bad);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ("Invalid string passed in for absolute URL!", e.what()) << bad;
        }
    }
}

// The reference resolution examples of RFC 3986 (section 5.4), with the fragment dropped
// from each result and "//g" given its root path as browsers write it.
TEST(ResolveURL, MatchesTheStandardsExamples)
{
    const std::string base = "http://a/b/c/d;p?q";
    const Pair cases[] = {
        {"g:h", "-"},
        {"g", "http://a/b/c/g"},
        {"./g", "http://a/b/c/g"},
        {"g/", "http://a/b/c/g/"},
        {"/g", "http://a/g"},
        {"//g", "http://g/"},
        {"?y", "http://a/b/c/d;p?y"},
        {"g?y", "http://a/b/c/g?y"},
        {"#s", "http://a/b/c/d;p?q"},
        {"g#s", "http://a/b/c/g"},
        {"g?y#s", "http://a/b/c/g?y"},
        {";x", "http://a/b/c/;x"},
        {"g;x", "http://a/b/c/g;x"},
        {"g;x?y#s", "http://a/b/c/g;x?y"},
        {"", "http://a/b/c/d;p?q"},
        {".", "http://a/b/c/"},
        {"./", "http://a/b/c/"},
        {"..", "http://a/b/"},
        {"../", "http://a/b/"},
        {"../g", "http://a/b/g"},
        {"../..", "http://a/"},
        {"../../", "http://a/"},
        {"../../g", "http://a/g"},
        {"../../../g", "http://a/g"},
        {"../../../../g", "http://a/g"},
        {"/./g", "http://a/g"},
        {"/../g", "http://a/g"},
        {"g.", "http://a/b/c/g."},
        {".g", "http://a/b/c/.g"},
        {"g..", "http://a/b/c/g.."},
        {"..g", "http://a/b/c/..g"},
        {"./../g", "http://a/b/g"},
        {"./g/.", "http://a/b/c/g/"},
        {"g/./h", "http://a/b/c/g/h"},
        {"g/../h", "http://a/b/c/h"},
        {"g;x=1/./y", "http://a/b/c/g;x=1/y"},
        {"g;x=1/../y", "http://a/b/c/y"},
        {"g?y/./x", "http://a/b/c/g?y/./x"},
        {"g?y/../x", "http://a/b/c/g?y/../x"},
        {"g#s/./x", "http://a/b/c/g"},
        {"g#s/../x", "http://a/b/c/g"},
        {"http:g", "http://a/b/c/g"},
    };
    for (const Pair& c : cases)
        EXPECT_EQ(c.out, Resolved(base, c.in)) << c.in;
}

TEST(ResolveURL, ReadsLinksAsBrowsersDo)
{
    const std::string page = "http://host/html/library/turtle.html";
    const Pair cases[] = {
        {"../_static/py.svg", "http://host/html/_static/py.svg"},
        {"./././y.jpg", "http://host/html/library/y.jpg"},
        {"./../x.jpg", "http://host/html/x.jpg"},
        {"a/./b/../c.jpg", "http://host/html/library/a/c.jpg"},
        {"%2e%2e/x.jpg", "http://host/html/x.jpg"}, // escaped dots are dots
        {".%2E/.%2e/x.jpg", "http://host/x.jpg"},
        {"apiref.html#module-x", "http://host/html/library/apiref.html"},
        {"photo.jpg?v=3", "http://host/html/library/photo.jpg?v=3"},
        {"photo.jpg?v=3#top", "http://host/html/library/photo.jpg?v=3"},
        {"HTTP://Other.Example/A.JPG", "http://other.example/A.JPG"},
        {"https://other/a.jpg", "https://other/a.jpg"},
        {"https:other/a.jpg", "https://other/a.jpg"},
        {"//cdn.example:8080/m.jpg", "http://cdn.example:8080/m.jpg"},
        {"\\\\cdn.example\\m.jpg", "http://cdn.example/m.jpg"}, // backslashes are slashes
        {"..\\x.jpg", "http://host/html/x.jpg"},
        {"  sub/r.jpg \n", "http://host/html/library/sub/r.jpg"},
        {"a\tb\nc.jpg", "http://host/html/library/abc.jpg"},
        {"my file.pdf", "http://host/html/library/my%20file.pdf"},
        {"my%20file.pdf", "http://host/html/library/my%20file.pdf"},
        {"caf\xc3\xa9.jpg", "http://host/html/library/caf%C3%A9.jpg"},
        {"a\"b<c>.jpg", "http://host/html/library/a%22b%3Cc%3E.jpg"},
        {"x.cgi?q=a b&t='1'", "http://host/html/library/x.cgi?q=a%20b&t=%271%27"},
        {"x", "http://host/html/library/x"},
        {"ftp://host/f.zip", "-"},
        {"mailto:someone@example.com", "-"},
        {"javascript:void(0)", "-"},
        {"JavaScript:go('a.jpg')", "-"},
        {"data:image/png;base64,AAAA", "-"},
        {"//", "-"},
        {"http://bad host/a.jpg", "-"},
        {"//host:port/a.jpg", "-"},
    };
    for (const Pair& c : cases)
        EXPECT_EQ(c.out, Resolved(page, c.in)) << c.in;

    // The scheme of a network-path link is the page's.
    EXPECT_EQ("https://cdn.example/m.jpg", Resolved("https://host/a/", "//cdn.example/m.jpg"));
    EXPECT_EQ("https://host/a/b.jpg", Resolved("https://host/a/", "b.jpg"));
    EXPECT_EQ("http://host/", Resolved("http://host", "../../.."));
}

TEST(PercentDecode, DecodesOnlyWholeEscapes)
{
    const Pair cases[] = {
        {"my%20file.pdf", "my file.pdf"}, {"%41%62", "Ab"}, {"100%", "100%"}, {"%zz%2", "%zz%2"}, {"%2f%2F", "//"},
        {"caf%C3%A9", "caf\xc3\xa9"},
    };
    for (const Pair& c : cases)
        EXPECT_EQ(c.out, PercentDecode(c.in)) << c.in;
}

struct NameCase {
    std::string link;
    std::string name; // "-" when the address names no file
    std::string extension;
};

std::vector<NameCase> NameCases()
{
    return {
        {"a.jpg", "a.jpg", "jpg"},
        {"IMG_1.JPG", "IMG_1.JPG", "JPG"},
        {"l.tar.gz", "l.tar.gz", "gz"},
        {"README", "README", ""},
        {"file.", "file.", ""},
        {".htaccess", ".htaccess", ""},
        {".config.json", ".config.json", "json"},
        {"my%20file.pdf", "my file.pdf", "pdf"},
        {"photo.jpg?v=3", "photo.jpg", "jpg"},
        {"page.php?id=1", "page.php", "php"},
        {"cgitb.html#cgitb.html", "cgitb.html", "html"},
        {"caf\xc3\xa9.jpg", "caf\xc3\xa9.jpg", "jpg"},
        {"caf%C3%A9.jpg", "caf\xc3\xa9.jpg", "jpg"},
        {"\xe5\x86\x99\xe7\x9c\x9f.png", "\xe5\x86\x99\xe7\x9c\x9f.png", "png"},
        {"x.j%20pg", "x.j pg", ""}, // no file type holds a blank
        {"x.%E5%86%99", "x.\xe5\x86\x99", ""},
        {"-rf.jpg", "-rf.jpg", "jpg"},
        {"a%2Fb.jpg", "a_b.jpg", "jpg"},
        {"%2F", "_", ""},
        {"..%2F..%2Fx.jpg", ".._.._x.jpg", "jpg"},
        {"..%2f..%2f..%2fetc%2fpasswd", ".._.._.._etc_passwd", "_etc_passwd"},
        {"a%00.jpg", "a_.jpg", "jpg"},
        {"a%0A%1F%7F.jpg", "a___.jpg", "jpg"},
        {"%2e%2e", "-", ""},
        {"%2e", "-", ""},
        {"..", "-", ""},
        {"dir/", "-", ""},
        {"?q=1", "turtle.html", "html"}, // the page itself with another query
    };
}

TEST(FileNameFromURL, IsTheDecodedLastSegment)
{
    const HttpURL page = ToAbsoluteHttpURL("http://host/html/library/turtle.html");
    for (const NameCase& c : NameCases()) {
        HttpURL url;
        ASSERT_TRUE(ResolveURL(page, c.link, url)) << c.link;
        std::string name = "stale", ext = "stale";
        const bool named = FileNameFromURL(url, name, ext);
        EXPECT_EQ(c.name != "-", named) << c.link;
        EXPECT_EQ(c.name == "-" ? "" : c.name, name) << c.link;
        EXPECT_EQ(c.extension, ext) << c.link;
    }
}

TEST(FileNameFromURL, LongNamesAreShortenedAndKeepTheirExtension)
{
    HttpURL url;
    ASSERT_TRUE(ResolveURL(ToAbsoluteHttpURL("http://host/"), std::string(300, 'n') + ".jpg", url));
    std::string name, ext;
    ASSERT_TRUE(FileNameFromURL(url, name, ext));
    EXPECT_EQ(200u, name.size());
    EXPECT_EQ(std::string(196, 'n') + ".jpg", name);
    EXPECT_EQ("jpg", ext);

    // A multi-byte character is never cut in half.
    std::string wide;
    for (int i = 0; i < 150; ++i)
        wide += "%C3%A9";
    ASSERT_TRUE(ResolveURL(ToAbsoluteHttpURL("http://host/"), wide + ".png", url));
    ASSERT_TRUE(FileNameFromURL(url, name, ext));
    EXPECT_LE(name.size(), 200u);
    EXPECT_EQ(0u, (name.size() - 4) % 2);
    EXPECT_EQ(".png", name.substr(name.size() - 4));
}

// Whatever the link, the name it gives can be created in the download folder and lands
// directly inside it.
TEST(FileNameFromURL, EveryNameStaysInsideTheFolder)
{
    qtest::TempFolder folder;
    std::vector<std::string> links;
    for (const NameCase& c : NameCases())
        links.push_back(c.link);
    for (const char* hostile : {"%2e%2e%2f%2e%2e%2fx.jpg", "..%5C..%5Cx.jpg", "%2F%2Fetc%2Fx.jpg", "%00", "%0a", "-",
                                "--help.jpg", "~%2F.bashrc", "%2e%2e%2f", "a/%2e%2e/%2e%2e/%2e%2e/b.jpg"})
        links.push_back(hostile);
    links.push_back(std::string(300, 'x') + "%2F.jpg");
    links.push_back(std::string(300, 'y'));

    const HttpURL page = ToAbsoluteHttpURL("http://host/a/b/");
    const std::filesystem::path dir = std::filesystem::canonical(folder.Dir());
    for (const std::string& link : links) {
        HttpURL url;
        std::string name, ext;
        if (!ResolveURL(page, link, url) || !FileNameFromURL(url, name, ext))
            continue;
        SCOPED_TRACE(link + " -> " + name);
        EXPECT_NE(std::string::npos, name.find_first_not_of('.'));
        EXPECT_EQ(std::string::npos, name.find('/'));
        const std::filesystem::path path = dir / name;
        EXPECT_EQ(dir, path.lexically_normal().parent_path());
        const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        EXPECT_GE(fd, 0);
        if (fd >= 0) {
            ::close(fd);
            std::filesystem::remove(path);
        }
    }
}

} // namespace
