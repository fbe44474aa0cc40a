// The XM writer, the melody and chord notation, and the synthesis helpers.
#include <gtest/gtest.h>

#include <cmath>

#include "Score.h"
#include "Synth.h"
#include "XmModule.h"

namespace {

unsigned u16At(const std::vector<uint8_t>& b, size_t at) { return b[at] | b[at + 1] << 8; }
uint32_t u32At(const std::vector<uint8_t>& b, size_t at) { return u16At(b, at) | u16At(b, at + 2) << 16; }

XmModule tinyModule()
{
    XmModule m;
    m.name = "tiny";
    m.channels = 2;
    m.speed = 6;
    m.bpm = 132;
    m.orders = { 0 };
    XmPattern p;
    p.rows = 2;
    p.cells.resize(4);
    p.cells[0] = { 49, 1, 0x50, XM_FX_PANNING, 0x80 };  // every field: stored plain
    p.cells[2].note = XM_NOTE_OFF;                     // note only
    p.cells[3].effect = XM_FX_VOLSLIDE;                // effect and parameter
    p.cells[3].param = 0x0F;
    m.patterns = { p };
    XmInstrument ins;
    ins.name = "test";
    ins.sample.data = { 0, 32767, -32768, -1 };
    ins.sample.loopStart = 1;
    ins.sample.loopLength = 2;
    ins.volumeEnvelope.points = { { 0, 0 }, { 8, 64 } };
    ins.volumeEnvelope.sustain = 1;
    m.instruments = { ins };
    return m;
}

}  // namespace

TEST(XmWriter, HeaderPatternAndSampleLayout)
{
    std::vector<uint8_t> b = xmWrite(tinyModule());
    ASSERT_EQ(b.size(), 336u + 9 + 11 + 263 + 40 + 8);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 17), "Extended Module: ");
    EXPECT_EQ(b[37], 0x1A);
    EXPECT_EQ(u16At(b, 58), 0x0104u);
    EXPECT_EQ(u32At(b, 60), 276u);
    EXPECT_EQ(u16At(b, 64), 1u);    // orders
    EXPECT_EQ(u16At(b, 66), 0u);    // restart
    EXPECT_EQ(u16At(b, 68), 2u);    // channels
    EXPECT_EQ(u16At(b, 74), 1u);    // linear frequencies
    EXPECT_EQ(u16At(b, 76), 6u);
    EXPECT_EQ(u16At(b, 78), 132u);

    // Pattern: plain cell, empty cell, note only, effect and parameter.
    EXPECT_EQ(u32At(b, 336), 9u);
    EXPECT_EQ(u16At(b, 341), 2u);
    EXPECT_EQ(u16At(b, 343), 11u);
    const std::vector<uint8_t> packed = { 49, 1, 0x50, 8, 0x80, 0x80, 0x81, 97, 0x98, 0x0A, 0x0F };
    EXPECT_EQ(std::vector<uint8_t>(b.begin() + 345, b.begin() + 356), packed);

    // Instrument: envelope on with sustain, sample header in bytes, 16-bit
    // forward loop, data as wrapping differences.
    size_t ins = 356;
    EXPECT_EQ(u32At(b, ins), 263u);
    EXPECT_EQ(u16At(b, ins + 27), 1u);
    EXPECT_EQ(u16At(b, ins + 129 + 4), 8u);   // second envelope point tick
    EXPECT_EQ(u16At(b, ins + 129 + 6), 64u);
    EXPECT_EQ(b[ins + 225], 2);               // points
    EXPECT_EQ(b[ins + 227], 1);               // sustain point
    EXPECT_EQ(b[ins + 233], 3);               // on + sustain
    size_t smp = ins + 263;
    EXPECT_EQ(u32At(b, smp), 8u);
    EXPECT_EQ(u32At(b, smp + 4), 2u);
    EXPECT_EQ(u32At(b, smp + 8), 4u);
    EXPECT_EQ(b[smp + 14], 0x11);
    const std::vector<uint8_t> deltas = { 0x00, 0x00, 0xFF, 0x7F, 0x01, 0x00, 0xFF, 0x7F };
    EXPECT_EQ(std::vector<uint8_t>(b.end() - 8, b.end()), deltas);
}

TEST(XmWriter, RefusesWhatTheFormatCannotHold)
{
    XmModule m = tinyModule();
    m.orders = { 1 };
    EXPECT_EXIT(xmWrite(m), ::testing::ExitedWithCode(3), "order names a missing pattern");

    m = tinyModule();
    m.instruments[0].volumeEnvelope.points.assign(13, { 0, 0 });
    EXPECT_EXIT(xmWrite(m), ::testing::ExitedWithCode(3), "more than 12 points");

    m = tinyModule();
    m.instruments[0].volumeEnvelope.points = { { 4, 0 }, { 4, 64 } };
    EXPECT_EXIT(xmWrite(m), ::testing::ExitedWithCode(3), "out of order");

    m = tinyModule();
    m.instruments[0].sample.loopLength = 4;  // from frame 1: one past the end
    EXPECT_EXIT(xmWrite(m), ::testing::ExitedWithCode(3), "loop outside its sample");

    m = tinyModule();
    m.patterns[0].cells[1].instrument = 2;
    EXPECT_EXIT(xmWrite(m), ::testing::ExitedWithCode(3), "bad note or instrument");

    m = tinyModule();
    m.patterns[0].cells.pop_back();
    EXPECT_EXIT(xmWrite(m), ::testing::ExitedWithCode(3), "do not match rows and channels");
}

