// The show's own transcendental functions: against glibc's libm over seeded
// random arguments of every range the show meets and beyond (within one
// unit in the last place, two for the tangent), at the special values, and
// the bits of many results folded into one hash, which must be the same on
// every platform and compiler (a fused multiply-add slipped in would change it).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <random>

#include "system/Xmath.h"

namespace {

int64_t ordered(double x)
{
    int64_t b;
    memcpy(&b, &x, 8);
    return b < 0 ? INT64_MIN - b : b;
}

int32_t ordered(float x)
{
    int32_t b;
    memcpy(&b, &x, 4);
    return b < 0 ? INT32_MIN - b : b;
}

// Units in the last place between a and b; NaN only matches NaN.
uint64_t ulps(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b) ? 0 : UINT64_MAX;
    int64_t d = ordered(a) - ordered(b);
    return (uint64_t)(d < 0 ? -d : d);
}

uint64_t ulps(float a, float b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::isnan(a) && std::isnan(b) ? 0 : UINT64_MAX;
    int64_t d = (int64_t)ordered(a) - ordered(b);
    return (uint64_t)(d < 0 ? -d : d);
}

// Arguments: uniform over [-range, range] and, as often, spread over the
// binary exponents below range, both signs.
struct Args {
    std::mt19937_64 rng{20261207};
    double next(double range)
    {
        uint64_t r = rng();
        double u = (double)(r >> 11) / 9007199254740992.0;
        if (r & 1)
            return (2.0 * u - 1.0) * range;
        double e = std::ldexp(1.0 + u, -(int)((r >> 1) % 60));
        return (r & 2 ? -e : e) * range;
    }
};

const double kSpecials[] = {0.0, -0.0, 1.0, -1.0, 0.5, 1e-300, 4.9e-324, 1e300, M_PI, M_PI / 2, M_PI / 4,
                            -M_PI, 3 * M_PI / 2, 2 * M_PI, 100 * M_PI, 709.78, -745.1, 1e6};

TEST(Math, DoubleFunctionsAreWithinAnUlpOfGlibc)
{
#ifndef __GLIBC__
    GTEST_SKIP() << "the reference is glibc's libm";
#else
    struct Case {
        const char* name;
        double (*ours)(double);
        double (*theirs)(double);
        double range;
        uint64_t most;
    };
    const Case cases[] = {
        {"sin", xSin, ::sin, 1e5, 1},       {"sin", xSin, ::sin, 50, 1}, {"cos", xCos, ::cos, 1e5, 1},
        {"cos", xCos, ::cos, 50, 1},        {"tan", xTan, ::tan, 1e3, 2}, {"atan", xAtan, ::atan, 1e20, 1},
        {"atan", xAtan, ::atan, 3, 1},      {"exp", xExp, ::exp, 745, 1}, {"exp", xExp, ::exp, 1, 1},
        {"log", xLog, ::log, 1e300, 1},     {"log", xLog, ::log, 2, 1},
    };
    Args args;
    for (const Case& c : cases) {
        uint64_t worst = 0;
        double at = 0;
        auto check = [&](double x) {
            if (c.ours == xLog)
                x = std::fabs(x);
            uint64_t d = ulps(c.ours(x), c.theirs(x));
            if (d > worst) {
                worst = d;
                at = x;
            }
        };
        const bool periodic = c.ours == xSin || c.ours == xCos || c.ours == xTan;
        for (double x : kSpecials)
            if (!periodic || std::fabs(x) < 1.6e6)
                check(x);
        for (int i = 0; i < 200000; i++)
            check(args.next(c.range));
        EXPECT_LE(worst, c.most) << c.name << " over " << c.range << ": " << worst << " ulps at " << at;
    }
    uint64_t worst = 0;
    for (int i = 0; i < 200000; i++) {
        double y = args.next(1e3), x = args.next(i & 1 ? 1e3 : 1e-3);
        worst = std::max(worst, ulps(xAtan2(y, x), ::atan2(y, x)));
    }
    for (double y : kSpecials)
        for (double x : {0.0, -0.0, 1.0, -1.0, HUGE_VAL, -HUGE_VAL})
            for (double s : {1.0, -1.0})
                EXPECT_LE(ulps(xAtan2(s * y, x), ::atan2(s * y, x)), 1u) << "atan2 " << s * y << " " << x;
    EXPECT_LE(worst, 1u) << "atan2";
    // Non-finite arguments.
    EXPECT_TRUE(std::isnan(xSin(HUGE_VAL)) && std::isnan(xCos(-HUGE_VAL)) && std::isnan(xLog(-1.0)));
    EXPECT_EQ(xExp(HUGE_VAL), HUGE_VAL);
    EXPECT_EQ(xExp(-HUGE_VAL), 0.0);
    EXPECT_EQ(xLog(0.0), -HUGE_VAL);
    EXPECT_EQ(xAtan(HUGE_VAL), M_PI / 2);
    // Beyond the sines' accurate range: still sines.
    for (double x : {1e7, -3e15, 1e300, 1.7e308})
        EXPECT_TRUE(std::fabs(xSin(x)) <= 1.0 && std::fabs(xCos(x)) <= 1.0) << x;
#endif
}

