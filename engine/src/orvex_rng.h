// Small deterministic random generator: the same seed gives the same stream on every platform
// (the standard distributions are implementation-defined, so none is used).
#ifndef ORVEX_RNG_H
#define ORVEX_RNG_H

#include <cstdint>

namespace orvex {

class Rng {
public:
    explicit Rng(std::uint64_t seed)
    {
        std::uint64_t x = seed;
        for (auto& s : s_)
            s = splitmix(x);
    }
    std::uint64_t next()
    {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    // Uniform integer in [0, n); n > 0.
    int below(int n) { return static_cast<int>(uniform() * n); }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static std::uint64_t splitmix(std::uint64_t& x)
    {
        std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    std::uint64_t s_[4];
};

}  // namespace orvex

#endif
