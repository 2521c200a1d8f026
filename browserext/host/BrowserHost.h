#pragma once
// The host's side of the conversation with the extension.
#include <string>

// Error texts and titles the extension shows the user.
constexpr const char* kNotFoundText = "Could not locate Quarrow!";
constexpr const char* kNotFoundTitle = "Error Launching Quarrow";
constexpr const char* kLaunchFailedText = "Could not launch Quarrow";
constexpr const char* kLaunchFailedTitle = "Error";

// Starts the program stored as ProgramPath (current user's store first, then the local
// machine's) on `address` and returns the reply for the extension.
std::string HarvestAddress(const std::string& address);

// Answers requests from `in` on `out` until the input ends. A message too large or cut
// short leaves the stream out of step, so it is answered and ends the conversation.
// Returns the process exit status: 0 after a clean end of input, 1 otherwise.
int ServeBrowser(int in, int out);
