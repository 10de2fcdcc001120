// Reproducible random bytes for hostile pictures: a linear congruential sequence, the top byte of
// each step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline std::vector<unsigned char> Noise(size_t count, uint32_t seed) {
    std::vector<unsigned char> bytes(count);
    for (unsigned char& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<unsigned char>(seed >> 24);
    }
    return bytes;
}
