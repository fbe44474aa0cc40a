// The plot of the frame costs: one panel per drawing path, show seconds
// across, ms up on a log scale; the parts' spans shaded and named, each
// frame a dot, each part's median, goal and pacing budget a line over its span.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

#include "bench/show/FrameCosts.h"
#include "tools/makedata/Canvas.h"
#include "tools/makedata/Encode.h"
#include "tools/makedata/Type.h"

namespace qhcost {
namespace {

using qhd::Canvas;
using qhd::Color;
using qhd::Hex;

const int kW = 1600, kLeft = 78, kRight = 24, kPanelH = 430, kTop = 56, kGap = 70;
const double kLowMs = 0.02, kHighMs = 100.0;

void text(Canvas& c, const std::string& s, int x, int baselineY, float size, Color col, bool bold = false,
          bool rightAligned = false)
{
    qhd::Text t = qhd::RenderText(s, bold ? qhd::Face::SansBold : qhd::Face::Sans, size);
    if (rightAligned)
        x -= t.mask.w;
    qhd::Paint(c, t.mask, x, baselineY - t.baseline, col);
}

int textWidth(const std::string& s, float size, bool bold = false)
{
    return qhd::RenderText(s, bold ? qhd::Face::SansBold : qhd::Face::Sans, size).mask.w;
}

void hline(Canvas& c, int x0, int x1, int y, Color col, float a = 1.0f, int dash = 0, int thick = 1)
{
    for (int t = 0; t < thick; t++)
        for (int x = x0; x <= x1; x++)
            if (!dash || (x / dash) % 2 == 0)
                c.Blend(x, y + t, col, a);
}

void vline(Canvas& c, int x, int y0, int y1, Color col, float a = 1.0f)
{
    for (int y = y0; y <= y1; y++)
        c.Blend(x, y, col, a);
}

void rect(Canvas& c, int x0, int y0, int x1, int y1, Color col, float a)
{
    for (int y = y0; y <= y1; y++)
        hline(c, x0, x1, y, col, a);
}

struct Axes {
    int top, bottom, left, right;
    double seconds;
    int x(double ms) const { return left + (int)std::lround(ms / 1000.0 / seconds * (right - left)); }
    int y(double ms) const
    {
        double v = std::clamp(std::log10(ms / kLowMs) / std::log10(kHighMs / kLowMs), 0.0, 1.0);
        return bottom - (int)std::lround(v * (bottom - top));
    }
};

void panel(Canvas& c, const Series& s, const Axes& a, double memcpyMs)
{
    const Color ink = Hex(0x202830), grid = Hex(0xb8c0c8);
    // The parts' spans: from a part's first frame to the next part's.
    std::vector<int> order;
    for (int i = 0; i < kPartCount; i++)
        if (s.stats[i].frames)
            order.push_back(i);
    std::sort(order.begin(), order.end(), [&](int p, int q) { return s.stats[p].fromMs < s.stats[q].fromMs; });
    auto span = [&](size_t k, int& x0, int& x1) {
        const PartStats& st = s.stats[order[k]];
        x0 = a.x(st.fromMs);
        x1 = k + 1 < order.size() ? a.x(s.stats[order[k + 1]].fromMs) - 1 : a.x(st.toMs + st.budgetMs);
    };
    for (size_t k = 0; k < order.size(); k++) {
        const PartStats& st = s.stats[order[k]];
        const bool with3d = kParts[order[k]].with3d;
        int x0, x1;
        span(k, x0, x1);
        rect(c, x0, a.top, x1, a.bottom, with3d ? Hex(0xe6dcf2) : Hex(0xdcebf2), 1.0f);
        vline(c, x0, a.top, a.bottom, Hex(0x98a4b0));
        // Goal and budget across the span.
        hline(c, x0, x1, a.y(with3d ? 3.0 : 1.0), Hex(0x1f9d55), 1.0f, 4, 2);
        hline(c, x0, x1, a.y(st.budgetMs), Hex(0xd03030), 1.0f, 0, 2);
    }
    // The names over the spans, each in the first of three rows where it
    // does not run into another.
    std::vector<int> rowEnd(3, -1000);
    for (size_t k = 0; k < order.size(); k++) {
        int x0, x1;
        span(k, x0, x1);
        const std::string name = kParts[order[k]].label;
        int w = textWidth(name, 13.0f, true), cx = (x0 + x1) / 2, nx = std::max(cx - w / 2, a.left + 2);
        nx = std::min(nx, a.right - w - 2);
        int row = 0;
        while (row < 2 && rowEnd[row] + 6 > nx)
            row++;
        rowEnd[row] = nx + w;
        int baseline = a.top + 16 + row * 16;
        text(c, name, nx, baseline, 13.0f, ink, true);
        if (row)
            vline(c, cx, baseline + 3, baseline + 8, ink, 0.6f);
    }
    // Log grid.
    const double ticks[] = {0.05, 0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 50};
    for (double t : ticks) {
        hline(c, a.left, a.right, a.y(t), grid, 0.7f, 2);
        char label[16];
        snprintf(label, sizeof label, t < 1 ? "%.2g" : "%.0f", t);
        text(c, label, a.left - 8, a.y(t) + 5, 13.0f, ink, false, true);
    }
    for (int sec = 0; sec <= (int)a.seconds; sec += 20) {
        vline(c, a.x(sec * 1000.0), a.bottom, a.bottom + 5, ink);
        text(c, std::to_string(sec), a.x(sec * 1000.0) - textWidth(std::to_string(sec), 13.0f) / 2, a.bottom + 20,
             13.0f, ink);
    }
    // The memcpy of one frame, the unit of the table's ratios.
    hline(c, a.left, a.right, a.y(memcpyMs), Hex(0x707070), 0.9f, 8);
    text(c, "memcpy of a frame", a.right - 4, a.y(memcpyMs) - 4, 12.0f, Hex(0x505050), false, true);
    // Every frame a dot; frames over the top sit on it.
    for (const Frame& f : s.frames) {
        int x = a.x(f.showMs), y = a.y(f.ms);
        for (int dy = -1; dy <= 1; dy++)
            for (int dx = -1; dx <= 1; dx++)
                c.Blend(x + dx, y + dy, Hex(0x1a3f8f), dx && dy ? 0.25f : 0.55f);
    }
    // The medians over the dots.
    for (size_t k = 0; k < order.size(); k++) {
        const PartStats& st = s.stats[order[k]];
        hline(c, a.x(st.fromMs), a.x(st.toMs), a.y(st.median) - 1, Hex(0xf08a00), 1.0f, 0, 3);
    }
    // Frame and title.
    hline(c, a.left, a.right, a.top, ink);
    hline(c, a.left, a.right, a.bottom, ink);
    vline(c, a.left, a.top, a.bottom, ink);
    vline(c, a.right, a.top, a.bottom, ink);
    text(c, s.name + " path", a.left, a.top - 8, 16.0f, ink, true);
    text(c, "ms", a.left - 40, a.top + 12, 13.0f, ink);
}

} // namespace

bool writePlot(const std::string& path, const std::vector<Series>& series, double memcpyMs)
{
    try {
        double seconds = 10;
        for (const Series& s : series)
            for (const Frame& f : s.frames)
                seconds = std::max(seconds, std::ceil((f.showMs + f.budgetMs) / 10000.0) * 10);
        const int h = kTop + (int)series.size() * (kPanelH + kGap) + 30;
        Canvas c(kW, h, Hex(0xfafbfc));
        text(c, "Quiet Harbor: the drawing cost of every frame (processor time of one core), along the show", kLeft,
             28, 20.0f, Hex(0x202830), true);
        for (size_t i = 0; i < series.size(); i++) {
            Axes a;
            a.top = kTop + 30 + (int)i * (kPanelH + kGap);
            a.bottom = a.top + kPanelH - 30;
            a.left = kLeft;
            a.right = kW - kRight;
            a.seconds = seconds;
            panel(c, series[i], a, memcpyMs);
            if (i + 1 == series.size())
                text(c, "show time (s)", (a.left + a.right) / 2 - 40, a.bottom + 40, 14.0f, Hex(0x202830));
        }
        text(c,
             "dots: one frame each    orange: the part's median    green dashes: goal (1 ms 2D, 3 ms with 3D, "
             "shaded violet)    red: the part's pacing budget (35 or 50 ms)",
             kLeft, h - 12, 14.0f, Hex(0x202830));
        qhd::WriteFile(path, qhd::EncodePng(c));
        return true;
    } catch (const std::exception& e) {
        fprintf(stderr, "%s\n", e.what());
        return false;
    }
}

} // namespace qhcost
