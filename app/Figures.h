// The run's own figures for a demo maker (-figures): how long the start-up
// took and how much memory the run held, said on stderr at the end.
#pragma once

// Starts watching the presents; once the system driver is up.
void FiguresWatch();
// The show's timers start now: the next present is its first frame.
void FiguresShowStarts();
// Two lines on stderr:
//   start-up: loading picture after N ms, first frame after N ms
//   peak memory: N MB (N MB at the first frame)
void FiguresReport();
