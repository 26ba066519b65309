#pragma once
/// The options of derived converters: how a record names, defaults, omits and checks its
/// fields, how enumerations and variants are tagged. Written in the macros' option lists,
/// where the names of `Sylvane::derive::options` are in scope:
///
///     SYLVANE_RECORD_WITH(user, (rename_all(camel_case), ignore_unknown_keys),
///                         (id, key("id_str")), screen_name, (cache, skip))
///     SYLVANE_VARIANT_WITH(shape, (internal_tag("type")), (circle, "circle"), (rect, "rect"))

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace Sylvane::derive {

/// How the keys of a record or the tags of an enumeration follow from snake_case C++ names.
/// Words are separated by '_'; empty words (leading, doubled or trailing '_') are dropped.
enum class naming {
    as_is,                 ///< the C++ name unchanged
    camel_case,            ///< `user_name` -> `userName`
    pascal_case,           ///< `user_name` -> `UserName`
    kebab_case,            ///< `user_name` -> `user-name`
    screaming_snake_case,  ///< `user_name` -> `USER_NAME`
};

/// What a record does with keys that are none of its fields.
enum class unknown_keys {
    follow_flag,  ///< refused while `*Treeform::record_check_extra_fields` holds
    refuse,       ///< always refused ("extra fields")
    ignore,       ///< always ignored
};

/// How a variant is written and read.
enum class variant_form {
    list,      ///< `["Tag", args...]`, `["Tag"]` without arguments
    external,  ///< `{"Tag": payload}`, `"Tag"` without arguments
    internal,  ///< `{"<tag key>": "Tag", fields...}`: record (or empty) alternatives only
    adjacent,  ///< `{"<tag key>": "Tag", "<content key>": payload}`, no content without arguments
    untagged,  ///< the payload alone (`null` without arguments), read by the first that fits
};

/// The options of one record field.
struct field_settings {
    std::string_view member;  ///< the C++ name
    std::string_view key;     ///< the JSON key, if `keyed`
    bool keyed = false;
    bool skip = false;        ///< neither written nor read
    bool defaulted = false;   ///< a missing key leaves the member's initialiser
    bool omit_empty = false;  ///< an empty optional is left out when writing
    bool flatten = false;     ///< the member's record's fields stand in the object in its place
    bool extra = false;       ///< the member keeps the entries whose keys are no field's
};

/// The options of a whole record.
struct record_settings {
    naming rename = naming::as_is;
    unknown_keys unknown = unknown_keys::follow_flag;
    bool defaulted = false;   ///< every field: a missing key leaves the member's initialiser
    bool omit_empty = false;  ///< every field: an empty optional is left out when writing
};

/// The name and tag of one enumerator: a string, or an integer code.
struct tag_settings {
    std::string_view member;
    std::string_view key;
    bool keyed = false;
    std::int64_t code = 0;
    bool coded = false;
};

/// The options of an enumeration.
struct enum_settings {
    naming rename = naming::as_is;
    bool as_integer = false;  ///< tags are integer codes: each enumerator's value unless given
};

/// The options of a variant.
struct variant_settings {
    variant_form form = variant_form::list;
    std::string_view tag_key;
    std::string_view content_key;
    bool as_integer = false;  ///< tags are integer codes: each alternative's place unless given
};

/// The option vocabulary of the macros' option lists.
namespace options {

[[maybe_unused]] inline constexpr naming as_is = naming::as_is;
[[maybe_unused]] inline constexpr naming camel_case = naming::camel_case;
[[maybe_unused]] inline constexpr naming pascal_case = naming::pascal_case;
[[maybe_unused]] inline constexpr naming kebab_case = naming::kebab_case;
[[maybe_unused]] inline constexpr naming screaming_snake_case = naming::screaming_snake_case;

/// Field: the JSON key of the field, any text: `(klass, key("class"))`.
struct key {
    std::string_view text;
    constexpr explicit key(std::string_view t) noexcept : text(t) {}
    constexpr void apply(field_settings& s) const noexcept {
        s.key = text;
        s.keyed = true;
    }
};

/// Field: the member is neither written nor read.
inline constexpr struct skip_t {
    constexpr void apply(field_settings& s) const noexcept { s.skip = true; }
} skip [[maybe_unused]]{};

/// Field or record: a missing key leaves the member's initialiser (an optional too).
inline constexpr struct with_default_t {
    constexpr void apply(field_settings& s) const noexcept { s.defaulted = true; }
    constexpr void apply(record_settings& s) const noexcept { s.defaulted = true; }
} with_default [[maybe_unused]]{};

/// Field or record: an empty optional is left out when writing, instead of `null`.
inline constexpr struct omit_empty_t {
    constexpr void apply(field_settings& s) const noexcept { s.omit_empty = true; }
    constexpr void apply(record_settings& s) const noexcept { s.omit_empty = true; }
} omit_empty [[maybe_unused]]{};

/// Field: the member, a derived record, has no key; its fields stand in the object in its place.
inline constexpr struct flatten_t {
    constexpr void apply(field_settings& s) const noexcept { s.flatten = true; }
} flatten [[maybe_unused]]{};

/// Field: the member (a `std::vector<std::pair<std::string, yojson>>`) keeps the entries whose
/// keys are no field's, in order, and they are written back after the fields.
inline constexpr struct extra_keys_t {
    constexpr void apply(field_settings& s) const noexcept { s.extra = true; }
} extra_keys [[maybe_unused]]{};

/// Record or enumeration: the naming policy of the keys or tags not given explicitly.
struct rename_all {
    naming policy;
    constexpr explicit rename_all(naming p) noexcept : policy(p) {}
    constexpr void apply(record_settings& s) const noexcept { s.rename = policy; }
    constexpr void apply(enum_settings& s) const noexcept { s.rename = policy; }
};

/// Record: keys that are no field are ignored, whatever `record_check_extra_fields` says.
inline constexpr struct ignore_unknown_keys_t {
    constexpr void apply(record_settings& s) const noexcept { s.unknown = unknown_keys::ignore; }
} ignore_unknown_keys [[maybe_unused]]{};

/// Record: keys that are no field are refused, whatever `record_check_extra_fields` says.
inline constexpr struct deny_unknown_keys_t {
    constexpr void apply(record_settings& s) const noexcept { s.unknown = unknown_keys::refuse; }
} deny_unknown_keys [[maybe_unused]]{};

/// Enumeration or variant: tags are integer codes, both ways: an enumerator's value, an
/// alternative's place in the listing (from 0), unless a code is given with it.
inline constexpr struct as_integer_t {
    constexpr void apply(enum_settings& s) const noexcept { s.as_integer = true; }
    constexpr void apply(variant_settings& s) const noexcept { s.as_integer = true; }
} as_integer [[maybe_unused]]{};

/// Variant: `{"Tag": payload}`.
inline constexpr struct external_tag_t {
    constexpr void apply(variant_settings& s) const noexcept { s.form = variant_form::external; }
} external_tag [[maybe_unused]]{};

/// Variant: `{"<tag key>": "Tag", fields...}`.
struct internal_tag {
    std::string_view tag_key;
    constexpr explicit internal_tag(std::string_view k) noexcept : tag_key(k) {}
    constexpr void apply(variant_settings& s) const noexcept {
        s.form = variant_form::internal;
        s.tag_key = tag_key;
    }
};

/// Variant: `{"<tag key>": "Tag", "<content key>": payload}`.
struct adjacent_tag {
    std::string_view tag_key;
    std::string_view content_key;
    constexpr adjacent_tag(std::string_view t, std::string_view c) noexcept
        : tag_key(t), content_key(c) {}
    constexpr void apply(variant_settings& s) const noexcept {
        s.form = variant_form::adjacent;
        s.tag_key = tag_key;
        s.content_key = content_key;
    }
};

/// Variant: the payload alone; reading tries the alternatives in order.
inline constexpr struct untagged_t {
    constexpr void apply(variant_settings& s) const noexcept { s.form = variant_form::untagged; }
} untagged [[maybe_unused]]{};

}  // namespace options

namespace detail {

template <class Settings, class Option>
concept option_of = requires(Settings& s, const Option& o) {
    o.apply(s);
};

/// Folds `opts` into a `Settings`; an option meant for another kind of type does not compile.
template <class Settings, class... Option>
constexpr Settings make_settings(Settings s, const Option&... opts) {
    static_assert(
        (option_of<Settings, Option> && ...),
        "Sylvane: an option does not apply here. Fields take key(\"...\"), skip, "
        "with_default, omit_empty, flatten, extra_keys; SYLVANE_RECORD_WITH takes rename_all(...), "
        "with_default, omit_empty, ignore_unknown_keys, deny_unknown_keys; "
        "SYLVANE_ENUM_WITH takes rename_all(...), as_integer; SYLVANE_VARIANT_WITH takes "
        "external_tag, internal_tag(\"key\"), adjacent_tag(\"tag\", \"content\"), "
        "untagged, as_integer");
    if constexpr ((option_of<Settings, Option> && ...)) (opts.apply(s), ...);
    return s;
}

/// A field named `member`, with its options.
template <class... Option>
constexpr field_settings make_field(std::string_view member, const Option&... opts) {
    return make_settings(field_settings{member, {}}, opts...);
}

/// An enumerator named `member`, tagged `tag` if given.
constexpr tag_settings make_tag(std::string_view member) noexcept {
    return {member, {}};
}
constexpr tag_settings make_tag(std::string_view member, std::string_view tag) noexcept {
    return {member, tag, true};
}
/// An enumerator named `member`, written as the integer `code`.
constexpr tag_settings make_tag(std::string_view member, std::int64_t code) noexcept {
    return {member, {}, false, code, true};
}

/// Writes `name` renamed by `policy` to `out` (if not null); returns its length.
constexpr std::size_t rename_into(std::string_view name, naming policy, char* out) noexcept {
    if (policy == naming::as_is) {
        for (std::size_t i = 0; i < name.size(); ++i) {
            if (out != nullptr) out[i] = name[i];
        }
        return name.size();
    }
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    std::size_t n = 0;
    auto put = [&](char c) {
        if (out != nullptr) out[n] = c;
        ++n;
    };
    bool first_word = true;
    std::size_t i = 0;
    while (i < name.size()) {
        if (name[i] == '_') {
            ++i;
            continue;
        }
        if (!first_word) {
            if (policy == naming::kebab_case) put('-');
            if (policy == naming::screaming_snake_case) put('_');
        }
        bool word_start = true;
        for (; i < name.size() && name[i] != '_'; ++i) {
            const bool up = policy == naming::screaming_snake_case ||
                            (word_start && (policy == naming::pascal_case ||
                                            (policy == naming::camel_case && !first_word)));
            put(up ? upper(name[i]) : name[i]);
            word_start = false;
        }
        first_word = false;
    }
    return n;
}

/// Whether the first `n` of `names` are distinct; sorted first, so that wide types stay within
/// the compilers' limits on constant evaluation.
template <class V, std::size_t N>
constexpr bool all_distinct(std::array<V, N> names, std::size_t n = N) {
    std::sort(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(n));
    return std::adjacent_find(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(n)) ==
           names.begin() + static_cast<std::ptrdiff_t>(n);
}

/// The JSON names (keys or tags) of a type: `Source::entries` is an array of settings with
/// `member`, `key` and `keyed`; `Source::policy` renames the names not given explicitly.
template <class Source>
struct name_table {
    static constexpr auto entries = Source::entries;
    static constexpr std::size_t size = entries.size();

    static constexpr std::size_t length(std::size_t i) {
        return entries[i].keyed ? entries[i].key.size()
                                : rename_into(entries[i].member, Source::policy, nullptr);
    }
    static constexpr std::size_t bytes = [] {
        std::size_t n = 0;
        for (std::size_t i = 0; i < size; ++i) n += length(i);
        return n;
    }();
    static constexpr std::array<char, bytes + 1> storage = [] {
        std::array<char, bytes + 1> s{};
        std::size_t at = 0;
        for (std::size_t i = 0; i < size; ++i) {
            if (entries[i].keyed) {
                for (char c : entries[i].key) s[at++] = c;
            } else {
                at += rename_into(entries[i].member, Source::policy, s.data() + at);
            }
        }
        return s;
    }();
    static constexpr std::array<std::string_view, size> names = [] {
        std::array<std::string_view, size> v{};
        std::size_t at = 0;
        for (std::size_t i = 0; i < size; ++i) {
            v[i] = std::string_view(storage.data() + at, length(i));
            at += length(i);
        }
        return v;
    }();
};

}  // namespace detail

}  // namespace Sylvane::derive
