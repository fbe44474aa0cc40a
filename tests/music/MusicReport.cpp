// qh_music_report MODULE [WAV]: renders the tune, prints the level of every
// order and optionally writes the whole rendering as a 16-bit WAV file, so
// the mix can be checked without listening.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "MusicRender.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: qh_music_report MODULE [WAV]\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    MusicAudio audio = musicRender(bytes);
    std::printf("length %.2f s, order 38 row 41 at %.2f s\n", audio.Seconds(), musicTimeAt(bytes, 38, 41));
    for (int order = 0; order < 40; ++order) {
        double a = audio.TimeAt(order, 0);
        double b = audio.TimeAt(order + 1, 0);
        MusicLevel level = musicLevel(audio, a, b);
        // Brightness: level of the sample-to-sample change against the level
        // itself, higher where hats, bells and noise dominate.
        size_t from = static_cast<size_t>(a * MUSIC_RATE), to = static_cast<size_t>(b * MUSIC_RATE);
        double change = 0.0, power = 0.0;
        for (size_t i = from + 1; i < to && i < audio.left.size(); ++i) {
            double d = audio.left[i] - audio.left[i - 1];
            change += d * d;
            power += audio.left[i] * audio.left[i];
        }
        std::printf("order %2d  %6.2f s  rms %6.1f dBFS  peak %6.1f dBFS  brightness %5.3f\n", order, a,
                    20 * std::log10(level.rms + 1e-9), 20 * std::log10(level.peak + 1e-9),
                    power > 0 ? std::sqrt(change / power) : 0.0);
    }
    if (argc > 2) {
        std::ofstream out(argv[2], std::ios::binary);
        auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
        auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
        uint32_t frames = static_cast<uint32_t>(audio.left.size());
        out.write("RIFF", 4);
        u32(36 + frames * 4);
        out.write("WAVEfmt ", 8);
        u32(16);
        u16(1);
        u16(2);
        u32(MUSIC_RATE);
        u32(MUSIC_RATE * 4);
        u16(4);
        u16(16);
        out.write("data", 4);
        u32(frames * 4);
        for (uint32_t i = 0; i < frames; ++i) {
            for (float v : { audio.left[i], audio.right[i] }) {
                long s = std::lround(std::fmax(-1.0, std::fmin(1.0, v)) * 32767.0);
                u16(static_cast<uint16_t>(static_cast<int16_t>(s)));
            }
        }
    }
    return 0;
}
