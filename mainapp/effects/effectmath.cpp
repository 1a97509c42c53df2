#include "effectmath.h"

#include <array>
#include <cmath>
#include <limits>

namespace {

// sin(10 k degrees), k = 0..36, rounded to four decimals.
constexpr std::array<float, 37> kSineTable = {
    0.0f,    0.1736f, 0.342f,   0.5f,    0.6428f, 0.766f,   0.866f,   0.9397f, 0.9848f,  1.0f,
    0.9848f, 0.9397f, 0.866f,   0.766f,  0.6428f, 0.5f,     0.342f,   0.1736f, 0.0f,     -0.1736f,
    -0.342f, -0.5f,   -0.6428f, -0.766f, -0.866f, -0.9397f, -0.9848f, -1.0f,   -0.9848f, -0.9397f,
    -0.866f, -0.766f, -0.6428f, -0.5f,   -0.342f, -0.1736f, 0.0f,
};

const CurvePoint &point(const PointCurve &curve, int index)
{
    return curve.points[static_cast<std::size_t>(index)];
}

float interpolate(const CurvePoint &from, const CurvePoint &to, float x)
{
    return from.out + (x - from.in) * (to.out - from.out) / (to.in - from.in);
}

} // namespace

float tableSine(float degrees)
{
    if (!std::isfinite(degrees))
        return 0.0f;
    // fmod is exact and equals the reduction by whole turns counted from the
    // truncated angle, without an integer conversion that could overflow.
    float d = std::fmod(degrees, 360.0f);
    if (d < 0.0f)
        d += 360.0f;
    // A tiny negative angle rounds up to a full turn and would index past
    // the table.
    if (d >= 360.0f)
        d = 0.0f;
    const int i = static_cast<int>(d) / 10;
    const float low = kSineTable[static_cast<std::size_t>(i)];
    const float high = kSineTable[static_cast<std::size_t>(i + 1)];
    return low + (d - 10.0f * static_cast<float>(i)) / 10.0f * (high - low);
}

float tableCosine(float degrees)
{
    return tableSine(degrees + 90.0f);
}

float exponentCurve(float x, float exponent)
{
    const float slowStart = x * x * x;
    const float fastStart = 1.0f - (1.0f - x) * (1.0f - x) * (1.0f - x);
    if (exponent > 1.0f)
        return slowStart;
    if (exponent < -1.0f)
        return fastStart;
    if (exponent > 0.0f)
        return exponent * slowStart + (1.0f - exponent) * x;
    if (exponent <= 0.0f) {
        const float weight = -exponent;
        return weight * fastStart + (1.0f - weight) * x;
    }
    return x;
}

float rangeValue(float x, const ExponentialRange &range)
{
    return range.min + (range.max - range.min) * exponentCurve(x, range.exp / 100.0f);
}

bool hasSpan(const ExponentialRange &range)
{
    const float span = range.max - range.min;
    return span != 0.0f && std::isfinite(span);
}

float normalize(float x, const ExponentialRange &range)
{
    const float n = (x - range.min) / (range.max - range.min);
    if (n > 1.0f)
        return 1.0f;
    if (n > 0.0f)
        return n;
    return 0.0f; // below the range, or NaN
}

float sample(const PointCurve &curve, float x)
{
    if (x <= point(curve, 0).in)
        return point(curve, 0).out;
    // The interval test excludes pairs with equal in, so no division by zero.
    for (int i = 0; i < PointCurve::PointCount - 1; ++i) {
        if (point(curve, i).in < x && x <= point(curve, i + 1).in)
            return interpolate(point(curve, i), point(curve, i + 1), x);
    }
    return point(curve, PointCurve::PointCount - 1).out;
}

float attenuationLookup(const PointCurve &curve, float x)
{
    if (point(curve, 0).in >= x)
        return point(curve, 0).out;
    for (int i = 1; i < PointCurve::PointCount; ++i) {
        if (point(curve, i - 1).in <= x && x < point(curve, i).in)
            return interpolate(point(curve, i - 1), point(curve, i), x);
    }
    return point(curve, PointCurve::PointCount - 1).out;
}

float narrowToFloat(double value)
{
    constexpr double largest = std::numeric_limits<float>::max();
    if (value > largest)
        return std::numeric_limits<float>::infinity();
    if (value < -largest)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}
