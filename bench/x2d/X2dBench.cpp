// Every sprite operation of both code paths drawing a 640 x 250 sprite into
// the letterbox, each reported as a ratio to memcpy of the same bytes
// measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "X2d/X2d.h"
#include "X2d/X2dspr.h"
#include "Ximage/Ximage.h"
#include "bench/common/RunTimes.h"

namespace {

const int W = 640, H = 250;

struct Stage {
    std::vector<uint32_t> frame;
    uint32_t* picture;
    x2dSprite* sprite[2];
    std::vector<uint32_t> source;

    Stage() : frame(640 * 480), picture(nullptr), sprite{nullptr, nullptr}, source((size_t)W * H)
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
            sprite[v]->color = 0;
        }
        for (size_t i = 0; i < frame.size(); i++)
            frame[i] = (uint32_t)(i * 2654435761u) & 0xffffff;
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
OP(DrawNoClip, sp->DrawNoClip(0, 0, dst))
OP(DrawAddNoClip, sp->DrawAddNoClip(0, 0, dst))
OP(DrawBlendNoClip, sp->DrawBlendNoClip(0, 0, 128, dst))
OP(DrawAlphaNoClip, sp->DrawAlphaNoClip(0, 0, dst))
OP(DrawAlphaBlendNoClip, sp->DrawAlphaBlendNoClip(0, 0, 128, dst))
OP(DrawKeyNoClip, sp->DrawKeyNoClip(0, 0, dst))
OP(DrawLayerNoClip, sp->DrawLayerNoClip(0, 0, dst))
OP(DrawLayerBlendNoClip, sp->DrawLayerBlendNoClip(0, 0, 128, dst))
OP(DrawAdd, sp->DrawAdd(0, 0, dst))
OP(DrawBlendScaled, sp->DrawBlendScaled(0, 0, 1.0f, 128, dst))
OP(DrawBlend, sp->DrawBlend(0, 0, 128, dst))
OP(DrawAlphaScaled, sp->DrawAlphaScaled(0, 0, 1.0f, dst))
OP(DrawAlpha, sp->DrawAlpha(0, 0, dst))
OP(DrawAlphaBlendScaled, sp->DrawAlphaBlendScaled(0, 0, 1.0f, 128, dst))
OP(DrawAlphaBlend, sp->DrawAlphaBlend(0, 0, 128, dst))
OP(DrawKey, sp->DrawKey(0, 0, dst))
OP(DrawLayerScaled, sp->DrawLayerScaled(0, 0, 1.0f, dst))
OP(DrawLayer, sp->DrawLayer(0, 0, dst))
OP(DrawLayerBlend, sp->DrawLayerBlend(0, 0, 128, dst))

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

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RunTimesReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto base = reporter.times.find("BM_memcpy");
    if (base == reporter.times.end() || base->second <= 0)
        return 0;
    const double memcpyTime = base->second;
    printf("\n%-24s %12s %12s %10s %10s  (processor ns per call)\n", "operation (640x250)", "plain/memcpy",
           "MMX/memcpy", "plain", "MMX");
    printf("%-24s %12s %12s %10.1f %10s\n", "memcpy", "1.00", "", memcpyTime, "");
    const char* ops[] = {"Draw", "DrawNoClip", "DrawAddNoClip", "DrawBlendNoClip", "DrawAlphaNoClip",
                         "DrawAlphaBlendNoClip", "DrawKeyNoClip", "DrawLayerNoClip", "DrawLayerBlendNoClip",
                         "DrawAdd", "DrawBlendScaled", "DrawBlend", "DrawAlphaScaled", "DrawAlpha",
                         "DrawAlphaBlendScaled", "DrawAlphaBlend", "DrawKey", "DrawLayerScaled", "DrawLayer",
                         "DrawLayerBlend"};
    for (const char* op : ops) {
        std::string name = std::string("BM_") + op;
        auto p = reporter.times.find(name + "/0"), m = reporter.times.find(name + "/1");
        if (p == reporter.times.end() || m == reporter.times.end())
            continue;
        printf("%-24s %12.2f %12.2f %10.1f %10.1f\n", op, p->second / memcpyTime, m->second / memcpyTime, p->second,
               m->second);
    }
    for (const char* op : {"x2dAddSpan", "x2dSubSpan"}) {
        auto p = reporter.times.find(std::string("BM_") + op);
        if (p != reporter.times.end())
            printf("%-24s %12.2f %12s %10.1f\n", op, p->second / memcpyTime, "", p->second);
    }
    benchmark::Shutdown();
    return 0;
}
