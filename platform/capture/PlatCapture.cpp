// The capture's clock: the virtual time, the pictures that fall due handed
// to the output chosen by the file's name (PlatCaptureSink.h), the music's
// file beside them, the progress line and the failures.
#include "platform/PlatCapture.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <strings.h>
#include <string>
#include <vector>

#include "platform/PlatDisplay.h"
#include "platform/PlatMusic.h"
#include "platform/capture/PlatCaptureSink.h"
#include "platform/internal/PlatCommon.h"
#include "platform/internal/PlatKeyboardFeed.h"
#include "platform/internal/PlatOs.h"
#include "platform/internal/PlatSurface.h"
#include "platform/internal/PlatVirtualClock.h"

namespace {

const int kWidth = PLAT_CAPTURE_WIDTH, kHeight = PLAT_CAPTURE_HEIGHT;
const uint32_t kStartTick = kVirtualStartTick;

bool g_on = false;
uint32_t g_now = kStartTick;
int g_fps = 60;
uint64_t g_frames = 0;
uint32_t g_length = 0;
const PlatCaptureSink* g_sink = nullptr;
FILE* g_wav = nullptr;
uint64_t g_wavFrames = 0;
std::string g_path, g_wavPath;
std::vector<uint32_t> g_picture;
uint64_t g_pictureChanges = 0; // platSurfaceChanges when g_picture was read
uint64_t g_realStart = 0;
double g_lastProgress = -1;
void (*g_failHook)(const char*) = nullptr;
std::vector<std::string> g_made; // files this capture created

bool g_progressShown = false; // a progress line waits for its end

// The keys of QH_CAPTURE_KEYS, in the order given: each is pressed and
// released once the virtual clock has reached its time.
struct ScriptedKey {
    uint32_t ms;
    uint8_t code;
};
std::vector<ScriptedKey> g_keys;
size_t g_nextKey = 0;

const struct {
    const char* name;
    uint8_t code;
} kKeyNames[] = {{"space", 0x39}, {"right", 0xCD}, {"left", 0xCB}, {"pagedown", 0xD1}, {"pageup", 0xC9},
                 {"home", 0xC7},  {"f1", 0x3B},    {"escape", 0x01}};

// "MS:KEY,MS:KEY...", times in ms of the capture's clock, rising; false on
// anything else.
bool parseKeys(const char* text, std::vector<ScriptedKey>& keys)
{
    keys.clear();
    for (const char* p = text; *p;) {
        char* end = nullptr;
        unsigned long ms = strtoul(p, &end, 10);
        if (end == p || *end != ':' || ms > 86400000ul || (!keys.empty() && ms < keys.back().ms))
            return false;
        p = end + 1;
        size_t n = strcspn(p, ",");
        uint8_t code = 0;
        for (const auto& k : kKeyNames)
            if (strlen(k.name) == n && strncasecmp(p, k.name, n) == 0)
                code = k.code;
        if (!code)
            return false;
        keys.push_back(ScriptedKey{(uint32_t)ms, code});
        p += n;
        if (*p == ',' && !*++p)
            return false;
    }
    return true;
}

void feedDueKeys()
{
    for (; g_nextKey < g_keys.size() && g_keys[g_nextKey].ms <= g_now - kStartTick; g_nextKey++) {
        platKeyboardFeed(g_keys[g_nextKey].code, true, g_now);
        platKeyboardFeed(g_keys[g_nextKey].code, false, g_now);
    }
}

// Closes the files and removes those the capture made.
void discard()
{
    g_on = false;
    platDisplaySetUnseen(false);
    if (g_sink)
        g_sink->abandon();
    if (g_wav)
        fclose(g_wav);
    g_wav = nullptr;
    for (const std::string& path : g_made)
        remove(path.c_str());
    g_made.clear();
}

uint32_t virtualTicks() { return g_now; }
uint32_t virtualSeconds() { return platVirtualSeconds(g_now); }

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
    errno = 0;
    if (fseek(g_wav, 0, SEEK_SET) != 0)
        platCaptureFailWrite(g_wavPath);
    platCapturePut(h, sizeof h, g_wav, g_wavPath);
    if (fseek(g_wav, 0, SEEK_END) != 0)
        platCaptureFailWrite(g_wavPath);
}

void musicSink(const int16_t* frames, int count, void*)
{
    if (g_wav)
        platCapturePut(frames, (size_t)count * 4, g_wav, g_wavPath);
    g_wavFrames += (uint64_t)count;
}

// The virtual time frame k is shown at, in ms from the start.
uint64_t frameDue(uint64_t k) { return g_sink->everyMs ? k * g_sink->everyMs : k * 1000 / (uint64_t)g_fps; }

void writeFrame()
{
    // The show presents about half as often as a capture at 60 frames a
    // second samples it: an unchanged primary keeps the frame read last.
    uint64_t changes = platSurfaceChanges();
    bool changed = g_frames == 0 || changes != g_pictureChanges;
    if (changed) {
        if (!platDisplayReadPrimary(g_picture.data(), kWidth, kHeight))
            memset(g_picture.data(), 0, g_picture.size() * 4);
        g_pictureChanges = changes;
    }
    g_sink->frame(g_picture.data(), changed, (uint32_t)frameDue(g_frames));
    g_frames++;
}

