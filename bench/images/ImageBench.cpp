// Picture decoding speed against baselines measured in the same run:
// our GIF decoder against giflib on the same files, our JPEG memory source
// against the library's own, and archive reads of a 1 MB entry against a
// memcpy of the same bytes. Ratios (ours / baseline, lower is faster) are
// printed after the table.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gif_lib.h>
#include <jpeglib.h>
#include <minizip/zip.h>

#include "bench/common/RatioReporter.h"
#include "Ximage/Ximage.h"
#include "files/xFileIO.h"
#include "tests/images/ImageWriters.h"

using qhtest::Bytes;

namespace {

// Soft shapes and text-like strokes, as the show's alpha pictures; or noise.
Bytes picture(int w, int h, bool noisy)
{
    Bytes b((size_t)w * h);
    uint32_t seed = 99;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t v;
            if (noisy) {
                seed = seed * 1664525u + 1013904223u;
                v = (uint8_t)(seed >> 24);
            } else {
                int dx = x % 80 - 40, dy = y % 60 - 30;
                int d = dx * dx + dy * dy;
                v = (uint8_t)(d < 400 ? 255 - d / 2 : ((x / 6 + y / 9) % 7 == 0 ? 200 : 0));
            }
            b[(size_t)y * w + x] = v;
        }
    return b;
}

struct Sink {
    Bytes bytes;
};

int writeSink(GifFileType* gif, const GifByteType* data, int n)
{
    ((Sink*)gif->UserData)->bytes.insert(((Sink*)gif->UserData)->bytes.end(), data, data + n);
    return n;
}

