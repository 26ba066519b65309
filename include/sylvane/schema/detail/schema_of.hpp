#pragma once
/// The JSON Schema of each type, chosen by the type of its tree converter as the direct reader
/// of `read_as` is: what the converter accepts, said as a schema. This header has the generic
/// part and the library's scalars and containers; `record_schema.hpp` and `sum_schema.hpp` the
/// derived types.
///
/// A hand-written converter says its schema itself: a `Sylvane::converter<T>` specialisation
/// with a static `schema()` member, or for `SYLVANE_CONVERTERS`, a function
/// `sylvane_schema(Sylvane::derive::type_tag<T>)` beside it, found by argument-dependent lookup.
/// Either returns the schema as a `yojson`.

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <limits>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <sylvane/base/hashtbl.hpp>
#include <sylvane/base/lazy.hpp>
#include <sylvane/base/ref.hpp>
#include <sylvane/derive/containers.hpp>
#include <sylvane/derive/converter.hpp>
#include <sylvane/derive/direct_read.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/derive/nullable_field.hpp>
#include <sylvane/derive/numbers.hpp>
#include <sylvane/derive/pointers.hpp>
#include <sylvane/derive/std_containers.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/schema/detail/schema_defs.hpp>
#include <sylvane/schema/detail/schema_parts.hpp>

