// The sprite: a block of 32-bit pixels 0xAARRGGBB with its size, an optional
// 8-bit alpha layer and a colour, drawn onto the 2D screen by 22 operations.
//
// Two code paths implement the operations: the plain one (x2dSpriteX86,
// blends through x2dBlendTable) and the processor one (x2dSpriteMMX: the MMX
// arithmetic, computed in SSE2 lanes, which the browser build compiles to
// WebAssembly SIMD). The two round some blends differently. Each sprite
// gets one table of operations when x2dSpriteCreate makes it, so the path is
// fixed per object. Everything else (loading, alpha, copying, rotation) is
// shared. Sprites are made only by x2dSpriteCreate and destroyed with delete.
#pragma once
#include <cstdint>

class x2dSprite;
class xFileIO;
struct xImage;

// The 22 drawing operations in their fixed order.
struct x2dSpriteOps {
    void (*Draw)(x2dSprite* s, int x, int y, uint32_t* dst);
    void (*Fill)(x2dSprite* s, uint32_t color);
    void (*Clear)(x2dSprite* s);
    void (*DrawNoClip)(x2dSprite* s, int x, int y, uint32_t* dst);
    void (*DrawAddNoClip)(x2dSprite* s, int x, int y, uint32_t* dst);
    void (*DrawBlendNoClip)(x2dSprite* s, int x, int y, uint32_t alpha, uint32_t* dst);
    void (*DrawAlphaNoClip)(x2dSprite* s, int x, int y, uint32_t* dst);
    void (*DrawAlphaBlendNoClip)(x2dSprite* s, int x, int y, uint32_t alpha, uint32_t* dst);
    void (*DrawKeyNoClip)(x2dSprite* s, int x, int y, uint32_t* dst);
    void (*DrawLayerNoClip)(x2dSprite* s, int x, int y, uint32_t* dst);
    void (*DrawLayerBlendNoClip)(x2dSprite* s, int x, int y, uint32_t alpha, uint32_t* dst);
    void (*DrawAdd)(x2dSprite* s, int x, int y, uint32_t* dst);
    void (*DrawBlendScaled)(x2dSprite* s, int x, int y, float scale, uint32_t alpha, uint32_t* dst);
    void (*DrawBlend)(x2dSprite* s, int x, int y, uint32_t alpha, uint32_t* dst);
    void (*DrawAlphaScaled)(x2dSprite* s, int x, int y, float scale, uint32_t* dst);
    void (*DrawAlpha)(x2dSprite* s, int x, int y, uint32_t* dst);
    void (*DrawAlphaBlendScaled)(x2dSprite* s, int x, int y, float scale, uint32_t alpha, uint32_t* dst);
    void (*DrawAlphaBlend)(x2dSprite* s, int x, int y, uint32_t alpha, uint32_t* dst);
    void (*DrawKey)(x2dSprite* s, int x, int y, uint32_t* dst);
    void (*DrawLayerScaled)(x2dSprite* s, int x, int y, float scale, uint32_t* dst);
    void (*DrawLayer)(x2dSprite* s, int x, int y, uint32_t* dst);
    void (*DrawLayerBlend)(x2dSprite* s, int x, int y, uint32_t alpha, uint32_t* dst);
};

extern const x2dSpriteOps x2dSpriteX86Ops;
// The processor path; where it is not built (no SSE2 lanes) the plain table
// stands in and x2dSpriteHasMMXPath is false.
extern const x2dSpriteOps x2dSpriteMMXOps;
bool x2dSpriteHasMMXPath();

class x2dSprite {
public:
    // Empty sprite with the table of the abstract base (every operation is an
    // assertion); x2dSpriteCreate installs a real one.
    x2dSprite();
    // Owner: releases pixels and alphaLayer and clears the size fields.
    // View (ownsMemory 0): releases and changes nothing.
    ~x2dSprite();
    x2dSprite(const x2dSprite&) = delete;
    x2dSprite& operator=(const x2dSprite&) = delete;

