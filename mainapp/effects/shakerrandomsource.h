#pragma once

#include <cstdint>

// The jitter source of the shaker oscillators: the minimal standard linear
// congruential generator (multiplier 16807, modulus 2^31 - 1, seed 1) and
// Marsaglia's polar method. One instance serves every oscillator of every
// axis, so the sequence is the same on every run.
class ShakerRandomSource
{
public:
    static constexpr float StandardDeviation = 0.2f;

    // (x - 1) * 2^-31 of the next generator output x, in [0, 1).
    float uniform();

    // Normal variate of mean 0 and standard deviation 0.2. The polar method
    // makes two at a time: the first call returns the one built from the
    // second uniform, the next call the one kept from the first.
    float normal();

private:
    std::uint32_t m_state = 1;
    float m_kept = 0.0f;
    bool m_hasKept = false;
};
