/*
 * Sound files written from first principles, for the tests that measure them: RIFF WAVE
 * (PCM, IMA ADPCM) and standard MIDI files.  Each writer also knows the file's true length.
 */
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

namespace testkit {

using Bytes = std::vector<unsigned char>;

inline void PutLE(Bytes &b, uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        b.push_back((unsigned char)(v >> (8 * i)));
}

inline void PutBE(Bytes &b, uint32_t v, int n)
{
    for (int i = n - 1; i >= 0; --i)
        b.push_back((unsigned char)(v >> (8 * i)));
}

inline void PutTag(Bytes &b, const char *tag) { b.insert(b.end(), tag, tag + 4); }

inline void PutChunk(Bytes &b, const char *tag, const Bytes &body)
{
    PutTag(b, tag);
    PutLE(b, (uint32_t)body.size(), 4);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1)
        b.push_back(0);
}

/* A PCM WAVE file of `frames` frames of a sine-ish ramp; true length frames / rate seconds.
 * `extra` chunks (already framed) go between "fmt " and "data". */
inline Bytes PcmWave(uint32_t rate, uint16_t channels, uint16_t bits, uint32_t frames, const Bytes &extra = {})
{
    Bytes fmt;
    uint16_t align = (uint16_t)(channels * bits / 8);
    PutLE(fmt, 1, 2);  // WAVE_FORMAT_PCM
    PutLE(fmt, channels, 2);
    PutLE(fmt, rate, 4);
    PutLE(fmt, rate * align, 4);
    PutLE(fmt, align, 2);
    PutLE(fmt, bits, 2);
    Bytes data;
    data.reserve((size_t)frames * align);
    for (uint32_t i = 0; i < frames * align; ++i)
        data.push_back((unsigned char)(i * 7));
    Bytes body;
    PutTag(body, "WAVE");
    PutChunk(body, "fmt ", fmt);
    body.insert(body.end(), extra.begin(), extra.end());
    PutChunk(body, "data", data);
    Bytes file;
    PutChunk(file, "RIFF", body);
    return file;
}

/* An IMA ADPCM WAVE file (4 bits, 256-byte blocks of 505 samples, mono) of `blocks` blocks. */
inline Bytes ImaAdpcmWave(uint32_t rate, uint32_t blocks, uint32_t *byteRate)
{
    const uint32_t align = 256, perBlock = 505;
    *byteRate = rate * align / perBlock;
    Bytes fmt;
    PutLE(fmt, 0x11, 2);  // WAVE_FORMAT_IMA_ADPCM
    PutLE(fmt, 1, 2);
    PutLE(fmt, rate, 4);
    PutLE(fmt, *byteRate, 4);
    PutLE(fmt, align, 2);
    PutLE(fmt, 4, 2);
    PutLE(fmt, 2, 2);  // cbSize
    PutLE(fmt, perBlock, 2);
    Bytes fact;
    PutLE(fact, blocks * perBlock, 4);
    Bytes data(blocks * align, 0x11);
    Bytes body;
    PutTag(body, "WAVE");
    PutChunk(body, "fmt ", fmt);
    PutChunk(body, "fact", fact);
    PutChunk(body, "data", data);
    Bytes file;
    PutChunk(file, "RIFF", body);
    return file;
}

/* A MIDI track built event by event, with absolute ticks. */
class MidiTrack {
public:
    void Delta(uint32_t tick)
    {
        uint32_t d = tick - m_last;
        m_last = tick;
        unsigned char tmp[5];
        int n = 0;
        tmp[n++] = d & 0x7F;
        while (d >>= 7)
            tmp[n++] = (unsigned char)(0x80 | (d & 0x7F));
        while (n)
            m_bytes.push_back(tmp[--n]);
    }
    void Note(uint32_t tick, unsigned char key, bool on, bool running = false)
    {
        Delta(tick);
        if (!running)
            m_bytes.push_back(on ? 0x90 : 0x80);
        m_bytes.push_back(key);
        m_bytes.push_back(on ? 100 : 0);
    }
    void Program(uint32_t tick, unsigned char program)
    {
        Delta(tick);
        m_bytes.push_back(0xC0);
        m_bytes.push_back(program);
    }
    void Tempo(uint32_t tick, uint32_t usPerQuarter)
    {
        Delta(tick);
        unsigned char ev[] = {0xFF, 0x51, 0x03, (unsigned char)(usPerQuarter >> 16), (unsigned char)(usPerQuarter >> 8),
                              (unsigned char)usPerQuarter};
        m_bytes.insert(m_bytes.end(), ev, ev + sizeof ev);
    }
    void Text(uint32_t tick, const std::string &text)
    {
        Delta(tick);
        m_bytes.push_back(0xFF);
        m_bytes.push_back(0x01);
        m_bytes.push_back((unsigned char)text.size());
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    }
    void SysEx(uint32_t tick)
    {
        Delta(tick);
        unsigned char ev[] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};  // General MIDI on
        m_bytes.insert(m_bytes.end(), ev, ev + sizeof ev);
    }
    void End(uint32_t tick)
    {
        Delta(tick);
        unsigned char ev[] = {0xFF, 0x2F, 0x00};
        m_bytes.insert(m_bytes.end(), ev, ev + sizeof ev);
    }
    const Bytes &bytes() const { return m_bytes; }

private:
    Bytes m_bytes;
    uint32_t m_last = 0;
};

inline Bytes MidiFile(uint16_t format, uint16_t division, const std::vector<MidiTrack> &tracks,
                      const Bytes &extraChunk = {})
{
    Bytes b;
    PutTag(b, "MThd");
    PutBE(b, 6, 4);
    PutBE(b, format, 2);
    PutBE(b, (uint32_t)tracks.size(), 2);
    PutBE(b, division, 2);
    b.insert(b.end(), extraChunk.begin(), extraChunk.end());
    for (const MidiTrack &t : tracks) {
        PutTag(b, "MTrk");
        PutBE(b, (uint32_t)t.bytes().size(), 4);
        b.insert(b.end(), t.bytes().begin(), t.bytes().end());
    }
    return b;
}

}  // namespace testkit
