/* The media control interface's waveaudio and sequencer devices, measuring files written here
 * from first principles. */
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>

#include <string>

#include "media_files.h"
#include "testkit.h"

namespace {

/* Opens `file` (by type name, or by type id when `name` is null), asks its length in
 * milliseconds, closes it.  The MCI error of the first failing step, 0 when all went. */
MCIERROR LengthOf(const std::string &file, const char *name, UINT typeId, DWORD *ms)
{
    MCI_OPEN_PARMSA open = {};
    DWORD_PTR flags = MCI_OPEN_ELEMENT | MCI_OPEN_TYPE;
    if (name) {
        open.lpstrDeviceType = name;
    } else {
        open.lpstrDeviceType = (LPCSTR)(DWORD_PTR)typeId;
        flags |= MCI_OPEN_TYPE_ID;
    }
    open.lpstrElementName = file.c_str();
    MCIERROR e = mciSendCommandA(0, MCI_OPEN, flags, (DWORD_PTR)&open);
    if (e)
        return e;
    MCI_SET_PARMS set = {};
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    e = mciSendCommandA(open.wDeviceID, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&set);
    MCI_SEEK_PARMS seek = {};
    if (!e)
        e = mciSendCommandA(open.wDeviceID, MCI_SEEK, MCI_SEEK_TO_START, (DWORD_PTR)&seek);
    MCI_STATUS_PARMS status = {};
    status.dwItem = MCI_STATUS_LENGTH;
    if (!e)
        e = mciSendCommandA(open.wDeviceID, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&status);
    *ms = (DWORD)status.dwReturn;
    mciSendCommandA(open.wDeviceID, MCI_STOP, 0, 0);
    EXPECT_EQ(mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0), 0u);
    return e;
}

/* Each case writes the files it measures into a folder of its own. */
class Mci : public ::testing::Test {
protected:
    /* Writes `bytes` as `name` and measures it as a `type` (a song, played by type id, when null). */
    MCIERROR Measure(const std::string &name, const testkit::Bytes &bytes, const char *type = nullptr)
    {
        std::string f = dir.file(name);
        EXPECT_TRUE(testkit::WriteFileBytes(f, bytes));
        return LengthOf(f, type, type ? 0 : MCI_DEVTYPE_SEQUENCER, &ms);
    }
    testkit::TempDir dir;
    DWORD ms = 0;
};

TEST_F(Mci, WaveLengthsAgreeWithTheFramesWritten)
{
    struct Case {
        uint32_t rate;
        uint16_t channels, bits;
        uint32_t frames;
    } cases[] = {
        {8000, 1, 8, 8000 * 3 + 17},  {11025, 1, 16, 11025 / 2},     {22050, 2, 8, 22050 * 2 + 1},
        {44100, 2, 16, 44100 * 5 / 4}, {48000, 1, 16, 48000 * 7 + 999}, {96000, 2, 16, 96000 / 3},
    };
    int i = 0;
    for (const Case &c : cases) {
        std::string f = "tone" + std::to_string(i++) + ".wav";
        ASSERT_EQ(Measure(f, testkit::PcmWave(c.rate, c.channels, c.bits, c.frames), "waveaudio"), 0u) << f;
        double truth = c.frames * 1000.0 / c.rate;
        EXPECT_NEAR(ms, truth, 1.0) << c.rate << " Hz, " << c.channels << " ch, " << c.bits << " bits";
    }
}

