// qh_scene: loads a 3DS scene with the show's own loader and prints what the
// show will see in it, at rest and at the frames asked for.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "SceneView.h"
#include "X3d/File3ds.h"
#include "X3d/X3dscr.h"
#include "tools/makedata/Encode.h"
#include "tools/makedata/Type.h"
#include "X3d/Spline.h"
#include "X3d/X3d.h"
#include "files/xFileIO.h"
#include "system/Xerror.h"

namespace {

const char* const kUsage =
    "usage: qh_scene [--pak ARCHIVE | --dir] NAME.3ds [--frames F1,F2,...]\n"
    "       qh_scene [--pak ARCHIVE | --dir] NAME.3ds --png OUT.png [--frames F1,F2,...]\n"
    "                [--turntable N] [--target WxH]\n"
    "       qh_scene [--pak ARCHIVE | --dir] --script NAME.x3d [--frames F1,F2,...]\n"
    "                [--png OUT.png] [--target WxH]\n"
    "       qh_scene [--pak ARCHIVE | --dir] --sheet OUT.png\n"
    "\n"
    "Loads a 3DS scene with the show's own loader and prints, one item per line:\n"
    "the summary, every material, map, object, vertex, face, camera, light,\n"
    "ambient record and keyframer node, the node tree, and at each frame given\n"
    "each object's matrix and the world positions of its vertices, each\n"
    "camera's position, target, FOV, roll and view matrix, and each light's\n"
    "position, target and colour.\n"
    "\n"
    "  --pak ARCHIVE  read NAME from that archive only\n"
    "  --dir          read NAME from a plain file only\n"
    "                 (neither: from demo.pak in the current folder when it\n"
    "                 holds NAME, else from a plain file)\n"
    "  --frames LIST  frames to animate, separated by commas (any frame, also\n"
    "                 outside the scene's range; none: the records only)\n"
    "  --script NAME  load a scene script the way an effect does: its scene,\n"
    "                 render types, fog and flares; textures are read from the\n"
    "                 script's texture path under the current folder\n"
    "  --png OUT      draw the script's scene at each of the frames as the\n"
    "                 effect draws it, side by side in one PNG: the 640 x 480\n"
    "                 frame buffer (the letterbox is rows 115-364), or for a\n"
    "                 scene with a lens flare one flare per visible face on the\n"
    "                 640 x 250 letterbox\n"
    "  --target WxH   draw into a buffer of that size instead (140x105: the\n"
    "                 closing part's panels)\n"
    "  NAME.3ds --png OUT  draw any 3DS file without a script: with its camera\n"
    "                 (Camera01, else the first) or, without one, ours: a\n"
    "                 three-quarter view from above that holds the whole scene;\n"
    "                 with its lights or, without any, two of ours; every\n"
    "                 material gouraud shaded in its colour, or lit with its\n"
    "                 texture when the map is found beside the file (from an\n"
    "                 archive: under textures/), on the z-buffer. Frames: the\n"
    "                 scene's first unless given\n"
    "  --turntable N  N views around the scene (our camera, at the first\n"
    "                 frame), four to a row, each 320 x 240 unless --target\n"
    "  --sheet OUT    the show's four scenes at three moments each, on one PNG\n"
    "  -h, --help     this text\n"
    "\n"
    "A broken file ends qh_scene as it would end the show: the report on stderr\n"
    "and the exit status of the error table (2 read error, 5 cannot open,\n"
    "6 broken file, 7 internal error, 3 any other report); a wrong command\n"
    "line ends it with 64.\n";

// Not a status of the error table.
const int kUsageStatus = 64;

void v3(const float* v) { printf(" %g %g %g", v[0], v[1], v[2]); }

void m34(const float m[3][4])
{
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++)
            printf(" %g", m[r][c]);
}

const char* nameOf(const char* name) { return name ? name : ""; }

const char* kindName(int kind)
{
    switch (kind) {
    case 1: return "camera";
    case 2: return "camera-target";
    case 4: return "omni";
    case 8: return "spot";
    case 16: return "light-target";
    case 32: return "object";
    case 64: return "ambient";
    }
    return "unknown";
}

