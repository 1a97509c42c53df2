#pragma once

#include "effectssettings.h"

// Numeric helpers shared by all effects. Angles are in degrees. Results are
// finite for every finite input; a non-finite angle reads as 0.

// Sine from a 37-entry table (every 10 degrees, four decimals), linearly
// interpolated; any angle is first reduced to 0..360.
float tableSine(float degrees);
float tableCosine(float degrees);

// Shapes x in 0..1: exponent 0 is linear, towards +1 a slow start (x^3),
// towards -1 a fast start; beyond +-1 acts as +-1. A NaN exponent is linear.
float exponentCurve(float x, float exponent);

// min + (max - min) * exponentCurve(x, exp / 100), for x in 0..1.
float rangeValue(float x, const ExponentialRange &range);

// Where x lies between min and max of the range, limited to 0..1; NaN reads
// as 0. Only meaningful for a range with hasSpan().
float normalize(float x, const ExponentialRange &range);
// The range can be normalised over: min and max differ and the span is finite.
bool hasSpan(const ExponentialRange &range);

// Piecewise linear value of the curve at x: the first point's out at or
// below its in, the last point's out beyond the last pair.
float sample(const PointCurve &curve, float x);

// Lookup of x in 0..1 on the airflow spring's attenuation curve.
float attenuationLookup(const PointCurve &curve, float x);

// Rounds a double to float; beyond the float range the result is infinite
// (which the effects then drop) rather than an undefined conversion.
float narrowToFloat(double value);
