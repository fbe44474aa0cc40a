#include "tools/makedata/Type.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <stdexcept>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

namespace qhd {

static std::string g_fontDir = "/usr/share/fonts/truetype/dejavu";

void SetFontDir(const std::string& dir) { g_fontDir = dir; }

static const char* FaceFile(Face f)
{
    switch (f) {
    case Face::Sans: return "DejaVuSans.ttf";
    case Face::SansBold: return "DejaVuSans-Bold.ttf";
    case Face::Serif: return "DejaVuSerif.ttf";
    case Face::SerifBold: return "DejaVuSerif-Bold.ttf";
    case Face::CondensedBold: return "DejaVuSansCondensed-Bold.ttf";
    case Face::Mono: return "DejaVuSansMono.ttf";
    }
    return "DejaVuSans.ttf";
}

static FT_Face Load(Face f)
{
    static FT_Library lib = nullptr;
    static std::map<Face, FT_Face> faces;
    if (!lib && FT_Init_FreeType(&lib))
        throw std::runtime_error("FreeType does not start");
    auto it = faces.find(f);
    if (it != faces.end())
        return it->second;
    const char* env = std::getenv("QH_FONT_DIR");
    std::string path = (env && *env ? std::string(env) : g_fontDir) + "/" + FaceFile(f);
    FT_Face face = nullptr;
    if (FT_New_Face(lib, path.c_str(), 0, &face))
        throw std::runtime_error("cannot open font " + path);
    faces[f] = face;
    return face;
}

Text RenderText(const std::string& text, Face face, float pixelSize, float tracking)
{
    FT_Face ft = Load(face);
    FT_Set_Char_Size(ft, 0, FT_F26Dot6(pixelSize * 64.0f + 0.5f), 72, 72);
    // First pass: where the ink lands, relative to the pen on the baseline.
    struct Glyph {
        int x, y, w, h;
        std::vector<uint8_t> bits;
    };
    std::vector<Glyph> glyphs;
    long pen = 0; // 26.6
    FT_UInt prev = 0;
    int minX = 1 << 30, minY = 1 << 30, maxX = -(1 << 30), maxY = -(1 << 30);
    for (unsigned char ch : text) {
        FT_UInt gi = FT_Get_Char_Index(ft, ch);
        if (prev && gi && FT_HAS_KERNING(ft)) {
            FT_Vector k;
            FT_Get_Kerning(ft, prev, gi, FT_KERNING_DEFAULT, &k);
            pen += k.x;
        }
        if (FT_Load_Glyph(ft, gi, FT_LOAD_DEFAULT | FT_LOAD_NO_HINTING) || FT_Render_Glyph(ft->glyph, FT_RENDER_MODE_NORMAL))
            throw std::runtime_error("cannot render a glyph");
        FT_GlyphSlot g = ft->glyph;
        Glyph out;
        out.x = int((pen + 32) >> 6) + g->bitmap_left;
        out.y = -g->bitmap_top;
        out.w = int(g->bitmap.width);
        out.h = int(g->bitmap.rows);
        for (int r = 0; r < out.h; ++r)
            for (int c = 0; c < out.w; ++c)
                out.bits.push_back(g->bitmap.buffer[r * g->bitmap.pitch + c]);
        if (out.w && out.h) {
            minX = std::min(minX, out.x);
            minY = std::min(minY, out.y);
            maxX = std::max(maxX, out.x + out.w);
            maxY = std::max(maxY, out.y + out.h);
        }
        glyphs.push_back(std::move(out));
        pen += g->advance.x + long(tracking * pixelSize * 64.0f);
        prev = gi;
    }
    Text t;
    t.advance = int((pen + 32) >> 6);
    if (maxX <= minX) {
        t.mask = Mask(1, 1);
        return t;
    }
    t.mask = Mask(maxX - minX, maxY - minY);
    t.baseline = -minY;
    for (const Glyph& g : glyphs)
        for (int r = 0; r < g.h; ++r)
            for (int c = 0; c < g.w; ++c) {
                float& m = t.mask.At(g.x - minX + c, g.y - minY + r);
                m = std::min(1.0f, m + g.bits[size_t(r) * g.w + c] / 255.0f);
            }
    return t;
}

Text FitText(const std::string& text, Face face, int w, int h, float maxSize, float tracking)
{
    float lo = 4.0f, hi = maxSize;
    Text best = RenderText(text, face, lo, tracking);
    for (int i = 0; i < 14; ++i) {
        float mid = (lo + hi) * 0.5f;
        Text t = RenderText(text, face, mid, tracking);
        if (t.mask.w <= w && t.mask.h <= h) {
            best = std::move(t);
            lo = mid;
        } else {
            hi = mid;
        }
    }
    return best;
}

namespace {

struct OutlineWalk {
    std::vector<Contour> contours;
    float scale; // 26.6 units to pixels
    int steps;
    float x = 0, y = 0;

