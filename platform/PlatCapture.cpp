#include "PlatCapture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "PlatDisplay.h"
#include "PlatMusic.h"
#include "PlatSdl.h"

namespace {

const int kWidth = 640, kHeight = 480;
const uint32_t kStartTick = 1000;
const uint32_t kStartSeconds = 1700000000; // a fixed time of day for the random seed

bool g_on = false;
uint32_t g_now = kStartTick;
int g_fps = 60;
uint64_t g_frames = 0;
uint32_t g_length = 0;
FILE* g_video = nullptr;
bool g_videoIsPipe = false;
bool g_y4m = false;
FILE* g_wav = nullptr;
uint64_t g_wavFrames = 0;
std::string g_path, g_wavPath, g_tempVideo;
std::vector<uint32_t> g_picture;
std::vector<uint8_t> g_planes;
timespec g_realStart;
double g_lastProgress = -1;

uint32_t virtualTicks() { return g_now; }
uint32_t virtualSeconds() { return kStartSeconds + (g_now - kStartTick) / 1000; }

void put32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

void writeWavHeader()
{
    uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                     1, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0};
    uint32_t bytes = (uint32_t)(g_wavFrames * 4);
    put32(h + 4, 36 + bytes);
    put32(h + 24, PLAT_MUSIC_RATE);
    put32(h + 28, PLAT_MUSIC_RATE * 4);
    put32(h + 40, bytes);
    fseek(g_wav, 0, SEEK_SET);
    fwrite(h, 1, sizeof h, g_wav);
    fseek(g_wav, 0, SEEK_END);
}

void musicSink(const int16_t* frames, int count, void*)
{
    if (!g_wav)
        return;
    fwrite(frames, 4, (size_t)count, g_wav);
    g_wavFrames += (uint64_t)count;
}

// BT.601 full-range RGB to YUV 4:2:0, in integers so the bytes never depend
// on the compiler's floating point.
void writeY4mFrame()
{
    uint8_t* y = g_planes.data();
    uint8_t* u = y + kWidth * kHeight;
    uint8_t* v = u + kWidth * kHeight / 4;
    for (int row = 0; row < kHeight; row++)
        for (int col = 0; col < kWidth; col++) {
            uint32_t p = g_picture[row * kWidth + col];
            int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            y[row * kWidth + col] = (uint8_t)((19595 * r + 38470 * g + 7471 * b + 32768) >> 16);
        }
    for (int row = 0; row < kHeight; row += 2)
        for (int col = 0; col < kWidth; col += 2) {
            int r = 0, g = 0, b = 0;
            for (int dy = 0; dy < 2; dy++)
                for (int dx = 0; dx < 2; dx++) {
                    uint32_t p = g_picture[(row + dy) * kWidth + col + dx];
                    r += (p >> 16) & 255;
                    g += (p >> 8) & 255;
                    b += p & 255;
                }
            int cb = (-11059 * r - 21709 * g + 32768 * b + (128 << 18) + (1 << 17)) >> 18;
            int cr = (32768 * r - 27439 * g - 5329 * b + (128 << 18) + (1 << 17)) >> 18;
            u[(row / 2) * (kWidth / 2) + col / 2] = (uint8_t)(cb < 0 ? 0 : cb > 255 ? 255 : cb);
            v[(row / 2) * (kWidth / 2) + col / 2] = (uint8_t)(cr < 0 ? 0 : cr > 255 ? 255 : cr);
        }
    fputs("FRAME\n", g_video);
    fwrite(g_planes.data(), 1, g_planes.size(), g_video);
}

void writeFrame()
{
    if (!platDisplayReadPrimary(g_picture.data(), kWidth, kHeight))
        memset(g_picture.data(), 0, g_picture.size() * 4);
    if (g_video) {
        if (g_y4m) {
            writeY4mFrame();
        } else {
            for (uint32_t& p : g_picture)
                p |= 0xFF000000u;
            fwrite(g_picture.data(), 4, g_picture.size(), g_video);
        }
    }
    g_frames++;
}

double realSeconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - g_realStart.tv_sec) + (now.tv_nsec - g_realStart.tv_nsec) * 1e-9;
}

