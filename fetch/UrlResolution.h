#pragma once
// Web addresses as a browser reads them: parsing of absolute http and https addresses,
// resolution of the link values found in a page against the page's address, and the
// file name a link is saved under.
#include <string>
#include <string_view>

// An absolute http or https address in its usual form: scheme and host in lower case,
// no default port, no dot segments, no fragment, and every byte that may not stand in
// an address percent-encoded.
struct HttpURL {
    std::string scheme;    // "http" or "https"
    std::string authority; // [userinfo@]host[:port]
    std::string path;      // always starts with "/"
    std::string query;     // "?..." when the address has a query, else empty

    std::string ToString() const { return scheme + "://" + authority + path + query; }
};

// Reads `text` as an absolute http or https address (scheme in any letter case).
// False for anything else, and for a missing host or a bad port.
bool ParseAbsoluteHttpURL(std::string_view text, HttpURL& out);

// True when ParseAbsoluteHttpURL accepts the text.
bool IsAbsoluteHttpURL(std::string_view text);

// The address in its usual form; throws std::runtime_error "Invalid string passed in for
// absolute URL!" when it is not an absolute http or https address.
HttpURL ToAbsoluteHttpURL(std::string_view text);

// Resolves a link value against `base` as a browser does: "../" climbs one directory per
// segment, "./" stays, "//host/x" takes the base's scheme, a "#fragment" is dropped and a
// "?query" kept. False when the result is not an http or https address (other schemes,
// a bad host or port).
bool ResolveURL(const HttpURL& base, std::string_view reference, HttpURL& out);

// %XX sequences replaced by their bytes; a "%" not followed by two hex digits stays.
std::string PercentDecode(std::string_view text);

// The name a file at `url` is saved under: the percent-decoded last path segment. A "/",
// NUL or control character in it becomes "_" and an over-long name is shortened (keeping
// its extension), so that the name always stays inside the download folder. `extension`
// is the text after the last dot (not a leading one), or empty when there is none or when
// it holds a character no file type can be written with. False, with both strings empty,
// when the address names no file (its path ends in "/").
bool FileNameFromURL(const HttpURL& url, std::string& fileName, std::string& extension);
