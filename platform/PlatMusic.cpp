#include "PlatMusic.h"

#include <libopenmpt/libopenmpt.h>

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "PlatSdl.h"

namespace {

// Rendering goes in steps of this many frames (about 5 ms), each followed by
// a position mark: a row lasts far longer, so the position never misses one.
constexpr int kStep = PLAT_MUSIC_CAPTURE_STEP;
// About five seconds of marks: far more than the device keeps queued.
constexpr int kMarks = 1024;
// A device that takes no samples for this long (platGetTickCount ms) is
// given up; with the polling of the show that is noticed within 250 ms.
constexpr uint32_t kStallMs = 200;
constexpr int kDeviceFrames = 1024;

enum class Mode { Off, Live, Clock, Capture };

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
    Mode mode = Mode::Off;
    bool initialised = false;
    bool outputOn = false; // between BASS_Init/BASS_Start and BASS_Stop
    bool exitHooked = false;
    bool platformHooked = false; // platShutdown drops its hooks once run
    bool warned = false;

    bool audioUp = false; // the SDL audio subsystem
    SDL_AudioDeviceID device = 0;
    int latency = kDeviceFrames;

    std::vector<Music*> musics;
    HMUSIC nextHandle = 1;

    // Read by the renderer; changed by the main thread under the device lock.
    Music* current = nullptr;
    bool playing = false;
    std::atomic<int> volume{100};
    int sampleVolume = 100;
    int streamVolume = 100;

    // Written by the renderer only (the device thread in live mode).
    uint64_t frames = 0;
    int16_t scratch[kStep * 2];

    // Under markLock: the marks, and when the device last asked for samples.
    std::mutex markLock;
    Mark marks[kMarks];
    int markHead = 0;
    int markCount = 0;
    uint32_t basePos = 0; // before the oldest mark
    uint64_t callStart = 0;
    int64_t callTimeUs = 0;
    uint64_t callCount = 0;

    // Live: the stall watch, and what was heard when the output stopped.
    uint64_t watchCount = 0;
    uint32_t watchTick = 0;
    uint64_t stoppedHeard = 0;

    // Silent on the clock: heard = clockBase + time since clockOrigin.
    uint64_t clockBase = 0;
    uint32_t clockOrigin = 0;

    // Capture.
    PlatMusicSink sink = nullptr;
    void* sinkUser = nullptr;
    uint32_t captureOrigin = 0;
    uint64_t captureBase = 0;
    uint64_t captured = 0;
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

int64_t nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
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

// Renders the channel's timeline up to frame target (main thread, no device).
void renderTo(uint64_t target, PlatMusicSink sink, void* user)
{
    bool audible = g.outputOn && g.playing && g.current && !g.current->ended;
    if (!audible && !sink && g.frames < target) {
        // Nothing to render and no one listening: a long silence costs nothing.
        if (g.mode == Mode::Capture)
            g.captured += target - g.frames;
        g.frames = target;
        pushMark(g.frames, positionOf(g.current));
        return;
    }
    while (g.frames < target) {
        int n = (int)std::min<uint64_t>(kStep, target - g.frames);
        renderStep(g.scratch, n);
        if (sink)
            sink(g.scratch, n, user);
        if (g.mode == Mode::Capture)
            g.captured += (uint64_t)n;
    }
}

void SDLCALL feedDevice(void*, Uint8* stream, int len)
{
    int16_t* out = (int16_t*)stream;
    int total = len / 4;
    uint64_t start = g.frames;
    for (int done = 0; done < total;) {
        int n = std::min(kStep, total - done);
        renderStep(out + 2 * done, n);
        done += n;
    }
    std::lock_guard<std::mutex> lock(g.markLock);
    g.callStart = start;
    g.callTimeUs = nowUs();
    g.callCount++;
}

// Holds the device thread off the shared state (a no-op without a device).
struct DeviceLock {
    DeviceLock()
    {
        if (g.device)
            SDL_LockAudioDevice(g.device);
    }
    ~DeviceLock()
    {
        if (g.device)
            SDL_UnlockAudioDevice(g.device);
    }
};

// The frame the listener hears now. The device asked for [start, start + n)
// while it began to play the buffer before it; the frames in between follow
// at the output rate.
uint64_t heardLive()
{
    if (!g.outputOn)
        return g.stoppedHeard;
    std::lock_guard<std::mutex> lock(g.markLock);
    if (g.callCount == 0)
        return 0;
    int64_t since = (nowUs() - g.callTimeUs) * (int64_t)PLAT_MUSIC_RATE / 1000000;
    int64_t heard = (int64_t)g.callStart - g.latency + std::clamp<int64_t>(since, 0, g.latency);
    return heard > 0 ? (uint64_t)heard : 0;
}

uint64_t heardClock()
{
    if (!g.outputOn)
        return g.clockBase;
    // A clock replaced by one behind it: go on from what was heard last.
    uint32_t now = platGetTickCount();
    int32_t elapsed = (int32_t)(now - g.clockOrigin);
    if (elapsed < 0) {
        g.clockBase = std::max(g.clockBase, g.frames);
        g.clockOrigin = now;
        return g.clockBase;
    }
    return g.clockBase + (uint64_t)elapsed * PLAT_MUSIC_RATE / 1000;
}

void closeDevice()
{
    if (g.device) {
        SDL_CloseAudioDevice(g.device);
        g.device = 0;
    }
    if (g.audioUp) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        g.audioUp = false;
    }
}

