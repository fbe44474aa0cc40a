// Prints where the music channel stands every 5 ms of a module played from
// its start on a virtual clock, one "ms order row" line each, up to the end:
// the native side of the comparison with the browser's libopenmpt.
#include <cstdio>
#include <vector>

#include "platform/Plat.h"
#include "platform/PlatMusic.h"

namespace {
uint32_t s_now = 0;
uint32_t ticks() { return s_now; }
uint32_t seconds() { return 0; }
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: qh_music_timeline MODULE\n");
        return 2;
    }
    FILE* f = fopen(argv[1], "rb");
    if (!f) {
        perror(argv[1]);
        return 1;
    }
    std::vector<char> data;
    char block[65536];
    for (size_t n; (n = fread(block, 1, sizeof block, f)) > 0;)
        data.insert(data.end(), block, block + n);
    fclose(f);

    platSetClock(ticks, seconds);
    platMusicSetCapture(nullptr, nullptr);
    BASS_Init(0, PLAT_MUSIC_RATE, 0, nullptr, nullptr);
    HMUSIC music = BASS_MusicLoadMemory(data.data(), data.size(), BASS_MUSIC_RAMP);
    if (!music || !BASS_MusicPlay(music)) {
        fprintf(stderr, "%s: not a module\n", argv[1]);
        return 1;
    }
    for (;; s_now += 5) {
        platMusicAdvanceTo(s_now);
        uint32_t position = BASS_ChannelGetPosition(music);
        if (position == PLAT_MUSIC_ENDED)
            break;
        printf("%u %u %u\n", s_now, position & 0xFFFF, position >> 16);
    }
    return 0;
}
