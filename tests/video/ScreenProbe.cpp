// Runs the drivers on a real X display, presents the test picture, takes
// screenshots with xwd and checks what is on the screen: windowed and
// full-screen under xvfb-run (the screen tests), and a window resized by
// xdotool beside a window manager (the window tests). Prints what it found
// and exits 0 on a match.
#include <SDL.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

struct Area {
    int left, top, width, height;
};

// The window's area on the screen, as SDL knows it.
Area windowArea()
{
    Area a{};
    SDL_Window* w = platSdlWindow(xVideoMainWindow());
    SDL_GetWindowPosition(w, &a.left, &a.top);
    SDL_GetWindowSize(w, &a.width, &a.height);
    return a;
}

// Where the picture belongs in an area: as large as fits with its 4:3
// shape, centred.
Area pictureIn(const Area& a)
{
    int w = a.width, h = a.width * 3 / 4;
    if (h > a.height) {
        h = a.height;
        w = a.height * 4 / 3;
    }
    return Area{a.left + (a.width - w) / 2, a.top + (a.height - h) / 2, w, h};
}

// Checks the screen over the window's area: the picture where it belongs,
// every pixel the picture pixel it stands for (at a whole scale exactly; at
// another, a neighbour of it, as nearest-pixel scaling may round either
// way), and black around it.
int check(const std::string& out, const std::vector<uint32_t>& expected, bool coversScreen)
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
    Area win = windowArea();
    if (coversScreen)
        win = Area{0, 0, shot.width, shot.height};
    Area pic = pictureIn(win);
    bool whole = pic.width % 640 == 0 && pic.width * 3 == pic.height * 4;
    int slack = whole ? 0 : 1;
    printf("screen %dx%d depth %d window at %d,%d size %dx%d picture at %d,%d size %dx%d\n", shot.width, shot.height,
           xVideoDisplayDepth(), win.left, win.top, win.width, win.height, pic.left, pic.top, pic.width, pic.height);
    int bad = 0, checked = 0, around = 0;
    for (int y = win.top; y < win.top + win.height; y++)
        for (int x = win.left; x < win.left + win.width; x++) {
            if (x < 0 || y < 0 || x >= shot.width || y >= shot.height) {
                bad++;
                continue;
            }
            uint32_t seen = shot.pixels[(size_t)y * shot.width + x];
            int sx = x - pic.left, sy = y - pic.top;
            if (sx < 0 || sy < 0 || sx >= pic.width || sy >= pic.height) {
                around += seen != 0;
                continue;
            }
            // The picture pixel under the screen pixel's centre.
            int px = (int)((2 * (int64_t)sx + 1) * 640 / (2 * pic.width));
            int py = (int)((2 * (int64_t)sy + 1) * 480 / (2 * pic.height));
            bool match = false;
            for (int dy = -slack; dy <= slack && !match; dy++)
                for (int dx = -slack; dx <= slack && !match; dx++) {
                    int qx = px + dx, qy = py + dy;
                    match = qx >= 0 && qy >= 0 && qx < 640 && qy < 480 && seen == expected[(size_t)qy * 640 + qx];
                }
            checked++;
            bad += !match;
        }
    printf("checked %d mismatched %d lit around %d\n", checked, bad, around);
    return bad == 0 && checked == pic.width * pic.height && around == 0 ? 0 : 1;
}

// Looks again until the screen shows the picture, a few times at most: the
// window manager may come up, or finish a resize, after the window.
int checkSettled(const std::string& out, const std::vector<uint32_t>& expected, bool coversScreen)
{
    int result = 1;
    for (int attempt = 0; attempt < 8 && result == 1; attempt++) {
        settle();
        result = check(out, expected, coversScreen);
    }
    return result;
}

bool parseSize(const char* text, int* w, int* h) { return sscanf(text, "%dx%d", w, h) == 2; }

} // namespace

// screen-probe windowed|fullscreen SHOT.xwd
// screen-probe resize SHOT.xwd DEFAULT_WxH [WxH...]: a window of the default
// size, then resized by xdotool to each size in turn.
int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "windowed";
    std::string out = argc > 2 ? argv[2] : "screen.xwd";
    bool fullscreen = mode == "fullscreen";
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
    if (mode != "resize")
        return checkSettled(out, expected, fullscreen);

    for (int i = 3; i < argc; i++) {
        int w, h;
        if (!parseSize(argv[i], &w, &h)) {
            printf("bad size %s\n", argv[i]);
            return 2;
        }
        if (i > 3) {
            printf("xdotool resizes the window to %dx%d\n", w, h);
            std::string resize = "xdotool search --name '^Quiet Harbor$' windowsize " + std::to_string(w) + " " +
                                 std::to_string(h);
            if (system(resize.c_str()) != 0) {
                printf("xdotool failed\n");
                return 2;
            }
        }
        for (int wait = 0; wait < 50; wait++) {
            Area a = windowArea();
            if (a.width == w && a.height == h)
                break;
            settle();
        }
        Area a = windowArea();
        if (a.width != w || a.height != h) {
            printf("the window is %dx%d, not %dx%d\n", a.width, a.height, w, h);
            return 1;
        }
        if (int r = checkSettled(out, expected, false))
            return r;
    }
    return 0;
}
