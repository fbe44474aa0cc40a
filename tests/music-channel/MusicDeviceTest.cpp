// The channel with an audio device, without one, and with one that stalls.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "XmWriter.h"
#include "platform/Plat.h"
#include "platform/PlatMusic.h"
#include "platform/sdl/PlatSdl.h"
#include "system/Xerror.h"

using namespace testxm;

namespace {

uint32_t g_now = 0;
uint32_t fakeTicks() { return g_now; }
uint32_t fakeSeconds() { return 1000; }

const std::vector<int> kTestOrders = {8, 4, 8};

uint64_t framesIn(uint32_t ms) { return (uint64_t)ms * 44100 / 1000; }

int lines(const std::string& text) { return (int)std::count(text.begin(), text.end(), '\n'); }

class MusicDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 50000;
        platSetClock(fakeTicks, fakeSeconds);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override
    {
        BASS_Free();
        platSetClock(nullptr, nullptr);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }

    HMUSIC Load()
    {
        std::vector<uint8_t> bytes = WriteXm(TestSong());
        HMUSIC music = BASS_MusicLoadMemory(bytes.data(), bytes.size(), 5);
        EXPECT_NE(music, 0u);
        return music;
    }

    // In silent mode the clock alone moves the music: check every few ms.
    void ExpectClockTempo(HMUSIC music, uint32_t start, uint64_t baseFrames, uint32_t untilMs)
    {
        for (uint32_t ms = 0; ms <= untilMs; ms += 7) {
            g_now = start + ms;
            ASSERT_EQ(BASS_ChannelGetPosition(music), ExpectedPosition(kTestOrders, baseFrames + framesIn(ms)))
                << "at " << ms << " ms";
        }
    }
};

TEST_F(MusicDevice, WithoutAnAudioDriverTheMusicFollowsTheClockSilently)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), 0);
    EXPECT_FALSE(platMusicHasDevice());
    HMUSIC music = Load();
    g_now += 4000; // loading the show takes a while: the music starts at its play
    EXPECT_EQ(BASS_MusicPlay(music), 1);
    uint32_t start = g_now;
    ExpectClockTempo(music, start, 0, 1000);

    // Stopped, it stands still; started again, it goes on from there.
    g_now = start + 1000;
    BASS_Stop();
    uint32_t stopped = BASS_ChannelGetPosition(music);
    EXPECT_EQ(stopped, ExpectedPosition(kTestOrders, framesIn(1000)));
    g_now += 5000;
    EXPECT_EQ(BASS_ChannelGetPosition(music), stopped);
    BASS_Start();
    ExpectClockTempo(music, g_now, framesIn(1000), 1500);
    g_now += 60000;
    EXPECT_EQ(BASS_ChannelGetPosition(music), PLAT_MUSIC_ENDED);
    g_now += 60000;
    EXPECT_EQ(BASS_ChannelGetPosition(music), PLAT_MUSIC_ENDED);

    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(lines(err), 1) << err;
    EXPECT_EQ(err.rfind("Sound: no audio driver (", 0), 0u) << err;
    EXPECT_NE(err.find(") - the music goes on silently, timed by the clock\n"), std::string::npos) << err;
}

TEST_F(MusicDevice, ARefusingDeviceAndDeviceZeroRunOnTheClock)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(BASS_Init(99, 44100, 0, nullptr, nullptr), 0);
    EXPECT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), 0) << "already set up";
    EXPECT_FALSE(platMusicHasDevice());
    HMUSIC music = Load();
    BASS_MusicPlay(music);
    ExpectClockTempo(music, g_now, 0, 500);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Sound: no such audio device - the music goes on silently, timed by the clock\n");
    BASS_Free();

    // Device 0 asks for no sound: the same clock, without a word.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(BASS_Init(0, 44100, 0, nullptr, nullptr), 1);
    music = Load();
    BASS_MusicPlay(music);
    ExpectClockTempo(music, g_now, 0, 500);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(MusicDevice, AClockThatJumpsBackNeitherRewindsNorStallsTheMusic)
{
    EXPECT_EQ(BASS_Init(0, 44100, 0, nullptr, nullptr), 1);
    HMUSIC music = Load();
    BASS_MusicPlay(music);
    g_now += 500;
    uint32_t before = BASS_ChannelGetPosition(music);
    EXPECT_EQ(before, ExpectedPosition(kTestOrders, framesIn(500)));
    g_now = 100; // a new clock, far behind the old one
    EXPECT_EQ(BASS_ChannelGetPosition(music), before);
    ExpectClockTempo(music, g_now, framesIn(500), 700);
}

