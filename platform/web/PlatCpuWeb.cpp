// What the processor offers, in a browser tab: WebAssembly SIMD when the
// module was built with it (the SSE2 lanes compile to it; a browser without
// it refuses the whole module), and for the frame costs the page's clock
// (performance.now(), which the browser may round to 0.1 ms); nothing else
// runs on the page's thread while the show draws, so its time there is the
// drawing's.
#include <emscripten.h>

#include "platform/PlatCpu.h"

bool platCpuHasSSE2()
{
#if defined(__SSE2__)
    return true;
#else
    return false;
#endif
}

uint64_t platCpuNanoseconds() { return (uint64_t)(emscripten_get_now() * 1e6); }
