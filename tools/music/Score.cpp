#include "Score.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Synth.h"
#include "parts/Cues.h"

// ---------------------------------------------------------------------------
// Notes, melodies and chords

namespace {

// Pitch class of a letter with an optional sharp or flat; -1 if unknown.
int pitchClass(const char*& p)
{
    static const int letters[7] = { 9, 11, 0, 2, 4, 5, 7 };  // A..G
    char c = *p;
    if (c < 'A' || c > 'G')
        return -1;
    int pc = letters[c - 'A'];
    ++p;
    if (*p == '#') {
        ++pc;
        ++p;
    } else if (*p == 'b') {
        --pc;
        ++p;
    }
    return (pc + 12) % 12;
}

[[noreturn]] void badText(const char* what, const char* text)
{
    std::string message = std::string(what) + " \"" + text + "\"";
    musFatal(message.c_str());
}

}  // namespace

int musNoteNumber(const char* name)
{
    const char* p = name;
    int pc = pitchClass(p);
    if (pc < 0 || *p < '0' || *p > '7' || p[1] != '\0')
        badText("musNoteNumber -> bad note name", name);
    int octave = *p - '0';
    // "B#" and "Cb" cross the octave line.
    int base = name[0] == 'B' && name[1] == '#' ? 12 : name[0] == 'C' && name[1] == 'b' ? -12 : 0;
    return 12 * (octave + 1) + pc + base;
}

int musTrackerNote(int midi)
{
    int note = midi - 11;
    if (note < 1 || note > 96)
        musFatal("musTrackerNote -> note outside the tracker's eight octaves");
    return note;
}

std::vector<musNote> musParseMelody(const char* text)
{
    std::vector<musNote> notes;
    int row = 0, barStart = 0;
    const char* p = text;
    while (true) {
        while (*p == ' ')
            ++p;
        if (*p == '|' || *p == '\0') {
            if (row - barStart != 16)
                badText("musParseMelody -> bar not filled with 16 rows in", text);
            barStart = row;
            if (*p == '\0')
                break;
            ++p;
            continue;
        }
        const char* start = p;
        while (*p && *p != ':' && *p != ' ' && *p != '|')
            ++p;
        if (*p != ':')
            badText("musParseMelody -> note without a length in", text);
        std::string name(start, p);
        ++p;
        if (!std::isdigit(static_cast<unsigned char>(*p)))
            badText("musParseMelody -> note without a length in", text);
        int length = 0;
        while (std::isdigit(static_cast<unsigned char>(*p)))
            length = length * 10 + (*p++ - '0');
        if (length < 1 || length > 64)
            badText("musParseMelody -> length out of range in", text);
        int midi = name == "-" ? -1 : musNoteNumber(name.c_str());
        notes.push_back({ row, length, midi });
        row += length;
    }
    if (row != MUS_ROWS)
        badText("musParseMelody -> melody does not fill one pattern:", text);
    return notes;
}

std::vector<int> musChordTones(const char* name)
{
    const char* p = name;
    int root = pitchClass(p);
    if (root < 0)
        badText("musChordTones -> bad chord", name);
    std::vector<int> intervals;
    if (std::strcmp(p, "") == 0)
        intervals = { 0, 4, 7 };
    else if (std::strcmp(p, "m") == 0)
        intervals = { 0, 3, 7 };
    else if (std::strcmp(p, "sus4") == 0)
        intervals = { 0, 5, 7 };
    else if (std::strcmp(p, "m7") == 0)
        intervals = { 0, 3, 7, 10 };
    else if (std::strcmp(p, "maj7") == 0)
        intervals = { 0, 4, 7, 11 };
    else
        badText("musChordTones -> bad chord", name);
    std::vector<int> tones;
    for (int i : intervals)
        tones.push_back((root + i) % 12);
    return tones;
}

// ---------------------------------------------------------------------------
// Arrangement

