// The keyboard device: the queue of transitions, acquisition and focus. The
// key events come from the backend (sdl/PlatKeyboardSdl.cpp, or the browser's).
#include "platform/internal/PlatKeyboardFeed.h"

#include <algorithm>
#include <deque>

namespace {

// Beyond this many unread transitions the oldest are dropped (and the next
// read says so); a running program reads them every pass of its main loop.
const size_t kQueueLimit = 4096;

bool g_created = false;
PlatWindow* g_window = nullptr;
bool g_acquired = false;
bool g_foreground = true; // a new window starts in the foreground
bool g_lost = false;      // focus went away while acquired
bool g_overflow = false;
uint32_t g_bufferSize = 0;
uint32_t g_sequence = 0;
std::deque<PlatKeyRecord> g_queue;

} // namespace

void platKeyboardFeed(uint8_t code, bool pressed, uint32_t time)
{
    if (!g_created || !g_acquired || !code)
        return;
    if (g_queue.size() >= kQueueLimit) {
        g_queue.pop_front();
        g_overflow = true;
    }
    g_queue.push_back(PlatKeyRecord{code, pressed ? 0x80u : 0u, time, g_sequence++});
}

void platKeyboardFocus(bool focused)
{
    g_foreground = focused;
    if (!focused && g_acquired) {
        // A foreground device stops at once; what it had not delivered is gone.
        g_acquired = false;
        g_lost = true;
        g_queue.clear();
    }
}

PlatWindow* platKeyboardWindow() { return g_window; }

int32_t platKeyboardCreate()
{
    if (!platInit())
        return PKERR_NOTINITIALIZED;
    platKeyboardListen(true);
    g_created = true;
    g_acquired = g_lost = g_overflow = false;
    g_foreground = true;
    g_queue.clear();
    return PK_OK;
}

void platKeyboardRelease()
{
    if (!g_created)
        return;
    platKeyboardListen(false);
    g_created = g_acquired = false;
    g_window = nullptr;
    g_queue.clear();
}

int32_t platKeyboardSetCooperativeLevel(PlatWindow* window)
{
    if (!g_created)
        return PKERR_NOTINITIALIZED;
    if (!window)
        return PKERR_INVALIDPARAM;
    g_window = window;
    return PK_OK;
}

int32_t platKeyboardSetBufferSize(uint32_t records)
{
    if (!g_created)
        return PKERR_NOTINITIALIZED;
    g_bufferSize = records;
    return PK_OK;
}

int32_t platKeyboardAcquire()
{
    if (!g_created)
        return PKERR_NOTINITIALIZED;
    if (!g_window)
        return PKERR_INVALIDPARAM;
    if (!g_foreground)
        return PKERR_OTHERAPPHASPRIO;
    if (!g_acquired) {
        g_acquired = true;
        g_lost = false;
        g_queue.clear();
    }
    return PK_OK;
}

int32_t platKeyboardGetDeviceData(PlatKeyRecord* records, uint32_t* count)
{
    if (!g_created)
        return PKERR_NOTINITIALIZED;
    if (!count || (*count && !records))
        return PKERR_INVALIDPARAM;
    if (!g_acquired) {
        *count = 0;
        return g_lost ? PKERR_INPUTLOST : PKERR_NOTACQUIRED;
    }
    uint32_t n = 0;
    uint32_t limit = g_bufferSize ? std::min(*count, g_bufferSize) : *count;
    while (n < limit && !g_queue.empty()) {
        records[n++] = g_queue.front();
        g_queue.pop_front();
    }
    *count = n;
    if (g_overflow) {
        g_overflow = false;
        return PK_BUFFEROVERFLOW;
    }
    return PK_OK;
}

int platKeyboardPending() { return (int)g_queue.size(); }
