#pragma once

#include "effectssettings.h"

#include <QMetaType>
#include <QObject>
#include <QString>

#include <cstdint>

// Labels a profile and selects it automatically. Fields are named after
// their JSON keys.
struct EffectsProfileMetadata
{
    std::int32_t flight_data_source = 0; // a Telemetry::Source value; 0 is none
    QString flight_module;
    QString comment;

    bool operator==(const EffectsProfileMetadata &) const = default;
};

// A complete set of effect settings with its label. The file form and the
// profile operations live with the profile management; the effect type ids
// live here because the effect editor uses them without profiles.
struct EffectsProfile
{
    Q_GADGET

public:
    // Identifies an effect of an axis; the comment names its settings member.
    enum EffectType
    {
        EFFECT_TYPE_NATURAL_AIRFLOW = 0,           // airflow_spring
        EFFECT_TYPE_SIMPLE_SPRING = 1,             // simple_spring
        EFFECT_TYPE_ELEVATOR_WEIGHT = 2,           // elevator_weight
        EFFECT_TYPE_DIRECT_X_FFB = 3,              // direct_x
        EFFECT_TYPE_LANDING_JOLT = 4,              // landing_jolt
        EFFECT_TYPE_AOA_SHAKER = 5,                // aoa_shaker
        EFFECT_TYPE_EXTENDED_GEAR_SHAKER = 6,      // gear_shaker
        EFFECT_TYPE_EXTENDED_FLAPS_SHAKER = 7,     // flaps_shaker
        EFFECT_TYPE_EXTENDED_AIRBRAKES_SHAKER = 8, // airbrake_shaker
        EFFECT_TYPE_ON_GROUND_ROLLING_SHAKER = 9,  // on_ground_shaker
        EFFECT_TYPE_IL2_SHAKING = 10,              // il2_shaker
        EFFECT_TYPE_CONDOR_SHAKER = 11,            // condor_shaker
        EFFECT_TYPE_SMART_DAMPER = 12,             // smart_damper
        EFFECT_TYPE_G_FORCE_SPRING = 13,           // g_force_spring
        EFFECT_TYPE_AOA_SPRING = 14,               // aoa_spring
        EFFECT_TYPE_NATURAL_AIRFLOW_V2 = 15,       // no settings, panel or computation
        EFFECT_TYPE_TRIM_FOLLOWING = 16,           // trim_following
    };
    Q_ENUM(EffectType)

    EffectsProfileMetadata metadata;
    EffectsSettings settings; // in-class defaults until a profile is read

    bool operator==(const EffectsProfile &) const = default;
};

Q_DECLARE_METATYPE(EffectsProfileMetadata)
Q_DECLARE_METATYPE(EffectsProfile)
