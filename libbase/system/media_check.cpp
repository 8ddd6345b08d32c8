/* The length of a sound file, through the media control interface; the room on the system
 * drive. */
#include <string.h>

#include <string>

#include "basefun.h"
#include "filefun.h"
#include "sysinfo.h"

#include <mmsystem.h>

namespace {

const int kNoRoomString = 251;
const char kNoRoomText[] = "The free disk space is not enough.";  // when the module's text cannot be had
const char kCaption[] = "Medley Studio";
const int64_t kRoomMiB = 150;

}  // namespace

double GetMediaLength(LPCSTR lpszFile)
{
    if (!lpszFile)
        return -1.0;
    char ext[MAX_PATH];
    SplitPath(lpszFile, NULL, NULL, NULL, ext);
    MCI_OPEN_PARMSA open;
    memset(&open, 0, sizeof open);
    open.lpstrElementName = lpszFile;
    DWORD_PTR flags;
    if (!lstrcmpiA(ext, ".mid")) {
        open.lpstrDeviceType = (LPCSTR)(DWORD_PTR)MCI_DEVTYPE_SEQUENCER;
        flags = MCI_OPEN_TYPE | MCI_OPEN_TYPE_ID | MCI_OPEN_ELEMENT;
    } else {
        open.lpstrDeviceType = "waveaudio";
        flags = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT;
    }
    if (mciSendCommandA(0, MCI_OPEN, flags, (DWORD_PTR)&open) != 0)
        return -1.0;
    MCIDEVICEID id = open.wDeviceID;
    double length = -1.0;
    MCI_SET_PARMS set;
    memset(&set, 0, sizeof set);
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    if (mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&set) == 0) {
        MCI_SEEK_PARMS seek;
        memset(&seek, 0, sizeof seek);
        mciSendCommandA(id, MCI_SEEK, MCI_SEEK_TO_START, (DWORD_PTR)&seek);
        MCI_STATUS_PARMS status;
        memset(&status, 0, sizeof status);
        status.dwItem = MCI_STATUS_LENGTH;
        if (mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&status) == 0)
            length = (double)(DWORD)status.dwReturn;
    }
    mciSendCommandA(id, MCI_STOP, 0, 0);  // stopped before it is closed, whatever went before
    mciSendCommandA(id, MCI_CLOSE, 0, 0);
    return length;
}

int CheckDiskSpace(HWND hWndOwner)
{
    int64_t freeBytes = (int64_t)GetDiskFreeBytes("c:\\");
    if (freeBytes / 1024 / 1024 >= kRoomMiB)
        return 1;
    std::string text = GetResString(kNoRoomString);
    MessageBoxA(hWndOwner, text.empty() ? kNoRoomText : text.c_str(), kCaption, MB_OK);
    return 0;
}