Bytes giflibWrite(int w, int h, const Bytes& px)
{
    Sink sink;
    int error;
    GifFileType* gif = EGifOpen(&sink, writeSink, &error);
    GifColorType colours[256];
    for (int i = 0; i < 256; i++)
        colours[i] = {(GifByteType)i, (GifByteType)i, (GifByteType)i};
    ColorMapObject* map = GifMakeMapObject(256, colours);
    EGifPutScreenDesc(gif, w, h, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
    for (int y = 0; y < h; y++)
        EGifPutLine(gif, (GifPixelType*)px.data() + (size_t)y * w, w);
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return sink.bytes;
}

struct Source {
    const Bytes* bytes;
    size_t pos;
};

int readSource(GifFileType* gif, GifByteType* data, int n)
{
    Source* s = (Source*)gif->UserData;
    size_t k = std::min((size_t)n, s->bytes->size() - s->pos);
    memcpy(data, s->bytes->data() + s->pos, k);
    s->pos += k;
    return (int)k;
}

const Bytes& gifFile(int w, bool noisy)
{
    static std::map<std::pair<int, bool>, Bytes> files;
    auto key = std::make_pair(w, noisy);
    if (!files.count(key))
        files[key] = giflibWrite(w, 250, picture(w, 250, noisy));
    return files[key];
}

void BM_GifOurs(benchmark::State& state)
{
    const Bytes& file = gifFile((int)state.range(0), state.range(1) != 0);
    xFile f = {(char*)"bench.gif", (int32_t)file.size(), (uint8_t*)file.data()};
    for (auto _ : state) {
        xImage img;
        xGifLoad(&f, img);
        benchmark::DoNotOptimize(img.pixels[0]);
        free(img.pixels);
        free(img.palette);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * 250);
}

void BM_GifGiflib(benchmark::State& state)
{
    const Bytes& file = gifFile((int)state.range(0), state.range(1) != 0);
    int w = (int)state.range(0);
    for (auto _ : state) {
        Source src = {&file, 0};
        int error;
        GifFileType* gif = DGifOpen(&src, readSource, &error);
        GifRecordType type;
        uint8_t* pixels = nullptr;
        do {
            DGifGetRecordType(gif, &type);
            if (type == IMAGE_DESC_RECORD_TYPE) {
                DGifGetImageDesc(gif);
                pixels = (uint8_t*)malloc((size_t)w * 250);
                for (int y = 0; y < 250; y++)
                    DGifGetLine(gif, pixels + (size_t)y * w, w);
                break;
            }
        } while (type != TERMINATE_RECORD_TYPE);
        DGifCloseFile(gif, &error);
        benchmark::DoNotOptimize(pixels[0]);
        free(pixels);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * 250);
}

const Bytes& jpegFile()
{
    static Bytes file;
    if (file.empty()) {
        Bytes rgb((size_t)640 * 480 * 3);
        for (int y = 0; y < 480; y++)
            for (int x = 0; x < 640; x++) {
                uint8_t* p = &rgb[((size_t)y * 640 + x) * 3];
                p[0] = (uint8_t)(x / 3 + y / 7);
                p[1] = (uint8_t)((x * y) >> 8);
                p[2] = (uint8_t)(x ^ y);
            }
        file = qhtest::makeJpeg(640, 480, 3, rgb, 85);
    }
    return file;
}

void BM_JpegOurs(benchmark::State& state)
{
    const Bytes& file = jpegFile();
    xFile f = {(char*)"bench.jpg", (int32_t)file.size(), (uint8_t*)file.data()};
    for (auto _ : state) {
        xImage img;
        xJpegLoad(&f, img);
        benchmark::DoNotOptimize(img.pixels[0]);
        free(img.pixels);
        free(img.palette);
    }
    state.SetBytesProcessed(state.iterations() * 640 * 480 * 3);
    state.counters["compressed_bytes"] = (double)file.size();
}

void BM_JpegLibrarySource(benchmark::State& state)
{
    const Bytes& file = jpegFile();
    for (auto _ : state) {
        jpeg_decompress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_decompress(&c);
        jpeg_mem_src(&c, file.data(), (unsigned long)file.size());
        jpeg_read_header(&c, TRUE);
        jpeg_start_decompress(&c);
        size_t row = (size_t)c.output_width * c.output_components;
        uint8_t* pixels = (uint8_t*)malloc(row * c.output_height);
        while (c.output_scanline < c.output_height) {
            JSAMPROW r = pixels + row * c.output_scanline;
            jpeg_read_scanlines(&c, &r, 1);
        }
        jpeg_finish_decompress(&c);
        jpeg_destroy_decompress(&c);
        benchmark::DoNotOptimize(pixels[0]);
        free(pixels);
    }
    state.SetBytesProcessed(state.iterations() * 640 * 480 * 3);
}

// A ZIP archive in memory holding one 1 MB entry, stored or deflated.
const Bytes& archive(bool deflated)
{
    static Bytes files[2];
    Bytes& a = files[deflated];
    if (a.empty()) {
        Bytes entry = picture(1024, 1024, false);
        for (size_t i = 0; i < entry.size(); i += 3)
            entry[i] ^= (uint8_t)(i >> 9);
        std::string path = scratchFile(deflated ? "deflated.zip" : "stored.zip");
        zipFile zip = zipOpen(path.c_str(), APPEND_STATUS_CREATE);
        zip_fileinfo info;
        memset(&info, 0, sizeof info);
        zipOpenNewFileInZip(zip, "big.bin", &info, nullptr, 0, nullptr, 0, nullptr, deflated ? Z_DEFLATED : 0,
                            deflated ? 6 : 0);
        zipWriteInFileInZip(zip, entry.data(), (unsigned)entry.size());
        zipCloseFileInZip(zip);
        zipClose(zip, nullptr);
        std::string bytes = readWholeFile(path);
        a.assign(bytes.begin(), bytes.end());
    }
    return a;
}

void BM_ArchiveRead(benchmark::State& state)
{
    const Bytes& a = archive(state.range(0) != 0);
    xFileIO io(1);
    if (io.OpenMemory(a.data(), a.size()) != 0)
        state.SkipWithError("archive does not open");
    for (auto _ : state) {
        xFile f;
        if (io.Read("big.bin", &f) != 0)
            state.SkipWithError("entry does not read");
        benchmark::DoNotOptimize(f.data[0]);
        io.Free(&f);
    }
    state.SetBytesProcessed(state.iterations() * 1024 * 1024);
}

void BM_Memcpy1MB(benchmark::State& state)
{
    Bytes src = picture(1024, 1024, false);
    for (auto _ : state) {
        uint8_t* dst = (uint8_t*)malloc(src.size());
        memcpy(dst, src.data(), src.size());
        benchmark::DoNotOptimize(dst[src.size() - 1]);
        free(dst);
    }
    state.SetBytesProcessed(state.iterations() * 1024 * 1024);
}

BENCHMARK(BM_GifOurs)->Args({640, 0})->Args({1200, 0})->Args({640, 1})->Args({1200, 1});
BENCHMARK(BM_GifGiflib)->Args({640, 0})->Args({1200, 0})->Args({640, 1})->Args({1200, 1});
BENCHMARK(BM_JpegOurs);
BENCHMARK(BM_JpegLibrarySource);
BENCHMARK(BM_ArchiveRead)->Arg(0)->Arg(1);
BENCHMARK(BM_Memcpy1MB);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    qhbench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    printf("\n");
    reporter.ratio("GIF 640x250 shapes, ours/giflib", "BM_GifOurs/640/0", "BM_GifGiflib/640/0");
    reporter.ratio("GIF 1200x250 shapes, ours/giflib", "BM_GifOurs/1200/0", "BM_GifGiflib/1200/0");
    reporter.ratio("GIF 640x250 noise, ours/giflib", "BM_GifOurs/640/1", "BM_GifGiflib/640/1");
    reporter.ratio("GIF 1200x250 noise, ours/giflib", "BM_GifOurs/1200/1", "BM_GifGiflib/1200/1");
    reporter.ratio("JPEG 640x480, ours/library source", "BM_JpegOurs", "BM_JpegLibrarySource");
    reporter.ratio("archive 1 MB stored, read/memcpy", "BM_ArchiveRead/0", "BM_Memcpy1MB");
    reporter.ratio("archive 1 MB deflated, read/memcpy", "BM_ArchiveRead/1", "BM_Memcpy1MB");
    benchmark::Shutdown();
    return 0;
}
