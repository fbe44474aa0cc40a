#include <gtest/gtest.h>
#include <cstdlib>

int main(int argc, char** argv)
{
    // Tests never need a display, a sound card or a person at a dialog box.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("QH_DIALOG_ANSWER", "yes", 0);
    ::testing::InitGoogleTest(&argc, argv);
    // SDL starts threads of its own; forked death tests must re-execute.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
