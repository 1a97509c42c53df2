#pragma once

#include <QJsonObject>
#include <QMetaType>

#include <array>
#include <cstdint>

// Effect settings of the three control axes. Plain value records, copied
// whole across threads. Field names are the JSON keys of the profile files.
// Percentages are stored as 0..100, exponents in percent (-100..100).
// Nothing is validated here: the panels set the limits, and the force
// computations cope with whatever values arrive.

// A value interpolated between two ends with a shaping exponent.
struct ExponentialRange
{
    float min = 0.0f;
    float max = 100.0f;
    float exp = 0.0f; // percent; beyond +-100 acts as +-100

    void reset() { *this = ExponentialRange(); }
    void fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool operator==(const ExponentialRange &) const = default;
};

struct CurvePoint
{
    float in = 0.0f;
    float out = 0.0f;

    bool operator==(const CurvePoint &) const = default;
};

// Piecewise linear curve through eleven points, `in` expected ascending.
struct PointCurve
{
    static constexpr int PointCount = 11;
    using Points = std::array<CurvePoint, PointCount>;

    Points points{};
    bool defined = false; // set by the curve editor or a profile

    // What the curve editor does: copies the points and marks the curve set.
    void setPoints(const Points &newPoints);

    bool operator==(const PointCurve &) const = default;
};

struct SimpleEffectSettings
{
    bool active = false;
    float total_effect_strength = 0.0f; // percent

    void reset();
    void fromJson(const QJsonObject &json);
    // Writes "active" and "total_effect_strength" into json.
    void writeJson(QJsonObject &json) const;
    QJsonObject toJson() const;

    bool operator==(const SimpleEffectSettings &) const = default;
};

struct AirflowSpringSettings : SimpleEffectSettings
{
    float airspeed_force = 0.0f;               // percent
    float thrust_force = 0.0f;                 // percent
    float attenuation_strength = 100.0f;       // percent; 0 after a reset
    float local_aoa_influence_strength = 0.0f; // percent
    PointCurve attenuation_curve;              // derived from the two airspeeds, never stored
    float attenuation_start_airspeed = 500.0f; // km/h
    float attenuation_end_airspeed = 1000.0f;  // km/h

    // Stores both airspeeds and rebuilds attenuation_curve from them.
    void setAttenuation(float startAirspeed, float endAirspeed);
    // The attenuation curve for these airspeeds, marked defined; finite even
    // for equal airspeeds.
    static PointCurve attenuationCurveFor(float startAirspeed, float endAirspeed);

    void reset();
    void fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool operator==(const AirflowSpringSettings &) const = default;
};

struct CurveSpringSettings : SimpleEffectSettings
{
    // in: deflection in percent, G or angle of attack in degrees; out: kg.
    PointCurve curve;

    // Leaves the curve as it is.
    void reset();
    // A missing or non-array "curve" keeps the curve as it is.
    void fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool operator==(const CurveSpringSettings &) const = default;
};

struct GenericShakerSettings : SimpleEffectSettings
{
    ExponentialRange speed;     // km/h of minimum and maximum effect
    ExponentialRange frequency; // Hz

    void reset();
    void fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool operator==(const GenericShakerSettings &) const = default;
};

struct AoAShakerSettings : GenericShakerSettings
{
    ExponentialRange aoa; // degrees of minimum and maximum effect

    void reset();
    void fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool operator==(const AoAShakerSettings &) const = default;
};

struct LandingJoltSettings : GenericShakerSettings
{
    std::uint64_t effect_time = 250; // ms

    void reset();
    void fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool operator==(const LandingJoltSettings &) const = default;
};

struct DirectXSettings : SimpleEffectSettings
{
    float trimmer = 0.0f;  // percent
    float force = 0.0f;    // percent, the device's own spring forces
    float periodic = 0.0f; // percent

    void reset();
    void fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool operator==(const DirectXSettings &) const = default;
};

struct CondorShakerSettings : SimpleEffectSettings
{
    ExponentialRange frequency;

    void reset();
    void fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool operator==(const CondorShakerSettings &) const = default;
};

struct SmartDampeningSettings : SimpleEffectSettings
{
    float static_dampening = 0.0f;  // percent
    float dynamic_dampening = 0.0f; // percent

    void reset();
    void fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool operator==(const SmartDampeningSettings &) const = default;
};

// Trim and autopilot following: the axis's springs centre on the
// aircraft's trim (or, while the autopilot flies and `autopilot` is set, on
// the position of the axis's control), not on the middle of the travel.
struct TrimFollowingSettings : SimpleEffectSettings
{
    bool autopilot = false; // follow the autopilot's control position while it is engaged
    bool reverse = false;   // the simulator's trim runs the other way round

    void reset();
    void fromJson(const QJsonObject &json);
    QJsonObject toJson() const;

    bool operator==(const TrimFollowingSettings &) const = default;
};

// The effects of one axis; each member name is its JSON key.
struct AxisEffectsSettings
{
    AirflowSpringSettings airflow_spring;
    CurveSpringSettings simple_spring;
    SimpleEffectSettings elevator_weight;
    AoAShakerSettings aoa_shaker;
    GenericShakerSettings gear_shaker;
    GenericShakerSettings flaps_shaker;
    GenericShakerSettings airbrake_shaker;
    GenericShakerSettings on_ground_shaker;
    LandingJoltSettings landing_jolt;
    SimpleEffectSettings il2_shaker;
    DirectXSettings direct_x;
    CondorShakerSettings condor_shaker;
    SmartDampeningSettings smart_damper;
    CurveSpringSettings g_force_spring;
    CurveSpringSettings aoa_spring;
    TrimFollowingSettings trim_following;

    // Every effect to its reset defaults; the spring curves stay.
    void reset();
    // Each effect is read from its member when that is an object and reset
    // otherwise. Never fails: mistyped members read as their defaults.
    void fromJson(const QJsonObject &json);
    // One member per active effect.
    QJsonObject toJson() const;

    bool operator==(const AxisEffectsSettings &) const = default;
};

// Settings of the three axes: 0 ailerons, 1 elevator, 2 rudder.
struct EffectsSettings
{
    static constexpr int AxisCount = 3;

    std::array<AxisEffectsSettings, AxisCount> axes{};

    AxisEffectsSettings &operator[](int axis) { return axes[static_cast<std::size_t>(axis)]; }
    const AxisEffectsSettings &operator[](int axis) const { return axes[static_cast<std::size_t>(axis)]; }

    void reset();

    bool operator==(const EffectsSettings &) const = default;
};

Q_DECLARE_METATYPE(PointCurve)
Q_DECLARE_METATYPE(AxisEffectsSettings)
Q_DECLARE_METATYPE(EffectsSettings)
