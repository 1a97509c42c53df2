#include "effectssettings.h"

#include <QJsonArray>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Narrows a JSON number to float; a double beyond the float range saturates
// instead of overflowing the conversion.
float toFloat(double value)
{
    constexpr double largest = std::numeric_limits<float>::max();
    if (value > largest)
        return std::numeric_limits<float>::max();
    if (value < -largest)
        return std::numeric_limits<float>::lowest();
    return static_cast<float>(value);
}

float readFloat(const QJsonObject &json, QLatin1StringView key, float fallback)
{
    const QJsonValue value = json.value(key);
    return value.isDouble() ? toFloat(value.toDouble()) : fallback;
}

void writeFloat(QJsonObject &json, QLatin1StringView key, float value)
{
    json.insert(key, static_cast<double>(value));
}

void readRange(ExponentialRange &range, const QJsonObject &json, QLatin1StringView key)
{
    const QJsonValue value = json.value(key);
    if (value.isObject())
        range.fromJson(value.toObject());
    else
        range.reset();
}

template<typename Effect>
void readEffect(Effect &effect, const QJsonObject &json, QLatin1StringView key)
{
    const QJsonValue value = json.value(key);
    if (value.isObject())
        effect.fromJson(value.toObject());
    else
        effect.reset();
}

template<typename Effect>
void writeEffect(const Effect &effect, QJsonObject &json, QLatin1StringView key)
{
    if (effect.active)
        json.insert(key, effect.toJson());
}

const QLatin1StringView kSpeed("speed");
const QLatin1StringView kFrequency("frequency");

} // namespace

void ExponentialRange::fromJson(const QJsonObject &json)
{
    min = readFloat(json, QLatin1StringView("min"), 0.0f);
    max = readFloat(json, QLatin1StringView("max"), 100.0f);
    exp = readFloat(json, QLatin1StringView("exp"), 0.0f);
}

QJsonObject ExponentialRange::toJson() const
{
    QJsonObject json;
    writeFloat(json, QLatin1StringView("min"), min);
    writeFloat(json, QLatin1StringView("max"), max);
    writeFloat(json, QLatin1StringView("exp"), exp);
    return json;
}

void PointCurve::setPoints(const Points &newPoints)
{
    points = newPoints;
    defined = true;
}

void SimpleEffectSettings::reset()
{
    active = false;
    total_effect_strength = 0.0f;
}

void SimpleEffectSettings::fromJson(const QJsonObject &json)
{
    active = json.value(QLatin1StringView("active")).toBool(false);
    total_effect_strength = readFloat(json, QLatin1StringView("total_effect_strength"), 0.0f);
}

void SimpleEffectSettings::writeJson(QJsonObject &json) const
{
    json.insert(QLatin1StringView("active"), active);
    writeFloat(json, QLatin1StringView("total_effect_strength"), total_effect_strength);
}

QJsonObject SimpleEffectSettings::toJson() const
{
    QJsonObject json;
    writeJson(json);
    return json;
}

void AirflowSpringSettings::setAttenuation(float startAirspeed, float endAirspeed)
{
    attenuation_start_airspeed = startAirspeed;
    attenuation_end_airspeed = endAirspeed;
    attenuation_curve = attenuationCurveFor(startAirspeed, endAirspeed);
}

PointCurve AirflowSpringSettings::attenuationCurveFor(float startAirspeed, float endAirspeed)
{
    // Quadratic Bezier from (0, 0) over (p1x, 1) to (1, 1). Equal airspeeds
    // leave no span to shape: the control point then sits at x = 0 so that
    // the curve stays finite (the spring itself ignores such settings).
    float p1x = 0.5f * startAirspeed / (endAirspeed - startAirspeed);
    if (!std::isfinite(p1x))
        p1x = 0.0f;
    PointCurve curve;
    for (int i = 0; i < PointCurve::PointCount; ++i) {
        const auto t = static_cast<float>(i * 0.1);
        const float u = 1.0f - t;
        curve.points[static_cast<std::size_t>(i)] = {2.0f * u * t * p1x + t * t, 2.0f * u * t + t * t};
    }
    curve.defined = true;
    return curve;
}

