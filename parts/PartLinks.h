// What one part of the show publishes for another or for the timeline: a
// part's init publishes what it loads for others (a 3D scene, a picture, a
// setter); the timeline's hand-overs read the scenes from here. Like
// ShowState, it includes nothing of the effects or of the timeline.
#pragma once
#include <cstdint>

#include "parts/ShowState.h"

struct x3dScene;
class x2dSprite;

// Published by the parts' inits. A scene is made current with its
// "Camera01" at start-up (the opening's) or at a hand-over (the lines', the
// credits'); it stays null until its part is loaded.
extern x3dScene* g_openingScene;
extern x3dScene* g_linesScene;
extern x3dScene* g_creditsScene;
// The opening's caption "see you soon" and the harbour picture that slides
// up at its end (640 x 250), with the row its top has reached (250 .. 0):
// the fish finish the slide and keep the picture.
extern x2dSprite* g_openingCaption;
extern x2dSprite* g_openingSlide;
extern float g_openingSlideY;
// The greetings background's 640 x 250 pixel block, free for later parts to
// draw in once the greetings have ended.
extern uint32_t* g_greetScratch;
// The calm sea behind the roto-zoom (640 x 250): the flare scene
// cross-fades into it over its last frames, and the closing words draw
// their background into its pixels. Null until the roto-zoom is loaded.
extern x2dSprite* g_rotoBack;
// Sets the flare scene's flare size (the falling letters' hand-over makes it
// 800); null until the flare scene is loaded.
extern void (*g_setFlareSize)(float size);

// The falling letters' frame timer (its pacing and its drawing into
// g_picture, without present or hand-over once they have ended): the
// closing words draw their first frames over it. Set at start-up.
extern void (*g_runFallStep)(uint32_t periods);

// Makes the scene current with its "Camera01" active. A null scene (its part
// is not in the show yet) changes nothing.
void showSelectScene(x3dScene* scene);
