// The capture's virtual clock, one for the native capture and the browser's
// hash mode, whose frames are compared hash for hash: the same first tick,
// the same time of day (it seeds the show's random numbers) and the same
// steps.
#pragma once
#include <cstdint>

const uint32_t kVirtualStartTick = 1000;
const uint32_t kVirtualStartSeconds = 1700000000;

// The time of day at the virtual tick now.
inline uint32_t platVirtualSeconds(uint32_t now) { return kVirtualStartSeconds + (now - kVirtualStartTick) / 1000; }

// The next tick of a show that waits for until: on by the wait, in steps of
// 1 to 5 ms.
inline uint32_t platVirtualStep(uint32_t now, uint32_t until)
{
    int32_t ahead = (int32_t)(until - now);
    return now + (ahead <= 0 ? 1 : ahead > 5 ? 5 : (uint32_t)ahead);
}