namespace {

enum Channel {
    CH_KICK, CH_SNARE, CH_HAT, CH_BASS, CH_PAD1, CH_PAD2, CH_PAD3, CH_LEAD,
    CH_ECHO, CH_DROP, CH_BELL, CH_CRASH, CH_ARP, CH_IMPACT,
    // A second set of pad voices, so that one chord rings out while the
    // next swells in, and a second bell so bells can overlap.
    CH_PADB1, CH_PADB2, CH_PADB3, CH_BELL2
};

enum Drums { DR_NONE, DR_LIGHT, DR_HALF, DR_WARM, DR_FOUR, DR_BEAT, DR_DRIVE };
enum Bass { BS_NONE, BS_LONG, BS_PULSE, BS_OCT, BS_GROOVE };

// What plays in one order. Cues on single rows are added afterwards.
struct OrderPlan {
    const char* chords;   // four bars
    Drums drums;
    Bass bass;
    int bassVol;
    int pad;              // instrument, 0: none
    int padVol;
    const char* melody;   // nullptr: no lead
    int leadInst;
    int leadVol;
    int leadShift;        // semitones
    int echoInst;         // second voice of the melody, 0: none
    int echoShift;
    int echoDelay;        // rows
    int echoVol;
    int arpVol;           // 0: no arpeggio
    bool droplets;        // the circles of the opening pop on this order
};

const char* const kThemeA1 = "A4:6 D5:2 F5:4 E5:4 | D5:6 C5:2 D5:4 F5:4 | A5:6 G5:2 F5:4 C5:4 | E5:10 -:2 G5:4";
const char* const kThemeA2 = "A4:6 D5:2 F5:4 A5:4 | Bb5:6 A5:2 G5:4 F5:4 | A5:6 C6:2 A5:4 F5:4 | E5:8 C#5:4 E5:4";

const int P = MUS_PLUCK, S = MUS_LEAD_SOFT, W = MUS_PAD_WARM, A = MUS_PAD_AIR;

const OrderPlan kPlan[MUS_ORDERS] = {
    // 0-9: the opening. Near silence, droplets for the circles, the beat with the band.
    { "Dm Dm Dm Dm", DR_NONE, BS_NONE, 0, W, 0, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, false },
    { "Dm Bb F C", DR_NONE, BS_NONE, 0, W, 22, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, true },
    { "Dm Bb F A", DR_NONE, BS_LONG, 30, W, 26, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, true },
    { "Bb F C A", DR_NONE, BS_LONG, 34, W, 30, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, true },
    { "Dm Bb F C", DR_FOUR, BS_PULSE, 36, W, 30, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, true },
    { "Dm Bb F A", DR_BEAT, BS_PULSE, 38, W, 30, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, true },
    { "Dm Bb F C", DR_BEAT, BS_PULSE, 38, W, 30, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, true },
    { "Dm Bb F C", DR_BEAT, BS_PULSE, 38, W, 28, kThemeA1, P, 60, 0, P, 0, 3, 24, 0, true },
    { "Dm Bb F A", DR_BEAT, BS_PULSE, 38, W, 28, kThemeA2, P, 60, 0, P, 0, 3, 24, 0, true },
    { "Bb F Gm C", DR_HALF, BS_LONG, 34, W, 30, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, false },
    // 10-12: the fish, lighter.
    { "F C Bb F", DR_LIGHT, BS_GROOVE, 28, A, 24,
      "C5:2 F5:2 A5:2 C6:4 A5:2 G5:2 F5:2 | E5:2 G5:2 C6:4 G5:2 E5:2 D5:2 C5:2 | "
      "D5:2 F5:2 Bb5:4 A5:2 G5:2 F5:2 D5:2 | C5:4 F5:2 A5:2 C6:8",
      P, 50, 0, P, 12, 3, 18, 0, false },
    { "Dm C Bb C", DR_LIGHT, BS_GROOVE, 28, A, 24,
      "D5:2 F5:2 A5:2 D6:4 C6:2 A5:2 F5:2 | E5:2 G5:2 C6:4 E6:2 D6:2 C6:2 G5:2 | "
      "F5:2 D5:2 Bb4:4 D5:2 F5:2 Bb5:2 A5:2 | G5:8 E5:4 C5:4",
      P, 50, 0, P, 12, 3, 18, 0, false },
    { "F C Bb A", DR_LIGHT, BS_GROOVE, 28, A, 24,
      "C5:2 F5:2 A5:2 C6:4 A5:2 G5:2 F5:2 | E5:2 G5:2 C6:4 G5:2 E5:2 D5:2 C5:2 | "
      "D5:2 F5:2 Bb5:4 D6:4 Bb5:4 | A5:8 -:8",
      P, 50, 0, P, 12, 3, 18, 0, false },
    // 13-16: lines, zooming letters and the 3D title, driving.
    { "Dm Bb Gm A", DR_DRIVE, BS_OCT, 40, W, 24, nullptr, 0, 0, 0, 0, 0, 0, 0, 16, false },
    { "Dm Bb Gm A", DR_DRIVE, BS_OCT, 40, W, 24, nullptr, 0, 0, 0, 0, 0, 0, 0, 18, false },
    { "Dm Bb Gm A", DR_DRIVE, BS_OCT, 40, W, 26, "-:16 | -:16 | -:3 D6:5 C6:2 A5:2 G5:4 | E5:6 F5:2 E5:4 C#5:4",
      P, 60, 0, P, 0, 3, 24, 16, false },
    { "Dm Bb Gm A", DR_DRIVE, BS_OCT, 40, W, 26, "A5:6 D6:2 F6:4 E6:4 | D6:6 C6:2 D6:4 F6:4 | G6:6 F6:2 D6:4 Bb5:4 | A5:10 -:6",
      P, 60, 0, P, 0, 3, 24, 0, false },
    // 17-21: greetings, warm; bells for the flashing circles.
    { "F C Dm Bb", DR_WARM, BS_GROOVE, 36, W, 30, "C6:6 A5:2 F5:8 | E5:6 G5:2 C6:8 | D6:6 C6:2 A5:4 F5:4 | D5:12 -:4",
      S, 40, -12, P, 0, 0, 12, 0, false },
    { "F C Bb C", DR_WARM, BS_GROOVE, 36, W, 30, "C6:6 A5:2 F5:8 | G5:6 E5:2 C5:8 | D5:6 F5:2 Bb5:4 A5:4 | G5:12 -:4",
      S, 40, -12, P, 0, 0, 12, 0, false },
    { "Dm Bb F C", DR_WARM, BS_GROOVE, 36, W, 30, "F5:6 E5:2 D5:8 | D5:6 F5:2 Bb5:8 | A5:6 G5:2 F5:4 A5:4 | G5:8 -:8",
      S, 40, -12, P, 0, 0, 12, 0, false },
    { "F C Bb Bb", DR_WARM, BS_GROOVE, 36, W, 30, "A5:6 C6:2 F6:8 | E6:6 D6:2 C6:8 | -:16 | -:16",
      S, 40, -12, P, 0, 0, 12, 0, false },
    { "Gm Bb Gm A", DR_NONE, BS_LONG, 30, A, 30, nullptr, 0, 0, 0, 0, 0, 0, 0, 16, false },
    // 22-25: credits, warm, pieces of the background arriving on the beat.
    { "F C Dm Bb", DR_BEAT, BS_GROOVE, 36, W, 28, "-:16 | -:16 | A5:4 C6:4 D6:6 C6:2 | Bb5:8 A5:4 F5:4",
      P, 58, 0, P, 0, 3, 24, 0, false },
    { "Gm Bb Dm A", DR_BEAT, BS_GROOVE, 36, W, 28, "G5:6 Bb5:2 D6:8 | D6:4 F6:4 D6:4 Bb5:4 | A5:6 F5:2 D5:8 | E5:6 C#5:2 A4:8",
      P, 58, 0, P, 0, 3, 24, 14, false },
    { "F C Dm Bb", DR_BEAT, BS_GROOVE, 36, W, 28, "-:16 | -:16 | F5:4 A5:4 D6:6 E6:2 | F6:8 D6:4 Bb5:4",
      P, 58, 0, P, 0, 3, 24, 0, false },
    { "Gm Bb C C", DR_BEAT, BS_GROOVE, 36, W, 28, "G5:6 Bb5:2 D6:8 | F6:6 E6:2 D6:8 | E6:6 D6:2 C6:4 G5:4 | C6:11 -:5",
      P, 58, 0, P, 0, 3, 24, 14, false },
    // 26-27: the flare scene, airy.
    { "Bbmaj7 Gm7 Dm C", DR_NONE, BS_LONG, 28, A, 34, "F5:4 A5:4 D6:8 | D6:4 Bb5:4 G5:8 | A5:4 F5:4 D5:8 | E5:4 G5:4 C6:8",
      P, 50, 0, P, 12, 6, 20, 14, false },
    { "Bb Gm F A", DR_NONE, BS_LONG, 28, A, 34, "D6:4 C6:4 A5:8 | Bb5:4 A5:4 G5:8 | A5:8 -:8 | -:16",
      P, 50, 0, P, 12, 6, 20, 0, false },
    // 28-33: roto-zoom, circles revisited, falling letters.
    { "Dm Bb F C", DR_DRIVE, BS_OCT, 38, W, 26, kThemeA1, S, 40, 0, P, 12, 0, 16, 0, false },
    { "Dm Bb F A", DR_DRIVE, BS_OCT, 38, W, 26, kThemeA2, S, 40, 0, P, 12, 0, 16, 0, false },
    { "Dm Bb F C", DR_FOUR, BS_PULSE, 36, W, 28, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, true },
    { "Dm Bb F A", DR_FOUR, BS_PULSE, 36, W, 28, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, true },
    { "Dm C Bb A", DR_HALF, BS_GROOVE, 36, A, 28, "A5:4 G5:4 F5:4 E5:4 | G5:4 F5:4 E5:4 D5:4 | F5:4 E5:4 D5:4 C5:4 | E5:8 C#5:8",
      P, 58, 0, P, 0, 3, 24, 0, false },
    { "Dm C Bb A", DR_HALF, BS_GROOVE, 36, A, 28, "D6:4 C6:4 Bb5:4 A5:4 | C6:4 Bb5:4 A5:4 G5:4 | Bb5:4 A5:4 G5:4 F5:4 | E5:4 F5:4 G5:4 A5:4",
      P, 58, 0, P, 0, 3, 24, 14, false },
    // 34-35: the last lift.
    { "Bb C Dm F", DR_DRIVE, BS_OCT, 40, W, 32, "F5:6 Bb5:2 D6:4 F6:4 | E6:6 D6:2 C6:4 G5:4 | A5:6 D6:2 F6:4 A6:4 | G6:6 F6:2 E6:4 C6:4",
      S, 42, -12, P, 0, 0, 20, 16, false },
    { "Bb C A A", DR_DRIVE, BS_OCT, 40, W, 32, "D6:6 F6:2 Bb6:8 | G6:6 E6:2 C6:8 | C#6:6 E6:2 A6:8 | -:16",
      S, 42, -12, P, 0, 0, 20, 16, false },
    // 36-38: the end scroller and the final chord; 39 the tail.
    { "Dm Bb F C", DR_HALF, BS_LONG, 34, W, 28, kThemeA1, P, 58, 0, P, 0, 3, 24, 0, false },
    { "Dm Bb Gm Bb", DR_HALF, BS_GROOVE, 34, W, 28, "A4:6 D5:2 F5:4 A5:4 | Bb5:6 A5:2 G5:4 F5:4 | G5:6 A5:2 Bb5:6 -:2 | -:16",
      P, 58, 0, P, 0, 3, 24, 0, false },
    { "Asus4 D D D", DR_NONE, BS_LONG, 40, W, 32, "E5:8 C#5:8 | F#5:16 | -:16 | -:16",
      P, 60, 0, P, 12, 0, 20, 0, false },
    { "D D D D", DR_NONE, BS_NONE, 0, W, 0, nullptr, 0, 0, 0, 0, 0, 0, 0, 0, false },
};

int at(int order, int row)
{
    return order * MUS_ROWS + row;
}

int at(xCue cue)
{
    return at(cue.order, cue.row);
}

class Tune {
public:
    Tune();
    void Arrange();
    void Cues();
    XmModule module;

private:
    XmCell& Cell(int abs, int ch);
    void Play(int abs, int ch, int midi, int inst, int vol, int pan = -1);
    void Hit(int abs, int ch, int inst, int vol, int pan = -1);
    void Off(int abs, int ch);
    void Volume(int abs, int ch, int vol);
    void Silence(int from, int to, std::initializer_list<int> channels);
    const std::vector<int>& ChordAt(int abs) const;
    int ChordNote(int abs, int index, int low);
    void PlayBar(int order, int bar);
    void PlayMelody(int order);
    void SnareRoll(int from, int count, int vol);
    void PadChord(int abs, const std::vector<int>& tones, int inst, int vol);
    int PadChannel(int set, int voice) const { return (set ? CH_PADB1 : CH_PAD1) + voice; }
    void Bell(int abs, int midi, int vol, int pan);