    void To(float nx, float ny)
    {
        x = nx;
        y = ny;
        contours.back().push_back({x, y});
    }
};

int MoveTo(const FT_Vector* to, void* user)
{
    OutlineWalk& w = *static_cast<OutlineWalk*>(user);
    w.contours.emplace_back();
    w.To(to->x * w.scale, to->y * w.scale);
    return 0;
}

int LineTo(const FT_Vector* to, void* user)
{
    OutlineWalk& w = *static_cast<OutlineWalk*>(user);
    w.To(to->x * w.scale, to->y * w.scale);
    return 0;
}

int ConicTo(const FT_Vector* c, const FT_Vector* to, void* user)
{
    OutlineWalk& w = *static_cast<OutlineWalk*>(user);
    float x0 = w.x, y0 = w.y, cx = c->x * w.scale, cy = c->y * w.scale, x1 = to->x * w.scale, y1 = to->y * w.scale;
    for (int i = 1; i <= w.steps; ++i) {
        float t = float(i) / w.steps, u = 1.0f - t;
        w.To(u * u * x0 + 2 * u * t * cx + t * t * x1, u * u * y0 + 2 * u * t * cy + t * t * y1);
    }
    return 0;
}

int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user)
{
    OutlineWalk& w = *static_cast<OutlineWalk*>(user);
    float x0 = w.x, y0 = w.y;
    float ax = c1->x * w.scale, ay = c1->y * w.scale, bx = c2->x * w.scale, by = c2->y * w.scale;
    float x1 = to->x * w.scale, y1 = to->y * w.scale;
    for (int i = 1; i <= w.steps; ++i) {
        float t = float(i) / w.steps, u = 1.0f - t;
        w.To(u * u * u * x0 + 3 * u * u * t * ax + 3 * u * t * t * bx + t * t * t * x1,
             u * u * u * y0 + 3 * u * u * t * ay + 3 * u * t * t * by + t * t * t * y1);
    }
    return 0;
}

} // namespace

std::vector<Contour> GlyphOutline(char ch, Face face, float pixelSize, int curveSteps)
{
    FT_Face ft = Load(face);
    FT_Set_Char_Size(ft, 0, FT_F26Dot6(pixelSize * 64.0f + 0.5f), 72, 72);
    FT_UInt gi = FT_Get_Char_Index(ft, (unsigned char)ch);
    if (FT_Load_Glyph(ft, gi, FT_LOAD_DEFAULT | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP))
        throw std::runtime_error("cannot load a glyph outline");
    OutlineWalk walk;
    walk.scale = 1.0f / 64.0f;
    walk.steps = std::max(1, curveSteps);
    FT_Outline_Funcs funcs = {};
    funcs.move_to = MoveTo;
    funcs.line_to = LineTo;
    funcs.conic_to = ConicTo;
    funcs.cubic_to = CubicTo;
    if (FT_Outline_Decompose(&ft->glyph->outline, &funcs, &walk))
        throw std::runtime_error("cannot walk a glyph outline");
    std::vector<Contour> out;
    for (Contour& c : walk.contours) {
        // Closing points and repeated points go.
        Contour clean;
        for (const auto& p : c)
            if (clean.empty() || std::fabs(p[0] - clean.back()[0]) + std::fabs(p[1] - clean.back()[1]) > 1e-4f)
                clean.push_back(p);
        while (clean.size() > 1 &&
               std::fabs(clean.front()[0] - clean.back()[0]) + std::fabs(clean.front()[1] - clean.back()[1]) <= 1e-4f)
            clean.pop_back();
        if (clean.size() >= 3)
            out.push_back(clean);
    }
    return out;
}

} // namespace qhd
