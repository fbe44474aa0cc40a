// The live output: an SDL audio device pulls the samples on its own thread.
// A device that goes away, or takes no samples for seconds, is given up for
// the clock.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/internal/PlatMusicOutput.h"
#include "platform/internal/PlatOs.h"
#include "platform/sdl/PlatSdl.h"

namespace {

// A device that takes no samples for this long (platSystemTicks ms) is
// given up. A sound server asks for samples when its own buffer runs low,
// not at the pace of ours: it takes the first buffer and then plays out what
// its sink already holds before it asks again (up to two seconds with
// PulseAudio's null sink, whose latency is two seconds until a stream asks
// for less), and one that hands out its buffer in large chunks asks in bursts
// with long pauses between. Only a device silent for far longer has stopped.
constexpr uint32_t kStallMs = 4000;
constexpr int kDeviceFrames = 1024;

bool s_audioUp = false; // the SDL audio subsystem
SDL_AudioDeviceID s_device = 0;
int s_queued = kDeviceFrames; // what the device holds before the buffer it asks for
bool s_paused = false;
uint64_t s_pausedHeard = 0;
uint64_t s_begins = 0; // the frame where the music playing began
std::string s_why;

// Under s_callLock: when the device last asked for samples, and which.
std::mutex s_callLock;
uint64_t s_callStart = 0;
int s_callFrames = 0;
int64_t s_callTimeUs = 0;
uint64_t s_callCount = 0;

// The stall watch.
uint64_t s_watchCount = 0;
uint32_t s_watchTick = 0;

int64_t nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

void SDLCALL feedDevice(void*, Uint8* stream, int len)
{
    uint64_t start = platMusicFeed((int16_t*)stream, len / 4);
    std::lock_guard<std::mutex> lock(s_callLock);
    s_callStart = start;
    s_callFrames = len / 4;
    s_callTimeUs = nowUs();
    s_callCount++;
}

// The frame played now by a device that held queued frames when it asked
// for [start, start + n): it plays those first, then the buffer; the frames
// in between follow at the output rate.
uint64_t playedNow(int queued)
{
    if (s_paused)
        return s_pausedHeard;
    std::lock_guard<std::mutex> lock(s_callLock);
    if (s_callCount == 0)
        return 0;
    int64_t since = (nowUs() - s_callTimeUs) * (int64_t)PLAT_MUSIC_RATE / 1000000;
    int64_t played = (int64_t)s_callStart - queued + std::clamp<int64_t>(since, 0, queued ? queued : s_callFrames);
    return played > 0 ? (uint64_t)played : 0;
}

// The frame the listener hears now: a sound card holds a buffer before the
// one it asks for; a driver that only sleeps for as long as a buffer lasts
// plays it from the call on.
uint64_t heardNow() { return playedNow(s_queued); }

void resetWatch()
{
    std::lock_guard<std::mutex> lock(s_callLock);
    s_watchCount = s_callCount;
    s_watchTick = platSystemTicks();
}

// True once the device has taken no samples for kStallMs. Until the first
// sample is heard nothing is heard either, so the show waits for the sound
// meanwhile instead of running ahead of it.
bool stalled()
{
    if (s_paused)
        return false;
    uint64_t calls;
    {
        std::lock_guard<std::mutex> lock(s_callLock);
        calls = s_callCount;
    }
    uint32_t now = platSystemTicks();
    if (calls != s_watchCount) {
        s_watchCount = calls;
        s_watchTick = now;
        return false;
    }
    return now - s_watchTick >= kStallMs;
}

void quietAlsaReport(const char*, int, const char*, int, const char*, ...) {}

// ALSA prints several lines of its own when there is no sound card; the one
// line of the fall-back says all the show has to say about it.
void quietAlsa()
{
    const char* driver = SDL_GetCurrentAudioDriver();
    if (!driver || strcmp(driver, "alsa") != 0)
        return;
    typedef void (*Report)(const char*, int, const char*, int, const char*, ...);
    typedef int (*SetReport)(Report);
    // The library SDL loads too; kept open.
    if (auto set = (SetReport)platOsLibrarySymbol("libasound.so.2", "snd_lib_error_set_handler"))
        set(quietAlsaReport);
}

const char* open(int device, uint64_t)
{
    s_paused = false;
    s_begins = 0;
    {
        std::lock_guard<std::mutex> lock(s_callLock);
        s_callStart = 0;
        s_callFrames = 0;
        s_callTimeUs = 0;
        s_callCount = 0;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        s_why = std::string("no audio driver (") + SDL_GetError() + ")";
        return s_why.c_str();
    }
    s_audioUp = true;
    quietAlsa();
    const char* name = nullptr;
    if (device > 0) {
        name = SDL_GetAudioDeviceName(device - 1, 0);
        if (!name)
            return "no such audio device";
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
        s_why = std::string("the audio device refuses to open (") + SDL_GetError() + ")";
        return s_why.c_str();
    }
    s_device = id;
    // SDL's dummy and disk drivers queue nothing: they sleep through the
    // buffer just filled, so that is what is heard meanwhile.
    const char* driver = SDL_GetCurrentAudioDriver();
    bool sleeper = driver && (!strcmp(driver, "dummy") || !strcmp(driver, "disk"));
    s_queued = sleeper ? 0 : got.samples > 0 ? got.samples : kDeviceFrames;
    resetWatch();
    SDL_PauseAudioDevice(id, 0);
    return nullptr;
}

void pause(bool paused)
{
    if (paused) {
        s_pausedHeard = heardNow();
        s_paused = true;
        SDL_PauseAudioDevice(s_device, 1);
    } else {
        s_paused = false;
        resetWatch();
        SDL_PauseAudioDevice(s_device, 0);
    }
}

// SDL stops a device whose sound server went away or whose card was
// unplugged (its callback then runs on into nothing, timed by a sleep).
bool lost() { return !s_paused && SDL_GetAudioDeviceStatus(s_device) == SDL_AUDIO_STOPPED; }

uint64_t heard()
{
    if (lost()) {
        platMusicFallBack("the audio device was lost");
        return g_platMusicClock.heard();
    }
    if (stalled()) {
        platMusicFallBack("the audio device takes no samples");
        return g_platMusicClock.heard();
    }
    return heardNow();
}

uint64_t close()
{
    uint64_t last = heardNow();
    if (s_device) {
        SDL_CloseAudioDevice(s_device);
        s_device = 0;
    }
    if (s_audioUp) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        s_audioUp = false;
    }
    return last;
}

} // namespace

const PlatMusicOutput g_platMusicLive = {open, pause, heard, close};

uint64_t platMusicLiveTaken() { return playedNow(0); }

bool platMusicLiveHeard(uint64_t* frame, uint64_t* from)
{
    if (!s_device || s_paused || !platMusicUsing(&g_platMusicLive))
        return false;
    *frame = heardNow();
    *from = s_begins;
    return true;
}

void platMusicLiveBegins(uint64_t frame) { s_begins = frame; }

bool platMusicHasDevice() { return s_device != 0 && platMusicUsing(&g_platMusicLive); }
