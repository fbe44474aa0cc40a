// Where the music channel's samples go: one output at a time, each in a file
// of its own behind the same few functions. The channel (PlatMusic.cpp) keeps
// the musics, the timeline of rendered frames and its position marks; an
// output only tells how far along that timeline the listener is.
// Never included above the platform folder.
#pragma once
#include <cstdint>

#include "platform/PlatMusic.h"

struct PlatMusicOutput {
    // Starts the output with the timeline heard up to frame heard. Returns
    // null when it plays, otherwise why it cannot (one line).
    const char* (*open)(int device, uint64_t heard);
    // Stops (true) or resumes (false) what the listener hears.
    void (*pause)(bool paused);
    // The frame of the timeline heard now. Where no device pulls the samples
    // the output renders the timeline up to there itself.
    uint64_t (*heard)();
    // Closes the output and returns the frame heard last.
    uint64_t (*close)();
};

// An SDL audio device that pulls the samples on its own thread.
extern const PlatMusicOutput g_platMusicLive;
// No device: the timeline follows platGetTickCount, rendered without output.
extern const PlatMusicOutput g_platMusicClock;
// No device and no clock: platMusicAdvanceTo moves the timeline.
extern const PlatMusicOutput g_platMusicCapture;

// The frames a live device has taken: every frame handed to it, less what
// of its last buffer it has not played yet.
uint64_t platMusicLiveTaken();
// True while a live device plays (open, not stopped, not given up), with
// the frame of the timeline the listener hears now and the frame where the
// music playing began (0 before one is played): the show's clock then.
bool platMusicLiveHeard(uint64_t* frame, uint64_t* from);
// Tells the live output that a music begins at frame of the timeline.
void platMusicLiveBegins(uint64_t frame);
// The processor's clock (or the one given to platSetClock), which the music
// does not move: for watching a device that may have stopped.
uint32_t platSystemTicks();

// What the channel offers its outputs.
// Renders count frames of the timeline into out, interleaved stereo, under
// the channel's lock; returns the timeline frame of the first one.
uint64_t platMusicFeed(int16_t* out, int count);
// Renders the timeline up to frame target from the main thread, handing the
// frames to sink (which may be null).
void platMusicRenderTo(uint64_t target, PlatMusicSink sink, void* user);
// Frames of the timeline rendered so far.
uint64_t platMusicRendered();
// True when out is the output in use.
bool platMusicUsing(const PlatMusicOutput* out);
// Closes the output in use (without a message) and starts out from the
// frame heard last.
void platMusicSwitch(const PlatMusicOutput* out);
// No working sound: says why once on stderr and goes on with the clock.
void platMusicFallBack(const char* reason);
