#include "Memfile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system/Xerror.h"

static const char* const kModule = "files/Memfile.cpp";

mfile* mopen(const char* name)
{
    FILE* f = fopen(name, "rb");
    if (!f)
        g_xError.Fatal(xFormat("mopen:: unable to open file -> %s", name));
    mfile* file = (mfile*)malloc(sizeof(mfile));
    if (!file)
        g_xError.Raise(kModule, 16, 1, nullptr);
    long length = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        length = ftell(f);
    fseek(f, 0, SEEK_SET);
    if (length < 0 || length > 0x7fffffffL)
        length = 0;
    file->data = (uint8_t*)malloc(length ? (size_t)length : 1);
    if (!file->data) {
        fclose(f);
        free(file);
        return nullptr;
    }
    size_t got = length ? fread(file->data, 1, (size_t)length, f) : 0;
    if (got == 0)
        g_xError.Fatal(xFormat("mopen::unable to read file -> %s", name));
    fclose(f);
    file->size = (int32_t)got;
    file->pos = 0;
    return file;
}

int mread(void* destination, int32_t count, mfile* file)
{
    // 64-bit sums: a position or count near the limits cannot wrap around.
    int64_t end = (int64_t)file->pos + count;
    if (count < 0 || file->pos < 0 || end > file->size)
        return MREAD_SHORT;
    if (count)
        memcpy(destination, file->data + file->pos, (size_t)count);
    file->pos = (int32_t)end;
    return MREAD_OK;
}

int32_t mtell(mfile* file) { return file->pos; }

int mseek(mfile* file, int32_t position)
{
    file->pos = position;
    return 0;
}

void mclose(mfile* file)
{
    X_ASSERT(file != nullptr, kModule, 53);
    free(file->data);
    file->data = nullptr;
    file->pos = 0;
    file->size = 0;
    free(file);
}
