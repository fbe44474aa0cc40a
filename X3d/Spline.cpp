#include "Spline.h"

#include <cmath>
#include <cstring>

#include "system/Xerror.h"
#include "system/Xmath.h"

namespace {
const char* const kModule = "X3d/Spline.cpp";

// A little below 2 pi: angle sums further apart than this add a turn.
const float kTurn = 6.28318430718f;
const float kPi = 3.14159265358979f;

enum { NO_OUTPUT, BEFORE_FIRST, AT_KEY, BETWEEN };

// Finds where a frame falls in a track: nothing to do, before the first
// key, on a key (single key, or at or beyond the last), or between key k and
// the next at eased time t. Moves the track's cursor.
int locate(x3dTrack* track, float frame, x3dKey** found, float* t)
{
    if (!track || track->keyCount <= 0 || !(frame >= 0.0f))
        return NO_OUTPUT;
    // A track of length 0 has nothing to repeat: it is evaluated as single.
    if (track->mode != 0 && track->length > 0.0f)
        frame = fmodf(frame, track->length);
    x3dKey* key = track->keys;
    if (frame < key->frame) {
        *found = key;
        return BEFORE_FIRST;
    }
    if (track->keyCount == 1) {
        *found = key;
        return AT_KEY;
    }
    if (track->cursor && frame >= track->cursor->frame)
        key = track->cursor;
    while (key->next && frame > key->next->frame)
        key = key->next;
    track->cursor = key;
    *found = key;
    if (!key->next)
        return AT_KEY;
    x3dKey* next = key->next;
    *t = x3dEase((frame - key->frame) / (next->frame - key->frame), key->easeFrom, next->easeTo);
    return BETWEEN;
}

void hermite(const x3dKey* k, float t, float* out, int components)
{
    const x3dKey* n = k->next;
    float t2 = t * t, t3 = t2 * t;
    float h1 = 2 * t3 - 3 * t2 + 1, h2 = 3 * t2 - 2 * t3, h3 = t3 - 2 * t2 + t, h4 = t3 - t2;
    for (int i = 0; i < components; i++)
        out[i] = h1 * k->value[i] + h2 * n->value[i] + h3 * k->tangentOut[i] + h4 * n->tangentIn[i];
}

void evalValue(x3dTrack* track, float frame, float* out, int components)
{
    x3dKey* k;
    float t;
    int where = locate(track, frame, &k, &t);
    if (where == NO_OUTPUT)
        return;
    if (where == BETWEEN)
        hermite(k, t, out, components);
    else
        memcpy(out, k->value, sizeof(float) * components);
}

// Tangents of key k from the previous value pp at frame fp and the next
// value pn at frame fn.
void valueTangents(x3dKey* k, const float* pp, float fp, const float* pn, float fn)
{
    float half = (fn - fp) * 0.5f;
    float u = (k->frame - fp) / half, v = (fn - k->frame) / half;
    float c = fabsf(k->continuity);
    float u2 = c + u * (1 - c), v2 = c + v * (1 - c);
    float g = (1 - k->tension) * (1 - k->continuity) * 0.5f;
    float h = (1 - k->tension) * (1 + k->continuity) * 0.5f;
    for (int i = 0; i < 4; i++) {
        float a = k->value[i] - pp[i], b = pn[i] - k->value[i];
        k->tangentIn[i] = a * g * (1 + k->bias) * u2 + b * h * (1 - k->bias) * u2;
        k->tangentOut[i] = a * h * (1 + k->bias) * v2 + b * g * (1 - k->bias) * v2;
    }
}

// Quaternion helpers, (w, x, y, z).
float dot4(const float* a, const float* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3]; }

void inverse(const float* q, float* out)
{
    float n = dot4(q, q);
    if (n == 0.0f)
        n = 1.0f;
    out[0] = q[0] / n;
    out[1] = -q[1] / n;
    out[2] = -q[2] / n;
    out[3] = -q[3] / n;
}

