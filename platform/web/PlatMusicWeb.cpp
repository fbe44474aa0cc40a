// The music channel in a browser tab. The page's music host (page.js) plays
// the module through libopenmpt compiled to WebAssembly inside an
// AudioWorklet and hears back, every few milliseconds, the order, row,
// seconds and frames the worklet has rendered; a second libopenmpt on the
// page's own thread answers what must be known at once (whether the data is
// a module, its orders, its length). The show reads the worklet's position,
// so its clock follows the music it hears.
//
// Without the host (no AudioWorklet) BASS_Init returns 0 and the positions
// stand still at the start.
#include <emscripten.h>

#include "platform/PlatMusic.h"

namespace {

bool g_initialised = false;

EM_JS(int, qh_music_ready, (), { return Module.music && Module.music.ready() ? 1 : 0; });
EM_JS(int, qh_music_load, (const void* data, int size, int ramp), {
    return Module.music ? Module.music.load(HEAPU8.slice(data, data + size), !!ramp) : 0;
});
EM_JS(void, qh_music_call, (const char* what, int handle, int value), {
    if (Module.music) Module.music.call(UTF8ToString(what), handle, value);
});
EM_JS(double, qh_music_query, (const char* what, int handle, int value), {
    return Module.music ? Module.music.query(UTF8ToString(what), handle, value) : 0;
});

} // namespace

int BASS_Init(int, uint32_t, uint32_t, PlatWindow*, void*)
{
    if (g_initialised)
        return 0;
    g_initialised = true;
    return qh_music_ready();
}

int BASS_Start()
{
    if (!g_initialised)
        return 0;
    qh_music_call("pause", 0, 0);
    return 1;
}

int BASS_Stop()
{
    if (!g_initialised)
        return 0;
    qh_music_call("pause", 0, 1);
    return 1;
}

int BASS_Free()
{
    if (!g_initialised)
        return 0;
    qh_music_call("freeAll", 0, 0);
    g_initialised = false;
    return 1;
}

HMUSIC BASS_MusicLoad(int mem, const void* file, uint64_t offset, uint32_t length, uint32_t flags, uint32_t)
{
    // Files are read by the program itself from the archive: only memory here.
    if (!mem || !file || length == 0)
        return 0;
    return BASS_MusicLoadMemory((const uint8_t*)file + offset, length, flags);
}

HMUSIC BASS_MusicLoadMemory(const void* data, size_t size, uint32_t flags)
{
    if (!g_initialised || !data || size == 0 || size > 0x7fffffff)
        return 0;
    return (HMUSIC)qh_music_load(data, (int)size, (flags & BASS_MUSIC_RAMP) != 0);
}

int BASS_MusicFree(HMUSIC handle) { return (int)qh_music_query("free", (int)handle, 0); }
int BASS_MusicPlay(HMUSIC handle) { return (int)qh_music_query("play", (int)handle, 0); }

uint32_t BASS_ChannelGetPosition(HMUSIC handle)
{
    return (uint32_t)qh_music_query("position", (int)handle, 0);
}

int BASS_SetGlobalVolumes(int music, int, int)
{
    if (music >= 0)
        qh_music_call("volume", 0, music > 100 ? 100 : music);
    return 1;
}

bool platMusicHasDevice() { return qh_music_ready() != 0; }

int platMusicSeekOrder(HMUSIC handle, int order)
{
    return (int)qh_music_query("seek", (int)handle, order);
}

uint32_t platMusicLengthMs(HMUSIC handle) { return (uint32_t)qh_music_query("lengthMs", (int)handle, 0); }
uint32_t platMusicPositionMs(HMUSIC handle) { return (uint32_t)qh_music_query("positionMs", (int)handle, 0); }

// The worklet reports what it has rendered, which is what the page heard
// last: the position read and the output taken are one timeline here.
bool platMusicSyncMs(uint32_t* readMs, uint32_t* takenMs)
{
    double ms = qh_music_query("heardMs", 0, 0);
    if (ms < 0)
        return false;
    if (readMs) *readMs = (uint32_t)ms;
    if (takenMs) *takenMs = (uint32_t)ms;
    return true;
}
