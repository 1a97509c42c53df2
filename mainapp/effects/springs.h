#pragma once

#include "effectssettings.h"
#include "forces.h"

// Steady forces of an axis. Each operation subtracts its force from
// forces.force; the springs also overwrite forces.spring with their
// magnitude. The caller checks the active flag. Settings that would divide
// by zero, and results that are not finite, leave forces untouched.

// Spring over the curve's value at input (deflection in percent, G or angle
// of attack in degrees), scaled by the strength.
void applyCurveSpring(AxisForces &forces, const CurveSpringSettings &settings, float input);

// Weight of the control under G-load: 10 at 1 G and full strength.
void applyElevatorWeight(AxisForces &forces, const SimpleEffectSettings &settings, float gForce);

// Natural airflow spring. position is +-1 at full deflection, airspeed the
// clamped airspeed in km/h, thrust in percent, flowAngle the local flow
// angle of the axis in degrees. Needs non-zero airspeeds that differ.
void applyAirflowSpring(AxisForces &forces, const AirflowSpringSettings &settings, float position,
                        float airspeed, float thrust, float flowAngle);