void quatLn(const float* q, float* out)
{
    float len = sqrtf(q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    out[0] = 0.0f;
    if (len == 0.0f) {
        out[1] = out[2] = out[3] = 0.0f;
        return;
    }
    float theta = q[0] == 0.0f ? kPi * 0.5f : xAtanf(len / q[0]);
    for (int i = 1; i < 4; i++)
        out[i] = q[i] * theta / len;
}

void quatExp(const float* v, float* out)
{
    float len = sqrtf(v[1] * v[1] + v[2] * v[2] + v[3] * v[3]);
    float f = len == 0.0f ? 1.0f : xSinf(len) / len;
    out[0] = xCosf(len);
    for (int i = 1; i < 4; i++)
        out[i] = v[i] * f;
}

// The neighbour's rotation turned to the same side as q: its conjugate over
// its length when their dot product is negative.
void sameSide(const float* neighbour, const float* q, float* out)
{
    memcpy(out, neighbour, sizeof(float) * 4);
    if (dot4(neighbour, q) < 0.0f) {
        float len = sqrtf(dot4(neighbour, neighbour));
        if (len == 0.0f)
            len = 1.0f;
        out[0] = neighbour[0] / len;
        for (int i = 1; i < 4; i++)
            out[i] = -neighbour[i] / len;
    }
}

void rotationTangents(x3dKey* k, const x3dKey* p, const x3dKey* n)
{
    float g1[4] = {0, 0, 0, 0}, g2[4] = {0, 0, 0, 0}, q[4], inv[4];
    if (p) {
        if (fabsf(k->value[0] - p->value[0]) > kTurn) {
            for (int i = 1; i < 4; i++)
                g1[i] = k->value[i] * kPi * 0.5f;
        } else {
            sameSide(p->rotation, k->rotation, q);
            inverse(q, inv);
            x3dQuatMul(inv, k->rotation, q);
            quatLn(q, g1);
        }
    }
    if (n) {
        if (fabsf(n->value[0] - k->value[0]) > kTurn) {
            for (int i = 1; i < 4; i++)
                g2[i] = n->value[i] * kPi * 0.5f;
        } else {
            sameSide(n->rotation, k->rotation, q);
            inverse(k->rotation, inv);
            x3dQuatMul(inv, q, q);
            quatLn(q, g2);
        }
    }
    if (!p)
        memcpy(g1, g2, sizeof g1);
    if (!n)
        memcpy(g2, g1, sizeof g2);
    float a = 1.0f, b = 1.0f;
    float c = fabsf(k->continuity);
    if (p && n) {
        float half = (n->frame - p->frame) * 0.5f;
        a = c + ((n->frame - k->frame) / half) * (1 - c);
        b = c + ((k->frame - p->frame) / half) * (1 - c);
    }
    float T = k->tension, C = k->continuity, B = k->bias;
    float g = (1 - T) * (1 - C) * 0.5f, h = (1 - T) * (1 + C) * 0.5f;
    float qa[4], qb[4];
    for (int i = 0; i < 4; i++) {
        qa[i] = 0.5f * ((a * (1 - B) * g - 1) * g2[i] + a * (1 + B) * h * g1[i]);
        qb[i] = 0.5f * (-b * (1 - B) * h * g2[i] + (1 - b * (1 + B) * g) * g1[i]);
    }
    float e[4];
    quatExp(qa, e);
    x3dQuatMul(k->rotation, e, k->quatIn);
    quatExp(qb, e);
    x3dQuatMul(k->rotation, e, k->quatOut);
}

void transformPoint(const float m[3][4], const float* p, float* out)
{
    float r[3];
    for (int i = 0; i < 3; i++)
        r[i] = m[i][0] * p[0] + m[i][1] * p[1] + m[i][2] * p[2] + m[i][3];
    memcpy(out, r, sizeof r);
}

// A node whose object no position, rotation or scale key moves: the object
// keeps the pose of its mesh matrix.
bool resting(const x3dNode* node) { return !node->tracks[0] && !node->tracks[1] && !node->tracks[2]; }

void animateObject(x3dNode* node, float frame)
{
    x3dObject* o = (x3dObject*)node->record;
    if (resting(node)) {
        memcpy(o->matrix, o->restMatrix, sizeof o->matrix);
    } else {
        x3dSplineEval(node->tracks[0], frame, o->position);
        x3dSplineEval(node->tracks[1], frame, o->scale);
        x3dSplineEvalRot(node->tracks[2], frame, o->rotation);
        x3dQuatToMatrix(o->rotation, o->matrix);
        for (int r = 0; r < 3; r++) {
            for (int c = 0; c < 3; c++)
                o->matrix[r][c] *= o->scale[c];
            o->matrix[r][3] = o->position[r];
        }
    }

    x3dKey* k;
    float t;
    if (!node->tracks[4]) {
        o->flags &= ~X3D_OF_HIDDEN;
    } else {
        int where = locate(node->tracks[4], frame, &k, &t);
        if (where == BEFORE_FIRST || (where != NO_OUTPUT && k->value[0] == 0.0f))
            o->flags &= ~X3D_OF_HIDDEN;
        else if (where != NO_OUTPUT)
            o->flags |= X3D_OF_HIDDEN;
    }

    x3dTrack* morph = node->tracks[3];
    if (!morph) {
        o->flags &= ~X3D_OF_MORPHING;
        return;
    }
    int where = locate(morph, frame, &k, &t);
    if (where == BETWEEN) {
        o->morphSource = (int16_t)k->value[0];
        o->morphTarget = (int16_t)k->next->value[0];
        o->morphFactor = t;
    } else if (where != NO_OUTPUT) {
        // With no earlier key the mesh blends with itself.
        o->morphSource = (int16_t)(k->previous ? k->previous->value[0] : k->value[0]);
        o->morphTarget = (int16_t)k->value[0];
        o->morphFactor = 1.0f;
    }
    o->flags |= X3D_OF_MORPHING;
}

// A point's value this frame: its key, or its loaded value.
void evalPoint(x3dTrack* track, float frame, const float* base, float* out)
{
    memcpy(out, base, sizeof(float) * 3);
    x3dSplineEval(track, frame, out);
}

void animateNode(x3dNode* node, float frame)
{
    if (!node->record)
        return;
    switch (node->kind) {
    case 32:
        animateObject(node, frame);
        break;
    case 1: {
        x3dCamera* c = (x3dCamera*)node->record;
        evalPoint(node->tracks[0], frame, c->basePosition, c->position);
        x3dSplineEvalFloat(node->tracks[2], frame, &c->roll);
        float fov = c->lensFov;
        x3dSplineEvalFloat(node->tracks[1], frame, &fov);
        if (fov != c->projectedFov)
            x3dCameraSetFov(c, fov);
        break;
    }
    case 2:
        evalPoint(node->tracks[0], frame, ((x3dCamera*)node->record)->baseTarget,
                  ((x3dCamera*)node->record)->target);
        break;
    case 4:
    case 8: {
        x3dLight* l = (x3dLight*)node->record;
        evalPoint(node->tracks[0], frame, l->basePosition, l->position);
        if (node->kind == 4) {
            x3dSplineEval(node->tracks[1], frame, l->colour);
        } else {
            x3dSplineEvalFloat(node->tracks[1], frame, &l->roll);
            x3dSplineEval(node->tracks[2], frame, l->colour);
        }
        break;
    }
    case 16:
        evalPoint(node->tracks[0], frame, ((x3dLight*)node->record)->baseTarget, ((x3dLight*)node->record)->target);
        break;
    case 64:
        x3dSplineEval(node->tracks[0], frame, ((x3dAmbient*)node->record)->colour);
        break;
    }
}

// The point of a camera or light node that its parent object's matrix
// moves, or none.
float* movedPoint(x3dNode* node)
{
    switch (node->kind) {
    case 1: return ((x3dCamera*)node->record)->position;
    case 2: return ((x3dCamera*)node->record)->target;
    case 4:
    case 8: return ((x3dLight*)node->record)->position;
    case 16: return ((x3dLight*)node->record)->target;
    }
    return nullptr;
}

void passToChildren(x3dScene* scene, x3dNode* node)
{
    if (!node->record || (node->kind != 32 && node->kind != 1))
        return;
    for (int i = node->firstChild; i; i = scene->nodes[i].nextSibling) {
        x3dNode* child = &scene->nodes[i];
        if (!child->record)
            continue;
        if (node->kind == 1) {
            // A camera carries its omni and spot lights along.
            if (child->kind == 4 || child->kind == 8)
                for (int j = 0; j < 3; j++)
                    ((x3dLight*)child->record)->position[j] += ((x3dCamera*)node->record)->position[j];
            continue;
        }
        const x3dObject* parent = (const x3dObject*)node->record;
        if (child->kind == 32) {
            if (!resting(child))
                x3dMatrixMul(parent->matrix, ((x3dObject*)child->record)->matrix,
                             ((x3dObject*)child->record)->matrix);
        } else if (float* p = movedPoint(child)) {
            transformPoint(parent->matrix, p, p);
        }
    }
}

} // namespace

