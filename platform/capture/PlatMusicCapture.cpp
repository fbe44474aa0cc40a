// The capture output: no device and no clock. The timeline moves only through
// platMusicAdvanceTo, and every frame rendered goes to the capture's sink.
#include "platform/internal/PlatMusicOutput.h"
#include "platform/internal/PlatCommon.h"

namespace {

PlatMusicSink s_sink = nullptr;
void* s_user = nullptr;
uint32_t s_origin = 0; // the tick platMusicSetCapture was called at
uint64_t s_base = 0;   // the frames rendered before it

const char* open(int, uint64_t) { return nullptr; }
void pause(bool) {} // the channel renders silence while stopped
uint64_t heard() { return platMusicRendered(); }
uint64_t close() { return platMusicRendered(); }

} // namespace

const PlatMusicOutput g_platMusicCapture = {open, pause, heard, close};

void platMusicSetCapture(PlatMusicSink sink, void* user)
{
    platMusicSwitch(&g_platMusicCapture);
    s_sink = sink;
    s_user = user;
    s_origin = platGetTickCount();
    s_base = platMusicRendered();
}

void platMusicAdvanceTo(uint32_t tickMs)
{
    if (!platMusicUsing(&g_platMusicCapture))
        return;
    int32_t elapsed = (int32_t)(tickMs - s_origin);
    if (elapsed <= 0)
        return;
    platMusicRenderTo(s_base + (uint64_t)elapsed * PLAT_MUSIC_RATE / 1000, s_sink, s_user);
}

uint64_t platMusicCapturedFrames()
{
    return platMusicUsing(&g_platMusicCapture) ? platMusicRendered() - s_base : 0;
}
