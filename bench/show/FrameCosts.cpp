// Where the time goes: plays the whole show through the capture on its
// virtual clock, N times (5) on each drawing path, records the processor time of
// every frame's drawing (-costs) and prints per part the frames, median, p99
// and worst in ms, as multiples of a memcpy of a 640 x 480 x 4 frame measured
// in the same run, and against the part's goal and pacing budget. Writes the
// table as text and the plot as PNG.
//
// usage: qh_frame_costs TABLE.txt PLOT.png [--runs N] [show switches, e.g. -start 17 -end 22]
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "bench/common/RunTimes.h"
#include "bench/show/FrameCosts.h"
#include "tests/common/ShowRun.h"
#include "tools/makedata/Type.h"

namespace qhcost {

const Part kParts[] = {
    {"Part1Frame", "opening", true},       {"Part2Frame", "fish", false},
    {"Part3Frame", "lines", true},         {"GreetFrame", "greetings", false},
    {"Credits1Frame", "credits 1", true},  {"Credits2Frame", "credits 2", true},
    {"FlareFrame", "flare", true},         {"RotoFrame", "roto", false},
    {"CirclesFrame", "circles", false},    {"FallFrame", "falling letters", false},
    {"Part10Frame", "closing words", true}, {"EndFrame", "end scroller", false},
};
const int kPartCount = (int)(sizeof kParts / sizeof kParts[0]);

bool readCosts(const std::string& path, std::vector<Frame>& frames, std::string& error)
{
    FILE* f = fopen(path.c_str(), "r");
    if (!f) {
        error = "cannot read " + path;
        return false;
    }
    char line[256];
    int number = 0;
    bool good = true;
    while (good && fgets(line, sizeof line, f)) {
        number++;
        if (line[0] == '#')
            continue;
        char timer[32];
        unsigned budget, showMs, order, row, ns;
        good = sscanf(line, "%31s %u %u %u %u %u", timer, &budget, &showMs, &order, &row, &ns) == 6;
        int part = -1;
        for (int i = 0; good && i < kPartCount; i++)
            if (!strcmp(timer, kParts[i].timer))
                part = i;
        good = good && part >= 0;
        if (good)
            frames.push_back(Frame{part, showMs, budget, (int)order, (int)row, ns / 1e6});
    }
    fclose(f);
    if (!good)
        error = path + ":" + std::to_string(number) + ": not a frame cost line";
    return good;
}

std::vector<PartStats> partStats(const std::vector<Frame>& frames)
{
    std::vector<PartStats> stats(kPartCount);
    std::vector<std::vector<double>> costs(kPartCount);
    for (const Frame& fr : frames) {
        PartStats& s = stats[fr.part];
        if (s.frames++ == 0) {
            s.first = fr.ms;
            s.fromMs = fr.showMs;
        }
        s.toMs = fr.showMs;
        s.budgetMs = fr.budgetMs;
        if (fr.ms > s.worst) {
            s.worst = fr.ms;
            s.worstOrder = fr.order;
            s.worstRow = fr.row;
        }
        costs[fr.part].push_back(fr.ms);
    }
    for (int i = 0; i < kPartCount; i++) {
        std::vector<double>& c = costs[i];
        if (c.empty())
            continue;
        std::vector<double> local;
        for (size_t k = 0; k < c.size(); k++) {
            size_t from = k < 15 ? 0 : k - 15, to = std::min(c.size(), k + 16);
            std::vector<double> around(c.begin() + from, c.begin() + to);
            std::nth_element(around.begin(), around.begin() + around.size() / 2, around.end());
            double m = around[around.size() / 2];
            local.push_back(m > 0 ? c[k] / m : 1.0);
        }
        std::sort(local.begin(), local.end());
        stats[i].p99Local = local[(size_t)std::ceil(0.99 * local.size()) - 1];
        std::sort(c.begin(), c.end());
        size_t n = c.size();
        stats[i].median = n % 2 ? c[n / 2] : (c[n / 2 - 1] + c[n / 2]) / 2;
        // Nearest rank: the smallest cost that 99 % of the frames do not exceed.
        stats[i].p99 = c[(size_t)std::ceil(0.99 * n) - 1];
    }
    return stats;
}

} // namespace qhcost

