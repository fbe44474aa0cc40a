// An extended tracker module (FastTracker 2 "XM", version 1.04) held in
// memory and written out byte for byte. The composer fills it; the writer
// knows nothing about music.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One cell of a pattern: note 1-96 (1 = C-0, 49 = C-4), 97 key off, 0 none;
// instrument 1-based, 0 none; volume column byte as stored (0x10-0x50 set
// volume 0-64, 0xC0-0xCF panning, 0 none); effect and its parameter.
struct XmCell {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
};

enum {
    XM_NOTE_OFF = 97,
    XM_VOLUME_SET = 0x10,   // + 0..64
    XM_VOLUME_PAN = 0xC0,   // + 0..15
    XM_FX_PANNING = 0x08,
    XM_FX_VOLSLIDE = 0x0A,
    XM_FX_GLOBALVOL = 0x10
};

struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells;  // rows x channels, row-major
};

struct XmEnvelope {
    struct Point { uint16_t tick; uint16_t value; };
    std::vector<Point> points;  // at most 12, ticks rising, values 0..64
    int sustain = -1;           // point index, or -1
    int loopStart = -1;
    int loopEnd = -1;
};

// 16-bit mono sample; lengths and loop points in sample frames.
struct XmSample {
    std::string name;
    std::vector<int16_t> data;
    uint32_t loopStart = 0;
    uint32_t loopLength = 0;    // 0: no loop
    uint8_t volume = 64;
    int8_t finetune = 0;        // 1/128 semitone
    int8_t relativeNote = 0;
    uint8_t panning = 128;
};

// One sample per instrument is all the composer needs.
struct XmInstrument {
    std::string name;
    XmSample sample;
    XmEnvelope volumeEnvelope;  // no points: envelope off
    uint16_t fadeout = 0;
    uint8_t vibratoType = 0;
    uint8_t vibratoSweep = 0;
    uint8_t vibratoDepth = 0;
    uint8_t vibratoRate = 0;
};

struct XmModule {
    std::string name;
    std::string tracker = "qh_compose";
    int channels = 8;
    int speed = 6;              // ticks per row
    int bpm = 125;              // a tick lasts 2.5 / bpm seconds
    bool linearFrequencies = true;
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// Seconds one row lasts at the module's fixed speed and tempo.
double xmRowSeconds(const XmModule& module);

// The module as an XM file. Refuses (through musFatal) a module the format
// cannot hold: channel, pattern, order, row, instrument or envelope counts
// out of range, cells outside the pattern, loops outside their sample.
std::vector<uint8_t> xmWrite(const XmModule& module);

// Reports a failure of the music tools and ends the process with status 3.
[[noreturn]] void musFatal(const char* text);
