// Finds the show's music in a recording of what a sound server played: the
// loudness envelopes of the recording (raw 16-bit stereo at 44100 Hz, as
// parec writes it) and of the capture's WAV of the same orders, each second
// of the capture looked for on its own, in order, so that a moment where the
// server ran dry (the rest then comes later) does not hide the music that
// follows. Prints "found N of M seconds of the music (least correlation C)"
// and exits 1 when fewer than the share given were found, 2 on a file it
// cannot read.
// Usage: qh_heard CAPTURE.wav RECORDING.raw [SHARE [WINDOW_MS]]
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


double correlation(const std::vector<double>& a, size_t from, const std::vector<double>& b, size_t at, size_t n)
{
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    for (size_t i = 0; i < n; i++) {
        double x = a[from + i], y = b[at + i];
        sa += x, sb += y, saa += x * x, sbb += y * y, sab += x * y;
    }
    double va = saa - sa * sa / n, vb = sbb - sb * sb / n;
    return va > 0 && vb > 0 ? (sab - sa * sb / n) / std::sqrt(va * vb) : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        fprintf(stderr, "usage: qh_heard CAPTURE.wav RECORDING.raw [SHARE [WINDOW_MS]]\n");
        return 2;
    }
    const double share = argc > 3 ? atof(argv[3]) : 0.8;
    const int ms = argc > 4 ? atoi(argv[4]) : 20;
    const int window = 44100 * ms / 1000;
    const size_t second = (size_t)(1000 / ms);
    std::vector<uint8_t> wav, raw;
    size_t begin = 0, size = 0;
    if (!readAll(argv[1], wav) || !wavSamples(wav, begin, size) || !readAll(argv[2], raw)) {
        fprintf(stderr, "qh_heard: cannot read %s or %s\n", argv[1], argv[2]);
        return 2;
    }
    std::vector<double> ref = envelope(wav.data() + begin, size, window);
    std::vector<double> rec = envelope(raw.data(), raw.size(), window);
    // The whole capture against the recording first: music that repeats
    // itself matches in more than one place second by second, not as a
    // whole. Then each second is looked for near where the one before was
    // found: a server that ran dry delays what follows, never advances it.
    long shift = 0; // windows of the recording before the capture's start
    double whole = -2;
    for (long at = 0; at + (long)ref.size() <= (long)rec.size(); at++) {
        double c = correlation(ref, 0, rec, (size_t)at, ref.size());
        if (c > whole)
            whole = c, shift = at;
    }
    int found = 0, total = 0;
    double least = 1;
    long back = (long)second; // the first second may lie before the whole's best place
    const long ahead = (long)second * 3 / 2;
    for (size_t s = 0; s + second <= ref.size(); s += second) {
        total++;
        if (whole <= -2)
            continue; // a recording shorter than the capture
        long lo = std::max(0L, (long)s + shift - back), hi = (long)s + shift + ahead;
        double best = -2;
        long bestAt = 0;
        for (long at = lo; at <= hi && at + (long)second <= (long)rec.size(); at++) {
            double c = correlation(ref, s, rec, (size_t)at, second);
            if (c > best)
                best = c, bestAt = at;
        }
        if (best >= 0.8) {
            found++;
            least = std::min(least, best);
            shift = bestAt - (long)s;
            back = (long)second / 10;
        }
    }
    printf("found %d of %d seconds of the music (least correlation %.3f)\n", found, total, found ? least : 0.0);
    return total > 0 && found >= share * total ? 0 : 1;
}
