#include "Demo.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "X2d/X2d.h"
#include "X3d/X3d.h"
#include "app/Figures.h"
#include "app/FrameCosts.h"
#include "app/Player.h"
#include "app/Timeline.h"
#include "parts/PartLinks.h"
#include "parts/pstdemop.h"
#include "platform/PlatCapture.h"
#include "platform/PlatMusic.h"
#include "X2d/X2dspr.h"
#include "files/xFileIO.h"
#include "system/Xerror.h"
#include "system/Xkeyboard.h"
#include "system/Xsystem.h"
#include "system/Xvideo.h"

char** g_cmdWords = nullptr;
int32_t g_cmdWordCount = 0;
xRunOptions g_runOptions = {nullptr, nullptr, 60, 0, -1, nullptr, false, 0, 0, false, 0, 0};

void InitParts()
{
    // Each part's set-up by its place in the loading order.
    for (int place = 1; place <= g_chainSteps; place++)
        for (int step = 0; step < g_chainSteps; step++)
            if (g_chain[step].init && g_chain[step].loadPlace == place)
                g_chain[step].init();
    // The flare scene, shared by its part and the closing part's panels.
    FlareSceneCreate(140, 105);
}

namespace {
enum { SCAN_ESCAPE = 1, SCAN_RETURN = 28, SCAN_LALT = 56, SCAN_RALT = 184 };
}

void ParseCommandLine(char* cmdLine)
{
    g_cmdWordCount = 0;
    if (!cmdLine || !*cmdLine)
        return;
    for (char* p = cmdLine; *p;) {
        while (*p == ' ')
            *p++ = 0;
        if (!*p)
            break;
        char* word = p;
        while (*p && *p != ' ') {
            *p = (char)toupper((unsigned char)*p);
            p++;
        }
        char** grown = (char**)realloc(g_cmdWords, sizeof(char*) * (g_cmdWordCount + 1));
        if (!grown)
            g_xError.Raise("app/Demo.cpp", 40, 1, nullptr);
        g_cmdWords = grown;
        g_cmdWords[g_cmdWordCount++] = word;
    }
}

bool HasSwitch(const char* text)
{
    if (g_cmdWordCount == 0)
        return false;
    size_t n = strlen(text) + 1;
    char* upper = (char*)malloc(n);
    if (!upper)
        g_xError.Raise("app/Demo.cpp", 56, 1, nullptr);
    for (size_t i = 0; i < n; i++)
        upper[i] = (char)toupper((unsigned char)text[i]);
    bool found = false;
    for (int32_t i = 0; i < g_cmdWordCount; i++)
        if (strcmp(g_cmdWords[i], upper) == 0)
            found = true;
    free(upper);
    return found;
}

void KeyResponder(void* data)
{
    uint32_t scanCode = *(uint32_t*)data;
    if (scanCode == SCAN_ESCAPE)
        platPostQuitMessage(0);
    if (scanCode == SCAN_RETURN && (g_keyState[SCAN_RALT] == 1 || g_keyState[SCAN_LALT] == 1))
        xVideoChangeCoopLevel(xVideoMainWindow(), xVideoIsFullscreen() ? 0 : 1);
}

void CloseResponder(void*) { platPostQuitMessage(0); }

const char* DemoUsage()
{
    return "Quiet Harbor - a real-time audiovisual show\n"
           "\n"
           "usage: quietharbor [-windowed [WxH]] [-slow] [-capture FILE [-fps N] [-size WxH]]\n"
           "                   [-start ORDER] [-end ORDER] [-trace FILE] [-costs FILE] [-figures]\n"
           "                   [-player]\n"
           "\n"
           "  -windowed [WxH] play in a window instead of full-screen, W x H pixels on the\n"
           "                  screen (at least 640x480; by default the largest whole\n"
           "                  multiple of 640 x 480 within 90 % of the desktop); the\n"
           "                  picture fills the window, resized or not, its 4:3 shape kept\n"
           "  -slow           cheaper line shading in the 3D scenes\n"
           "  -capture FILE   play on a virtual clock without display or sound device and\n"
           "                  write the show to FILE: .y4m directly, .rgb as raw frames\n"
           "                  (640 x 480 x 4 bytes B, G, R, 255 each), .mp4 or .mkv through\n"
           "                  ffmpeg; the music also goes to FILE.wav. A .png FILE gets\n"
           "                  the storyboard: a thumbnail every 2 s, eight to a row,\n"
           "                  labelled with time and music order/row (no FILE.wav).\n"
           "                  /dev/null keeps nothing: the capture's own speed\n"
           "  -fps N          frames per second of the capture (default 60)\n"
           "  -size WxH       frames of W x H pixels for a .y4m, .mp4 or .mkv capture (even,\n"
           "                  640x480 to 7680x4320): the picture enlarged by the largest\n"
           "                  whole factor that fits, nearest pixel, centred on black\n"
           "                  (-size 1920x1080 shows it at 1280 x 960)\n"
           "  -start ORDER    start the show at that order of the music\n"
           "  -end ORDER      end the show when the music reaches that order\n"
           "  -trace FILE     write one line per hand-over between parts: timer, order, row,\n"
           "                  then the ms of music heard by the show's last reading and\n"
           "                  the ms the sound device has taken\n"
           "  -costs FILE     write one line per drawn frame: timer, pacing ms, show ms,\n"
           "                  order, row and the processor time of its drawing in ns\n"
           "                  (with -capture the show ms are on its virtual clock)\n"
           "  -figures        say at the end how long the start-up took and the peak memory\n"
           "  -player         play with keys: Space pauses and resumes, Right and Left go\n"
           "                  to the next and the previous order, Page Down and Page Up\n"
           "                  four orders on, Home to the start; F1 shows and hides the\n"
           "                  order/row, the part and its drawing ms above the picture\n"
           "  -h, --help      this text\n"
           "\n"
           "keys: Escape quits, Alt+Enter switches between full-screen and window;\n"
           "closing the window quits. The show reads demo.pak from the current folder\n"
           "and ends by itself with the music.\n"
           "\n"
           "exit status: 0 the show ended (music over, Escape or window closed);\n"
           "  1-7 a coded failure (1 no memory, 2 read, 4 write, 5 open, 6 broken file,\n"
           "  7 internal); 3 any other reported failure; 64 a bad switch value (with\n"
           "  this text); 255 an unknown error code.\n";
}

