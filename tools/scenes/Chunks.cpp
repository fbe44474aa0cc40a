#include "Chunks.h"

#include <cstring>

namespace qhscene {

void ChunkWriter::begin(uint16_t id)
{
    open.push_back(data.size());
    u16(id);
    u32(0);
}

void ChunkWriter::end()
{
    size_t start = open.back();
    open.pop_back();
    uint32_t length = (uint32_t)(data.size() - start);
    for (int i = 0; i < 4; i++)
        data[start + 2 + i] = (uint8_t)(length >> (8 * i));
}

void ChunkWriter::u16(uint16_t v)
{
    data.push_back((uint8_t)v);
    data.push_back((uint8_t)(v >> 8));
}

void ChunkWriter::u32(uint32_t v)
{
    for (int i = 0; i < 4; i++)
        data.push_back((uint8_t)(v >> (8 * i)));
}

void ChunkWriter::f32(float v)
{
    uint32_t bits;
    memcpy(&bits, &v, 4);
    u32(bits);
}

void ChunkWriter::vec(const Vec3& v)
{
    for (float f : v)
        f32(f);
}

void ChunkWriter::str(const std::string& s)
{
    data.insert(data.end(), s.begin(), s.end());
    data.push_back(0);
}

void ChunkWriter::flag(uint16_t id)
{
    begin(id);
    end();
}

void ChunkWriter::trackHeader(uint16_t flags, uint32_t keys)
{
    u16(flags);
    u32(0);
    u32(0);
    u32(keys);
}

void ChunkWriter::keyHeader(const Tcb& key)
{
    const float values[5] = {key.tension, key.continuity, key.bias, key.easeTo, key.easeFrom};
    uint16_t flags = key.flags;
    if (!flags)
        for (int i = 0; i < 5; i++)
            if (values[i] != 0.0f)
                flags |= (uint16_t)(1 << i);
    u32((uint32_t)key.frame);
    u16(flags);
    for (int i = 0; i < 16; i++)
        if (flags & (1 << i))
            f32(i < 5 ? values[i] : 0.0f);
}

void putFloat(Bytes& b, size_t offset, float v)
{
    uint32_t bits;
    memcpy(&bits, &v, 4);
    for (int i = 0; i < 4; i++)
        b[offset + i] = (uint8_t)(bits >> (8 * i));
}

namespace {

uint16_t get16(const Bytes& b, size_t at) { return (uint16_t)(b[at] | b[at + 1] << 8); }
uint32_t get32(const Bytes& b, size_t at) { return get16(b, at) | (uint32_t)get16(b, at + 2) << 16; }

// Containers worth descending into, and where their sub-chunks start.
bool subChunks(const Bytes& file, uint16_t id, size_t offset, size_t* first)
{
    switch (id) {
    case 0x4D4D:
    case 0x3D3D:
    case 0x4100:
    case 0xB000:
    case 0xB001:
    case 0xB002:
    case 0xB003:
    case 0xB004:
    case 0xB005:
    case 0xB006:
    case 0xB007:
        *first = offset + 6;
        return true;
    case 0x4000: { // the object's name comes first
        size_t p = offset + 6;
        while (p < file.size() && file[p])
            p++;
        *first = p + 1;
        return true;
    }
    }
    return false;
}

void walk(const Bytes& file, size_t from, size_t to, std::vector<size_t>& parents,
          const std::function<void(const ChunkRef&)>& visit)
{
    size_t p = from;
    while (p + 6 <= to) {
        ChunkRef ref{p, get16(file, p), get32(file, p + 2), parents};
        if (ref.length < 6 || p + ref.length > to)
            return;
        visit(ref);
        size_t first;
        if (subChunks(file, ref.id, p, &first)) {
            parents.push_back(p);
            walk(file, first, p + ref.length, parents, visit);
            parents.pop_back();
        }
        p += ref.length;
    }
}

} // namespace

void walkChunks(const Bytes& file, const std::function<void(const ChunkRef&)>& visit)
{
    std::vector<size_t> parents;
    walk(file, 0, file.size(), parents, visit);
}

int nodeIdOf(const Bytes& file, const ChunkRef& node)
{
    size_t p = node.offset + 6, end = node.offset + node.length;
    while (p + 6 <= end) {
        uint16_t id = get16(file, p);
        uint32_t length = get32(file, p + 2);
        if (id == 0xB030 && length >= 8)
            return get16(file, p + 6);
        if (length < 6)
            break;
        p += length;
    }
    return -1;
}

void appendToChunk(Bytes& file, const ChunkRef& container, const Bytes& chunks)
{
    size_t at = container.offset + container.length;
    file.insert(file.begin() + (long)at, chunks.begin(), chunks.end());
    std::vector<size_t> grow = container.parents;
    grow.push_back(container.offset);
    for (size_t offset : grow) {
        uint32_t length = get32(file, offset + 2) + (uint32_t)chunks.size();
        for (int i = 0; i < 4; i++)
            file[offset + 2 + i] = (uint8_t)(length >> (8 * i));
    }
}

} // namespace qhscene
