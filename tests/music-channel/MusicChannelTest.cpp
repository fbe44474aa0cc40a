#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "XmWriter.h"
#include "platform/Plat.h"
#include "platform/PlatMusic.h"
#include "tests/common/Scratch.h"

using namespace testxm;

namespace {

uint32_t g_now = 0;
uint32_t fakeTicks() { return g_now; }
uint32_t fakeSeconds() { return 1000; }

const std::vector<int> kTestOrders = {8, 4, 8};
const uint64_t kTestFrames = 20ull * TEST_ROW_FRAMES;

void collect(const int16_t* frames, int count, void* user)
{
    auto* out = static_cast<std::vector<int16_t>*>(user);
    out->insert(out->end(), frames, frames + 2 * count);
}

class MusicChannel : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_now = 1000;
        platSetClock(fakeTicks, fakeSeconds);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    void TearDown() override
    {
        BASS_Free();
        platSetClock(nullptr, nullptr);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }

    HMUSIC Load(const XmSong& song, uint32_t flags = 5)
    {
        std::vector<uint8_t> bytes = WriteXm(song);
        return BASS_MusicLoadMemory(bytes.data(), bytes.size(), flags);
    }

    // Capture mode from the fake clock's present, the test song playing.
    HMUSIC StartCapture(std::vector<int16_t>* out, const XmSong& song = TestSong())
    {
        platMusicSetCapture(out ? collect : nullptr, out);
        EXPECT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), 1);
        HMUSIC music = Load(song);
        EXPECT_NE(music, 0u);
        EXPECT_EQ(BASS_MusicPlay(music), 1);
        return music;
    }

    // Plays the whole test song in capture mode with the given steps in ms.
    std::vector<int16_t> CaptureSong(const std::vector<uint32_t>& steps)
    {
        std::vector<int16_t> out;
        StartCapture(&out);
        uint32_t t = g_now;
        for (size_t i = 0; t < g_now + 2600; i++) {
            t += steps[i % steps.size()];
            platMusicAdvanceTo(t);
        }
        BASS_Free();
        return out;
    }
};

TEST_F(MusicChannel, LoadRefusesWhatLibopenmptRefusesAndCopiesTheData)
{
    std::vector<uint8_t> bytes = WriteXm(TestSong());
    EXPECT_EQ(BASS_MusicLoadMemory(bytes.data(), bytes.size(), 5), 0u) << "before BASS_Init";

    ASSERT_EQ(BASS_Init(0, 44100, 0, nullptr, nullptr), 1);
    const char junk[] = "this is not a module of any kind, only a line of text";
    EXPECT_EQ(BASS_MusicLoadMemory(junk, sizeof junk, 5), 0u);
    EXPECT_EQ(BASS_MusicLoadMemory(bytes.data(), 0, 5), 0u);
    EXPECT_EQ(BASS_MusicLoadMemory(nullptr, 100, 5), 0u);
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + 40);
    EXPECT_EQ(BASS_MusicLoadMemory(cut.data(), cut.size(), 5), 0u) << "a header cut short";
    // From memory, length 0 says nothing about the size of the block.
    EXPECT_EQ(BASS_MusicLoad(1, bytes.data(), 0, 0, 5, 0), 0u);

    // With an offset and a length; handles are never zero nor reused.
    std::vector<uint8_t> framed(16, 0xEE);
    framed.insert(framed.end(), bytes.begin(), bytes.end());
    HMUSIC a = BASS_MusicLoad(1, framed.data(), 16, (uint32_t)bytes.size(), 5, 0);
    HMUSIC b = BASS_MusicLoadMemory(bytes.data(), bytes.size(), 5);
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(BASS_MusicFree(a), 1);
    EXPECT_EQ(BASS_MusicFree(a), 0);
    EXPECT_EQ(BASS_ChannelGetPosition(a), PLAT_MUSIC_ENDED) << "a freed handle";
    EXPECT_EQ(BASS_MusicPlay(a), 0);
    HMUSIC c = BASS_MusicLoadMemory(bytes.data(), bytes.size(), 5);
    EXPECT_NE(c, a);

    // From a file, with an offset, length 0 reading to the end.
    std::string path = scratchFile("framed.bin");
    ASSERT_TRUE(writeFile(path, framed));
    EXPECT_NE(BASS_MusicLoad(0, path.c_str(), 16, 0, 5, 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(0, path.c_str(), 0, 0, 5, 0), 0u) << "the junk in front is not a module";
    EXPECT_EQ(BASS_MusicLoad(0, "no-such-file.xm", 0, 0, 5, 0), 0u);
}