namespace {

// "WxH" with whole numbers, x or X between them; false on anything else.
bool parseSize(const char* text, int* width, int* height)
{
    long values[2];
    for (int i = 0; i < 2; i++) {
        if (!isdigit((unsigned char)*text))
            return false;
        long v = 0;
        while (isdigit((unsigned char)*text)) {
            v = v * 10 + (*text++ - '0');
            if (v > 99999)
                return false;
        }
        values[i] = v;
        if (i == 0 && *text != 'x' && *text != 'X')
            return false;
        text += i == 0;
    }
    if (*text)
        return false;
    *width = (int)values[0];
    *height = (int)values[1];
    return true;
}

// -size only for the outputs whose frames are video.
bool sizeFitsCapture()
{
    if (!g_runOptions.captureWidth)
        return true;
    const char* path = g_runOptions.capture;
    size_t n = path ? strlen(path) : 0;
    if (!path || (n >= 4 && (!strcasecmp(path + n - 4, ".png") || !strcasecmp(path + n - 4, ".rgb")))) {
        fprintf(stderr, "-size needs a -capture to .y4m, .mp4 or .mkv\n");
        return false;
    }
    return true;
}

} // namespace

bool ParseRunOptions(int argc, char** argv)
{
    for (int i = 1; i < argc; i++) {
        const char* word = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto number = [&](int* out, long least) {
            char* end = nullptr;
            long v = value ? strtol(value, &end, 10) : -1;
            if (!value || !*value || *end || v < least || v > 65535) {
                fprintf(stderr, "%s needs a number from %ld to 65535\n", word, least);
                return false;
            }
            *out = (int)v;
            i++;
            return true;
        };
        if (!strcasecmp(word, "-capture") || !strcasecmp(word, "-trace") || !strcasecmp(word, "-costs")) {
            if (!value) {
                fprintf(stderr, "%s needs a file name\n", word);
                return false;
            }
            (!strcasecmp(word, "-capture") ? g_runOptions.capture
             : !strcasecmp(word, "-trace") ? g_runOptions.trace
                                           : g_runOptions.costs) = value;
            i++;
        } else if (!strcasecmp(word, "-fps")) {
            if (!number(&g_runOptions.fps, 1))
                return false;
        } else if (!strcasecmp(word, "-start")) {
            if (!number(&g_runOptions.startOrder, 0))
                return false;
        } else if (!strcasecmp(word, "-end")) {
            if (!number(&g_runOptions.endOrder, 0))
                return false;
        } else if (!strcasecmp(word, "-windowed")) {
            // The size is optional: another switch may follow at once.
            if (value && value[0] != '-') {
                int w, h;
                if (!parseSize(value, &w, &h) || w < 640 || h < 480 || w > 16384 || h > 16384) {
                    fprintf(stderr, "%s needs a size WxH from 640x480 to 16384x16384, or none\n", word);
                    return false;
                }
                g_runOptions.windowWidth = w;
                g_runOptions.windowHeight = h;
                i++;
            }
        } else if (!strcasecmp(word, "-figures")) {
            g_runOptions.figures = true;
        } else if (!strcasecmp(word, "-player")) {
            g_runOptions.player = true;
        } else if (!strcasecmp(word, "-size")) {
            int w, h;
            if (!value || !parseSize(value, &w, &h) || w < 640 || h < 480 || w > 7680 || h > 4320 || w % 2 ||
                h % 2) {
                fprintf(stderr, "%s needs an even size WxH from 640x480 to 7680x4320\n", word);
                return false;
            }
            g_runOptions.captureWidth = w;
            g_runOptions.captureHeight = h;
            i++;
        }
    }
    return sizeFitsCapture();
}

void UsageError(const char* text)
{
    fprintf(stderr, "%s\n\n%s", text, DemoUsage());
    exit(EXIT_USAGE);
}

