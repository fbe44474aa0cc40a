#include "Xvideo.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "platform/Hermes.h"
#include "platform/PlatDisplay.h"
#include "system/Xerror.h"
#include "system/Xsystem.h"

uint32_t* g_frameBuffer = nullptr;

namespace {

const char* const kModule = "system/Xvideo.cpp";
enum { MAX_MODES = 64 };

struct Rect {
    int left, top, right, bottom;
};

PlatWindow* g_window = nullptr;
bool g_ddraw = false; // the display device exists
PlatSurface* g_primary = nullptr;
PlatSurface* g_back = nullptr;
PlatSurface* g_second = nullptr;
HermesHandle g_converter = 0;
HermesFormat g_sourceFormat{};
HermesFormat g_displayFormat{};
PlatDisplayMode g_modes[MAX_MODES];
int g_modeCount = 0;
int g_width = 640, g_height = 480;
int g_depth = 0;
int g_fullscreen = 0;
int g_bytesPerPixel = 0;
int g_pixelCount = 0;
int g_sourcePitch = 0;
int g_destPitch = 0;
Rect g_srcRect{}, g_dstRect{};
Rect g_windowRect{};

void check(int32_t result, const char* step)
{
    if (result < 0)
        g_xError.Fatal(xFormat("%s: %s", step, xVideoErrorName(result)));
}

bool addMode(const PlatDisplayMode& mode, void*)
{
    if (g_modeCount >= MAX_MODES)
        g_xError.Fatal(xFormat("DDraw_DisplayModesCallBack:: Limit of %d video modes exceeded", (int)MAX_MODES));
    g_modes[g_modeCount++] = mode;
    return true;
}

void showCursor(bool show)
{
    if (show)
        while (platShowCursor(true) < 0) {
        }
    else
        while (platShowCursor(false) >= 0) {
        }
}

// Centres the window for the mode and keeps its rectangle.
void placeWindow()
{
    int screenW, screenH;
    platGetScreenSize(&screenW, &screenH);
    // The platform's windows are sized by their client area, shown on the
    // screen at their own size (the picture scaled into it); the frame is
    // the window manager's.
    int outerW, outerH;
    platGetWindowOuterSize(g_window, g_width, g_height, &outerW, &outerH);
    int x = (screenW - outerW) >> 1, y = (screenH - outerH) >> 1;
    platSetWindowRect(g_window, x, y, g_width, g_height);
    g_windowRect = Rect{x, y, x + outerW, y + outerH};
}

void windowRects()
{
    int x, y, w, h;
    platGetClientRect(g_window, &x, &y, &w, &h);
    g_srcRect = Rect{0, 0, w, h};
    g_dstRect = Rect{x, y, x + w, y + h};
}

void fillDisplayFormat(PlatSurface* surface, const char* step)
{
    PlatPixelFormat pf;
    check(platSurfaceGetPixelFormat(surface, &pf), step);
    g_displayFormat = HermesFormat{(int32_t)pf.red, (int32_t)pf.green, (int32_t)pf.blue, (int32_t)pf.alpha,
                                   pf.bits, 0, 0, 0};
}

void createSecond()
{
    check(platDisplayCreateOffscreen(g_width, g_height, &g_second),
          "xVideoInitSurfaces::DDrawI->CreateSurface( lpDDS_Shadow )");
    check(platSurfaceGetSize(g_second, nullptr, nullptr, &g_destPitch),
          "xVideoInitSurfaces::lpDDS_Shadow->GetSurfaceDesc");
}

void releaseSurfaces()
{
    if (g_second)
        platSurfaceRelease(g_second);
    if (g_primary)
        platSurfaceRelease(g_primary); // the back buffer goes with it
    g_second = g_primary = g_back = nullptr;
}

void logMasks(const char* format)
{
    g_xLog.Print(xFormat(format, (unsigned)g_displayFormat.r, (unsigned)g_displayFormat.g,
                         (unsigned)g_displayFormat.b, (unsigned)g_displayFormat.a));
}

} // namespace

