// A block of bytes with a read position, through which binary formats are
// parsed. Reads are all-or-nothing and never go past the end.
#pragma once
#include <cstdint>

struct mfile {
    uint8_t* data;
    int32_t size;
    int32_t pos;
};

enum { MREAD_OK = 0, MREAD_SHORT = 2 };

// Reads a disk file whole; the result owns its bytes and is released by mclose.
mfile* mopen(const char* name);
int mread(void* destination, int32_t count, mfile* file);
int32_t mtell(mfile* file);
int mseek(mfile* file, int32_t position);
void mclose(mfile* file);