TEST(MusicNotation, NoteNamesAndChords)
{
    EXPECT_EQ(musNoteNumber("C4"), 60);
    EXPECT_EQ(musNoteNumber("A4"), 69);
    EXPECT_EQ(musNoteNumber("C#5"), 73);
    EXPECT_EQ(musNoteNumber("Bb3"), 58);
    EXPECT_EQ(musNoteNumber("Cb4"), 59);
    EXPECT_EQ(musNoteNumber("B#3"), 60);
    EXPECT_EQ(musTrackerNote(60), 49);  // C-4
    EXPECT_EQ(musTrackerNote(12), 1);   // C-0, the lowest
    EXPECT_EXIT(musTrackerNote(108), ::testing::ExitedWithCode(3), "eight octaves");
    EXPECT_EXIT(musNoteNumber("H4"), ::testing::ExitedWithCode(3), "bad note name \"H4\"");
    EXPECT_EXIT(musNoteNumber("C"), ::testing::ExitedWithCode(3), "bad note name");
    EXPECT_EXIT(musNoteNumber("C44"), ::testing::ExitedWithCode(3), "bad note name");

    EXPECT_EQ(musChordTones("Dm"), (std::vector<int>{ 2, 5, 9 }));
    EXPECT_EQ(musChordTones("Bb"), (std::vector<int>{ 10, 2, 5 }));
    EXPECT_EQ(musChordTones("Asus4"), (std::vector<int>{ 9, 2, 4 }));
    EXPECT_EQ(musChordTones("Bbmaj7"), (std::vector<int>{ 10, 2, 5, 9 }));
    EXPECT_EQ(musChordTones("Gm7"), (std::vector<int>{ 7, 10, 2, 5 }));
    EXPECT_EXIT(musChordTones("Dmin"), ::testing::ExitedWithCode(3), "bad chord");
}

TEST(MusicNotation, MelodiesFillTheirBars)
{
    std::vector<musNote> notes = musParseMelody("C4:16 | D4:8 -:8 | E4:16|F#4:10 G4:6");
    ASSERT_EQ(notes.size(), 6u);
    EXPECT_EQ(notes[1].row, 16);
    EXPECT_EQ(notes[2].midi, -1);
    EXPECT_EQ(notes[2].row, 24);
    EXPECT_EQ(notes[5].row, 58);
    EXPECT_EQ(notes[5].length, 6);
    EXPECT_EQ(notes[4].midi, 66);

    EXPECT_EXIT(musParseMelody("C4:15 | D4:17 | E4:16 | F4:16"), ::testing::ExitedWithCode(3), "bar not filled");
    EXPECT_EXIT(musParseMelody("C4:16 | D4:16 | E4:16"), ::testing::ExitedWithCode(3), "does not fill one pattern");
    EXPECT_EXIT(musParseMelody("C4:16 | D4 | E4:16 | F4:16"), ::testing::ExitedWithCode(3), "without a length");
    EXPECT_EXIT(musParseMelody("C4:0 | D4:16 | E4:16 | F4:16"), ::testing::ExitedWithCode(3), "length out of range");
}

TEST(MusicSynth, TuningAndPcm)
{
    // Played at C-4 with no transpose a sample runs at 8363 Hz; ours run at
    // four times that, two octaves.
    XmSample s;
    musTune(s, 261.6255653005986);
    EXPECT_EQ(s.relativeNote, 24);
    EXPECT_EQ(s.finetune, 0);
    musTune(s, 440.0);
    EXPECT_EQ(s.relativeNote, 15);
    EXPECT_EQ(s.finetune, 0);
    // A quarter tone sharp of C: finetune carries it, within -64..63.
    musTune(s, 261.6255653005986 * std::pow(2.0, 0.5 / 12));
    EXPECT_EQ(s.relativeNote, 24);
    EXPECT_EQ(s.finetune, -64);

    std::vector<int16_t> pcm = musToPcm({ 0.0, 0.5, -1.0, 0.25 }, 1.0);
    EXPECT_EQ(pcm, (std::vector<int16_t>{ 0, 16384, -32767, 8192 }));
    EXPECT_EQ(musToPcm({ 0.0, 0.0 }, 0.9), (std::vector<int16_t>{ 0, 0 }));
}

TEST(MusicSynth, CrossfadedLoopJoinsSmoothly)
{
    // A ramp jumps by its whole height at the loop; after the cross-fade the
    // step from loop end back to loop start is as small as any other.
    std::vector<double> ramp(1000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = i / 1000.0;
    musCrossfadeLoop(ramp, 200, 1000, 150);
    EXPECT_NEAR(ramp[999], ramp[199], 1e-9);
    EXPECT_DOUBLE_EQ(ramp[200], 0.2);  // the loop itself is untouched
    EXPECT_EXIT(musCrossfadeLoop(ramp, 100, 1000, 150), ::testing::ExitedWithCode(3), "does not fit");
}