namespace {
void releaseAll(PlatWindow* window)
{
    xVideoReleaseObjects(window);
    xVideoReleaseDirectDraw();
}
} // namespace

void xVideoInit()
{
    xSysSetVideoHooks(xSysVideoHooks{xVideoPresent, releaseAll, xVideoObjectsExist, xVideoIsFullscreen,
                                     xVideoUpdateRects, xVideoFrameSize});
    if (!platInit())
        g_xError.Fatal("xVideoInit::RegisterClass(...) - unable to register class");
    g_window = platCreateWindow(g_xSys.title ? g_xSys.title : "", xSysWindowProc, 0, 0, 640, 480);
    if (!g_window)
        g_xError.Fatal("xVideoInit::CreateWindow(..) - unable to create window");
    g_xLog.Print("Initializing video driver");

    if (!Hermes_Init())
        g_xError.Fatal("xVideoInit::Hermes_Init()");
    if (g_converter)
        Hermes_ConverterReturn(g_converter);
    g_converter = Hermes_ConverterInstance(0);
    if (!g_converter)
        g_xError.Fatal("xVideoInit:: couldnt create hermes converter instance ");

    check(platDisplayCreate(), "xVideoInit::DirectDrawCreate()");
    g_ddraw = true;
    g_modeCount = 0;
    check(platDisplayEnumModes(addMode, nullptr), "xVideoInit::DDrawI->EnumDisplayModes()");
    g_primary = g_second = g_back = nullptr;
}

int xVideoGetActualMode(int width, int height, int bpp)
{
    if (bpp != 16 && bpp != 24 && bpp != 32)
        g_xError.Assert(kModule, 718, xFormat("xVideoGetActualMode:: %dbpp not supported", bpp));
    g_xLog.Print("* video modes found -----------------");
    for (int i = 0; i < g_modeCount; i++)
        g_xLog.Print(xFormat("enum mode %3d: %4d x %4d x %2d bpp", i, g_modes[i].width, g_modes[i].height,
                             g_modes[i].bpp));
    g_width = width;
    g_height = height;
    g_depth = bpp;
    for (int i = 0; i < g_modeCount; i++)
        if (g_modes[i].width == width && g_modes[i].height == height && g_modes[i].bpp == bpp)
            return 0;

    int* depths = (int*)malloc(sizeof(int) * (g_modeCount + 1));
    if (!depths)
        g_xError.Raise(kModule, 740, 1, nullptr);
    int n = 0;
    for (int i = 0; i < g_modeCount; i++)
        if (g_modes[i].width == width && g_modes[i].height == height)
            depths[n++] = g_modes[i].bpp;
    if (n == 0) {
        free(depths);
        return 1;
    }
    int first = bpp == 32 ? 24 : 32;
    int second = bpp == 24 ? 16 : (bpp == 32 ? 16 : 24);
    int chosen = 0;
    for (int want : {first, second}) {
        for (int i = 0; i < n && !chosen; i++)
            if (depths[i] == want)
                chosen = want;
        if (chosen)
            break;
    }
    free(depths);
    if (!chosen)
        g_xError.Assert(kModule, 787,
                        "xVideoGetActualMode:: no usable video mode found, please report this display to "
                        "quietharbor@users.noreply.example.org");
    g_depth = chosen;
    return 2;
}

