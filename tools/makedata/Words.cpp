// Type: captions, the logo, letters, role strips, names and closing words.
#include <algorithm>

#include "tools/makedata/Looks.h"
#include "tools/makedata/Type.h"

namespace qhd {

namespace {

void PlaceMax(Mask& dst, const Mask& src, int x, int y, float weight = 1.0f)
{
    for (int j = 0; j < src.h; ++j)
        for (int i = 0; i < src.w; ++i)
            if (x + i >= 0 && y + j >= 0 && x + i < dst.w && y + j < dst.h) {
                float& d = dst.At(x + i, y + j);
                d = std::max(d, src.At(i, j) * weight);
            }
}

} // namespace

int CaptionWidth(int x)
{
    // The effects draw each caption at a fixed x; a caption this wide, its
    // words in the middle on black, reads centred under the letterbox.
    return 2 * (320 - x);
}

Canvas Caption(const std::string& text, int width, int maxH)
{
    // Bold type with room for descenders; at most maxH rows in all.
    Text t = FitText(text, Face::SansBold, width - 8, maxH - 4, 16.0f, 0.04f);
    int w = width;
    Canvas c(w, maxH, Hex(0x000000));
    int x = (w - t.mask.w) / 2, y = (maxH - t.mask.h) / 2;
    for (int j = 0; j < t.mask.h; ++j) {
        Color ink = Mix(Hex(0xfffaf2), Hex(pal::LampSoft), float(j) / std::max(1, t.mask.h - 1));
        for (int i = 0; i < t.mask.w; ++i)
            c.Blend(x + i, y + j, ink, t.mask.At(i, j));
    }
    return c;
}

float LetterSetSize(const std::string& letters, int w, int h, int face, float stretch)
{
    Face f = Face(face);
    auto fits = [&](float size) {
        for (char ch : letters) {
            Text t = RenderText(std::string(1, ch), f, size);
            if (t.mask.w * stretch > w - 2 || t.mask.h > h - 2)
                return false;
        }
        return true;
    };
    float lo = 4.0f, hi = 400.0f;
    for (int i = 0; i < 16; ++i) {
        float mid = (lo + hi) * 0.5f;
        (fits(mid) ? lo : hi) = mid;
    }
    return lo;
}

std::vector<Mask> LetterSet(const std::string& letters, int w, int h, int face, float stretch)
{
    Face f = Face(face);
    float lo = LetterSetSize(letters, w, h, face, stretch);
    // One baseline for all: capitals are centred in the box.
    Text cap = RenderText("H", f, lo);
    int baseline = (h + cap.mask.h) / 2;
    std::vector<Mask> out;
    for (char ch : letters) {
        Text t = RenderText(std::string(1, ch), f, lo);
        Mask g = t.mask;
        if (stretch != 1.0f && g.w > 1)
            g = Resize(g, std::max(1, int(std::lround(g.w * stretch))), g.h);
        Mask box(w, h);
        int y = std::min(std::max(1, baseline - t.baseline), h - 1 - g.h);
        Place(box, g, (w - g.w) / 2, y);
        out.push_back(box);
    }
    return out;
}

Mask LogoLetters(const std::string& letters, int cellW, int cellH, int letterH, int middle)
{
    Mask m(cellW, cellH * int(letters.size()));
    std::vector<Mask> set = LetterSet(letters, cellW, letterH, int(Face::SansBold), 1.7f);
    for (size_t i = 0; i < set.size(); ++i)
        Place(m, set[i], 0, int(i) * cellH + middle - letterH / 2);
    return m;
}

Sprite ZoomLetter(const Mask& glyph, Color top, Color bottom)
{
    int w = glyph.w, h = glyph.h;
    Mask outline = glyph;
    Blur(outline, 2);
    for (float& v : outline.v)
        v = Clamp01(v * 3.0f);
    Canvas c(w, h);
    Mask a(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            Color fill = Mix(top, bottom, float(j) / h);
            float shine = Smooth(0.45f, 0.2f, float(j) / h) * 0.25f;
            fill = Add(fill, {shine, shine, shine});
            c.At(i, j) = Mix(Hex(0xffffff), fill, glyph.At(i, j));
            a.At(i, j) = std::max(glyph.At(i, j), outline.At(i, j));
        }
    return {c, a};
}

Mask RoleStrip(const std::string& word, int w, int h, int dx, int dy, int blur)
{
    Mask m(w, h);
    Text t = FitText(word, Face::CondensedBold, w, h - 4, 400.0f, 0.08f);
    Place(m, t.mask, (w - t.mask.w) / 2 + dx, (h - t.mask.h) / 2 + dy);
    if (blur > 0)
        Blur(m, blur);
    return m;
}

Mask LineMask(const std::string& text, int w, int h, bool bold, bool serif)
{
    Face face = serif ? (bold ? Face::SerifBold : Face::Serif) : (bold ? Face::SansBold : Face::Sans);
    Text t = FitText(text, face, w - 4, h - 2);
    Mask m(w, h);
    Place(m, t.mask, 2, (h - t.mask.h) / 2);
    return m;
}

Sprite NameList(const std::vector<std::pair<std::string, std::string>>& names, int w, int rowH)
{
    Canvas c(w, rowH * int(names.size()), Hex(0x101820));
    Mask m(w, rowH * int(names.size()));
    for (size_t i = 0; i < names.size(); ++i) {
        int top = int(i) * rowH;
        // Two lines on fixed baselines, well inside the row: each person is
        // shown through a view of exactly rowH rows.
        Text name = FitText(names[i].first, Face::SansBold, w - 12, 21, 21.0f);
        Text role = FitText(names[i].second, Face::Serif, w - 12, 11, 11.0f, 0.03f);
        const int nameBase = rowH * 20 / 44, roleBase = rowH * 34 / 44;
        Mask ink(w, rowH);
        Place(ink, name.mask, 4, nameBase - name.baseline);
        Mask small(w, rowH);
        Place(small, role.mask, 5, roleBase - role.baseline);
        // Shadow: the ink blurred and offset, so the names read over photos and wood.
        Mask shadow(w, rowH);
        PlaceMax(shadow, ink, 1, 1);
        PlaceMax(shadow, small, 1, 1);
        Blur(shadow, 1);
        for (int y = 0; y < rowH; ++y)
            for (int x = 0; x < w; ++x) {
                float a = ink.At(x, y), b = small.At(x, y), s = Clamp01(shadow.At(x, y) * 1.8f) * 0.75f;
                Color col = Hex(0x101820);
                col = Mix(col, Hex(0xfff6ea), a);
                col = Mix(col, Hex(pal::LampSoft), b);
                c.At(x, top + y) = col;
                m.At(x, top + y) = std::max(std::max(a, b), s);
            }
    }
    return {c, m};
}

Canvas WordPicture(const std::string& word, int w, int h, Color ink, Color paper, bool serif)
{
    Text t = FitText(word, serif ? Face::SerifBold : Face::SansBold, w - 4, h - 2);
    Canvas c(w, h, paper);
    int x = 2, y = h - t.mask.h - 1;
    for (int j = 0; j < t.mask.h; ++j) {
        Color col = Mix(ink, Mix(ink, Hex(pal::Dusk), 0.7f), float(j) / t.mask.h);
        for (int i = 0; i < t.mask.w; ++i)
            c.Blend(x + i, y + j, col, t.mask.At(i, j));
    }
    return c;
}

Sprite SmallLogo(int w, int h)
{
    Canvas c(w, h, Hex(0xffffff));
    Mask m(w, h);
    // A little lighthouse mark on the left, the group's name beside it.
    float s = h / 48.0f, lx = 18 * s;
    Sdf tower = Polygon({lx - 7 * s, 44 * s, lx - 4 * s, 14 * s, lx + 4 * s, 14 * s, lx + 7 * s, 44 * s});
    Sdf lamp = Box(lx - 4 * s, 6 * s, lx + 4 * s, 14 * s, 1);
    Sdf roof = Polygon({lx - 6 * s, 7 * s, lx, 1 * s, lx + 6 * s, 7 * s});
    Mask mark(w, h);
    Stamp(mark, Union(tower, Union(lamp, roof)));
    Erase(mark, Box(lx - 10 * s, 24 * s, lx + 10 * s, 28 * s));
    Text name = FitText("SALT MARINE", Face::SansBold, w - int(40 * s), int(22 * s), 400.0f, 0.1f);
    Text tag = FitText("demo group", Face::Serif, w - int(40 * s), int(12 * s), 400.0f, 0.2f);
    Mask words(w, h);
    Place(words, name.mask, int(36 * s), int(8 * s));
    Place(words, tag.mask, int(37 * s), int(8 * s) + name.mask.h + int(4 * s));
    Mask all = mark;
    for (size_t i = 0; i < all.v.size(); ++i)
        all.v[i] = std::max(all.v[i], words.v[i]);
    Mask shadow(w, h);
    PlaceMax(shadow, all, 2, 2);
    Blur(shadow, 2);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float a = all.At(x, y);
            Color ink = mark.At(x, y) > 0 ? Mix(Hex(0xffffff), Hex(pal::LampLight), float(y) / h) : Hex(0xfffaf2);
            c.At(x, y) = Mix(Hex(0x0a0e1c), ink, a);
            m.At(x, y) = std::max(a, Clamp01(shadow.At(x, y) * 1.5f) * 0.6f);
        }
    return {c, m};
}

Sprite NamePlate(int w, int h, const std::string& handle, const std::string& role, const std::string& mail)
{
    Canvas c(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            float n = Fbm(x / 40.0f, y / 40.0f, 808, 4);
            c.At(x, y) = Mix(Hex(0x23305a), Hex(0x3a4a7a), n * 0.6f + float(y) / h * 0.4f);
        }
    Fill(c, Box(0, 0, 6, float(h)), Hex(pal::Lamp));
    Glow(c, w * 0.7f, h * 0.2f, w * 0.5f, Hex(0xe487fa), 0.12f);
    Text name = FitText(handle, Face::SerifBold, w - 30, 40);
    Text r = FitText(role, Face::CondensedBold, w - 30, 14, 14.0f, 0.25f);
    Text ml = FitText(mail, Face::Sans, w - 24, 12, 12.0f);
    Paint(c, r.mask, 18, h - 92, Hex(pal::LampSoft));
    Paint(c, name.mask, 18, h - 74, Hex(0xfff6ea));
    Paint(c, ml.mask, 18, h - 24, Hex(0xa9fdff));
    Mask m(w, h, 1.0f);
    return {c, m};
}

} // namespace qhd
