#include "TestZip.h"

#include <cstdio>
#include <cstdlib>
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
