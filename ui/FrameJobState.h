#pragma once
// Where the main window's page-request job stands; one value at a time.

enum FrameJobState : int {
    FJS_READY = 0,
    FJS_REQUESTING_PAGE = 1,
    FJS_CANCELING_PAGE = 2,
    FJS_CANCELING_PAGE_FOR_NEW_ADDRESS = 3,
    FJS_CLOSING_AFTER_PAGE_CANCEL = 4,
    FJS_DOWNLOADING = 5,
    FJS_CANCELING_DOWNLOADS = 6,
    FJS_CANCELING_DOWNLOADS_FOR_NEW_ADDRESS = 7,
    FJS_CLOSING_AFTER_DOWNLOAD_CANCEL = 8,
    FJS_CLOSED = 9,
};

// A job runs (or winds down) in states 1 to 8; any other value counts as ready.
inline bool IsJobState(int state) { return state >= FJS_REQUESTING_PAGE && state <= FJS_CLOSING_AFTER_DOWNLOAD_CANCEL; }

// The states in which the window waits for a cancel and takes no input.
inline bool IsCancelingState(int state)
{
    return state == FJS_CANCELING_PAGE || state == FJS_CANCELING_PAGE_FOR_NEW_ADDRESS ||
           state == FJS_CANCELING_DOWNLOADS || state == FJS_CANCELING_DOWNLOADS_FOR_NEW_ADDRESS;
}

// The status bar's text for the state; empty for FJS_CLOSED.
const char* FrameJobStateLabel(int state);
