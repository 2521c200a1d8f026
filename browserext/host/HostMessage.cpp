#include "browserext/host/HostMessage.h"

#include "helpers/AsciiText.h"
#include "helpers/Json.h"

namespace {

bool IsWebAddress(const std::string& address)
{
    const std::string lower = HELPERS::ToLowerAscii(address.substr(0, 8));
    return lower.starts_with("http://") || lower.starts_with("https://");
}

} // namespace

bool ParseHostRequest(const std::string& json, std::string& address, std::string& why)
{
    address.clear();
    HELPERS::JsonValue request;
    try {
        request = HELPERS::JsonReader::Parse(json);
    } catch (const std::runtime_error& e) {
        why = std::string("message is not valid JSON: ") + e.what();
        return false;
    }
    if (request.type != HELPERS::JsonValue::Object) {
        why = "message is not a JSON object";
        return false;
    }
    if (!request.Has("address") || request["address"].type != HELPERS::JsonValue::String) {
        why = "message has no address";
        return false;
    }
    // The address becomes one argument of the program's command line: it cannot hold a zero
    // byte, and only a web address is passed, so it can never read as an option.
    const std::string& text = request["address"].text;
    if (text.find('\0') != std::string::npos) {
        why = "address holds a zero byte";
        return false;
    }
    if (!IsWebAddress(text)) {
        why = "address is not an http or https address";
        return false;
    }
    address = text;
    return true;
}

std::string OkReply() { return "{\"ok\":true}"; }

std::string ErrorReply(const std::string& text, const std::string& title, const std::string& detail)
{
    std::string reply = "{\"error\":" + HELPERS::JsonString(text) + ",\"title\":" + HELPERS::JsonString(title);
    if (!detail.empty())
        reply += ",\"detail\":" + HELPERS::JsonString(detail);
    return reply + '}';
}
