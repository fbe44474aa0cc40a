// A raw writer of 3DS chunks, for what the lib3ds writer cannot say: morph
// tracks, chunks in an order of our choosing, files without node ids, and
// broken files for the reader's tests.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qhscene {

using Bytes = std::vector<uint8_t>;
using Vec3 = std::array<float, 3>;

// Spline parameters of a key; the flags written name the non-zero ones
// (or exactly `flags` when it is not 0).
struct Tcb {
    int32_t frame = 0;
    float tension = 0, continuity = 0, bias = 0, easeTo = 0, easeFrom = 0;
    uint16_t flags = 0;
};

class ChunkWriter {
public:
    // Opens a chunk; its length is written when it is closed.
    void begin(uint16_t id);
    void end();
    void u8(uint8_t v) { data.push_back(v); }
    void u16(uint16_t v);
    void u32(uint32_t v);
    void f32(float v);
    void vec(const Vec3& v);
    // Zero-terminated.
    void str(const std::string& s);
    void raw(const Bytes& b) { data.insert(data.end(), b.begin(), b.end()); }
    // An empty chunk.
    void flag(uint16_t id);
    // Track header: flags, 8 unused bytes, key count.
    void trackHeader(uint16_t flags, uint32_t keys);
    // Key header: frame, spline flags and the values they name.
    void keyHeader(const Tcb& key);

    Bytes data;

private:
    std::vector<size_t> open;
};

// Writes a 3DS float as its little-endian bytes.
void putFloat(Bytes& b, size_t offset, float v);

// One chunk of a file as the walk below sees it.
struct ChunkRef {
    size_t offset;   // of the header
    uint16_t id;
    uint32_t length;
    std::vector<size_t> parents; // offsets of the enclosing chunks, outermost first
};

// Visits every chunk of a well-formed file, descending into the containers
// that hold meshes, lights, cameras and keyframer nodes.
void walkChunks(const Bytes& file, const std::function<void(const ChunkRef&)>& visit);
// The node id (0xB030) of a keyframer node container, or -1.
int nodeIdOf(const Bytes& file, const ChunkRef& node);
// Inserts whole chunks at the end of a container and grows its length and
// those of its parents.
void appendToChunk(Bytes& file, const ChunkRef& container, const Bytes& chunks);

} // namespace qhscene