float x3dEase(float t, float a, float b)
{
    float s = a + b;
    if (s == 0.0f)
        return t;
    if (s > 1.0f) {
        a /= s;
        b /= s;
    }
    float k = 1.0f / (2.0f - a - b);
    if (t < a)
        return t * t * k / a;
    // Without ease-to the middle piece runs up to t = 1, where it is exactly 1.
    if (t < 1.0f - b || b == 0.0f)
        return k * (2.0f * t - a);
    return 1.0f - (1.0f - t) * (1.0f - t) * k / b;
}

void x3dSplineInit(x3dTrack* track)
{
    if (!track || track->keyCount <= 0)
        g_xError.Assert(kModule, 40, "x3dSplineInit error: no keys\n");
    int n = track->keyCount;
    x3dKey* k = track->keys;
    if (n == 1)
        return;
    if (n == 2) {
        for (int i = 0; i < 4; i++) {
            float d = k[1].value[i] - k[0].value[i];
            k[0].tangentIn[i] = 0.0f;
            k[0].tangentOut[i] = (1 - k[0].tension) * d;
            k[1].tangentIn[i] = (1 - k[1].tension) * d;
            k[1].tangentOut[i] = 0.0f;
        }
        return;
    }
    for (int i = 1; i < n - 1; i++)
        valueTangents(&k[i], k[i - 1].value, k[i - 1].frame, k[i + 1].value, k[i + 1].frame);
    if (track->mode == 2) {
        float length = track->length;
        valueTangents(&k[0], k[n - 2].value, k[n - 2].frame - length, k[1].value, k[1].frame);
        valueTangents(&k[n - 1], k[n - 2].value, k[n - 2].frame, k[1].value, k[1].frame + length);
        return;
    }
    const x3dKey &p0 = k[0], &p1 = k[1], &p2 = k[2];
    float c0 = 0.25f - (p1.frame - p0.frame) / (2 * (p2.frame - p0.frame)) + 0.5f;
    const x3dKey &pn = k[n - 1], &pn1 = k[n - 2], &pn2 = k[n - 3];
    float cn = 0.25f - (pn.frame - pn1.frame) / (2 * (pn.frame - pn2.frame)) + 0.5f;
    for (int i = 0; i < 4; i++) {
        float d10 = p1.value[i] - p0.value[i], d20 = p2.value[i] - p0.value[i];
        k[0].tangentOut[i] = (1 - p0.tension) * (1.5f * (d10 - 0.5f * d20) + c0 * d20);
        float dn1 = pn.value[i] - pn1.value[i], dn2 = pn.value[i] - pn2.value[i];
        k[n - 1].tangentIn[i] = (1 - pn.tension) * (1.5f * (dn1 - 0.5f * dn2) + cn * dn2);
    }
}

