#include <gtest/gtest.h>

#include <string>

#include "system/Xsystem.h"

namespace {

uint32_t g_now;
uint32_t fakeTicks() { return g_now; }
std::string g_log;

class SystemDriver : public ::testing::Test {
protected:
    void SetUp() override
    {
        platSetClock(fakeTicks, nullptr);
        g_now = 1000;
        g_log.clear();
        xSysShutdown();
        g_xSys.active = 1;
    }
    void TearDown() override
    {
        xSysShutdown();
        g_xSys.active = 0;
        platSetClock(nullptr, nullptr);
    }
};

uint32_t g_periods;
void lateTimer(uint32_t periods)
{
    g_periods = periods;
    platPostQuitMessage(0);
}

TEST_F(SystemDriver, LateTimerCountsElapsedPeriodsAndRestartsFromNow)
{
    xSysAddTimer(lateTimer, 4); // period 250, due at 1250
    ASSERT_EQ(g_xSys.timers[0].period, 250u);
    ASSERT_EQ(g_xSys.timers[0].due, 1250u);

    g_now = 1250 + 625; // two and a half periods late
    xSysRun();
    EXPECT_EQ(g_periods, 3u);
    EXPECT_EQ(g_xSys.timers[0].due, g_now + 250);

    // Less than a period late: the schedule keeps its own rhythm.
    g_now = g_xSys.timers[0].due + 100;
    uint32_t due = g_xSys.timers[0].due;
    xSysRun();
    EXPECT_EQ(g_periods, 1u);
    EXPECT_EQ(g_xSys.timers[0].due, due + 250);
}

TEST_F(SystemDriver, TimerDueAcrossTickWrapAround)
{
    g_now = 0xFFFFFF00u;
    xSysAddTimer(lateTimer, 4);
    EXPECT_EQ(g_xSys.timers[0].due, 0xFFFFFFFAu);
    g_periods = 0;
    g_now = 0x10; // the counter wrapped; the timer is 22 ms late, not 4 billion early
    xSysRun();
    EXPECT_EQ(g_periods, 1u);
}

TEST_F(SystemDriver, FrequencyLimitsAndDoubleRegistration)
{
    xSysAddTimer(lateTimer, 1000);
    EXPECT_EQ(g_xSys.timers[0].period, 1u);
    g_now = 5000;
    xSysAddTimer(lateTimer, 3); // already registered: nothing changes
    EXPECT_EQ(xSysTimerCount(), 1);
    EXPECT_EQ(g_xSys.timers[0].period, 1u);
    EXPECT_EQ(g_xSys.timers[0].due, 1001u);
    xSysRemoveTimer(lateTimer);
    xSysAddTimer(lateTimer, 3);
    EXPECT_EQ(g_xSys.timers[0].period, 333u);
    EXPECT_EXIT(xSysAddTimer(lateTimer, 1001), ::testing::ExitedWithCode(3),
                "Error: xSysAddTimer\\(\\) - invalid frequency 1001");
}

template <int N> void numbered(uint32_t) { g_log += std::to_string(N) + " "; }

TEST_F(SystemDriver, TimerTableLimitAndUnknownRemoval)
{
    xSysTimer timers[] = {numbered<0>, numbered<1>, numbered<2>, numbered<3>, numbered<4>,
                          numbered<5>, numbered<6>, numbered<7>, numbered<8>, numbered<9>};
    for (xSysTimer t : timers)
        xSysAddTimer(t, 0);
    EXPECT_EXIT(xSysAddTimer(numbered<10>, 0), ::testing::ExitedWithCode(3),
                "xSysAddTimer\\(\\) - limit of 10 timers exceeded");
    EXPECT_EXIT(xSysRemoveTimer(numbered<11>), ::testing::ExitedWithCode(3),
                "xSysRemoveTimer\\(\\) - cannot find timer 0x[0-9A-F]{16}\n");
    EXPECT_EXIT(xSysFindTimer(nullptr), ::testing::ExitedWithCode(3), "Assertion failed\nFile .*Xsystem.*\nLine 138");
}

// The keeper timer ends the run after two passes.
int g_keeperCalls;
void keeper(uint32_t)
{
    g_log += "K ";
    if (++g_keeperCalls == 2)
        platPostQuitMessage(0);
}
void middle(uint32_t) { g_log += "M "; }
void added(uint32_t) { g_log += "G "; }
void handOver(uint32_t)
{
    g_log += "F ";
    xSysRemoveTimer(handOver);
    xSysAddTimer(added, 0);
}

TEST_F(SystemDriver, TimerReplacingItselfAsLastEntryRunsSuccessorNextPass)
{
    g_keeperCalls = 0;
    xSysAddTimer(keeper, 0);
    xSysAddTimer(middle, 0);
    xSysAddTimer(handOver, 0);
    xSysRun();
    EXPECT_EQ(g_log, "K M F K M G ");
}

TEST_F(SystemDriver, TimerReplacingItselfInTheMiddleDelaysTheEntryThatMovesUp)
{
    g_keeperCalls = 0;
    xSysAddTimer(handOver, 0);
    xSysAddTimer(middle, 0);
    xSysAddTimer(keeper, 0);
    xSysRun();
    // middle slides into the removed slot and waits; the appended timer runs at once.
    EXPECT_EQ(g_log, "F K G M K G ");
}

void respond(void* data) { g_log += std::string((const char*)data) + " "; }
void respondA(void*) { g_log += "a "; }
void respondB(void*) { g_log += "b "; }
void respondC(void*) { g_log += "c "; }

TEST_F(SystemDriver, RespondersRunByPriorityThenRegistrationOrder)
{
    xSysAddResponder(respondA, XEV_MOUSE, 1);
    xSysAddResponder(respondB, XEV_MOUSE, 0);
    xSysAddResponder(respondC, XEV_MOUSE, 1);
    xSysAddResponder(respond, XEV_KEYUP, 0);
    xSysDispatch(XEV_MOUSE, nullptr);
    EXPECT_EQ(g_log, "b a c ");
    g_log.clear();
    xSysDispatch(XEV_KEYUP, (void*)"up");
    EXPECT_EQ(g_log, "up ");
    xSysDispatch(XEV_ACTIVATE, nullptr); // no responders: nothing happens
    EXPECT_EQ(g_log, "up ");
}

TEST_F(SystemDriver, ResponderLimitsAndBadTypes)
{
    for (int i = 0; i < 10; i++)
        xSysAddResponder(respondA, XEV_CLOSE, i);
    EXPECT_EXIT(xSysAddResponder(respondA, XEV_CLOSE, 0), ::testing::ExitedWithCode(3),
                "xSysAddResponder\\(\\) - limit of 10 responders exceeded");
    EXPECT_EXIT(xSysAddResponder(respondA, 13, 0), ::testing::ExitedWithCode(3), "Line 100");
    EXPECT_EXIT(xSysDispatch(13, nullptr), ::testing::ExitedWithCode(3), "Line 62");
}

int g_depth, g_deepest, g_target;
void nest(void*)
{
    g_depth++;
    if (g_depth > g_deepest)
        g_deepest = g_depth;
    if (g_depth < g_target)
        xSysDispatch(XEV_MOUSE, nullptr);
    g_depth--;
}

TEST_F(SystemDriver, NineteenNestedDispatchesWorkTheTwentiethAsserts)
{
    xSysAddResponder(nest, XEV_MOUSE, 0);
    g_depth = g_deepest = 0;
    g_target = 19;
    xSysDispatch(XEV_MOUSE, nullptr);
    EXPECT_EQ(g_deepest, 19);
    EXPECT_EQ(g_xSys.generationTop, g_xSys.generations); // every push was popped
    g_target = 20;
    EXPECT_EXIT(xSysDispatch(XEV_MOUSE, nullptr), ::testing::ExitedWithCode(3), "Line 66");
}

uint8_t g_activeSeen;
uint32_t g_activeData;
void watchActivation(void* data)
{
    g_activeSeen = g_xSys.active;
    g_activeData = *(uint32_t*)data;
}

TEST_F(SystemDriver, ActivationShiftsTimersByInactiveTimePlusOne)
{
    xSysAddTimer(lateTimer, 4); // due 1250
    xSysAddResponder(watchActivation, XEV_ACTIVATE, 0);
    g_now = 2000;
    xSysSetActive(0);
    EXPECT_EQ(g_activeSeen, 1); // responders run before the flag changes
    EXPECT_EQ(g_activeData, 0u);
    g_now = 5000;
    xSysSetActive(1);
    EXPECT_EQ(g_activeSeen, 0);
    EXPECT_EQ(g_activeData, 1u);
    EXPECT_EQ(g_xSys.timers[0].due, 1250u + 3001u);
    g_activeData = 99;
    xSysSetActive(1); // no change, no event
    EXPECT_EQ(g_activeData, 99u);
}

std::string g_loopLog;
void watchLoop(void* data) { g_loopLog += std::to_string(*(uint32_t*)data); }
void quitOnClose(void*)
{
    g_loopLog += "c";
    platPostQuitMessage(0);
}
void mustNotRun(uint32_t) { g_loopLog += "T"; }

TEST_F(SystemDriver, CloseMessageEndsTheLoopWithLoopEvents)
{
    ASSERT_TRUE(platInit());
    PlatWindow* w = platCreateWindow("t", xSysWindowProc, 0, 0, 64, 48);
    ASSERT_NE(w, nullptr);
    xSysAddResponder(watchLoop, XEV_LOOP, 0);
    xSysAddResponder(quitOnClose, XEV_CLOSE, 0);
    xSysAddTimer(mustNotRun, 0);
    g_loopLog.clear();
    g_xSys.active = 0; // inactive: the loop waits for messages, no timer runs
    platPostMessage(w, WM_CLOSE, 0, 0);
    xSysRun();
    EXPECT_EQ(g_loopLog, "0c1");
    platDestroyWindow(w); // the window procedure shuts the driver down and posts quit
    PlatMsg msg;
    bool quit = false;
    while (platPeekMessage(&msg))
        quit = quit || msg.message == WM_QUIT;
    EXPECT_TRUE(quit);
}
} // namespace
