#include "ui/FrameJobState.h"

#include "engine/Ombrex.h"

const char* FrameJobStateLabel(int state)
{
    switch (state) {
    case FJS_REQUESTING_PAGE: return DownloaderStateLabel(DS_FETCHING_PAGE);
    case FJS_CANCELING_PAGE:
    case FJS_CANCELING_PAGE_FOR_NEW_ADDRESS:
    case FJS_CLOSING_AFTER_PAGE_CANCEL: return DownloaderStateLabel(DS_FETCHING_PAGE, true);
    case FJS_DOWNLOADING: return DownloaderStateLabel(DS_DOWNLOADING);
    case FJS_CANCELING_DOWNLOADS:
    case FJS_CANCELING_DOWNLOADS_FOR_NEW_ADDRESS:
    case FJS_CLOSING_AFTER_DOWNLOAD_CANCEL: return DownloaderStateLabel(DS_DOWNLOADING, true);
    case FJS_CLOSED: return "";
    default: return DownloaderStateLabel(DS_IDLE);
    }
}