void startClock(uint64_t heard)
{
    g.mode = Mode::Clock;
    g.clockBase = heard;
    g.clockOrigin = platGetTickCount();
}

// No working sound: say so once, then follow the clock from what was heard.
void fallBack(const char* reason)
{
    uint64_t heard = g.mode == Mode::Live ? heardLive() : 0;
    closeDevice();
    startClock(heard);
    if (!g.warned) {
        g.warned = true;
        char line[200];
        snprintf(line, sizeof line, "%s", reason);
        for (char* p = line; *p; p++)
            if (*p == '\n' || *p == '\r')
                *p = ' ';
        fprintf(stderr, "Sound: %s - the music goes on silently, timed by the clock\n", line);
    }
}

// A device that stops taking samples is given up after kStallMs.
void watchDevice()
{
    if (g.mode != Mode::Live || !g.outputOn)
        return;
    uint64_t calls;
    {
        std::lock_guard<std::mutex> lock(g.markLock);
        calls = g.callCount;
    }
    uint32_t now = platGetTickCount();
    if (calls != g.watchCount) {
        g.watchCount = calls;
        g.watchTick = now;
    } else if (now - g.watchTick >= kStallMs) {
        fallBack("the audio device takes no samples");
    }
}

void resetWatch()
{
    std::lock_guard<std::mutex> lock(g.markLock);
    g.watchCount = g.callCount;
    g.watchTick = platGetTickCount();
}

// Closes the device before the process ends; the music then stands still.
void shutdownHook()
{
    uint64_t heard = g.mode == Mode::Live ? heardLive() : 0;
    closeDevice();
    if (g.mode == Mode::Live) {
        startClock(heard);
        g.outputOn = false;
    }
}

void platformShutdownHook()
{
    g.platformHooked = false;
    shutdownHook();
}

void quietAlsaReport(const char*, int, const char*, int, const char*, ...) {}

// ALSA prints several lines of its own when there is no sound card; the one
// line of fallBack says all the show has to say about it.
void quietAlsa()
{
    const char* driver = SDL_GetCurrentAudioDriver();
    if (!driver || strcmp(driver, "alsa") != 0)
        return;
    void* alsa = dlopen("libasound.so.2", RTLD_LAZY); // the library SDL loads too; kept open
    if (!alsa)
        return;
    typedef void (*Report)(const char*, int, const char*, int, const char*, ...);
    typedef int (*SetReport)(Report);
    if (auto set = (SetReport)dlsym(alsa, "snd_lib_error_set_handler"))
        set(quietAlsaReport);
}

void openDevice(int device)
{
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        fallBack((std::string("no audio driver (") + SDL_GetError() + ")").c_str());
        return;
    }
    g.audioUp = true;
    quietAlsa();
    const char* name = nullptr;
    if (device > 0) {
        name = SDL_GetAudioDeviceName(device - 1, 0);
        if (!name) {
            fallBack("no such audio device");
            return;
        }
    }
    SDL_AudioSpec want, got;
    SDL_zero(want);
    want.freq = PLAT_MUSIC_RATE;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kDeviceFrames;
    want.callback = feedDevice;
    SDL_AudioDeviceID id = SDL_OpenAudioDevice(name, 0, &want, &got, 0);
    if (!id) {
        fallBack((std::string("the audio device refuses to open (") + SDL_GetError() + ")").c_str());
        return;
    }
    g.device = id;
    g.latency = got.samples > 0 ? got.samples : kDeviceFrames;
    g.mode = Mode::Live;
    resetWatch();
    SDL_PauseAudioDevice(id, 0);
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
    if (g.mode == Mode::Capture)
        return 1;
    if (device == 0) {
        startClock(0);
        return 1;
    }
    openDevice(device);
    return g.mode == Mode::Live ? 1 : 0;
}