void xVideoSetMode(int width, int height, int fullscreen, int bpp, uint32_t red, uint32_t green, uint32_t blue)
{
    g_fullscreen = fullscreen;
    int r = xVideoGetActualMode(width, height, bpp);
    if (r == 1 && fullscreen) {
        const char* text = xFormat(
            "Requied video mode : %dx%dx%dbpp not supported in fullscreen by hardware,procceed in window?\n", width,
            height, bpp);
        if (platMessageBox(text, g_xSys.title ? g_xSys.title : "", MB_YESNO | MB_ICONQUESTION) == IDNO)
            g_xError.Fatal("No supporting video modes found");
        g_fullscreen = 0;
        g_depth = bpp;
    }
    g_xLog.Print("---------------------------------");
    g_xLog.Print(xFormat("selected mode : %d x %d x %dbpp", width, height, g_depth));

    placeWindow();
    releaseSurfaces();
    showCursor(!g_fullscreen);
    xVideoInitSurfaces();

    g_bytesPerPixel = (bpp + 7) / 8;
    g_pixelCount = width * height;
    free(g_frameBuffer);
    g_frameBuffer = (uint32_t*)calloc((size_t)g_pixelCount, (size_t)g_bytesPerPixel);
    if (!g_frameBuffer)
        g_xError.Raise(kModule, 697, 1, nullptr);
    g_sourcePitch = g_bytesPerPixel * width;
    g_sourceFormat = HermesFormat{(int32_t)red, (int32_t)green, (int32_t)blue, 0, bpp, 0, 0, 0};
    if (!Hermes_ConverterRequest(g_converter, &g_sourceFormat, &g_displayFormat))
        g_xError.Fatal("xVideoInitSurface::Hermes_ConverterRequest() fault");

    g_xLog.Print(g_sourceFormat.r == g_displayFormat.r ? "videomode: direct" : "videomode: converted");
    logMasks("mask.r = 0x%X mask.g = 0x%X mask.b = 0x%X .mask.alpha = 0x%X");

    uint32_t flag = (uint32_t)g_fullscreen;
    xSysDispatch(XEV_VIDEOMODE, &flag);
    g_xSys.active = 1;
}

void xVideoSetWindowSize(int width, int height) { platSetWindowShownSize(g_window, width, height); }

void xVideoInitSurfaces()
{
    if (!g_ddraw)
        g_xError.Fatal("xVideoInitSurfaces::DirectDraw7 interface not initialized");
    if (g_fullscreen) {
        check(platDisplaySetCooperativeLevel(g_window, true),
              "xVideoInitSurfaces::DDrawI->SetCopperativeLevel( DDSCL_FULLSCREEN )");
        g_xLog.Print(xFormat("entering mode: size_x = %d size_y = %d bpp = %d", g_width, g_height, g_depth));
        check(platDisplaySetMode(g_width, g_height, g_depth), "xVideoInitSurfaces::DDrawI->SetDisplayMode");
        g_srcRect = Rect{0, 0, g_width, g_height};
        g_dstRect = g_srcRect;
        check(platDisplayCreatePrimary(true, &g_primary), "xVideoInitSurfaces::DDrawI->CreateSurface( lpDDS_Primary )");
        check(platDisplayGetBackBuffer(g_primary, &g_back), "xVideoInitSurfaces::lpDDS_Primary->GetAttachedSurface");
        createSecond();
        fillDisplayFormat(g_primary, "xVideoInitSurfaces::lpDDS_Primary->GetPixelFormat()");
    } else {
        check(platDisplaySetCooperativeLevel(g_window, false),
              "xVideoInitSurfaces::DDrawI->SetCooperativeLevel( DDSCL_NORMAL )");
        windowRects();
        check(platDisplayCreatePrimary(false, &g_primary), "xVideoInitSurfaces::DDraw->CreateSurface( lpDDS_Primary");
        createSecond();
        fillDisplayFormat(g_second, "xVideoInitSurfaces::lpDDS_Shadow->GetPixelFormat");
        PlatClipper* clipper = nullptr;
        check(platDisplayCreateClipper(&clipper), "xVideoInitSurfaces::DDraw->CreateClipper");
        check(platClipperSetWindow(clipper, g_window), "xVideoInitSurface::lpDD_Clipper->SetHWnd");
        check(platSurfaceSetClipper(g_primary, clipper), "xVideoInitSurfaces::SetClipper( lpDD_Clipper )");
        // The primary surface keeps the clipper alive.
        platClipperRelease(clipper);
    }
}