const char* trackName(int kind, int slot)
{
    static const char* const object[] = {"position", "scale", "rotation", "morph", "hide"};
    static const char* const camera[] = {"position", "fov", "roll"};
    static const char* const omni[] = {"position", "colour"};
    static const char* const spot[] = {"position", "roll", "colour"};
    switch (kind) {
    case 32: return slot < 5 ? object[slot] : "?";
    case 1: return slot < 3 ? camera[slot] : "?";
    case 4: return slot < 2 ? omni[slot] : "?";
    case 8: return slot < 3 ? spot[slot] : "?";
    case 64: return slot == 0 ? "colour" : "?";
    }
    return slot == 0 ? "position" : "?";
}

const char* recordName(const x3dNode& n)
{
    if (!n.record)
        return nullptr;
    switch (n.kind) {
    case 32: return ((x3dObject*)n.record)->name;
    case 1:
    case 2: return ((x3dCamera*)n.record)->name;
    case 64: return ((x3dAmbient*)n.record)->name;
    }
    return ((x3dLight*)n.record)->name;
}

void printRecords(const x3dScene& s, const char* name)
{
    printf("scene \"%s\" frames %g %g objects %d cameras %d lights %d materials %d ambients %d nodes %d\n", name,
           s.firstFrame, s.lastFrame, s.objectCount, s.cameraCount, s.lightCount, s.materialCount, s.ambientCount,
           s.nodeCount);
    for (int i = 0; i < s.materialCount; i++) {
        const x3dMaterial& m = s.materials[i];
        printf("material %d \"%s\" id %d shading %u flags %u ambient", i, nameOf(m.name), m.id, m.renderFlags,
               m.materialFlags);
        v3(m.ambient);
        printf(" diffuse");
        v3(m.diffuse);
        printf(" specular");
        v3(m.specular);
        printf(" shininess %g strength %g transparency %g falloff %g blur %g selfillum %g\n", m.shininess,
               m.shininessStrength, m.transparency, m.transparencyFalloff, m.reflectionBlur, m.selfIllumination);
        const x3dTextureSlot* slots[3] = {&m.texture, &m.reflection, &m.bump};
        const char* slotNames[3] = {"texture", "reflection", "bump"};
        for (int k = 0; k < 3; k++)
            if (slots[k]->name)
                printf("map %d %s \"%s\" options %u scale %g %g offset %g %g rotation %g\n", i, slotNames[k],
                       slots[k]->name, slots[k]->options, slots[k]->uScale, slots[k]->vScale, slots[k]->uOffset,
                       slots[k]->vOffset, slots[k]->rotation);
    }
    for (int i = 0; i < s.objectCount; i++) {
        const x3dObject& o = s.objects[i];
        printf("object %d \"%s\" id %d flags %d vertices %d faces %d parent ", i, nameOf(o.name), o.id, o.flags,
               o.vertexCount, o.faceCount);
        if (o.parent)
            printf("\"%s\"", nameOf(o.parent->name));
        else
            printf("none");
        printf(" pivot");
        v3(o.pivot);
        printf(" centre");
        v3(o.centre);
        printf(" radius %g\n", o.radius);
        for (int k = 0; k < o.vertexCount; k++) {
            const x3dVertex& v = o.vertices[k];
            printf("vertex %d %d", i, k);
            v3(v.position);
            printf(" normal");
            v3(v.normal);
            printf(" uv %g %g\n", v.u, v.v);
        }
        for (int k = 0; k < o.faceCount; k++) {
            const x3dFace& f = o.faces[k];
            printf("face %d %d %d %d %d material ", i, k, f.a, f.b, f.c);
            if (f.material)
                printf("\"%s\"", nameOf(f.material->name));
            else
                printf("none");
            printf(" clip %d normal", f.clipFlags);
            v3(f.normal);
            printf("\n");
        }
    }
    for (int i = 0; i < s.cameraCount; i++) {
        const x3dCamera& c = s.cameras[i];
        printf("camera %d \"%s\" id %d position", i, nameOf(c.name), c.id);
        v3(c.position);
        printf(" target");
        v3(c.target);
        printf(" roll %g fov %g\n", c.roll, c.lensFov);
    }
    for (int i = 0; i < s.lightCount; i++) {
        const x3dLight& l = s.lights[i];
        printf("light %d \"%s\" id %d type %d position", i, nameOf(l.name), l.id, l.type);
        v3(l.position);
        printf(" target");
        v3(l.target);
        printf(" colour");
        v3(l.colour);
        printf(" hotspot %g falloff %g range %g %g\n", l.cosHotspot, l.cosFalloff, l.innerRange, l.outerRange);
    }
    for (int i = 0; i < s.ambientCount; i++) {
        printf("ambient %d \"%s\" id %d colour", i, nameOf(s.ambients[i].name), s.ambients[i].id);
        v3(s.ambients[i].colour);
        printf("\n");
    }
    for (int i = 0; i < s.nodeCount; i++) {
        const x3dNode& n = s.nodes[i];
        printf("node %d %s id %d parent %d record ", i, kindName(n.kind), n.nodeId, n.parent);
        if (const char* r = recordName(n))
            printf("\"%s\"", r);
        else
            printf("none");
        printf(" tracks");
        bool any = false;
        for (int k = 0; k < X3D_NODE_TRACKS; k++)
            if (n.tracks[k]) {
                printf(" %s:%d", trackName(n.kind, k), n.tracks[k]->keyCount);
                any = true;
            }
        printf(any ? "\n" : " none\n");
    }
}

