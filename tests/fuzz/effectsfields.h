#pragma once

// Checks on effect settings read from JSON, shared by the axis and profile targets.

#include "effectsprofile.h"
#include "fuzzsupport.h"

#include <QJsonDocument>

#include <limits>

namespace fuzz {

inline void requireFinite(const char *what, const ExponentialRange &r)
{
    requireFinite(what, "range min", r.min);
    requireFinite(what, "range max", r.max);
    requireFinite(what, "range exp", r.exp);
}

inline void requireFinite(const char *what, const PointCurve &c)
{
    for (const CurvePoint &p : c.points) {
        requireFinite(what, "curve in", p.in);
        requireFinite(what, "curve out", p.out);
    }
}

inline void requireFinite(const char *what, const SimpleEffectSettings &e)
{
    requireFinite(what, "total_effect_strength", e.total_effect_strength);
}

inline void requireFinite(const char *what, const GenericShakerSettings &e)
{
    requireFinite(what, static_cast<const SimpleEffectSettings &>(e));
    requireFinite(what, e.speed);
    requireFinite(what, e.frequency);
}

// Every float of the effects of one axis.
inline void requireFinite(const char *what, const AxisEffectsSettings &a)
{
    const AirflowSpringSettings &airflow = a.airflow_spring;
    requireFinite(what, static_cast<const SimpleEffectSettings &>(airflow));
    requireFinite(what, "airspeed_force", airflow.airspeed_force);
    requireFinite(what, "thrust_force", airflow.thrust_force);
    requireFinite(what, "attenuation_strength", airflow.attenuation_strength);
    requireFinite(what, "local_aoa_influence_strength", airflow.local_aoa_influence_strength);
    requireFinite(what, airflow.attenuation_curve);
    requireFinite(what, "attenuation_start_airspeed", airflow.attenuation_start_airspeed);
    requireFinite(what, "attenuation_end_airspeed", airflow.attenuation_end_airspeed);

    for (const CurveSpringSettings *spring : {&a.simple_spring, &a.g_force_spring, &a.aoa_spring}) {
        requireFinite(what, static_cast<const SimpleEffectSettings &>(*spring));
        requireFinite(what, spring->curve);
    }
    requireFinite(what, a.elevator_weight);
    requireFinite(what, static_cast<const GenericShakerSettings &>(a.aoa_shaker));
    requireFinite(what, a.aoa_shaker.aoa);
    for (const GenericShakerSettings *shaker : {&a.gear_shaker, &a.flaps_shaker, &a.airbrake_shaker, &a.on_ground_shaker})
        requireFinite(what, *shaker);
    requireFinite(what, static_cast<const GenericShakerSettings &>(a.landing_jolt));
    if (a.landing_jolt.effect_time > quint64(std::numeric_limits<int>::max()))
        fail(what, "landing_jolt effect_time", double(a.landing_jolt.effect_time));
    requireFinite(what, a.il2_shaker);
    requireFinite(what, static_cast<const SimpleEffectSettings &>(a.direct_x));
    requireFinite(what, "direct_x trimmer", a.direct_x.trimmer);
    requireFinite(what, "direct_x force", a.direct_x.force);
    requireFinite(what, "direct_x periodic", a.direct_x.periodic);
    requireFinite(what, static_cast<const SimpleEffectSettings &>(a.condor_shaker));
    requireFinite(what, a.condor_shaker.frequency);
    requireFinite(what, static_cast<const SimpleEffectSettings &>(a.smart_damper));
    requireFinite(what, "static_dampening", a.smart_damper.static_dampening);
    requireFinite(what, "dynamic_dampening", a.smart_damper.dynamic_dampening);
    requireFinite(what, static_cast<const SimpleEffectSettings &>(a.trim_following));
}

// An axis written to text and read back into fresh settings keeps every
// active effect (inactive ones are not written and read back reset).
inline void requireActiveEffectsKept(const char *what, const AxisEffectsSettings &written,
                                     const AxisEffectsSettings &read)
{
#define KESTROX_FUZZ_EFFECT(name)                                                                          \
    if (written.name.active && !(written.name == read.name))                                               \
        fail(what, "effect changed by writing and reading: " #name, 0);                                    \
    if (!written.name.active && read.name.active)                                                          \
        fail(what, "inactive effect read back active: " #name, 0);
    KESTROX_FUZZ_EFFECT(airflow_spring)
    KESTROX_FUZZ_EFFECT(simple_spring)
    KESTROX_FUZZ_EFFECT(elevator_weight)
    KESTROX_FUZZ_EFFECT(aoa_shaker)
    KESTROX_FUZZ_EFFECT(gear_shaker)
    KESTROX_FUZZ_EFFECT(flaps_shaker)
    KESTROX_FUZZ_EFFECT(airbrake_shaker)
    KESTROX_FUZZ_EFFECT(on_ground_shaker)
    KESTROX_FUZZ_EFFECT(landing_jolt)
    KESTROX_FUZZ_EFFECT(il2_shaker)
    KESTROX_FUZZ_EFFECT(direct_x)
    KESTROX_FUZZ_EFFECT(condor_shaker)
    KESTROX_FUZZ_EFFECT(smart_damper)
    KESTROX_FUZZ_EFFECT(g_force_spring)
    KESTROX_FUZZ_EFFECT(aoa_spring)
    KESTROX_FUZZ_EFFECT(trim_following)
#undef KESTROX_FUZZ_EFFECT
}

// Through the text form, as a profile file holds it.
inline QJsonObject throughText(const QJsonObject &json)
{
    const QByteArray text = QJsonDocument(json).toJson(QJsonDocument::Indented);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        fail("JSON", "own output does not parse", error.offset);
    return document.object();
}

} // namespace fuzz
