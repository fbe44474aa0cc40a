// Reading named data files whole, from the resource archive or the disk.
#pragma once
#include <cstddef>
#include <cstdint>

// A file read whole; owned by the caller until xFileIO::Free.
struct xFile {
    char* name;   // archive mode: the name as stored; plain mode: the name asked for
    int32_t size;
    uint8_t* data;
};

// Result codes: 0 success, the codes below, or minizip's and zlib's own.
enum {
    XFILE_NOT_FOUND = -100,
    XFILE_CANNOT_OPEN = -103,
    XFILE_NO_MEMORY = -104,
    XFILE_CRC_ERROR = -105,
};

class xFileIO {
public:
    explicit xFileIO(int archiveMode = 1);
    ~xFileIO();

    // Plain mode: does nothing. Archive mode: opens the ZIP archive.
    int Open(const char* archiveName);
    // Archive mode over a ZIP archive held in memory (the bytes must outlive
    // the object).
    int OpenMemory(const void* bytes, size_t size);
    // Reads the whole file into a fresh block. On failure nothing stays
    // allocated and the record is cleared.
    int Read(const char* name, xFile* file);
    int Free(xFile* file);
    void Close();

    int archiveMode;
    void* archive; // minizip unzFile

private:
    struct MemorySource;
    MemorySource* memory;
    int ReadArchive(const char* name, xFile* file);
    int ReadPlain(const char* name, xFile* file);
};

extern xFileIO g_fileIO;
extern xFileIO* g_pFileIO;
