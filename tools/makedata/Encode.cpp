#include "tools/makedata/Encode.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>

namespace qhd {

static void Put16(Bytes& b, int v)
{
    b.push_back(uint8_t(v & 255));
    b.push_back(uint8_t((v >> 8) & 255));
}

static void Put32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t((v >> (8 * i)) & 255));
}

Bytes EncodeJpeg(const Canvas& c, int quality)
{
    std::vector<uint8_t> rgb = ToRgb8(c);
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(c.w);
    cinfo.image_height = JDIMENSION(c.h);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.write_JFIF_header = TRUE;
    cinfo.optimize_coding = TRUE;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = rgb.data() + size_t(cinfo.next_scanline) * c.w * 3;
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes result(out, out + outSize);
    jpeg_destroy_compress(&cinfo);
    free(out);
    return result;
}

static Bytes TgaHeader(int type, int mapLength, int w, int h, int depth, int descriptor)
{
    Bytes b;
    b.push_back(0);                       // no image ID: the first byte is never 0x0a
    b.push_back(mapLength ? 1 : 0);       // colour map present
    b.push_back(uint8_t(type));
    Put16(b, 0);                          // first map entry
    Put16(b, mapLength);
    b.push_back(mapLength ? 24 : 0);      // map entry size
    Put16(b, 0);
    Put16(b, 0);                          // origin
    Put16(b, w);
    Put16(b, h);
    b.push_back(uint8_t(depth));
    b.push_back(uint8_t(descriptor));     // bit 5 clear: rows stored bottom-up
    return b;
}

Bytes EncodeTga24(const Canvas& c)
{
    Bytes b = TgaHeader(2, 0, c.w, c.h, 24, 0);
    std::vector<uint8_t> rgb = ToRgb8(c);
    for (int y = c.h - 1; y >= 0; --y)
        for (int x = 0; x < c.w; ++x) {
            const uint8_t* p = &rgb[(size_t(y) * c.w + x) * 3];
            b.push_back(p[2]);
            b.push_back(p[1]);
            b.push_back(p[0]);
        }
    return b;
}

Bytes EncodePcx24(const Canvas& c)
{
    // Rows of an even number of bytes per plane.
    const int pitch = (c.w + 1) & ~1;
    Bytes b(128, 0);
    auto put16 = [&](size_t at, int v) {
        b[at] = uint8_t(v & 0xff);
        b[at + 1] = uint8_t((v >> 8) & 0xff);
    };
    b[0] = 10; // ZSoft
    b[1] = 5;  // version 3.0 and later
    b[2] = 1;  // run-length encoded
    b[3] = 8;  // bits per pixel and plane
    put16(8, c.w - 1);
    put16(10, c.h - 1);
    put16(12, 72);
    put16(14, 72);
    b[65] = 3;
    put16(66, pitch);
    put16(68, 1);
    std::vector<uint8_t> rgb = ToRgb8(c);
    std::vector<uint8_t> line(size_t(pitch) * 3);
    for (int y = 0; y < c.h; ++y) {
        std::fill(line.begin(), line.end(), 0);
        for (int p = 0; p < 3; ++p)
            for (int x = 0; x < c.w; ++x)
                line[size_t(p) * pitch + x] = rgb[(size_t(y) * c.w + x) * 3 + p];
        // Runs never cross the end of a row: up to 63 equal bytes in a count
        // byte (0xC0 | n) and the value; a single byte below 0xC0 stands alone.
        for (size_t i = 0; i < line.size();) {
            size_t n = 1;
            while (i + n < line.size() && n < 63 && line[i + n] == line[i])
                n++;
            if (n > 1 || line[i] >= 0xC0)
                b.push_back(uint8_t(0xC0 | n));
            b.push_back(line[i]);
            i += n;
        }
    }
    return b;
}

Bytes EncodeTga32(const Canvas& c, const Mask& alpha)
{
    if (alpha.w != c.w || alpha.h != c.h)
        throw std::runtime_error("alpha channel size differs from the picture");
    Bytes b = TgaHeader(2, 0, c.w, c.h, 32, 8);
    std::vector<uint8_t> rgb = ToRgb8(c);
    for (int y = c.h - 1; y >= 0; --y)
        for (int x = 0; x < c.w; ++x) {
            const uint8_t* p = &rgb[(size_t(y) * c.w + x) * 3];
            b.push_back(p[2]);
            b.push_back(p[1]);
            b.push_back(p[0]);
            b.push_back(ToByte(alpha.At(x, y)));
        }
    return b;
}

Bytes EncodeTga8(const Indexed& img)
{
    Bytes b = TgaHeader(1, 256, img.w, img.h, 8, 0);
    for (int i = 0; i < 256; ++i) {
        b.push_back(img.palette[3 * i + 2]);
        b.push_back(img.palette[3 * i + 1]);
        b.push_back(img.palette[3 * i]);
    }
    for (int y = img.h - 1; y >= 0; --y)
        b.insert(b.end(), img.index.begin() + size_t(y) * img.w, img.index.begin() + size_t(y + 1) * img.w);
    return b;
}