void AirflowSpringSettings::reset()
{
    SimpleEffectSettings::reset();
    airspeed_force = 0.0f;
    thrust_force = 0.0f;
    attenuation_strength = 0.0f;
    local_aoa_influence_strength = 0.0f;
    setAttenuation(500.0f, 1000.0f);
}

void AirflowSpringSettings::fromJson(const QJsonObject &json)
{
    SimpleEffectSettings::fromJson(json);
    setAttenuation(readFloat(json, QLatin1StringView("attenuation_start_airspeed"), 500.0f),
                   readFloat(json, QLatin1StringView("attenuation_end_airspeed"), 1000.0f));
    airspeed_force = readFloat(json, QLatin1StringView("airspeed_force"), 0.0f);
    thrust_force = readFloat(json, QLatin1StringView("thrust_force"), 0.0f);
    local_aoa_influence_strength = readFloat(json, QLatin1StringView("local_aoa_influence_strength"), 0.0f);
    attenuation_strength = readFloat(json, QLatin1StringView("attenuation_strength"), 0.0f);
}

QJsonObject AirflowSpringSettings::toJson() const
{
    QJsonObject json;
    writeJson(json);
    writeFloat(json, QLatin1StringView("attenuation_start_airspeed"), attenuation_start_airspeed);
    writeFloat(json, QLatin1StringView("attenuation_end_airspeed"), attenuation_end_airspeed);
    writeFloat(json, QLatin1StringView("airspeed_force"), airspeed_force);
    writeFloat(json, QLatin1StringView("thrust_force"), thrust_force);
    writeFloat(json, QLatin1StringView("local_aoa_influence_strength"), local_aoa_influence_strength);
    writeFloat(json, QLatin1StringView("attenuation_strength"), attenuation_strength);
    return json;
}

void CurveSpringSettings::reset()
{
    SimpleEffectSettings::reset();
}

void CurveSpringSettings::fromJson(const QJsonObject &json)
{
    SimpleEffectSettings::fromJson(json);
    const QJsonValue value = json.value(QLatin1StringView("curve"));
    if (!value.isArray())
        return;
    const QJsonArray array = value.toArray();
    for (int i = 0; i < PointCurve::PointCount; ++i) {
        // Entries past the end or of the wrong type read as empty objects.
        const QJsonObject entry = i < array.size() ? array.at(i).toObject() : QJsonObject();
        CurvePoint &point = curve.points[static_cast<std::size_t>(i)];
        point.in = readFloat(entry, QLatin1StringView("in"), 0.0f);
        point.out = readFloat(entry, QLatin1StringView("out"), 0.0f);
    }
    curve.defined = true;
}

QJsonObject CurveSpringSettings::toJson() const
{
    QJsonObject json;
    writeJson(json);
    if (curve.defined) {
        QJsonArray array;
        for (const CurvePoint &point : curve.points) {
            QJsonObject entry;
            writeFloat(entry, QLatin1StringView("in"), point.in);
            writeFloat(entry, QLatin1StringView("out"), point.out);
            array.append(entry);
        }
        json.insert(QLatin1StringView("curve"), array);
    }
    return json;
}

void GenericShakerSettings::reset()
{
    SimpleEffectSettings::reset();
    speed.reset();
    frequency.reset();
}

void GenericShakerSettings::fromJson(const QJsonObject &json)
{
    SimpleEffectSettings::fromJson(json);
    readRange(speed, json, kSpeed);
    readRange(frequency, json, kFrequency);
}

QJsonObject GenericShakerSettings::toJson() const
{
    QJsonObject json;
    writeJson(json);
    json.insert(kSpeed, speed.toJson());
    json.insert(kFrequency, frequency.toJson());
    return json;
}

