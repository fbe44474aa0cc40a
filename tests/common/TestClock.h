// A clock and a music position set by hand, for platSetClock and g_readMusicPosition.
#pragma once
#include <cstdint>
inline uint32_t g_now, g_position;
// Every reading of the clock moves it on by a millisecond, as a busy wait does.
inline uint32_t walkingClock() { return g_now++; }
inline uint32_t fixedPosition() { return g_position; }
inline uint32_t at(int order, int row) { return (uint32_t)order | (uint32_t)row << 16; }
