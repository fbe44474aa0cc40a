#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "VideoHelpers.h"
#include "app/Demo.h"
#include "platform/PlatKeyboard.h"

using ::testing::ExitedWithCode;

namespace {

struct Seen {
    int type;
    uint32_t code;
    uint8_t altDown; // left Alt's state when the event arrived
};
std::vector<Seen> g_seen;
void onDown(void* data) { g_seen.push_back(Seen{XEV_KEYDOWN, *(uint32_t*)data, g_keyState[56]}); }
void onUp(void* data) { g_seen.push_back(Seen{XEV_KEYUP, *(uint32_t*)data, g_keyState[56]}); }

TEST(KeyboardDevice, ScanCodesInDirectInputNumbering)
{
    EXPECT_EQ(1, platKeyboardScanCode(SDL_SCANCODE_ESCAPE));
    EXPECT_EQ(28, platKeyboardScanCode(SDL_SCANCODE_RETURN));
    EXPECT_EQ(56, platKeyboardScanCode(SDL_SCANCODE_LALT));
    EXPECT_EQ(184, platKeyboardScanCode(SDL_SCANCODE_RALT));
    EXPECT_EQ(0x1E, platKeyboardScanCode(SDL_SCANCODE_A));
    EXPECT_EQ(0x2C, platKeyboardScanCode(SDL_SCANCODE_Z));
    EXPECT_EQ(0x0B, platKeyboardScanCode(SDL_SCANCODE_0));
    EXPECT_EQ(0x57, platKeyboardScanCode(SDL_SCANCODE_F11));
    EXPECT_EQ(0x9C, platKeyboardScanCode(SDL_SCANCODE_KP_ENTER));
    EXPECT_EQ(0x9D, platKeyboardScanCode(SDL_SCANCODE_RCTRL));
    EXPECT_EQ(0xB5, platKeyboardScanCode(SDL_SCANCODE_KP_DIVIDE));
    EXPECT_EQ(0xC8, platKeyboardScanCode(SDL_SCANCODE_UP));
    EXPECT_EQ(0xD3, platKeyboardScanCode(SDL_SCANCODE_DELETE));
    EXPECT_EQ(0xDB, platKeyboardScanCode(SDL_SCANCODE_LGUI));
    EXPECT_EQ(0, platKeyboardScanCode(SDL_SCANCODE_UNKNOWN));
    EXPECT_EQ(0, platKeyboardScanCode(-1));
    EXPECT_EQ(0, platKeyboardScanCode(SDL_NUM_SCANCODES));
    // Apart from two pairs of keys that share one code, no two keys collide.
    std::set<int> codes;
    int mapped = 0;
    for (int s = 0; s < SDL_NUM_SCANCODES; s++)
        if (int c = platKeyboardScanCode(s)) {
            codes.insert(c);
            mapped++;
        }
    EXPECT_EQ(mapped - 2, (int)codes.size());
    EXPECT_GE(mapped, 104); // the whole of a standard keyboard
}

TEST(KeyboardDriver, FatalTexts)
{
    EXPECT_EXIT(
        {
            startVideo();
            xKeyboardInit(nullptr);
        },
        ExitedWithCode(3), "Error: xKeyboardInit::No main window to set cooperative level");
    EXPECT_EXIT(
        {
            startVideo();
            xKeyboardInit(xVideoMainWindow());
            platKeyboardRelease();
            xKeyboardTimer(1);
        },
        ExitedWithCode(3), "Error: xKeyboradTimer::GetDeviceData\\(\\): DIERR_NOTINITIALIZED");
}

void loopUntilEscape(bool closeInstead)
{
    startVideo();
    xKeyboardInit(xVideoMainWindow());
    xVideoSetMode(640, 480, 0, 32, 0xff0000, 0xff00, 0xff);
    xSysAddResponder(KeyResponder, XEV_KEYDOWN, 1);
    xSysAddResponder(CloseResponder, XEV_CLOSE, 1);
    static int passes = 0;
    xSysAddTimer([](uint32_t) {
        if (++passes > 1000)
            g_xError.Fatal("the main loop did not end");
    }, 0);
    if (closeInstead)
        pushWindowEvent(SDL_WINDOWEVENT_CLOSE);
    else
        pushKey(SDL_SCANCODE_ESCAPE, true);
    xSysRun();
    fprintf(stderr, "loop ended after %d passes\n", passes);
    exit(0);
}

TEST(KeyboardDriver, EscapeOrClosingTheWindowEndsTheMainLoop)
{
    EXPECT_EXIT(loopUntilEscape(false), ExitedWithCode(0), "loop ended after [12] passes");
    EXPECT_EXIT(loopUntilEscape(true), ExitedWithCode(0), "loop ended after [12] passes");
}

class Keyboard : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        startVideo();
        xKeyboardInit(xVideoMainWindow());
        xVideoSetMode(640, 480, 0, 32, 0xff0000, 0xff00, 0xff);
        xSysAddResponder(onDown, XEV_KEYDOWN, 0);
        xSysAddResponder(onUp, XEV_KEYUP, 0);
        xSysAddResponder(KeyResponder, XEV_KEYDOWN, 1);
    }
    void SetUp() override
    {
        pumpMessages();
        xKeyboardTimer(1);
        g_seen.clear();
    }
    // One pass: window messages, then the keyboard timer.
    void pass()
    {
        pumpMessages();
        xKeyboardTimer(1);
    }
};

