// The greetings as the show plays them: orders 17-21 captured at 2 fps, and
// chosen frames against the hashes in frames.txt on both drawing paths
// (tests/common/ShowFrames.h). The build target greet_frames rewrites them.
#include "tests/common/ShowFrames.h"

namespace {

// Frames of the 2-fps capture: 0.5 s the opening flash; 5.5 s the list under
// "greetings to", frames fading from the flashes of rows 44 and 46, the
// first cells revealing; 8.5 s "the monsters" half over "greetings to";
// 23 s the full mosaic with both question marks; 26 s the darkening under
// "two are missing"; 31 s "guess who" alone.
const std::vector<int> kFrames = {1, 11, 17, 46, 52, 62};
const char* const kArgs = "-start 17 -end 22 -capture show.rgb -fps 2";

TEST(GreetingsFrames, PlainPathMatchesTheReferenceHashes) { showframes::checkFrames("greet", kArgs, kFrames, true); }

TEST(GreetingsFrames, MmxPathMatchesTheReferenceHashes)
{
    if (!showframes::haveMmxPath()) {
        GTEST_SKIP() << "no MMX path on this machine";
    }
    showframes::checkFrames("greet", kArgs, kFrames, false);
}

} // namespace
