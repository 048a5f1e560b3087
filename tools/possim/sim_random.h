#pragma once
// The simulator's random numbers: xoshiro256** seeded through splitmix64, with
// our own range reduction, so that one seed gives the same numbers with every
// compiler and standard library (the std distributions are not specified bit
// for bit).

#include <cstdint>

namespace tw::possim {

class Rng {
public:
    explicit Rng(std::uint64_t seed) {
        for (auto& word : state_) {
            seed += 0x9E3779B97F4A7C15ULL;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
            word = z ^ (z >> 31);
        }
    }

    std::uint64_t Next() {
        const std::uint64_t result = Rotl(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = Rotl(state_[3], 45);
        return result;
    }

    // A number in [low, high]; low when high < low.
    std::int64_t Between(std::int64_t low, std::int64_t high) {
        if (high <= low) {
            return low;
        }
        const auto span = static_cast<std::uint64_t>(high - low) + 1;
        return low + static_cast<std::int64_t>((Next() >> 1) % span);
    }

    // True with the given chance in percent.
    bool Percent(int chance) { return Between(0, 99) < chance; }

private:
    static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t state_[4];
};

}  // namespace tw::possim
