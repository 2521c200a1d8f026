#include "browserext/host/BrowserHost.h"

#include "browserext/host/HostMessage.h"
#include "browserext/host/NativeMessaging.h"
#include "browserext/host/ProgramLauncher.h"
#include "helpers/Registry.h"
#include "helpers/RegistryValues.h"

#include <cstring>

std::string HarvestAddress(const std::string& address)
{
    const std::string program = HELPERS::ReadRegistryString(HELPERS::kProgramPathValue);
    if (program.empty())
        return ErrorReply(kNotFoundText, kNotFoundTitle, std::string("no ") + HELPERS::kProgramPathValue);
    // One argument per element: whatever blanks, quotes or semicolons the address holds,
    // it reaches the program as the single value of --url.
    const int rc = LaunchDetached({program, "-o", "--url", address});
    if (rc != 0)
        return ErrorReply(kLaunchFailedText, kLaunchFailedTitle, program + ": " + std::strerror(rc));
    return OkReply();
}

int ServeBrowser(int in, int out)
{
    for (;;) {
        std::string body;
        switch (ReadFrame(in, body)) {
        case FrameResult::End: return 0;
        case FrameResult::ReadError: return 1;
        case FrameResult::TooLarge:
            WriteFrame(out, ErrorReply(kLaunchFailedText, kLaunchFailedTitle, "message is larger than 1 MiB"));
            return 1;
        case FrameResult::CutShort:
            WriteFrame(out, ErrorReply(kLaunchFailedText, kLaunchFailedTitle, "message cut short"));
            return 1;
        case FrameResult::Message: break;
        }
        std::string address, why;
        const std::string reply = ParseHostRequest(body, address, why)
                                      ? HarvestAddress(address)
                                      : ErrorReply(kLaunchFailedText, kLaunchFailedTitle, why);
        if (!WriteFrame(out, reply))
            return 1;
    }
}
