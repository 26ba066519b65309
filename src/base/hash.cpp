// The keyed hash behind `Sylvane::hash` for strings and integers: SipHash-1-3 under a key drawn
// once per process.

#include <sylvane/base/hashtbl.hpp>

#include <chrono>
#include <cstring>
#include <random>

namespace Sylvane::detail {

namespace {

std::uint64_t rotl(std::uint64_t x, int b) noexcept {
    return (x << b) | (x >> (64 - b));
}

struct sip_state {
    std::uint64_t v0, v1, v2, v3;

    explicit sip_state(const std::uint64_t* key) noexcept
        : v0(key[0] ^ 0x736f6d6570736575ULL),
          v1(key[1] ^ 0x646f72616e646f6dULL),
          v2(key[0] ^ 0x6c7967656e657261ULL),
          v3(key[1] ^ 0x7465646279746573ULL) {}

    void round() noexcept {
        v0 += v1;
        v1 = rotl(v1, 13);
        v1 ^= v0;
        v0 = rotl(v0, 32);
        v2 += v3;
        v3 = rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = rotl(v1, 17);
        v1 ^= v2;
        v2 = rotl(v2, 32);
    }
    void absorb(std::uint64_t m) noexcept {
        v3 ^= m;
        round();
        v0 ^= m;
    }
    std::uint64_t finish() noexcept {
        v2 ^= 0xff;
        round();
        round();
        round();
        return v0 ^ v1 ^ v2 ^ v3;
    }
};

std::uint64_t load64(const unsigned char* p) noexcept {
    std::uint64_t w = 0;
    for (int i = 7; i >= 0; --i) w = (w << 8) | p[i];  // little-endian on every machine
    return w;
}

struct process_key {
    std::uint64_t words[2];
    process_key() noexcept {
        std::uint64_t seed[2] = {0, 0};
        try {
            std::random_device device;
            for (std::uint64_t& w : seed) w = (std::uint64_t{device()} << 32) ^ device();
        } catch (...) {
            // No random device: the clock and an address still differ between processes.
        }
        seed[0] ^= static_cast<std::uint64_t>(
            std::chrono::high_resolution_clock::now().time_since_epoch().count());
        seed[1] ^= reinterpret_cast<std::uintptr_t>(this);
        words[0] = seed[0];
        words[1] = seed[1];
    }
};

}  // namespace

const std::uint64_t* hash_key() noexcept {
    static const process_key key;
    return key.words;
}

std::uint64_t keyed_hash(const void* data, std::size_t n) noexcept {
    sip_state s(hash_key());
    const auto* p = static_cast<const unsigned char*>(data);
    const std::size_t whole = n & ~std::size_t{7};
    for (std::size_t i = 0; i < whole; i += 8) s.absorb(load64(p + i));
    std::uint64_t last = std::uint64_t{n & 0xff} << 56;
    for (std::size_t i = whole; i < n; ++i) last |= std::uint64_t{p[i]} << (8 * (i - whole));
    s.absorb(last);
    return s.finish();
}

std::uint64_t keyed_hash_word(std::uint64_t word) noexcept {
    sip_state s(hash_key());
    s.absorb(word);
    s.absorb(std::uint64_t{8} << 56);
    return s.finish();
}

}  // namespace Sylvane::detail
