#include "TestZip.h"

#include <minizip/unzip.h>
#include <minizip/zip.h>

bool writeTestZip(const std::string& path, const std::vector<TestZipEntry>& entries)
{
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    for (const TestZipEntry& e : entries) {
        zip_fileinfo info{};
        if (zipOpenNewFileInZip(zip, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                e.deflate ? Z_DEFLATED : 0, e.deflate ? Z_DEFAULT_COMPRESSION : 0) != ZIP_OK)
            return false;
        if (!e.data.empty() && zipWriteInFileInZip(zip, e.data.data(), (unsigned)e.data.size()) != ZIP_OK)
            return false;
        zipCloseFileInZip(zip);
    }
    return zipClose(zip, nullptr) == ZIP_OK;
}

std::vector<TestZipEntry> readTestZip(const std::string& path)
{
    std::vector<TestZipEntry> entries;
    unzFile zip = unzOpen(path.c_str());
    if (!zip)
        return entries;
    for (int r = unzGoToFirstFile(zip); r == UNZ_OK; r = unzGoToNextFile(zip)) {
        unz_file_info info;
        char name[256];
        if (unzGetCurrentFileInfo(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK ||
            unzOpenCurrentFile(zip) != UNZ_OK)
            break;
        TestZipEntry e;
        e.name = name;
        e.data.resize(info.uncompressed_size);
        int got = e.data.empty() ? 0 : unzReadCurrentFile(zip, &e.data[0], (unsigned)e.data.size());
        unzCloseCurrentFile(zip);
        if (got != (int)e.data.size())
            break;
        entries.push_back(e);
    }
    unzClose(zip);
    return entries;
}

std::vector<TestZipEntry> replacedEntry(std::vector<TestZipEntry> entries, const std::string& name,
                                        const std::vector<uint8_t>& bytes)
{
    for (TestZipEntry& e : entries)
        if (e.name == name)
            e.data.assign(bytes.begin(), bytes.end());
    return entries;
}
