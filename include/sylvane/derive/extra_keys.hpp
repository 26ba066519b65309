#pragma once
/// Unknown keys kept. A field with the option `extra_keys` has no key of its own: it takes the
/// entries of the object whose keys are no field's (nor a variant's tag), in order, repeats
/// included, and they are written back after the fields; the record then refuses no unknown
/// key. Its type is a sequence of key and tree pairs: `std::vector<std::pair<std::string,
/// Sylvane::yojson>>`.

#include <concepts>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

#include <sylvane/base/export.hpp>
#include <sylvane/derive/detail/record_shape.hpp>
#include <sylvane/derive/members.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::derive::detail {

template <class F>
concept extra_key_store = requires(F& f, const F& cf, std::string k, yojson v) {
    f.emplace_back(std::move(k), std::move(v));
    { cf.begin()->first } -> std::convertible_to<std::string_view>;
    { cf.begin()->second } -> std::convertible_to<const yojson&>;
};

/// Refuses to write the kept key `key` of the record `shape` if it is also a field's key or
/// `tag_key` (a variant's tag): the object would not read back.
SYLVANE_API void check_kept_key(const record_shape& shape, std::string_view key,
                                std::string_view tag_key);

/// The member of `value` that keeps the unknown keys of record table `Table`.
template <class Table, class T>
auto& kept_entries(T& value) noexcept {
    using F = typename Table::template field_type<Table::extra_index>;
    static_assert(extra_key_store<F>,
                  "Sylvane: an extra_keys member must be a std::vector<std::pair<std::string, "
                  "Sylvane::yojson>>");
    return member_of<Table::template member<Table::extra_index>>(value);
}

}  // namespace Sylvane::derive::detail
