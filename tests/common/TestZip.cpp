#include "TestZip.h"

#include <cstdio>
#include <cstdlib>
#include <minizip/unzip.h>
#include <minizip/zip.h>
#include <unistd.h>

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

std::string readWholeFile(const std::string& path)
{
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

std::string makeTempDir(const std::string& tag)
{
    const char* base = getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/qh-" + tag + "-XXXXXX";
    std::vector<char> buf(templ.begin(), templ.end());
    buf.push_back(0);
    char* made = mkdtemp(buf.data());
    return made ? std::string(made) : std::string();
}

std::string testZipBytes(const std::vector<TestZipEntry>& entries)
{
    std::string dir = makeTempDir("zip");
    if (dir.empty())
        return std::string();
    const std::string path = dir + "/test.zip";
    std::string bytes = writeTestZip(path, entries) ? readWholeFile(path) : std::string();
    remove(path.c_str());
    rmdir(dir.c_str());
    return bytes;
}

std::vector<TestZipEntry> pickTestZipEntries(const std::string& path, const std::vector<std::string>& names)
{
    const std::vector<TestZipEntry> all = readTestZip(path);
    std::vector<TestZipEntry> picked;
    for (const std::string& name : names) {
        TestZipEntry e;
        e.name = name;
        for (const TestZipEntry& a : all)
            if (a.name == name)
                e.data = a.data;
        picked.push_back(e);
    }
    return picked;
}