    // Placements: NoClip trusts the caller to keep the whole sprite inside the
    // screen; the plain names clip against the clip window; Scaled clips and
    // samples the nearest pixel. alpha is 0..255.
    void Draw(int x, int y, uint32_t* dst) { ops->Draw(this, x, y, dst); }
    void Fill(uint32_t c) { ops->Fill(this, c); }
    void Clear() { ops->Clear(this); }
    void DrawNoClip(int x, int y, uint32_t* dst) { ops->DrawNoClip(this, x, y, dst); }
    void DrawAddNoClip(int x, int y, uint32_t* dst) { ops->DrawAddNoClip(this, x, y, dst); }
    void DrawBlendNoClip(int x, int y, uint32_t a, uint32_t* dst) { ops->DrawBlendNoClip(this, x, y, a, dst); }
    void DrawAlphaNoClip(int x, int y, uint32_t* dst) { ops->DrawAlphaNoClip(this, x, y, dst); }
    void DrawAlphaBlendNoClip(int x, int y, uint32_t a, uint32_t* dst) { ops->DrawAlphaBlendNoClip(this, x, y, a, dst); }
    void DrawKeyNoClip(int x, int y, uint32_t* dst) { ops->DrawKeyNoClip(this, x, y, dst); }
    void DrawLayerNoClip(int x, int y, uint32_t* dst) { ops->DrawLayerNoClip(this, x, y, dst); }
    void DrawLayerBlendNoClip(int x, int y, uint32_t a, uint32_t* dst) { ops->DrawLayerBlendNoClip(this, x, y, a, dst); }
    void DrawAdd(int x, int y, uint32_t* dst) { ops->DrawAdd(this, x, y, dst); }
    void DrawBlendScaled(int x, int y, float scale, uint32_t a, uint32_t* dst) { ops->DrawBlendScaled(this, x, y, scale, a, dst); }
    void DrawBlend(int x, int y, uint32_t a, uint32_t* dst) { ops->DrawBlend(this, x, y, a, dst); }
    void DrawAlphaScaled(int x, int y, float scale, uint32_t* dst) { ops->DrawAlphaScaled(this, x, y, scale, dst); }
    void DrawAlpha(int x, int y, uint32_t* dst) { ops->DrawAlpha(this, x, y, dst); }
    void DrawAlphaBlendScaled(int x, int y, float scale, uint32_t a, uint32_t* dst) { ops->DrawAlphaBlendScaled(this, x, y, scale, a, dst); }
    void DrawAlphaBlend(int x, int y, uint32_t a, uint32_t* dst) { ops->DrawAlphaBlend(this, x, y, a, dst); }
    void DrawKey(int x, int y, uint32_t* dst) { ops->DrawKey(this, x, y, dst); }
    void DrawLayerScaled(int x, int y, float scale, uint32_t* dst) { ops->DrawLayerScaled(this, x, y, scale, dst); }
    void DrawLayer(int x, int y, uint32_t* dst) { ops->DrawLayer(this, x, y, dst); }
    void DrawLayerBlend(int x, int y, uint32_t a, uint32_t* dst) { ops->DrawLayerBlend(this, x, y, a, dst); }

    // Adopts the pixel block of a 32-bit image (callers convert to mode 6).
    void SetImage(xImage& image);
    // Reads, decodes and converts a picture file as the sprite's pixels.
    void Load(const char* name, xFileIO* files);
    // An 8-bit picture of exactly the sprite's size becomes the fourth byte
    // of every pixel.
    void LoadAlphaChannel(const char* name, xFileIO* files);
    void LoadAlphaChannel(xImage& image);
    // An 8-bit picture becomes the alpha layer; color -1 keeps the colour.
    void LoadAlphaLayer(const char* name, xFileIO* files, int color);
    // Deep copy of src's pixels (not its alpha layer).
    void Copy(x2dSprite& src);
    // Draws this sprite rotated by angle (radians) into all of dst's pixels;
    // zoom is the source step per destination pixel (2 = half size).
    void RotoZoom(float angle, x2dSprite& dst, float zoom);

    const x2dSpriteOps* ops;
    const char* className;
    int32_t sizeX;
    int32_t sizeY;
    uint32_t* pixels;
    int32_t pitch;
    int32_t skip;
    uint32_t color;
    uint8_t* alphaLayer;
    uint8_t ownsMemory;
};

// A new sprite on the heap with the processor path when x2dMMX is 1, else the
// plain one. x2dInit must have run.
x2dSprite* x2dSpriteCreate();
