/*
 * The lengths of the media files that the MCI devices open.
 *
 * RIFF WAVE, little-endian:
 *   offset size
 *   0      4    "RIFF"
 *   4      4    size of what follows (not trusted: streamed files leave it wrong)
 *   8      4    "WAVE"
 *   12     ...  chunks: id 4, size 4, data, and one pad byte after an odd size
 *     "fmt "  wFormatTag 2, nChannels 2, nSamplesPerSec 4, nAvgBytesPerSec 4, nBlockAlign 2, ...
 *     "data"  the sound: it lasts its size over nAvgBytesPerSec, whatever the format tag
 *             (PCM, ADPCM, ...); a size beyond the end of the file is cut to what is there.
 *
 * Standard MIDI file, big-endian:
 *   "MThd" 4, header length 4 (at least 6), format 2, track count 2, division 2,
 *   then chunks of id 4 and length 4: "MTrk" holds events, others are skipped.
 *   An event is a delta time (a variable-length number: up to 4 bytes of 7 bits, high bit
 *   set on all but the last) and a message:
 *     0x80-0xEF  channel message, 2 data bytes (1 for 0xC0-0xDF); a data byte in place of
 *                the status repeats the last channel status (running status)
 *     0xF0, 0xF7 system exclusive: variable length, data
 *     0xFF       meta: type 1, variable length, data; type 0x51 (3 bytes) sets the tempo in
 *                microseconds per quarter note (500000 until then)
 *   Division, bit 15 clear: ticks per quarter note.  Set: the high byte is minus the frames
 *   per second (24, 25, 29 for 29.97, 30), the low byte the ticks per frame; tempo events
 *   then change nothing.
 *   Length: the time of the last event of the file.  Formats 0 and 1 play their tracks
 *   together (tempo events of any track apply to all); format 2 plays each track, with its
 *   own tempo events, after the one before.  A track cut short ends at its last whole event.
 */
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include <mmsystem.h>

#include "mci_private.h"

namespace {

const size_t kMaxMidiFile = 64u << 20;  // far beyond any song; the whole file is read

/* A bounded reader: never reads past `end`; the first failure sticks. */
struct Cursor {
    const uint8_t *p, *end;
    bool bad = false;

    size_t left() const { return (size_t)(end - p); }
    uint8_t u8()
    {
        if (p >= end) {
            bad = true;
            return 0;
        }
        return *p++;
    }
    uint32_t be(int n)
    {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v = v << 8 | u8();
        return v;
    }
    uint32_t varlen()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = u8();
            v = v << 7 | (b & 0x7F);
            if (!(b & 0x80))
                return v;
        }
        bad = true;  // a fifth byte: not a MIDI number
        return 0;
    }
    void skip(uint64_t n)
    {
        if (n > left()) {
            bad = true;
            p = end;
        } else {
            p += n;
        }
    }
};

struct TempoChange {
    uint64_t tick;
    uint32_t usPerQuarter;
};

/* Walks one track: its tempo changes and the tick of its last whole event.  False for a
 * message no MIDI file holds. */
bool walk_track(Cursor c, std::vector<TempoChange> *tempos, uint64_t *lastTick)
{
    uint64_t tick = 0;
    uint8_t running = 0;
    *lastTick = 0;
    while (c.left()) {
        uint64_t at = tick + c.varlen();
        uint8_t status = c.u8();
        if (c.bad)
            break;
        if (status < 0x80) {
            if (!running)
                return false;  // a data byte with no status to repeat
            status = running;
            --c.p;  // the byte is the message's first data byte
        }
        if (status < 0xF0) {
            running = status;
            c.skip((status & 0xE0) == 0xC0 ? 1 : 2);
        } else if (status == 0xF0 || status == 0xF7) {
            running = 0;
            c.skip(c.varlen());
        } else if (status == 0xFF) {
            running = 0;
            uint8_t type = c.u8();
            uint32_t len = c.varlen();
            if (type == 0x51 && len == 3 && c.left() >= 3) {
                uint32_t us = c.be(3);
                if (!c.bad)
                    tempos->push_back({at, us});
            } else {
                c.skip(len);
            }
        } else {
            return false;  // system real-time and common messages have no place in a file
        }
        if (c.bad)
            break;  // cut short: the track ends at its last whole event
        tick = at;
        *lastTick = at;
    }
    return true;
}

/* Microseconds from tick 0 to `tick` under a tempo map sorted by tick. */
double micros_at(const std::vector<TempoChange> &tempos, uint64_t tick, uint32_t ticksPerQuarter)
{
    double acc = 0;
    uint64_t from = 0;
    uint32_t tempo = 500000;
    for (const TempoChange &t : tempos) {
        if (t.tick >= tick)
            break;
        acc += (double)(t.tick - from) * tempo;
        from = t.tick;
        tempo = t.usPerQuarter;
    }
    acc += (double)(tick - from) * tempo;
    return acc / ticksPerQuarter;
}