int BASS_Start()
{
    if (!g.initialised)
        return 0;
    if (g.outputOn)
        return 1;
    if (g.mode == Mode::Live) {
        {
            DeviceLock lock;
            g.outputOn = true;
        }
        resetWatch();
        SDL_PauseAudioDevice(g.device, 0);
    } else if (g.mode == Mode::Clock) {
        g.clockOrigin = platGetTickCount();
        g.outputOn = true;
    } else {
        g.outputOn = true;
    }
    return 1;
}

int BASS_Stop()
{
    if (!g.initialised)
        return 0;
    if (!g.outputOn)
        return 1;
    if (g.mode == Mode::Live) {
        g.stoppedHeard = heardLive();
        SDL_PauseAudioDevice(g.device, 1);
        DeviceLock lock;
        g.outputOn = false;
    } else if (g.mode == Mode::Clock) {
        g.clockBase = heardClock();
        renderTo(g.clockBase, nullptr, nullptr); // what was heard before the stop
        g.outputOn = false;
    } else {
        g.outputOn = false;
    }
    return 1;
}

int BASS_Free()
{
    closeDevice();
    for (Music* m : g.musics) {
        openmpt_module_destroy(m->mod);
        delete m;
    }
    g.musics.clear();
    g.current = nullptr;
    g.playing = false;
    g.mode = Mode::Off;
    g.initialised = false;
    g.outputOn = false;
    g.warned = false;
    g.volume = 100;
    g.sampleVolume = g.streamVolume = 100;
    g.frames = 0;
    clearMarks(0);
    {
        std::lock_guard<std::mutex> lock(g.markLock);
        g.callStart = 0;
        g.callTimeUs = 0;
        g.callCount = 0;
    }
    g.watchCount = 0;
    g.stoppedHeard = 0;
    g.clockBase = 0;
    g.sink = nullptr;
    g.sinkUser = nullptr;
    g.captureBase = 0;
    g.captured = 0;
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
        DeviceLock lock;
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
    watchDevice();
    if (g.mode == Mode::Clock)
        renderTo(heardClock(), nullptr, nullptr); // the music starts now, not at the last reading
    DeviceLock lock;
    if (m->ended) {
        openmpt_module_set_position_order_row(m->mod, 0, 0);
        m->ended = false;
    }
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
        DeviceLock lock;
        return positionOf(m);
    }
    switch (g.mode) {
    case Mode::Live:
        watchDevice();
        if (g.mode == Mode::Live)
            return positionAt(heardLive());
        // the device was given up just now: fall through to the clock
        [[fallthrough]];
    case Mode::Clock: {
        uint64_t heard = heardClock();
        renderTo(heard, nullptr, nullptr);
        return positionAt(heard);
    }
    case Mode::Capture:
    case Mode::Off:
        break;
    }
    return positionAt(g.frames);
}

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

bool platMusicHasDevice() { return g.mode == Mode::Live && g.device != 0; }

void platMusicSetCapture(PlatMusicSink sink, void* user)
{
    closeDevice();
    g.mode = Mode::Capture;
    g.sink = sink;
    g.sinkUser = user;
    g.captureOrigin = platGetTickCount();
    g.captureBase = g.frames;
    g.captured = 0;
}

void platMusicAdvanceTo(uint32_t tickMs)
{
    if (g.mode != Mode::Capture)
        return;
    int32_t elapsed = (int32_t)(tickMs - g.captureOrigin);
    if (elapsed <= 0)
        return;
    renderTo(g.captureBase + (uint64_t)elapsed * PLAT_MUSIC_RATE / 1000, g.sink, g.sinkUser);
}

uint64_t platMusicCapturedFrames() { return g.captured; }

int platMusicSeekOrder(HMUSIC handle, int order)
{
    Music* m = find(handle);
    if (!m || order < 0 || order >= openmpt_module_get_num_orders(m->mod))
        return 0;
    DeviceLock lock;
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
    DeviceLock lock;
    return (uint32_t)(openmpt_module_get_position_seconds(m->mod) * 1000.0);
}
