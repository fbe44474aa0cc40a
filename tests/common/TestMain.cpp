#include <gtest/gtest.h>
#include <cstdio>
#include <cstdlib>

#include "tests/common/Scratch.h"

namespace {
// A scratch folder goes when the test that made it ends; one made by a
// suite's set-up, when the suite ends.
struct ScratchCleaner : ::testing::EmptyTestEventListener {
    bool suiteHad = false, testHad = false;
    void OnTestSuiteStart(const ::testing::TestSuite&) override { suiteHad = scratchMade(); }
    void OnTestStart(const ::testing::TestInfo&) override { testHad = scratchMade(); }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        if (!testHad)
            scratchEnd();
    }
    void OnTestSuiteEnd(const ::testing::TestSuite&) override
    {
        if (!suiteHad)
            scratchEnd();
    }
};
} // namespace

int main(int argc, char** argv)
{
    // Tests never need a display, a sound card or a person at a dialog box.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("QH_DIALOG_ANSWER", "yes", 0);
    // References are rewritten by their build targets alone, never by ctest.
    if (getenv("QH_UPDATE_FRAMES") && getenv("QH_CTEST")) {
        fprintf(stderr, "QH_UPDATE_FRAMES is set: build show_frames, x3d_frames or scene_frames instead\n");
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    // SDL starts threads of its own; forked death tests must re-execute.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::UnitTest::GetInstance()->listeners().Append(new ScratchCleaner);
    // A test that cannot run here (GTEST_SKIP) has ctest report its program skipped.
    int failed = RUN_ALL_TESTS();
    return !failed && ::testing::UnitTest::GetInstance()->skipped_test_count() && getenv("QH_CTEST") ? 77 : failed;
}