void AoAShakerSettings::reset()
{
    GenericShakerSettings::reset();
    aoa.reset();
}

void AoAShakerSettings::fromJson(const QJsonObject &json)
{
    GenericShakerSettings::fromJson(json);
    readRange(aoa, json, QLatin1StringView("aoa"));
}

QJsonObject AoAShakerSettings::toJson() const
{
    QJsonObject json = GenericShakerSettings::toJson();
    json.insert(QLatin1StringView("aoa"), aoa.toJson());
    return json;
}

void LandingJoltSettings::reset()
{
    GenericShakerSettings::reset();
    effect_time = 250;
}

void LandingJoltSettings::fromJson(const QJsonObject &json)
{
    GenericShakerSettings::fromJson(json);
    const QJsonValue value = json.value(QLatin1StringView("effect_time"));
    if (value.isDouble()) {
        // Whole 32-bit numbers only; a fraction or a value out of range reads
        // 0, and so does a negative one rather than wrapping to ages.
        const int milliseconds = value.toInt(0);
        effect_time = milliseconds > 0 ? static_cast<std::uint64_t>(milliseconds) : 0;
    } else {
        effect_time = 250;
    }
}

QJsonObject LandingJoltSettings::toJson() const
{
    QJsonObject json = GenericShakerSettings::toJson();
    constexpr std::uint64_t largest = std::numeric_limits<int>::max();
    json.insert(QLatin1StringView("effect_time"), static_cast<int>(std::min(effect_time, largest)));
    return json;
}

void DirectXSettings::reset()
{
    SimpleEffectSettings::reset();
    trimmer = 0.0f;
    force = 0.0f;
    periodic = 0.0f;
}

void DirectXSettings::fromJson(const QJsonObject &json)
{
    SimpleEffectSettings::fromJson(json);
    trimmer = readFloat(json, QLatin1StringView("trimmer"), 0.0f);
    force = readFloat(json, QLatin1StringView("force"), 0.0f);
    periodic = readFloat(json, QLatin1StringView("periodic"), 0.0f);
}

QJsonObject DirectXSettings::toJson() const
{
    QJsonObject json;
    writeJson(json);
    writeFloat(json, QLatin1StringView("trimmer"), trimmer);
    writeFloat(json, QLatin1StringView("force"), force);
    writeFloat(json, QLatin1StringView("periodic"), periodic);
    return json;
}

void CondorShakerSettings::reset()
{
    SimpleEffectSettings::reset();
    frequency.reset();
}

void CondorShakerSettings::fromJson(const QJsonObject &json)
{
    SimpleEffectSettings::fromJson(json);
    readRange(frequency, json, kFrequency);
}

QJsonObject CondorShakerSettings::toJson() const
{
    QJsonObject json;
    writeJson(json);
    json.insert(kFrequency, frequency.toJson());
    return json;
}

void SmartDampeningSettings::reset()
{
    SimpleEffectSettings::reset();
    static_dampening = 0.0f;
    dynamic_dampening = 0.0f;
}

void SmartDampeningSettings::fromJson(const QJsonObject &json)
{
    SimpleEffectSettings::fromJson(json);
    static_dampening = readFloat(json, QLatin1StringView("static_dampening"), 0.0f);
    dynamic_dampening = readFloat(json, QLatin1StringView("dynamic_dampening"), 0.0f);
}

QJsonObject SmartDampeningSettings::toJson() const
{
    QJsonObject json;
    writeJson(json);
    writeFloat(json, QLatin1StringView("static_dampening"), static_dampening);
    writeFloat(json, QLatin1StringView("dynamic_dampening"), dynamic_dampening);
    return json;
}

void TrimFollowingSettings::reset()
{
    SimpleEffectSettings::reset();
    autopilot = false;
    reverse = false;
}

void TrimFollowingSettings::fromJson(const QJsonObject &json)
{
    SimpleEffectSettings::fromJson(json);
    autopilot = json.value(QLatin1StringView("autopilot")).toBool(false);
    reverse = json.value(QLatin1StringView("reverse")).toBool(false);
}