void printTree(const x3dScene& s, int node, int depth)
{
    const x3dNode& n = s.nodes[node];
    const char* r = recordName(n);
    printf("tree %*s%s %d \"%s\"\n", depth * 2, "", kindName(n.kind), n.nodeId, r ? r : "");
    for (int c = n.firstChild; c; c = s.nodes[c].nextSibling)
        printTree(s, c, depth + 1);
}

void printFrame(x3dScene& s, float frame)
{
    s.frame = frame;
    x3dAnimateScene();
    printf("frame %g\n", frame);
    for (int i = 0; i < s.objectCount; i++) {
        const x3dObject& o = s.objects[i];
        printf("matrix \"%s\"", nameOf(o.name));
        m34(o.matrix);
        printf(" flags %d\n", o.flags);
        for (int k = 0; k < o.vertexCount; k++) {
            const float* p = o.vertices[k].position;
            float w[3];
            for (int r = 0; r < 3; r++)
                w[r] = o.matrix[r][0] * p[0] + o.matrix[r][1] * p[1] + o.matrix[r][2] * p[2] + o.matrix[r][3];
            printf("world \"%s\" %d", nameOf(o.name), k);
            v3(w);
            printf("\n");
        }
    }
    for (int i = 0; i < s.cameraCount; i++) {
        const x3dCamera& c = s.cameras[i];
        printf("view \"%s\" position", nameOf(c.name));
        v3(c.position);
        printf(" target");
        v3(c.target);
        printf(" fov %g roll %g matrix", c.projectedFov, c.roll);
        m34(c.view);
        printf("\n");
    }
    for (int i = 0; i < s.lightCount; i++) {
        const x3dLight& l = s.lights[i];
        printf("lamp \"%s\" position", nameOf(l.name));
        v3(l.position);
        printf(" target");
        v3(l.target);
        printf(" colour");
        v3(l.colour);
        printf("\n");
    }
}

bool parseFrames(const char* text, std::vector<float>& frames)
{
    const char* p = text;
    while (*p) {
        char* end;
        float f = strtof(p, &end);
        if (end == p)
            return false;
        frames.push_back(f);
        p = end;
        if (*p == ',')
            p++;
        else if (*p)
            return false;
    }
    return !frames.empty();
}

