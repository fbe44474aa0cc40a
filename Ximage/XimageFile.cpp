#include "XimageFile.h"

#include <cstdio>
#include <cstdlib>

#include "system/Xerror.h"

int ximageReadFile(const char* name, uint8_t** data, size_t* size, const char* module, int line)
{
    *data = nullptr;
    *size = 0;
    FILE* f = fopen(name, "rb");
    if (!f)
        return XIMAGE_FILE_CANNOT_OPEN;
    long length = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        length = ftell(f);
    if (length < 0 || length > 0x7fffffffL || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return XIMAGE_FILE_SHORT_READ;
    }
    uint8_t* block = (uint8_t*)malloc(length ? (size_t)length : 1);
    if (!block) {
        fclose(f);
        g_xError.Raise(module, line, 1, nullptr);
    }
    size_t got = length ? fread(block, 1, (size_t)length, f) : 0;
    fclose(f);
    if (got != (size_t)length) {
        free(block);
        return XIMAGE_FILE_SHORT_READ;
    }
    *data = block;
    *size = (size_t)length;
    return XIMAGE_FILE_OK;
}
