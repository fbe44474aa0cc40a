// The music channel shared by every output: the musics, the timeline of
// rendered frames with its position marks, and the BASS_ calls.
#include "PlatMusic.h"

#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/internal/PlatMusicOutput.h"
#include "platform/internal/PlatCommon.h"

namespace {

// Rendering goes in steps of this many frames (about 5 ms), each followed by
// a position mark: a row lasts far longer, so the position never misses one.
constexpr int kStep = PLAT_MUSIC_CAPTURE_STEP;
// About five seconds of marks: far more than a device keeps queued.
constexpr int kMarks = 1024;

struct Music {
    HMUSIC handle;
    openmpt_module* mod;
    uint32_t flags;
    bool ended;
};

// The position reached when the channel's timeline stood at frame: what the
// listener hears from that frame on, until the next mark.
struct Mark {
    uint64_t frame;
    uint32_t pos;
};

struct Channel {
    const PlatMusicOutput* out = nullptr; // null before BASS_Init (unless capturing)
    bool initialised = false;
    bool outputOn = false; // between BASS_Init/BASS_Start and BASS_Stop
    bool exitHooked = false;
    bool platformHooked = false; // platShutdown drops its hooks once run
    bool warned = false;

    std::vector<Music*> musics;
    HMUSIC nextHandle = 1;

    // Holds a device's thread off what the renderer reads.
    std::mutex renderLock;
    // Read by the renderer; changed by the main thread under renderLock.
    Music* current = nullptr;
    bool playing = false;
    std::atomic<int> volume{100};
    int sampleVolume = 100;
    int streamVolume = 100;

    // Written by the renderer only (a device's thread when there is one).
    uint64_t frames = 0;
    int16_t scratch[kStep * 2];

    std::mutex markLock;
    Mark marks[kMarks];
    int markHead = 0;
    int markCount = 0;
    uint32_t basePos = 0; // before the oldest mark

    uint64_t lastRead = 0; // the frame heard at the last reading of the position
};

Channel g;

uint32_t pack(int32_t order, int32_t row) { return ((uint32_t)order & 0xFFFFu) | ((uint32_t)row << 16); }

uint32_t positionOf(const Music* m)
{
    if (!m)
        return 0;
    if (m->ended)
        return PLAT_MUSIC_ENDED;
    return pack(openmpt_module_get_current_order(m->mod), openmpt_module_get_current_row(m->mod));
}

void clearMarks(uint32_t pos)
{
    std::lock_guard<std::mutex> lock(g.markLock);
    g.markHead = 0;
    g.markCount = 0;
    g.basePos = pos;
}

void pushMark(uint64_t frame, uint32_t pos)
{
    std::lock_guard<std::mutex> lock(g.markLock);
    g.marks[g.markHead] = Mark{frame, pos};
    g.markHead = (g.markHead + 1) % kMarks;
    if (g.markCount < kMarks)
        g.markCount++;
}

uint32_t positionAt(uint64_t heard)
{
    std::lock_guard<std::mutex> lock(g.markLock);
    for (int i = 1; i <= g.markCount; i++) {
        const Mark& m = g.marks[(g.markHead - i + kMarks) % kMarks];
        if (m.frame <= heard)
            return m.pos;
    }
    // Older than every mark: the ring has overrun only if it is full.
    if (g.markCount == kMarks)
        return g.marks[g.markHead].pos;
    return g.basePos;
}

// Renders n <= kStep frames into out and marks the position reached.
void renderStep(int16_t* out, int n)
{
    Music* m = g.outputOn && g.playing ? g.current : nullptr;
    size_t got = 0;
    if (m && !m->ended) {
        got = openmpt_module_read_interleaved_stereo(m->mod, PLAT_MUSIC_RATE, (size_t)n, out);
        if (got < (size_t)n)
            m->ended = true; // played once to its end: the position stays there
    }
    memset(out + 2 * got, 0, sizeof(int16_t) * 2 * (n - got));
    int volume = g.volume.load(std::memory_order_relaxed);
    if (volume == 0)
        memset(out, 0, sizeof(int16_t) * 2 * n);
    else if (volume < 100)
        for (int i = 0; i < 2 * n; i++)
            out[i] = (int16_t)(out[i] * volume / 100);
    g.frames += (uint64_t)n;
    pushMark(g.frames, positionOf(g.current));
}

// What the listener hears now; an output without a device renders up to it.
uint64_t heardNow() { return g.out ? g.out->heard() : g.frames; }

// Closes the output before the process ends; the music then stands still.
void shutdownHook()
{
    if (!platMusicUsing(&g_platMusicLive))
        return;
    platMusicSwitch(&g_platMusicClock);
    g_platMusicClock.pause(true);
    g.outputOn = false;
}

void platformShutdownHook()
{
    g.platformHooked = false;
    shutdownHook();
}

Music* find(HMUSIC handle)
{
    for (Music* m : g.musics)
        if (m->handle == handle)
            return m;
    return nullptr;
}

HMUSIC load(const void* data, size_t size, uint32_t flags)
{
    if (!g.initialised || !data || size == 0)
        return 0;
    // Play once and stop at the end; no dither, whose noise is random and
    // would make two captures of one show differ.
    static const openmpt_module_initial_ctl ctls[] = {
        {"play.at_end", "stop"}, {"dither", "0"}, {nullptr, nullptr}};
    int error = 0;
    const char* message = nullptr;
    openmpt_module* mod = openmpt_module_create_from_memory2(data, size, openmpt_log_func_silent, nullptr,
                                                             openmpt_error_func_store, nullptr, &error,
                                                             &message, ctls);
    if (message)
        openmpt_free_string(message);
    if (!mod)
        return 0;
    openmpt_module_set_repeat_count(mod, 0);
    if (!(flags & BASS_MUSIC_RAMP))
        openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, 0);
    Music* m = new Music{g.nextHandle++, mod, flags, false};
    g.musics.push_back(m);
    return m->handle;
}

} // namespace

