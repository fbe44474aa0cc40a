// The inventory of the archive: every file the show loads, by the name the
// show asks for, with the size and format its effect needs.
#include "tools/makedata/Show.h"

#include <cstdio>

#include "tools/makedata/Looks.h"
#include "tools/makedata/Scenes.h"
#include "tools/makedata/Type.h"

namespace qhd {

namespace {

// A scene script and its 3DS file, stored under the names the script uses.
void AddScene(Bundle& b, const std::string& base, const std::string& what, const ShowScene& scene)
{
    b.Raw(base + ".x3d", what + ", its scene script", "scene script (CR LF text)",
          Bytes(scene.script.begin(), scene.script.end()));
    char format[64];
    std::snprintf(format, sizeof format, "3DS scene, %d faces, frames %d-%d", FaceCount(scene.scene),
                  scene.scene.firstFrame, scene.scene.lastFrame);
    b.Raw(base + ".3ds", what, format, qhscene::write3ds(scene.scene));
}

std::string Numbered(const char* pattern, int i)
{
    char name[64];
    std::snprintf(name, sizeof name, pattern, i);
    return name;
}

const std::vector<std::pair<std::string, std::string>>& Greeted()
{
    static const std::vector<std::pair<std::string, std::string>> names = {
        {"Ada Quayle", "keeper of the east light"}, {"Brine Orchestra", "for the sea shanties"},
        {"Coral Vance", "netmender"},               {"Driftwood Union", "the boat builders"},
        {"Edda Marsh", "harbour pilot"},            {"Fog Signal Club", "the night watch"},
        {"Gale & Tern", "the sailmakers"},          {"Hollis Reed", "ferry captain"},
        {"Isla Moreau", "chart maker"},             {"Jetty Seven", "for the long evenings"},
        {"Kelp Choir", "low voices"},               {"Lantern Guild", "who keep the lamps lit"},
        {"Mira Okafor", "tide reader"},             {"Nautilus Press", "paper and ink"},
        {"Oona Salt", "radio operator"},            {"Pier Street Five", "the late crew"},
        {"Quill & Anchor", "letters at sea"},       {"Rosa Finch", "lighthouse cook"},
        {"Sextant Society", "for finding north"},   {"Tobias Wren", "weather man"},
        {"Undertow Radio", "deep listeners"},       {"Vela Nord", "the harbour master"},
    };
    return names;
}

// The greeted faces: drawn from a seed, with skin tone, hair style and
// backdrop spread so that neighbours never look alike.
FaceLook GreetedFace(int i)
{
    FaceLook f = RandomFace(uint32_t(100 + i));
    static const int skins[] = {4, 0, 2, 6, 3, 1, 8, 5, 7};
    f.skin = skins[i % 9];
    f.hairStyle = (i * 3) % 7;
    f.backdrop = (i * 5) % 8;
    return f;
}

// The soft figures of the flare scene: long hair, a calm smile.
FaceLook FigureFace(int i)
{
    FaceLook f = RandomFace(uint32_t(500 + i));
    f.hairStyle = i == 0 ? 1 : 5;
    f.hair = i == 0 ? 2 : 0;
    f.skin = i == 0 ? 4 : 7;
    f.hat = 0;
    f.beard = false;
    f.glasses = false;
    f.smile = 0.75f;
    return f;
}

FaceLook AuthorFace(int i)
{
    FaceLook f = RandomFace(uint32_t(900 + i));
    const int skin[] = {3, 6, 1}, style[] = {0, 1, 4}, hat[] = {2, 0, 1}, backdrop[] = {5, 3, 1};
    f.skin = skin[i];
    f.hairStyle = style[i];
    f.hat = hat[i];
    f.backdrop = backdrop[i];
    f.glasses = i == 0;
    f.beard = i == 0;
    f.smile = 0.7f;
    return f;
}

} // namespace

const Author kAuthors[3] = {
    {"kittiwake", "code", "kittiwake@example.org"},
    {"lowtide", "music", "lowtide@example.net"},
    {"mareel", "design", "mareel@example.com"},
};

void BuildOpening(Bundle& b)
{
    b.Jpeg("loading.jpg", "loading picture under the letterbox", LoadingLine(240, 16));
    Sprite ring = RingPop(25, 10);
    b.Tga24("circles.tga", "circle cell animation, ten frames of 25 x 25", ring.rgb);
    b.PreviewAlpha(ring.alpha);
    b.Strip(25);
    b.GifMask("ccmask.gif", "circle cell animation alpha channel", ring.alpha);
    b.Strip(25);
    b.Tga24("cusoon.tga", "opening caption \"see you soon\"", Caption("see you soon", CaptionWidth(170), 20));
    b.Tga24("mart.tga", "harbour at dusk, the picture sliding up", HarbourAtDusk());
    b.GifMask("grplogo.gif", "group logo mask, ten letters of 62 x 68", LogoLetters("SALTMARINE", 62, 68, kLogoLetterHeight, kLogoMiddle));
    AddScene(b, "logo3d", "3D group logo in lines, settling over the logo mask's letters", LogoScene());
    b.Strip(68);
}

void BuildFish(Bundle& b)
{
    b.Tga24("happy.tga", "fish caption \"happy?\"", Caption("happy?", CaptionWidth(172), 20));
    Sprite title = TitleCard(400, 200);
    b.Tga24("fishtro.tga", "fish title picture", title.rgb);
    b.PreviewAlpha(title.alpha);
    b.GifMask("fishtrom.gif", "fish title picture alpha channel", title.alpha);
    for (int i = 1; i <= 3; ++i) {
        Sprite f = Fish(i - 1);
        b.Tga24(Numbered("fish%d.tga", i), Numbered("fish picture F%d", i - 1), f.rgb);
        b.PreviewAlpha(f.alpha);
        b.GifMask(Numbered("fish%dm.gif", i), Numbered("fish picture F%d alpha channel", i - 1), f.alpha);
    }
}

void BuildLines(Bundle& b)
{
    for (int i = 1; i <= 4; ++i)
        b.GifIndexed(Numbered("grid%d.gif", i), Numbered("darkening grid %d (255 keeps the picture)", i),
                     GridPattern(80, 40, i - 1));
    const char* letters = "WELCOMEABOARD!";
    std::vector<Mask> glyphs = LetterSet(letters, 64, 76, int(Face::SerifBold));
    for (int i = 1; i <= 14; ++i) {
        Color top = i <= 7 ? Hex(0x2b3a67) : Hex(0x6a3ea0);
        Sprite l = ZoomLetter(glyphs[size_t(i - 1)], top, Hex(0x1f5a73));
        b.Tga24(Numbered("n%d.tga", i), Numbered("zoom letter %d", i) + " '" + letters[i - 1] + "'", l.rgb);
        b.PreviewAlpha(l.alpha);
        b.GifMask(Numbered("n%d.gif", i), Numbered("zoom letter %d alpha channel", i), l.alpha);
    }
    AddScene(b, "test", "3D title QUIET HARBOR in brass letters", TitleScene());
    b.Tga24("3dstuff.tga", "lines caption \"3d stuff\"", Caption("3d stuff", CaptionWidth(198), 20));
    b.Tga24("textures/brass.tga", "3D title letters' faces, brushed brass", BrassTexture(256));
    b.OnDisk();
    b.Pcx24("textures/harbenv.pcx", "3D title letters' walls, the harbour in a curved mirror", HarbourMirror(256));
    b.OnDisk();
}

void BuildGreetings(Bundle& b)
{
    b.Jpeg("greets.jpg", "greetings background, the boathouse wall", GreetingsWall());
    Canvas photos(77, 76 * 22);
    for (int i = 0; i < 22; ++i)
        Place(photos, Portrait(GreetedFace(i), 77, 76), 0, 76 * i);
    b.Jpeg("photos.jpg", "greeted people's photos, 22 of 77 x 76", photos, 94);
    b.Strip(76);
    for (int i = 1; i <= 5; ++i)
        b.GifIndexed(Numbered("colpal_%d.gif", i), Numbered("mosaic tint palette %d (dark to light)", i),
                     PaletteRamp(i - 1));
    Mask photoMask(77, 76);
    Stamp(photoMask, Circle(38.5f, 38.0f, 34.0f), 1.0f, 1.5f);
    b.GifMask("photmask.gif", "photo alpha channel, applied to every photo", photoMask);
    Sprite names = NameList(Greeted(), 320, 44);
    b.Tga24("gname.tga", "greeted names, 22 of 44 rows", names.rgb);
    b.PreviewAlpha(names.alpha);
    b.Strip(44);
    b.GifMask("gnmask.gif", "greeted names alpha channel", names.alpha);
    b.Strip(44);
    // The round frame around each photo.
    Canvas frame(77, 76);
    FillWith(frame, Box(0, 0, 77, 76), [](float x, float y) {
        return Mix(Hex(pal::LampLight), Hex(0xb07030), Clamp01((x + y) / 153.0f));
    });
    Mask frameMask(77, 76);
    Stamp(frameMask, Ring(Circle(38.5f, 38.0f, 35.0f), 2.5f));
    Stamp(frameMask, Ring(Circle(38.5f, 38.0f, 31.5f), 0.6f), 0.5f);
    b.Tga24("circle2.tga", "round photo frame", frame);
    b.PreviewAlpha(frameMask);
    b.GifMask("circmask.gif", "round photo frame alpha channel", frameMask);
    b.Tga24("greetsto.tga", "greetings caption \"greetings to\"", Caption("greetings to", CaptionWidth(174), 20));
    b.Tga24("monstrs.tga", "greetings caption \"the monsters\"", Caption("the monsters", CaptionWidth(151), 20));
    b.Tga24("twomiss.tga", "greetings caption \"two are missing\"", Caption("two are missing", CaptionWidth(157), 20));
    b.Tga24("guesswho.tga", "greetings caption \"guess who\"", Caption("guess who", CaptionWidth(240), 20));
    Sprite q = QuestionMark(60, 74);
    b.Tga24("vopros.tga", "question mark for the mosaic holes", q.rgb);
    b.PreviewAlpha(q.alpha);
    b.GifMask("vprsmask.gif", "question mark alpha channel", q.alpha);
}

void BuildCredits(Bundle& b)
{
    const Color bg1 = Hex(0x3f8f9a), bg2 = Hex(0xc9744a);
    b.GifPicture("textures/codepage.gif", "paper gulls' bodies, a page of code", CodePage(256));
    b.OnDisk();
    Canvas backdrop = CircleBackdrop(340, 250, bg1);
    b.Tga24("cpcir1.tga", "first credit backdrop (first pixel is the fill colour)", backdrop);
    // The gulls fly off into the very colour the backdrop's fill is stored in.
    std::vector<uint8_t> fill = ToRgb8(Crop(backdrop, 0, 0, 1, 1));
    AddScene(b, "scene3", "paper gulls and a lantern over the first credit", GullScene({fill[0], fill[1], fill[2]}));
    Sprite ov = CircleOverlay(300, 250);
    b.Tga24("cpcir2.tga", "first credit rings", ov.rgb);
    b.PreviewAlpha(ov.alpha);
    b.GifMask("cpcir2m.gif", "first credit rings alpha channel", ov.alpha);
    b.Tga24("cpcir3.tga", "first credit porthole", CircleDetail(116, 116));
    b.Tga24("cprec1.tga", "second credit backdrop (first pixel is the fill colour)", RectBackdrop(360, 250, bg2));
    Sprite win = RectOverlay(160, 210);
    b.Tga24("cprec2.tga", "second credit window", win.rgb);
    b.GifMask("cprec2m.gif", "second credit window alpha channel", win.alpha);
    Sprite tag = RectDetail(90, 54);
    b.Tga24("cprec3.tga", "second credit luggage tag", tag.rgb);
    b.PreviewAlpha(tag.alpha);
    b.GifMask("cprec3m.gif", "second credit luggage tag alpha channel", tag.alpha);

    for (int i = 0; i < 2; ++i) {
        Canvas photo = Portrait(AuthorFace(i), 200, 240);
        b.Jpeg(Numbered("auth%d.jpg", i + 1), i == 0 ? "first author photo" : "second author photo", photo);
        b.GifMask(Numbered("auth%dm.gif", i + 1),
                  i == 0 ? "first author photo alpha channel" : "second author photo alpha channel", OvalMask(200, 240, 6));
    }
    b.Tga24("auth3.tga", "third author photo", Portrait(AuthorFace(2), 180, 250));
    b.GifMask("auth3m.gif", "third author photo alpha channel", OvalMask(180, 250, 6));

    b.GifMask("progmask.gif", "first credit role strip \"programming\"", RoleStrip("PROGRAMMING", 1200, 44));
    b.GifMask("codem.gif", "first credit role strip \"code\"", RoleStrip("CODE  CODE  CODE", 700, 56));
    b.GifMask("musicm.gif", "second credit role strip \"music\"", RoleStrip("MUSIC", 480, 40));
    b.GifMask("designm.gif", "second credit role strip \"design\"", RoleStrip("DESIGN", 480, 40));
    b.GifMask("mus_col.gif", "violet shadow of the music strip", RoleStrip("MUSIC", 480, 40, 4, 3, 1));
    b.GifMask("des_col.gif", "cyan shadow of the design strip", RoleStrip("DESIGN", 480, 40, 4, 3, 1));
    Sprite plate = NamePlate(200, 250, kAuthors[2].handle, kAuthors[2].role, kAuthors[2].mail);
    b.Tga24("plate.tga", "third author name plate", plate.rgb);
    b.GifMask("name1m.gif", "first author name mask", LineMask(kAuthors[0].handle, 400, 52, true, true));
    b.GifMask("mail1m.gif", "first author contact-line mask", LineMask(kAuthors[0].mail, 320, 22, false, false));
    b.GifMask("name2m.gif", "second author name mask", LineMask(kAuthors[1].handle, 400, 58, true, true));
    b.GifMask("mail2m.gif", "second author contact-line mask", LineMask(kAuthors[1].mail, 320, 22, false, false));
    b.GifMask("cpcir.gif", "floating circle shapes, eight of 50 x 50", CircleShapes(50, 8));
    b.Strip(50);
}

void BuildFlare(Bundle& b)
{
    AddScene(b, "scene4", "festoon lamps over the water, drawn as flares of light Flare01", FestoonScene());
    b.Jpeg("textures/flare.jpg", "the festoon lamps' lens flare", FlareTexture(256));
    b.OnDisk();
    b.Jpeg("texture1.jpg", "warp texture (tiles both ways)", WaterTexture(256));
    b.Jpeg("girl2.jpg", "overlay added onto the small flare panels",
           GlowPortrait(FigureFace(0), 140, 105, Hex(pal::Line4)));
    Sprite cal = CalendarCells(65, 35, 30);
    b.Tga24("april.tga", "calendar page, thirty day cells of 65 x 35", cal.rgb);
    b.PreviewAlpha(cal.alpha);
    b.Strip(35);
    b.GifMask("aprilm.gif", "calendar page alpha channel", cal.alpha);
    b.Strip(35);
    b.Jpeg("girl6.jpg", "figure added onto the warp", GlowPortrait(FigureFace(1), 380, 250, Hex(pal::LampSoft)));
    b.Tga24("nomore.tga", "flare caption \"no more\"", Caption("no more", CaptionWidth(199), 20));
}

void BuildRoto(Bundle& b)
{
    b.GifPicture("fon1.gif", "calm sea, roto-zoom background", CalmSea());
    Sprite gull = Gull(256);
    b.Tga24("orel.tga", "gull, the roto-zoomed picture", gull.rgb);
    b.PreviewAlpha(gull.alpha);
    b.GifMask("orelmask.gif", "gull alpha channel", gull.alpha);
    b.Tga24("backto.tga", "roto-zoom caption \"back to\"", Caption("back to", CaptionWidth(186), 20));
    b.Tga24("may.tga", "morning street, the sliding picture", MorningStreet());
    b.Tga24("scene3c.tga", "lit window, falling letters background", LitWindow());
    const char* letters = "LIGHTSONTHEWATER";
    std::vector<Mask> glyphs = LetterSet(letters, 34, 44, int(Face::SerifBold));
    for (int i = 1; i <= 16; ++i)
        b.GifMask(Numbered("mn%dm.gif", i), Numbered("falling letter %d", i) + " '" + letters[i - 1] + "'",
                  glyphs[size_t(i - 1)]);
}

void BuildClosing(Bundle& b)
{
    const int W = 140, H = 105, N = 24;
    b.Xvd("waves.xvd", "panel animation 0, waves", WavesLoop(W, H, N));
    b.Xvd("beam.xvd", "panel animation 1, the turning lighthouse beam", BeamLoop(W, H, N));
    b.Xvd("tunnel.xvd", "panel animation 2, the tunnel", TunnelLoop(W, H, N));
    b.Xvd("plankton.xvd", "panel animation 3, drifting plankton", PlanktonLoop(W, H, N));
    b.Jpeg("still1.jpg", "panel still 0, a boat at night", StillBoat(W, H));
    b.Jpeg("still2.jpg", "panel still 1, gulls over the pier", StillGulls(W, H));
    b.Jpeg("still3.jpg", "panel still 2, the lighthouse in fog", StillFog(W, H));
    b.Jpeg("partbg.jpg", "particle panel background", ParticleBackdrop(W, H));
    b.Tga24("we.tga", "closing word \"we\" (above the letterbox)", WordPicture("we", 150, 48, Hex(0xfff6ea), Hex(0), true));
    b.Tga24("brought.tga", "closing word \"brought\"", WordPicture("brought", 355, 100, Hex(pal::Ink), Hex(0xffffff), true));
    b.GifMask("thism.gif", "closing black text mask \"this\"", LineMask("this", 150, 64, true, true));
    b.Tga24("to.tga", "closing word \"to\"", WordPicture("to", 110, 56, Hex(pal::Ink), Hex(0xffffff), true));
    b.Tga24("you.tga", "closing word \"you\"", WordPicture("you", 300, 90, Hex(pal::Ink), Hex(0xffffff), true));
    b.Jpeg("scroll1.jpg", "end scroller panorama (tiles sideways)", Panorama(1200, 250));
    b.Tga24("cuthere.tga", "end caption \"cut here\"", Caption("cut here", CaptionWidth(200), 20));
    Sprite logo = SmallLogo(220, 56);
    b.Tga24("smlogo.tga", "small group logo", logo.rgb);
    b.PreviewAlpha(logo.alpha);
    b.GifMask("smlogom.gif", "small group logo alpha channel", logo.alpha);
}

void BuildShow(Bundle& b)
{
    BuildOpening(b);
    BuildFish(b);
    BuildLines(b);
    BuildGreetings(b);
    BuildCredits(b);
    BuildFlare(b);
    BuildRoto(b);
    BuildClosing(b);
}

} // namespace qhd
