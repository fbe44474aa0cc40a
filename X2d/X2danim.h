// Frame-by-frame animations: strips (all frames stacked in one picture,
// shown through a view sprite) and .xvd files (JPEG frames decoded on
// demand). Both advance by the tick clock, at most one frame a call, and
// loop.
#pragma once
#include <cstdint>

class x2dSprite;
class xFileIO;
struct xFile;

class x2dAnim {
public:
    x2dAnim();
    ~x2dAnim();
    x2dAnim(const x2dAnim&) = delete;
    x2dAnim& operator=(const x2dAnim&) = delete;

    // Releases what a previous load made, makes the two sprites and a zeroed
    // table of frame starts.
    void Init(int frames);
    void Release();
    // Loads the strip picture; frames 0 (or less) leaves the animation alone.
    void Load(const char* name, int frames, int delay, xFileIO* files);
    // An alpha channel for the whole strip, so every frame has its part.
    void LoadAlphaChannel(const char* name, xFileIO* files);
    void Restart();
    // Advances one frame when delay milliseconds have passed; wrapped is set
    // by the update that goes from the last frame to the first.
    void Update();

    int32_t lastTick;
    int32_t frames;
    int32_t delay;
    x2dSprite* frame;     // the view that is drawn; never owns its pixels
    x2dSprite* strip;     // owns the whole strip
    uint32_t** frameTable;
    int32_t current;
    uint8_t wrapped;
};

// .xvd file: "XVD\0", width, height, frame count (little-endian 32-bit), then
// per frame a 32-bit length and that many bytes of a JPEG stream.
class xVideo {
public:
    xVideo();
    ~xVideo();
    xVideo(const xVideo&) = delete;
    xVideo& operator=(const xVideo&) = delete;

    // Keeps its own copy of the file's frames; the xFile may be released.
    void load(xFile* file, int delay);
    void prepareFrames();
    void update();
    // Decodes the current frame into dst, sizeX x sizeY packed pixels.
    void drawFrame(uint32_t* dst);

    int32_t sizeX;
    int32_t sizeY;
    uint8_t* data;        // the file from byte 16 on
    uint8_t** frameData;  // start of each frame's JPEG stream in data
    uint32_t* frameSize;  // byte length of each frame's stream
    int32_t frames;
    int32_t delay;
    int32_t lastTick;
    int32_t current;
    uint32_t dataSize;    // bytes in data, to hold the frame walk inside it
    char* name;           // the file's name, for messages
};
