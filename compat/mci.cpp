/*
 * The media control interface's command form, for the two devices that measure files:
 * "waveaudio" and "sequencer".  A device is a record in one table, keyed by ids from 1 up;
 * an id is not handed out again while its device is open.  Positions are kept in the
 * device's own unit (bytes for waveaudio, milliseconds for sequencer) and converted to the
 * time format on the way in and out.
 */
#include <string.h>
#include <strings.h>

#include <cmath>
#include <map>
#include <mutex>
#include <string>

#include <mmsystem.h>

#include "mci_private.h"

namespace {

struct Device {
    UINT type = 0;  // MCI_DEVTYPE_WAVEFORM_AUDIO or MCI_DEVTYPE_SEQUENCER
    compat::WaveInfo wave;
    double lengthMs = 0;  // sequencer
    uint64_t position = 0;
    DWORD timeFormat = MCI_FORMAT_MILLISECONDS;
};

std::mutex g_lock;
std::map<MCIDEVICEID, Device> g_devices;
MCIDEVICEID g_nextId = 1;

/* Rounds a / b to the nearest whole number, halves away from zero. */
uint64_t round_div(uint64_t a, uint64_t b) { return (a + b / 2) / b; }

/* The device's length, or a position, in its time format. */
uint64_t to_format(const Device &d, uint64_t native)
{
    if (d.type == MCI_DEVTYPE_SEQUENCER)
        return native;
    switch (d.timeFormat) {
    case MCI_FORMAT_BYTES: return native;
    case MCI_FORMAT_SAMPLES: return native / d.wave.blockAlign;
    default: return round_div(native * 1000, d.wave.byteRate);
    }
}

uint64_t from_format(const Device &d, uint64_t value)
{
    if (d.type == MCI_DEVTYPE_SEQUENCER)
        return value;
    switch (d.timeFormat) {
    case MCI_FORMAT_BYTES: return value;
    case MCI_FORMAT_SAMPLES: return value * d.wave.blockAlign;
    default: return value * d.wave.byteRate / 1000;
    }
}

uint64_t native_length(const Device &d)
{
    return d.type == MCI_DEVTYPE_SEQUENCER ? (uint64_t)std::llround(d.lengthMs) : d.wave.dataBytes;
}

UINT type_from_extension(const char *element)
{
    const char *dot = strrchr(element, '.');
    if (!dot || strpbrk(dot, "\\/"))
        return 0;
    if (!strcasecmp(dot, ".wav"))
        return MCI_DEVTYPE_WAVEFORM_AUDIO;
    if (!strcasecmp(dot, ".mid") || !strcasecmp(dot, ".rmi"))
        return MCI_DEVTYPE_SEQUENCER;
    return 0;
}

MCIERROR open_device(DWORD_PTR flags, MCI_OPEN_PARMSA *p)
{
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    if (flags & MCI_NOTIFY)
        return MCIERR_UNSUPPORTED_FUNCTION;  // no window to notify
    const char *element = (flags & MCI_OPEN_ELEMENT) ? p->lpstrElementName : nullptr;
    if ((flags & MCI_OPEN_ELEMENT) && (!element || !*element))
        return MCIERR_FILENAME_REQUIRED;
    UINT type = 0;
    if (flags & MCI_OPEN_TYPE) {
        if (flags & MCI_OPEN_TYPE_ID) {
            type = LOWORD((DWORD_PTR)p->lpstrDeviceType);
        } else if (!p->lpstrDeviceType) {
            return MCIERR_MISSING_PARAMETER;
        } else if (!strcasecmp(p->lpstrDeviceType, "waveaudio")) {
            type = MCI_DEVTYPE_WAVEFORM_AUDIO;
        } else if (!strcasecmp(p->lpstrDeviceType, "sequencer")) {
            type = MCI_DEVTYPE_SEQUENCER;
        } else if (!element && strchr(p->lpstrDeviceType, '.')) {
            element = p->lpstrDeviceType;  // a file named in place of the device
            type = type_from_extension(element);
            if (!type)
                return MCIERR_EXTENSION_NOT_FOUND;
        } else {
            return MCIERR_INVALID_DEVICE_NAME;
        }
        if (type != MCI_DEVTYPE_WAVEFORM_AUDIO && type != MCI_DEVTYPE_SEQUENCER)
            return MCIERR_DEVICE_NOT_INSTALLED;
    } else if (element) {
        type = type_from_extension(element);
        if (!type)
            return MCIERR_EXTENSION_NOT_FOUND;
    } else {
        return MCIERR_MISSING_PARAMETER;
    }

    Device d;
    d.type = type;
    d.wave.byteRate = 1;  // a device without a file: nothing recorded yet
    d.wave.blockAlign = 1;
    if (element) {
        if (compat::should_fail("file"))
            return MCIERR_FILE_NOT_FOUND;
        std::string host = compat::host_path(element);
        MCIERROR e = type == MCI_DEVTYPE_SEQUENCER ? compat::read_midi_length(host, &d.lengthMs)
                                                   : compat::read_wave(host, &d.wave);
        if (e)
            return e;
    }
    std::lock_guard<std::mutex> g(g_lock);
    while (g_nextId == 0 || g_nextId == MCI_ALL_DEVICE_ID || g_devices.count(g_nextId))
        ++g_nextId;
    p->wDeviceID = g_nextId++;
    g_devices[p->wDeviceID] = d;
    return 0;
}

MCIERROR set_device(Device &d, DWORD_PTR flags, MCI_SET_PARMS *p)
{
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_SET_TIME_FORMAT))
        return (flags & ~(DWORD_PTR)MCI_WAIT) ? MCIERR_UNSUPPORTED_FUNCTION : MCIERR_MISSING_PARAMETER;
    DWORD f = p->dwTimeFormat;
    bool ok = f == MCI_FORMAT_MILLISECONDS ||
              (d.type == MCI_DEVTYPE_WAVEFORM_AUDIO && (f == MCI_FORMAT_BYTES || f == MCI_FORMAT_SAMPLES));
    if (!ok)
        return MCIERR_BAD_TIME_FORMAT;
    d.timeFormat = f;
    return 0;
}

