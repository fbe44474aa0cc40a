// The player (-player): the show as it plays, with keys to pause it, to jump
// between the music's orders and to show a line of figures over the top
// border. A jump puts the show back as start-up left it (every part's state,
// the random generator, a freshly loaded music moved to the order) and plays
// the chain from its first row, as a run with -start at that order does.
#pragma once
#include <cstddef>
#include <cstdint>

// Call once the parts are loaded and the music plays, just before the show's
// first frame: keeps what a jump puts back (the music file read anew from
// the archive among it) and takes the keys.
void PlayerStart();

// The overlay's line for a music position, a part's timer name and its
// drawing cost, in the characters the overlay's font has.
void PlayerOverlayText(char* out, size_t size, int order, int row, const char* part, uint64_t drawNs, bool paused);
// Draws text in the overlay's font (5 x 7, drawn twice its size, 12 pixels
// a character) with its top-left at (x, y) of a 640-pixel-wide frame of rows
// lines; what falls outside is left out.
void PlayerDrawText(uint32_t* frame, int rows, int x, int y, const char* text, uint32_t colour);
