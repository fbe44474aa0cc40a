// The silent output: no device, so the timeline follows platGetTickCount and
// is rendered, without being heard, whenever someone asks where it stands.
#include <algorithm>

#include "platform/internal/PlatMusicOutput.h"
#include "platform/internal/PlatCommon.h"

namespace {

// Heard = base + the time since origin, while not paused.
uint64_t s_base = 0;
uint32_t s_origin = 0;
bool s_paused = false;

// Where the listener is; render: bring the timeline there.
uint64_t at(bool render)
{
    if (s_paused)
        return s_base;
    // A clock replaced by one behind it: go on from what was heard last.
    uint32_t now = platGetTickCount();
    int32_t elapsed = (int32_t)(now - s_origin);
    if (elapsed < 0) {
        s_base = std::max(s_base, platMusicRendered());
        s_origin = now;
        return s_base;
    }
    uint64_t frame = s_base + (uint64_t)elapsed * PLAT_MUSIC_RATE / 1000;
    if (render)
        platMusicRenderTo(frame, nullptr, nullptr);
    return frame;
}

uint64_t heard() { return at(true); }

const char* open(int, uint64_t from)
{
    s_base = from;
    s_origin = platGetTickCount();
    s_paused = false;
    return nullptr;
}

void pause(bool paused)
{
    if (paused) {
        s_base = heard(); // what was heard before the stop
        s_paused = true;
    } else {
        s_origin = platGetTickCount();
        s_paused = false;
    }
}

uint64_t close() { return at(false); }

} // namespace

const PlatMusicOutput g_platMusicClock = {open, pause, heard, close};
