#pragma once
// One node for equal short strings of a document being read; not part of the API.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include <sylvane/json_tree/detail/nodes.hpp>

#include "text_scan.hpp"

namespace Sylvane::json_tree::detail {

/// The longest string value that the reader shares: longer ones seldom repeat and cost more to
/// compare.
inline constexpr std::size_t short_string_max = 16;

/// The short strings that one read has made so far, found by their bytes: each slot holds the
/// last string that hashed to it. The slots belong to the thread and outlive the read, so that no
/// read begins by clearing them; each read owns a generation of its own, and a slot of another
/// generation counts as empty, so a read never sees another read's nodes.
class shared_string_table {
public:
    shared_string_table() noexcept : slots_(slots().data()), generation_(++last_generation()) {}
    shared_string_table(const shared_string_table&) = delete;
    shared_string_table& operator=(const shared_string_table&) = delete;

    /// The node of a string equal to `s` made earlier in this read, or else `make()`'s, which
    /// is remembered for the strings after it.
    template <class Make>
    string_node* shared(std::string_view s, Make make) {
        slot& e = slots_[index(s)];
        if (e.generation == generation_) {
            const std::string_view t = e.node->text;
            if (t.size() == s.size() && same_bytes(t.data(), s.data(), s.size())) return e.node;
        }
        string_node* made = make();
        e = {made, generation_};
        return made;
    }

private:
    struct slot {
        string_node* node;
        std::uint64_t generation;  // 64 bits never wrap, so a stale slot never looks current
    };
    static constexpr int index_bits = 10;

    static std::array<slot, std::size_t{1} << index_bits>& slots() noexcept {
        static thread_local std::array<slot, std::size_t{1} << index_bits> table{};
        return table;
    }
    static std::uint64_t& last_generation() noexcept {
        static thread_local std::uint64_t generation = 0;
        return generation;
    }

    /// A hash of the at most 16 bytes of `s`, read as two overlapping words without a loop.
    static std::size_t index(std::string_view s) noexcept {
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
        const std::uint64_t h = a * 0x9E3779B97F4A7C15u ^ (b + n) * 0xC2B2AE3D27D4EB4Fu;
        return static_cast<std::size_t>(h >> (64 - index_bits));
    }

    slot* slots_;
    std::uint64_t generation_;
};

}  // namespace Sylvane::json_tree::detail
