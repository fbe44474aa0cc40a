// Per-part drawing cost, for comparing builds (the browser's against the
// native one): with QH_COSTS set, every part's draw call is timed, and at exit
// one line per part goes to stdout:
//   cost NAME FRAMES MEDIAN_MS MEAN_MS P99_MS
// (the mean too: a browser's clock may tick in steps of 0.1 ms, coarser
// than many a part's frame).
// Linked into the browser build (the page sets QH_COSTS for ?costs) and into
// quietharbor_costs, the native program with the same measurement.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "app/Timeline.h"

namespace {

void (*g_draw[CHAIN_STEPS])() = {};
std::vector<double> g_ms[CHAIN_STEPS];

template <int Step> void timedDraw()
{
    auto start = std::chrono::steady_clock::now();
    g_draw[Step]();
    g_ms[Step].push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
}

void report()
{
    for (int i = 0; i < CHAIN_STEPS; i++) {
        std::vector<double>& v = g_ms[i];
        if (v.empty())
            continue;
        std::sort(v.begin(), v.end());
        double sum = 0;
        for (double ms : v)
            sum += ms;
        printf("cost %s %zu %.3f %.3f %.3f\n", g_chain[i].name, v.size(), v[v.size() / 2], sum / v.size(),
               v[v.size() * 99 / 100]);
    }
    fflush(stdout);
}

template <int... Steps> void wrap(std::integer_sequence<int, Steps...>)
{
    ((g_draw[Steps] = g_chain[Steps].draw, g_chain[Steps].draw = g_draw[Steps] ? timedDraw<Steps> : nullptr), ...);
}

struct Start {
    Start()
    {
        if (!getenv("QH_COSTS"))
            return;
        wrap(std::make_integer_sequence<int, CHAIN_STEPS>());
        atexit(report);
    }
} g_start;

} // namespace
