#include "Figures.h"

#include <cstdint>
#include <cstdio>

#include "platform/PlatProcess.h"
#include "system/Xsystem.h"

namespace {

bool s_watching = false;
bool s_showStarted = false;
uint32_t s_loadingMs = 0, s_firstFrameMs = 0, s_firstFrameKb = 0;

void presented(void*)
{
    if (!s_loadingMs) {
        s_loadingMs = platProcessAgeMs();
    } else if (s_showStarted && !s_firstFrameMs) {
        s_firstFrameMs = platProcessAgeMs();
        s_firstFrameKb = platResidentKb();
    }
}

unsigned mb(uint32_t kb) { return (kb + 512) / 1024; }

} // namespace

void FiguresWatch()
{
    s_watching = true;
    xSysAddResponder(presented, XEV_PRESENT_END, 1);
}

void FiguresShowStarts() { s_showStarted = true; }

void FiguresReport()
{
    if (!s_watching)
        return;
    fprintf(stderr, "start-up: loading picture after %u ms, first frame after %u ms\n", s_loadingMs, s_firstFrameMs);
    fprintf(stderr, "peak memory: %u MB (%u MB at the first frame)\n", mb(platPeakResidentKb()), mb(s_firstFrameKb));
}