QJsonObject TrimFollowingSettings::toJson() const
{
    QJsonObject json;
    writeJson(json);
    json.insert(QLatin1StringView("autopilot"), autopilot);
    json.insert(QLatin1StringView("reverse"), reverse);
    return json;
}

void AxisEffectsSettings::reset()
{
    airflow_spring.reset();
    simple_spring.reset();
    elevator_weight.reset();
    aoa_shaker.reset();
    gear_shaker.reset();
    flaps_shaker.reset();
    airbrake_shaker.reset();
    on_ground_shaker.reset();
    landing_jolt.reset();
    il2_shaker.reset();
    direct_x.reset();
    condor_shaker.reset();
    smart_damper.reset();
    g_force_spring.reset();
    aoa_spring.reset();
    trim_following.reset();
}

void AxisEffectsSettings::fromJson(const QJsonObject &json)
{
    readEffect(airflow_spring, json, QLatin1StringView("airflow_spring"));
    readEffect(simple_spring, json, QLatin1StringView("simple_spring"));
    readEffect(elevator_weight, json, QLatin1StringView("elevator_weight"));
    readEffect(aoa_shaker, json, QLatin1StringView("aoa_shaker"));
    readEffect(gear_shaker, json, QLatin1StringView("gear_shaker"));
    readEffect(flaps_shaker, json, QLatin1StringView("flaps_shaker"));
    readEffect(airbrake_shaker, json, QLatin1StringView("airbrake_shaker"));
    readEffect(on_ground_shaker, json, QLatin1StringView("on_ground_shaker"));
    readEffect(landing_jolt, json, QLatin1StringView("landing_jolt"));
    readEffect(il2_shaker, json, QLatin1StringView("il2_shaker"));
    readEffect(direct_x, json, QLatin1StringView("direct_x"));
    readEffect(condor_shaker, json, QLatin1StringView("condor_shaker"));
    readEffect(smart_damper, json, QLatin1StringView("smart_damper"));
    readEffect(g_force_spring, json, QLatin1StringView("g_force_spring"));
    readEffect(aoa_spring, json, QLatin1StringView("aoa_spring"));
    readEffect(trim_following, json, QLatin1StringView("trim_following"));
}

QJsonObject AxisEffectsSettings::toJson() const
{
    QJsonObject json;
    writeEffect(airflow_spring, json, QLatin1StringView("airflow_spring"));
    writeEffect(simple_spring, json, QLatin1StringView("simple_spring"));
    writeEffect(elevator_weight, json, QLatin1StringView("elevator_weight"));
    writeEffect(aoa_shaker, json, QLatin1StringView("aoa_shaker"));
    writeEffect(gear_shaker, json, QLatin1StringView("gear_shaker"));
    writeEffect(flaps_shaker, json, QLatin1StringView("flaps_shaker"));
    writeEffect(airbrake_shaker, json, QLatin1StringView("airbrake_shaker"));
    writeEffect(on_ground_shaker, json, QLatin1StringView("on_ground_shaker"));
    writeEffect(landing_jolt, json, QLatin1StringView("landing_jolt"));
    writeEffect(il2_shaker, json, QLatin1StringView("il2_shaker"));
    writeEffect(condor_shaker, json, QLatin1StringView("condor_shaker"));
    writeEffect(direct_x, json, QLatin1StringView("direct_x"));
    writeEffect(smart_damper, json, QLatin1StringView("smart_damper"));
    writeEffect(g_force_spring, json, QLatin1StringView("g_force_spring"));
    writeEffect(aoa_spring, json, QLatin1StringView("aoa_spring"));
    writeEffect(trim_following, json, QLatin1StringView("trim_following"));
    return json;
}

void EffectsSettings::reset()
{
    for (AxisEffectsSettings &axis : axes)
        axis.reset();
}
