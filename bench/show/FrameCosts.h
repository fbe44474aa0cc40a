// The drawing cost of every frame of a captured show (the lines the
// program's -costs switch writes), gathered per part, and the plot of them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qhcost {

// One part of the show as the table and the plot name it.
struct Part {
    const char* timer; // the frame timer in the cost lines
    const char* label;
    bool with3d; // draws a 3D scene: its goal is 3 ms, 1 ms without
};
extern const Part kParts[];
extern const int kPartCount;

struct Frame {
    int part; // index into kParts
    uint32_t showMs, budgetMs;
    int order, row;
    double ms; // the drawing's processor time
};

// The frames of one run; false with a message when the file is not what
// -costs writes.
bool readCosts(const std::string& path, std::vector<Frame>& frames, std::string& error);

struct PartStats {
    int frames = 0;
    uint32_t budgetMs = 0, fromMs = 0, toMs = 0;
    double median = 0, p99 = 0, worst = 0, first = 0;
    // The p99 of each frame's cost over the median of the 31 frames around
    // it: spikes, as against the part's slower and faster stretches.
    double p99Local = 0;
    int worstOrder = 0, worstRow = 0;
};
std::vector<PartStats> partStats(const std::vector<Frame>& frames);

// One drawing path's run, for the plot.
struct Series {
    std::string name;
    std::vector<Frame> frames;
    std::vector<PartStats> stats;
};
// Writes the PNG: cost against show time, one panel per series; false when
// the file cannot be written.
bool writePlot(const std::string& path, const std::vector<Series>& series, double memcpyMs);

} // namespace qhcost
