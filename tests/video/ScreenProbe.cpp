// Runs the drivers on a real X display, presents the test picture, takes a
// screenshot with xwd and checks what is on the screen. Started by the
// screen test under xvfb-run; prints what it found and exits 0 on a match.
#include <SDL.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "VideoHelpers.h"

namespace {

struct Shot {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB
};

uint32_t be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

int shiftOf(uint32_t mask)
{
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        s++;
    }
    return s;
}

// An xwd dump of a TrueColor screen of 24 or 32 bits per pixel.
bool readXwd(const std::string& name, Shot& shot)
{
    std::string data = readWholeFile(name);
    const uint8_t* d = (const uint8_t*)data.data();
    if (data.size() < 100)
        return false;
    uint32_t h[25];
    for (int i = 0; i < 25; i++)
        h[i] = be32(d + 4 * i);
    uint32_t headerSize = h[0], width = h[4], height = h[5], byteOrder = h[7], bpp = h[11], stride = h[12];
    uint32_t rm = h[14], gm = h[15], bm = h[16], ncolors = h[19];
    size_t start = (size_t)headerSize + (size_t)ncolors * 12;
    uint32_t bytes = bpp / 8;
    if (width == 0 || height == 0 || (bpp != 24 && bpp != 32) || stride < width * bytes ||
        start + (size_t)stride * height > data.size())
        return false;
    shot.width = (int)width;
    shot.height = (int)height;
    shot.pixels.resize((size_t)width * height);
    for (uint32_t y = 0; y < height; y++)
        for (uint32_t x = 0; x < width; x++) {
            const uint8_t* p = d + start + (size_t)y * stride + x * bytes;
            uint32_t v = 0;
            for (uint32_t i = 0; i < bytes; i++)
                v |= (uint32_t)p[byteOrder ? i : bytes - 1 - i] << (8 * (bytes - 1 - i));
            uint32_t r = (v & rm) >> shiftOf(rm), g = (v & gm) >> shiftOf(gm), b = (v & bm) >> shiftOf(bm);
            shot.pixels[(size_t)y * width + x] = r << 16 | g << 8 | b;
        }
    return true;
}

void settle()
{
    // Let the X server map, place and resize the window, presenting as the
    // window procedure asks.
    for (int i = 0; i < 50; i++) {
        pumpMessages();
        SDL_Delay(20);
    }
    xVideoPresent();
    SDL_Delay(100);
}

int check(bool fullscreen, const std::string& out, const std::vector<uint32_t>& expected)
{
    if (system(("xwd -root -silent -out " + out).c_str()) != 0) {
        printf("xwd failed\n");
        return 2;
    }
    Shot shot;
    if (!readXwd(out, shot)) {
        printf("unreadable screenshot\n");
        return 2;
    }
    // Where the picture is on the screen: its corners are the only places
    // where the test picture's first and last blocks meet black.
    int left, top, w, h;
    if (fullscreen) {
        PlatRect r = platDisplayPictureRect();
        int wx, wy;
        platGetClientRect(xVideoMainWindow(), &wx, &wy, nullptr, nullptr);
        left = wx + r.left;
        top = wy + r.top;
        w = r.right - r.left;
        h = r.bottom - r.top;
    } else {
        // 640 x 480 at the client area's corner (a tiling window manager
        // may make the window larger).
        platGetClientRect(xVideoMainWindow(), &left, &top, nullptr, nullptr);
        w = 640;
        h = 480;
    }
    printf("screen %dx%d depth %d picture at %d,%d size %dx%d\n", shot.width, shot.height, xVideoDisplayDepth(), left,
           top, w, h);
    int bad = 0, checked = 0;
    // Every screen pixel of the picture's area against the picture pixel it shows.
    for (int sy = 0; sy < h; sy++)
        for (int sx = 0; sx < w; sx++) {
            int X = left + sx, Y = top + sy;
            if (X < 0 || Y < 0 || X >= shot.width || Y >= shot.height) {
                bad++;
                continue;
            }
            int px = sx * 640 / w, py = sy * 480 / h;
            checked++;
            if (shot.pixels[(size_t)Y * shot.width + X] != expected[(size_t)py * 640 + px])
                bad++;
        }
    // Full-screen: the rest of the screen is black and the picture centred.
    int outside = 0;
    bool centred = true;
    if (fullscreen) {
        centred = std::abs(left - (shot.width - left - w)) <= 1 && std::abs(top - (shot.height - top - h)) <= 1 &&
                  w * 3 == h * 4;
        for (int y = 0; y < shot.height; y++)
            for (int x = 0; x < shot.width; x++)
                if ((x < left || x >= left + w || y < top || y >= top + h) && shot.pixels[(size_t)y * shot.width + x])
                    outside++;
    }
    printf("checked %d mismatched %d lit outside %d centred %d\n", checked, bad, outside, centred ? 1 : 0);
    return bad == 0 && checked > 0 && outside == 0 && centred ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    bool fullscreen = argc > 1 && !strcmp(argv[1], "fullscreen");
    std::string out = argc > 2 ? argv[2] : "screen.xwd";
    xSysInit("Quiet Harbor", nullptr, nullptr);
    xVideoInit();
    if (!platHasDisplay()) {
        printf("no display\n");
        return 2;
    }
    xVideoSetMode(640, 480, fullscreen, 32, 0xff0000, 0xff00, 0xff);
    drawTestPicture();
    xVideoPresent();
    std::vector<uint32_t> expected = xVideoDisplayDepth() == 16 ? frameAt16Bits()
                                                                 : std::vector<uint32_t>(g_frameBuffer, g_frameBuffer + 640 * 480);
    // The window manager may come up after the window: look again until the
    // screen shows the picture, a few times at most.
    int result = 1;
    for (int attempt = 0; attempt < 8 && result == 1; attempt++) {
        settle();
        result = check(fullscreen, out, expected);
    }
    return result;
}
