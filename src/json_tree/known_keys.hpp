#pragma once
// The keys a read has met lately, by depth and place in their object; not part of the API.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "read_generation.hpp"

namespace Sylvane::json_tree::detail {

/// Keys read lately, by depth and place in their object. Objects of one shape repeat their
/// keys, which are then matched in the text instead of scanned and copied again; only keys
/// without escapes are kept, so that the same bytes in the text are the same valid key. The last
/// `depths` depths have `places` places each, so nested objects of one shape do not evict each
/// other's keys. A read's places belong to its thread, or to a reader of many documents, and one
/// read's are told from another's by generation, so that a read of a small document does not
/// begin by clearing them.
class known_keys {
public:
    struct key {
        /// The key's copy in the read's arena, followed by its closing quote, in at least
        /// `key_room` bytes: matched against the text in blocks of 16 bytes.
        const char* stored;
        std::size_t size;
        std::uint64_t generation;
    };
    static constexpr std::size_t depths = 8;
    static constexpr std::size_t places_per_depth = 64;
    using table = std::array<key, depths * places_per_depth>;

    /// The bytes to keep for a key of `size` bytes: the key, its quote, and room to read 16.
    static constexpr std::size_t key_room(std::size_t size) noexcept {
        return size + 1 < 16 ? 16 : size + 1;
    }

    /// The places of this thread, for one read.
    known_keys() : places_(thread_places().data()), generation_(next_read_generation()) {}
    /// The places of `places`, zeroed or filled by generations below `generation` only.
    known_keys(table& places, std::uint64_t generation)
        : places_(places.data()), generation_(generation) {}
    known_keys(const known_keys&) = delete;
    known_keys& operator=(const known_keys&) = delete;

    /// The place of the key at `place` in an object at `depth`.
    key& at(std::size_t depth, std::size_t place) noexcept {
        return places_[depth % depths * places_per_depth + place % places_per_depth];
    }
    /// Whether `k` holds a key of this read.
    bool known(const key& k) const noexcept { return k.generation == generation_; }
    /// Keeps `stored`, which holds `key_room(size)` bytes: the key and its quote.
    void remember(key& k, const char* stored, std::size_t size) noexcept {
        k = {stored, size, generation_};
    }
    /// Forgets every key: those after it are of `generation`, above every one before.
    void renew(std::uint64_t generation) noexcept { generation_ = generation; }

private:
    /// The thread's places, on the heap: the C library takes a thread's static storage from its
    /// stack, where 16 KiB would be missed by a thread of a small stack.
    static table& thread_places() {
        static thread_local std::unique_ptr<table> t;
        if (!t) [[unlikely]]
            t = std::make_unique<table>();  // zeroed: generation 0, no read's
        return *t;
    }

    key* places_;
    std::uint64_t generation_;
};

}  // namespace Sylvane::json_tree::detail
