#pragma once
/// The schemas of derived enumerations (their tags) and variants (a choice of their
/// alternatives, each form said in `alternative_schemas`).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include <sylvane/derive/options.hpp>
#include <sylvane/derive/sum.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/schema/detail/record_schema.hpp>
#include <sylvane/schema/detail/schema_of.hpp>

namespace Sylvane::derive::detail {

/// An enumeration: one of its tags, or of its integer codes (the list form `["tag"]`, also
/// read, is left out).
template <class T, class Desc>
struct schema_maker<T, enum_of_tree<Desc>> {
    static yojson make(schema_defs& defs) {
        return defined_schema<Desc>(defs, [] {
            using table = enum_table<Desc>;
            std::vector<yojson> tags;
            for (std::size_t i = 0; i < table::size; ++i) tags.push_back(tag_tree(table::list, i));
            return yojson::Assoc({{"enum", yojson::List(std::move(tags))}});
        });
    }
};

/// The keys of a dictionary keyed by enumeration `Desc`: its tags, or its codes' digits.
template <class K, class Desc>
struct key_schema_maker<K, enum_of_tree<Desc>> {
    static yojson make(schema_defs& defs) {
        using table = enum_table<Desc>;
        if constexpr (!table::coded) {
            return schema_of<K>(defs);
        } else {
            std::vector<yojson> keys;
            for (std::int64_t code : table::codes)
                keys.push_back(yojson::String(std::to_string(code)));
            return yojson::Assoc({{"enum", yojson::List(std::move(keys))}});
        }
    }
};

/// The arguments of alternative `A` in the list form, appended to `items`.
template <class A>
void append_arguments(schema_defs& defs, std::vector<yojson>& items) {
    if constexpr (is_tuple<A>) {
        [&]<class... E>(std::type_identity<std::tuple<E...>>) {
            (items.push_back(schema_of<E>(defs)), ...);
        }(std::type_identity<A>{});
    } else {
        items.push_back(schema_of<A>(defs));
    }
}

/// The schemas of alternative `I` of variant `Desc`, in the variant's form, appended to `out`.
template <class Desc, std::size_t I>
void alternative_schemas(schema_defs& defs, std::vector<yojson>& out) {
    using A = typename variant_table<Desc>::template alt_type<I>;
    constexpr variant_settings settings = Desc::settings;
    // The tag's constant: a string, or an integer code.
    [[maybe_unused]] const auto tag = [] {
        return const_value_schema(tag_tree(variant_table<Desc>::list, I));
    };
    constexpr bool no_args = arguments_of<A>::count == 0;
    if constexpr (settings.form == variant_form::list) {
        // ["Tag", arguments...]; without arguments, "Tag" too.
        std::vector<yojson> items{tag()};
        if constexpr (no_args) out.push_back(tag());
        if constexpr (!no_args) append_arguments<A>(defs, items);
        out.push_back(tuple_schema(std::move(items)));
    } else if constexpr (settings.form == variant_form::external) {
        // {"Tag": payload}; "Tag" without arguments. The tags are strings: they are keys.
        constexpr std::string_view key = variant_table<Desc>::tags[I];
        if constexpr (no_args) {
            out.push_back(tag());
        } else {
            object_schema one;
            one.property(key, schema_of<A>(defs), true);
            one.member("additionalProperties", yojson::Bool(false));
            out.push_back(std::move(one).finish());
        }
    } else if constexpr (settings.form == variant_form::internal) {
        // {"<tag key>": "Tag", fields...}; the tag alone without arguments.
        if constexpr (no_args) {
            object_schema alone;
            alone.property(settings.tag_key, tag(), true);
            alone.member("additionalProperties", yojson::Bool(false));
            out.push_back(std::move(alone).finish());
        } else {
            out.push_back(record_body_schema<record_desc_t<A>>(
                defs, settings.tag_key, tag_tree(variant_table<Desc>::list, I)));
        }
    } else if constexpr (settings.form == variant_form::adjacent) {
        // {"<tag key>": "Tag", "<content key>": payload}, other keys ignored; no content
        // without arguments.
        object_schema both;
        both.property(settings.tag_key, tag(), true);
        if constexpr (no_args) {
            both.member("not",
                        yojson::Assoc(
                            {{"required", yojson::List({yojson::String(settings.content_key)})}}));
        } else {
            both.property(settings.content_key, schema_of<A>(defs), true);
        }
        out.push_back(std::move(both).finish());
    } else {
        // Untagged: the payload alone, null without arguments.
        if constexpr (no_args)
            out.push_back(null_schema());
        else
            out.push_back(schema_of<A>(defs));
    }
}

/// A variant: exactly one of its tagged alternatives; for an untagged one, any (the first that
/// reads wins, so alternatives may overlap).
template <class T, class Desc>
struct schema_maker<T, variant_of_tree<Desc>> {
    static yojson make(schema_defs& defs) {
        return defined_schema<Desc>(defs, [&] {
            std::vector<yojson> branches;
            [&]<std::size_t... I>(std::index_sequence<I...>) {
                (alternative_schemas<Desc, I>(defs, branches), ...);
            }
            (std::make_index_sequence<variant_table<Desc>::size>{});
            constexpr bool untagged = Desc::settings.form == variant_form::untagged;
            return choice_schema(untagged ? "anyOf" : "oneOf", std::move(branches));
        });
    }
};

}  // namespace Sylvane::derive::detail
