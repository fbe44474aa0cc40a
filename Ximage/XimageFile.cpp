#include "XimageFile.h"

#include <cstdio>
#include <cstdlib>

#include "Ximage.h"
#include "files/xFileIO.h"
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

int ximageLoadMemory(xFile* file, xImage& image, XimageDecoder decode, const char* loader, const char* module,
                     int line)
{
    X_ASSERT(file != nullptr, module, line);
    image.pixels = nullptr;
    image.palette = nullptr;
    if (!file->data)
        g_xError.Fatal(xFormat("%s::Can't access file -> %s", loader, file->name));
    decode(file->data, file->size > 0 ? (size_t)file->size : 0, file->name, MEMORY_FORM, image);
    return 0;
}

int ximageLoadDisk(const char* name, xImage& image, XimageDecoder decode, const char* loader, const char* module,
                   int line)
{
    image.pixels = nullptr;
    image.palette = nullptr;
    uint8_t* data;
    size_t size;
    int result = ximageReadFile(name, &data, &size, module, line);
    if (result == XIMAGE_FILE_CANNOT_OPEN)
        g_xError.Fatal(xFormat("%s::Can't access file -> %s", loader, name));
    if (result != XIMAGE_FILE_OK)
        g_xError.Fatal(xFormat("%s::Can't read file -> %s", loader, name));
    decode(data, size, name, DISK_FORM, image);
    free(data);
    return 0;
}