static int GifWrite(GifFileType* gif, const GifByteType* data, int len)
{
    Bytes* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + len);
    return len;
}

Bytes EncodeGif(const Indexed& img)
{
    if (img.palette.size() != 768 || img.index.size() != size_t(img.w) * img.h)
        throw std::runtime_error("GIF needs 256 colours and one index per pixel");
    Bytes out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, GifWrite, &err);
    if (!gif)
        throw std::runtime_error("EGifOpen failed");
    EGifSetGifVersion(gif, false);
    GifColorType colors[256];
    for (int i = 0; i < 256; ++i)
        colors[i] = {img.palette[3 * i], img.palette[3 * i + 1], img.palette[3 * i + 2]};
    ColorMapObject* map = GifMakeMapObject(256, colors);
    bool ok = EGifPutScreenDesc(gif, img.w, img.h, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, img.w, img.h, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> row(size_t(img.w));
    for (int y = 0; ok && y < img.h; ++y) {
        std::copy(img.index.begin() + size_t(y) * img.w, img.index.begin() + size_t(y + 1) * img.w, row.begin());
        ok = EGifPutLine(gif, row.data(), img.w) == GIF_OK;
    }
    GifFreeMapObject(map);
    if (EGifCloseFile(gif, &err) != GIF_OK || !ok)
        throw std::runtime_error("GIF encoding failed");
    return out;
}

Indexed MaskToIndexed(const Mask& m)
{
    Indexed img;
    img.w = m.w;
    img.h = m.h;
    img.index = ToGray8(m);
    img.palette.resize(768);
    for (int i = 0; i < 256; ++i)
        img.palette[3 * i] = img.palette[3 * i + 1] = img.palette[3 * i + 2] = uint8_t(i);
    return img;
}

namespace {
struct Bin {
    uint8_t r, g, b; // 6-bit cell of the colour cube
    uint32_t n;
    uint64_t sr, sg, sb; // sums of the exact 8-bit values that fell in the cell
};
struct BoxRange {
    size_t begin, end;
};
} // namespace

