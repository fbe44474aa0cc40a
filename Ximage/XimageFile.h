// Shared by the disk forms of the loaders: reading a named file whole.
#pragma once
#include <cstddef>
#include <cstdint>

enum { XIMAGE_FILE_OK = 0, XIMAGE_FILE_CANNOT_OPEN = 1, XIMAGE_FILE_SHORT_READ = 2 };

// Reads the file into a fresh heap block (at least one byte long, so an empty
// file still has a block). An allocation failure is the fatal code 1.
int ximageReadFile(const char* name, uint8_t** data, size_t* size, const char* module, int line);
