#include "browserext/host/HostRegistration.h"

#include "helpers/AtomicFile.h"
#include "helpers/Json.h"
#include "helpers/UserFolders.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

const char* const kHostName = "vek_ie_tbextension.vekietbintegration";
const char* const kChromiumExtensionId = "fhngnpjldhnajkcaanhgpennnjpkcifn";
const char* const kFirefoxExtensionId = "quarrow@orlendi.org";

namespace {

// The component identity the host stands in for, kept where a manifest has room for it.
constexpr const char* kDescription =
    "Quarrow browser host: CVekIeTbIntegration Object, class {674CC1A8-3A39-421B-B075-68FA80DDAB9C}, "
    "VEK_IE_TBExtension.VekIeTbIntegration.1";

std::string ManifestText(const std::string& hostPath, const char* listName, const std::string& allowed)
{
    return std::string("{\n") + "  \"name\": " + HELPERS::JsonString(kHostName) + ",\n" +
           "  \"description\": " + HELPERS::JsonString(kDescription) + ",\n" +
           "  \"path\": " + HELPERS::JsonString(hostPath) + ",\n" + "  \"type\": \"stdio\",\n" + "  \"" + listName +
           "\": [" + HELPERS::JsonString(allowed) + "]\n" + "}\n";
}

std::string Folder(const std::string& file) { return file.substr(0, file.rfind('/')); }

} // namespace

std::vector<HostManifest> HostManifests(const std::string& hostPath)
{
    const std::string config = HELPERS::GetUserConfigFolder();
    const std::string file = std::string("/") + kHostName + ".json";
    const std::string chromiumOrigin = std::string("chrome-extension://") + kChromiumExtensionId + "/";
    const std::string chromium = ManifestText(hostPath, "allowed_origins", chromiumOrigin);
    return {
        {"Chromium", config + "/chromium/NativeMessagingHosts" + file, chromium},
        {"Google Chrome", config + "/google-chrome/NativeMessagingHosts" + file, chromium},
        {"Firefox", HELPERS::GetHomeFolder() + "/.mozilla/native-messaging-hosts" + file,
         ManifestText(hostPath, "allowed_extensions", kFirefoxExtensionId)},
    };
}

bool RegisterHost(const std::string& hostPath, std::string& error)
{
    for (const HostManifest& m : HostManifests(hostPath)) {
        if (!HELPERS::CreateFolderPath(Folder(m.path)) || !HELPERS::ReplaceFileAtomically(m.path, m.text)) {
            error = "could not write " + m.path;
            return false;
        }
    }
    return true;
}

bool UnregisterHost(std::string& error)
{
    bool ok = true;
    for (const HostManifest& m : HostManifests(std::string())) {
        if (::unlink(m.path.c_str()) != 0 && errno != ENOENT) {
            error +=
                (error.empty() ? "" : "; ") + std::string("could not remove ") + m.path + ": " + std::strerror(errno);
            ok = false;
            continue;
        }
        // The hosts folder, and the browser's folder above it, if registering made them and
        // nothing else lives there (rmdir refuses a folder that holds anything).
        std::string folder = m.path;
        for (int level = 0; level < 2; ++level) {
            folder.erase(folder.rfind('/'));
            if (::rmdir(folder.c_str()) != 0)
                break;
        }
    }
    return ok;
}