MCIERROR seek_device(Device &d, DWORD_PTR flags, MCI_SEEK_PARMS *p)
{
    int targets = !!(flags & MCI_SEEK_TO_START) + !!(flags & MCI_SEEK_TO_END) + !!(flags & MCI_TO);
    if (targets > 1)
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    if (!targets)
        return MCIERR_MISSING_PARAMETER;
    if (flags & MCI_SEEK_TO_START) {
        d.position = 0;
    } else if (flags & MCI_SEEK_TO_END) {
        d.position = native_length(d);
    } else {
        if (!p)
            return MCIERR_NULL_PARAMETER_BLOCK;
        if (p->dwTo > to_format(d, native_length(d)))
            return MCIERR_OUTOFRANGE;
        d.position = std::min(from_format(d, p->dwTo), native_length(d));
    }
    return 0;
}

MCIERROR status_device(const Device &d, DWORD_PTR flags, MCI_STATUS_PARMS *p)
{
    if (!p)
        return MCIERR_NULL_PARAMETER_BLOCK;
    if (!(flags & MCI_STATUS_ITEM))
        return MCIERR_MISSING_PARAMETER;
    uint64_t v;
    switch (p->dwItem) {
    case MCI_STATUS_LENGTH: v = to_format(d, native_length(d)); break;
    case MCI_STATUS_POSITION: v = to_format(d, d.position); break;
    case MCI_STATUS_NUMBER_OF_TRACKS: v = 1; break;
    case MCI_STATUS_MODE: v = MCI_MODE_STOP; break;
    case MCI_STATUS_READY: v = TRUE; break;
    case MCI_STATUS_TIME_FORMAT: v = d.timeFormat; break;
    default: return MCIERR_UNSUPPORTED_FUNCTION;
    }
    p->dwReturn = (DWORD_PTR)std::min<uint64_t>(v, 0xFFFFFFFFu);  // the interface counts in 32 bits
    return 0;
}

}  // namespace

MCIERROR WINAPI mciSendCommandA(MCIDEVICEID id, UINT msg, DWORD_PTR flags, DWORD_PTR param)
{
    if (msg == MCI_OPEN)
        return open_device(flags, (MCI_OPEN_PARMSA *)param);
    std::lock_guard<std::mutex> g(g_lock);
    if (id == MCI_ALL_DEVICE_ID) {
        if (msg != MCI_CLOSE && msg != MCI_STOP)
            return MCIERR_UNRECOGNIZED_COMMAND;
        if (msg == MCI_CLOSE)
            g_devices.clear();
        return 0;
    }
    auto it = g_devices.find(id);
    if (it == g_devices.end())
        return MCIERR_INVALID_DEVICE_ID;
    Device &d = it->second;
    switch (msg) {
    case MCI_CLOSE: g_devices.erase(it); return 0;
    case MCI_STOP:
    case MCI_PAUSE: return 0;  // nothing is ever playing
    case MCI_SET: return set_device(d, flags, (MCI_SET_PARMS *)param);
    case MCI_SEEK: return seek_device(d, flags, (MCI_SEEK_PARMS *)param);
    case MCI_STATUS: return status_device(d, flags, (MCI_STATUS_PARMS *)param);
    case MCI_PLAY: return MCIERR_UNSUPPORTED_FUNCTION;  // no sound output here
    default: return MCIERR_UNRECOGNIZED_COMMAND;
    }
}
