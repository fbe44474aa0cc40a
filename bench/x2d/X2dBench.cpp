// Every sprite operation of both code paths drawing a 640 x 250 sprite into
// the letterbox, and pixman composing the same pixels with its matching
// operation, each reported as a ratio to memcpy of the same bytes measured in
// the same run. The scaled operations run at scale 1 (a step of one source
// pixel) and at 1.25 (every sample gathered), both covering the letterbox.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "Ximage/Ximage.h"
#include "bench/common/RunTimes.h"

namespace {

const int W = 640, H = 250;
const uint32_t kAlpha = 128;    // the constant alpha of every blend
const uint32_t kPaint = 0;      // the layer's paint colour and the key colour

struct Stage {
    std::vector<uint32_t> frame;
    uint32_t* picture;
    x2dSprite* sprite[2];
    x2dSprite* canvas[2]; // what Fill and Clear write, leaving the sprites be
    std::vector<uint32_t> source;
    // pixman's view of the same pixels: the picture as x8r8g8b8, the sprite
    // as it is (x8r8g8b8) and premultiplied (a8r8g8b8), the layer as a8, the
    // constant alpha as a solid mask, the paint colour as a solid source
    // (plain, and premultiplied by the constant alpha).
    std::vector<uint32_t> premultiplied;
    pixman_image_t *dst, *opaque, *alphaSrc, *layer, *constMask, *paint, *paintAlpha;

    Stage() : frame(640 * 480), picture(nullptr), sprite{nullptr, nullptr}, canvas{nullptr, nullptr}, source((size_t)W * H)
    {
        x2dInit(640, 280);
        x2dSetClipWindow(0, 0, 640, 250);
        picture = frame.data() + 115 * 640;
        // A picture with soft alpha: wide fully opaque and fully clear areas
        // with graded edges between them, as the show's pictures have.
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                int band = (x * 3 + y * 2) % 512;
                uint32_t a = band < 128 ? 0 : band < 256 ? (uint32_t)(band - 128) * 2 : band < 384 ? 255 : (uint32_t)(511 - band) * 2;
                a = a > 255 ? 255 : a;
                uint32_t c = (uint32_t)(x * 7 + y) & 255;
                source[(size_t)y * W + x] = a << 24 | c << 16 | (255 - c) << 8 | ((uint32_t)(x ^ y) & 255);
                if ((x / 16 + y / 16) % 4 == 0)
                    source[(size_t)y * W + x] = 0; // key colour areas
            }
        for (int v = 0; v < 2; v++) {
            x2dMMX = (uint8_t)v;
            sprite[v] = x2dSpriteCreate();
            xImage image{W, H, XIMAGE_ARGB32, (uint8_t*)malloc(source.size() * 4), nullptr};
            memcpy(image.pixels, source.data(), source.size() * 4);
            sprite[v]->SetImage(image);
            sprite[v]->alphaLayer = (uint8_t*)malloc(source.size());
            for (size_t i = 0; i < source.size(); i++)
                sprite[v]->alphaLayer[i] = (uint8_t)(source[i] >> 24);
            sprite[v]->color = kPaint;
            canvas[v] = x2dSpriteCreate();
            xImage blank{W, H, XIMAGE_ARGB32, (uint8_t*)calloc(source.size(), 4), nullptr};
            canvas[v]->SetImage(blank);
        }
        for (size_t i = 0; i < frame.size(); i++)
            frame[i] = (uint32_t)(i * 2654435761u) & 0xffffff;

        premultiplied.resize(source.size());
        for (size_t i = 0; i < source.size(); i++) {
            const uint32_t s = source[i], a = s >> 24;
            uint32_t p = a << 24;
            for (int sh = 0; sh < 24; sh += 8)
                p |= (((s >> sh) & 255) * a + 127) / 255 << sh;
            premultiplied[i] = p;
        }
        dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, W, H, picture, W * 4);
        opaque = pixman_image_create_bits(PIXMAN_x8r8g8b8, W, H, sprite[0]->pixels, W * 4);
        alphaSrc = pixman_image_create_bits(PIXMAN_a8r8g8b8, W, H, premultiplied.data(), W * 4);
        layer = pixman_image_create_bits(PIXMAN_a8, W, H, (uint32_t*)sprite[0]->alphaLayer, W);
        const pixman_color_t alpha{0, 0, 0, (uint16_t)(kAlpha * 257)};
        constMask = pixman_image_create_solid_fill(&alpha);
        auto channel = [](uint32_t c, int sh) { return (uint16_t)(((c >> sh) & 255) * 257); };
        const pixman_color_t k{channel(kPaint, 16), channel(kPaint, 8), channel(kPaint, 0), 0xffff};
        paint = pixman_image_create_solid_fill(&k);
        auto times = [](uint16_t c) { return (uint16_t)((uint32_t)c * kAlpha / 255); };
        const pixman_color_t ka{times(k.red), times(k.green), times(k.blue), (uint16_t)(kAlpha * 257)};
        paintAlpha = pixman_image_create_solid_fill(&ka);
    }
};

