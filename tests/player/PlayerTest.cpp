#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/common/ShowRun.h"

namespace {

// Every check captures at 20 frames a second: a frame every 50 ms.
const int kFps = 20;
const int kFrameMs = 1000 / kFps;

uint64_t hashBytes(const uint8_t* p, size_t n)
{
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < n; i++)
        h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// The overlay's rows at the top of the frame, and the colour of its letters.
const int kOverlayRows = 22;
const uint32_t kOverlayInk = 0xFFD890;

struct Frames {
    PipedShow run;
    std::vector<uint64_t> whole;  // each frame's hash
    std::vector<uint64_t> below;  // the hash of the rows below the overlay's
    std::vector<int> ink;         // pixels of the overlay's colour in its rows
    std::string wav;              // the music, its 44-byte header included
};

Frames capture(const std::string& name, const std::string& args, const std::string& keys = "")
{
    Frames f;
    const std::string folder = showFolder(name);
    const std::string env = keys.empty() ? "" : "env QH_CAPTURE_KEYS=" + keys;
    f.run = captureThroughPipe(folder, "-fps " + std::to_string(kFps) + " " + args, env,
                               [&](int, const uint8_t* bgra) {
                                   const size_t top = (size_t)640 * kOverlayRows * 4;
                                   f.whole.push_back(hashBytes(bgra, (size_t)640 * 480 * 4));
                                   f.below.push_back(hashBytes(bgra + top, (size_t)640 * 480 * 4 - top));
                                   int ink = 0;
                                   for (size_t i = 0; i < top; i += 4)
                                       ink += (bgra[i] | bgra[i + 1] << 8 | bgra[i + 2] << 16) == (int)kOverlayInk;
                                   f.ink.push_back(ink);
                               });
    f.wav = readWholeFile(folder + "/show.rgb.wav");
    return f;
}

int frameAt(int ms) { return ms / kFrameMs; }

// Player runs that jump into every part after it and the parts it shares
// things with have played: the first walks back through the parts that
// change what others draw on (the closing words the calm sea, the falling
// letters the bubbles and the flare's size, the credits and the roto-zoom
// the greetings' block), then to the start and one order on; the others
// go back and forth around the fish and the lines, and around the falling
// letters, the closing words and the end scroller. Each jump lands on the
// next whole second of the capture's clock, and from there on the picture
// is a fresh -start run's, frame for frame, until the next key (the frame
// at the landing itself is still the old picture).
TEST(Player, JumpsLandAsFreshStartsDo)
{
    struct Jump {
        int keyMs, landsMs, order;
        const char* key;
    };
    struct Run {
        int start;
        std::vector<Jump> jumps;
        int endMs;
    };
    const Run runs[] = {
        {30,
         {{31500, 32000, 30, "pageup"},
          {34000, 35000, 26, "pageup"},
          {36500, 37000, 22, "pageup"},
          {39000, 40000, 18, "pageup"},
          {41500, 42000, 0, "home"},
          {43500, 44000, 1, "right"}},
         46000},
        {13, {{3500, 4000, 12, "left"}, {6000, 7000, 13, "right"}, {8500, 9000, 9, "pageup"}}, 11000},
        {34, {{3500, 4000, 33, "left"}, {6000, 7000, 34, "right"}, {8500, 9000, 38, "pagedown"}}, 11000},
    };
    for (const Run& run : runs) {
        std::string keys;
        for (const Jump& jump : run.jumps)
            keys += std::to_string(jump.keyMs) + ":" + jump.key + ",";
        keys += std::to_string(run.endMs) + ":escape";
        const std::string start = std::to_string(run.start);
        const Frames player = capture("player" + start, "-player -start " + start, keys);
        ASSERT_EQ(player.run.status, 0) << player.run.err;
        for (size_t j = 0; j < run.jumps.size(); j++) {
            const Jump& jump = run.jumps[j];
            const int untilMs = j + 1 < run.jumps.size() ? run.jumps[j + 1].keyMs : run.endMs;
            const std::string order = std::to_string(jump.order);
            const Frames fresh =
                capture("fresh" + start + "-" + order, "-start " + order + " -end " + std::to_string(jump.order + 1));
            ASSERT_EQ(fresh.run.status, 0) << fresh.run.err;
            const int first = frameAt(jump.landsMs), count = frameAt(untilMs) - first;
            ASSERT_LE(count, (int)fresh.whole.size());
            ASSERT_LE(first + count, (int)player.whole.size());
            int differ = 0, firstDiffer = -1;
            for (int k = 1; k < count; k++)
                if (player.whole[first + k] != fresh.whole[k] && differ++ == 0)
                    firstDiffer = k;
            EXPECT_EQ(differ, 0) << "from order " << run.start << ", the jump to order " << jump.order << ": "
                                 << differ << " of " << count - 1 << " frames differ from -start " << jump.order
                                 << ", the first " << firstDiffer << " frames after the landing";
        }
    }
}

// Space at 1.5 s pauses at the end of the frame drawn then; Space at 4.2 s
// resumes once the pause has lasted three whole seconds. The paused run is
// the plain one with three seconds of one held picture and of silence put
// in: the picture and the music go on from where they stood.
TEST(Player, PauseHoldsPictureAndMusic)
{
    const Frames plain = capture("plain", "-start 17 -end 18");
    const Frames paused = capture("paused", "-player -start 17 -end 18", "1500:space,4200:space");
    ASSERT_EQ(plain.run.status, 0) << plain.run.err;
    ASSERT_EQ(paused.run.status, 0) << paused.run.err;
    const int shift = frameAt(3000);
    ASSERT_EQ(paused.whole.size(), plain.whole.size() + shift);
    // The pause begins within a frame's pacing of the key: the frames part
    // there, and the picture shown then is held.
    int held = frameAt(1500);
    while (held < frameAt(1600) && paused.whole[held] == plain.whole[held])
        held++;
    for (int k = 0; k < held; k++)
        ASSERT_EQ(paused.whole[k], plain.whole[k]) << "frame " << k << " before the pause";
    for (int k = held; k < held + shift; k++)
        ASSERT_EQ(paused.whole[k], paused.whole[held]) << "frame " << k << " in the pause";
    for (size_t k = held + shift; k < paused.whole.size(); k++)
        ASSERT_EQ(paused.whole[k], plain.whole[k - shift]) << "frame " << k << " after the pause";

    // The music: 16-bit stereo frames after the header; the paused file
    // holds 3 s of silence where the pause began and is the plain one
    // around it.
    const size_t header = 44, second = 44100 * 4, gap = 3 * second;
    ASSERT_EQ(paused.wav.size(), plain.wav.size() + gap);
    size_t begins = header;
    while (begins < plain.wav.size() && paused.wav[begins] == plain.wav[begins])
        begins++;
    EXPECT_GE(begins, header + second * 3 / 2);
    EXPECT_LE(begins, header + second * 16 / 10);
    begins -= (begins - header) % 4;
    EXPECT_EQ(paused.wav.find_first_not_of('\0', begins), begins + gap) << "silence while paused";
    EXPECT_EQ(paused.wav.compare(begins + gap, std::string::npos, plain.wav, begins, std::string::npos), 0)
        << "the music goes on where it stood";
}

// F1 at 0.5 s shows the overlay and at 2.5 s hides it: only the rows above
// the picture change, and only while it shows; a player run without keys
// is the plain show. A broken key script is refused.
TEST(Player, OverlayStaysInTheTopBorder)
{
    const Frames plain = capture("plain", "-start 17 -end 18");
    const Frames overlay = capture("overlay", "-player -start 17 -end 18", "500:f1,2500:f1");
    ASSERT_EQ(plain.run.status, 0) << plain.run.err;
    ASSERT_EQ(overlay.run.status, 0) << overlay.run.err;
    ASSERT_EQ(overlay.whole.size(), plain.whole.size());
    for (size_t k = 0; k < plain.whole.size(); k++) {
        const int ms = (int)k * kFrameMs;
        ASSERT_EQ(overlay.below[k], plain.below[k]) << "frame " << k;
        if (ms > 600 && ms < 2500) {
            // A line of some twenty characters of about twenty pixels each.
            EXPECT_GT(overlay.ink[k], 200) << "frame " << k;
        } else if (ms < 500 || ms > 2600) {
            ASSERT_EQ(overlay.whole[k], plain.whole[k]) << "frame " << k;
        }
    }

    const Frames unkeyed = capture("unkeyed", "-player -start 17 -end 18");
    EXPECT_EQ(unkeyed.whole, plain.whole);

    int n = 0;
    for (const char* keys : {"500:f2", "500:f1,400:f1", "abc", "500:f1,"}) {
        const ShowRun bad = runShow(showFolder("bad" + std::to_string(n++)), "-player -capture bad.y4m", std::string("QH_CAPTURE_KEYS='") +
                                                                                      keys + "'");
        EXPECT_EQ(bad.status, 3) << keys;
        EXPECT_NE(bad.err.find("QH_CAPTURE_KEYS must read MS:KEY,MS:KEY..."), std::string::npos) << keys << bad.err;
    }
}

} // namespace