uint64_t platMusicFeed(int16_t* out, int count)
{
    std::lock_guard<std::mutex> lock(g.renderLock);
    uint64_t start = g.frames;
    for (int done = 0; done < count;) {
        int n = std::min(kStep, count - done);
        renderStep(out + 2 * done, n);
        done += n;
    }
    return start;
}

void platMusicRenderTo(uint64_t target, PlatMusicSink sink, void* user)
{
    bool audible = g.outputOn && g.playing && g.current && !g.current->ended;
    if (!audible && !sink && g.frames < target) {
        // Nothing to render and no one listening: a long silence costs nothing.
        g.frames = target;
        pushMark(g.frames, positionOf(g.current));
        return;
    }
    while (g.frames < target) {
        int n = (int)std::min<uint64_t>(kStep, target - g.frames);
        renderStep(g.scratch, n);
        if (sink)
            sink(g.scratch, n, user);
    }
}

uint64_t platMusicRendered() { return g.frames; }

bool platMusicUsing(const PlatMusicOutput* out) { return g.out == out; }

void platMusicSwitch(const PlatMusicOutput* out)
{
    uint64_t heard = g.out ? g.out->close() : 0;
    g.out = out;
    out->open(0, heard);
}

void platMusicFallBack(const char* reason)
{
    platMusicSwitch(&g_platMusicClock);
    if (g.warned)
        return;
    g.warned = true;
    char line[200];
    snprintf(line, sizeof line, "%s", reason);
    for (char* p = line; *p; p++)
        if (*p == '\n' || *p == '\r')
            *p = ' ';
    fprintf(stderr, "Sound: %s - the music goes on silently, timed by the clock\n", line);
}

int BASS_Init(int device, uint32_t freq, uint32_t flags, PlatWindow* window, void* clsid)
{
    if (g.initialised)
        return 0;
    g.initialised = true;
    g.outputOn = true;
    if (!g.platformHooked) {
        g.platformHooked = true;
        platAddShutdownHook(platformShutdownHook);
    }
    if (!g.exitHooked) {
        g.exitHooked = true;
        atexit(shutdownHook); // also when the platform never started
    }
    if (g.out)
        return 1; // capturing
    g.out = device == 0 ? &g_platMusicClock : &g_platMusicLive;
    if (const char* why = g.out->open(device, 0)) {
        platMusicFallBack(why);
        return 0;
    }
    return 1;
}

int BASS_Start()
{
    if (!g.initialised)
        return 0;
    if (g.outputOn)
        return 1;
    {
        std::lock_guard<std::mutex> lock(g.renderLock);
        g.outputOn = true;
    }
    g.out->pause(false);
    return 1;
}

int BASS_Stop()
{
    if (!g.initialised)
        return 0;
    if (!g.outputOn)
        return 1;
    g.out->pause(true);
    std::lock_guard<std::mutex> lock(g.renderLock);
    g.outputOn = false;
    return 1;
}

int BASS_Free()
{
    if (g.out)
        g.out->close();
    g.out = nullptr;
    for (Music* m : g.musics) {
        openmpt_module_destroy(m->mod);
        delete m;
    }
    g.musics.clear();
    g.current = nullptr;
    g.playing = false;
    g.initialised = false;
    g.outputOn = false;
    g.warned = false;
    g.volume = 100;
    g.sampleVolume = g.streamVolume = 100;
    g.frames = 0;
    g.lastRead = 0;
    clearMarks(0);
    return 1;
}

