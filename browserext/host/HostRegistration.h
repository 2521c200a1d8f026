#pragma once
// The host manifests that tell a browser where quarrow-browser-host lives and which
// extension may start it, one per browser, in the current user's folders.
#include <string>
#include <vector>

// The host's name as the extension calls it: the component's version-independent ProgID in
// the lower case that browsers require of host names.
extern const char* const kHostName;
// The extension's ids: derived from the public key in its manifest (Chromium), and fixed in
// the manifest (Firefox).
extern const char* const kChromiumExtensionId;
extern const char* const kFirefoxExtensionId;

struct HostManifest {
    std::string browser; // "Chromium", "Google Chrome", "Firefox"
    std::string path;    // where the browser looks for it
    std::string text;    // the JSON it holds
};

// The manifests for a host binary at `hostPath` (absolute), under the current user's
// $XDG_CONFIG_HOME (Chromium, Google Chrome) and $HOME (Firefox).
std::vector<HostManifest> HostManifests(const std::string& hostPath);

// Writes every manifest (folders created as needed); false, with `error` naming the file,
// if one could not be written.
bool RegisterHost(const std::string& hostPath, std::string& error);
// Removes exactly the files RegisterHost writes, then their folder and the browser's folder
// above it when those are left empty; a file already gone is no failure.
bool UnregisterHost(std::string& error);
