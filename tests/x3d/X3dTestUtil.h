// Loading scenes from bytes for the 3D tests.
#pragma once
#include <gtest/gtest.h>

#include "SceneSamples.h"
#include "X3d/File3ds.h"
#include "X3d/Spline.h"

namespace qhtest {

// A scene loaded from bytes by the show's loader, freed at the end.
struct Loaded {
    x3dScene s{};
    explicit Loaded(const Bytes& bytes, const char* name = "test.3ds")
    {
        xFile f{(char*)name, (int32_t)bytes.size(), (uint8_t*)bytes.data()};
        x3dLoad3dsMem(&f, &s);
    }
    ~Loaded() { x3dFreeScene(&s); }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;

    // Animates at a frame (any frame, also outside the range).
    void at(float frame)
    {
        x3dSetScene(&s);
        s.frame = frame;
        x3dAnimateScene();
    }
    x3dObject* object(const char* name) { return x3dFindObject(name, &s); }
    x3dNode* node(int id)
    {
        for (int i = 0; i < s.nodeCount; i++)
            if (s.nodes[i].nodeId == id)
                return &s.nodes[i];
        return nullptr;
    }
};

// A file position (z up) in the engine's space (y up).
inline void swapped(const float* file, float* out)
{
    out[0] = file[0];
    out[1] = file[2];
    out[2] = file[1];
}

// World position of a vertex of an object at its current matrix.
inline void world(const x3dObject* o, int vertex, float* out)
{
    const float* p = o->vertices[vertex].position;
    for (int r = 0; r < 3; r++)
        out[r] = o->matrix[r][0] * p[0] + o->matrix[r][1] * p[1] + o->matrix[r][2] * p[2] + o->matrix[r][3];
}

class X3dTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { x3dInit(640, 480, nullptr); }
};

} // namespace qhtest
