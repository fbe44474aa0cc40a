// A minimal writer of FastTracker 2 modules, so the tests know the music they
// play to the row: every cell is stored unpacked, one instrument holds one
// looped 8-bit square wave. Its names live in testxm, apart from the
// composer's XM writer of the same shapes.
#pragma once
#include <cstdint>
#include <vector>

namespace testxm {

struct XmCell {
    uint8_t note = 0; // 1..96, 97 key off
    uint8_t instrument = 0;
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
};

struct XmPattern {
    int rows = 64;
    std::vector<XmCell> cells; // rows x channels
};

struct XmSong {
    int channels = 2;
    int speed = 6; // ticks per row
    int bpm = 125; // 2.5 / bpm seconds per tick: 882 frames at 44100 Hz
    int restart = 0;
    std::vector<uint8_t> orders;
    std::vector<XmPattern> patterns;
    bool instrument = true;

    // An empty pattern of the given rows; returns its number.
    int AddPattern(int rows);
    XmCell& Cell(int pattern, int row, int channel);
};

std::vector<uint8_t> WriteXm(const XmSong& song);

// The song the position tests play: orders 0, 1, 0 over a pattern of 8 rows
// with a note on its first row and a pattern of 4 rows; speed 6 at 125 BPM,
// so every row lasts 5292 frames (120 ms) and the song 2.4 s.
XmSong TestSong();
enum : uint32_t { TEST_ROW_FRAMES = 5292 };

// The packed position (order low, row high) after `frames` frames of a song
// whose orders have the given row counts; all bits set once the song is over.
uint32_t ExpectedPosition(const std::vector<int>& orderRows, uint64_t frames);

} // namespace testxm