void x3dSplineInitRot(x3dTrack* track)
{
    if (!track || track->keyCount <= 0)
        g_xError.Assert(kModule, 80, "x3dSplineInitRot error: no keys");
    int n = track->keyCount;
    if (n == 1)
        return;
    x3dKey* k = track->keys;
    for (int i = 0; i < n; i++)
        rotationTangents(&k[i], i > 0 ? &k[i - 1] : nullptr, i < n - 1 ? &k[i + 1] : nullptr);
}

void x3dSplineEval(x3dTrack* track, float frame, float out[3]) { evalValue(track, frame, out, 3); }

void x3dSplineEvalFloat(x3dTrack* track, float frame, float* out) { evalValue(track, frame, out, 1); }

void x3dSplineEvalRot(x3dTrack* track, float frame, float out[4])
{
    x3dKey* k;
    float t;
    int where = locate(track, frame, &k, &t);
    if (where == NO_OUTPUT)
        return;
    if (where != BETWEEN) {
        memcpy(out, k->rotation, sizeof(float) * 4);
        return;
    }
    const x3dKey* n = k->next;
    float spins = truncf((n->value[0] - k->value[0]) * 0.15915494309188485f);
    float p[4], q[4];
    x3dQuatSlerp(k->rotation, n->rotation, spins, t, p);
    x3dQuatSlerp(k->quatOut, n->quatIn, spins, t, q);
    x3dQuatSlerp(p, q, 0.0f, 2.0f * t * (1.0f - t), out);
}

void x3dQuatSlerp(const float q0[4], const float q1[4], float spins, float t, float out[4])
{
    float c = dot4(q0, q1), a, b;
    if (1.0f - fabsf(c) >= 1e-6f) {
        float omega = acosf(c);
        float phi = t * (omega + spins * kPi);
        float s = xSinf(omega);
        a = xSinf(omega - phi) / s;
        b = xSinf(phi) / s;
    } else {
        a = 1.0f - t;
        b = t;
    }
    float r[4];
    for (int i = 0; i < 4; i++)
        r[i] = q0[i] * a + q1[i] * b;
    memcpy(out, r, sizeof r);
}

