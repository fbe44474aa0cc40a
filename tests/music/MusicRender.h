// Plays the composed tune through libopenmpt for the music tests and the
// listening report: stereo floats at a fixed rate, optionally with only
// some channels sounding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int MUSIC_RATE = 44100;

struct MusicAudio {
    std::vector<float> left, right;
    // First frame of each row as rendered (index order * 64 + row). The
    // player rounds its ticks to whole frames, so this drifts from the
    // exact time the module's tempo gives; sounds follow this one.
    std::vector<size_t> rowStart;
    double Seconds() const { return static_cast<double>(left.size()) / MUSIC_RATE; }
    double TimeAt(int order, int row) const;
};

// Renders the whole module once through. channels lists the channels to
// keep; empty keeps all of them.
MusicAudio musicRender(const std::vector<uint8_t>& module, const std::vector<int>& channels = {});

// Seconds from the start of the module to the given order and row.
double musicTimeAt(const std::vector<uint8_t>& module, int order, int row);

// Root mean square and peak of both sides over [from, to) seconds.
struct MusicLevel {
    double rms;
    double peak;
};
MusicLevel musicLevel(const MusicAudio& audio, double from, double to);
