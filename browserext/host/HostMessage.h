#pragma once
// What the extension sends the host and what the host answers, as JSON text.
//   request: {"address": "<page address>"}  (other members are ignored)
//   reply:   {"ok":true}  or  {"error": TEXT, "title": TITLE, "detail": WHY}
#include <string>

// Takes the address out of a request. False, with `why` set, if the text is not one JSON
// object, has no string member "address", or the address cannot travel as one argument.
bool ParseHostRequest(const std::string& json, std::string& address, std::string& why);

std::string OkReply();
// `detail` says what went wrong for someone reading the browser's log; empty leaves it out.
std::string ErrorReply(const std::string& text, const std::string& title, const std::string& detail = {});
