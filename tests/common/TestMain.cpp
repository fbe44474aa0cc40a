#include <gtest/gtest.h>
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
    ::testing::InitGoogleTest(&argc, argv);
    // SDL starts threads of its own; forked death tests must re-execute.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::UnitTest::GetInstance()->listeners().Append(new ScratchCleaner);
    return RUN_ALL_TESTS();
}
