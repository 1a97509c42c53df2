#include "devicereports.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace DeviceReports {

void putFloat(unsigned char *at, float value)
{
    // The last guard before a motor: nothing that is not finite leaves.
    if (!std::isfinite(value))
        value = 0.0f;
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian(bits, at);
}

float floatAt(const Report &report, std::size_t offset)
{
    const quint32 bits = qFromLittleEndian<quint32>(report.data() + offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

AxisDamping dampingOf(const AxisEffectsSettings &axis)
{
    const SmartDampeningSettings &damper = axis.smart_damper;
    if (!damper.active)
        return {};
    return {damper.total_effect_strength * damper.static_dampening / 100.0f / 100.0f,
            damper.total_effect_strength * damper.dynamic_dampening / 100.0f / 100.0f};
}

DirectXOverrideTypeDef directXOverrideOf(const AxisEffectsSettings &first, const AxisEffectsSettings *second)
{
    DirectXOverrideTypeDef scales;
    const AxisEffectsSettings *axes[2] = {&first, second};
    for (int i = 0; i < 2; ++i) {
        if (!axes[i] || !axes[i]->direct_x.active)
            continue;
        const DirectXSettings &dx = axes[i]->direct_x;
        scales.trimmer[i] = dx.trimmer / 100.0f;
        scales.force[i] = dx.total_effect_strength * dx.force / 100.0f / 100.0f;
        scales.periodic[i] = dx.total_effect_strength * dx.periodic / 100.0f / 100.0f;
    }
    return scales;
}

Report directControl(const AxisForces &first, const AxisForces &second, AxisDamping firstDamping,
                     AxisDamping secondDamping)
{
    Report report{};
    report[0] = OutputReportId;
    report[1] = DirectControlCommand;
    const float values[] = {first.spring,
                            second.spring,
                            first.force,
                            second.force,
                            first.periodic,
                            second.periodic,
                            firstDamping.staticDamping,
                            secondDamping.staticDamping,
                            firstDamping.dynamicDamping,
                            secondDamping.dynamicDamping,
                            0.0f,
                            0.0f};
    for (std::size_t i = 0; i < std::size(values); ++i)
        putFloat(report.data() + 2 + 4 * i, values[i]);
    return report;
}

Report directXOverride(const DirectXOverrideTypeDef &scales)
{
    Report report{};
    report[0] = OutputReportId;
    report[1] = DirectXOverrideCommand;
    const float values[] = {scales.trimmer[0], scales.trimmer[1],  scales.force[0],
                            scales.force[1],   scales.periodic[0], scales.periodic[1]};
    for (std::size_t i = 0; i < std::size(values); ++i)
        putFloat(report.data() + 2 + 4 * i, values[i]);
    return report;
}

Report featureRequest(unsigned char reportId)
{
    Report report{};
    report[0] = reportId;
    return report;
}

quint32 versionFromReport(const Report &report)
{
    return qFromLittleEndian<quint32>(report.data());
}

} // namespace DeviceReports
