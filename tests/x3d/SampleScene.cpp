// Writes the tests' harbour scene, and the lighthouse (no camera, no light)
// when a second name is given, for a look with qh_scene.
// Usage: x3d_sample_scene FILE.3ds [LIGHTHOUSE.3ds]
#include <cstdio>

#include "SceneSamples.h"

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3) {
        fprintf(stderr, "usage: %s FILE.3ds [LIGHTHOUSE.3ds]\n", argv[0]);
        return 2;
    }
    for (int i = 1; i < argc; i++) {
        qhtest::Bytes bytes = qhscene::write3ds(i == 1 ? qhtest::harbourScene() : qhtest::lighthouseScene());
        FILE* f = fopen(argv[i], "wb");
        if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
            fprintf(stderr, "cannot write %s\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
