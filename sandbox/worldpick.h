// Deterministic choices for the sandbox's information sites: the same seed, day and slot always
// give the same pick, so pages are stable within a run and reproducible across runs.
#pragma once

#include <QtGlobal>

namespace sandbox {

inline quint64 worldPick(quint64 seed, quint64 a, quint64 b = 0, quint64 c = 0)
{
    quint64 z = seed ^ (a * 0x9E3779B97F4A7C15ull) ^ (b * 0xD1B54A32D192ED03ull) ^ (c * 0xC2B2AE3D27D4EB4Full);
    for (int i = 0; i < 2; ++i) {
        z += 0x9E3779B97F4A7C15ull;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
    }
    return z;
}

} // namespace sandbox
