/* Sound files measured through the media control interface: the input is written once as a
 * ".wav" and opened by the waveaudio device, once as a ".mid" and opened by the sequencer.
 * Nothing may fault; a device that opened answers its length and closes. */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>

#include <windows.h>
#include <mmsystem.h>

#include "fuzz_check.h"

namespace {

std::string TempName(const char *ext)
{
    char dir[MAX_PATH];
    DWORD n = GetTempPathA(sizeof dir, dir);
    if (!n || n >= sizeof dir)
        return "";
    char name[64];
    wsprintfA(name, "media_fuzz_%lu%s", (unsigned long)GetCurrentProcessId(), ext);
    return std::string(dir) + name;
}

void Measure(const uint8_t *data, size_t size, const char *ext, const char *device)
{
    std::string file = TempName(ext);
    FILE *f = file.empty() ? nullptr : fopen(file.c_str(), "wb");
    if (!f)
        return;
    fwrite(data, 1, size, f);
    fclose(f);
    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = device;
    open.lpstrElementName = file.c_str();
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, (DWORD_PTR)&open) == 0) {
        MCI_SET_PARMS set = {};
        set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
        CHECK(mciSendCommandA(open.wDeviceID, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&set) == 0);
        MCI_SEEK_PARMS seek = {};
        CHECK(mciSendCommandA(open.wDeviceID, MCI_SEEK, MCI_SEEK_TO_END, (DWORD_PTR)&seek) == 0);
        MCI_STATUS_PARMS st = {};
        st.dwItem = MCI_STATUS_LENGTH;
        CHECK(mciSendCommandA(open.wDeviceID, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&st) == 0);
        DWORD_PTR length = st.dwReturn;
        st.dwItem = MCI_STATUS_POSITION;
        CHECK(mciSendCommandA(open.wDeviceID, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&st) == 0);
        CHECK(st.dwReturn == length);  // seeking to the end lands on the length
        CHECK(mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0) == 0);
    }
    DeleteFileA(file.c_str());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Measure(data, size, ".wav", "waveaudio");
    Measure(data, size, ".mid", "sequencer");
    return 0;
}
