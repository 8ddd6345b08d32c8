/* The media files behind the MCI devices (mci.cpp, mci_media.cpp). */
#pragma once
#include <stdint.h>

#include <string>

#include "internal.h"

namespace compat {

/* A RIFF WAVE file: the data chunk's size (cut to what the file holds) and the format's
 * rates. */
struct WaveInfo {
    uint64_t dataBytes = 0;
    uint32_t byteRate = 0;    // nAvgBytesPerSec, never 0 in a file that was read
    uint32_t blockAlign = 0;  // nBlockAlign, at least 1
};

/* Reads the header chunks of a WAVE file.  0, MCIERR_FILE_NOT_FOUND or MCIERR_INVALID_FILE. */
DWORD read_wave(const std::string &host, WaveInfo *info);

/* The length of a standard MIDI file in milliseconds.  0, MCIERR_FILE_NOT_FOUND or
 * MCIERR_INVALID_FILE. */
DWORD read_midi_length(const std::string &host, double *ms);
/* The same, of a file's bytes: true with the length, false for a malformed file. */
bool midi_length(const uint8_t *data, size_t size, double *ms);

}  // namespace compat