namespace {
void captureFailed(const char* text) { g_xError.Fatal(text); }
} // namespace

void PrepareRun()
{
    if (g_runOptions.trace && !(g_chainTrace = fopen(g_runOptions.trace, "w")))
        g_xError.Fatal(xFormat("cannot write %s: %s", g_runOptions.trace, strerror(errno)));
    if (g_runOptions.costs)
        FrameCostsOpen(g_runOptions.costs);
    if (g_runOptions.capture) {
        platCaptureSetFailHook(captureFailed);
        if (g_runOptions.captureWidth)
            platCaptureSetSize(g_runOptions.captureWidth, g_runOptions.captureHeight);
        platCaptureStart(g_runOptions.capture, g_runOptions.fps);
        g_clockSpin = platCaptureSpin;
    }
    g_endAtOrder = g_runOptions.endOrder;
}

void FinishRun()
{
    // A cost file that cannot be written fails the run before the capture
    // reports anything as written.
    FrameCostsFinish();
    platCaptureFinish();
    FiguresReport();
    if (g_chainTrace) {
        bool written = !ferror(g_chainTrace);
        written = fclose(g_chainTrace) == 0 && written;
        g_chainTrace = nullptr;
        if (!written)
            g_xError.Fatal(xFormat("cannot write %s: %s", g_runOptions.trace, strerror(errno)));
    }
}

int WinMain(void* instance, void*, char* cmdLine, int)
{
    (void)instance;
    xSysInit("Quiet Harbor", nullptr, nullptr);
    if (g_runOptions.figures)
        FiguresWatch();
    xVideoInit();
    xVideoSetWindowSize(g_runOptions.windowWidth, g_runOptions.windowHeight);
    xKeyboardInit(xVideoMainWindow());
    x2dInit(SHOW_WIDTH, SHOW_2D_ROWS);
    x3dInit(SHOW_WIDTH, SHOW_HEIGHT, nullptr);
    x2dSetClipWindow(0, 0, SHOW_WIDTH, SHOW_LETTERBOX_ROWS);
    ParseCommandLine(cmdLine);
    if (HasSwitch("-slow"))
        x3dSetShadeTable(0, 1);
    bool windowed = HasSwitch("-windowed") || platCapturing();
    if (g_fileIO.Open("demo.pak") != 0)
        g_xError.Fatal("Resource file not found -> DEMO.PAK");
    g_pFileIO = &g_fileIO;
    x2dSprite* loading = x2dSpriteCreate();
    loading->Load("loading.jpg", g_pFileIO);
    xVideoSetMode(SHOW_WIDTH, SHOW_HEIGHT, !windowed, 32, 0xff0000, 0xff00, 0xff);
    BASS_Init(-1, 44100, 0, xVideoMainWindow(), nullptr);
    BASS_Start();
    // Centred, its top on the caption row; a picture larger than the space
    // below the letterbox would be drawn past the frame buffer, so it is not
    // drawn at all.
    if (loading->sizeX <= SHOW_WIDTH && loading->sizeY <= SHOW_HEIGHT - SHOW_LETTERBOX_TOP - SHOW_CAPTION_Y)
        loading->DrawNoClip((SHOW_WIDTH - loading->sizeX) >> 1, SHOW_CAPTION_Y,
                            g_frameBuffer + SHOW_LETTERBOX_TOP * SHOW_WIDTH);
    xVideoPresent();
    delete loading;
    InitParts();
    showSelectScene(g_openingScene);
    xSysAddResponder(KeyResponder, XEV_KEYDOWN, 1);
    xSysAddResponder(CloseResponder, XEV_CLOSE, 1);
    xFile music;
    if (g_fileIO.Read("iseeyou.mp3", &music) != 0)
        g_xError.Fatal("Broken resource file -> Can't load iseeyou.mp3");
    g_music = 0;
    // The block's size goes along: a length of 0 cannot tell it.
    g_music = BASS_MusicLoadMemory(music.data, (size_t)music.size, 5);
    if (!g_music)
        g_xError.Fatal("Can't load ISEEYOU.MP3");
    g_fileIO.Free(&music);
    if (g_runOptions.startOrder > 0 && !platMusicSeekOrder(g_music, g_runOptions.startOrder))
        UsageError(xFormat("The music has no order %d", g_runOptions.startOrder));
    platCaptureSetLength(platMusicLengthMs(g_music) - platMusicPositionMs(g_music));
    BASS_MusicPlay(g_music);
    memset(g_frameBuffer, 0, SHOW_SCREEN_PIXELS * 4);
    xVideoPresent();
    g_picture = g_frameBuffer + SHOW_LETTERBOX_TOP * SHOW_WIDTH;
    // The closing words draw their first frames over the falling letters.
    g_runFallStep = ChainTimer("FallFrame");
    xSysAddTimer(UpdateMusicPosition, 0);
    xSysAddTimer(ChainTimer(0), 0);
    g_lastFrameTick = platGetTickCount();
    FrameCostsSetOrigin(g_lastFrameTick);
    FiguresShowStarts();
    if (g_runOptions.player)
        PlayerStart();
    xSysRun();
    FinishRun();
    return 0;
}