double realSeconds()
{
    return (platOsMonotonicNs() - g_realStart) * 1e-9;
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
    fprintf(stderr, "\rcapture [%s] %3d%%  %llu frames  %.1fx real time ", bar, percent, (unsigned long long)g_frames,
            real > 0 ? shown / real : 0.0);
    if (last)
        fputc('\n', stderr);
    g_progressShown = !last;
    fflush(stderr);
}

bool endsWith(const std::string& s, const char* tail)
{
    size_t n = strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

// At process exit with the capture still open: the show ended through
// another failure, which has been reported; the capture's files go.
void abandon()
{
    if (g_on)
        discard();
}

} // namespace

void platCaptureSetFailHook(void (*hook)(const char* text)) { g_failHook = hook; }

void platCaptureFail(const std::string& text)
{
    discard();
    if (g_progressShown)
        fputc('\n', stderr);
    if (g_failHook)
        g_failHook(text.c_str());
    fprintf(stderr, "Error: %s\n", text.c_str());
    exit(4);
}

void platCaptureFailWrite(const std::string& path)
{
    platCaptureFail("cannot write " + path + ": " + strerror(errno ? errno : EIO));
}

FILE* platCaptureCreate(const std::string& path)
{
    bool existed = platOsExists(path);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        platCaptureFailWrite(path);
    if (!existed)
        g_made.push_back(path);
    return f;
}

void platCaptureMade(const std::string& path) { g_made.push_back(path); }

void platCapturePut(const void* data, size_t size, FILE* f, const std::string& path)
{
    errno = 0;
    if (fwrite(data, 1, size, f) != size)
        platCaptureFailWrite(path);
}

void platCaptureClose(FILE* f, const std::string& path)
{
    errno = 0;
    if (ferror(f) | fclose(f))
        platCaptureFailWrite(path);
}

void platCaptureOpenMusic(const std::string& path)
{
    g_wavPath = path + ".wav";
    g_wav = platCaptureCreate(g_wavPath);
    writeWavHeader();
}

void platCaptureStart(const char* path, int fps)
{
    // No display and no sound device: the picture and the music go to files.
    platOsSetEnv("SDL_VIDEODRIVER", "dummy");
    platOsSetEnv("SDL_AUDIODRIVER", "dummy");
    g_path = path;
    g_fps = fps > 0 ? fps : 60;
    g_sink = g_path == "/dev/null"      ? &g_platCaptureDiscard
             : endsWith(g_path, ".y4m") ? &g_platCaptureY4m
             : endsWith(g_path, ".rgb") ? &g_platCaptureRaw
             : endsWith(g_path, ".png") ? &g_platCaptureBoard
                                        : &g_platCaptureFfmpeg;
    g_nextKey = 0;
    const char* keys = getenv("QH_CAPTURE_KEYS");
    if (keys && !parseKeys(keys, g_keys)) {
        platCaptureFail("QH_CAPTURE_KEYS must read MS:KEY,MS:KEY... with rising times and keys among space, right, left, "
             "pagedown, pageup, home, f1, escape");
    }
    g_wavFrames = 0;
    g_sink->open(g_path, g_fps);
    g_picture.assign((size_t)kWidth * kHeight, 0);
    g_now = kStartTick;
    g_frames = 0;
    platSetClock(virtualTicks, virtualSeconds);
    platMusicSetCapture(musicSink, nullptr);
    platDisplaySetUnseen(true);
    g_realStart = platOsMonotonicNs();
    g_on = true;
    platAddShutdownHook(abandon);
    atexit(abandon);
}

bool platCapturing() { return g_on; }

void platCaptureSetLength(uint32_t ms)
{
    g_length = ms;
    if (!g_on || !g_sink->frameBytes || !ms)
        return;
    uint64_t frames = (uint64_t)ms * (uint64_t)g_fps / 1000 + 1;
    fprintf(stderr, "capture: %s will hold up to %.1f GB uncompressed (%llu frames)\n", g_path.c_str(),
            frames * g_sink->frameBytes() / 1e9, (unsigned long long)frames);
}

void platCaptureSpin(uint32_t until)
{
    if (!g_on)
        return;
    g_now = platVirtualStep(g_now, until);
    feedDueKeys();
    platMusicAdvanceTo(g_now);
    for (;;) {
        if (frameDue(g_frames) > (uint64_t)(g_now - kStartTick))
            break;
        writeFrame();
    }
    progress(false);
}

void platCaptureFinish()
{
    if (!g_on)
        return;
    if (!g_sink->everyMs) {
        // The show's last picture (the ending's black) is presented after
        // the last frame that fell due: it closes the video as one frame
        // more, and the music (silent by then) runs on to that frame's end,
        // so both last equally long.
        writeFrame();
        g_now = kStartTick + (uint32_t)frameDue(g_frames);
        platMusicAdvanceTo(g_now);
    }
    progress(true);
    platDisplaySetUnseen(false);
    bool music = g_wav != nullptr;
    if (music) {
        writeWavHeader();
        FILE* wav = g_wav;
        g_wav = nullptr;
        platCaptureClose(wav, g_wavPath);
    }
    g_sink->finish(g_frames, g_wavFrames);
    g_on = false;
    g_made.clear();
    if (music)
        fprintf(stderr, "capture: wrote %s and %s (%llu frames)\n", g_path.c_str(), g_wavPath.c_str(),
                (unsigned long long)g_frames);
}
