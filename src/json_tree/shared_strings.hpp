#pragma once
// One node for equal short strings of a document being read; not part of the API.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include <sylvane/json_tree/detail/nodes.hpp>
#include "read_generation.hpp"

namespace Sylvane::json_tree::detail {

/// The longest string value that the reader shares: the values that documents repeat (tags,
/// names of states, colours, codes) are mostly this short, and a longer one, more often unique
/// (a name, a street), would cost a lookup that seldom finds it.
inline constexpr std::size_t short_string_max = 8;

/// The short strings that one read has made so far, found by their bytes: each slot holds the
/// last string that hashed to it. The slots belong to the thread and outlive the read, so that no
/// read begins by clearing them; a slot of another read's generation counts as empty, so a read
/// never sees another read's nodes.
class shared_string_table {
    struct slot;
    static constexpr int index_bits = 10;

public:
    using slots_table = std::array<slot, std::size_t{1} << index_bits>;

    /// The slots of this thread, for one read.
    shared_string_table() : slots_(slots().data()), generation_(next_read_generation()) {}
    /// The slots of `slots`, zeroed or filled by generations below `generation` only.
    shared_string_table(slots_table& slots, std::uint64_t generation)
        : slots_(slots.data()), generation_(generation) {}
    shared_string_table(const shared_string_table&) = delete;
    shared_string_table& operator=(const shared_string_table&) = delete;

    /// The node of a string equal to `s` made earlier in this read, or else `make()`'s, which
    /// is remembered for the strings after it.
    template <class Make>
    string_node* shared(std::string_view s, Make make) {
        const std::uint64_t w = word_of(s);
        slot& e = slots_[index(w, s.size())];
        // A slot keeps the bytes of its string, so that a miss never reads a node made long ago,
        // which on a large document is a cache miss.
        const std::uint64_t tag = generation_ << size_bits | s.size();
        if (e.tag == tag && e.bytes == w) return e.node;
        string_node* made = make();
        e = {made, tag, w};
        return made;
    }

    /// Forgets every string: those after it are of `generation`, above every one before.
    void renew(std::uint64_t generation) noexcept { generation_ = generation; }

private:
    struct slot {
        string_node* node;
        std::uint64_t tag;  // generation and size; 64 bits never wrap, so a stale slot never
                            // looks current
        std::uint64_t bytes;
    };
    static constexpr int size_bits = 5;  // sizes up to 31
    static_assert(short_string_max < (std::size_t{1} << size_bits));

    /// The thread's slots, on the heap: the C library takes a thread's static storage from its
    /// stack, where 24 KiB would be missed by a thread of a small stack.
    static slots_table& slots() {
        static thread_local std::unique_ptr<slots_table> table;
        if (!table) [[unlikely]]
            table = std::make_unique<slots_table>();  // zeroed: no slot current
        return *table;
    }

    /// The at most 8 bytes of `s` as one word, read without a loop: with its size it tells
    /// equal strings from others exactly.
    static std::uint64_t word_of(std::string_view s) noexcept {
        const char* p = s.data();
        const std::size_t n = s.size();
        if (n >= 4) {
            // Two loads that overlap when it is shorter than 8.
            std::uint32_t lo, hi;
            std::memcpy(&lo, p, 4);
            std::memcpy(&hi, p + n - 4, 4);
            return lo | std::uint64_t{hi} << 32;
        }
        const auto byte = [&](std::size_t i) {
            return std::uint64_t{static_cast<unsigned char>(p[i])};
        };
        return n == 0 ? 0 : byte(0) | byte(n / 2) << 8 | byte(n - 1) << 16;
    }

    static std::size_t index(std::uint64_t w, std::size_t n) noexcept {
        const std::uint64_t h = (w + n) * 0x9E3779B97F4A7C15u;
        return static_cast<std::size_t>(h >> (64 - index_bits));
    }

    slot* slots_;
    std::uint64_t generation_;
};

}  // namespace Sylvane::json_tree::detail
