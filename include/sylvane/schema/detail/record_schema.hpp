#pragma once
/// The schema of a derived record: an object of its fields' keys, each field option said in
/// `field_schema`, the unknown-key policy in `record_body_schema`. A flattened member's fields
/// are properties of the record's own object, as `record_table` lists them; a member that keeps
/// unknown keys (`extra_keys`) has no property and lets the object have any other key.

#include <cstddef>
#include <optional>
#include <string_view>
#include <utility>

#include <sylvane/base/nullable_field.hpp>
#include <sylvane/derive/members.hpp>
#include <sylvane/derive/record.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/schema/detail/schema_of.hpp>

namespace Sylvane::derive::detail {

/// Whether `v` is an absent `nullable_field`, which a record leaves out rather than write.
template <class F>
constexpr bool is_absent_tri_state(const F&) noexcept {
    return false;
}
template <class T>
constexpr bool is_absent_tri_state(const nullable_field<T>& f) noexcept {
    return f.is_absent();
}

/// Field `I` of record `Desc` as a property of `out`; `initialiser()` gives the field of a
/// value-initialised record.
template <class Desc, std::size_t I, class Initialiser>
void field_schema(schema_defs& defs, object_schema& out, Initialiser&& initialiser) {
    using table = record_table<Desc>;
    // skip: neither written nor read, so no property.
    if constexpr (!table::skipped(I)) {
        yojson s = schema_of<typename table::template field_type<I>>(defs);
        // with_default (field or record): the initialiser a missing key leaves, as written. An
        // absent nullable_field has no text: no default.
        if constexpr (table::defaulted(I)) {
            const auto& initial = initialiser();
            if (!is_absent_tri_state(initial)) s = with_member(s, "default", yojson_of(initial));
        }
        // key(...), rename_all(...): the key. Not required: an option, owning pointer or
        // nullable_field (which omit_empty leaves out), a defaulted field.
        out.property(table::keys[I], std::move(s), table::required.test(I));
    }
}

/// The object schema of record `Desc`. With a `tag_key`, that of an internally tagged
/// alternative: the tag's constant (a string or an integer code) first, a key that is no
/// unknown key.
template <class Desc>
yojson record_body_schema(schema_defs& defs, std::string_view tag_key = {}, yojson tag = {}) {
    using table = record_table<Desc>;
    object_schema out;
    if (!tag_key.empty()) out.property(tag_key, const_value_schema(std::move(tag)), true);
    constexpr bool any_default = [] {
        for (std::size_t i = 0; i < table::size; ++i)
            if (table::defaulted(i) && !table::skipped(i)) return true;
        return false;
    }();
    std::optional<typename Desc::type> defaults;
    if constexpr (any_default) defaults.emplace();
    [&]<std::size_t... I, auto... M>(std::index_sequence<I...>, member_list<nullptr, M...>) {
        (field_schema<Desc, I>(
             defs, out, [&]() -> const auto& { return member_of<M>(*defaults); }),
         ...);
    }
    (std::make_index_sequence<table::size>{}, typename table::members{});
    // Unknown keys refused (deny_unknown_keys, or the flag when it is set as the schema is
    // made, and never with an extra_keys member): no other property.
    if (table::refuses_unknown()) out.member("additionalProperties", yojson::Bool(false));
    return std::move(out).finish();
}

template <class T, class Desc>
struct schema_maker<T, record_of_tree<Desc>> {
    static yojson make(schema_defs& defs) {
        return defined_schema<Desc>(defs, [&] { return record_body_schema<Desc>(defs); });
    }
};

}  // namespace Sylvane::derive::detail
