#include "tools/makedata/Bundle.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include <minizip/zip.h>
#include <sys/stat.h>

#include "tools/makedata/Type.h"

namespace qhd {

// The show looks names up without regard to letter case.
static bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

Entry& Bundle::Add(const std::string& name, const std::string& what, const std::string& format, int w, int h)
{
    if (Find(name))
        throw std::runtime_error("two entries named " + name);
    entries.push_back({});
    Entry& e = entries.back();
    e.name = name;
    e.what = what;
    e.format = format;
    e.w = w;
    e.h = h;
    return e;
}

void Bundle::Jpeg(const std::string& name, const std::string& what, const Canvas& c, int quality)
{
    Entry& e = Add(name, what, "JPEG (JFIF, 3 components)", c.w, c.h);
    e.bytes = EncodeJpeg(c, quality);
    e.preview = c;
}

void Bundle::Tga24(const std::string& name, const std::string& what, const Canvas& c)
{
    Entry& e = Add(name, what, "TGA 24-bit", c.w, c.h);
    e.bytes = EncodeTga24(c);
    e.preview = c;
}

void Bundle::Tga32(const std::string& name, const std::string& what, const Canvas& c, const Mask& alpha)
{
    Entry& e = Add(name, what, "TGA 32-bit", c.w, c.h);
    e.bytes = EncodeTga32(c, alpha);
    e.preview = c;
}

static Canvas PreviewOf(const Indexed& img)
{
    Canvas c(img.w, img.h);
    for (size_t i = 0; i < img.index.size(); ++i) {
        const uint8_t* p = &img.palette[size_t(img.index[i]) * 3];
        c.px[i] = {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f};
    }
    return c;
}

void Bundle::GifMask(const std::string& name, const std::string& what, const Mask& m)
{
    Indexed img = MaskToIndexed(m);
    Entry& e = Add(name, what, "GIF 8-bit weights", m.w, m.h);
    e.bytes = EncodeGif(img);
    e.preview = PreviewOf(img);
}

void Bundle::GifPicture(const std::string& name, const std::string& what, const Canvas& c)
{
    Indexed img = Quantize(c);
    Entry& e = Add(name, what, "GIF 256 colours", c.w, c.h);
    e.bytes = EncodeGif(img);
    e.preview = PreviewOf(img);
}

void Bundle::GifIndexed(const std::string& name, const std::string& what, const Indexed& img)
{
    Entry& e = Add(name, what, "GIF 256 colours", img.w, img.h);
    e.bytes = EncodeGif(img);
    e.preview = PreviewOf(img);
}

void Bundle::Xvd(const std::string& name, const std::string& what, const std::vector<Canvas>& frames)
{
    Entry& e = Add(name, what, "XVD, JPEG frames", frames.at(0).w, frames.at(0).h);
    e.bytes = EncodeXvd(frames);
    e.frames = int(frames.size());
    // The sheet shows every frame of the loop side by side.
    int n = int(frames.size());
    e.preview = Canvas(frames[0].w, frames[0].h * n);
    for (int i = 0; i < n; ++i)
        Place(e.preview, frames[size_t(i)], 0, frames[0].h * i);
    e.cell = frames[0].h;
}

void Bundle::Pcx24(const std::string& name, const std::string& what, const Canvas& c)
{
    Entry& e = Add(name, what, "PCX 24-bit, three planes", c.w, c.h);
    e.bytes = EncodePcx24(c);
    e.preview = c;
}

void Bundle::Raw(const std::string& name, const std::string& what, const std::string& format, Bytes bytes)
{
    Entry& e = Add(name, what, format, 0, 0);
    e.bytes = std::move(bytes);
}

void Bundle::PreviewAlpha(const Mask& alpha)
{
    Canvas& p = entries.back().preview;
    if (alpha.w != p.w || alpha.h != p.h)
        throw std::runtime_error("alpha channel of " + entries.back().name + " differs in size");
    for (int y = 0; y < p.h; ++y)
        for (int x = 0; x < p.w; ++x) {
            Color check = ((x / 8 + y / 8) & 1) ? Hex(0x3a3f46) : Hex(0x2a2e34);
            p.At(x, y) = Mix(check, p.At(x, y), alpha.At(x, y));
        }
}

const Entry* Bundle::Find(const std::string& name) const
{
    for (const Entry& e : entries)
        if (SameName(e.name, name))
            return &e;
    return nullptr;
}

void WriteArchive(const std::string& path, const Bundle& b)
{
    std::string tmp = path + ".part";
    zipFile zf = zipOpen(tmp.c_str(), APPEND_STATUS_CREATE);
    if (!zf)
        throw std::runtime_error("cannot create " + tmp);
    for (const Entry& e : b.entries) {
        if (e.disk)
            continue;
        zip_fileinfo info = {};
        // One fixed date for every entry: the archive must not depend on the clock.
        info.tmz_date.tm_year = 2026;
        info.tmz_date.tm_mon = 0;
        info.tmz_date.tm_mday = 1;
        info.tmz_date.tm_hour = 12;
        info.dosDate = 0;
        if (zipOpenNewFileInZip(zf, e.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, 9) != ZIP_OK ||
            zipWriteInFileInZip(zf, e.bytes.data(), unsigned(e.bytes.size())) != ZIP_OK ||
            zipCloseFileInZip(zf) != ZIP_OK) {
            zipClose(zf, nullptr);
            std::remove(tmp.c_str());
            throw std::runtime_error("cannot store " + e.name);
        }
    }
    if (zipClose(zf, nullptr) != ZIP_OK)
        throw std::runtime_error("cannot finish " + tmp);
    if (std::rename(tmp.c_str(), path.c_str()) != 0)
        throw std::runtime_error("cannot move the archive to " + path);
}

void WriteDiskFiles(const std::string& folder, const Bundle& b)
{
    for (const Entry& e : b.entries) {
        if (!e.disk)
            continue;
        std::string path = folder.empty() ? e.name : folder + "/" + e.name;
        for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
            std::string dir = path.substr(0, slash);
            if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
                throw std::runtime_error("cannot make the folder " + dir);
        }
        WriteFile(path, e.bytes);
    }
}

