#pragma once
/// The hash table `hashtbl<K, V>`, in which a key may have several bindings.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include <sylvane/base/export.hpp>

namespace Sylvane {

namespace detail {
/// The key of the process's hashes: random, drawn once when first asked for.
SYLVANE_API const std::uint64_t* hash_key() noexcept;

/// SipHash-1-3 of `n` bytes at `p` under the process's key: a keyed hash whose collisions
/// cannot be found without the key, so that no choice of keys crowds one bucket.
SYLVANE_API std::uint64_t keyed_hash(const void* p, std::size_t n) noexcept;

/// The same for one 64-bit word, without the byte loop.
SYLVANE_API std::uint64_t keyed_hash_word(std::uint64_t word) noexcept;
}  // namespace detail

/// The default hash of `hashtbl`: keyed per process for strings and integers, so that keys
/// chosen to collide cost what random keys cost; `std::hash<K>` for any other type; extended to
/// `std::pair` and `std::tuple` of hashable elements (recursively).
template <class K>
struct hash : std::hash<K> {};

template <class K>
requires std::is_integral_v<K> || std::is_enum_v<K>
struct hash<K> {
    std::size_t operator()(K k) const noexcept {
        return static_cast<std::size_t>(
            detail::keyed_hash_word(static_cast<std::uint64_t>(static_cast<std::int64_t>(k))));
    }
};

// Not `noexcept`: so the standard library keeps each key's hash beside it (it does so for a
// hash that may throw) instead of hashing every string again when the table grows.
template <class C, class Traits>
struct hash<std::basic_string_view<C, Traits>> {
    std::size_t operator()(std::basic_string_view<C, Traits> s) const {
        return static_cast<std::size_t>(detail::keyed_hash(s.data(), s.size() * sizeof(C)));
    }
};

template <class C, class Traits, class Alloc>
struct hash<std::basic_string<C, Traits, Alloc>> {
    std::size_t operator()(const std::basic_string<C, Traits, Alloc>& s) const {
        return static_cast<std::size_t>(detail::keyed_hash(s.data(), s.size() * sizeof(C)));
    }
};

namespace detail {
inline std::size_t hash_combine(std::size_t seed, std::size_t h) noexcept {
    return seed ^ (h + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2));
}
}  // namespace detail

template <class A, class B>
struct hash<std::pair<A, B>> {
    std::size_t operator()(const std::pair<A, B>& p) const {
        return detail::hash_combine(hash<A>{}(p.first), hash<B>{}(p.second));
    }
};

template <class... Ts>
struct hash<std::tuple<Ts...>> {
    std::size_t operator()(const std::tuple<Ts...>& t) const {
        return std::apply(
            [](const Ts&... xs) {
                std::size_t seed = sizeof...(Ts);
                ((seed = detail::hash_combine(seed, hash<Ts>{}(xs))), ...);
                return seed;
            },
            t);
    }
};

/// A hash table in which a key may have several bindings: a newer binding hides the older ones
/// without removing them, `find` sees the newest, and `remove` uncovers the one below it.
///
///     Sylvane::hashtbl<std::string, int> t;
///     t.add("a", 1);
///     t.add("a", 2);   // hides 1
///     *t.find("a");    // 2
///     t.find_all("a"); // {2, 1}
///     t.remove("a");   // uncovers 1
///     t.length();      // 1 binding
///
/// `add`, `find`, `mem`, `replace` and `remove` take O(1) on average. `fold` and `iter` present
/// every binding once: the keys in the table's own order, and one key's bindings newest first.
/// The step function must not change the table. Const members may be used from several threads
/// at once, as for the standard containers.
template <class K, class V, class Hash = Sylvane::hash<K>, class Eq = std::equal_to<K>>
class hashtbl {
public:
    using key_type = K;
    using mapped_type = V;

    hashtbl() = default;
    /// An empty table with room for `buckets` keys before it grows.
    explicit hashtbl(std::size_t buckets, const Hash& h = Hash(), const Eq& eq = Eq())
        : map_(buckets, h, eq) {}