TEST(Math, FloatFunctionsAreWithinAnUlpOfTheRoundedTrueResult)
{
#ifndef __GLIBC__
    GTEST_SKIP() << "the reference is glibc's libm";
#else
    Args args;
    uint64_t worst[6] = {};
    for (int i = 0; i < 200000; i++) {
        float x = (float)args.next(i & 1 ? 10.0 : 1e4), y = (float)args.next(100.0);
        worst[0] = std::max(worst[0], ulps(xSinf(x), (float)::sin((double)x)));
        worst[1] = std::max(worst[1], ulps(xCosf(x), (float)::cos((double)x)));
        worst[2] = std::max(worst[2], ulps(xTanf(x), (float)::tan((double)x)));
        worst[3] = std::max(worst[3], ulps(xAtanf(x), (float)::atan((double)x)));
        worst[4] = std::max(worst[4], ulps(xAtan2f(y, x), (float)::atan2((double)y, (double)x)));
        // Bases of both signs: a negative one with whole exponents only.
        float b = (float)args.next(4.0), e = (float)args.next(60.0);
        if (b < 0)
            e = std::trunc(e);
        worst[5] = std::max(worst[5], ulps(xPowf(b, e), (float)::pow((double)b, (double)e)));
    }
    const char* names[] = {"sinf", "cosf", "tanf", "atanf", "atan2f", "powf"};
    for (int f = 0; f < 6; f++)
        EXPECT_LE(worst[f], 1u) << names[f];
    EXPECT_EQ(xPowf(0.0f, 2.0f), 0.0f);
    EXPECT_EQ(xPowf(0.0f, -1.0f), HUGE_VALF);
    EXPECT_EQ(xPowf(-2.0f, 3.0f), -8.0f);
    EXPECT_EQ(xPowf(-2.0f, 2.0f), 4.0f);
    EXPECT_TRUE(std::isnan(xPowf(-2.0f, 0.5f)));
    EXPECT_EQ(xPowf(5.0f, 0.0f), 1.0f);
#endif
}

// The bits every build must give: the show's pictures are made of them.
TEST(Math, ResultsHaveTheSameBitsEverywhere)
{
    Args args;
    uint64_t h = 14695981039346656037ull;
    auto fold = [&](double r) {
        uint64_t b;
        memcpy(&b, &r, 8);
        for (int i = 0; i < 8; i++, b >>= 8)
            h = (h ^ (b & 0xff)) * 1099511628211ull;
    };
    for (int i = 0; i < 20000; i++) {
        double x = args.next(100.0), y = args.next(10.0);
        fold(xSin(x));
        fold(xCos(x));
        fold(xTan(x));
        fold(xAtan(x));
        fold(xAtan2(y, x));
        fold(xExp(y));
        fold(xLog(std::fabs(x)));
        fold(xPowf((float)std::fabs(y), (float)(x * 0.1)));
        fold(xSinf((float)x) + xCosf((float)y));
    }
    EXPECT_EQ(h, 0xfc9c479c6af916f7ull) << std::hex << h;
}

} // namespace
