// The show's tune, composed by code: chords, grooves, melodies and the
// accents that land where the pictures react.
#pragma once
#include <vector>

#include "XmModule.h"

// Fixed shape of the tune. A row lasts 6 ticks at 132 beats per minute,
// 15/132 s; a 64-row pattern about 7.3 s.
enum {
    MUS_ORDERS = 40,
    MUS_ROWS = 64,
    MUS_CHANNELS = 18,
    MUS_SPEED = 6,
    MUS_BPM = 132
};

// MIDI-style note number of a name such as "C4", "F#5" or "Bb3"
// (C4 = 60, tracker note C-4). Bad names end the tool.
int musNoteNumber(const char* name);

// Tracker note (1-96) of a MIDI-style note number.
int musTrackerNote(int midi);

// A melody of one pattern: "A4:6 D5:2 F5:4 E5:4 | ..." gives note and
// length in rows, "-" a rest, "|" a bar line. Each bar of 16 rows must be
// filled exactly and the four bars cover the pattern; anything else ends
// the tool with a message naming the melody.
struct musNote {
    int row;
    int length;
    int midi;  // -1: rest
};
std::vector<musNote> musParseMelody(const char* text);

// Pitch classes of a chord name ("Dm", "Bb", "A", "Asus4", "Gm7",
// "Bbmaj7"), root first. Bad names end the tool.
std::vector<int> musChordTones(const char* name);

// The whole tune.
XmModule musComposeModule();
