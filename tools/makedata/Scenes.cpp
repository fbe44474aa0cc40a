// The show's 3D scenes. Places are worked out through the engine's own
// projection: a point at camera-space (x, y, z), x and y already scaled by
// f = 1 / tan(fov / 2), lands on column cx + (x / z)(cx - 2) and row
// cy - (y / z)(cy - 2), with no aspect correction. Scenes are described in
// the file's z-up space; the camera looks along +y, so x runs right and z up.
#include "tools/makedata/Scenes.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "tools/makedata/Canvas.h"
#include "tools/makedata/Looks.h"
#include "tools/makedata/Show.h"

namespace qhd {

using namespace qhscene;

namespace {

// ---- keys and nodes ----

// A turn of the model by angle (radians, right-handed) about axis, after the
// previous key's. Keys store the angle the other way round.
RotKey Turn(int32_t frame, float angle, Vec3 axis = {0, 0, 1}, float tension = 0)
{
    return rotKey(frame, -angle, axis, tension);
}

Node Dummy(int id, int parent, const std::string& instance)
{
    Node n = makeNode(Node::Object, id, parent, "$$$DUMMY");
    n.instance = instance;
    n.scale.keys = {vecKey(0, {1, 1, 1})};
    return n;
}

// Camera and target nodes of a camera that keeps its lens and roll.
void AddCamera(Scene& s, const Camera& c, int& id, std::vector<VecKey> position = {}, std::vector<VecKey> target = {},
               uint16_t flags = 0)
{
    s.cameras.push_back(c);
    Node n = makeNode(Node::Camera, id++, -1, c.name);
    n.position.keys = position.empty() ? std::vector<VecKey>{vecKey(0, c.position)} : position;
    n.position.flags = flags;
    float fov = 15.0f / c.lens * 160.0f;
    static const float table[][2] = {{15, 115}, {20, 94.28571f}, {24, 84}, {28, 76.36364f}, {35, 63},
                                     {50, 46}, {85, 28}, {135, 18}, {200, 12}};
    for (const auto& row : table)
        if (c.lens == row[0])
            fov = row[1];
    n.fov.keys = {floatKey(0, fov)};
    n.roll.keys = {floatKey(0, c.roll)};
    s.nodes.push_back(n);
    Node t = makeNode(Node::CameraTarget, id++, -1, c.name);
    t.position.keys = target.empty() ? std::vector<VecKey>{vecKey(0, c.target)} : target;
    t.position.flags = flags;
    s.nodes.push_back(t);
}

// The projection scale of a lens, as the engine computes it.
float LensScale(float lens)
{
    float fov = 15.0f / lens * 160.0f;
    if (lens == 35)
        fov = 63;
    if (lens == 50)
        fov = 46;
    if (lens == 28)
        fov = 76.36364f;
    return 1.0f / std::tan(fov * 0.5f * 0.017453292519944444f);
}

// ---- extruded letters ----

struct LetterShape {
    std::vector<Contour> contours; // pixels, y up, centred on the letter
    float w = 0, h = 0;            // ink size in pixels
};

// A capital's outline at a pixel size, widened by stretch about its ink
// centre; centred across its ink and, up and down, on the cap height.
LetterShape Letter(char ch, Face face, float size, float stretch, int steps)
{
    LetterShape l;
    l.contours = GlyphOutline(ch, face, size, steps);
    std::vector<Contour> cap = GlyphOutline('H', face, size, 1);
    float capTop = 0;
    for (const Contour& c : cap)
        for (const auto& p : c)
            capTop = std::max(capTop, p[1]);
    float x0 = 1e9f, x1 = -1e9f, y0 = 1e9f, y1 = -1e9f;
    for (const Contour& c : l.contours)
        for (const auto& p : c) {
            x0 = std::min(x0, p[0]);
            x1 = std::max(x1, p[0]);
            y0 = std::min(y0, p[1]);
            y1 = std::max(y1, p[1]);
        }
    float cx = (x0 + x1) * 0.5f;
    for (Contour& c : l.contours)
        for (auto& p : c) {
            p[0] = (p[0] - cx) * stretch;
            p[1] = p[1] - capTop * 0.5f;
        }
    l.w = (x1 - x0) * stretch;
    l.h = y1 - y0;
    return l;
}

// The letter as a solid: its front (facing -y) and back caps and its walls,
// with the pixel outline scaled by sx across and sz up, depth deep. Walls
// have vertices of their own, so lighting keeps the edges sharp. The
// front's texture coordinates repeat every `tile` pixels.
Mesh Extrude(const std::string& name, const LetterShape& l, float sx, float sz, float depth, const std::string& front,
             const std::string& side, float tile)
{
    Mesh m;
    m.name = name;
    std::vector<std::array<float, 2>> pts;
    for (const Contour& c : l.contours)
        for (const auto& p : c)
            pts.push_back(p);
    std::vector<std::array<int, 3>> tris = TriangulateOutline(l.contours);
    const float y0 = -depth * 0.5f, y1 = depth * 0.5f;
    auto uv = [&](const std::array<float, 2>& p) -> std::array<float, 2> {
        return {p[0] / tile + 0.5f, p[1] / tile + 0.5f};
    };
    // Front cap: counter-clockwise in (x, z) is counter-clockwise seen from -y.
    uint16_t base = uint16_t(m.vertices.size());
    for (const auto& p : pts) {
        m.vertices.push_back({p[0] * sx, y0, p[1] * sz});
        m.uv.push_back(uv(p));
    }
    for (const auto& t : tris)
        m.faces.push_back({uint16_t(base + t[0]), uint16_t(base + t[1]), uint16_t(base + t[2]), 7, front});
    base = uint16_t(m.vertices.size());
    for (const auto& p : pts) {
        m.vertices.push_back({p[0] * sx, y1, p[1] * sz});
        m.uv.push_back(uv(p));
    }
    for (const auto& t : tris)
        m.faces.push_back({uint16_t(base + t[0]), uint16_t(base + t[2]), uint16_t(base + t[1]), 7, front});
    // Walls: every outline edge, oriented so the wall faces away from the ink.
    for (const Contour& c : l.contours) {
        // Which way the contour runs decides which side is outside.
        float area = 0;
        for (size_t i = 0; i < c.size(); ++i) {
            const auto& p = c[i];
            const auto& q = c[(i + 1) % c.size()];
            area += p[0] * q[1] - q[0] * p[1];
        }
        // Walls face away from the ink: outer contours are walked
        // counter-clockwise and holes clockwise, so the outside is on the right.
        bool ccw = area > 0;
        bool hole = false;
        for (const Contour& o : l.contours)
            if (&o != &c) {
                bool in = false;
                for (size_t i = 0, j = o.size() - 1; i < o.size(); j = i++)
                    if ((o[i][1] > c[0][1]) != (o[j][1] > c[0][1]) &&
                        c[0][0] < (o[j][0] - o[i][0]) * (c[0][1] - o[i][1]) / (o[j][1] - o[i][1]) + o[i][0])
                        in = !in;
                hole = hole != in;
            }
        bool forward = hole ? !ccw : ccw;
        float run = 0;
        for (size_t i = 0; i < c.size(); ++i) {
            auto p = c[i], q = c[(i + 1) % c.size()];
            if (!forward)
                std::swap(p, q);
            float len = std::hypot(q[0] - p[0], q[1] - p[1]);
            base = uint16_t(m.vertices.size());
            m.vertices.push_back({p[0] * sx, y0, p[1] * sz});
            m.vertices.push_back({q[0] * sx, y0, q[1] * sz});
            m.vertices.push_back({q[0] * sx, y1, q[1] * sz});
            m.vertices.push_back({p[0] * sx, y1, p[1] * sz});
            m.uv.push_back({run / tile, 0});
            m.uv.push_back({(run + len) / tile, 0});
            m.uv.push_back({(run + len) / tile, 0.25f});
            m.uv.push_back({run / tile, 0.25f});
            run += len;
            m.faces.push_back({base, uint16_t(base + 2), uint16_t(base + 1), 7, side});
            m.faces.push_back({base, uint16_t(base + 3), uint16_t(base + 2), 7, side});
        }
    }
    return m;
}

// A double-sided triangle: each side its own vertices, so the two sides'
// normals do not cancel.
void TwoSided(Mesh& m, Vec3 a, Vec3 b, Vec3 c, const std::string& mat, std::array<float, 2> ta = {0, 0},
              std::array<float, 2> tb = {1, 0}, std::array<float, 2> tc = {0, 1})
{
    uint16_t base = uint16_t(m.vertices.size());
    m.vertices.insert(m.vertices.end(), {a, b, c, a, b, c});
    if (!m.uv.empty() || m.vertices.size() == 6) {
        m.uv.insert(m.uv.end(), {ta, tb, tc, ta, tb, tc});
    }
    m.faces.push_back({base, uint16_t(base + 1), uint16_t(base + 2), 7, mat});
    m.faces.push_back({uint16_t(base + 3), uint16_t(base + 5), uint16_t(base + 4), 7, mat});
}

// One-sided quad a b c d, counter-clockwise seen from its front.
void Quad(Mesh& m, Vec3 a, Vec3 b, Vec3 c, Vec3 d, const std::string& mat)
{
    uint16_t base = uint16_t(m.vertices.size());
    m.vertices.insert(m.vertices.end(), {a, b, c, d});
    m.faces.push_back({base, uint16_t(base + 1), uint16_t(base + 2), 7, mat});
    m.faces.push_back({base, uint16_t(base + 2), uint16_t(base + 3), 7, mat});
}

// A closed box from lo to hi, faces outward.
void Box(Mesh& m, Vec3 lo, Vec3 hi, const std::string& mat)
{
    float x0 = lo[0], y0 = lo[1], z0 = lo[2], x1 = hi[0], y1 = hi[1], z1 = hi[2];
    Quad(m, {x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}, mat); // front (-y)
    Quad(m, {x1, y1, z0}, {x0, y1, z0}, {x0, y1, z1}, {x1, y1, z1}, mat); // back
    Quad(m, {x0, y1, z0}, {x0, y0, z0}, {x0, y0, z1}, {x0, y1, z1}, mat); // left
    Quad(m, {x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}, mat); // right
    Quad(m, {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}, mat); // top
    Quad(m, {x0, y1, z0}, {x1, y1, z0}, {x1, y0, z0}, {x0, y0, z0}, mat); // bottom
}

Vec3 Rz(Vec3 p, float a)
{
    float c = std::cos(a), s = std::sin(a);
    return {c * p[0] - s * p[1], s * p[0] + c * p[1], p[2]};
}

Vec3 Add3(Vec3 a, Vec3 b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }

std::string Line(const char* format, double a = 0, double b = 0, double c = 0)
{
    char buf[256];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return std::string(buf) + "\r\n";
}

std::string Head(const std::string& comment, float distance, bool fog, const std::array<uint8_t, 3>* fogColour,
                 bool zbuffer, const std::string& sceneFile)
{
    std::string s = "/* " + comment + " */\r\n";
    s += "VERSION 1\r\n";
    s += "TEXTURE_PATH textures/\r\n";
    s += Line("DISTANCE %g", distance);
    s += fog ? "FOG YES\r\n" : "FOG NO\r\n";
    if (fog && fogColour)
        s += Line("FOG_COLOR %g %g %g", (*fogColour)[0], (*fogColour)[1], (*fogColour)[2]);
    s += zbuffer ? "ZBUFFER YES\r\n" : "ZBUFFER NO\r\n";
    s += "SCENE_NAME " + sceneFile + "\r\n";
    s += "CAMERA Camera01\r\n";
    return s;
}

} // namespace

int FaceCount(const Scene& s)
{
    int n = 0;
    for (const Mesh& m : s.meshes)
        n += int(m.faces.size());
    return n;
}

// ---------------------------------------------------------------------------
// The group logo in lines. The camera looks from 100 units in front of the
// rig's resting place; the letters settle over the drawn logo's letters.

ShowScene LogoScene()
{
    ShowScene out;
    Scene& s = out.scene;
    s.firstFrame = 0;
    s.lastFrame = 440;
    Material m;
    m.name = "MATERIAL_1";
    m.ambient = {0.05f, 0.1f, 0.25f};
    m.diffuse = {0.08f, 0.16f, 0.38f};
    m.specular = {0, 0, 0};
    m.shading = 0;
    m.wire = true;
    s.materials = {m};

    const float D = 100.0f, lens = 50.0f, f = LensScale(lens);
    const float sx = D / (f * 318.0f), sz = D / (f * 238.0f); // world units per pixel at depth D
    const std::string word = "SALTMARINE";
    const float size = LetterSetSize(word, 62, kLogoLetterHeight, int(Face::SansBold), 1.7f);
    const float centres[10] = {44, 105, 170, 232, 319, 380, 439, 480, 526, 593};

    int id = 0;
    s.nodes.push_back(Dummy(id++, -1, "LogoRig"));
    Node& rig = s.nodes.back();
    // The rig comes from the dark distance turning about the vertical, one
    // key of more than a whole turn bringing it round to face us at 290;
    // then it holds, and sways from 350 back to the same pose at 440.
    const Vec3 rig0{0, 1500, 60};
    const float rigTurn0 = -2.54f, rigTurn = 8.82f; // together a whole number of turns
    rig.position.keys = {vecKey(0, rig0), vecKey(140, {0, 500, 25}), vecKey(290, {0, 0, 0}, 1), vecKey(350, {0, 0, 0}, 1),
                         vecKey(395, {0, -4, 1.5f}), vecKey(440, {0, 0, 0}, 1)};
    // The whole turns end at 250, ahead of the hold, so the keys either side
    // of the hold are one rotation and nothing turns while it lasts.
    rig.rotation.keys = {Turn(0, rigTurn0), Turn(250, rigTurn), Turn(290, 0, {0, 0, 1}, 1), Turn(350, 0, {0, 0, 1}, 1),
                         Turn(380, 0.12f, {1, 0, 0}), Turn(410, -0.24f, {1, 0, 0}),
                         Turn(440, 0.12f, {1, 0, 0}, 1)};

    Rng rng(31337);
    for (int i = 0; i < 10; ++i) {
        LetterShape l = Letter(word[size_t(i)], Face::SansBold, size, 1.7f, 2);
        char name[16];
        std::snprintf(name, sizeof name, "Letter%02d", i + 1);
        Mesh mesh = Extrude(name, l, sx, sz, 1.6f, "MATERIAL_1", "MATERIAL_1", 64);
        mesh.uv.clear();
        const Vec3 rest{(centres[i] - 320.0f) * sx, 0, 0};
        // Scattered far apart at first, spinning about the vertical.
        Vec3 start{rng.Range(-260, 260), rng.Range(-250, 250), rng.Range(-110, 110)};
        Vec3 mid{rest[0] + rng.Range(-60, 60), rng.Range(-40, 60), rng.Range(-30, 30)};
        float spin = rng.Range(1.2f, 2.8f) * (rng.Unit() < 0.5f ? -1 : 1);
        // World pose at frame 0: the rig's pose applied to the letter's.
        Pose p;
        p.position = Add3(rig0, Rz(start, rigTurn0));
        p.angle = rigTurn0 + spin;
        placeMesh(mesh, p);
        s.meshes.push_back(mesh);
        Node n = makeNode(Node::Object, id++, 0, name);
        n.position.keys = {vecKey(0, start), vecKey(150 + i * 6, mid), vecKey(290, rest, 1), vecKey(350, rest, 1)};
        n.rotation.keys = {Turn(0, spin), Turn(150 + i * 6, -spin * 0.6f), Turn(290, -spin * 0.4f, {0, 0, 1}, 1),
                           Turn(350, 0, {0, 0, 1}, 1)};
        n.scale.keys = {vecKey(0, {1, 1, 1})};
        s.nodes.push_back(n);
    }
    Camera cam{"Camera01", {0, -D, 0}, {0, 0, 0}, 0, lens};
    AddCamera(s, cam, id);

    out.script = Head("the group logo in lines, over the logo band", 2000, false, nullptr, false, "logo3d.3ds");
    out.script += "MATERIAL MATERIAL_1\r\nRENDER_TYPE 0\r\nMAT_COLOR 22 48 112\r\n";
    return out;
}

// ---------------------------------------------------------------------------
// The title: QUIET HARBOR in thick brass letters, lit by two lamps.

ShowScene TitleScene()
{
    ShowScene out;
    Scene& s = out.scene;
    s.firstFrame = 0;
    s.lastFrame = 240;
    Material face;
    face.name = "TITLE_FACE";
    face.ambient = {0.3f, 0.22f, 0.1f};
    face.diffuse = {0.85f, 0.65f, 0.3f};
    face.specular = {1, 0.9f, 0.7f};
    face.shininess = 0.5f;
    face.shininessStrength = 0.4f;
    face.texture.name = "brass.tga";
    Material side;
    side.name = "TITLE_SIDE";
    side.ambient = {0.1f, 0.12f, 0.2f};
    side.diffuse = {0.4f, 0.45f, 0.6f};
    side.specular = {0.9f, 0.9f, 1};
    side.reflection.name = "harbenv.pcx";
    s.materials = {face, side};

    const float D = 160.0f, lens = 50.0f, f = LensScale(lens);
    const float sx = D / (f * 318.0f), sz = D / (f * 238.0f);
    const std::string word = "QUIETHARBOR";
    // Pen positions of the phrase at a size that fills about 580 columns.
    const std::string phrase = "QUIET HARBOR";
    const float size = 100.0f * 580.0f / float(RenderText(phrase, Face::SerifBold, 100.0f).mask.w), tall = 1.5f;
    std::vector<float> pen;
    {
        float x = 0;
        for (char ch : phrase) {
            Text t = RenderText(std::string(1, ch), Face::SerifBold, size);
            if (ch != ' ')
                pen.push_back(x + t.advance * 0.5f);
            x += t.advance;
        }
        float mid = (pen.front() + pen.back()) * 0.5f;
        for (float& p : pen)
            p = p - mid;
    }

    int id = 0;
    s.nodes.push_back(Dummy(id++, -1, "TitleRig"));
    Node& rig = s.nodes.back();
    const Vec3 rig0{0, 50, -24};
    rig.position.keys = {vecKey(0, rig0), vecKey(55, {0, 0, 2}), vecKey(70, {0, 0, 0}, 1), vecKey(190, {0, 0, 0}, 1),
                         vecKey(240, {0, 140, 25})};
    rig.rotation.keys = {Turn(0, 0), Turn(190, 0, {1, 0, 0}, 1), Turn(240, 0.9f, {1, 0, 0})};

    for (int i = 0; i < 11; ++i) {
        LetterShape l = Letter(word[size_t(i)], Face::SerifBold, size, 1.0f, 6);
        for (Contour& c : l.contours)
            for (auto& p : c)
                p[1] *= tall;
        char name[16];
        std::snprintf(name, sizeof name, "Title%02d", i + 1);
        Mesh mesh = Extrude(name, l, sx, sz, 6.0f, "TITLE_FACE", "TITLE_SIDE", 48);
        const Vec3 rest{pen[size_t(i)] * sx, 0, 0};
        // Edge-on at first, turned so that each shows the camera its front
        // rather than its mirrored back; each flips to face us in turn.
        const float edge = rest[0] < 0 ? 1.5707964f : -1.5707964f;
        Pose p;
        p.position = Add3(rig0, rest);
        p.angle = edge;
        placeMesh(mesh, p);
        s.meshes.push_back(mesh);
        Node n = makeNode(Node::Object, id++, 0, name);
        int start = 40 + i * 8, end = start + 34;
        n.position.keys = {vecKey(0, rest)};
        n.rotation.keys = {Turn(0, edge), Turn(start, 0, {0, 0, 1}, 1), Turn(end, -edge, {0, 0, 1}, 1)};
        n.scale.keys = {vecKey(0, {1, 1, 1})};
        s.nodes.push_back(n);
    }
    Camera cam{"Camera01", {0, -D, 0}, {0, 0, 0}, 0, lens};
    AddCamera(s, cam, id);
    // Two lamps sweep across in front of the word, crossing in the middle.
    Light a, b;
    a.name = "Lamp01";
    a.position = {-150, -70, 40};
    a.colour = {1.0f, 0.86f, 0.62f};
    b.name = "Lamp02";
    b.position = {150, -60, -20};
    b.colour = {0.75f, 0.8f, 1.0f};
    s.lights = {a, b};
    Node la = makeNode(Node::Omni, id++, -1, "Lamp01");
    la.position.keys = {vecKey(0, a.position), vecKey(120, {20, -80, 30}), vecKey(240, {160, -60, 10})};
    la.colour.keys = {vecKey(0, a.colour)};
    s.nodes.push_back(la);
    Node lb = makeNode(Node::Omni, id++, -1, "Lamp02");
    lb.position.keys = {vecKey(0, b.position), vecKey(120, {-30, -70, -10}), vecKey(240, {-150, -80, 30})};
    lb.colour.keys = {vecKey(0, b.colour)};
    s.nodes.push_back(lb);

    out.script = Head("the title in brass", 1500, false, nullptr, true, "test.3ds");
    out.script += "MATERIAL TITLE_FACE\r\nRENDER_TYPE 8\r\n";
    out.script += "MATERIAL TITLE_SIDE\r\nRENDER_TYPE 6\r\n";
    return out;
}

// ---------------------------------------------------------------------------
// Paper gulls over the first credit, a ship's lantern on the left.

namespace {

const float kGull = 2.0f; // gull size: units of the shapes below

void Grow(Mesh& m, float k)
{
    for (Vec3& v : m.vertices)
        v = {v[0] * k, v[1] * k, v[2] * k};
}

// A paper gull's body, folded along its keel: two long facets, head and
// tail, printed with code. Local space: nose towards -x, wings from y = 0.
Mesh GullBody(const std::string& name)
{
    Mesh m;
    m.name = name;
    const Vec3 nose{-9, 0, 0.5f}, head{-6, 0, 1.6f}, keel{0, 0, -1.6f}, back{0, 0, 1.2f}, tail{9, 0, 0.6f},
        tailL{11, -2.2f, 0.9f}, tailR{11, 2.2f, 0.9f}, sideL{-1, -1.6f, 0.4f}, sideR{-1, 1.6f, 0.4f};
    TwoSided(m, nose, head, sideL, "GULL_BODY", {0.02f, 0.5f}, {0.15f, 0.7f}, {0.5f, 0.3f});
    TwoSided(m, nose, sideR, head, "GULL_BODY", {0.02f, 0.5f}, {0.5f, 0.7f}, {0.15f, 0.7f});
    TwoSided(m, head, back, sideL, "GULL_BODY", {0.15f, 0.7f}, {0.55f, 0.9f}, {0.5f, 0.3f});
    TwoSided(m, head, sideR, back, "GULL_BODY", {0.15f, 0.7f}, {0.5f, 0.7f}, {0.55f, 0.9f});
    TwoSided(m, sideL, keel, nose, "GULL_BODY", {0.5f, 0.3f}, {0.5f, 0.05f}, {0.02f, 0.5f});
    TwoSided(m, sideR, nose, keel, "GULL_BODY", {0.5f, 0.7f}, {0.02f, 0.5f}, {0.5f, 0.05f});
    TwoSided(m, back, tail, sideL, "GULL_BODY", {0.55f, 0.9f}, {0.95f, 0.6f}, {0.5f, 0.3f});
    TwoSided(m, back, sideR, tail, "GULL_BODY", {0.55f, 0.9f}, {0.5f, 0.7f}, {0.95f, 0.6f});
    TwoSided(m, tail, tailL, tailR, "GULL_BODY", {0.95f, 0.6f}, {0.99f, 0.2f}, {0.99f, 0.95f});
    return m;
}

// A wing folded once along its length, from the shoulder (origin) outward
// along `side` (+1 or -1 in y).
Mesh GullWing(const std::string& name, float side)
{
    Mesh m;
    m.name = name;
    const Vec3 front{-3, 0, 0}, rear{3, 0, 0}, fold{-1, side * 9, 0.8f}, tip{4, side * 16, -0.5f}, elbow{3.5f, side * 8, 0.4f};
    TwoSided(m, front, fold, rear, "GULL_WING");
    TwoSided(m, rear, fold, elbow, "GULL_WING");
    TwoSided(m, fold, tip, elbow, "GULL_WING");
    return m;
}

} // namespace

ShowScene GullScene(const std::array<uint8_t, 3>& fog)
{
    ShowScene out;
    Scene& s = out.scene;
    s.firstFrame = 0;
    s.lastFrame = 100;
    Material body, wing, glass, iron;
    body.name = "GULL_BODY";
    body.diffuse = {0.95f, 0.92f, 0.85f};
    body.texture.name = "codepage.gif";
    body.twoSided = true;
    wing.name = "GULL_WING";
    wing.diffuse = {0.95f, 0.93f, 0.88f};
    wing.twoSided = true;
    glass.name = "LANTERN_GLASS";
    glass.diffuse = {1, 0.7f, 0.3f};
    iron.name = "LANTERN_IRON";
    iron.diffuse = {0.12f, 0.11f, 0.1f};
    s.materials = {body, wing, glass, iron};

    int id = 0;
    // The flock: from near the middle of the left part to far left and away.
    s.nodes.push_back(Dummy(id++, -1, "Flock"));
    Node& flock = s.nodes.back();
    flock.position.keys = {vecKey(0, {0, 0, 0}), vecKey(10, {0, 0, 0}), vecKey(50, {-120, 220, 6}), vecKey(90, {-330, 560, 0}),
                           vecKey(100, {-360, 620, 0})};
    flock.rotation.keys = {Turn(0, 0)};

    const Vec3 places[5] = {{-30, 40, 18}, {-68, 10, 8}, {-14, 90, 30}, {-48, 130, 2}, {-88, 70, 32}};
    const float yaw[5] = {0.5f, 0.35f, 0.6f, 0.42f, 0.3f};
    for (int g = 0; g < 5; ++g) {
        std::string name = "Gull" + std::to_string(g + 1);
        Pose p;
        p.position = places[g];
        p.angle = yaw[g];
        Mesh b = GullBody(name);
        Grow(b, kGull);
        placeMesh(b, p);
        s.meshes.push_back(b);
        int bodyId = id++;
        Node n = makeNode(Node::Object, bodyId, 0, name);
        // A gentle rise and fall as they glide.
        n.position.keys = {vecKey(0, places[g]), vecKey(35 + g * 4, Add3(places[g], {0, 0, 3})), vecKey(80 + g * 3, places[g])};
        n.rotation.keys = {Turn(0, yaw[g])};
        n.scale.keys = {vecKey(0, {1, 1, 1})};
        s.nodes.push_back(n);
        for (int w = 0; w < 2; ++w) {
            float side = w == 0 ? -1.0f : 1.0f;
            std::string wn = name + (w == 0 ? "WingL" : "WingR");
            Mesh wm = GullWing(wn, side);
            Grow(wm, kGull);
            Vec3 shoulder{-1.0f * kGull, side * 1.4f * kGull, 0.6f * kGull};
            Pose wp;
            wp.position = Add3(places[g], Rz(shoulder, yaw[g]));
            wp.angle = yaw[g];
            placeMesh(wm, wp);
            s.meshes.push_back(wm);
            Node wnode = makeNode(Node::Object, id++, bodyId, wn);
            wnode.position.keys = {vecKey(0, shoulder)};
            // Slow flaps about the body's long axis, each gull in its own time.
            const Vec3 axis{1, 0, 0};
            const float a = 0.45f * side;
            int t0 = 3 + g * 3;
            wnode.rotation.keys = {Turn(0, 0)};
            wnode.rotation.keys.push_back(Turn(t0, a, axis));
            for (int k = 1; t0 + k * 12 <= 100; ++k)
                wnode.rotation.keys.push_back(Turn(t0 + k * 12, (k % 2 ? -2.0f : 2.0f) * a, axis));
            wnode.scale.keys = {vecKey(0, {1, 1, 1})};
            s.nodes.push_back(wnode);
        }
    }

    // The lantern: an iron frame round a glowing glass, hanging from a hook
    // on the left; its meshes have the hook at their origin.
    const Vec3 hook{-58, -25, 21};
    Mesh glassM, frameM;
    glassM.name = "Lantern";
    frameM.name = "LanternFr";
    Box(glassM, {-3.2f, -3.2f, -13}, {3.2f, 3.2f, -3}, "LANTERN_GLASS");
    Box(frameM, {-4.5f, -4.5f, -3}, {4.5f, 4.5f, -1.5f}, "LANTERN_IRON");  // cap
    Box(frameM, {-2.5f, -2.5f, -1.5f}, {2.5f, 2.5f, 0}, "LANTERN_IRON");   // chimney
    Box(frameM, {-4.5f, -4.5f, -14.5f}, {4.5f, 4.5f, -13}, "LANTERN_IRON"); // base
    for (int c = 0; c < 4; ++c) {
        float x = c & 1 ? 3.4f : -4.0f, y = c & 2 ? 3.4f : -4.0f;
        Box(frameM, {x, y, -13}, {x + 0.6f, y + 0.6f, -3}, "LANTERN_IRON");
    }
    Pose lp;
    lp.position = hook;
    placeMesh(glassM, lp);
    placeMesh(frameM, lp);
    s.meshes.push_back(glassM);
    s.meshes.push_back(frameM);
    int lanternId = id++;
    Node ln = makeNode(Node::Object, lanternId, -1, "Lantern");
    ln.position.keys = {vecKey(0, hook)};
    // A slow sway on its hook; the turns add up to nothing over the range.
    ln.rotation.keys = {Turn(0, 0), Turn(25, 0.06f, {0, 1, 0}), Turn(60, -0.12f, {0, 1, 0}), Turn(100, 0.06f, {0, 1, 0})};
    ln.scale.keys = {vecKey(0, {1, 1, 1})};
    s.nodes.push_back(ln);
    Node fr = makeNode(Node::Object, id++, lanternId, "LanternFr");
    fr.position.keys = {vecKey(0, {0, 0, 0})};
    fr.rotation.keys = {Turn(0, 0)};
    fr.scale.keys = {vecKey(0, {1, 1, 1})};
    s.nodes.push_back(fr);

    Camera cam{"Camera01", {0, -120, 70}, {-10, 60, 10}, 0, 35};
    AddCamera(s, cam, id);

    Light lamp, moon;
    lamp.name = "LampLight";
    lamp.position = Add3(hook, {0, 0, -8});
    lamp.colour = {1.0f, 0.72f, 0.38f};
    lamp.attenuation = true;
    lamp.innerRange = 40;
    lamp.outerRange = 260;
    moon.name = "Moonlight";
    moon.spot = true;
    moon.position = {60, 80, 600};
    moon.target = {-120, 260, 0};
    moon.hotspot = 80;
    moon.falloff = 130;
    moon.colour = {0.55f, 0.65f, 0.95f};
    s.lights = {lamp, moon};
    Node lampNode = makeNode(Node::Omni, id++, lanternId, "LampLight");
    lampNode.position.keys = {vecKey(0, {0, 0, -8})};
    lampNode.colour.keys = {vecKey(0, lamp.colour), vecKey(50, {0.95f, 0.66f, 0.34f}), vecKey(100, lamp.colour)};
    s.nodes.push_back(lampNode);
    Node moonNode = makeNode(Node::Spot, id++, -1, "Moonlight");
    moonNode.position.keys = {vecKey(0, moon.position)};
    moonNode.roll.keys = {floatKey(0, 0)};
    moonNode.colour.keys = {vecKey(0, moon.colour)};
    s.nodes.push_back(moonNode);
    Node moonTarget = makeNode(Node::SpotTarget, id++, -1, "Moonlight");
    moonTarget.position.keys = {vecKey(0, moon.target)};
    s.nodes.push_back(moonTarget);
    Node amb = makeNode(Node::Ambient, id++, -1, "$AMBIENT$");
    amb.colour.keys = {vecKey(0, {0.08f, 0.09f, 0.14f})};
    s.nodes.push_back(amb);

    out.script = Head("paper gulls over the first credit", 800, true, &fog, false, "scene3.3ds");
    out.script += "MATERIAL GULL_BODY\r\nRENDER_TYPE 5\r\n";
    out.script += "MATERIAL GULL_WING\r\nRENDER_TYPE 2\r\nMAT_COLOR 238 232 218\r\n";
    out.script += "MATERIAL LANTERN_GLASS\r\nRENDER_TYPE 10\r\nMAT_COLOR 190 110 30\r\n";
    out.script += "MATERIAL LANTERN_IRON\r\nRENDER_TYPE 1\r\nMAT_COLOR 34 30 28\r\n";
    out.script += "OBJECT Lantern\r\nOBJ_NOLIGHT\r\n";
    return out;
}

// ---------------------------------------------------------------------------
// Festoon lamps over the water: three strings sagging between the posts of
// a pier that runs away to the right. Only flares are drawn, one at each
// lamp; each lamp is one small triangle seen from both sides.

ShowScene FestoonScene()
{
    ShowScene out;
    Scene& s = out.scene;
    s.firstFrame = 0;
    s.lastFrame = 200;
    Material bulb;
    bulb.name = "LAMP";
    bulb.diffuse = {1, 0.8f, 0.5f};
    bulb.twoSided = true;
    s.materials = {bulb};

    int id = 0;
    // The pier runs from near the camera on the left to far away on the
    // right. The camera sits low over the water looking a little down, so
    // the horizon lies high and every lamp above it, in the upper part of
    // the picture.
    const Vec3 nearEnd{-42, 58, 0}, farEnd{290, 596, 0};
    const int lamps[3] = {20, 20, 18};
    const float across[3] = {0.0f, 9.0f, -8.0f}; // sideways from the pier's line
    const float height[3] = {14.0f, 19.0f, 10.0f};
    const float sag[3] = {2.2f, 2.8f, 1.8f};
    const int spans[3] = {4, 5, 4};
    const float shift[3] = {0.0f, 0.02f, 0.045f};
    for (int k = 0; k < 3; ++k) {
        std::string name = "Festoon" + std::to_string(k + 1);
        Mesh m;
        m.name = name;
        auto at = [&](float t) {
            // Posts stand closer together near the camera, so the lamps
            // spread evenly over the picture.
            float depthT = (50.0f * std::pow(12.0f, t) - 50.0f) / 550.0f;
            float u = 0.4f * t + 0.6f * depthT;
            return Vec3{nearEnd[0] + (farEnd[0] - nearEnd[0]) * u + across[k],
                        nearEnd[1] + (farEnd[1] - nearEnd[1]) * u, 0.0f};
        };
        const Vec3 anchor = Add3(at(shift[k]), {0, 0, height[k]});
        for (int i = 0; i < lamps[k]; ++i) {
            float t = shift[k] + (1.0f - shift[k]) * (i + 0.5f) / lamps[k];
            float u = t * spans[k] - std::floor(t * spans[k]); // place within its span
            Vec3 c = at(t);
            float drop = sag[k] * 4.0f * u * (1.0f - u) * (0.6f + 4.0f * t);
            c[2] = height[k] + 6.0f * t - drop;
            Vec3 local{c[0] - anchor[0], c[1] - anchor[1], c[2] - anchor[2]};
            // A small triangle facing back along the pier, towards the camera.
            const float r = 0.8f;
            Vec3 a = Add3(local, {-r, 0.15f * r, -0.6f * r});
            Vec3 b = Add3(local, {r, -0.15f * r, -0.6f * r});
            Vec3 d = Add3(local, {0, 0, r});
            TwoSided(m, a, b, d, "LAMP");
        }
        m.uv.clear();
        Pose p;
        p.position = anchor;
        placeMesh(m, p);
        s.meshes.push_back(m);
        Node n = makeNode(Node::Object, id++, -1, name);
        // A little sway about the line of the string, from its first post;
        // the turns add up to nothing at 200, where the loop closes.
        Vec3 axis{0.39f, 0.92f, 0};
        float a = 0.012f + 0.004f * k;
        n.position.keys = {vecKey(0, anchor)};
        n.rotation.keys = {Turn(0, 0), Turn(50 + k * 7, a, axis), Turn(110 + k * 5, -2 * a, axis),
                           Turn(170 + k * 3, 1.5f * a, axis), Turn(200, -0.5f * a, axis)};
        n.rotation.flags = 3;
        n.scale.keys = {vecKey(0, {1, 1, 1})};
        s.nodes.push_back(n);
    }
    // The camera drifts a little along the pier and back.
    Camera cam{"Camera01", {0, 0, 0}, {0, 100, -16}, 0, 35};
    AddCamera(s, cam, id, {vecKey(0, cam.position), vecKey(100, {-4, -8, 1.5f}), vecKey(200, cam.position)},
              {vecKey(0, cam.target), vecKey(100, {4, 92, -15}), vecKey(200, cam.target)}, 3);
    Light flare;
    flare.name = "Flare01";
    flare.position = {0, 0, 40};
    flare.colour = {1, 0.85f, 0.6f};
    s.lights = {flare};
    Node fl = makeNode(Node::Omni, id++, -1, "Flare01");
    fl.position.keys = {vecKey(0, flare.position)};
    fl.colour.keys = {vecKey(0, flare.colour)};
    s.nodes.push_back(fl);

    out.script = Head("festoon lamps over the water, drawn as flares", 3000, false, nullptr, false, "scene4.3ds");
    out.script += "MATERIAL LAMP\r\nRENDER_TYPE 1\r\n";
    out.script += "LENSFLARE Flare01\r\nLENS_TEXTURE flare.jpg\r\nLENS_SCALE 1000\r\n";
    return out;
}

} // namespace qhd