void x3dQuatMul(const float a[4], const float b[4], float out[4])
{
    float r[4] = {
        a[0] * b[0] - a[1] * b[1] - a[2] * b[2] - a[3] * b[3],
        a[0] * b[1] + a[1] * b[0] + a[2] * b[3] - a[3] * b[2],
        a[0] * b[2] - a[1] * b[3] + a[2] * b[0] + a[3] * b[1],
        a[0] * b[3] + a[1] * b[2] - a[2] * b[1] + a[3] * b[0],
    };
    memcpy(out, r, sizeof r);
}

void x3dQuatToMatrix(const float q[4], float m[3][4])
{
    float w = q[0], x = q[1], y = q[2], z = q[3];
    m[0][0] = 1 - 2 * y * y - 2 * z * z;
    m[0][1] = 2 * x * y - 2 * w * z;
    m[0][2] = 2 * x * z + 2 * w * y;
    m[1][0] = 2 * x * y + 2 * w * z;
    m[1][1] = 1 - 2 * x * x - 2 * z * z;
    m[1][2] = 2 * y * z - 2 * w * x;
    m[2][0] = 2 * x * z - 2 * w * y;
    m[2][1] = 2 * y * z + 2 * w * x;
    m[2][2] = 1 - 2 * x * x - 2 * y * y;
    m[0][3] = m[1][3] = m[2][3] = 0.0f;
}

void x3dMatrixMul(const float a[3][4], const float b[3][4], float out[3][4])
{
    float r[3][4];
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 4; j++)
            r[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
        r[i][3] += a[i][3];
    }
    memcpy(out, r, sizeof r);
}

void x3dCameraSetFov(x3dCamera* camera, float fov)
{
    float f = 1.0f / xTanf(fov * 0.5f * 0.017453292519944444f);
    camera->projectedFov = fov;
    memset(camera->projection, 0, sizeof camera->projection);
    camera->projection[0][0] = camera->projection[1][1] = f;
    camera->projection[2][2] = 1.0f;
    camera->sphereFactor = 1.0f / x3dTableSqrt(f * f + 1.0f);
}

void x3dCameraUpdate(x3dCamera* camera)
{
    float d[3];
    for (int i = 0; i < 3; i++)
        d[i] = camera->target[i] - camera->position[i];
    float len = sqrtf(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (len == 0.0f)
        len = 1.0f;
    // Rounding can put d.y / L a hair past 1 when the camera looks straight down.
    float s = d[1] / len;
    s = s > 1.0f ? 1.0f : s < -1.0f ? -1.0f : s;
    float yaw = -xAtan2f(d[0], d[2]);
    float pitch = asinf(s);
    float roll = camera->roll * -0.017453294f;
    float sy = xSinf(yaw), cy = xCosf(yaw), sp = xSinf(pitch), cp = xCosf(pitch), sr = xSinf(roll), cr = xCosf(roll);
    float(*m)[4] = camera->view;
    m[0][0] = sr * sy * sp + cr * cy;
    m[0][1] = sr * cp;
    m[0][2] = sy * cr - cy * sp * sr;
    m[1][0] = sy * sp * cr - sr * cy;
    m[1][1] = cr * cp;
    m[1][2] = -cy * sp * cr - sy * sr;
    m[2][0] = -sy * cp;
    m[2][1] = sp;
    m[2][2] = cy * cp;
    for (int i = 0; i < 3; i++)
        m[i][3] = -(m[i][0] * camera->position[0] + m[i][1] * camera->position[1] + m[i][2] * camera->position[2]);
}

void x3dAnimateScene()
{
    x3dScene* scene = g_x3d.scene;
    X_ASSERT(scene != nullptr, kModule, 300);
    if (scene->nodeCount <= 0)
        return;
    float frame = scene->frame;
    for (x3dNode* node = scene->nodes; node; node = node->next)
        animateNode(node, frame);
    for (x3dNode* node = scene->nodes; node; node = node->next)
        passToChildren(scene, node);
    for (x3dNode* node = scene->nodes; node; node = node->next)
        if (node->kind == 1 && node->record)
            x3dCameraUpdate((x3dCamera*)node->record);
}
