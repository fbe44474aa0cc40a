// Writes the seed inputs of the renderer's fuzz target: small scenes in
// both modes, with fog, flares and triangles of every render type.
// Usage: fuzz_x3d_render_seeds <seed root>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/x3d/RenderInput.h"
#include "tests/common/Scratch.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void put16(Bytes& b, float value)
{
    int v = (int)(value * 32.0f);
    b.push_back((uint8_t)(v & 0xFF));
    b.push_back((uint8_t)((v >> 8) & 0xFF));
}

Bytes scene(uint8_t flags, int seed)
{
    Bytes b = {flags, 70};
    for (float v : {0.0f, 2.0f, -12.0f, 0.0f, 0.0f, 0.0f, 60.0f}) // eye, target, far
        put16(b, v);
    b.push_back(2); // lights
    for (int i = 0; i < 2; i++) {
        b.push_back(i ? 2 | 8 : 1 | 8);
        for (float v : {i ? 4.0f : -4.0f, 5.0f, -6.0f})
            put16(b, v);
        b.insert(b.end(), {200, 190, 170});
        if (i)
            for (float v : {0.0f, 0.0f, 0.0f})
                put16(b, v);
        if (i)
            b.insert(b.end(), {30, 60});
        put16(b, 5.0f);
        put16(b, 40.0f);
        b.insert(b.end(), {32, 32});
        put16(b, 20.0f);
    }
    for (int t = 0; t < 20; t++) {
        b.push_back((uint8_t)((t + seed) % 20));
        float x = (float)(t % 5) * 2.0f - 4.0f, y = (float)(t / 5) * 2.0f - 3.0f, z = (float)(seed % 3) * 3.0f;
        const float corners[3][2] = {{0, 0}, {1.8f, 0}, {0, 1.8f}};
        for (auto& c : corners) {
            for (float v : {x + c[0], y + c[1], z + (seed == 2 ? -12.0f : 0.0f)})
                put16(b, v);
            put16(b, c[0] * 4);
            put16(b, c[1] * 4);
        }
        b.push_back((uint8_t)(t * 13));
    }
    return b;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    const uint8_t modes[] = {0, qhfuzz::FUZZ_ZBUFFER, qhfuzz::FUZZ_FOG | qhfuzz::FUZZ_SOFT_LINES,
                             qhfuzz::FUZZ_ZBUFFER | qhfuzz::FUZZ_FOG | qhfuzz::FUZZ_BIG_VIEW};
    int n = 0;
    for (uint8_t m : modes)
        for (int seed = 0; seed < 3; seed++)
            writeSeed(argv[1], "fuzz_x3d_render", "seed-" + std::to_string(n++), scene(m, seed));
    return 0;
}
