// Finds the show's music in a recording of what a sound server played: the
// loudness envelopes of the recording (raw 16-bit stereo at 44100 Hz, as
// parec writes it) and of the capture's WAV of the same orders, correlated
// over every lag. Prints "correlation C at LAG ms" (the capture's first
// sample heard LAG ms into the recording) and exits 1 when C is below the
// threshold given, 2 on a file it cannot read.
// Usage: qh_heard CAPTURE.wav RECORDING.raw [THRESHOLD] [WINDOW_MS]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool readAll(const char* path, std::vector<uint8_t>& out)
{
    FILE* f = fopen(path, "rb");
    if (!f)
        return false;
    uint8_t buf[1 << 16];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    fclose(f);
    return true;
}

// The samples of a canonical 16-bit stereo WAV: the "data" chunk, found by
// walking the chunks after the RIFF header.
bool wavSamples(const std::vector<uint8_t>& file, size_t& begin, size_t& size)
{
    if (file.size() < 12)
        return false;
    for (size_t at = 12; at + 8 <= file.size();) {
        uint32_t len = file[at + 4] | file[at + 5] << 8 | file[at + 6] << 16 | (uint32_t)file[at + 7] << 24;
        if (file[at] == 'd' && file[at + 1] == 'a' && file[at + 2] == 't' && file[at + 3] == 'a') {
            begin = at + 8;
            size = std::min<size_t>(len, file.size() - begin);
            return true;
        }
        at += 8 + (size_t)len + (len & 1);
    }
    return false;
}

// Mean absolute level of each window of frames, both channels together.
std::vector<double> envelope(const uint8_t* bytes, size_t size, int window)
{
    const int16_t* s = (const int16_t*)bytes;
    size_t frames = size / 4;
    std::vector<double> env(frames / (size_t)window);
    for (size_t w = 0; w < env.size(); w++) {
        double sum = 0;
        for (size_t i = w * (size_t)window * 2; i < (w + 1) * (size_t)window * 2; i++)
            sum += std::abs((int)s[i]);
        env[w] = sum / window;
    }
    return env;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: qh_heard CAPTURE.wav RECORDING.raw [THRESHOLD] [WINDOW_MS]\n");
        return 2;
    }
    double threshold = argc > 3 ? atof(argv[3]) : 0.9;
    int windowMs = argc > 4 ? atoi(argv[4]) : 20;
    int window = 44100 * windowMs / 1000;
    std::vector<uint8_t> wav, raw;
    size_t begin = 0, size = 0;
    if (!readAll(argv[1], wav) || !wavSamples(wav, begin, size) || !readAll(argv[2], raw)) {
        fprintf(stderr, "qh_heard: cannot read %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    std::vector<double> ref = envelope(wav.data() + begin, size, window);
    std::vector<double> rec = envelope(raw.data(), raw.size(), window);
    if (ref.size() < 10 || rec.size() < ref.size()) {
        printf("correlation 0 at 0 ms (recording of %zu ms against %zu ms)\n", rec.size() * windowMs,
               ref.size() * windowMs);
        return 1;
    }
    // The whole capture lies inside the recording, which begins before the
    // show starts and ends after it.
    double best = -2;
    long bestLag = 0;
    for (long lag = 0; lag <= (long)(rec.size() - ref.size()); lag++) {
        double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
        long n = 0;
        for (long i = 0; i < (long)ref.size(); i++) {
            long j = i + lag;
            double a = ref[(size_t)i], b = rec[(size_t)j];
            sa += a, sb += b, saa += a * a, sbb += b * b, sab += a * b;
            n++;
        }
        double va = saa - sa * sa / n, vb = sbb - sb * sb / n;
        if (va <= 0 || vb <= 0)
            continue;
        double c = (sab - sa * sb / n) / std::sqrt(va * vb);
        if (c > best)
            best = c, bestLag = lag;
    }
    printf("correlation %.3f at %ld ms\n", best, bestLag * windowMs);
    return best >= threshold ? 0 : 1;
}