namespace {

using namespace qhcost;

// The baseline: memcpy of one whole 640 x 480 frame of 4-byte pixels.
void memcpyFrame(benchmark::State& state)
{
    std::vector<uint32_t> from(640 * 480, 0x123456), to(640 * 480);
    for (auto _ : state) {
        memcpy(to.data(), from.data(), from.size() * 4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(memcpyFrame)->Repetitions(5)->ReportAggregatesOnly(true);

std::string table(const Series& run, double memcpyMs)
{
    std::string out;
    char line[256];
    snprintf(line, sizeof line,
             "%s path: drawing time of one core per frame, in ms and (in brackets) as multiples of the memcpy\n",
             run.name.c_str());
    out += line;
    snprintf(line, sizeof line, "%-16s %6s %6s %5s  %16s %16s %16s %6s %8s %7s %9s  %s\n", "part", "frames",
             "budget", "goal", "median", "p99", "worst", "at", "first", "p99/med", "p99/local", "verdict");
    out += line;
    for (int i = 0; i < kPartCount; i++) {
        const PartStats& s = run.stats[i];
        if (!s.frames)
            continue;
        double goal = kParts[i].with3d ? 3.0 : 1.0;
        auto cell = [&](double ms) {
            char c[32];
            snprintf(c, sizeof c, "%7.3f (%6.1f)", ms, ms / memcpyMs);
            return std::string(c);
        };
        std::string verdict;
        if (s.median > goal)
            verdict += "median over goal; ";
        if (s.p99 > 2 * s.median)
            verdict += "p99 over 2x median; ";
        if (s.worst > s.budgetMs)
            verdict += "worst over budget; ";
        verdict = verdict.empty() ? "ok" : verdict.substr(0, verdict.size() - 2);
        char at[16];
        snprintf(at, sizeof at, "%d/%d", s.worstOrder, s.worstRow);
        snprintf(line, sizeof line, "%-16s %6d %3u ms %2.0f ms  %s %s %s %6s %8.3f %7.2f %9.2f  %s\n",
                 kParts[i].label, s.frames, s.budgetMs, goal, cell(s.median).c_str(), cell(s.p99).c_str(),
                 cell(s.worst).c_str(), at, s.first, s.median > 0 ? s.p99 / s.median : 0.0, s.p99Local, verdict.c_str());
        out += line;
    }
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: %s TABLE.txt PLOT.png [--runs N] [show switches]\n", argv[0]);
        return 2;
    }
    qhd::SetFontDir(QH_FONT_DIR);
    // Every frame of a capture draws the same picture in every run: the least
    // of a few runs' costs of each frame leaves out what the neighbours on a
    // shared machine (caches, clock speed) added to it.
    int rounds = 5;
    std::string extra;
    for (int i = 3; i < argc; i++) {
        if (!strcmp(argv[i], "--runs") && i + 1 < argc) {
            rounds = std::max(1, atoi(argv[++i]));
            continue;
        }
        extra += std::string(" ") + argv[i];
    }

    RunTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    double memcpyMs = 0;
    for (const auto& e : reporter.times)
        if (e.first.rfind("memcpyFrame", 0) == 0)
            memcpyMs = e.second / 1e6;
    if (memcpyMs <= 0) {
        fprintf(stderr, "the memcpy baseline did not run\n");
        return 1;
    }

    // The frames go to a file that keeps nothing: the capture's sampling of
    // the picture runs as in a real capture, without gigabytes on the disk.
    std::vector<Series> runs = {{"SSE2", {}, {}}, {"plain (QH_NO_MMX=1)", {}, {}}};
    const char* envs[] = {"QH_NO_MMX=", "QH_NO_MMX=1"};
    for (int round = 0; round < rounds; round++)
        for (size_t r = 0; r < runs.size(); r++) {
            std::string folder = showFolder((r ? "costs-plain-" : "costs-sse2-") + std::to_string(round));
            if (folder.empty() || symlink("/dev/null", (folder + "/frames.rgb").c_str()) != 0) {
                fprintf(stderr, "cannot set up a scratch folder for the show\n");
                return 1;
            }
            fprintf(stderr, "%s path, run %d of %d: capturing the show at 60 frames a second...\n",
                    runs[r].name.c_str(), round + 1, rounds);
            ShowRun run = runShow(folder, "-capture frames.rgb -fps 60 -costs costs.txt" + extra,
                                  std::string("SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy ") + envs[r]);
            std::string error;
            std::vector<Frame> frames;
            if (run.status != 0) {
                fprintf(stderr, "the show failed (status %d):\n%s", run.status, run.err.c_str());
                return 1;
            }
            if (!readCosts(folder + "/costs.txt", frames, error)) {
                fprintf(stderr, "%s\n", error.c_str());
                return 1;
            }
            remove((folder + "/frames.rgb.wav").c_str());
            std::vector<Frame>& kept = runs[r].frames;
            if (round == 0) {
                kept = frames;
                continue;
            }
            if (frames.size() != kept.size()) {
                fprintf(stderr, "two runs of the show drew %zu and %zu frames\n", kept.size(), frames.size());
                return 1;
            }
            for (size_t k = 0; k < frames.size(); k++)
                kept[k].ms = std::min(kept[k].ms, frames[k].ms);
        }
    for (Series& run : runs)
        run.stats = partStats(run.frames);

    std::string text = "Quiet Harbor: the drawing cost of every frame of the captured show, per part\n"
                       "goal: median <= 1 ms for 2D parts, <= 3 ms with 3D; p99 <= 2 x median\n";
    char line[256];
    snprintf(line, sizeof line,
             "baseline: memcpy of a 640 x 480 x 4 frame = %.4f ms (median of 5, same run)\n"
             "each frame's cost: the least of %d captures of the show (the same picture each time)\n\n",
             memcpyMs, rounds);
    text += line;
    for (const Series& run : runs)
        text += table(run, memcpyMs) + "\n";
    text += "at: the order/row of the worst frame; first: the part's first frame (first calls, caches cold)\n"
            "p99/local: p99 of each frame's cost over the median of the 31 frames around it (spikes, as\n"
            "against the part's costlier and cheaper stretches, which p99/med counts as well)\n";
    fputs(text.c_str(), stdout);
    FILE* f = fopen(argv[1], "w");
    bool written = f && fputs(text.c_str(), f) >= 0;
    if (f && fclose(f) != 0)
        written = false;
    if (!written) {
        fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    if (!writePlot(argv[2], runs, memcpyMs)) {
        fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    fprintf(stderr, "wrote %s and %s\n", argv[1], argv[2]);
    return 0;
}
