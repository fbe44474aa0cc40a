// A frame buffer and z-buffer for the renderer's tests, each surrounded by
// guard pixels: the rows above and below and the columns left and right of
// the viewport must come through a frame untouched. The engine's scan-line
// table, z-buffer and camera size are pointed at it, as a render target does.
#pragma once
#include <cstdint>
#include <vector>

#include "X3d/X3d.h"

namespace qh3d {

const uint32_t kGuardPixel = 0xA5C3E1F7u;
const int32_t kGuardDepth = 0x5A5A5A5A;

struct GuardedTarget {
    int w, h, guard, pitch;
    std::vector<uint32_t> pixels;
    std::vector<int32_t> depth;
    uint32_t* frame;

    GuardedTarget(int width, int height, int g = 8)
        : w(width), h(height), guard(g), pitch(width + 2 * g), pixels((size_t)(height + 2 * g) * (width + 2 * g), kGuardPixel),
          depth(pixels.size(), kGuardDepth), frame(&pixels[(size_t)g * pitch + g])
    {
    }

    uint32_t& at(int x, int y) { return frame[(size_t)y * pitch + x]; }
    int32_t& zAt(int x, int y) { return depth[(size_t)(y + guard) * pitch + x + guard]; }

    void clear(uint32_t colour)
    {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                at(x, y) = colour;
    }

    // Scan-line table, z-buffer and pixel count of the engine, and the
    // camera's viewport, all on this target.
    void install(x3dCamera* camera)
    {
        for (int y = 0; y < h; y++)
            g_x3d.scanLines[y] = y * pitch * 4;
        g_x3d.linePitch = pitch * 4;
        g_x3d.zbuffer = &depth[(size_t)guard * pitch + guard];
        g_x3d.pixelCount = g_x3d.zbufferPixels = (h - 1) * pitch + w;
        if (camera) {
            camera->width = (float)w;
            camera->height = (float)h;
            camera->centreX = w * 0.5f;
            camera->centreY = h * 0.5f;
            g_x3d.camera = camera;
        }
    }

    bool inside(size_t index) const
    {
        int y = (int)(index / pitch) - guard, x = (int)(index % pitch) - guard;
        return x >= 0 && x < w && y >= 0 && y < h;
    }

    // Guard pixels not as they were; the z-buffer's guard columns between
    // rows may also hold the clear value, which the frame's clear writes.
    int spoiltGuards() const
    {
        int bad = 0;
        for (size_t i = 0; i < pixels.size(); i++) {
            if (inside(i))
                continue;
            if (pixels[i] != kGuardPixel)
                bad++;
            int row = (int)(i / pitch) - guard;
            bool between = row >= 0 && row < h;
            if (depth[i] != kGuardDepth && !(between && depth[i] == 2147483647))
                bad++;
        }
        return bad;
    }
};

} // namespace qh3d
