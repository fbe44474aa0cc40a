#include "xFileIO.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <minizip/unzip.h>

xFileIO g_fileIO(1);
xFileIO* g_pFileIO = nullptr;

namespace {

char* copyText(const char* text)
{
    size_t n = strlen(text) + 1;
    char* copy = (char*)malloc(n);
    if (copy)
        memcpy(copy, text, n);
    return copy;
}

void clear(xFile* file)
{
    free(file->data);
    free(file->name);
    file->data = nullptr;
    file->name = nullptr;
    file->size = 0;
}

} // namespace

// An archive in memory, read through minizip's I/O callbacks.
struct xFileIO::MemorySource {
    const uint8_t* bytes;
    uint64_t size;
    uint64_t pos;

    static voidpf open(voidpf opaque, const void*, int) { return opaque; }
    static uLong read(voidpf, voidpf stream, void* buf, uLong n)
    {
        MemorySource* m = (MemorySource*)stream;
        uint64_t left = m->pos < m->size ? m->size - m->pos : 0;
        if (n > left)
            n = (uLong)left;
        memcpy(buf, m->bytes + m->pos, n);
        m->pos += n;
        return n;
    }
    static uLong write(voidpf, voidpf, const void*, uLong) { return 0; }
    static ZPOS64_T tell(voidpf, voidpf stream) { return ((MemorySource*)stream)->pos; }
    static long seek(voidpf, voidpf stream, ZPOS64_T offset, int origin)
    {
        MemorySource* m = (MemorySource*)stream;
        uint64_t base = origin == ZLIB_FILEFUNC_SEEK_SET ? 0 : origin == ZLIB_FILEFUNC_SEEK_CUR ? m->pos : m->size;
        uint64_t target = base + offset;
        if (target > m->size)
            return -1;
        m->pos = target;
        return 0;
    }
    static int close(voidpf, voidpf) { return 0; }
    static int error(voidpf, voidpf) { return 0; }
};

xFileIO::xFileIO(int mode) : archiveMode(mode), archive(nullptr), memory(nullptr) {}

xFileIO::~xFileIO() { Close(); }

void xFileIO::Close()
{
    if (archive)
        unzClose((unzFile)archive);
    archive = nullptr;
    delete memory;
    memory = nullptr;
}

int xFileIO::Open(const char* archiveName)
{
    if (!archiveMode)
        return 0;
    Close();
    archive = unzOpen(archiveName);
    return archive ? 0 : XFILE_CANNOT_OPEN;
}

int xFileIO::OpenMemory(const void* bytes, size_t size)
{
    Close();
    memory = new MemorySource{(const uint8_t*)bytes, size, 0};
    zlib_filefunc64_def funcs;
    funcs.zopen64_file = MemorySource::open;
    funcs.zread_file = MemorySource::read;
    funcs.zwrite_file = MemorySource::write;
    funcs.ztell64_file = MemorySource::tell;
    funcs.zseek64_file = MemorySource::seek;
    funcs.zclose_file = MemorySource::close;
    funcs.zerror_file = MemorySource::error;
    funcs.opaque = memory;
    archive = unzOpen2_64("memory", &funcs);
    archiveMode = 1;
    if (!archive) {
        Close();
        return XFILE_CANNOT_OPEN;
    }
    return 0;
}

int xFileIO::Read(const char* name, xFile* file)
{
    file->name = nullptr;
    file->data = nullptr;
    file->size = 0;
    int result = archiveMode ? ReadArchive(name, file) : ReadPlain(name, file);
    if (result != 0)
        clear(file);
    return result;
}

int xFileIO::ReadArchive(const char* name, xFile* file)
{
    unzFile zip = (unzFile)archive;
    if (!zip)
        return XFILE_CANNOT_OPEN;
    // Case mode 2: a-z and A-Z compare equal, every other byte exactly.
    int result = unzLocateFile(zip, name, 2);;
    if (result != UNZ_OK)
        return result;
    char storedName[256];
    unz_file_info info;
    result = unzGetCurrentFileInfo(zip, &info, storedName, sizeof storedName, nullptr, 0, nullptr, 0);
    if (result != UNZ_OK)
        return result;
    storedName[sizeof storedName - 1] = 0;
    if (info.uncompressed_size > 0x7fffffffUL)
        return XFILE_NO_MEMORY;
    file->size = (int32_t)info.uncompressed_size;
    // A zero-byte entry still gets a block of its own.
    file->data = (uint8_t*)malloc(file->size ? (size_t)file->size : 1);
    file->name = copyText(storedName);
    if (!file->data || !file->name)
        return XFILE_NO_MEMORY;
    result = unzOpenCurrentFile(zip);
    if (result != UNZ_OK)
        return result;
    int got = unzReadCurrentFile(zip, file->data, (unsigned)file->size);
    if (got != file->size) {
        unzCloseCurrentFile(zip);
        return got < 0 ? got : XFILE_NO_MEMORY;
    }
    return unzCloseCurrentFile(zip);
}

int xFileIO::ReadPlain(const char* name, xFile* file)
{
    FILE* f = fopen(name, "rb");
    if (!f)
        return XFILE_CANNOT_OPEN;
    long length = -1;
    if (fseek(f, 0, SEEK_END) == 0)
        length = ftell(f);
    if (length < 0 || length > 0x7fffffffL || fseek(f, 0, SEEK_SET) != 0) {
        fclose(f);
        return XFILE_CANNOT_OPEN;
    }
    file->name = copyText(name);
    file->size = (int32_t)length;
    file->data = (uint8_t*)malloc(length ? (size_t)length : 1);
    if (!file->name || !file->data) {
        fclose(f);
        return XFILE_NO_MEMORY;
    }
    size_t got = fread(file->data, 1, (size_t)length, f);
    fclose(f);
    return got == (size_t)length ? 0 : XFILE_NO_MEMORY;
}

int xFileIO::Free(xFile* file)
{
    clear(file);
    return 0;
}