void progress(bool last)
{
    double real = realSeconds();
    if (!last && real - g_lastProgress < 0.25)
        return;
    g_lastProgress = real;
    double shown = (g_now - kStartTick) / 1000.0;
    int percent = g_length ? (int)(100.0 * (g_now - kStartTick) / g_length) : 0;
    if (percent > 100 || last)
        percent = 100;
    char bar[31];
    int filled = percent * 30 / 100;
    for (int i = 0; i < 30; i++)
        bar[i] = i < filled ? '#' : '.';
    bar[30] = 0;
    fprintf(stderr, "\rcapture [%s] %3d%%  %llu frames  %.1fx real time ", bar, percent,
            (unsigned long long)g_frames, real > 0 ? shown / real : 0.0);
    if (last)
        fputc('\n', stderr);
    fflush(stderr);
}

bool endsWith(const std::string& s, const char* tail)
{
    size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

std::string quoted(const std::string& s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}
} // namespace

bool platCaptureStart(const char* path, int fps)
{
    g_path = path;
    g_fps = fps > 0 ? fps : 60;
    g_y4m = endsWith(g_path, ".y4m");
    g_wavPath = g_path + ".wav";
    g_wav = fopen(g_wavPath.c_str(), "wb");
    if (!g_wav) {
        fprintf(stderr, "capture: cannot write %s\n", g_wavPath.c_str());
        return false;
    }
    writeWavHeader();
    if (g_y4m) {
        g_video = fopen(path, "wb");
        if (g_video)
            fprintf(g_video, "YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C420jpeg\n", kWidth, kHeight, g_fps);
    } else if (endsWith(g_path, ".rgb")) {
        // Lossless: the frames as they are shown, for exact comparison.
        g_video = fopen(path, "wb");
    } else {
        g_tempVideo = g_path + ".video.mkv";
        std::string cmd = "ffmpeg -y -loglevel error -f rawvideo -pix_fmt bgra -s 640x480 -r " +
                          std::to_string(g_fps) + " -i - -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p " +
                          quoted(g_tempVideo);
        g_video = popen(cmd.c_str(), "w");
        g_videoIsPipe = true;
    }
    if (!g_video) {
        fprintf(stderr, "capture: cannot write %s\n", path);
        return false;
    }
    g_picture.assign((size_t)kWidth * kHeight, 0);
    g_planes.assign((size_t)kWidth * kHeight * 3 / 2, 0);
    g_now = kStartTick;
    g_frames = 0;
    platSetClock(virtualTicks, virtualSeconds);
    platMusicSetCapture(musicSink, nullptr);
    clock_gettime(CLOCK_MONOTONIC, &g_realStart);
    g_on = true;
    platAddShutdownHook(platCaptureFinish);
    atexit(platCaptureFinish);
    return true;
}

bool platCapturing() { return g_on; }

void platCaptureSetLength(uint32_t ms) { g_length = ms; }

void platCaptureSpin(uint32_t until)
{
    if (!g_on)
        return;
    int32_t ahead = (int32_t)(until - g_now);
    uint32_t step = ahead <= 0 ? 1 : ahead > 5 ? 5 : (uint32_t)ahead;
    g_now += step;
    platMusicAdvanceTo(g_now);
    // Frame k is shown at k / fps seconds of virtual time.
    for (;;) {
        uint64_t due = (uint64_t)g_frames * 1000 / (uint64_t)g_fps;
        if (due > (uint64_t)(g_now - kStartTick))
            break;
        writeFrame();
    }
    progress(false);
}

void platCaptureFinish()
{
    if (!g_on)
        return;
    g_on = false;
    progress(true);
    if (g_wav) {
        writeWavHeader();
        fclose(g_wav);
        g_wav = nullptr;
    }
    if (g_video) {
        if (g_videoIsPipe) {
            pclose(g_video);
            std::string cmd = "ffmpeg -y -loglevel error -i " + quoted(g_tempVideo) + " -i " + quoted(g_wavPath) +
                              " -c:v copy -c:a aac -b:a 192k -shortest " + quoted(g_path);
            if (system(cmd.c_str()) == 0)
                remove(g_tempVideo.c_str());
            else
                fprintf(stderr, "capture: ffmpeg could not mux %s\n", g_path.c_str());
        } else {
            fclose(g_video);
        }
        g_video = nullptr;
    }
    fprintf(stderr, "capture: wrote %s and %s (%llu frames)\n", g_path.c_str(), g_wavPath.c_str(),
            (unsigned long long)g_frames);
}
