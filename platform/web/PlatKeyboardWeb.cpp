// The keyboard device in a browser tab: the page's key events, by their
// KeyboardEvent.code, become buffered transitions in the device's scan codes.
#include <algorithm>
#include <cstring>
#include <deque>

#include "PlatWeb.h"
#include "platform/PlatKeyboard.h"

namespace {

// Beyond this many unread transitions the oldest are dropped (and the next
// read says so); a running program reads them every pass of its main loop.
const size_t kQueueLimit = 4096;

bool g_created = false;
PlatWindow* g_window = nullptr;
bool g_acquired = false;
bool g_foreground = true; // the page has the focus when the show starts
bool g_lost = false;      // focus went away while acquired
bool g_overflow = false;
uint32_t g_bufferSize = 0;
uint32_t g_sequence = 0;
std::deque<PlatKeyRecord> g_queue;

void keyHook(uint8_t code, bool pressed, uint32_t time)
{
    if (!g_created || !g_acquired)
        return;
    if (g_queue.size() >= kQueueLimit) {
        g_queue.pop_front();
        g_overflow = true;
    }
    g_queue.push_back(PlatKeyRecord{code, pressed ? 0x80u : 0u, time, g_sequence++});
}

void focusHook(bool focused)
{
    g_foreground = focused;
    if (!focused && g_acquired) {
        g_acquired = false;
        g_lost = true;
        g_queue.clear();
    }
}

} // namespace

uint8_t platWebScanCode(const char* code)
{
    static const struct {
        const char* code;
        uint8_t dik;
    } table[] = {
        {"Escape", 0x01}, {"Digit1", 0x02}, {"Digit2", 0x03}, {"Digit3", 0x04}, {"Digit4", 0x05},
        {"Digit5", 0x06}, {"Digit6", 0x07}, {"Digit7", 0x08}, {"Digit8", 0x09}, {"Digit9", 0x0A},
        {"Digit0", 0x0B}, {"Minus", 0x0C}, {"Equal", 0x0D}, {"Backspace", 0x0E}, {"Tab", 0x0F},
        {"KeyQ", 0x10}, {"KeyW", 0x11}, {"KeyE", 0x12}, {"KeyR", 0x13}, {"KeyT", 0x14}, {"KeyY", 0x15},
        {"KeyU", 0x16}, {"KeyI", 0x17}, {"KeyO", 0x18}, {"KeyP", 0x19}, {"BracketLeft", 0x1A},
        {"BracketRight", 0x1B}, {"Enter", 0x1C}, {"ControlLeft", 0x1D}, {"KeyA", 0x1E}, {"KeyS", 0x1F},
        {"KeyD", 0x20}, {"KeyF", 0x21}, {"KeyG", 0x22}, {"KeyH", 0x23}, {"KeyJ", 0x24}, {"KeyK", 0x25},
        {"KeyL", 0x26}, {"Semicolon", 0x27}, {"Quote", 0x28}, {"Backquote", 0x29}, {"ShiftLeft", 0x2A},
        {"Backslash", 0x2B}, {"KeyZ", 0x2C}, {"KeyX", 0x2D}, {"KeyC", 0x2E}, {"KeyV", 0x2F}, {"KeyB", 0x30},
        {"KeyN", 0x31}, {"KeyM", 0x32}, {"Comma", 0x33}, {"Period", 0x34}, {"Slash", 0x35},
        {"ShiftRight", 0x36}, {"NumpadMultiply", 0x37}, {"AltLeft", 0x38}, {"Space", 0x39},
        {"CapsLock", 0x3A}, {"F1", 0x3B}, {"F2", 0x3C}, {"F3", 0x3D}, {"F4", 0x3E}, {"F5", 0x3F},
        {"F6", 0x40}, {"F7", 0x41}, {"F8", 0x42}, {"F9", 0x43}, {"F10", 0x44}, {"NumLock", 0x45},
        {"ScrollLock", 0x46}, {"Numpad7", 0x47}, {"Numpad8", 0x48}, {"Numpad9", 0x49},
        {"NumpadSubtract", 0x4A}, {"Numpad4", 0x4B}, {"Numpad5", 0x4C}, {"Numpad6", 0x4D},
        {"NumpadAdd", 0x4E}, {"Numpad1", 0x4F}, {"Numpad2", 0x50}, {"Numpad3", 0x51}, {"Numpad0", 0x52},
        {"NumpadDecimal", 0x53}, {"IntlBackslash", 0x56}, {"F11", 0x57}, {"F12", 0x58},
        {"NumpadEnter", 0x9C}, {"ControlRight", 0x9D}, {"NumpadDivide", 0xB5}, {"PrintScreen", 0xB7},
        {"AltRight", 0xB8}, {"Pause", 0xC5}, {"Home", 0xC7}, {"ArrowUp", 0xC8}, {"PageUp", 0xC9},
        {"ArrowLeft", 0xCB}, {"ArrowRight", 0xCD}, {"End", 0xCF}, {"ArrowDown", 0xD0}, {"PageDown", 0xD1},
        {"Insert", 0xD2}, {"Delete", 0xD3}, {"MetaLeft", 0xDB}, {"MetaRight", 0xDC}, {"ContextMenu", 0xDD},
    };
    for (const auto& e : table)
        if (!strcmp(e.code, code))
            return e.dik;
    return 0;
}

int32_t platKeyboardCreate()
{
    if (!platInit())
        return PKERR_NOTINITIALIZED;
    platSetKeyHook(keyHook);
    platSetFocusHook(focusHook);
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
    platSetKeyHook(nullptr);
    platSetFocusHook(nullptr);
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

uint8_t platKeyboardScanCode(int) { return 0; }

int platKeyboardPending() { return (int)g_queue.size(); }
