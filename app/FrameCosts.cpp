#include "FrameCosts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "parts/ShowState.h"
#include "platform/PlatCpu.h"
#include "system/Xerror.h"
#include "system/Xsystem.h"

namespace {
struct Cost {
    const char* timer;
    uint32_t budgetMs;
    uint32_t showMs;
    uint32_t ns;
    uint16_t order, row;
};

FILE* g_file = nullptr;
bool g_watched = false; // measured for FrameCostLastNs, with or without a file
const char* g_path = nullptr;
std::vector<Cost> g_costs;
uint32_t g_origin = 0;
int g_depth = 0;     // drawings under way
uint64_t g_waited;   // pacing inside the outer drawing
Cost g_current;      // the outer drawing's frame

[[noreturn]] void failed() { g_xError.Fatal(xFormat("cannot write %s: %s", g_path, strerror(errno ? errno : EIO))); }
} // namespace

void FrameCostsOpen(const char* path)
{
    g_path = path;
    if (!(g_file = fopen(path, "w")))
        failed();
    // A show of five minutes at 35 ms a frame, without growing on the way.
    g_costs.reserve(1 << 14);
}

void FrameCostsSetOrigin(uint32_t tick) { g_origin = tick; }

void FrameCostsWatch() { g_watched = true; }

uint64_t FrameCostLastNs() { return g_current.ns; }

uint64_t FrameCostBegin()
{
    if (!g_file && !g_watched)
        return 0;
    if (g_depth++ == 0) {
        g_waited = 0;
        g_current.showMs = platGetTickCount() - g_origin;
        g_current.order = (uint16_t)g_musicOrder;
        g_current.row = (uint16_t)g_musicRow;
    }
    return platCpuNanoseconds();
}

void FrameCostEnd(const char* timer, uint32_t budgetMs, uint64_t begun)
{
    if (!g_file && !g_watched)
        return;
    uint64_t spent = platCpuNanoseconds() - begun;
    if (--g_depth != 0)
        return;
    spent = spent > g_waited ? spent - g_waited : 0;
    g_current.ns = spent > UINT32_MAX ? UINT32_MAX : (uint32_t)spent;
    g_current.timer = timer;
    g_current.budgetMs = budgetMs;
    if (g_file)
        g_costs.push_back(g_current);
}

uint64_t FrameCostWaitBegin() { return (g_file || g_watched) && g_depth ? platCpuNanoseconds() : 0; }

void FrameCostWaitEnd(uint64_t begun)
{
    if ((g_file || g_watched) && g_depth)
        g_waited += platCpuNanoseconds() - begun;
}

void FrameCostsFinish()
{
    if (!g_file)
        return;
    FILE* f = g_file;
    g_file = nullptr;
    errno = 0;
    fprintf(f, "# timer budget_ms show_ms order row draw_ns\n");
    for (const Cost& c : g_costs)
        fprintf(f, "%s %u %u %u %u %u\n", c.timer, c.budgetMs, c.showMs, c.order, c.row, c.ns);
    bool written = !ferror(f);
    if (fclose(f) != 0 || !written)
        failed();
}
