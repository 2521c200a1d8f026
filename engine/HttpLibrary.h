#pragma once
// libcurl's global state. InitHttpLibrary and CleanupHttpLibrary are idempotent (one flag
// under one process-wide lock) and may be called from any thread: the desktop program
// initialises before every retrieval and cleans up after each finished job and at exit.

bool InitHttpLibrary();
void CleanupHttpLibrary();

// Held by a job's worker for as long as it owns libcurl handles. A cleanup asked for
// meanwhile is carried out when the last holder lets go, so the global state is never
// torn down under a live handle.
class CHttpLibraryUse {
public:
    CHttpLibraryUse();
    ~CHttpLibraryUse();
    CHttpLibraryUse(const CHttpLibraryUse&) = delete;
    CHttpLibraryUse& operator=(const CHttpLibraryUse&) = delete;
};

// For tests: whether libcurl's global state is up, and how many holders there are.
bool IsHttpLibraryUp();
int HttpLibraryUsers();
