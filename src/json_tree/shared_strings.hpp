#pragma once
// One node for equal short strings of a document being read; not part of the API.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include <sylvane/json_tree/detail/nodes.hpp>
#include "read_generation.hpp"

namespace Sylvane::json_tree::detail {

/// The longest string value that the reader shares: longer ones seldom repeat and cost more to
/// compare.
inline constexpr std::size_t short_string_max = 16;

/// The short strings that one read has made so far, found by their bytes: each slot holds the
/// last string that hashed to it. The slots belong to the thread and outlive the read, so that no
/// read begins by clearing them; a slot of another read's generation counts as empty, so a read
/// never sees another read's nodes.
class shared_string_table {
public:
    shared_string_table() noexcept : slots_(slots().data()), generation_(next_read_generation()) {}
    shared_string_table(const shared_string_table&) = delete;
    shared_string_table& operator=(const shared_string_table&) = delete;

    /// The node of a string equal to `s` made earlier in this read, or else `make()`'s, which
    /// is remembered for the strings after it.
    template <class Make>
    string_node* shared(std::string_view s, Make make) {
        const words w = words_of(s);
        slot& e = slots_[index(w, s.size())];
        // A slot keeps the bytes of its string, so that a miss never reads a node made long ago,
        // which on a large document is a cache miss.
        const std::uint64_t tag = generation_ << size_bits | s.size();
        if (e.tag == tag && e.bytes.a == w.a && e.bytes.b == w.b) return e.node;
        string_node* made = make();
        e = {made, tag, w};
        return made;
    }

private:
    /// All the bytes of a string of at most 16 bytes, as two words that may overlap: with its
    /// size they tell equal strings from others exactly.
    struct words {
        std::uint64_t a;
        std::uint64_t b;
    };
    struct slot {
        string_node* node;
        std::uint64_t tag;  // generation and size; 64 bits never wrap, so a stale slot never
                            // looks current
        words bytes;
    };
    static constexpr int index_bits = 10;
    static constexpr int size_bits = 5;  // sizes up to 31
    static_assert(short_string_max < (std::size_t{1} << size_bits));

    static std::array<slot, std::size_t{1} << index_bits>& slots() noexcept {
        static thread_local std::array<slot, std::size_t{1} << index_bits> table{};
        return table;
    }

    /// The at most 16 bytes of `s`, read without a loop.
    static words words_of(std::string_view s) noexcept {
        const char* p = s.data();
        const std::size_t n = s.size();
        std::uint64_t a = 0, b = 0;
        if (n >= 8) {
            std::memcpy(&a, p, 8);
            std::memcpy(&b, p + n - 8, 8);
        } else if (n >= 4) {
            std::uint32_t x, y;
            std::memcpy(&x, p, 4);
            std::memcpy(&y, p + n - 4, 4);
            a = x;
            b = y;
        } else if (n > 0) {
            const auto byte = [&](std::size_t i) {
                return std::uint64_t{static_cast<unsigned char>(p[i])};
            };
            a = byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16;
        }
        return {a, b};
    }

    static std::size_t index(words w, std::size_t n) noexcept {
        const std::uint64_t h = w.a * 0x9E3779B97F4A7C15u ^ (w.b + n) * 0xC2B2AE3D27D4EB4Fu;
        return static_cast<std::size_t>(h >> (64 - index_bits));
    }

    slot* slots_;
    std::uint64_t generation_;
};

}  // namespace Sylvane::json_tree::detail
