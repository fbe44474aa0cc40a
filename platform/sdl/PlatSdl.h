// What the platform's own modules (display, keyboard, audio) share about SDL.
// Never included above the platform folder.
#pragma once
#include <SDL.h>
#include "platform/internal/PlatCommon.h"

SDL_Window* platSdlWindow(PlatWindow* window);

// The keyboard device listens to every key event before it becomes a message.
void platSetKeyHook(void (*hook)(const SDL_KeyboardEvent& event));
// Focus changes, for the keyboard device's acquisition.
void platSetFocusHook(void (*hook)(bool focused));
// Called before a dialog box opens, so a full-screen display steps aside.
void platSetLeaveFullscreenHook(void (*hook)());