namespace {
// The one path of both presents: lost surfaces restored, the rectangle
// converted into the back buffer (full-screen) or the second surface, then
// the whole picture flipped or the rectangle copied to the screen. A
// present that cannot go on stops where it is, and the present-end event
// goes out on every way out.
void present(int x, int y, int width, int height, bool whole)
{
    xSysDispatch(XEV_PRESENT_BEGIN, nullptr);
    bool ready = true;
    if (platSurfaceIsLost(g_primary) || platSurfaceIsLost(g_second))
        ready = platSurfaceRestore(g_primary) >= 0 && platSurfaceRestore(g_second) >= 0;
    PlatSurface* target = g_fullscreen ? g_back : g_second;
    void* pixels;
    int pitch;
    if (ready && width > 0 && height > 0 && platSurfaceLock(target, &pixels, &pitch) >= 0) {
        Hermes_ConverterCopy(g_converter, g_frameBuffer, x, y, width, height, g_sourcePitch, pixels, x, y, width,
                             height, pitch);
        platSurfaceUnlock(target);
        PlatRect src{x, y, x + width, y + height};
        if (g_fullscreen && whole) {
            platSurfaceFlip(g_primary);
        } else if (g_fullscreen) {
            platSurfaceBltFast(g_primary, x, y, g_back, &src);
        } else if (whole) {
            PlatRect all{g_srcRect.left, g_srcRect.top, g_srcRect.right, g_srcRect.bottom};
            PlatRect dst{g_dstRect.left, g_dstRect.top, g_dstRect.right, g_dstRect.bottom};
            platSurfaceBlt(g_primary, &dst, g_second, &all);
        } else {
            PlatRect dst{g_dstRect.left + x, g_dstRect.top + y, g_dstRect.left + x + width,
                         g_dstRect.top + y + height};
            platSurfaceBlt(g_primary, &dst, g_second, &src);
        }
    }
    xSysDispatch(XEV_PRESENT_END, nullptr);
}
} // namespace

void xVideoPresent()
{
    // Nothing to show before a mode is set (the window procedure may ask).
    if (!xVideoObjectsExist())
        return;
    present(0, 0, g_width, g_height, true);
}

void xVideoPresentRect(int x, int y, int width, int height)
{
    if (!xVideoObjectsExist())
        return;
    // Only the part inside the frame buffer is converted and shown.
    if (x < 0) { width += x; x = 0; }
    if (y < 0) { height += y; y = 0; }
    if (width > g_width - x) width = g_width - x;
    if (height > g_height - y) height = g_height - y;
    present(x, y, width, height, false);
}

void xVideoChangeCoopLevel(PlatWindow* window, int fullscreen)
{
    if (fullscreen == g_fullscreen)
        return;
    g_xSys.active = 0;
    xVideoReleaseObjects(window);
    g_fullscreen = fullscreen;
    if (!fullscreen) {
        showCursor(true);
        // Leaving full-screen gave the window back its place on the desktop.
        int x, y, w, h;
        platGetClientRect(g_window, &x, &y, nullptr, nullptr);
        platGetWindowOuterSize(g_window, g_width, g_height, &w, &h);
        g_windowRect = Rect{x, y, x + w, y + h};
        platSetWindowRect(g_window, x, y, g_width, g_height);
    } else {
        showCursor(false);
    }
    xVideoInitSurfaces();
    if (!fullscreen) {
        placeWindow();
        windowRects();
    }
    uint32_t flag = (uint32_t)fullscreen;
    xSysDispatch(XEV_VIDEOMODE, &flag);
    g_xLog.Print(xFormat("change coop level: %s", fullscreen ? "fullscreen" : "windowed"));
    logMasks("new mask         : r = 0x%X , g = 0x%X, b = 0x%X, alpha = 0x%X");
    if (!Hermes_ConverterRequest(g_converter, &g_sourceFormat, &g_displayFormat))
        g_xError.Fatal("xVideoChangeCoopLevel::Hermes_ConverterRequest() fault");
    g_xSys.active = 1;
    xVideoPresent();
}

void xVideoReleaseObjects(PlatWindow* window)
{
    if (!g_ddraw)
        return;
    check(platDisplaySetCooperativeLevel(window, false), "xVideoReleaseObjects::DDrawI->SetCooperativeLevel");
    releaseSurfaces();
    if (g_fullscreen)
        platDisplayRestoreMode();
}

