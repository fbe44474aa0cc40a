// The lines as the show plays them: the program captures orders 13-16
// losslessly on its virtual clock (nothing before order 13 touches the part,
// so these are the show's own frames), and chosen frames must have the
// hashes kept in frames.txt, for both drawing paths. The build target
// lines_frames_update writes them anew (tests/common/CaptureHashes.h).
#include <gtest/gtest.h>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "tests/common/CaptureHashes.h"

namespace {

// Frames of the 2-fps capture: rising from black with the first letter
// growing (13/8); the second letter (13/26); the second word (14/28); the
// grid at full darkness, scrolling (15/30); the caption fading in (15/39);
// caption and grid (16/32); the grids changing (16/58); black under the
// caption (16/63).
const CaptureWindow kLines = {"lines", "-start 13 -end 17 -fps 2", {2, 6, 21, 36, 38, 51, 57, 58}, QH_FRAMES_FILE};

TEST(LinesFrames, PlainPathMatchesTheReferenceHashes) { checkCaptureWindow(kLines, true); }

TEST(LinesFrames, MmxPathMatchesTheReferenceHashes)
{
    if (!x2dSpriteHasMMXPath() || !x2dDetectMMX()) {
        GTEST_SKIP() << "no MMX path on this machine";
    }
    checkCaptureWindow(kLines, false);
}

} // namespace
