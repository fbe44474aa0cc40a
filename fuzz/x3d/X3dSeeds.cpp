// Writes the seed inputs of the 3DS fuzz target: the tests' scenes from our
// scene writer (every record kind, a hierarchy, every key flag, morph tracks)
// and hand-made files without node ids, and the show's four scenes.
// Usage: fuzz_x3d_seeds <seed root>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "RawFiles.h"
#include "SceneSamples.h"
#include "tools/makedata/Scenes.h"

using namespace qhtest;

namespace {

bool save(const std::string& path, const Bytes& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

// Nodes numbered by their order, dummies, a morph track and tracks of the
// keyframer's every kind written by hand.
Bytes handMade()
{
    return rawFile(
        [](ChunkWriter& w) {
            rawMaterial(w, "Paint");
            rawMesh(w, "A", [](ChunkWriter& w) {
                rawVertices(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
                rawFaces(w, {{0, 1, 2}}, [](ChunkWriter& w) { rawGroup(w, "Paint", {0}); });
            });
            rawMesh(w, "B", [](ChunkWriter& w) {
                rawVertices(w, {{0, 0, 1}, {1, 0, 1}, {0, 1, 1}});
                rawFaces(w, {{0, 1, 2}});
            });
            rawCamera(w, "Cam", 35);
        },
        [](ChunkWriter& w) {
            rawNode(w, 0xB002, -1, "A", 0xFFFF, [](ChunkWriter& w) {
                rawTrack(w, 0xB020, 3, {0, 10, 20}, {{0, 0, 0}, {1, 2, 3}, {0, 0, 0}});
                rawTrack(w, 0xB021, 0, {0, 10}, {{0.5f, 0, 0, 1}, {7, 1, 0, 0}});
                w.begin(0xB026);
                w.trackHeader(2, 2);
                w.keyHeader({});
                w.str("A");
                qhscene::Tcb t;
                t.frame = 10;
                t.easeFrom = 0.5f;
                w.keyHeader(t);
                w.str("B");
                w.end();
                w.begin(0xB029);
                w.trackHeader(0, 2);
                w.u32(5), w.u16(0), w.u32(15), w.u16(0);
                w.end();
            });
            rawNode(w, 0xB002, -1, "$$$DUMMY", 0, [](ChunkWriter& w) {
                w.begin(0xB011);
                w.str("Rig");
                w.end();
            });
            rawNode(w, 0xB003, -1, "Cam", 1, [](ChunkWriter& w) {
                rawTrack(w, 0xB023, 0, {0, 20}, {{60}, {40}});
                rawTrack(w, 0xB024, 0, {0, 20}, {{0}, {10}});
            });
        });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s <seed root>\n", argv[0]);
        return 2;
    }
    std::string dir = std::string(argv[1]) + "/fuzz_3ds";
    mkdir(argv[1], 0755);
    mkdir(dir.c_str(), 0755);
    const struct {
        const char* name;
        Bytes bytes;
    } seeds[] = {
        {"harbour.3ds", qhscene::write3ds(harbourScene())},
        {"posed.3ds", qhscene::write3ds(posedScene())},
        {"chains.3ds", qhscene::write3ds(largeScene(8, 4, 24))},
        {"handmade.3ds", handMade()},
        {"logo3d.3ds", qhscene::write3ds(qhd::LogoScene().scene)},
        {"test.3ds", qhscene::write3ds(qhd::TitleScene().scene)},
        {"scene3.3ds", qhscene::write3ds(qhd::GullScene({63, 143, 154}).scene)},
        {"scene4.3ds", qhscene::write3ds(qhd::FestoonScene().scene)},
    };
    for (const auto& s : seeds)
        if (!save(dir + "/" + s.name, s.bytes)) {
            fprintf(stderr, "cannot write %s\n", s.name);
            return 1;
        }
    return 0;
}