void xVideoReleaseDirectDraw()
{
    if (!g_ddraw)
        return;
    releaseSurfaces();
    platDisplayRelease();
    g_ddraw = false;
}

bool xVideoObjectsExist() { return g_frameBuffer && g_primary && g_second; }
bool xVideoIsFullscreen() { return g_fullscreen != 0; }

void xVideoUpdateRects()
{
    if (g_window)
        windowRects();
}

void xVideoFrameSize(int* width, int* height)
{
    *width = g_width;
    *height = g_height;
}

PlatWindow* xVideoMainWindow() { return g_window; }
int xVideoDisplayDepth() { return g_depth; }
int xVideoModeCount() { return g_modeCount; }

const char* xVideoErrorName(int32_t code)
{
    static const struct {
        uint32_t code;
        const char* name;
    } names[] = {
        {0x80004001, "DDERR_UNSUPPORTED"},
        {0x80004005, "DDERR_GENERIC"},
        {0x800401F0, "DDERR_NOTINITIALIZED"},
        {0x8007000E, "DDERR_OUTOFMEMORY"},
        {0x80070057, "DDERR_INVALIDPARAMS"},
        {0x88760005, "DDERR_ALREADYINITIALIZED"},
        {0x8876000A, "DDERR_CANNOTATTACHSURFACE"},
        {0x88760014, "DDERR_CANNOTDETACHSURFACE"},
        {0x88760028, "DDERR_CURRENTLYNOTAVAIL"},
        {0x88760037, "DDERR_EXCEPTION"},
        {0x8876005A, "DDERR_HEIGHTALIGN"},
        {0x8876005F, "DDERR_INCOMPATIBLEPRIMARY"},
        {0x88760064, "DDERR_INVALIDCAPS"},
        {0x8876006E, "DDERR_INVALIDCLIPLIST"},
        {0x88760078, "DDERR_INVALIDMODE"},
        {0x88760082, "DDERR_INVALIDOBJECT"},
        {0x88760091, "DDERR_INVALIDPIXELFORMAT"},
        {0x88760096, "DDERR_INVALIDRECT"},
        {0x887600A0, "DDERR_LOCKEDSURFACES"},
        {0x887600AA, "DDERR_NO3D"},
        {0x887600B4, "DDERR_NOALPHAHW"},
        {0x887600CD, "DDERR_CLIPLIST"},
        {0x887600D2, "DDERR_NOCOLORCONVHW"},
        {0x887600D4, "DDERR_NOCOOPERATIVELEVELSET"},
        {0x887600D7, "DDERR_NOCOLORKEY"},
        {0x887600DC, "DDERR_NOCOLORKEYHW"},
        {0x887600DE, "DDERR_NODIRECTDRAWSUPPORT"},
        {0x887600E1, "DDERR_NOEXCLUSIVEMODE"},
        {0x887600E6, "DDERR_NOFLIPHW"},
        {0x887600F0, "DDERR_NOGDI"},
        {0x887600FA, "DDERR_NOMIRRORHW"},
        {0x887600FF, "DDERR_NOTFOUND"},
        {0x88760104, "DDERR_NOOVERLAYHW"},
        {0x88760118, "DDERR_NORASTEROPHW"},
        {0x88760122, "DDERR_NOROTATIONHW"},
        {0x88760136, "DDERR_NOSTRETCHHW"},
        {0x8876013C, "DDERR_NOT4BITCOLOR"},
        {0x8876013D, "DDERR_NOT4BITCOLORINDEX"},
        {0x88760140, "DDERR_NOT8BITCOLOR"},
        {0x8876014A, "DDERR_NOTEXTUREHW"},
        {0x8876014F, "DDERR_NOVSYNCHW"},
        {0x88760154, "DDERR_NOZBUFFERHW"},
        {0x8876015E, "DDERR_NOZOVERLAYHW"},
        {0x88760168, "DDERR_OUTOFCAPS"},
        {0x8876017C, "DDERR_OUTOFVIDEOMEMORY"},
        {0x8876017E, "DDERR_OVERLAYCANTCLIP"},
        {0x88760180, "DDERR_OVERLAYCOLORKEYONLYONEACTIVE"},
        {0x88760183, "DDERR_PALETTEBUSY"},
        {0x88760190, "DDERR_COLORKEYNOTSET"},
        {0x8876019A, "DDERR_SURFACEALREADYATTACHED"},
        {0x887601A4, "DDERR_SURFACEALREADYDEPENDENT"},
        {0x887601AE, "DDERR_SURFACEBUSY"},
        {0x887601B3, "DDERR_CANTLOCKSURFACE"},
        {0x887601B8, "DDERR_SURFACEISOBSCURED"},
        {0x887601C2, "DDERR_SURFACELOST"},
        {0x887601CC, "DDERR_SURFACENOTATTACHED"},
        {0x887601D6, "DDERR_TOOBIGHEIGHT"},
        {0x887601E0, "DDERR_TOOBIGSIZE"},
        {0x887601EA, "DDERR_TOOBIGWIDTH"},
        {0x887601FE, "DDERR_UNSUPPORTEDFORMAT"},
        {0x88760208, "DDERR_UNSUPPORTEDMASK"},
        {0x88760219, "DDERR_VERTICALBLANKINPROGRESS"},
        {0x8876021C, "DDERR_WASSTILLDRAWING"},
        {0x88760230, "DDERR_XALIGN"},
        {0x88760231, "DDERR_INVALIDDIRECTDRAWGUID"},
        {0x88760232, "DDERR_DIRECTDRAWALREADYCREATED"},
        {0x88760233, "DDERR_NODIRECTDRAWHW"},
        {0x88760234, "DDERR_PRIMARYSURFACEALREADYEXISTS"},
        {0x88760235, "DDERR_NOEMULATION"},
        {0x88760236, "DDERR_REGIONTOOSMALL"},
        {0x88760237, "DDERR_CLIPPERISUSINGHWND"},
        {0x88760238, "DDERR_NOCLIPPERATTACHED"},
        {0x88760239, "DDERR_NOHWND"},
        {0x8876023A, "DDERR_HWNDSUBCLASSED"},
        {0x8876023B, "DDERR_HWNDALREADYSET"},
        {0x8876023C, "DDERR_NOPALETTEATTACHED"},
        {0x8876023D, "DDERR_NOPALETTEHW"},
        {0x8876023E, "DDERR_BLTFASTCANTCLIP"},
        {0x8876023F, "DDERR_NOBLTHW"},
        {0x88760240, "DDERR_NODDROPSHW"},
        {0x88760241, "DDERR_OVERLAYNOTVISIBLE"},
        {0x88760242, "DDERR_NOOVERLAYDEST"},
        {0x88760243, "DDERR_INVALIDPOSITION"},
        {0x88760244, "DDERR_NOTAOVERLAYSURFACE"},
        {0x88760245, "DDERR_EXCLUSIVEMODEALREADYSET"},
        {0x88760247, "DDERR_CANTDUPLICATE"},
        {0x88760248, "DDERR_NOTLOCKED"},
        {0x88760249, "DDERR_CANTCREATEDC"},
        {0x8876024A, "DDERR_NODC"},
        {0x8876024B, "DDERR_WRONGMODE"},
        {0x8876024C, "DDERR_IMPLICITLYCREATED"},
        {0x8876024D, "DDERR_NOPALETTIZED"},
        {0x8876024E, "DDERR_UNSUPPORTEDMODE"},
        {0x8876024F, "DDERR_NOMIPMAPHW"},
        {0x88760250, "DDERR_INVALIDSURFACETYPE"},
        {0x8876026C, "DDERR_DCALREADYCREATED"},
        {0x88760280, "DDERR_CANTPAGELOCK"},
        {0x88760294, "DDERR_CANTPAGEUNLOCK"},
        {0x887602A8, "DDERR_NOTPAGELOCKED"},
    };
    for (const auto& n : names)
        if (n.code == (uint32_t)code)
            return n.name;
    return "DDERR_UNKNOWN";
}
