// The keyboard device: buffered key transitions in DirectInput's terms
// (scan codes of the DIK_ numbering, bit 7 of the data set on a press),
// read only while the device is acquired in the foreground.
#pragma once
#include <cstdint>

#include "Plat.h"

// Results in DirectInput's numbering, so the driver can name them.
enum : int32_t {
    PK_OK = 0,
    PK_BUFFEROVERFLOW = 1, // success with a note: older transitions were dropped
    PKERR_OTHERAPPHASPRIO = (int32_t)0x80070005,
    PKERR_NOTACQUIRED = (int32_t)0x8007000C,
    PKERR_NOTINITIALIZED = (int32_t)0x80070015,
    PKERR_INPUTLOST = (int32_t)0x8007001E,
    PKERR_INVALIDPARAM = (int32_t)0x80070057,
};

// One transition, laid out like DirectInput's device-object data (16 bytes).
struct PlatKeyRecord {
    uint32_t offset;    // scan code
    uint32_t data;      // 0x80 pressed, 0 released
    uint32_t timeStamp; // milliseconds
    uint32_t sequence;
};

// Creates the device (DirectInputCreate, CreateDevice, SetDataFormat).
int32_t platKeyboardCreate();
void platKeyboardRelease();
// Non-exclusive, foreground: only the window's own key events are seen.
int32_t platKeyboardSetCooperativeLevel(PlatWindow* window);
// How many transitions one read may return at most.
int32_t platKeyboardSetBufferSize(uint32_t records);
// Fails with PKERR_OTHERAPPHASPRIO while the window is in the background.
int32_t platKeyboardAcquire();
// Takes up to *count waiting transitions, oldest first, and stores how many
// were taken in *count. Transitions beyond one read's size stay queued.
int32_t platKeyboardGetDeviceData(PlatKeyRecord* records, uint32_t* count);

// The device's scan code of an SDL scan code; 0 for keys it does not know.
uint8_t platKeyboardScanCode(int sdlScancode);
// Transitions waiting to be read (tests).
int platKeyboardPending();