HMUSIC BASS_MusicLoad(int mem, const void* file, uint64_t offset, uint32_t length, uint32_t flags, uint32_t freq)
{
    if (!file)
        return 0;
    if (mem) {
        if (length == 0)
            return 0; // the size of a block in memory cannot be guessed
        return load((const char*)file + offset, length, flags);
    }
    FILE* f = fopen((const char*)file, "rb");
    if (!f)
        return 0;
    std::vector<char> bytes;
    if (fseek(f, 0, SEEK_END) == 0) {
        long end = ftell(f);
        if (end > 0 && (uint64_t)end > offset) {
            uint64_t size = (uint64_t)end - offset;
            if (length != 0 && length < size)
                size = length;
            bytes.resize((size_t)size);
            if (fseek(f, (long)offset, SEEK_SET) != 0 || fread(bytes.data(), 1, bytes.size(), f) != bytes.size())
                bytes.clear();
        }
    }
    fclose(f);
    return bytes.empty() ? 0 : load(bytes.data(), bytes.size(), flags);
}

HMUSIC BASS_MusicLoadMemory(const void* data, size_t size, uint32_t flags) { return load(data, size, flags); }

int BASS_MusicFree(HMUSIC handle)
{
    Music* m = find(handle);
    if (!m)
        return 0;
    {
        std::lock_guard<std::mutex> lock(g.renderLock);
        if (g.current == m) {
            g.current = nullptr;
            g.playing = false;
        }
    }
    if (g.current == nullptr)
        clearMarks(0);
    g.musics.erase(std::find(g.musics.begin(), g.musics.end(), m));
    openmpt_module_destroy(m->mod);
    delete m;
    return 1;
}

int BASS_MusicPlay(HMUSIC handle)
{
    Music* m = find(handle);
    if (!m)
        return 0;
    heardNow(); // the music starts now, not at the last reading
    std::lock_guard<std::mutex> lock(g.renderLock);
    if (m->ended) {
        openmpt_module_set_position_order_row(m->mod, 0, 0);
        m->ended = false;
    }
    if (!g.playing || g.current != m)
        platMusicLiveBegins(g.frames); // the next frame rendered is the music's
    if (g.current != m) {
        g.current = m;
        clearMarks(positionOf(m));
    }
    g.playing = true;
    return 1;
}

uint32_t BASS_ChannelGetPosition(HMUSIC handle)
{
    Music* m = find(handle);
    if (!m)
        return PLAT_MUSIC_ENDED;
    if (m != g.current) {
        std::lock_guard<std::mutex> lock(g.renderLock);
        return positionOf(m);
    }
    g.lastRead = heardNow();
    return positionAt(g.lastRead);
}

bool platMusicSyncMs(uint32_t* readMs, uint32_t* takenMs)
{
    if (!g.initialised || !g.out || !g.current)
        return false;
    uint64_t taken = platMusicUsing(&g_platMusicLive) ? platMusicLiveTaken() : heardNow();
    *readMs = (uint32_t)(g.lastRead * 1000 / PLAT_MUSIC_RATE);
    *takenMs = (uint32_t)(taken * 1000 / PLAT_MUSIC_RATE);
    return true;
}

uint32_t platMusicPlayingPosition() { return g.current ? BASS_ChannelGetPosition(g.current->handle) : PLAT_MUSIC_ENDED; }

int BASS_SetGlobalVolumes(int music, int sample, int stream)
{
    if (music >= 0)
        g.volume = std::min(music, 100);
    if (sample >= 0)
        g.sampleVolume = std::min(sample, 100);
    if (stream >= 0)
        g.streamVolume = std::min(stream, 100);
    return 1;
}

int platMusicSeekOrder(HMUSIC handle, int order)
{
    Music* m = find(handle);
    if (!m || order < 0 || order >= openmpt_module_get_num_orders(m->mod))
        return 0;
    std::lock_guard<std::mutex> lock(g.renderLock);
    openmpt_module_set_position_order_row(m->mod, order, 0);
    m->ended = false;
    if (g.current == m)
        clearMarks(positionOf(m));
    return 1;
}

uint32_t platMusicLengthMs(HMUSIC handle)
{
    Music* m = find(handle);
    if (!m)
        return 0;
    return (uint32_t)(openmpt_module_get_duration_seconds(m->mod) * 1000.0);
}

uint32_t platMusicPositionMs(HMUSIC handle)
{
    Music* m = find(handle);
    if (!m || m->ended)
        return 0;
    std::lock_guard<std::mutex> lock(g.renderLock);
    return (uint32_t)(openmpt_module_get_position_seconds(m->mod) * 1000.0);
}
