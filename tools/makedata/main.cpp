// qh_makedata: paints every picture and animation of the show and packs
// them, with the music when one is given, into the archive the show reads.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "tools/makedata/Show.h"
#include "tools/makedata/Type.h"

static void Usage()
{
    std::puts(
        "usage: qh_makedata [--pak PATH] [--manifest PATH] [--music PATH]\n"
        "                   [--contact-sheet PATH] [--font-dir DIR]\n"
        "  --pak PATH            archive to write (default demo.pak); the 3D scenes'\n"
        "                        textures go into a folder textures/ beside it\n"
        "  --manifest PATH       list of entries to write (default: the archive's path + .txt)\n"
        "  --music PATH          module stored in the archive as iseeyou.mp3\n"
        "  --contact-sheet PATH  also write one PNG showing every picture with its name and size\n"
        "  --only NAME,NAME,...  the contact sheet shows only these entries\n"
        "  --font-dir DIR        folder of the DejaVu fonts");
}

static bool ReadWhole(const std::string& path, qhd::Bytes& out)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    unsigned char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        out.insert(out.end(), buf, buf + n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

int main(int argc, char** argv)
{
    std::string pak = "demo.pak", manifest, music, sheet;
    std::vector<std::string> only;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& dst) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "qh_makedata: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            dst = argv[++i];
        };
        if (a == "--pak")
            value(pak);
        else if (a == "--manifest")
            value(manifest);
        else if (a == "--music")
            value(music);
        else if (a == "--contact-sheet")
            value(sheet);
        else if (a == "--only") {
            std::string list;
            value(list);
            size_t start = 0;
            while (start <= list.size()) {
                size_t comma = list.find(',', start);
                if (comma == std::string::npos)
                    comma = list.size();
                if (comma > start)
                    only.push_back(list.substr(start, comma - start));
                start = comma + 1;
            }
        } else if (a == "--font-dir") {
            std::string dir;
            value(dir);
            qhd::SetFontDir(dir);
        } else if (a == "--help" || a == "-h") {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "qh_makedata: unknown option %s\n", a.c_str());
            Usage();
            return 2;
        }
    }
    if (manifest.empty())
        manifest = pak + ".txt";
    try {
        qhd::Bundle bundle;
        qhd::BuildShow(bundle);
        if (!music.empty()) {
            qhd::Bytes module;
            if (!ReadWhole(music, module) || module.empty()) {
                std::fprintf(stderr, "qh_makedata: cannot read the music %s\n", music.c_str());
                return 1;
            }
            // The show hands the file to the player as it is; name the kind for the manifest.
            std::string kind = "tracker module";
            if (module.size() >= 17 && std::memcmp(module.data(), "Extended Module: ", 17) == 0)
                kind = "XM module";
            else if (module.size() >= 4 && std::memcmp(module.data(), "IMPM", 4) == 0)
                kind = "IT module";
            bundle.Raw("iseeyou.mp3", "the music, under the name start-up reads", kind, std::move(module));
        }
        qhd::WriteArchive(pak, bundle);
        // The scenes' textures go beside the archive: the show reads them from disk.
        size_t slash = pak.rfind('/');
        qhd::WriteDiskFiles(slash == std::string::npos ? std::string() : pak.substr(0, slash), bundle);
        std::string text = qhd::Manifest(bundle);
        qhd::WriteFile(manifest, qhd::Bytes(text.begin(), text.end()));
        if (!sheet.empty())
            qhd::WriteFile(sheet, qhd::EncodePng(qhd::ContactSheet(bundle, only)));
        std::printf("qh_makedata: %zu entries in %s\n", bundle.entries.size(), pak.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qh_makedata: %s\n", e.what());
        return 1;
    }
    return 0;
}
