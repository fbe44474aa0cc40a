// Hand-made 3DS files for the reader's tests: chunks in the order given,
// files without node ids, and broken files.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "Chunks.h"

namespace qhtest {

using qhscene::Bytes;
using qhscene::ChunkWriter;
using qhscene::Vec3;
using Writes = std::function<void(ChunkWriter&)>;

// Main chunk with the editor part and, when given, the keyframer.
inline Bytes rawFile(const Writes& editor, const Writes& keyframer = nullptr)
{
    ChunkWriter w;
    w.begin(0x4D4D);
    w.begin(0x3D3D);
    editor(w);
    w.end();
    if (keyframer) {
        w.begin(0xB000);
        keyframer(w);
        w.end();
    }
    w.end();
    return w.data;
}

inline void rawMaterial(ChunkWriter& w, const std::string& name, const Writes& more = nullptr)
{
    w.begin(0xAFFF);
    w.begin(0xA000);
    w.str(name);
    w.end();
    if (more)
        more(w);
    w.end();
}

inline void rawVertices(ChunkWriter& w, const std::vector<Vec3>& vertices)
{
    w.begin(0x4110);
    w.u16((uint16_t)vertices.size());
    for (const Vec3& v : vertices)
        w.vec(v);
    w.end();
}

// Faces of three indices, flags 7; `groups` writes inside the face list.
inline void rawFaces(ChunkWriter& w, const std::vector<std::vector<uint16_t>>& faces, const Writes& groups = nullptr)
{
    w.begin(0x4120);
    w.u16((uint16_t)faces.size());
    for (const auto& f : faces) {
        for (uint16_t i : f)
            w.u16(i);
        w.u16(7);
    }
    if (groups)
        groups(w);
    w.end();
}

inline void rawGroup(ChunkWriter& w, const std::string& material, const std::vector<uint16_t>& faces)
{
    w.begin(0x4130);
    w.str(material);
    w.u16((uint16_t)faces.size());
    for (uint16_t f : faces)
        w.u16(f);
    w.end();
}

// An object block holding a mesh; `body` writes the mesh's chunks.
inline void rawMesh(ChunkWriter& w, const std::string& name, const Writes& body)
{
    w.begin(0x4000);
    w.str(name);
    w.begin(0x4100);
    body(w);
    w.end();
    w.end();
}

// A triangle mesh of three vertices.
inline void rawTriangle(ChunkWriter& w, const std::string& name)
{
    rawMesh(w, name, [](ChunkWriter& w) {
        rawVertices(w, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
        rawFaces(w, {{0, 1, 2}});
    });
}

inline void rawCamera(ChunkWriter& w, const std::string& name, float lens)
{
    w.begin(0x4000);
    w.str(name);
    w.begin(0x4700);
    w.vec({0, -10, 0});
    w.vec({0, 0, 0});
    w.f32(0);
    w.f32(lens);
    w.end();
    w.end();
}

// A keyframer node: a container of the kind's chunk id, its node id chunk
// (id < 0: none), header and `tracks`.
inline void rawNode(ChunkWriter& w, uint16_t container, int id, const std::string& name, int parent,
                    const Writes& tracks = nullptr, uint16_t flags1 = 0)
{
    w.begin(container);
    if (id >= 0) {
        w.begin(0xB030);
        w.u16((uint16_t)id);
        w.end();
    }
    w.begin(0xB010);
    w.str(name);
    w.u16(flags1);
    w.u16(0);
    w.u16((uint16_t)parent);
    w.end();
    if (tracks)
        tracks(w);
    w.end();
}

// A track of keys with no spline values: one value of `values` floats per
// key (frames as given).
inline void rawTrack(ChunkWriter& w, uint16_t chunk, uint16_t flags, const std::vector<int32_t>& frames,
                     const std::vector<std::vector<float>>& values)
{
    w.begin(chunk);
    w.trackHeader(flags, (uint32_t)frames.size());
    for (size_t i = 0; i < frames.size(); i++) {
        qhscene::Tcb t;
        t.frame = frames[i];
        w.keyHeader(t);
        for (float v : values[i])
            w.f32(v);
    }
    w.end();
}

} // namespace qhtest
