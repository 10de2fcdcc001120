// Deterministic pseudo-random numbers for the scene: splitmix64 with integer-only mixing, uniform
// values built from 53 bits and normal-like values as a sum of twelve uniforms, so a given seed
// yields the same numbers on every target (no libm, no library generator).
#pragma once

#include <cstdint>

namespace scene {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        state_ += 0x9E3779B97F4A7C15ull;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [0, 1).
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }

    // Uniform integer in [0, n), n > 0.
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }

    // Mean 0, standard deviation 1, bounded by +-6 (Irwin-Hall with twelve terms).
    double Normal() {
        double sum = 0.0;
        for (int i = 0; i < 12; ++i) sum += Uniform();
        return sum - 6.0;
    }

private:
    uint64_t state_;
};

}  // namespace scene
