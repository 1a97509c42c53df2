#include "shakerrandomsource.h"

#include <cmath>

float ShakerRandomSource::uniform()
{
    constexpr std::uint64_t multiplier = 16807;
    constexpr std::uint64_t modulus = 2147483647;
    m_state = static_cast<std::uint32_t>(m_state * multiplier % modulus);

    const auto value = static_cast<float>(std::ldexp(static_cast<double>(m_state - 1), -31));
    // The largest outputs round up to 1 in float; the interval stays open.
    return value < 1.0f ? value : std::nextafter(1.0f, 0.0f);
}

float ShakerRandomSource::normal()
{
    if (m_hasKept) {
        m_hasKept = false;
        return m_kept * StandardDeviation;
    }
    float x = 0.0f;
    float y = 0.0f;
    float squares = 0.0f;
    do {
        x = 2.0f * uniform() - 1.0f;
        y = 2.0f * uniform() - 1.0f;
        squares = x * x + y * y;
    } while (squares > 1.0f || squares == 0.0f);
    const float scale = std::sqrt(-2.0f * std::log(squares) / squares);
    m_kept = x * scale;
    m_hasKept = true;
    return y * scale * StandardDeviation;
}