    std::vector<std::vector<int>> chords;  // one per bar of the tune
    std::vector<int> bassRoot;             // MIDI root of each bar
    musNoise noise{ 20261207 };
    int dropStep = 0;
    int padSet = 1;                        // set of the sounding chord
    std::vector<int> padSetOfBar;          // the set sounding at each bar's end
};

Tune::Tune()
{
    module.name = "Quiet Harbor";
    module.channels = MUS_CHANNELS;
    module.speed = MUS_SPEED;
    module.bpm = MUS_BPM;
    module.patterns.resize(MUS_ORDERS);
    for (int i = 0; i < MUS_ORDERS; ++i) {
        module.orders.push_back(static_cast<uint8_t>(i));
        module.patterns[i].rows = MUS_ROWS;
        module.patterns[i].cells.assign(MUS_ROWS * MUS_CHANNELS, XmCell());
    }
    for (const OrderPlan& plan : kPlan) {
        std::string names = plan.chords;
        size_t start = 0;
        int bars = 0;
        while (start < names.size()) {
            size_t end = names.find(' ', start);
            if (end == std::string::npos)
                end = names.size();
            std::string name = names.substr(start, end - start);
            std::vector<int> tones = musChordTones(name.c_str());
            chords.push_back(tones);
            bassRoot.push_back(31 + (tones[0] + 12 - 7) % 12);  // G1 .. F#2
            ++bars;
            start = end + 1;
        }
        if (bars != 4)
            badText("Tune -> an order needs four chords, not", plan.chords);
    }
}

XmCell& Tune::Cell(int abs, int ch)
{
    if (abs < 0 || abs >= MUS_ORDERS * MUS_ROWS || ch < 0 || ch >= MUS_CHANNELS)
        musFatal("Tune::Cell -> position outside the tune");
    XmPattern& p = module.patterns[abs / MUS_ROWS];
    return p.cells[(abs % MUS_ROWS) * MUS_CHANNELS + ch];
}

void Tune::Play(int abs, int ch, int midi, int inst, int vol, int pan)
{
    if (abs >= MUS_ORDERS * MUS_ROWS)
        return;  // echoes running past the end of the tune
    XmCell& c = Cell(abs, ch);
    c.note = static_cast<uint8_t>(musTrackerNote(midi));
    c.instrument = static_cast<uint8_t>(inst);
    c.volume = static_cast<uint8_t>(XM_VOLUME_SET + std::max(0, std::min(64, vol)));
    c.effect = pan >= 0 ? XM_FX_PANNING : 0;
    c.param = pan >= 0 ? static_cast<uint8_t>(pan) : 0;
}

// Unpitched sounds are struck at C-4, where they play as made.
void Tune::Hit(int abs, int ch, int inst, int vol, int pan)
{
    Play(abs, ch, 60, inst, vol, pan);
}

void Tune::Off(int abs, int ch)
{
    if (abs >= MUS_ORDERS * MUS_ROWS)
        return;
    XmCell& c = Cell(abs, ch);
    c = XmCell();
    c.note = XM_NOTE_OFF;
}

void Tune::Volume(int abs, int ch, int vol)
{
    XmCell& c = Cell(abs, ch);
    c.volume = static_cast<uint8_t>(XM_VOLUME_SET + std::max(0, std::min(64, vol)));
}

// Stops the channels at row from and clears them up to (not including) to.
void Tune::Silence(int from, int to, std::initializer_list<int> channels)
{
    for (int ch : channels) {
        for (int r = from; r < to && r < MUS_ORDERS * MUS_ROWS; ++r)
            Cell(r, ch) = XmCell();
        Off(from, ch);
    }
}

const std::vector<int>& Tune::ChordAt(int abs) const
{
    return chords[abs / 16];
}

// Chord tone number index (counting upwards through the octaves) at or
// above the MIDI note low.
int Tune::ChordNote(int abs, int index, int low)
{
    const std::vector<int>& tones = ChordAt(abs);
    std::vector<int> ladder;
    for (int octave = 0; octave < 4; ++octave)
        for (int pc : tones) {
            int n = low - low % 12 + pc + 12 * octave;
            if (n >= low)
                ladder.push_back(n);
        }
    std::sort(ladder.begin(), ladder.end());
    return ladder[std::min<size_t>(index, ladder.size() - 1)];
}

void Tune::PlayBar(int order, int bar)
{
    const OrderPlan& plan = kPlan[order];
    int start = at(order, bar * 16);
    int barIndex = start / 16;
    const std::vector<int>& tones = chords[barIndex];
    int root = bassRoot[barIndex];

    // Pads: struck when the chord changes or the order brings a new sound.
    if (plan.pad) {
        bool sameChord = barIndex > 0 && chords[barIndex - 1] == tones &&
                         (bar > 0 || kPlan[order - 1].pad == plan.pad);
        if (!sameChord)
            PadChord(start, tones, plan.pad, plan.padVol);
        // A suspended fourth falls to the third halfway through its bar.
        if (tones.size() == 3 && tones[1] == (tones[0] + 5) % 12)
            PadChord(start + 8, { tones[0], (tones[0] + 4) % 12, tones[2] }, plan.pad, plan.padVol);
    }
    padSetOfBar.push_back(padSet);

    // Bass.
    switch (plan.bass) {
    case BS_NONE:
        break;
    case BS_LONG:
        Play(start, CH_BASS, root, MUS_BASS, plan.bassVol, 0x80);
        break;
    case BS_PULSE:
        for (int r = 0; r < 16; r += 2)
            Play(start + r, CH_BASS, root, MUS_BASS, plan.bassVol - (r % 4 ? 8 : 0), 0x80);
        break;
    case BS_OCT:
        for (int r = 0; r < 16; r += 2)
            Play(start + r, CH_BASS, root + (r % 4 ? 12 : 0), MUS_BASS, plan.bassVol - (r % 4 ? 6 : 0), 0x80);
        break;
    case BS_GROOVE: {
        static const int rows[5] = { 0, 6, 8, 10, 14 };
        static const int steps[5] = { 0, 0, 12, 0, 7 };
        for (int i = 0; i < 5; ++i)
            Play(start + rows[i], CH_BASS, root + steps[i], MUS_BASS, plan.bassVol - (i ? 6 : 0), 0x80);
        break;
    }
    }

    // Drums.
    for (int r = 0; r < 16; ++r) {
        int abs = start + r;
        bool kick = false, snare = false;
        int hat = 0, hatVol = 0;  // 1 closed, 2 open
        switch (plan.drums) {
        case DR_NONE:
            break;
        case DR_LIGHT:
            kick = r == 0 && bar % 2 == 0;
            if (r % 4 == 2) {
                hat = 1;
                hatVol = 20;
            }
            break;
        case DR_HALF:
            kick = r == 0 || r == 10;
            snare = r == 8;
            if (r % 2 == 0) {
                hat = 1;
                hatVol = r % 4 ? 16 : 22;
            }
            break;
        case DR_WARM:
            kick = r == 0 || r == 6 || r == 10;
            snare = r == 8;
            if (r % 2 == 0) {
                hat = r == 14 ? 2 : 1;
                hatVol = r == 14 ? 18 : (r % 4 ? 16 : 22);
            }
            break;
        case DR_FOUR:
        case DR_BEAT:
            kick = r % 4 == 0;
            snare = plan.drums == DR_BEAT && (r == 4 || r == 12);
            if (r % 2 == 0) {
                hat = 1;
                hatVol = r % 4 ? 24 : 16;
            }
            break;
        case DR_DRIVE:
            kick = r % 4 == 0;
            snare = r == 4 || r == 12;
            hat = r % 4 == 2 ? 2 : 1;
            hatVol = r % 4 == 2 ? 20 : (r % 2 ? 12 : 20);
            break;
        }
        if (kick)
            Hit(abs, CH_KICK, MUS_KICK, r == 0 ? 56 : 50);
        if (snare)
            Hit(abs, CH_SNARE, MUS_SNARE, plan.drums == DR_HALF || plan.drums == DR_WARM ? 40 : 50, 0x78);
        if (hat)
            Hit(abs, CH_HAT, hat == 1 ? MUS_HAT_CLOSED : MUS_HAT_OPEN,
                hatVol + 4 + static_cast<int>(noise.Next() % 5) - 2, 0xA0);
    }

    // Arpeggio of the chord in eighths, up and down.
    if (plan.arpVol) {
        static const int shape[8] = { 0, 1, 2, 3, 4, 3, 2, 1 };
        for (int r = 0; r < 16; r += 2)
            Play(start + r, CH_ARP, ChordNote(start, shape[r / 2], 62), MUS_PLUCK,
                 plan.arpVol - (r % 4 ? 4 : 0), 0xC0);
    }

    // Droplets for the circles, wandering over the chord and the stereo field.
    static const int dropShape[6] = { 0, 1, 2, 3, 2, 1 };
    for (int r = 0; r < 16; ++r) {
        int row = bar * 16 + r;
        if (!(plan.droplets || order == kCircleBurstOrder) || !cueCircleRow(order, row))
            continue;
        int pan = 0x30 + static_cast<int>(noise.Next() % 0xA0);
        int vol = order <= 2 ? 26 : 32;
        Play(start + r, CH_DROP, ChordNote(start + r, dropShape[dropStep % 6], 74), MUS_DROPLET, vol, pan);
        ++dropStep;
    }
}

void Tune::PlayMelody(int order)
{
    const OrderPlan& plan = kPlan[order];
    if (!plan.melody)
        return;
    bool sustained = plan.leadInst == MUS_LEAD_SOFT;
    for (const musNote& n : musParseMelody(plan.melody)) {
        int abs = at(order, n.row);
        if (n.midi < 0) {
            if (sustained)
                Off(abs, CH_LEAD);
            continue;
        }
        // Phrases lean on the bar lines and lighten on the off-beats.
        int vol = plan.leadVol + (n.row % 16 == 0 ? 4 : n.row % 2 ? -4 : 0);
        Play(abs, CH_LEAD, n.midi + plan.leadShift, plan.leadInst, vol, 0x68);
        if (sustained)
            Off(abs + n.length, CH_LEAD);
        if (plan.echoInst)
            Play(abs + plan.echoDelay, CH_ECHO, n.midi + plan.echoShift, plan.echoInst, plan.echoVol, 0xA8);
    }
}

// Strikes a chord on the pad set that is silent and releases the other, so
// the old chord fades while the new one swells.
void Tune::PadChord(int abs, const std::vector<int>& tones, int inst, int vol)
{
    std::vector<int> voices;
    size_t first = tones.size() > 3 ? 1 : 0;  // four-note chords leave the root to the bass
    for (size_t i = first; i < tones.size(); ++i)
        voices.push_back(58 + (tones[i] + 12 - 10) % 12);  // A#3 .. A4
    std::sort(voices.begin(), voices.end());
    static const int pans[3] = { 0x50, 0x80, 0xB0 };
    for (int v = 0; v < 3; ++v) {
        Off(abs, PadChannel(padSet, v));
        Play(abs, PadChannel(1 - padSet, v), voices[v], inst, vol, pans[v]);
    }
    padSet = 1 - padSet;
}

// Bells ring on; a bell struck while another still sounds takes the
// second bell channel.
void Tune::Bell(int abs, int midi, int vol, int pan)
{
    auto busy = [&](int ch) {
        for (int r = std::max(0, abs - 12); r < abs; ++r)
            if (Cell(r, ch).note && Cell(r, ch).note != XM_NOTE_OFF)
                return true;
        return false;
    };
    Play(abs, busy(CH_BELL) && !busy(CH_BELL2) ? CH_BELL2 : CH_BELL, midi, MUS_BELL, vol, pan);
}

void Tune::SnareRoll(int from, int count, int vol)
{
    for (int i = 0; i < count; ++i)
        Play(from + i, CH_SNARE, 60 + i / 2, MUS_SNARE, vol + i * 2, 0x78);
}

void Tune::Arrange()
{
    for (int order = 0; order < MUS_ORDERS; ++order) {
        for (int bar = 0; bar < 4; ++bar)
            PlayBar(order, bar);
        PlayMelody(order);
    }
}

void Tune::Cues()
{
    // Order 0: near silence, the pad rising out of nothing.
    for (int r = 4; r < 64; r += 4)
        for (int v = 0; v < 3; ++v)
            Volume(at(0, r), PadChannel(padSetOfBar[0], v), r * 22 / 64);
    for (int v = 0; v < 3; ++v)
        Volume(at(1, 0), PadChannel(padSetOfBar[0], v), 22);

    // A buoy bell far off in the dark before anything starts.
    Bell(at(0, 32), 62, 12, 0x60);

    // Order 2: the first caption appears with a soft bell; a riser runs
    // into the band opening at order 3 row 9.
    Bell(at(kOpeningCaption), 86, 20, 0x90);
    Hit(at(2, 57), CH_IMPACT, MUS_RISER, 34);
    Hit(at(kOpeningBand), CH_IMPACT, MUS_IMPACT, 52);
    Hit(at(kOpeningBand), CH_CRASH, MUS_CRASH, 40, 0x90);
    for (int r = kOpeningBand.row + 1; r < 64; r += 2)
        Hit(at(kOpeningBand.order, r), CH_HAT, MUS_HAT_CLOSED, r % 4 ? 22 : 14, 0xA0);

    // Orders 5 and 6: the picture shakes on rows 0-6 and the inverted half
    // returns at row 32.
    for (int order : kOpeningInvertOrders) {
        Hit(at(order, 0), CH_CRASH, MUS_CRASH, 44, order == kOpeningInvertOrders[0] ? 0x60 : 0xA0);
        Hit(at(order, 0), CH_IMPACT, MUS_IMPACT, 48);
        SnareRoll(at(order, 0), kOpeningShakeLastRow + 1, 30);
        // Toms tumbling down, one a row, while it shakes; odd rows on a
        // channel of their own so each rings out over the last.
        static const int tom[kOpeningShakeLastRow + 1] = { 0, 19, 17, 14, 0, 12, 10 };
        for (int r = 1; r <= kOpeningShakeLastRow; ++r)
            if (tom[r])
                Play(at(order, r), r % 2 ? CH_ARP : CH_KICK, 60 + tom[r], MUS_KICK, 46);
        Hit(at(order, kOpeningInvertBackRow), CH_CRASH, MUS_CRASH, 36, order == kOpeningInvertOrders[0] ? 0x60 : 0xA0);
        Bell(at(order, kOpeningInvertBackRow), ChordNote(at(order, kOpeningInvertBackRow), 0, 86), 30, 0x80);
    }
    SnareRoll(at(8, 57), 7, 26);

    // Order 9: the bursts of circles ring as bells over the droplets.
    for (int i = 0; i < 10; ++i) {
        int abs = at(kCircleBurstOrder, kCircleBurstRows[i]);
        Bell(abs, ChordNote(abs, i % 4, 81), 28, i % 2 ? 0x58 : 0xA8);
    }
    Hit(at(kCircleBurstOrder, 0), CH_CRASH, MUS_CRASH, 34, 0x80);

    // Order 12: the title arrives at row 31; the picture drops to black
    // after row 55; a riser leads into the lines.
    Bell(at(kFishCaptionOut), ChordNote(at(kFishCaptionOut), 2, 84), 34, 0x90);
    Hit(at(12, 48), CH_CRASH, MUS_RISER, 36);
    Silence(at(kFishFadeOut), at(CUE_LINES, 0), { CH_KICK, CH_SNARE, CH_HAT, CH_BASS, CH_LEAD, CH_ECHO, CH_PAD1, CH_PAD2, CH_PAD3,
                                          CH_PADB1, CH_PADB2, CH_PADB3 });
    Hit(at(kFishFadeOut), CH_IMPACT, MUS_IMPACT, 44);
    Hit(at(CUE_LINES, 0), CH_CRASH, MUS_CRASH, 46, 0x70);
    Hit(at(CUE_LINES, 0), CH_IMPACT, MUS_IMPACT, 50);

    // Orders 13-14: each zooming letter starts with a bell and a droplet.
    for (int order : kLinesZoomOrders)
        for (int i = 0; i < 7; ++i) {
            int abs = at(order, kLinesZoomRows[i]);
            int pan = 0x40 + i * 0x14;
            Bell(abs, ChordNote(abs, (i + order) % 3 + 1, 79), 34, pan);
            Play(abs, CH_DROP, ChordNote(abs, (i + order) % 3 + 3, 79), MUS_DROPLET, 28, 0x100 - pan);
        }

    // Order 15: the caption at row 31, the 3D title at row 35.
    Bell(at(kLinesCaption), ChordNote(at(kLinesCaption), 2, 86), 32, 0x80);
    Hit(at(kLinesTitle), CH_CRASH, MUS_CRASH, 44, 0x90);
    Hit(at(kLinesTitle), CH_IMPACT, MUS_IMPACT, 46);

    // Order 16 row 58: the grid flickers and the letterbox goes black;
    // everything stops under a rising snare stutter.
    Silence(at(kLinesGridsStep), at(CUE_GREETINGS, 0), { CH_KICK, CH_HAT, CH_BASS, CH_LEAD, CH_ECHO, CH_ARP, CH_PAD1, CH_PAD2, CH_PAD3,
                                          CH_PADB1, CH_PADB2, CH_PADB3 });
    SnareRoll(at(kLinesGridsStep), 6, 34);

    // Orders 17-21: the greetings open with a white flash; bells on every
    // circle flash, the two question marks of order 19 asked higher.
    Hit(at(CUE_GREETINGS, 0), CH_CRASH, MUS_CRASH, 44, 0x80);
    Hit(at(CUE_GREETINGS, 0), CH_IMPACT, MUS_IMPACT, 40);
    static const int flashShape[7] = { 2, 1, 2, 0, 1, 2, 3 };
    for (int order = CUE_GREETINGS; order < CUE_CREDITS1; ++order)
        for (int i = 0; i < 7; ++i) {
            int abs = at(order, kGreetFlashRows[i]);
            int vol = order == CUE_CREDITS1 - 1 ? 26 : 32;
            if (abs == at(kGreetQuestion1) || abs == at(kGreetQuestion2))
                continue;  // the question marks ring instead
            Bell(abs, ChordNote(abs, flashShape[i], 79), vol, i % 2 ? 0x50 : 0xB0);
            Play(abs, CH_DROP, ChordNote(abs, flashShape[i] + 3, 79), MUS_DROPLET, vol - 8, i % 2 ? 0xB0 : 0x50);
        }
    Bell(at(kGreetQuestion1), 88, 40, 0x60);   // E6
    Bell(at(kGreetQuestion2), 93, 42, 0xA0);   // A6
    Play(at(kGreetQuestion1), CH_DROP, 91, MUS_DROPLET, 30, 0xA0);
    Play(at(kGreetQuestion2), CH_DROP, 96, MUS_DROPLET, 30, 0x60);

    // "Two are missing": the picture darkens, the groove falls away until
    // the next order; then "guess who" is asked.
    Silence(at(kGreetTwoMissing), at(kGreetTwoMissing.order + 1, 0), { CH_KICK, CH_SNARE, CH_HAT, CH_BASS });
    Hit(at(kGreetTwoMissing), CH_IMPACT, MUS_IMPACT, 36);
    Play(at(kGreetTwoMissing), CH_BASS, 34, MUS_BASS, 32, 0x80);
    Play(at(kGreetGuessWho), CH_DROP, 93, MUS_DROPLET, 32, 0x80);
    Bell(at(kGreetGuessWho), 81, 38, 0x80);
    Hit(at(21, 48), CH_IMPACT, MUS_RISER, 34);

    // The first order of each credit: the background pieces and photo
    // steps, each a hit; the groove runs from row 32.
    for (int order : kCreditsStepOrders) {
        Silence(at(order, 0), at(order, 32), { CH_KICK, CH_SNARE, CH_HAT, CH_BASS });
        Hit(at(order, 0), CH_CRASH, MUS_CRASH, 44, 0x80);
        Hit(at(order, 0), CH_IMPACT, MUS_IMPACT, 46);
        for (int step = 0; step < 4; ++step) {
            int r = kCreditsStepRows[step];
            int abs = at(order, r);
            Hit(abs, CH_KICK, MUS_KICK, 54);
            Play(abs, CH_BASS, bassRoot[abs / 16], MUS_BASS, 38, 0x80);
            Bell(abs, ChordNote(abs, step + 2, 79), 34, 0x50 + r * 4);
            Play(abs, CH_DROP, ChordNote(abs, step + 3, 79), MUS_DROPLET, 24, 0xB0 - r * 4);
        }
        for (int r = 26; r < 32; r += 2)
            Hit(at(order, r), CH_HAT, MUS_HAT_CLOSED, 18, 0xA0);
    }

    // The second credit's last order: a riser (16 rows long) ends on the
    // white fade; the flare scene opens with its own white flash.
    Hit(at(kCreditsWhite) - 16, CH_IMPACT, MUS_RISER, 38);
    Silence(at(kCreditsWhite), at(CUE_FLARE, 0), { CH_KICK, CH_SNARE, CH_HAT, CH_BASS, CH_ARP });
    Hit(at(kCreditsWhite), CH_CRASH, MUS_CRASH, 46, 0x80);
    Hit(at(kCreditsWhite), CH_IMPACT, MUS_IMPACT, 44);
    Bell(at(26, 0), 86, 36, 0x80);
    for (int r = 2; r < 64; r += 4)
        Hit(at(26, r), CH_HAT, MUS_HAT_CLOSED, 12, 0xB0);
    for (int r = 0; r < 64; r += 16)
        Play(at(26, r + 8), CH_DROP, ChordNote(at(26, r + 8), 3, 79), MUS_DROPLET, 22, 0x40 + r * 2);

    // Order 27 row 41: the next picture cross-fades over the flares.
    Hit(at(kFlareCrossFade), CH_CRASH, MUS_CRASH, 44, 0x80);
    Hit(at(kFlareCrossFade), CH_IMPACT, MUS_IMPACT, 44);
    Bell(at(kFlareCrossFade), ChordNote(at(kFlareCrossFade), 3, 81), 36, 0x80);
    static const int fill[8] = { 48, 52, 56, 58, 60, 61, 62, 63 };
    for (int i = 0; i < 8; ++i)
        Hit(at(27, fill[i]), CH_SNARE, MUS_SNARE, 26 + i * 2, 0x78);
    Hit(at(28, 0), CH_CRASH, MUS_CRASH, 42, 0x80);
    Hit(at(28, 0), CH_IMPACT, MUS_IMPACT, 40);

    // Order 29: a riser into the flash to white from row 57.
    Hit(at(29, 41), CH_IMPACT, MUS_RISER, 36);
    Silence(at(kRotoFlash), at(CUE_CIRCLES, 0), { CH_KICK, CH_SNARE, CH_HAT, CH_ARP });
    Hit(at(kRotoFlash), CH_CRASH, MUS_CRASH, 46, 0x80);
    Hit(at(kRotoFlash), CH_IMPACT, MUS_IMPACT, 46);
    Hit(at(30, 0), CH_CRASH, MUS_CRASH, 30, 0x80);

    // Orders 32-34: the falling letters, a fill, the last lift.
    Hit(at(32, 0), CH_CRASH, MUS_CRASH, 34, 0x80);
    SnareRoll(at(33, 56), 8, 24);
    Hit(at(kClosingFall), CH_CRASH, MUS_CRASH, 46, 0x80);
    Hit(at(kClosingFall), CH_IMPACT, MUS_IMPACT, 44);

    // Order 35 row 51: the closing words darken; the beat stops, the chord
    // is left hanging.
    Silence(at(kClosingDark), at(kEndBell), { CH_KICK, CH_SNARE, CH_HAT, CH_BASS, CH_ARP, CH_ECHO });
    Hit(at(kClosingDark), CH_CRASH, MUS_CRASH, 40, 0x80);
    Hit(at(kClosingDark), CH_IMPACT, MUS_IMPACT, 46);
    Bell(at(kClosingDark), 81, 34, 0x80);

    // Order 36: the end scroller fades in from black.
    Bell(at(kEndBell), 86, 30, 0x80);

    // Order 37 row 46: "cut here". The beat is cut; the cadence follows.
    Silence(at(kEndCut), at(kEndCut.order + 1, 0), { CH_KICK, CH_SNARE, CH_HAT, CH_BASS, CH_LEAD, CH_ECHO });
    Hit(at(kEndCut), CH_CRASH, MUS_CRASH, 42, 0x80);
    Hit(at(kEndCut), CH_IMPACT, MUS_IMPACT, 46);
    Play(at(37, 48), CH_BASS, 34, MUS_BASS, 36, 0x80);

    // Order 38: the suspension resolves at row 8, the final D major chord
    // sounds at row 16 and rings past row 40, where the show falls silent.
    int final = at(38, 16);
    Play(final, CH_BASS, 26, MUS_BASS, 44, 0x80);          // D1
    Hit(final, CH_IMPACT, MUS_IMPACT, 34);
    Hit(final, CH_CRASH, MUS_CRASH, 34, 0x80);
    Bell(final, 86, 40, 0x70);          // D6
    Play(final, CH_DROP, 93, MUS_DROPLET, 24, 0xA0);        // A6
    Play(final, CH_ARP, 62, MUS_PLUCK, 36, 0x40);          // D4
    int finalSet = padSetOfBar[final / 16];
    for (int v = 0; v < 3; ++v)
        Volume(final, PadChannel(finalSet, v), 36);

    // Order 39: the tail. The chord fades away and is released.
    for (int r = 0; r < 48; r += 4) {
        for (int v = 0; v < 3; ++v)
            Volume(at(39, r), PadChannel(finalSet, v), 20 - r * 20 / 48);
        Volume(at(39, r), CH_BASS, 24 - r * 24 / 48);
    }
    for (int v = 0; v < 3; ++v)
        Off(at(39, 48), PadChannel(finalSet, v));
    Off(at(39, 48), CH_BASS);
}

}  // namespace

XmModule musComposeModule()
{
    Tune tune;
    tune.Arrange();
    tune.Cues();
    // One row lasts 15/132 s; the riser spans 16 rows so that it peaks on
    // the row it is timed for.
    tune.module.instruments = musMakeInstruments(16 * xmRowSeconds(tune.module));
    return tune.module;
}
