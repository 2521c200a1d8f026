#pragma once
// Link classification as its regular expressions define it, next to the hand-written
// matchers that replace them on the hot path (one call per link of a page). The regex
// versions are the reference: slow, and on long values Boost may give up with an
// exception. Only the equivalence test uses them.
#include <string>
#include <string_view>

namespace URLMATCH {

// The name character set: ASCII letters, digits and ' ~ ` ! @ # $ % & ^ _ + = ( ) { } , - [ ] ;
// Shared by the file-name, relative-directory and network-path patterns.
extern const char* const kFileNameWithoutDotPattern;
extern const char* const kFileNameWithDotsPattern;
extern const char* const kRelativeDirectoryPattern;
extern const char* const kNetworkPathWithPortPattern;
extern const char* const kDirAndLastComponentPattern;
extern const char* const kAbsoluteHttpPattern;

// Hand-written matchers (UrlResolution.cpp); each answers exactly as its pattern does
// under a whole-string match, and never throws.
bool IsFileNameWithoutDot(std::string_view s);
// On a match, `extension` is group 4: the name characters after the last dot.
bool MatchFileNameWithDots(std::string_view s, std::string_view& extension);
// -1 no match; 0 a match in which none of groups 2 to 5 took part; else the group that did
// (2 "/", 3 "//", 4 "./" segments, 5 "../" segments).
int RelativeDirectoryGroup(std::string_view d);
bool IsNetworkPathWithPort(std::string_view d);
// Everything before the last "/" and the non-empty rest; false if there is no such split.
bool SplitDirAndLastComponent(std::string_view t, std::string_view& dir, std::string_view& name);
// The trimmed text against the absolute-address pattern.
bool MatchesAbsoluteHttp(std::string_view trimmed);

// The same questions answered by Boost.Regex (UrlResolutionReference.cpp).
bool RegexFileNameWithoutDot(const std::string& s);
bool RegexFileNameWithDots(const std::string& s, std::string& extension);
int RegexRelativeDirectoryGroup(const std::string& d);
bool RegexNetworkPathWithPort(const std::string& d);
bool RegexSplitDirAndLastComponent(const std::string& t, std::string& dir, std::string& name);
bool RegexAbsoluteHttp(const std::string& trimmed);

// The public functions of UrlResolution.h as they were written with the patterns.
bool RegexIsAbsoluteHttpURL(const std::string& url);
bool RegexIsValidFileName(const std::string& name, std::string& extension);
int RegexGetRelativeURLType(const std::string& value, std::string& fileName,
                            std::string& extension);

} // namespace URLMATCH