Indexed Quantize(const Canvas& c, bool dither)
{
    // Histogram at 6 bits per channel keeps the cut cheap; the palette takes
    // the exact mean of the colours in each box.
    std::vector<uint8_t> rgb = ToRgb8(c);
    {
        // Few enough colours: keep them exactly.
        std::map<uint32_t, uint8_t> exact;
        for (size_t i = 0; i < rgb.size() && exact.size() <= 256; i += 3)
            exact.emplace(uint32_t(rgb[i]) << 16 | rgb[i + 1] << 8 | rgb[i + 2], 0);
        if (exact.size() <= 256) {
            Indexed img;
            img.w = c.w;
            img.h = c.h;
            img.palette.assign(768, 0);
            uint8_t k = 0;
            for (auto& e : exact) {
                e.second = k;
                img.palette[3 * k] = uint8_t(e.first >> 16);
                img.palette[3 * k + 1] = uint8_t(e.first >> 8);
                img.palette[3 * k + 2] = uint8_t(e.first);
                ++k;
            }
            img.index.resize(size_t(c.w) * c.h);
            for (size_t i = 0; i < img.index.size(); ++i)
                img.index[i] = exact[uint32_t(rgb[3 * i]) << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2]];
            return img;
        }
    }
    std::vector<Bin> cells(1 << 18);
    for (size_t i = 0; i < rgb.size(); i += 3) {
        Bin& b = cells[(rgb[i] >> 2) << 12 | (rgb[i + 1] >> 2) << 6 | (rgb[i + 2] >> 2)];
        ++b.n;
        b.sr += rgb[i];
        b.sg += rgb[i + 1];
        b.sb += rgb[i + 2];
    }
    std::vector<Bin> bins;
    for (uint32_t k = 0; k < cells.size(); ++k)
        if (cells[k].n) {
            Bin b = cells[k];
            b.r = uint8_t(k >> 12);
            b.g = uint8_t((k >> 6) & 63);
            b.b = uint8_t(k & 63);
            bins.push_back(b);
        }
    std::vector<BoxRange> boxes{{0, bins.size()}};
    while (boxes.size() < 256) {
        // Split the box with the widest channel range (ties: the first one).
        int best = -1, bestRange = 0, bestAxis = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].end - boxes[i].begin < 2)
                continue;
            uint8_t lo[3] = {63, 63, 63}, hi[3] = {0, 0, 0};
            for (size_t k = boxes[i].begin; k < boxes[i].end; ++k) {
                const uint8_t v[3] = {bins[k].r, bins[k].g, bins[k].b};
                for (int a = 0; a < 3; ++a) {
                    lo[a] = std::min(lo[a], v[a]);
                    hi[a] = std::max(hi[a], v[a]);
                }
            }
            for (int a = 0; a < 3; ++a)
                if (hi[a] - lo[a] > bestRange) {
                    bestRange = hi[a] - lo[a];
                    best = int(i);
                    bestAxis = a;
                }
        }
        if (best < 0)
            break;
        BoxRange box = boxes[size_t(best)];
        auto key = [bestAxis](const Bin& b) { return bestAxis == 0 ? b.r : bestAxis == 1 ? b.g : b.b; };
        std::stable_sort(bins.begin() + long(box.begin), bins.begin() + long(box.end),
                         [&](const Bin& a, const Bin& b) { return key(a) < key(b); });
        uint64_t total = 0, run = 0;
        for (size_t k = box.begin; k < box.end; ++k)
            total += bins[k].n;
        size_t cut = box.begin + 1;
        for (size_t k = box.begin; k < box.end - 1; ++k) {
            run += bins[k].n;
            cut = k + 1;
            if (run * 2 >= total)
                break;
        }
        boxes[size_t(best)] = {box.begin, cut};
        boxes.push_back({cut, box.end});
    }
    Indexed img;
    img.w = c.w;
    img.h = c.h;
    img.palette.assign(768, 0);
    std::vector<Color> pal(256);
    for (size_t i = 0; i < boxes.size(); ++i) {
        uint64_t r = 0, g = 0, b = 0, n = 0;
        for (size_t k = boxes[i].begin; k < boxes[i].end; ++k) {
            r += bins[k].sr;
            g += bins[k].sg;
            b += bins[k].sb;
            n += bins[k].n;
        }
        if (n == 0)
            continue;
        img.palette[3 * i] = uint8_t((r + n / 2) / n);
        img.palette[3 * i + 1] = uint8_t((g + n / 2) / n);
        img.palette[3 * i + 2] = uint8_t((b + n / 2) / n);
    }
    for (int i = 0; i < 256; ++i)
        pal[size_t(i)] = {img.palette[3 * i] / 255.0f, img.palette[3 * i + 1] / 255.0f, img.palette[3 * i + 2] / 255.0f};
    int used = int(std::max<size_t>(boxes.size(), 1));
    img.index.assign(size_t(c.w) * c.h, 0);
    std::vector<Color> err(size_t(c.w + 2) * 2);
    for (int y = 0; y < c.h; ++y) {
        Color* cur = &err[size_t(y & 1) * (c.w + 2) + 1];
        Color* next = &err[size_t((y + 1) & 1) * (c.w + 2) + 1];
        for (int x = -1; x <= c.w; ++x)
            next[x] = {};
        for (int x = 0; x < c.w; ++x) {
            Color want = c.At(x, y);
            if (dither)
                want = Add(want, cur[x]);
            want = {Clamp01(want.r), Clamp01(want.g), Clamp01(want.b)};
            int best = 0;
            float bestD = 1e30f;
            for (int i = 0; i < used; ++i) {
                float dr = want.r - pal[size_t(i)].r, dg = want.g - pal[size_t(i)].g, db = want.b - pal[size_t(i)].b;
                float d = dr * dr * 0.3f + dg * dg * 0.59f + db * db * 0.11f;
                if (d < bestD) {
                    bestD = d;
                    best = i;
                }
            }
            img.index[size_t(y) * c.w + x] = uint8_t(best);
            if (dither) {
                Color e = {want.r - pal[size_t(best)].r, want.g - pal[size_t(best)].g, want.b - pal[size_t(best)].b};
                cur[x + 1] = Add(cur[x + 1], Scale(e, 7 / 16.0f));
                next[x - 1] = Add(next[x - 1], Scale(e, 3 / 16.0f));
                next[x] = Add(next[x], Scale(e, 5 / 16.0f));
                next[x + 1] = Add(next[x + 1], Scale(e, 1 / 16.0f));
            }
        }
    }
    return img;
}

Bytes EncodeXvd(const std::vector<Canvas>& frames, int quality)
{
    if (frames.empty())
        throw std::runtime_error("an animation needs frames");
    Bytes b = {'X', 'V', 'D', 0};
    Put32(b, uint32_t(frames[0].w));
    Put32(b, uint32_t(frames[0].h));
    Put32(b, uint32_t(frames.size()));
    for (const Canvas& f : frames) {
        if (f.w != frames[0].w || f.h != frames[0].h)
            throw std::runtime_error("animation frames differ in size");
        Bytes jpg = EncodeJpeg(f, quality);
        Put32(b, uint32_t(jpg.size()));
        b.insert(b.end(), jpg.begin(), jpg.end());
    }
    return b;
}

static void PngWrite(png_structp png, png_bytep data, png_size_t len)
{
    Bytes* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + len);
}

static void PngFlush(png_structp) {}

Bytes EncodePng(const Canvas& c)
{
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("PNG encoding failed");
    }
    png_set_write_fn(png, &out, PngWrite, PngFlush);
    png_set_IHDR(png, info, png_uint_32(c.w), png_uint_32(c.h), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> rgb = ToRgb8(c);
    for (int y = 0; y < c.h; ++y)
        png_write_row(png, rgb.data() + size_t(y) * c.w * 3);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

void WriteFile(const std::string& path, const Bytes& data)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok)
        throw std::runtime_error("short write to " + path);
}

} // namespace qhd