    /// Adds a binding from `key` to `value`, hiding any earlier binding of an equal key.
    void add(K key, V value) {
        auto [it, fresh] = map_.try_emplace(std::move(key), std::move(value));
        if (!fresh) it->second.push(std::move(value));  // try_emplace left `value` untouched
        ++length_;
    }

    /// Replaces the newest binding of `key` (the hidden ones stay), or adds one if there is none.
    void replace(K key, V value) {
        auto [it, fresh] = map_.try_emplace(std::move(key), std::move(value));
        if (fresh)
            ++length_;
        else
            it->second.newest = std::move(value);
    }

    /// Removes the newest binding of `key`, uncovering the one it hid; false if there was none.
    bool remove(const K& key) {
        auto it = map_.find(key);
        if (it == map_.end()) return false;
        if (it->second.older.empty())
            map_.erase(it);
        else
            it->second.pop();
        --length_;
        return true;
    }

    /// The value of the newest binding of `key`, or nullptr.
    V* find(const K& key) {
        auto it = map_.find(key);
        return it == map_.end() ? nullptr : &it->second.newest;
    }
    const V* find(const K& key) const {
        auto it = map_.find(key);
        return it == map_.end() ? nullptr : &it->second.newest;
    }

    /// The values of every binding of `key`, newest first; empty if there is none.
    std::vector<V> find_all(const K& key) const {
        std::vector<V> all;
        if (auto it = map_.find(key); it != map_.end()) {
            all.reserve(it->second.older.size() + 1);
            all.push_back(it->second.newest);
            all.insert(all.end(), it->second.older.rbegin(), it->second.older.rend());
        }
        return all;
    }

    /// Whether `key` has a binding.
    bool mem(const K& key) const { return map_.find(key) != map_.end(); }

    /// The number of bindings, hidden ones included.
    std::size_t length() const noexcept { return length_; }
    bool empty() const noexcept { return length_ == 0; }

    /// Calls `f(key, value, acc)` on every binding, each result being the next `acc`, starting
    /// from `init`; returns the last. One key's bindings come newest first.
    template <class F, class A>
    A fold(F&& f, A init) const {
        for (const auto& [key, b] : map_) {
            init = std::invoke(f, key, b.newest, std::move(init));
            for (auto it = b.older.rbegin(); it != b.older.rend(); ++it)
                init = std::invoke(f, key, *it, std::move(init));
        }
        return init;
    }

    /// Calls `f(key, value)` on every binding, in the order of `fold`.
    template <class F>
    void iter(F&& f) const {
        for (const auto& [key, b] : map_) {
            std::invoke(f, key, b.newest);
            for (auto it = b.older.rbegin(); it != b.older.rend(); ++it) std::invoke(f, key, *it);
        }
    }

    /// Removes every binding.
    void clear() noexcept {
        map_.clear();
        length_ = 0;
    }

    /// Makes room for `keys` distinct keys without growing.
    void reserve(std::size_t keys) { map_.reserve(keys); }

    /// Equal when every key has the same bindings in the same hiding order.
    friend bool operator==(const hashtbl& a, const hashtbl& b) {
        return a.length_ == b.length_ && a.map_ == b.map_;
    }

private:
    // One key's bindings: the visible one inline, so that a key bound once allocates nothing
    // beyond its node, and the hidden ones oldest first.
    struct bindings {
        explicit bindings(V&& v) : newest(std::move(v)) {}
        void push(V&& v) {
            older.push_back(std::move(newest));
            newest = std::move(v);
        }
        void pop() {
            newest = std::move(older.back());
            older.pop_back();
        }
        friend bool operator==(const bindings&, const bindings&) = default;

        V newest;
        std::vector<V> older;
    };

    std::unordered_map<K, bindings, Hash, Eq> map_;
    std::size_t length_ = 0;
};

}  // namespace Sylvane
