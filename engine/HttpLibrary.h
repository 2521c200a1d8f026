#pragma once

// libcurl's global state, counted: every InitHttpLibrary needs one ReleaseHttpLibrary.
// Call from the main thread before any fetch, while no other thread uses libcurl.
bool InitHttpLibrary();
void ReleaseHttpLibrary();
