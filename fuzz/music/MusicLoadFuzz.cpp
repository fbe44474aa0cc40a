// Music files from the archive, as the channel loads them: whatever libopenmpt
// makes of the bytes, loading and playing the first second must stay inside
// its buffers, and the position must stay a valid order/row or all bits set.
#include <cstdint>
#include <cstdlib>

#include "platform/Plat.h"
#include "platform/PlatMusic.h"

namespace {
uint32_t g_now = 0;
uint32_t fakeTicks() { return g_now; }
uint32_t fakeSeconds() { return 0; }
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    platSetClock(fakeTicks, fakeSeconds);
    g_now = 0;
    platMusicSetCapture(nullptr, nullptr);
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    HMUSIC music = BASS_MusicLoadMemory(data, size, 5);
    if (music) {
        BASS_MusicPlay(music);
        for (g_now = 20; g_now <= 1000; g_now += 20) {
            platMusicAdvanceTo(g_now);
            uint32_t pos = BASS_ChannelGetPosition(music);
            if (pos != PLAT_MUSIC_ENDED && (pos & 0xFFFF) > 255)
                abort(); // a module has at most 256 orders
        }
    }
    BASS_Free();
    return 0;
}
