// Shared by the loaders: reading a named file whole, and the memory and disk
// forms of a loader around its decoder.
#pragma once
#include <cstddef>
#include <cstdint>

enum { XIMAGE_FILE_OK = 0, XIMAGE_FILE_CANNOT_OPEN = 1, XIMAGE_FILE_SHORT_READ = 2 };

// Reads the file into a fresh heap block (at least one byte long, so an empty
// file still has a block). An allocation failure is the fatal code 1.
int ximageReadFile(const char* name, uint8_t** data, size_t* size, const char* module, int line);

struct xFile;
struct xImage;

// The disk form reports short data as an unreadable file; the memory form,
// which has the whole file already, as a broken one.
enum XimageForm { MEMORY_FORM, DISK_FORM };

typedef void (*XimageDecoder)(const uint8_t* data, size_t size, const char* name, XimageForm form, xImage& image);

// loader names the messages ("xPcxLoad" gives "xPcxLoad::Can't access file -> %s").
int ximageLoadMemory(xFile* file, xImage& image, XimageDecoder decode, const char* loader, const char* module,
                     int line);
int ximageLoadDisk(const char* name, xImage& image, XimageDecoder decode, const char* loader, const char* module,
                   int line);
