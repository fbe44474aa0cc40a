// An archive held in memory: open it, then read every entry it lists by
// name through the file reader (stored and deflated entries, CRC checks).
#include <cstdlib>
#include <cstring>
#include <minizip/unzip.h>
#include <string>
#include <vector>

#include "files/xFileIO.h"
#include "fuzz/common/FuzzStop.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    qhfuzz::setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    uint8_t* block = (uint8_t*)malloc(size ? size : 1);
    if (size)
        memcpy(block, data, size);
    xFileIO* files = new xFileIO(1);
    if (files->OpenMemory(block, size) == 0) {
        unzFile zip = (unzFile)files->archive;
        // Names first: reading moves the archive's current entry.
        std::vector<std::string> names;
        for (int r = unzGoToFirstFile(zip); r == UNZ_OK && names.size() < 64; r = unzGoToNextFile(zip)) {
            char name[256];
            unz_file_info info;
            if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
                break;
            name[255] = 0;
            names.push_back(name);
        }
        names.push_back("not-in-the-archive.bin");
        for (const std::string& n : names) {
            xFile file;
            if (files->Read(n.c_str(), &file) == 0) {
                // Touch every byte so a short block shows.
                uint8_t sum = 0;
                for (int32_t i = 0; i < file.size; i++)
                    sum += file.data[i];
                qhfuzz::keep(sum);
                files->Free(&file);
            }
        }
    }
    delete files;
    free(block);
    return 0;
}
