// Writes the seed inputs of the file fuzz targets: scene-script-like texts
// and small ZIP archives made with minizip. Usage: fuzz_files_seeds <root>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <minizip/zip.h>

#include "tests/common/Scratch.h"

namespace {

std::string g_root;
int g_count = 0;

void putText(const char* name, const std::string& text)
{
    writeSeed(g_root, "fuzz_script", name, std::vector<uint8_t>(text.begin(), text.end()));
    g_count++;
}

struct Entry {
    const char* name;
    std::string bytes;
    int method; // 0 stored, Z_DEFLATED
};

void putZip(const char* name, const Entry* entries, int n)
{
    std::string path = seedFolder(g_root, "fuzz_archive") + "/" + name;
    zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
    if (!zip) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        exit(1);
    }
    for (int i = 0; i < n; i++) {
        zip_fileinfo info;
        memset(&info, 0, sizeof info);
        zipOpenNewFileInZip(zip, entries[i].name, &info, nullptr, 0, nullptr, 0, nullptr, entries[i].method,
                            entries[i].method ? 6 : 0);
        zipWriteInFileInZip(zip, entries[i].bytes.data(), (unsigned)entries[i].bytes.size());
        zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    g_count++;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <seed root>\n", argv[0]);
        return 2;
    }
    g_root = argv[1];

    putText("scene.x3d",
            "/* harbour scene */\r\n"
            "scene harbour.3ds\r\n"
            "texturepath textures/\r\n"
            "camera Camera01\r\n"
            "fog 0.1 0.2 0.3 100 900\r\n"
            "\r\n"
            "material MATERIAL_1 /* inline */\r\n"
            "rendertype 3\r\n"
            "flare 1.5 -2 3e1 4 5\r\n");
    putText("lf.x3d", "a 1\n\nb 2 3\n   c\n/*/ d */ e 4\nlast");
    putText("comments.x3d", "/* one\r\n two */ k 1\r\n/**/k2\r\n/* open\r\n");
    putText("long.x3d", std::string(90, 'k') + " " + std::string(300, '9') + "\r\nnext 1\r\n");

    std::string text = "scene test\r\ncamera Camera01\r\n";
    std::string binary;
    for (int i = 0; i < 600; i++)
        binary.push_back((char)(i * 7 % 251));
    Entry one[] = {{"loading.jpg", binary, Z_DEFLATED}};
    Entry mixed[] = {{"scene.x3d", text, 0}, {"dir/Pic.GIF", binary, Z_DEFLATED}, {"empty.bin", "", 0}};
    putZip("one.zip", one, 1);
    putZip("mixed.zip", mixed, 3);
    printf("%d seed files in %s\n", g_count, g_root.c_str());
    return 0;
}
