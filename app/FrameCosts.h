// The cost of every drawn frame: the processor time of the active part's
// drawing (the 3D calls inside it included), without the pacing, the
// present or the capture's conversion. Kept in memory while the show runs and
// written once at its end, one line per frame:
//   timer budget_ms show_ms order row draw_ns
// (the part's frame timer, its pacing, the frame tick since the music
// started, the music position the drawing used, the drawing's cost).
#pragma once
#include <cstdint>

// Starts recording for path. The file is created now, so that a name that
// cannot be written fails before the show, through the error reporter.
void FrameCostsOpen(const char* path);
// Measures every drawing without a file too, for FrameCostLastNs.
void FrameCostsWatch();
// The last whole drawing's cost in ns, as its line would say (0 before the
// first, or when nothing is measured).
uint64_t FrameCostLastNs();
// The tick the show's time counts from: the start of the music.
void FrameCostsSetOrigin(uint32_t tick);
// Bracket one part's drawing: begin returns the start for end, which names
// the part's frame timer (a string that lives as long as the program) and
// its pacing. A step drawn inside another (the closing words draw the falling
// letters' step as their background) counts in the outer one, without its
// pacing.
uint64_t FrameCostBegin();
void FrameCostEnd(const char* timer, uint32_t budgetMs, uint64_t begun);
// Bracket the pacing wait; within a drawing its time is taken out.
uint64_t FrameCostWaitBegin();
void FrameCostWaitEnd(uint64_t begun);
// Writes the lines; a failed write is reported through the error reporter.
void FrameCostsFinish();