bool read_all(const std::string &host, std::vector<uint8_t> *out, DWORD *error)
{
    int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            close(fd);
        *error = MCIERR_FILE_NOT_FOUND;
        return false;
    }
    if ((uint64_t)st.st_size > kMaxMidiFile) {
        close(fd);
        *error = MCIERR_INVALID_FILE;
        return false;
    }
    out->resize((size_t)st.st_size);
    size_t got = 0;
    while (got < out->size()) {
        ssize_t n = read(fd, out->data() + got, out->size() - got);
        if (n <= 0)
            break;
        got += (size_t)n;
    }
    close(fd);
    out->resize(got);
    return true;
}

uint32_t le(const uint8_t *p, int n)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | p[i];
    return v;
}

}  // namespace

namespace compat {

bool midi_length(const uint8_t *data, size_t size, double *ms)
{
    Cursor c{data, data + size};
    if (c.left() < 14 || memcmp(c.p, "MThd", 4) != 0)
        return false;
    c.skip(4);
    uint32_t headerLen = c.be(4);
    if (headerLen < 6 || headerLen > c.left())
        return false;
    Cursor h{c.p, c.p + headerLen};
    uint32_t format = h.be(2);
    h.be(2);  // the track count: the chunks found are what is played
    uint32_t division = h.be(2);
    c.skip(headerLen);
    if (format > 2 || division == 0)
        return false;

    double fpsTimesTicks = 0;  // SMPTE: ticks per second
    if (division & 0x8000) {
        int fps = -(int)(int8_t)(division >> 8);
        uint32_t perFrame = division & 0xFF;
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || perFrame == 0)
            return false;
        fpsTimesTicks = (fps == 29 ? 30000.0 / 1001.0 : fps) * perFrame;
    }

    std::vector<TempoChange> shared;
    double sequential = 0;  // format 2: the tracks one after another
    uint64_t lastTick = 0;
    int tracks = 0;
    while (c.left() >= 8 && !c.bad) {
        bool isTrack = memcmp(c.p, "MTrk", 4) == 0;
        c.skip(4);
        uint32_t len = c.be(4);
        size_t have = std::min<size_t>(len, c.left());  // a chunk cut short keeps what it has
        if (isTrack) {
            std::vector<TempoChange> own;
            uint64_t end = 0;
            if (!walk_track(Cursor{c.p, c.p + have}, format == 2 ? &own : &shared, &end))
                return false;
            ++tracks;
            if (format == 2) {
                std::stable_sort(own.begin(), own.end(),
                                 [](const TempoChange &a, const TempoChange &b) { return a.tick < b.tick; });
                sequential += fpsTimesTicks ? end * 1e6 / fpsTimesTicks : micros_at(own, end, division);
            } else {
                lastTick = std::max(lastTick, end);
            }
        }
        c.p += have;
    }
    if (!tracks)
        return false;
    double us;
    if (format == 2) {
        us = sequential;
    } else if (fpsTimesTicks) {
        us = lastTick * 1e6 / fpsTimesTicks;
    } else {
        std::stable_sort(shared.begin(), shared.end(),
                         [](const TempoChange &a, const TempoChange &b) { return a.tick < b.tick; });
        us = micros_at(shared, lastTick, division);
    }
    *ms = us / 1000.0;
    return true;
}

DWORD read_midi_length(const std::string &host, double *ms)
{
    std::vector<uint8_t> bytes;
    DWORD error = 0;
    if (!read_all(host, &bytes, &error))
        return error;
    return midi_length(bytes.data(), bytes.size(), ms) ? 0 : MCIERR_INVALID_FILE;
}

DWORD read_wave(const std::string &host, WaveInfo *info)
{
    int fd = open(host.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            close(fd);
        return MCIERR_FILE_NOT_FOUND;
    }
    uint64_t size = (uint64_t)st.st_size;
    uint8_t head[16];
    bool fmt = false, data = false;
    if (size >= 12 && pread(fd, head, 12, 0) == 12 && !memcmp(head, "RIFF", 4) && !memcmp(head + 8, "WAVE", 4)) {
        uint64_t pos = 12;
        while (pos + 8 <= size && !(fmt && data)) {
            if (pread(fd, head, 8, (off_t)pos) != 8)
                break;
            uint32_t len = le(head + 4, 4);
            if (!memcmp(head, "fmt ", 4)) {
                if (len < 14 || pread(fd, head, 14, (off_t)(pos + 8)) != 14)
                    break;
                info->byteRate = le(head + 8, 4);
                info->blockAlign = le(head + 12, 2);
                fmt = info->byteRate && info->blockAlign;
                if (!fmt)
                    break;
            } else if (!memcmp(head, "data", 4)) {
                info->dataBytes = std::min<uint64_t>(len, size - (pos + 8));
                data = true;
            }
            pos += 8 + (uint64_t)len + (len & 1);
        }
    }
    close(fd);
    return fmt && data ? 0 : MCIERR_INVALID_FILE;
}

}  // namespace compat