TEST_F(Keyboard, SixteenPerReadInOrderNoneLost)
{
    const SDL_Scancode keys[] = {SDL_SCANCODE_A, SDL_SCANCODE_B, SDL_SCANCODE_C, SDL_SCANCODE_D, SDL_SCANCODE_E,
                                 SDL_SCANCODE_F, SDL_SCANCODE_G, SDL_SCANCODE_H, SDL_SCANCODE_I, SDL_SCANCODE_J,
                                 SDL_SCANCODE_K, SDL_SCANCODE_L, SDL_SCANCODE_M, SDL_SCANCODE_N, SDL_SCANCODE_O,
                                 SDL_SCANCODE_P, SDL_SCANCODE_Q, SDL_SCANCODE_R, SDL_SCANCODE_S, SDL_SCANCODE_T};
    std::vector<Seen> want;
    for (SDL_Scancode k : keys) {
        pushKey(k, true);
        pushKey(k, false);
        want.push_back(Seen{XEV_KEYDOWN, platKeyboardScanCode(k), 0});
        want.push_back(Seen{XEV_KEYUP, platKeyboardScanCode(k), 0});
    }
    pumpMessages();
    EXPECT_EQ(40, platKeyboardPending());
    size_t sizes[] = {16, 32, 40, 40};
    for (size_t expected : sizes) {
        xKeyboardTimer(1);
        ASSERT_EQ(expected, g_seen.size());
    }
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_EQ(want[i].type, g_seen[i].type) << i;
        EXPECT_EQ(want[i].code, g_seen[i].code) << i;
    }
    EXPECT_EQ(0, g_keyState[0x1E]);
}

TEST_F(Keyboard, ReadWithAnOverflowNoteIsNotAnError)
{
    // Far more than anyone types between two passes: the oldest are dropped,
    // the read says so, and the driver goes on with what it got.
    for (int i = 0; i < 2100; i++) {
        pushKey(SDL_SCANCODE_X, true);
        pushKey(SDL_SCANCODE_X, false);
    }
    pumpMessages();
    EXPECT_EQ(4096, platKeyboardPending());
    xKeyboardTimer(1);
    ASSERT_EQ(16u, g_seen.size());
    EXPECT_EQ(XEV_KEYDOWN, g_seen[0].type);
    EXPECT_EQ(0x2Du, g_seen[0].code);
    while (platKeyboardPending() > 0)
        xKeyboardTimer(1);
    EXPECT_EQ(4096u, g_seen.size());
    EXPECT_EQ(0, g_keyState[0x2D]);
}

