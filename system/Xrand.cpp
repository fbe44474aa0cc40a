#include "Xrand.h"

namespace {

const int kWords = 31; // the state's length
const int kLag = 3;    // the short tap, ahead of the long one

using Stream = xRandState;
static_assert(sizeof(Stream::words) / sizeof(Stream::words[0]) == kWords, "state length");

Stream s_stream = {};

uint32_t step(Stream& s)
{
    uint32_t v = (uint32_t)s.words[s.front] + (uint32_t)s.words[s.rear];
    s.words[s.front] = (int32_t)v;
    s.front = s.front + 1 == kWords ? 0 : s.front + 1;
    s.rear = s.rear + 1 == kWords ? 0 : s.rear + 1;
    return v >> 1;
}

} // namespace

void xSrand(uint32_t seed)
{
    Stream& s = s_stream;
    // The seed is taken as a signed word, and its successors are the
    // minimal standard generator (16807 x mod 2^31 - 1) in Schrage's form,
    // whose divisions truncate towards zero for a negative first word.
    int32_t word = seed == 0 ? 1 : (int32_t)seed;
    s.words[0] = word;
    for (int i = 1; i < kWords; i++) {
        int64_t hi = word / 127773, lo = word % 127773;
        int64_t next = 16807 * lo - 2836 * hi;
        if (next < 0)
            next += 2147483647;
        word = (int32_t)next;
        s.words[i] = word;
    }
    s.front = kLag;
    s.rear = 0;
    s.seeded = true;
    // The first ten rounds of the state stay unseen.
    for (int i = 0; i < 10 * kWords; i++)
        step(s);
}

int xRand()
{
    if (!s_stream.seeded)
        xSrand(1);
    return (int)step(s_stream);
}

xRandState xRandSave()
{
    return s_stream;
}

void xRandRestore(const xRandState& state)
{
    s_stream = state;
}
