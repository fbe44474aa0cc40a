#include "XmWriter.h"

#include <cstring>

namespace testxm {

namespace {

void put8(std::vector<uint8_t>& out, int v) { out.push_back((uint8_t)v); }
void put16(std::vector<uint8_t>& out, int v)
{
    put8(out, v & 0xFF);
    put8(out, (v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v)
{
    put16(out, (int)(v & 0xFFFF));
    put16(out, (int)(v >> 16));
}
void putText(std::vector<uint8_t>& out, const char* text, size_t size)
{
    size_t n = strlen(text);
    for (size_t i = 0; i < size; i++)
        put8(out, i < n ? text[i] : 0);
}
void putZeros(std::vector<uint8_t>& out, size_t size) { out.insert(out.end(), size, 0); }

} // namespace

int XmSong::AddPattern(int rows)
{
    XmPattern p;
    p.rows = rows;
    p.cells.resize((size_t)rows * channels);
    patterns.push_back(p);
    return (int)patterns.size() - 1;
}

XmCell& XmSong::Cell(int pattern, int row, int channel)
{
    return patterns[pattern].cells[(size_t)row * channels + channel];
}

std::vector<uint8_t> WriteXm(const XmSong& song)
{
    std::vector<uint8_t> out;
    putText(out, "Extended Module: ", 17);
    putText(out, "channel test", 20);
    put8(out, 0x1A);
    putText(out, "qh tests", 20);
    put16(out, 0x0104);
    put32(out, 276);
    put16(out, (int)song.orders.size());
    put16(out, song.restart);
    put16(out, song.channels);
    put16(out, (int)song.patterns.size());
    put16(out, song.instrument ? 1 : 0);
    put16(out, 1); // linear frequency table
    put16(out, song.speed);
    put16(out, song.bpm);
    for (int i = 0; i < 256; i++)
        put8(out, i < (int)song.orders.size() ? song.orders[i] : 0);

    for (const XmPattern& p : song.patterns) {
        put32(out, 9);
        put8(out, 0);
        put16(out, p.rows);
        put16(out, (int)p.cells.size() * 5);
        for (const XmCell& c : p.cells) {
            put8(out, c.note);
            put8(out, c.instrument);
            put8(out, c.volume);
            put8(out, c.effect);
            put8(out, c.param);
        }
    }

    if (song.instrument) {
        const int length = 32;
        put32(out, 263);
        putText(out, "square", 22);
        put8(out, 0);
        put16(out, 1);
        put32(out, 40);
        putZeros(out, 96 + 48 + 48); // key map, envelopes
        putZeros(out, 2 + 6 + 2);    // envelope points, sustain and loops, types
        putZeros(out, 4 + 2 + 22);   // vibrato, fade-out, reserved
        put32(out, length);
        put32(out, 0);
        put32(out, length); // loop over the whole wave
        put8(out, 64);
        put8(out, 0);
        put8(out, 1); // forward loop, 8-bit
        put8(out, 128);
        put8(out, 0);
        put8(out, 0);
        putText(out, "square", 22);
        int previous = 0;
        for (int i = 0; i < length; i++) {
            int v = i < length / 2 ? 60 : -60;
            put8(out, (v - previous) & 0xFF);
            previous = v;
        }
    }
    return out;
}

XmSong TestSong()
{
    XmSong song;
    int a = song.AddPattern(8);
    int b = song.AddPattern(4);
    XmCell& c = song.Cell(a, 0, 0);
    c.note = 49; // C-4
    c.instrument = 1;
    song.orders = {(uint8_t)a, (uint8_t)b, (uint8_t)a};
    return song;
}

uint32_t ExpectedPosition(const std::vector<int>& orderRows, uint64_t frames)
{
    if (frames == 0)
        return 0;
    uint64_t row = (frames - 1) / TEST_ROW_FRAMES; // the row of the last frame heard
    for (size_t order = 0; order < orderRows.size(); order++) {
        if (row < (uint64_t)orderRows[order])
            return (uint32_t)order | (uint32_t)row << 16;
        row -= (uint64_t)orderRows[order];
    }
    return 0xFFFFFFFFu;
}

} // namespace testxm
