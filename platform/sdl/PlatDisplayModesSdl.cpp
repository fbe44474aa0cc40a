// The display's mode list: the system's modes, or the ones the environment
// or a test asks for.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/internal/PlatDisplayModes.h"
#include "platform/sdl/PlatSdl.h"

namespace {

bool g_useModeList = false;
std::vector<PlatDisplayMode> g_modeList;

void addMode(std::vector<PlatDisplayMode>& list, int w, int h, int bpp)
{
    for (const PlatDisplayMode& m : list)
        if (m.width == w && m.height == h && m.bpp == bpp)
            return;
    list.push_back(PlatDisplayMode{w, h, bpp});
}

bool parseModes(const char* text, std::vector<PlatDisplayMode>& list)
{
    if (!strcmp(text, "none"))
        return true;
    const char* p = text;
    while (*p) {
        int w, h, b, n = 0;
        if (sscanf(p, "%dx%dx%d%n", &w, &h, &b, &n) != 3 || w <= 0 || h <= 0)
            return false;
        list.push_back(PlatDisplayMode{w, h, b});
        p += n;
        if (*p == ',')
            p++;
    }
    return true;
}

} // namespace

int platDisplayForcedDepth()
{
    const char* v = getenv("QH_DISPLAY_DEPTH");
    if (!v)
        return 0;
    int d = atoi(v);
    return d == 16 || d == 24 || d == 32 ? d : 0;
}

bool platDisplayModesReplaced() { return g_useModeList || getenv("QH_DISPLAY_MODES"); }

std::vector<PlatDisplayMode> platDisplayModeList()
{
    if (g_useModeList)
        return g_modeList;
    std::vector<PlatDisplayMode> list;
    if (const char* env = getenv("QH_DISPLAY_MODES")) {
        if (parseModes(env, list))
            return list;
        list.clear();
    }
    int forced = platDisplayForcedDepth();
    int n = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < n; i++) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) != 0)
            continue;
        // SDL calls its 32-bit XRGB format 24 bits; the list counts bytes.
        addMode(list, m.w, m.h, forced ? forced : SDL_BYTESPERPIXEL(m.format) * 8);
    }
    bool has640 = false;
    for (const PlatDisplayMode& m : list)
        has640 = has640 || (m.width == 640 && m.height == 480);
    if (!has640) {
        if (forced)
            addMode(list, 640, 480, forced);
        else
            for (int bpp : {16, 24, 32})
                addMode(list, 640, 480, bpp);
    }
    return list;
}

bool platDisplayModeListed(int w, int h, int bpp)
{
    for (const PlatDisplayMode& m : platDisplayModeList())
        if (m.width == w && m.height == h && m.bpp == bpp)
            return true;
    return false;
}

void platDisplaySetModeList(const PlatDisplayMode* modes, int count)
{
    g_useModeList = count >= 0;
    g_modeList.clear();
    for (int i = 0; i < count; i++)
        g_modeList.push_back(modes[i]);
}
