// Writes the tests' harbour scene, for a look with qh_scene.
// Usage: x3d_sample_scene FILE.3ds
#include <cstdio>

#include "SceneSamples.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: %s FILE.3ds\n", argv[0]);
        return 2;
    }
    qhtest::Bytes bytes = qhscene::write3ds(qhtest::harbourScene());
    FILE* f = fopen(argv[1], "wb");
    if (!f || fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || fclose(f) != 0) {
        fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
