#include "XmModule.h"

#include <cstdio>
#include <cstdlib>
#include <string>

void musFatal(const char* text)
{
    std::fprintf(stderr, "qh_compose: %s\n", text);
    std::fflush(stderr);
    std::exit(3);
}

double xmRowSeconds(const XmModule& module)
{
    return module.speed * 2.5 / module.bpm;
}

namespace {

class Bytes {
public:
    explicit Bytes(std::vector<uint8_t>& out) : out(out) {}
    void u8(unsigned v) { out.push_back(static_cast<uint8_t>(v)); }
    void u16(unsigned v) { u8(v & 0xFF); u8((v >> 8) & 0xFF); }
    void u32(uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); }
    // Fixed-width text, cut or padded with zeros.
    void text(const std::string& s, size_t width)
    {
        for (size_t i = 0; i < width; ++i)
            u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    void put16(size_t at, unsigned v)
    {
        out[at] = static_cast<uint8_t>(v & 0xFF);
        out[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
    size_t size() const { return out.size(); }

private:
    std::vector<uint8_t>& out;
};

void checkModule(const XmModule& m)
{
    if (m.channels < 1 || m.channels > 32)
        musFatal("xmWrite -> channel count out of range");
    if (m.orders.empty() || m.orders.size() > 256)
        musFatal("xmWrite -> order count out of range");
    if (m.patterns.empty() || m.patterns.size() > 256)
        musFatal("xmWrite -> pattern count out of range");
    if (m.instruments.size() > 128)
        musFatal("xmWrite -> too many instruments");
    if (m.speed < 1 || m.speed > 31 || m.bpm < 32 || m.bpm > 255)
        musFatal("xmWrite -> speed or tempo out of range");
    for (uint8_t o : m.orders)
        if (o >= m.patterns.size())
            musFatal("xmWrite -> order names a missing pattern");
    for (const XmPattern& p : m.patterns) {
        if (p.rows < 1 || p.rows > 256)
            musFatal("xmWrite -> pattern row count out of range");
        if (p.cells.size() != static_cast<size_t>(p.rows) * m.channels)
            musFatal("xmWrite -> pattern cells do not match rows and channels");
        for (const XmCell& c : p.cells)
            if (c.note > XM_NOTE_OFF || c.instrument > m.instruments.size())
                musFatal("xmWrite -> cell with a bad note or instrument");
    }
    for (const XmInstrument& ins : m.instruments) {
        const XmEnvelope& e = ins.volumeEnvelope;
        if (e.points.size() > 12)
            musFatal("xmWrite -> envelope with more than 12 points");
        for (size_t i = 0; i < e.points.size(); ++i) {
            if (e.points[i].value > 64 || (i > 0 && e.points[i].tick <= e.points[i - 1].tick))
                musFatal("xmWrite -> envelope points out of order or range");
        }
        int n = static_cast<int>(e.points.size());
        if (e.sustain >= n || e.loopStart >= n || e.loopEnd >= n || e.loopStart > e.loopEnd)
            musFatal("xmWrite -> envelope sustain or loop outside its points");
        const XmSample& s = ins.sample;
        if (s.data.size() > 0x7FFFFFFF / 2)
            musFatal("xmWrite -> sample too long");
        if (s.loopLength > 0 &&
            (s.loopStart >= s.data.size() || s.loopLength > s.data.size() - s.loopStart))
            musFatal("xmWrite -> sample loop outside its sample");
        if (s.volume > 64 || ins.fadeout > 0xFFF)
            musFatal("xmWrite -> sample volume or fadeout out of range");
    }
}

// A cell in the packed form: a mask byte naming the fields that follow,
// or the five bytes plain when all are present.
void packCell(Bytes& b, const XmCell& c)
{
    const uint8_t fields[5] = { c.note, c.instrument, c.volume, c.effect, c.param };
    unsigned mask = 0;
    for (int i = 0; i < 5; ++i)
        if (fields[i] != 0)
            mask |= 1u << i;
    if (mask == 0x1F) {
        for (uint8_t f : fields)
            b.u8(f);
        return;
    }
    b.u8(0x80 | mask);
    for (int i = 0; i < 5; ++i)
        if (mask & (1u << i))
            b.u8(fields[i]);
}

void writePattern(Bytes& b, const XmPattern& p)
{
    b.u32(9);  // pattern header length
    b.u8(0);   // packing type
    b.u16(p.rows);
    size_t sizeAt = b.size();
    b.u16(0);
    size_t start = b.size();
    for (const XmCell& c : p.cells)
        packCell(b, c);
    size_t packed = b.size() - start;
    if (packed > 0xFFFF)
        musFatal("xmWrite -> packed pattern larger than 64 KB");
    b.put16(sizeAt, static_cast<unsigned>(packed));
}

void writeInstrument(Bytes& b, const XmInstrument& ins)
{
    const XmEnvelope& e = ins.volumeEnvelope;
    b.u32(263);  // header size: everything up to the sample headers
    b.text(ins.name, 22);
    b.u8(0);
    b.u16(1);    // one sample
    b.u32(40);   // sample header size
    for (int i = 0; i < 96; ++i)
        b.u8(0);
    for (int i = 0; i < 12; ++i) {
        bool used = i < static_cast<int>(e.points.size());
        b.u16(used ? e.points[i].tick : 0);
        b.u16(used ? e.points[i].value : 0);
    }
    for (int i = 0; i < 12; ++i)  // panning envelope: unused
        b.u32(0);
    b.u8(static_cast<unsigned>(e.points.size()));
    b.u8(0);
    b.u8(e.sustain < 0 ? 0 : e.sustain);
    b.u8(e.loopStart < 0 ? 0 : e.loopStart);
    b.u8(e.loopEnd < 0 ? 0 : e.loopEnd);
    b.u8(0);
    b.u8(0);
    b.u8(0);
    unsigned type = 0;
    if (!e.points.empty()) {
        type |= 1;
        if (e.sustain >= 0)
            type |= 2;
        if (e.loopStart >= 0)
            type |= 4;
    }
    b.u8(type);
    b.u8(0);
    b.u8(ins.vibratoType);
    b.u8(ins.vibratoSweep);
    b.u8(ins.vibratoDepth);
    b.u8(ins.vibratoRate);
    b.u16(ins.fadeout);
    for (int i = 0; i < 22; ++i)
        b.u8(0);

    const XmSample& s = ins.sample;
    uint32_t frames = static_cast<uint32_t>(s.data.size());
    b.u32(frames * 2);
    b.u32(s.loopLength ? s.loopStart * 2 : 0);
    b.u32(s.loopLength * 2);
    b.u8(s.volume);
    b.u8(static_cast<uint8_t>(s.finetune));
    b.u8((s.loopLength ? 1 : 0) | 0x10);  // forward loop, 16-bit
    b.u8(s.panning);
    b.u8(static_cast<uint8_t>(s.relativeNote));
    b.u8(0);
    b.text(s.name, 22);

    // Samples are stored as differences from the previous value.
    int16_t previous = 0;
    for (int16_t v : s.data) {
        b.u16(static_cast<uint16_t>(static_cast<uint16_t>(v) - static_cast<uint16_t>(previous)));
        previous = v;
    }
}

}  // namespace

std::vector<uint8_t> xmWrite(const XmModule& m)
{
    checkModule(m);
    std::vector<uint8_t> out;
    Bytes b(out);
    b.text("Extended Module: ", 17);
    b.text(m.name, 20);
    b.u8(0x1A);
    b.text(m.tracker, 20);
    b.u16(0x0104);
    b.u32(276);  // header size from here: 20 bytes of fields and the order table
    b.u16(static_cast<unsigned>(m.orders.size()));
    b.u16(0);    // restart position; the song is played once
    b.u16(m.channels);
    b.u16(static_cast<unsigned>(m.patterns.size()));
    b.u16(static_cast<unsigned>(m.instruments.size()));
    b.u16(m.linearFrequencies ? 1 : 0);
    b.u16(m.speed);
    b.u16(m.bpm);
    for (int i = 0; i < 256; ++i)
        b.u8(i < static_cast<int>(m.orders.size()) ? m.orders[i] : 0);
    for (const XmPattern& p : m.patterns)
        writePattern(b, p);
    for (const XmInstrument& ins : m.instruments)
        writeInstrument(b, ins);
    return out;
}
