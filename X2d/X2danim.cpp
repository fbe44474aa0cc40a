#include "X2danim.h"

#include <cstdlib>
#include <cstring>

#include "X2d.h"
#include "X2dspr.h"
#include "Ximage/Ximage.h"
#include "files/Memfile.h"
#include "files/xFileIO.h"
#include "platform/Plat.h"
#include "system/Xerror.h"

namespace {

const char* const kModule = "X2d/X2danim.cpp";

// Milliseconds since `since` on the wrapping 32-bit tick clock.
int32_t elapsedSince(int32_t since) { return (int32_t)(platGetTickCount() - (uint32_t)since); }

uint32_t readLE32(const uint8_t* p) { return (uint32_t)p[0] | (uint32_t)p[1] << 8 | (uint32_t)p[2] << 16 | (uint32_t)p[3] << 24; }

} // namespace

// ---- strips ----

x2dAnim::x2dAnim()
    : lastTick(0), frames(0), delay(0), frame(nullptr), strip(nullptr), frameTable(nullptr), current(0), wrapped(0)
{
}

x2dAnim::~x2dAnim() { Release(); }

void x2dAnim::Init(int count)
{
    Release();
    X_ASSERT(count > 0, kModule, __LINE__);
    frame = x2dSpriteCreate();
    strip = x2dSpriteCreate();
    frameTable = (uint32_t**)calloc((size_t)count, sizeof(uint32_t*));
    if (!frameTable)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    frames = count;
    current = 0;
}

void x2dAnim::Release()
{
    if (!frameTable)
        return;
    delete strip;
    delete frame;
    free(frameTable);
    frame = nullptr;
    strip = nullptr;
    frameTable = nullptr;
    frames = 0;
}

void x2dAnim::Load(const char* name, int count, int frameDelay, xFileIO* files)
{
    if (count <= 0)
        return;
    Init(count);
    strip->Load(name, files);
    delay = frameDelay;
    frame->sizeX = strip->sizeX;
    frame->sizeY = strip->sizeY / count; // rows past the last whole frame are unused
    frame->pitch = strip->sizeX * 4;
    frame->skip = x2dScreenWidth - strip->sizeX;
    frame->ownsMemory = 0;
    const size_t framePixels = (size_t)strip->sizeX * (size_t)frame->sizeY;
    for (int i = 0; i < count; i++)
        frameTable[i] = strip->pixels + (size_t)i * framePixels;
    lastTick = (int32_t)platGetTickCount();
    current = 0;
    frame->pixels = frameTable[0];
}

void x2dAnim::LoadAlphaChannel(const char* name, xFileIO* files)
{
    X_ASSERT(frames != 0 && strip, kModule, __LINE__);
    strip->LoadAlphaChannel(name, files);
}

void x2dAnim::Restart()
{
    current = 0;
    lastTick = (int32_t)platGetTickCount();
    if (frameTable)
        frame->pixels = frameTable[0];
}

void x2dAnim::Update()
{
    wrapped = 0;
    if (elapsedSince(lastTick) < delay)
        return;
    lastTick = (int32_t)platGetTickCount();
    if (!frameTable)
        return;
    if (++current >= frames) {
        wrapped = 1;
        current = 0;
    }
    frame->pixels = frameTable[current];
}

// ---- .xvd files ----

xVideo::xVideo()
    : sizeX(0), sizeY(0), data(nullptr), frameData(nullptr), frameSize(nullptr), frames(0), delay(0), lastTick(0),
      current(0), dataSize(0), name(nullptr)
{
}

xVideo::~xVideo()
{
    free(data);
    free(frameData);
    free(frameSize);
    free(name);
}

void xVideo::load(xFile* file, int frameDelay)
{
    delay = frameDelay;
    X_ASSERT(file && file->data, kModule, __LINE__);
    const char* fileName = file->name ? file->name : "";
    free(name);
    name = strdup(fileName);
    if (!name)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);

    mfile m{file->data, file->size, 0};
    uint8_t header[16] = {};
    mread(header, 4, &m);
    if (memcmp(header, "XVD\0", 4) != 0)
        g_xError.Fatal(xFormat("xVideo::load() -> unsupported format %s", fileName));
    mread(header + 4, 12, &m);
    sizeX = (int32_t)readLE32(header + 4);
    sizeY = (int32_t)readLE32(header + 8);
    frames = (int32_t)readLE32(header + 12);
    if (file->size < 16)
        g_xError.Fatal(xFormat(" xVideo::load() -> wrong filesize %s", fileName));
    // A frame of no pixels, or more than a 32-bit buffer can address, cannot
    // be drawn into any caller's buffer.
    if (sizeX <= 0 || sizeY <= 0 || (int64_t)sizeX * sizeY > 0x1fffffff)
        g_xError.Fatal(xFormat("xVideo::load() -> unsupported format %s", fileName));

    free(data);
    dataSize = (uint32_t)(file->size - 16);
    data = (uint8_t*)malloc(dataSize ? dataSize : 1);
    if (!data)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    mread(data, (int32_t)dataSize, &m);
    prepareFrames();
    current = 0;
    g_xLog.Print(xFormat("xVideo::loaded -> %s : sizeX = %d sizeY = %d Frames = %d", fileName, sizeX, sizeY, frames));
}

void xVideo::prepareFrames()
{
    X_ASSERT(data, kModule, __LINE__);
    if (frames < 1)
        g_xError.Fatal("xVideo::prepareFrames() -> no frames");
    // Every frame needs at least its length field: a count the data cannot
    // hold is refused before anything is allocated for it.
    const char* wrong = xFormat(" xVideo::load() -> wrong filesize %s", name ? name : "");
    if ((uint64_t)frames * 4 > dataSize)
        g_xError.Fatal(wrong);

    free(frameData);
    free(frameSize);
    frameData = (uint8_t**)malloc(sizeof(uint8_t*) * (size_t)frames);
    if (!frameData)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);
    frameSize = (uint32_t*)malloc(sizeof(uint32_t) * (size_t)frames);
    if (!frameSize)
        g_xError.Raise(kModule, __LINE__, 1, nullptr);

    uint64_t pos = 0;
    for (int i = 0; i < frames; i++) {
        if (pos + 4 > dataSize)
            g_xError.Fatal(wrong);
        const int32_t length = (int32_t)readLE32(data + pos);
        if (length < 0 || pos + 4 + (uint64_t)length > dataSize)
            g_xError.Fatal(wrong);
        frameData[i] = data + pos + 4;
        frameSize[i] = (uint32_t)length;
        pos += 4 + (uint64_t)length;
    }
}

void xVideo::update()
{
    if (elapsedSince(lastTick) < delay)
        return;
    lastTick = (int32_t)platGetTickCount();
    if (frames > 0 && ++current >= frames)
        current = 0;
}

void xVideo::drawFrame(uint32_t* dst)
{
    X_ASSERT(data && frameData && dst && current >= 0 && current < frames, kModule, __LINE__);
    if (xJpegDecodeRGB32(frameData[current], frameSize[current], dst, sizeX, sizeY) != XJPEG_OK)
        g_xError.Fatal(xFormat("xVideo::drawFrame() -> wrong frame size %s", name ? name : ""));
}