Stage& stage()
{
    static Stage s;
    return s;
}

void BM_memcpy(benchmark::State& state)
{
    Stage& s = stage();
    for (auto _ : state) {
        memcpy(s.picture, s.source.data(), (size_t)W * H * 4);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_memcpy);

template <class Fn>
void run(benchmark::State& state, Fn fn)
{
    Stage& s = stage();
    x2dSprite* sp = s.sprite[state.range(0)];
    for (auto _ : state) {
        fn(sp, s.picture);
        benchmark::ClobberMemory();
    }
}

#define OP(name, call)                                                                                     \
    void BM_##name(benchmark::State& state) { run(state, [](x2dSprite* sp, uint32_t* dst) { call; }); } \
    BENCHMARK(BM_##name)->Arg(0)->Arg(1);

OP(Draw, sp->Draw(0, 0, dst))
OP(Fill, stage().canvas[sp == stage().sprite[1]]->Fill(0x00102030))
OP(Clear, stage().canvas[sp == stage().sprite[1]]->Clear())
OP(DrawNoClip, sp->DrawNoClip(0, 0, dst))
OP(DrawAddNoClip, sp->DrawAddNoClip(0, 0, dst))
OP(DrawBlendNoClip, sp->DrawBlendNoClip(0, 0, kAlpha, dst))
OP(DrawAlphaNoClip, sp->DrawAlphaNoClip(0, 0, dst))
OP(DrawAlphaBlendNoClip, sp->DrawAlphaBlendNoClip(0, 0, kAlpha, dst))
OP(DrawKeyNoClip, sp->DrawKeyNoClip(0, 0, dst))
OP(DrawLayerNoClip, sp->DrawLayerNoClip(0, 0, dst))
OP(DrawLayerBlendNoClip, sp->DrawLayerBlendNoClip(0, 0, kAlpha, dst))
OP(DrawAdd, sp->DrawAdd(0, 0, dst))
OP(DrawBlendScaled, sp->DrawBlendScaled(0, 0, 1.0f, kAlpha, dst))
OP(DrawBlend, sp->DrawBlend(0, 0, kAlpha, dst))
OP(DrawAlphaScaled, sp->DrawAlphaScaled(0, 0, 1.0f, dst))
OP(DrawAlpha, sp->DrawAlpha(0, 0, dst))
OP(DrawAlphaBlendScaled, sp->DrawAlphaBlendScaled(0, 0, 1.0f, kAlpha, dst))
OP(DrawAlphaBlend, sp->DrawAlphaBlend(0, 0, kAlpha, dst))
OP(DrawKey, sp->DrawKey(0, 0, dst))
OP(DrawLayerScaled, sp->DrawLayerScaled(0, 0, 1.0f, dst))
OP(DrawLayer, sp->DrawLayer(0, 0, dst))
OP(DrawLayerBlend, sp->DrawLayerBlend(0, 0, kAlpha, dst))
OP(DrawBlendScaled_125, sp->DrawBlendScaled(0, 0, 1.25f, kAlpha, dst))
OP(DrawAlphaScaled_125, sp->DrawAlphaScaled(0, 0, 1.25f, dst))
OP(DrawAlphaBlendScaled_125, sp->DrawAlphaBlendScaled(0, 0, 1.25f, kAlpha, dst))
OP(DrawLayerScaled_125, sp->DrawLayerScaled(0, 0, 1.25f, dst))

void BM_x2dAddSpan(benchmark::State& state)
{
    Stage& s = stage();
    for (auto _ : state) {
        x2dAddSpan(3, W * H, s.picture);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_x2dAddSpan);

void BM_x2dSubSpan(benchmark::State& state)
{
    Stage& s = stage();
    for (auto _ : state) {
        x2dSubSpan(3, W * H, s.picture);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_x2dSubSpan);

// ---- pixman on the same pixels ----

void composite(benchmark::State& state, pixman_op_t op, pixman_image_t* src, pixman_image_t* mask)
{
    Stage& s = stage();
    for (auto _ : state) {
        pixman_image_composite32(op, src, mask, s.dst, 0, 0, 0, 0, 0, 0, W, H);
        benchmark::ClobberMemory();
    }
}

void BM_pixman_SRC(benchmark::State& state) { composite(state, PIXMAN_OP_SRC, stage().opaque, nullptr); }
void BM_pixman_ADD(benchmark::State& state) { composite(state, PIXMAN_OP_ADD, stage().opaque, nullptr); }
void BM_pixman_OVER_const(benchmark::State& state)
{
    composite(state, PIXMAN_OP_OVER, stage().opaque, stage().constMask);
}
void BM_pixman_OVER_pixel(benchmark::State& state) { composite(state, PIXMAN_OP_OVER, stage().alphaSrc, nullptr); }
void BM_pixman_OVER_both(benchmark::State& state)
{
    composite(state, PIXMAN_OP_OVER, stage().alphaSrc, stage().constMask);
}
void BM_pixman_OVER_a8(benchmark::State& state) { composite(state, PIXMAN_OP_OVER, stage().paint, stage().layer); }
void BM_pixman_OVER_a8_const(benchmark::State& state)
{
    composite(state, PIXMAN_OP_OVER, stage().paintAlpha, stage().layer);
}
void BM_pixman_fill(benchmark::State& state)
{
    Stage& s = stage();
    for (auto _ : state) {
        pixman_fill(s.canvas[0]->pixels, W, 32, 0, 0, W, H, 0x00102030);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_pixman_SRC);
BENCHMARK(BM_pixman_ADD);
BENCHMARK(BM_pixman_OVER_const);
BENCHMARK(BM_pixman_OVER_pixel);
BENCHMARK(BM_pixman_OVER_both);
BENCHMARK(BM_pixman_OVER_a8);
BENCHMARK(BM_pixman_OVER_a8_const);
BENCHMARK(BM_pixman_fill);

// Each operation, pixman's match (or none) and the goal for the processor
// path: at most so many memcpys, and for the blends also faster than pixman.
struct Row {
    const char* op;
    const char* pixman;
    double goal;
    bool beatPixman;
};

const Row kRows[] = {
    {"Draw", "SRC", 1.2, false},
    {"Fill", "fill", 0, false},
    {"Clear", "fill", 0, false},
    {"DrawNoClip", "SRC", 1.2, false},
    {"DrawAddNoClip", "ADD", 1.5, false},
    {"DrawBlendNoClip", "OVER_const", 4, true},
    {"DrawAlphaNoClip", "OVER_pixel", 4, true},
    {"DrawAlphaBlendNoClip", "OVER_both", 4, true},
    {"DrawKeyNoClip", nullptr, 1.2, false},
    {"DrawLayerNoClip", "OVER_a8", 4, true},
    {"DrawLayerBlendNoClip", "OVER_a8_const", 4, true},
    {"DrawAdd", "ADD", 1.5, false},
    {"DrawBlendScaled", "OVER_const", 4, true},
    {"DrawBlend", "OVER_const", 4, true},
    {"DrawAlphaScaled", "OVER_pixel", 4, true},
    {"DrawAlpha", "OVER_pixel", 4, true},
    {"DrawAlphaBlendScaled", "OVER_both", 4, true},
    {"DrawAlphaBlend", "OVER_both", 4, true},
    {"DrawKey", nullptr, 1.2, false},
    {"DrawLayerScaled", "OVER_a8", 4, true},
    {"DrawLayer", "OVER_a8", 4, true},
    {"DrawLayerBlend", "OVER_a8_const", 4, true},
    {"DrawBlendScaled_125", nullptr, 4, false},
    {"DrawAlphaScaled_125", nullptr, 4, false},
    {"DrawAlphaBlendScaled_125", nullptr, 4, false},
    {"DrawLayerScaled_125", nullptr, 4, false},
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RunTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const double base = reporter.at("BM_memcpy");
    if (base <= 0)
        return 0;
    const char* lanes = x2dSpriteHasMMXPath() ? "SSE2" : "(plain)";
    printf("\nx memcpy of the same bytes (%.1f processor ns), 640 x 250; the processor path: %s lanes\n", base,
           x2dSpriteHasMMXPath() ? "SSE2" : "none built");
    printf("%-25s %8s %8s %8s %-14s %6s  %s\n", "operation", "plain", lanes, "pixman", "pixman op", "goal", "met");
    for (const Row& r : kRows) {
        const std::string name = std::string("BM_") + r.op;
        const double plain = reporter.at(name + "/0"), fast = reporter.at(name + "/1");
        if (plain <= 0 && fast <= 0)
            continue;
        const double peer = r.pixman ? reporter.at(std::string("BM_pixman_") + r.pixman) : 0;
        char peerText[16] = "", goalText[16] = "";
        if (peer > 0)
            snprintf(peerText, sizeof peerText, "%.2f", peer / base);
        if (r.goal > 0)
            snprintf(goalText, sizeof goalText, "<=%.1f", r.goal);
        const char* met = "";
        if (r.goal > 0 && fast > 0)
            met = fast / base <= r.goal && (!r.beatPixman || peer <= 0 || fast < peer) ? "yes" : "no";
        std::string label = r.op;
        if (label.size() > 4 && label.compare(label.size() - 4, 4, "_125") == 0)
            label = label.substr(0, label.size() - 4) + " x1.25";
        printf("%-25s %8.2f %8.2f %8s %-14s %6s  %s\n", label.c_str(), plain / base, fast / base, peerText,
               r.pixman ? r.pixman : "-", goalText, met);
    }
    for (const char* op : {"x2dAddSpan", "x2dSubSpan"}) {
        const double t = reporter.at(std::string("BM_") + op);
        if (t > 0)
            printf("%-25s %8.2f %8s %8s %-14s %6s  %s\n", op, t / base, "", "", "-", "<=1.5", t / base <= 1.5 ? "yes" : "no");
    }
    benchmark::Shutdown();
    return 0;
}