TEST_F(MusicDevice, ADeviceThatPausesIsKeptAndOneSilentForSecondsIsGivenUp)
{
    // SDL's disk driver takes one buffer, then sleeps this long per buffer:
    // as a sound server does that plays out what its sink holds first.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "1500", 1);
    ASSERT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), 1);
    ASSERT_TRUE(platMusicHasDevice());
    ::testing::internal::CaptureStderr();
    HMUSIC music = Load();
    BASS_MusicPlay(music);
    // Two pauses of 1.5 s on the real clock: the device is kept.
    uint32_t real = SDL_GetTicks();
    while (SDL_GetTicks() - real < 3200) {
        g_now = 50000 + (SDL_GetTicks() - real);
        BASS_ChannelGetPosition(music);
        ASSERT_TRUE(platMusicHasDevice()) << "given up after " << g_now - 50000 << " ms";
        SDL_Delay(10);
    }
    // Then the clock runs far ahead of the device's next call.
    uint32_t start = g_now;
    while (platMusicHasDevice() && g_now - start < 8000) {
        g_now += 10;
        BASS_ChannelGetPosition(music);
    }
    EXPECT_FALSE(platMusicHasDevice());
    EXPECT_GE(g_now - start, 2500u);
    EXPECT_LE(g_now - start, 4250u);
    // From then on the clock moves the music on from where it was heard.
    uint32_t first = BASS_ChannelGetPosition(music);
    g_now += 1000;
    EXPECT_GT(BASS_ChannelGetPosition(music), first);
    g_now += 5000;
    EXPECT_EQ(BASS_ChannelGetPosition(music), PLAT_MUSIC_ENDED);
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "Sound: the audio device takes no samples - the music goes on silently, timed by the clock\n");
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("SDL_DISKAUDIODELAY");
}

TEST_F(MusicDevice, ThePlayingDeviceIsTheShowsClockAndTheProcessorsWhenStopped)
{
    // A device far slower than its rate (one buffer a second): the show's
    // clock keeps to what it plays, not to the processor's clock.
    platSetClock(nullptr, nullptr);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "1000", 1);
    ASSERT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), 1);
    HMUSIC music = Load();
    BASS_MusicPlay(music);
    uint32_t first = platGetTickCount(), last = first, real = SDL_GetTicks();
    while (SDL_GetTicks() - real < 2100) {
        uint32_t now = platGetTickCount();
        ASSERT_GE((int32_t)(now - last), 0) << "the clock ran back";
        last = now;
        SDL_Delay(5);
    }
    EXPECT_LE(last - first, 100u) << "three buffers of 23 ms were played";
    // Stopped, the processor's clock goes on from there.
    BASS_Stop();
    uint32_t stopped = platGetTickCount();
    EXPECT_GE(stopped, last);
    SDL_Delay(300);
    EXPECT_GE(platGetTickCount() - stopped, 250u);
    EXPECT_TRUE(platMusicHasDevice());
    unsetenv("SDL_DISKAUDIOFILE");
    unsetenv("SDL_DISKAUDIODELAY");
}

TEST_F(MusicDevice, ALiveDevicePlaysTheMusicForward)
{
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), 1);
    EXPECT_EQ(BASS_Start(), 1);
    EXPECT_TRUE(platMusicHasDevice());
    HMUSIC music = Load();
    EXPECT_EQ(BASS_ChannelGetPosition(music), 0u);
    BASS_MusicPlay(music);
    // The fake clock stands still, so only the device moves the music on.
    uint32_t last = 0;
    for (int i = 0; i < 500 && (last & 0xFFFF) == 0 && last >> 16 < 2; i++) {
        SDL_Delay(10);
        uint32_t pos = BASS_ChannelGetPosition(music);
        ASSERT_GE(pos, last) << "the position went back";
        last = pos;
    }
    EXPECT_GE(last >> 16, 2u) << "the device did not play";
    EXPECT_TRUE(platMusicHasDevice());

    BASS_Stop();
    uint32_t stopped = BASS_ChannelGetPosition(music);
    SDL_Delay(200);
    EXPECT_EQ(BASS_ChannelGetPosition(music), stopped);
    BASS_Start();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST_F(MusicDevice, ShutdownClosesTheDeviceAndLeavesThePositionStanding)
{
    for (int round = 0; round < 2; round++) {
        ASSERT_TRUE(platInit());
        ASSERT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), 1);
        ASSERT_TRUE(platMusicHasDevice());
        HMUSIC music = Load();
        BASS_MusicPlay(music);
        platShutdown();
        EXPECT_FALSE(platMusicHasDevice()) << "round " << round;
        uint32_t pos = BASS_ChannelGetPosition(music);
        g_now += 1000;
        EXPECT_EQ(BASS_ChannelGetPosition(music), pos);
        BASS_Free();
    }
}

void reportDevice()
{
    fprintf(stderr, platMusicHasDevice() ? "device still open\n" : "device closed\n");
}

TEST_F(MusicDevice, AFatalErrorClosesTheDeviceBeforeTheProcessEnds)
{
    EXPECT_EXIT(
        {
            platInit();
            platAddShutdownHook(reportDevice); // runs after the channel's own hook
            BASS_Init(-1, 44100, 0, nullptr, nullptr);
            if (!platMusicHasDevice())
                exit(1);
            BASS_MusicPlay(Load());
            g_xError.Fatal("broken on purpose");
        },
        ::testing::ExitedWithCode(3), "device closed");
}

} // namespace
