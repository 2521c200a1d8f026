#pragma once
// Validation, classification and resolution of the link values found in a page.
// Every function reports bad input with std::runtime_error whose text names it.
#include <string>

// True when the trimmed text is an absolute address starting with lower-case "http://"
// or "https://" and holding no white space or double quote.
bool IsAbsoluteHttpURL(const std::string& url);

// The page's directory address, ending in "/"; keeps the page's scheme.
std::string GetBaseURL(const std::string& pageURL);

// scheme + "://" + host + "/".
std::string GetRootURL(const std::string& pageURL);

// Whether name is a usable file name; sets extension (without dot) when it is.
bool IsValidFileName(const std::string& name, std::string& extension);

// 0 unusable, 1 page-directory relative, 2 root relative, 3 network path, 4 "../", 5 "./".
int GetRelativeURLType(const std::string& value, std::string& fileName, std::string& extension);

void CombineBaseURLAndRelativeFileURL(const std::string& baseURL, const std::string& relativeURL,
                                      std::string& outURL);

// Counts and strips the leading `token` ("." or "..") segments of relativeURL.
int StripCSOrBTFromRelativeFileURL(const std::string& relativeURL, std::string& rest,
                                   const std::string& token);

void ApplyBacktrackToBaseURL(const std::string& baseURL, std::string& outURL, int count);