bool parseTarget(const char* text, qhscene::ViewTarget& target)
{
    int w = 0, h = 0;
    char tail = 0;
    if (sscanf(text, "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 640 || h > 480)
        return false;
    target.width = w;
    target.height = h;
    return true;
}

qhd::Color colourOf(uint32_t p)
{
    return {((p >> 16) & 255) / 255.0f, ((p >> 8) & 255) / 255.0f, (p & 255) / 255.0f};
}

void place(qhd::Canvas& sheet, const std::vector<uint32_t>& px, int w, int h, int x, int y, int fromRow = 0,
           int rows = -1, int step = 1)
{
    if (rows < 0)
        rows = h;
    for (int j = 0; j < rows / step; j++)
        for (int i = 0; i < w / step; i++)
            sheet.At(x + i, y + j) = colourOf(px[(size_t)(fromRow + j * step) * w + i * step]);
}

// The file source names are read through: demo.pak in the current folder
// when it holds the name, else the disk; or as chosen.
xFileIO* sourceFor(const char* name, const char* pak, bool dir)
{
    static xFileIO archive(1), disk(0);
    if (dir)
        return &disk;
    const char* path = pak ? pak : "demo.pak";
    if (!pak) {
        FILE* probe = fopen(path, "rb");
        if (!probe)
            return &disk;
        fclose(probe);
    }
    if (!archive.archive && archive.Open(path) != 0)
        g_xError.Fatal(xFormat("Resource file not found -> %s", path));
    xFile file = {};
    int r = archive.Read(name, &file);
    if (r == 0) {
        archive.Free(&file);
        return &archive;
    }
    if (pak || r != XFILE_NOT_FOUND)
        g_xError.Fatal(xFormat("qh_scene -> Can't load %s from %s", name, path));
    return &disk;
}

x3dScene* loadScript(const char* name, const char* pak, bool dir)
{
    x3dScene* scene = new x3dScene();
    x3dLoadSceneScript(name, scene, sourceFor(name, pak, dir));
    return scene;
}

int writePng(const char* out, const qhd::Canvas& c)
{
    try {
        qhd::WriteFile(out, qhd::EncodePng(c));
    } catch (const std::exception& e) {
        fprintf(stderr, "qh_scene: %s\n", e.what());
        return 1;
    }
    return 0;
}

// The script's scene at each frame, two to a row.
int renderFrames(x3dScene* scene, const std::vector<float>& frames, const qhscene::ViewTarget* chosen, const char* out)
{
    qhscene::ViewTarget target = chosen ? *chosen : qhscene::defaultTarget(scene);
    const int gap = 4, columns = frames.size() > 1 ? 2 : 1;
    const int rowsOfFrames = (int)(frames.size() + columns - 1) / columns;
    qhd::Canvas sheet(columns * target.width + (columns - 1) * gap, rowsOfFrames * target.height + (rowsOfFrames - 1) * gap,
                      qhd::Hex(0x303840));
    for (size_t i = 0; i < frames.size(); i++) {
        std::vector<uint32_t> px = qhscene::renderScene(scene, frames[i], target);
        place(sheet, px, target.width, target.height, (int)(i % columns) * (target.width + gap),
              (int)(i / columns) * (target.height + gap));
    }
    return writePng(out, sheet);
}

// Where a plain file's maps are looked for: beside it; an archive's scenes
// take theirs from textures/ under the current folder, as the show's
// scripts say.
std::string texturePathFor(const char* name, bool fromArchive)
{
    if (fromArchive)
        return "textures/";
    const char* slash = strrchr(name, '/');
    return slash ? std::string(name, (size_t)(slash - name + 1)) : std::string();
}

// A 3DS file without a script: at each frame, or turntable views around it.
int renderModel(x3dScene* scene, const std::string& texturePath, std::vector<float> frames, int turntable,
                const qhscene::ViewTarget* chosen, const char* out)
{
    if (frames.empty())
        frames.push_back(scene->firstFrame);
    qhscene::ModelView view = qhscene::prepareModel(scene, texturePath, frames[0]);
    for (const std::string& map : view.missing)
        fprintf(stderr, "qh_scene: map %s not found, drawn in its material's colour\n", map.c_str());
    const x3dCamera* camera = g_x3d.camera;
    if (view.ownCamera || turntable > 0)
        printf("camera ours: bounds centre %g %g %g radius %g%s\n", view.centre[0], view.centre[1], view.centre[2],
               view.radius, view.scale != 1 ? " (enlarged)" : "");
    else
        printf("camera \"%s\" from the file\n", nameOf(camera->name));
    printf(view.ownLights ? "lights ours: key and fill\n" : "lights %d from the file\n", scene->lightCount);
    if (turntable <= 0)
        return renderFrames(scene, frames, chosen, out);

    qhscene::ViewTarget target = chosen ? *chosen : qhscene::ViewTarget{320, 240};
    if (!view.ownCamera) {
        // The turntable's camera is ours whatever the file holds.
        view.ownCamera = true;
        x3dCamera* own = (x3dCamera*)calloc(1, sizeof(x3dCamera));
        if (!own)
            g_xError.Raise("tools/scenes/qh_scene.cpp", __LINE__, 1, nullptr);
        x3dCameraResetSize(own);
        x3dSetActiveCamera(own);
    }
    const int gap = 4, columns = std::min(turntable, 4), rows = (turntable + columns - 1) / columns;
    qhd::Canvas sheet(columns * target.width + (columns - 1) * gap, rows * target.height + (rows - 1) * gap,
                      qhd::Hex(0x303840));
    for (int i = 0; i < turntable; i++) {
        qhscene::orbitModel(scene, view, 360.0f * (float)i / (float)turntable);
        std::vector<uint32_t> px = qhscene::renderScene(scene, frames[0], target);
        place(sheet, px, target.width, target.height, (i % columns) * (target.width + gap),
              (i / columns) * (target.height + gap));
    }
    return writePng(out, sheet);
}

// The four scenes of the show at three moments each, their letterboxes at
// half size, with the script's name and the frame.
int renderSheet(const char* pak, bool dir, const char* out)
{
    struct Row {
        const char* script;
        float frames[3];
    };
    const Row rows[] = {{"logo3d.x3d", {120, 289, 395}},
                        {"test.x3d", {30, 100, 225}},
                        {"scene3.x3d", {12, 45, 80}},
                        {"scene4.x3d", {0, 70, 140}}};
    const int cellW = 320, cellH = 125, label = 18, gap = 6;
    qhd::Canvas sheet(3 * cellW + 4 * gap, 4 * (cellH + label + gap) + gap, qhd::Hex(0x202428));
    for (int r = 0; r < 4; r++) {
        x3dScene* scene = loadScript(rows[r].script, pak, dir);
        qhscene::ViewTarget target = qhscene::defaultTarget(scene);
        for (int c = 0; c < 3; c++) {
            std::vector<uint32_t> px = qhscene::renderScene(scene, rows[r].frames[c], target);
            int x = gap + c * (cellW + gap), y = gap + r * (cellH + label + gap);
            place(sheet, px, target.width, target.height, x, y, target.height == 480 ? 115 : 0, 250, 2);
            char text[64];
            snprintf(text, sizeof text, "%s  frame %g", rows[r].script, rows[r].frames[c]);
            qhd::Text t = qhd::RenderText(text, qhd::Face::Sans, 12);
            qhd::Paint(sheet, t.mask, x, y + cellH + 14 - t.baseline, qhd::Hex(0xd0d8e0));
        }
    }
    return writePng(out, sheet);
}

} // namespace

int main(int argc, char** argv)
{
    // A report goes to stderr; no dialog box waits for an answer.
    setenv("QH_DIALOG_ANSWER", "yes", 0);
    const char* pak = nullptr;
    bool dir = false;
    const char* name = nullptr;
    const char* script = nullptr;
    const char* png = nullptr;
    const char* sheet = nullptr;
    qhscene::ViewTarget target;
    bool haveTarget = false;
    int turntable = 0;
    std::vector<float> frames;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        if (!strcmp(a, "-h") || !strcmp(a, "--help")) {
            fputs(kUsage, stdout);
            return 0;
        } else if (!strcmp(a, "--pak") && i + 1 < argc) {
            pak = argv[++i];
        } else if (!strcmp(a, "--dir")) {
            dir = true;
        } else if (!strcmp(a, "--frames") && i + 1 < argc) {
            if (!parseFrames(argv[++i], frames)) {
                fprintf(stderr, "qh_scene: bad frame list %s\n", argv[i]);
                return kUsageStatus;
            }
        } else if (!strcmp(a, "--script") && i + 1 < argc) {
            script = argv[++i];
        } else if (!strcmp(a, "--png") && i + 1 < argc) {
            png = argv[++i];
        } else if (!strcmp(a, "--turntable") && i + 1 < argc) {
            char* end = nullptr;
            long n = strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end || n < 1 || n > 64) {
                fprintf(stderr, "qh_scene: bad turntable %s (1 to 64 views)\n", argv[i]);
                return kUsageStatus;
            }
            turntable = (int)n;
        } else if (!strcmp(a, "--sheet") && i + 1 < argc) {
            sheet = argv[++i];
        } else if (!strcmp(a, "--target") && i + 1 < argc) {
            if (!parseTarget(argv[++i], target)) {
                fprintf(stderr, "qh_scene: bad target %s (WxH, at most 640x480)\n", argv[i]);
                return 2;
            }
            haveTarget = true;
        } else if (a[0] != '-' && !name) {
            name = a;
        } else {
            fputs(kUsage, stderr);
            return kUsageStatus;
        }
    }
    const int modes = (name ? 1 : 0) + (script ? 1 : 0) + (sheet ? 1 : 0);
    if (modes != 1 || (pak && dir) || ((png || haveTarget) && !script && !name) || (png && script && frames.empty()) ||
        (turntable && (!name || !png)) || (haveTarget && !png)) {
        fputs(kUsage, stderr);
        return kUsageStatus;
    }

    qhscene::initEngines();
    if (sheet)
        return renderSheet(pak, dir, sheet);
    if (script) {
        x3dScene* loaded = loadScript(script, pak, dir);
        if (png)
            return renderFrames(loaded, frames, haveTarget ? &target : nullptr, png);
        printRecords(*loaded, script);
        for (int i = 0; i < loaded->nodeCount; i++)
            if (loaded->nodes[i].parent < 0)
                printTree(*loaded, i, 0);
        for (float f : frames)
            printFrame(*loaded, f);
        return 0;
    }
    static x3dScene scene;
    xFile block = {};
    bool fromArchive = false;
    if (!dir) {
        const char* archive = pak ? pak : "demo.pak";
        FILE* probe = pak ? nullptr : fopen(archive, "rb");
        if (probe)
            fclose(probe);
        if (pak || probe) {
            if (g_fileIO.Open(archive) != 0)
                g_xError.Fatal(xFormat("Resource file not found -> %s", archive));
            int r = g_fileIO.Read(name, &block);
            if (r == 0)
                fromArchive = true;
            else if (pak || r != XFILE_NOT_FOUND)
                g_xError.Fatal(xFormat("qh_scene -> Can't load %s from %s", name, archive));
        }
    }
    if (fromArchive) {
        x3dLoad3dsMem(&block, &scene);
        g_fileIO.Free(&block);
    } else {
        x3dLoad3ds(name, &scene);
    }
    if (png)
        return renderModel(&scene, texturePathFor(name, fromArchive), frames, turntable, haveTarget ? &target : nullptr,
                           png);
    x3dSetScene(&scene);

    printRecords(scene, name);
    for (int i = 0; i < scene.nodeCount; i++)
        if (scene.nodes[i].parent < 0)
            printTree(scene, i, 0);
    for (float f : frames)
        printFrame(scene, f);
    x3dFreeScene(&scene);
    return 0;
}
