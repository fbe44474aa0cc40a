// The credits as the show plays them: orders 22-25 captured at 4 fps, and
// chosen frames against the hashes in frames.txt on both drawing paths
// (tests/common/ShowFrames.h). The build target credits_frames rewrites them:
// for a change of the picture that is meant, new data, or a change of the 3D
// engine or of the credits scene, which the order-23 moment shows.
#include "tests/common/ShowFrames.h"

namespace {

const int kStartOrder = 22, kFps = 4;

// The capture frame that shows a position of the music: a row lasts 15/132 s.
constexpr int frameAt(int order, int row) { return ((order - kStartOrder) * 64 + row) * 15 * kFps / 132; }

// Each step of both credits (rows 4, 12, 20), their slides (40), the scene's
// order, the plate's order and the white fade.
const std::vector<int> kFrames = {frameAt(22, 4),  frameAt(22, 12), frameAt(22, 20), frameAt(22, 40),
                                  frameAt(23, 32), frameAt(24, 4),  frameAt(24, 12), frameAt(24, 20),
                                  frameAt(24, 40), frameAt(25, 32), frameAt(25, 62)};
const char* const kArgs = "-start 22 -end 26 -capture show.rgb -fps 4";

TEST(CreditsFrames, PlainPathMatchesTheReferenceHashes) { showframes::checkFrames("credits", kArgs, kFrames, true); }

TEST(CreditsFrames, MmxPathMatchesTheReferenceHashes)
{
    if (!showframes::haveMmxPath()) {
        GTEST_SKIP() << "no MMX path on this machine";
    }
    showframes::checkFrames("credits", kArgs, kFrames, false);
}

} // namespace