TEST_F(Keyboard, HeldKeyRepeatsNothing)
{
    pushKey(SDL_SCANCODE_A, true);
    for (int i = 0; i < 5; i++)
        pushKey(SDL_SCANCODE_A, true, true);
    pass();
    EXPECT_EQ(1u, g_seen.size());
    EXPECT_EQ(1, g_keyState[0x1E]);
    pushKey(SDL_SCANCODE_A, false);
    pass();
    ASSERT_EQ(2u, g_seen.size());
    EXPECT_EQ(XEV_KEYUP, g_seen[1].type);
    EXPECT_EQ(0, g_keyState[0x1E]);
}

TEST_F(Keyboard, AltReturnTogglesAndTogglesBackWithTheSamePicture)
{
    drawTestPicture();
    xVideoPresent();
    std::vector<uint32_t> before = readPrimary();
    ASSERT_FALSE(xVideoIsFullscreen());

    pushKey(SDL_SCANCODE_LALT, true);
    pushKey(SDL_SCANCODE_RETURN, true);
    pass();
    ASSERT_EQ(2u, g_seen.size());
    EXPECT_EQ(56u, g_seen[0].code);
    EXPECT_EQ(28u, g_seen[1].code);
    EXPECT_EQ(1, g_seen[1].altDown); // Alt is down when Return arrives
    EXPECT_TRUE(xVideoIsFullscreen());
    EXPECT_EQ(before, readPrimary());

    // Holding Return does not flip the display over and over.
    for (int i = 0; i < 4; i++)
        pushKey(SDL_SCANCODE_RETURN, true, true);
    pass();
    EXPECT_TRUE(xVideoIsFullscreen());

    pushKey(SDL_SCANCODE_RETURN, false);
    pushKey(SDL_SCANCODE_RETURN, true);
    pass();
    EXPECT_FALSE(xVideoIsFullscreen());
    EXPECT_EQ(before, readPrimary());

    // Return alone, after Alt is let go, does nothing.
    pushKey(SDL_SCANCODE_RETURN, false);
    pushKey(SDL_SCANCODE_LALT, false);
    pushKey(SDL_SCANCODE_RETURN, true);
    pushKey(SDL_SCANCODE_RETURN, false);
    pass();
    EXPECT_FALSE(xVideoIsFullscreen());

    // Right Alt toggles as well.
    pushKey(SDL_SCANCODE_RALT, true);
    pushKey(SDL_SCANCODE_RETURN, true);
    pushKey(SDL_SCANCODE_RETURN, false);
    pass();
    EXPECT_TRUE(xVideoIsFullscreen());
    pushKey(SDL_SCANCODE_RETURN, true);
    pushKey(SDL_SCANCODE_RETURN, false);
    pushKey(SDL_SCANCODE_RALT, false);
    pass();
    EXPECT_FALSE(xVideoIsFullscreen());
    EXPECT_EQ(0, g_keyState[184]);
    EXPECT_EQ(before, readPrimary());
}

TEST_F(Keyboard, FocusLossUnacquiresWithoutHanging)
{
    pushKey(SDL_SCANCODE_B, true);
    pass();
    ASSERT_EQ(1u, g_seen.size());
    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_LOST);
    pushKey(SDL_SCANCODE_B, false); // released while in the background
    pushKey(SDL_SCANCODE_C, true);
    pass(); // another program has the keyboard: this pass gives up
    pass();
    EXPECT_EQ(1u, g_seen.size());
    EXPECT_EQ(1, g_keyState[0x30]); // the state table keeps what it last saw

    pushWindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED);
    pass(); // re-acquired
    pushKey(SDL_SCANCODE_D, true);
    pushKey(SDL_SCANCODE_D, false);
    pushKey(SDL_SCANCODE_B, true);
    pushKey(SDL_SCANCODE_B, false);
    pass();
    ASSERT_EQ(5u, g_seen.size());
    EXPECT_EQ(0x20u, g_seen[1].code);
    EXPECT_EQ(0x30u, g_seen[4].code);
    EXPECT_EQ(0, g_keyState[0x30]);
    g_xSys.active = 1;
}

} // namespace
