// The music channel: tracker modules played through libopenmpt, heard through
// an SDL audio device at 44100 Hz, 16-bit stereo. The show sees only the calls
// of the audio library it was written against (the BASS_ names below) plus a
// few platform calls for start-up and the capture backend.
//
// The clock of the show is the position returned by BASS_ChannelGetPosition:
// the order of the module in the low 16 bits and the row in the high 16 bits,
// taken for the sample the listener hears now (the rendered samples still
// waiting in the device buffer are not counted). Once the module has played
// to its end the position reads 0xFFFFFFFF and stays there: a module never
// loops back to its start, whatever its flags say, so the show's clock never
// runs backwards.
//
// Three outputs, one file each, chosen by BASS_Init and platMusicSetCapture:
//  - live (sdl/PlatMusicDeviceSdl.cpp): an SDL device pulls the samples on its own
//    thread.
//  - silent, on the clock (PlatMusicClock.cpp): there is no working device (no
//    driver, a device that refuses to open, one that goes away while it plays
//    (its sound server ended), or one that opens and then takes no samples for
//    seconds). One line on stderr says so; from
//    then on the module is rendered without output in step with
//    platGetTickCount, so the show keeps the module's tempo (a replaced clock
//    drives it too).
//  - capture (capture/PlatMusicCapture.cpp): no device at all; the module advances
//    only through platMusicAdvanceTo and every sample goes to the capture sink.
//
// All calls are made from the main thread. The device is closed by
// platShutdown (a shutdown hook) and at process exit, fatal paths included.
#pragma once
#include <cstddef>
#include <cstdint>

struct PlatWindow;

typedef uint32_t HMUSIC;

// Output sample rate of every mode, in frames per second.
enum : uint32_t { PLAT_MUSIC_RATE = 44100 };

// Module flags. Only the ramping bit changes playback: with it, volume changes
// are smoothed over a few samples; without it they are immediate. Any other
// bit (looping included) is accepted and kept, with no effect.
enum : uint32_t { BASS_MUSIC_RAMP = 1 };

// The position of a finished module, and of a handle that does not exist.
enum : uint32_t { PLAT_MUSIC_ENDED = 0xFFFFFFFFu };

// device: -1 the default device, 0 no sound (silent, on the clock, without a
// message), n >= 1 the n-th output device. Opens and starts the output.
// Returns 1 when the output is ready (a device plays, device 0, or capture
// mode), 0 otherwise: already set up, or no working device, in which case the
// channel runs silently on the clock and the other calls still work. The
// channel always mixes at 44100 Hz (the device converts when it must); freq,
// flags, window and clsid are not used.
int BASS_Init(int device, uint32_t freq, uint32_t flags, PlatWindow* window, void* clsid);
// Resumes the output after BASS_Stop. Returns 1, or 0 before BASS_Init.
int BASS_Start();
// Stops the output: the playing music stays where it is heard until
// BASS_Start (in capture mode silence is captured meanwhile).
int BASS_Stop();
// Closes the device and frees every music; BASS_Init may be called again.
int BASS_Free();

// Loads a module and returns its handle, or 0 when libopenmpt refuses the
// data or BASS_Init was not called. mem != 0: file points at length bytes in
// memory, starting at offset; they are parsed at once and the caller may free
// its block on return. length 0 cannot tell the size of a block in memory, so
// it is refused: use BASS_MusicLoadMemory with the size the caller knows.
// mem == 0: file is a path; length 0 reads the file to its end. freq is not
// used: modules are mixed at the output rate.
HMUSIC BASS_MusicLoad(int mem, const void* file, uint64_t offset, uint32_t length, uint32_t flags,
                      uint32_t freq);
// The same from a block of size bytes in memory: the start-up's way of
// loading the music file read whole from the archive.
HMUSIC BASS_MusicLoadMemory(const void* data, size_t size, uint32_t flags);
// Frees a music (stopping it when it plays). Returns 0 for an unknown handle.
int BASS_MusicFree(HMUSIC handle);
// Plays the music from where it stands (from the start for a fresh or a
// finished one). One music plays at a time: another playing one stops.
int BASS_MusicPlay(HMUSIC handle);
// Order in the low 16 bits, row in the high 16 bits, of what is heard now;
// PLAT_MUSIC_ENDED after the end and for an unknown handle.
uint32_t BASS_ChannelGetPosition(HMUSIC handle);
// Global volumes from 0 to 100; -1 leaves one unchanged. The music volume
// scales the music's samples (0 mutes it); the other two are only kept.
int BASS_SetGlobalVolumes(int music, int sample, int stream);

// True while a live device is playing the music (not silent, not captured).
bool platMusicHasDevice();
// How well the picture keeps to the sound: readMs is where the listener was
// (by the channel's reckoning) at the last BASS_ChannelGetPosition of the
// playing music, takenMs how much the output has taken by now: for a live
// device every frame handed to it less what of its last buffer it has not
// played; without a device the two are the same timeline. Both count from
// BASS_Init. False (nothing written) before BASS_Init or with no music played.
bool platMusicSyncMs(uint32_t* readMs, uint32_t* takenMs);

// Capture mode, for frame-exact capture on a virtual clock. Closes any device
// (without a message) and stops following the clock. Time is then counted
// from the platGetTickCount reading taken here: platMusicAdvanceTo(t) brings
// the channel to (t - that reading) * 44100 / 1000 frames, rendering in steps
// of at most PLAT_MUSIC_CAPTURE_STEP frames (about 5 ms, shorter than a row),
// taking the position after every step, and handing every rendered frame to
// the sink: interleaved stereo, count frames, scaled by the music volume;
// silence before BASS_MusicPlay, while stopped and after the end. The frames
// handed over are exactly one per 1/44100 s of virtual time, so a WAV file
// written from them stays in step with the virtual clock. The sink may be
// null (frames dropped). Works before or after BASS_Init.
typedef void (*PlatMusicSink)(const int16_t* frames, int count, void* user);
enum : int { PLAT_MUSIC_CAPTURE_STEP = 220 };
void platMusicSetCapture(PlatMusicSink sink, void* user);
// Does nothing for a time at or before the last one, or outside capture mode.
void platMusicAdvanceTo(uint32_t tickMs);
// Moves a music to the first row of an order (a demo maker's start point).
// Returns 0 for an unknown handle or an order the module does not have.
int platMusicSeekOrder(HMUSIC handle, int order);
// The music's length from its start, in ms (0 for an unknown handle).
uint32_t platMusicLengthMs(HMUSIC handle);
// Where a music stands, in ms from its start (0 for an unknown handle).
uint32_t platMusicPositionMs(HMUSIC handle);
// The position of the music playing (or stopped by BASS_Stop), as
// BASS_ChannelGetPosition reads it; PLAT_MUSIC_ENDED before BASS_MusicPlay.
uint32_t platMusicPlayingPosition();
// Frames handed to the sink since platMusicSetCapture.
uint64_t platMusicCapturedFrames();