TEST_F(MusicChannel, TheCallerMayFreeItsBlockRightAfterLoading)
{
    std::vector<int16_t> intact, overwritten;
    {
        platMusicSetCapture(collect, &intact);
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        std::vector<uint8_t> bytes = WriteXm(TestSong());
        HMUSIC music = BASS_MusicLoadMemory(bytes.data(), bytes.size(), 5);
        BASS_MusicPlay(music);
        platMusicAdvanceTo(g_now + 500);
        BASS_Free();
    }
    {
        platMusicSetCapture(collect, &overwritten);
        BASS_Init(-1, 44100, 0, nullptr, nullptr);
        std::vector<uint8_t> bytes = WriteXm(TestSong());
        HMUSIC music = BASS_MusicLoadMemory(bytes.data(), bytes.size(), 5);
        std::fill(bytes.begin(), bytes.end(), 0x55);
        bytes.clear();
        bytes.shrink_to_fit();
        BASS_MusicPlay(music);
        platMusicAdvanceTo(g_now + 500);
    }
    ASSERT_EQ(intact.size(), 2u * 22050);
    EXPECT_EQ(intact, overwritten);
}

TEST_F(MusicChannel, CapturedPositionFollowsTheRowsStepByStep)
{
    HMUSIC music = StartCapture(nullptr);
    EXPECT_EQ(BASS_ChannelGetPosition(music), 0u) << "nothing heard yet";
    bool sawLastRow = false;
    for (uint32_t ms = 5; ms <= 2600; ms += 5) {
        platMusicAdvanceTo(g_now + ms);
        uint64_t frames = (uint64_t)ms * 44100 / 1000;
        ASSERT_EQ(platMusicCapturedFrames(), frames);
        uint32_t expected = ExpectedPosition(kTestOrders, frames);
        ASSERT_EQ(BASS_ChannelGetPosition(music), expected) << "at " << ms << " ms";
        if (expected == (2u | 7u << 16))
            sawLastRow = true;
    }
    EXPECT_TRUE(sawLastRow);
    // Order in the low half, row in the high half: order 1 row 3.
    EXPECT_EQ(ExpectedPosition(kTestOrders, 11 * TEST_ROW_FRAMES + 1), 0x00030001u);
}

TEST_F(MusicChannel, PositionNeverWrapsAndReadsAllBitsSetAfterTheEnd)
{
    HMUSIC music = StartCapture(nullptr);
    platMusicAdvanceTo(g_now + 2400); // exactly the song's length
    EXPECT_EQ(platMusicCapturedFrames(), kTestFrames);
    EXPECT_EQ(BASS_ChannelGetPosition(music), 2u | 7u << 16);
    platMusicAdvanceTo(g_now + 2405);
    EXPECT_EQ(BASS_ChannelGetPosition(music), PLAT_MUSIC_ENDED);
    for (uint32_t ms = 2410; ms < 10000; ms += 370) {
        platMusicAdvanceTo(g_now + ms);
        ASSERT_EQ(BASS_ChannelGetPosition(music), PLAT_MUSIC_ENDED) << "at " << ms << " ms";
    }
    EXPECT_EQ(BASS_ChannelGetPosition(music + 1000), PLAT_MUSIC_ENDED) << "an unknown handle";

    // Played again once over, it starts from the top.
    EXPECT_EQ(BASS_MusicPlay(music), 1);
    uint64_t base = platMusicCapturedFrames();
    platMusicAdvanceTo(g_now + 10000 + 130);
    EXPECT_EQ(BASS_ChannelGetPosition(music),
              ExpectedPosition(kTestOrders, platMusicCapturedFrames() - base));
}

