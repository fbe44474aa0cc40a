// The greetings as the show plays them: the program captures orders 17-21
// losslessly on its virtual clock, and chosen frames must have the hashes
// kept in frames.txt, for both drawing paths. The build target greet_frames
// writes them anew (tests/common/CaptureHashes.h).
#include <gtest/gtest.h>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "tests/common/CaptureHashes.h"

namespace {

// Frames of the 2-fps capture: 0.5 s the opening flash; 5.5 s the list under
// "greetings to", frames fading from the flashes of rows 44 and 46, the
// first cells revealing; 8.5 s "the monsters" half over "greetings to";
// 23 s the full mosaic with both question marks; 26 s the darkening under
// "two are missing"; 31 s "guess who" alone.
const CaptureWindow kGreetings = {"greet", "-start 17 -end 22 -fps 2", {1, 11, 17, 46, 52, 62}, QH_FRAMES_FILE};

TEST(GreetingsFrames, PlainPathMatchesTheReferenceHashes) { checkCaptureWindow(kGreetings, true); }

TEST(GreetingsFrames, MmxPathMatchesTheReferenceHashes)
{
    if (!x2dSpriteHasMMXPath() || !x2dDetectMMX()) {
        GTEST_SKIP() << "no MMX path on this machine";
    }
    checkCaptureWindow(kGreetings, false);
}

} // namespace