std::string Manifest(const Bundle& b)
{
    std::string out = "# demo.pak: name | what it is | format | size | bytes\n";
    char line[512];
    for (const Entry& e : b.entries) {
        std::string size = "-";
        if (e.w > 0) {
            std::snprintf(line, sizeof line, "%d x %d", e.w, e.h);
            size = line;
            if (e.frames > 0) {
                std::snprintf(line, sizeof line, "%s, %d frames", size.c_str(), e.frames);
                size = line;
            } else if (e.cell > 0) {
                std::snprintf(line, sizeof line, "%s, %d pictures of %d x %d", size.c_str(), e.h / e.cell, e.w,
                              e.cell);
                size = line;
            }
        }
        std::string what = e.disk ? e.what + " (a file beside the archive)" : e.what;
        std::snprintf(line, sizeof line, "%-14s | %s | %s | %s | %zu\n", e.name.c_str(), what.c_str(),
                      e.format.c_str(), size.c_str(), e.bytes.size());
        out += line;
    }
    return out;
}

namespace {
struct Tile {
    const Entry* entry;
    int w, h;     // drawn size of the picture part
    int columns;  // strips are laid out in columns of cells
    int rowsPerColumn;
};
} // namespace

Canvas ContactSheet(const Bundle& b, const std::vector<std::string>& only)
{
    const int sheetW = 1400, pad = 10, label = 30;
    std::vector<Tile> tiles;
    for (const Entry& e : b.entries) {
        if (e.preview.w == 0)
            continue;
        if (!only.empty() && std::find(only.begin(), only.end(), e.name) == only.end())
            continue;
        Tile t{&e, e.preview.w, e.preview.h, 1, 0};
        if (e.cell > 0 && e.preview.h > 400) {
            int cells = e.preview.h / e.cell;
            t.rowsPerColumn = std::max(1, 360 / e.cell);
            t.columns = (cells + t.rowsPerColumn - 1) / t.rowsPerColumn;
            t.w = t.columns * (e.preview.w + 2);
            t.h = t.rowsPerColumn * e.cell;
        }
        tiles.push_back(t);
    }
    // Shelf layout: left to right, a new shelf when the row is full.
    struct Spot {
        int x, y;
    };
    std::vector<Spot> spots;
    int x = pad, y = pad, shelf = 0;
    for (const Tile& t : tiles) {
        int cw = std::max(t.w, 120);
        if (x + cw + pad > sheetW && x > pad) {
            x = pad;
            y += shelf + label + pad;
            shelf = 0;
        }
        spots.push_back({x, y});
        x += cw + pad;
        shelf = std::max(shelf, t.h);
    }
    int sheetH = y + shelf + label + pad;
    Canvas sheet(sheetW, sheetH, Hex(0x202428));
    for (size_t i = 0; i < tiles.size(); ++i) {
        const Tile& t = tiles[i];
        const Entry& e = *t.entry;
        Spot s = spots[i];
        if (t.rowsPerColumn == 0) {
            Place(sheet, e.preview, s.x, s.y);
        } else {
            int cells = e.preview.h / e.cell;
            for (int c = 0; c < cells; ++c) {
                Canvas cell = Crop(e.preview, 0, c * e.cell, e.preview.w, e.cell);
                Place(sheet, cell, s.x + (c / t.rowsPerColumn) * (e.preview.w + 2), s.y + (c % t.rowsPerColumn) * e.cell);
            }
        }
        char text[128];
        std::snprintf(text, sizeof text, e.disk ? "%dx%d, disk file" : "%dx%d", e.w, e.h);
        Text name = RenderText(e.name, Face::SansBold, 12);
        Text size = RenderText(text, Face::Sans, 11);
        Paint(sheet, name.mask, s.x, s.y + t.h + 13 - name.baseline, Hex(0xF0F0F0));
        Paint(sheet, size.mask, s.x, s.y + t.h + 27 - size.baseline, Hex(0xA0B0C0));
    }
    return sheet;
}

} // namespace qhd