TEST_F(MusicChannel, ASongThatJumpsBackEndsInsteadOfLooping)
{
    // Order 0 plays pattern 0, whose last row jumps back to order 0, and
    // the song restarts at order 0 too: both would loop forever.
    XmSong song = TestSong();
    song.orders = {0, 1};
    XmCell& jump = song.Cell(1, 3, 1);
    jump.effect = 0x0B;
    jump.param = 0;
    std::vector<int16_t> out;
    HMUSIC music = StartCapture(&out, song);
    uint32_t last = 0;
    for (uint32_t ms = 10; ms <= 6000; ms += 10) {
        platMusicAdvanceTo(g_now + ms);
        uint32_t pos = BASS_ChannelGetPosition(music);
        if (last != 0) {
            ASSERT_TRUE(pos == PLAT_MUSIC_ENDED || (pos & 0xFFFF) >= (last & 0xFFFF))
                << "went back from " << std::hex << last << " to " << pos;
        }
        last = pos;
    }
    EXPECT_EQ(last, PLAT_MUSIC_ENDED);
    // Everything after the end is silence.
    size_t end = 2 * (size_t)12 * TEST_ROW_FRAMES + 2 * 1000;
    ASSERT_GT(out.size(), end);
    for (size_t i = end; i < out.size(); i++)
        ASSERT_EQ(out[i], 0) << "sample " << i;
}

TEST_F(MusicChannel, CaptureIsDeterministicWhateverTheSteps)
{
    std::vector<int16_t> even = CaptureSong({5});
    std::vector<int16_t> again = CaptureSong({5});
    std::vector<int16_t> ragged = CaptureSong({1, 37, 4, 120, 9, 2});
    ASSERT_FALSE(even.empty());
    EXPECT_EQ(even, again);
    ASSERT_GE(ragged.size(), even.size());
    EXPECT_TRUE(std::equal(even.begin(), even.end(), ragged.begin()));
    bool sound = false;
    for (int16_t s : even)
        sound = sound || s != 0;
    EXPECT_TRUE(sound) << "the test song is not silent";
}

TEST_F(MusicChannel, MusicVolumeScalesAndMutesTheCapturedSamples)
{
    std::vector<int16_t> full = CaptureSong({5});

    BASS_SetGlobalVolumes(50, -1, -1);
    std::vector<int16_t> half;
    StartCapture(&half);
    BASS_SetGlobalVolumes(-1, 20, 30); // leaves the music volume at 50
    platMusicAdvanceTo(g_now + 1000);
    ASSERT_EQ(half.size(), 2u * 44100);
    for (size_t i = 0; i < half.size(); i++)
        ASSERT_EQ(half[i], (int16_t)(full[i] * 50 / 100)) << "sample " << i;

    // Muted in the middle: not a single sample gets through after that.
    BASS_SetGlobalVolumes(0, -1, -1);
    platMusicAdvanceTo(g_now + 2000);
    ASSERT_EQ(half.size(), 2u * 88200);
    for (size_t i = 2 * 44100; i < half.size(); i++)
        ASSERT_EQ(half[i], 0) << "sample " << i;
    BASS_Free();

    BASS_SetGlobalVolumes(250, -1, -1); // above the top: full volume
    std::vector<int16_t> loud;
    StartCapture(&loud);
    platMusicAdvanceTo(g_now + 1000);
    EXPECT_TRUE(std::equal(loud.begin(), loud.end(), full.begin()));
}

TEST_F(MusicChannel, CaptureHandsOverSilenceBeforePlayAndWhileStopped)
{
    std::vector<int16_t> out;
    platMusicSetCapture(collect, &out);
    ASSERT_EQ(BASS_Init(-1, 44100, 0, nullptr, nullptr), 1);
    EXPECT_FALSE(platMusicHasDevice());
    HMUSIC music = Load(TestSong());
    platMusicAdvanceTo(g_now + 100); // loading: virtual time runs, no music yet
    EXPECT_EQ(out.size(), 2u * 4410);
    EXPECT_EQ(BASS_ChannelGetPosition(music), 0u);
    BASS_MusicPlay(music);
    platMusicAdvanceTo(g_now + 100 + 130);
    EXPECT_EQ(BASS_ChannelGetPosition(music), 1u << 16) << "timed from the play, not the capture";
    BASS_Stop();
    platMusicAdvanceTo(g_now + 1000);
    EXPECT_EQ(BASS_ChannelGetPosition(music), 1u << 16) << "stopped";
    for (size_t i = 2 * 10143; i < out.size(); i++)
        ASSERT_EQ(out[i], 0) << "sample " << i;
    BASS_Start();
    platMusicAdvanceTo(g_now + 1000 + 120);
    EXPECT_EQ(BASS_ChannelGetPosition(music), 2u << 16);
    platMusicAdvanceTo(g_now + 500); // backwards: nothing happens
    platMusicAdvanceTo(g_now - 500);
    EXPECT_EQ(platMusicCapturedFrames(), 44100u * 1120 / 1000);
    EXPECT_EQ(out.size(), 2 * platMusicCapturedFrames());
}

} // namespace