TEST_F(Mci, WaveChunksAroundTheSoundAndOtherUnits)
{
    // An odd-sized chunk (with its pad byte) between "fmt " and "data".
    testkit::Bytes list;
    testkit::PutChunk(list, "LIST", testkit::Bytes{'I', 'N', 'F', 'O', 'x'});
    std::string f = dir.file("listed.wav");
    ASSERT_TRUE(testkit::WriteFileBytes(f, testkit::PcmWave(16000, 2, 16, 16000 * 2, list)));
    MCI_OPEN_PARMSA open = {};
    open.lpstrDeviceType = "WaveAudio";
    open.lpstrElementName = f.c_str();
    ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, (DWORD_PTR)&open), 0u);
    MCIDEVICEID id = open.wDeviceID;
    // The length in each unit; then the position after a seek, in the unit in force.
    auto in = [&](DWORD format, DWORD item) {
        MCI_SET_PARMS set = {};
        set.dwTimeFormat = format;
        EXPECT_EQ(mciSendCommandA(id, MCI_SET, MCI_SET_TIME_FORMAT, (DWORD_PTR)&set), 0u);
        MCI_STATUS_PARMS st = {};
        st.dwItem = item;
        EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&st), 0u);
        return st.dwReturn;
    };
    EXPECT_EQ(in(MCI_FORMAT_MILLISECONDS, MCI_STATUS_LENGTH), 2000u);
    EXPECT_EQ(in(MCI_FORMAT_BYTES, MCI_STATUS_LENGTH), 16000u * 2 * 4);
    EXPECT_EQ(in(MCI_FORMAT_SAMPLES, MCI_STATUS_LENGTH), 16000u * 2);
    MCI_SEEK_PARMS seek = {};
    seek.dwTo = 8000;
    ASSERT_EQ(mciSendCommandA(id, MCI_SEEK, MCI_TO, (DWORD_PTR)&seek), 0u);
    EXPECT_EQ(in(MCI_FORMAT_SAMPLES, MCI_STATUS_POSITION), 8000u);
    ASSERT_EQ(mciSendCommandA(id, MCI_SEEK, MCI_SEEK_TO_START, (DWORD_PTR)&seek), 0u);
    EXPECT_EQ(in(MCI_FORMAT_SAMPLES, MCI_STATUS_POSITION), 0u);
    EXPECT_EQ(mciSendCommandA(id, MCI_SEEK, 0, (DWORD_PTR)&seek), (MCIERROR)MCIERR_MISSING_PARAMETER);
    MCI_STATUS_PARMS st = {};
    EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, 0, (DWORD_PTR)&st), (MCIERROR)MCIERR_MISSING_PARAMETER);
    EXPECT_EQ(mciSendCommandA(id, MCI_CLOSE, 0, 0), 0u);
    st.dwItem = MCI_STATUS_POSITION;
    EXPECT_EQ(mciSendCommandA(id, MCI_STATUS, MCI_STATUS_ITEM, (DWORD_PTR)&st), (MCIERROR)MCIERR_INVALID_DEVICE_ID);

    // IMA ADPCM: the length is the data over the format's byte rate.
    uint32_t byteRate = 0;
    ASSERT_EQ(Measure("adpcm.wav", testkit::ImaAdpcmWave(8000, 40, &byteRate), "waveaudio"), 0u);
    EXPECT_NEAR(ms, 40 * 256 * 1000.0 / byteRate, 0.5);
}

/* Milliseconds of `ticks` at `usPerQuarter` with `ppq` ticks per quarter note. */
double Ms(double ticks, double usPerQuarter, double ppq) { return ticks * usPerQuarter / ppq / 1000.0; }

/* Songs and their lengths: the tempo map (format 0 at the default tempo, 120 beats a minute;
 * format 1 with a tempo track, or with the tempo events among the notes), format 2 tracks played
 * one after another, SMPTE frames where tempo is ignored.  Known divergences of Wine's
 * sequencer: it leaves tempo events out when it measures a file (wineMs), does not play format 2
 * tracks one after another and refuses SMPTE-timed files (wineMs -1: no length, and wineError
 * the refusal when there is one to check). */