namespace Sylvane::derive::detail {

/// A hand-written converter's schema, found by argument-dependent lookup.
template <class T>
concept schema_hook = requires {
    { sylvane_schema(type_tag<T>{}) } -> std::convertible_to<yojson>;
};
/// A `Sylvane::converter<T>` specialisation that says its schema.
template <class T>
concept specialised_schema = requires {
    { converter<T>::schema() } -> std::convertible_to<yojson>;
};

/// Instantiated only for a type whose converters say no schema: the compiler names `T`.
template <class T>
constexpr void no_json_schema_for() {
    static_assert(always_false<T>,
                  "Sylvane: json_schema does not know the schema of this type (the T of "
                  "'no_json_schema_for<T>'), whose converters are written by hand: give its "
                  "Sylvane::converter<T> specialisation a static member 'static Sylvane::yojson "
                  "schema()', or define 'Sylvane::yojson sylvane_schema(Sylvane::derive::"
                  "type_tag<T>)' beside its SYLVANE_CONVERTERS");
}

/// The schema of a `T` whose tree converter is `Of`. By default: the one its converters say.
template <class T, class Of>
struct schema_maker {
    static yojson make(schema_defs&) {
        if constexpr (schema_hook<T>) {
            return sylvane_schema(type_tag<T>{});
        } else {
            no_json_schema_for<T>();
            return yojson();
        }
    }
};

/// The schema of a `T`, its records, enumerations and variants defined in `defs`.
template <class T>
yojson schema_of(schema_defs& defs) {
    return schema_maker<T, of_converter_t<T>>::make(defs);
}

/// The `$ref` to the definition of type `Desc` (a record, enumeration or variant), which
/// `make()` gives the first time.
template <class Desc, class Make>
yojson defined_schema(schema_defs& defs, Make&& make) {
    bool fresh = false;
    yojson ref = defs.ref(&schema_id<Desc>, Desc::name, fresh);
    if (fresh) defs.define(&schema_id<Desc>, make());
    return ref;
}

template <class T>
struct schema_maker<T, specialised_of_tree<T>> {
    static yojson make(schema_defs&) {
        if constexpr (specialised_schema<T>) {
            return converter<T>::schema();
        } else {
            no_json_schema_for<T>();
            return yojson();
        }
    }
};

/// A schema that depends on nothing but the converter.
template <class T, yojson (*Make)()>
struct fixed_schema {
    static yojson make(schema_defs&) { return Make(); }
};

inline yojson null_schema() {
    return type_schema("null");
}
inline yojson boolean_schema() {
    return type_schema("boolean");
}
inline yojson string_schema() {
    return type_schema("string");
}
/// One byte: in JSON text read as UTF-8, one ASCII character.
inline yojson char_schema() {
    return with_member(string_schema(), "pattern", yojson::String("^[\\x00-\\x7F]$"));
}
/// Any JSON value: a tree kept as it is.
inline yojson any_schema() {
    return yojson::Assoc({});
}
template <class T>
struct schema_maker<T, Treeform::unit_of_yojson_fn> : fixed_schema<T, &null_schema> {};
template <class T>
struct schema_maker<T, Treeform::bool_of_yojson_fn> : fixed_schema<T, &boolean_schema> {};
template <class T>
struct schema_maker<T, Treeform::string_of_yojson_fn> : fixed_schema<T, &string_schema> {};
template <class T>
struct schema_maker<T, Treeform::bytes_of_yojson_fn> : fixed_schema<T, &string_schema> {};
template <class T>
struct schema_maker<T, Treeform::char_of_yojson_fn> : fixed_schema<T, &char_schema> {};
template <class T>
struct schema_maker<T, tree_as_is> : fixed_schema<T, &any_schema> {};

/// Integers: the bounds of the type (the largest `std::uint64_t` beyond `Int`, as an `Intlit`).
template <class T>
struct schema_maker<T, integer_of_tree<T>> {
    static yojson make(schema_defs&) {
        constexpr T hi = std::numeric_limits<T>::max();
        yojson maximum = std::in_range<std::int64_t>(hi)
                             ? yojson::Int(static_cast<std::int64_t>(hi))
                             : yojson::Intlit(std::to_string(hi));
        return integer_schema(yojson::Int(static_cast<std::int64_t>(std::numeric_limits<T>::min())),
                              std::move(maximum));
    }
};

template <>
struct schema_maker<double, double_of_tree> {
    static yojson make(schema_defs&) { return type_schema("number"); }
};

/// A `float` takes every number that does not round beyond the largest float.
template <>
struct schema_maker<float, float_of_tree> {
    static yojson make(schema_defs&) {
        constexpr double limit = 0x1.ffffffp127;
        return yojson::Assoc({{"type", yojson::String("number")},
                              {"exclusiveMinimum", yojson::Float(-limit)},
                              {"exclusiveMaximum", yojson::Float(limit)}});
    }
};

/// The schema of an `E`, made part of a larger one by `Wrap`.
template <class E, yojson (*Wrap)(yojson)>
struct wrapped_schema {
    static yojson make(schema_defs& defs) { return Wrap(schema_of<E>(defs)); }
};
inline yojson items_of(yojson items) {
    return array_schema(std::move(items));
}
inline yojson itself(yojson s) {
    return s;
}

/// Sequences: any number of items.
template <class T, class F>
struct schema_maker<std::vector<T>, Treeform::detail::bound<Treeform::list_of_yojson_fn, F>>
    : wrapped_schema<T, &items_of> {};
template <class Seq>
struct schema_maker<Seq, sequence_of_tree<Seq>>
    : wrapped_schema<typename Seq::value_type, &items_of> {};

template <class T, std::size_t N>
struct schema_maker<std::array<T, N>, fixed_array_of_tree<T, N>> {
    static yojson make(schema_defs& defs) {
        const auto n = static_cast<std::int64_t>(N);
        return array_schema(schema_of<T>(defs),
                            {{"minItems", yojson::Int(n)}, {"maxItems", yojson::Int(n)}});
    }
};

template <class Set>
struct schema_maker<Set, set_of_tree<Set>> {
    static yojson make(schema_defs& defs) {
        return array_schema(schema_of<typename Set::value_type>(defs),
                            {{"uniqueItems", yojson::Bool(true)}});
    }
};

/// The names of a dictionary's keys of enumeration `K`: by default its tags, the schema of
/// `K` (`sum_schema.hpp` has integer codes, which keys write as digits).
template <class K, class Of>
struct key_schema_maker {
    static yojson make(schema_defs& defs) { return schema_of<K>(defs); }
};

/// Dictionaries: any key of the key type's text, each value of the value type. An integer key
/// is written without a leading zero or a plus sign (its range is left to the converter).
template <class Map>
struct schema_maker<Map, map_of_tree<Map>> {
    using key = typename Map::key_type;
    static yojson make(schema_defs& defs) {
        object_schema out;
        out.member("additionalProperties", schema_of<typename Map::mapped_type>(defs));
        if constexpr (checked_integer<key>) {
            out.member("propertyNames",
                       yojson::Assoc({{"pattern", yojson::String(std::is_signed_v<key>
                                                                     ? "^(0|-?[1-9][0-9]*)$"
                                                                     : "^(0|[1-9][0-9]*)$")}}));
        } else if constexpr (!std::same_as<key, std::string>) {
            out.member("propertyNames", key_schema_maker<key, of_converter_t<key>>::make(defs));
        }
        return std::move(out).finish();
    }
};

/// Options and owning pointers: `null` or the value.
template <class T, class F>
struct schema_maker<std::optional<T>, Treeform::detail::bound<Treeform::option_of_yojson_fn, F>>
    : wrapped_schema<T, &nullable_schema> {};
template <class T>
struct schema_maker<std::unique_ptr<T>, unique_of_tree<T>> : wrapped_schema<T, &nullable_schema> {};
template <class T>
struct schema_maker<std::shared_ptr<T>, shared_of_tree<T>> : wrapped_schema<T, &nullable_schema> {};
/// The tri-state: `null` or the value; absent, a record's field is not required
/// (`may_be_absent`).
template <class T>
struct schema_maker<nullable_field<T>, nullable_of_tree<T>> : wrapped_schema<T, &nullable_schema> {
};

/// Pairs and tuples: exactly their components, in order.
template <class... A>
yojson components_schema(schema_defs& defs) {
    return tuple_schema(std::vector<yojson>{schema_of<A>(defs)...});
}
template <class A, class B, class Of>
struct schema_maker<std::pair<A, B>, Of> {
    static yojson make(schema_defs& defs) { return components_schema<A, B>(defs); }
};
template <class... A, class Of>
struct schema_maker<std::tuple<A...>, Of> {
    static yojson make(schema_defs& defs) { return components_schema<A...>(defs); }
};

/// The library's cell and deferred value: their content.
template <class T, class Of>
struct schema_maker<ref<T>, Of> : wrapped_schema<T, &itself> {};
template <class T, class Of>
struct schema_maker<lazy<T>, Of> : wrapped_schema<T, &itself> {};

/// The library's table: a list of `[key, value]` pairs.
template <class K, class V, class H, class E, class Of>
struct schema_maker<hashtbl<K, V, H, E>, Of> {
    static yojson make(schema_defs& defs) { return array_schema(components_schema<K, V>(defs)); }
};

}  // namespace Sylvane::derive::detail