TEST_F(Mci, MidiLengthsFollowTheTempoMap)
{
    testkit::MidiTrack t0;  // 4 beats of 480 ticks
    t0.Program(0, 5);
    t0.Note(0, 60, true);
    t0.Note(480, 60, false);
    t0.Note(480, 64, true);
    t0.Note(1920, 64, false);
    t0.End(1920);
    // The tempo track changes tempo twice; the last note of track 2 ends last.
    testkit::MidiTrack tempo, notes;
    tempo.Text(0, "tempo map");
    tempo.Tempo(0, 600000);
    tempo.Tempo(192, 300000);
    tempo.Tempo(400, 1000000);
    tempo.End(400);
    notes.SysEx(0);
    notes.Note(10, 60, true);
    notes.Note(100, 62, true, true);  // running status
    notes.Note(300, 60, false, true);
    notes.Note(480, 62, false, true);
    notes.End(490);
    testkit::MidiTrack both;
    both.Tempo(0, 600000);
    both.Note(0, 60, true);
    both.Tempo(192, 300000);
    both.Note(300, 60, false);
    both.Tempo(400, 1000000);
    both.End(490);
    testkit::MidiTrack a, b;
    a.Tempo(0, 1000000);
    a.Note(0, 60, true);
    a.End(96);  // one second
    b.Note(0, 60, true);
    b.End(192);  // two beats at the default tempo: one second
    // SMPTE division: 25 frames a second of 40 ticks, 1000 ticks a second.
    testkit::MidiTrack frames;
    frames.Tempo(0, 250000);
    frames.Note(0, 60, true);
    frames.Note(3000, 60, false);
    frames.End(3250);
    const double mapped = Ms(192, 600000, 96) + Ms(400 - 192, 300000, 96) + Ms(490 - 400, 1000000, 96);
    const struct {
        const char *name, *type;  // by type id when null
        testkit::Bytes song;
        double ms, wineMs;
        MCIERROR wineError;
    } rows[] = {
        {"format0.mid", nullptr, testkit::MidiFile(0, 480, {t0}), Ms(1920, 500000, 480), Ms(1920, 500000, 480), 0},
        {"format1.mid", nullptr, testkit::MidiFile(1, 96, {tempo, notes}), mapped, Ms(490, 500000, 96), 0},
        {"both.mid", "sequencer", testkit::MidiFile(1, 96, {both}), mapped, Ms(490, 500000, 96), 0},
        {"patterns.mid", nullptr, testkit::MidiFile(2, 96, {a, b}), 2000, -1, 0},
        {"smpte.mid", nullptr, testkit::MidiFile(0, (uint16_t)((0x100 - 25) << 8 | 40), {frames}), 3250, -1,
         MCIERR_INVALID_FILE},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        MCIERROR e = Measure(r.name, r.song, r.type);
        if (testkit::UnderWine() && r.wineMs < 0) {
            if (r.wineError) {
                EXPECT_EQ(e, r.wineError);
            }
            continue;
        }
        ASSERT_EQ(e, 0u);
        EXPECT_NEAR(ms, testkit::UnderWine() ? r.wineMs : r.ms, 1.0);
    }
}

TEST_F(Mci, RefusalsName)
{
    EXPECT_EQ(LengthOf(dir.file("none.wav"), "waveaudio", 0, &ms), (MCIERROR)MCIERR_FILE_NOT_FOUND);
    // A MIDI file is no sound for waveaudio, and a WAVE file no song for the sequencer.
    testkit::MidiTrack t;
    t.End(96);
    const std::string junk = "RIFF....WAVEjunk";
    EXPECT_NE(Measure("song.mid", testkit::MidiFile(0, 96, {t}), "waveaudio"), 0u);
    EXPECT_NE(Measure("sound.wav", testkit::PcmWave(8000, 1, 8, 800)), 0u);
    EXPECT_NE(Measure("junk.wav", testkit::Bytes(junk.begin(), junk.end()), "waveaudio"), 0u);
    MCI_OPEN_PARMSA open = {};
    // Known divergence: Wine reads through a null parameter block of MCI_OPEN and faults.
    if (!testkit::UnderWine()) {
        EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, 0), (MCIERROR)MCIERR_NULL_PARAMETER_BLOCK);
    }
    open.lpstrDeviceType = "nosuchdevice";
    EXPECT_NE(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, (DWORD_PTR)&open), 0u);
}

}  // namespace
