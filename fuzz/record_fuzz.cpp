// Fuzz target for derived converters: a tree read from the input is converted to records,
// variants, enumerations and containers; each conversion either fails with Of_yojson_error or
// gives a value that converts back to a tree which converts to an equal value again. The first
// byte picks whether trees are built under an arena scope and mixed with the read tree, the
// read options (a depth beyond the converters' bound among them) and whether records refuse
// unknown keys. Reading the text straight into each type (`read_as`) must give the same value or
// the same failure as reading the tree and converting it.
#include <sylvane/sylvane.hpp>

#include <array>
#include <map>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <variant>
#include <vector>

namespace fuzzed {
enum class color { red, green, blue };
SYLVANE_ENUM(color, red, green, blue)

struct point {
    std::int64_t x = 0;
    std::int32_t y = 0;
    bool operator==(const point&) const = default;
};
SYLVANE_RECORD(point, x, y)

using mixed = std::tuple<double, bool, char>;
using shape = std::variant<point, std::string, mixed>;
SYLVANE_VARIANT(shape, (point, "Point"), (std::string, "Label"), (mixed, "Mixed"))

struct order {
    std::int64_t id = 0;
    std::optional<std::string> note;
    std::vector<shape> shapes;
    std::vector<color> colors;
    std::pair<std::string, Sylvane::bytes> pair;
    Sylvane::hashtbl<std::string, std::vector<point>> index;
    Sylvane::ref<std::int64_t> counter{0};
    Sylvane::unit nothing;
    bool operator==(const order& o) const {
        return id == o.id && note == o.note && shapes == o.shapes && colors == o.colors &&
               pair == o.pair && index == o.index && counter.get() == o.counter.get();
    }
};
SYLVANE_RECORD(order, id, note, shapes, colors, pair, index, counter, nothing)

struct blank {
    bool operator==(const blank&) const = default;
};
struct tagged : std::variant<point, blank, order> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(tagged, (internal_tag("type")), (point, "point"), (blank, "blank"),
                     (order, "order"))
// Records and variants with options: renamed, skipped and defaulted keys, a wide record,
// narrow integers, and every variant form.
struct shaped {
    std::int8_t small = 0;
    std::uint16_t port = 80;
    std::optional<std::string> user_name;
    std::string cache = "kept";
    std::optional<std::uint8_t> level;
    bool operator==(const shaped&) const = default;
};
SYLVANE_RECORD_WITH(shaped, (rename_all(camel_case), deny_unknown_keys, omit_empty),
                    (small, key("s")), (port, with_default), user_name, (cache, skip), level)

struct wide {
    std::int64_t f0 = 0, f1 = 0, f2 = 0, f3 = 0, f4 = 0, f5 = 0, f6 = 0, f7 = 0, f8 = 0, f9 = 0,
                 f10 = 0, f11 = 0, f12 = 0, f13 = 0, f14 = 0, f15 = 0, f16 = 0, f17 = 0, f18 = 0,
                 f19 = 0, f20 = 0, f21 = 0, f22 = 0, f23 = 0, f24 = 0, f25 = 0, f26 = 0, f27 = 0,
                 f28 = 0, f29 = 0, f30 = 0, f31 = 0, f32 = 0;
    std::optional<std::int16_t> last;
    bool operator==(const wide&) const = default;
};
SYLVANE_RECORD_WITH(wide, (ignore_unknown_keys, with_default), f0, f1, f2, f3, f4, f5, f6, f7, f8,
                    f9, f10, f11, f12, f13, f14, f15, f16, f17, f18, f19, f20, f21, f22, f23, f24,
                    f25, f26, f27, f28, f29, f30, f31, f32, last)

struct external_v : std::variant<point, shaped, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(external_v, (external_tag), (point, "point"), (shaped, "shaped"),
                     (blank, "blank"))
struct adjacent_v : std::variant<point, std::int32_t, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(adjacent_v, (adjacent_tag("t", "c")), (point, "point"), (std::int32_t, "n"),
                     (blank, "blank"))
struct internal_v : std::variant<shaped, point, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(internal_v, (internal_tag("kind")), (shaped, "shaped"), (point, "point"),
                     (blank, "blank"))
/// Untagged and nested in itself: alternatives that keys rule out, and ones that fail late.
struct untagged_v;
struct deep_a {
    std::vector<untagged_v> x;
    point y;
    bool operator==(const deep_a&) const;
};
struct deep_b {
    std::vector<untagged_v> x;
    std::optional<std::string> y;
    bool operator==(const deep_b&) const;
};
struct untagged_v : std::variant<deep_a, deep_b, std::uint8_t, blank> {
    using variant::variant;
};
inline bool deep_a::operator==(const deep_a& o) const {
    return x == o.x && y == o.y;
}
inline bool deep_b::operator==(const deep_b& o) const {
    return x == o.x && y == o.y;
}
SYLVANE_RECORD(deep_a, x, y)
SYLVANE_RECORD_WITH(deep_b, (deny_unknown_keys), x, y)
SYLVANE_VARIANT_WITH(untagged_v, (untagged), (deep_a, "a"), (deep_b, "b"), (std::uint8_t, "n"),
                     (blank, "blank"))
// The shapes of real documents: a flattened member, unknown keys kept, null told from absent,
// integer tags.
enum class code { ok = 200, gone = 410 };
SYLVANE_ENUM_WITH(code, (as_integer), ok, gone)
struct stamp {
    std::int64_t at = 0;
    Sylvane::nullable_field<std::string> by;
    bool operator==(const stamp&) const = default;
};
SYLVANE_RECORD_WITH(stamp, (rename_all(camel_case)), at, by)
struct layered {
    stamp when;
    code status = code::ok;
    std::vector<std::pair<std::string, Sylvane::yojson>> rest;
    bool operator==(const layered&) const = default;
};
SYLVANE_RECORD(layered, (when, flatten), status, (rest, extra_keys))
struct coded_v : std::variant<layered, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(coded_v, (internal_tag("k"), as_integer), (layered), (blank))
}  // namespace fuzzed

namespace {

using Sylvane::yojson;

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "record_fuzz: %s\n", what);
    std::abort();
}

template <class T>
void round_trip(const yojson& tree, bool in_scope) {
    T value;
    try {
        value = Sylvane::of_yojson<T>(tree);
    } catch (const Sylvane::Treeform::Of_yojson_error&) {
        return;
    }
    yojson back;
    {
        std::optional<Sylvane::arena_scope> scope;
        if (in_scope) scope.emplace();
        back = Sylvane::yojson_of(value);
        // A tree of this scope holding the read tree, whose arena is another.
        const yojson mixed = yojson::List({back, tree, yojson::String("in the scope")});
        if (!(mixed.as_list()[1] == tree)) broken("a mixed tree changed its element");
    }
    T again;
    try {
        again = Sylvane::of_yojson<T>(back);
    } catch (const Sylvane::Treeform::Of_yojson_error& e) {
        broken(e.what());
    }
    if (!(again == value)) broken("a value converted back and forth changed");
}

/// The text of `tree`, NaN and infinities included.
std::string written(const yojson& tree) {
    return Sylvane::write(tree, {.allow_nan_infinity = true});
}

/// The value, or the failure's text with its place.
template <class T>
struct outcome {
    std::optional<T> value;
    std::string failure;
};

template <class T, class F>
outcome<T> outcome_of(F&& read) {
    outcome<T> o;
    try {
        o.value.emplace(read());
    } catch (const Sylvane::located_error& e) {
        o.failure = std::string("located ") + e.what() + " " + written(e.tree());
    } catch (const Sylvane::parse_error& e) {
        o.failure = std::string("parse ") + e.what();
    }
    return o;
}

template <class T>
void same_both_ways(std::string_view text, const Sylvane::read_options& options) {
    const auto direct = outcome_of<T>([&] { return Sylvane::read_as<T>(text, options); });
    const auto tree = outcome_of<T>([&] {
        const yojson root = Sylvane::read(text, options);
        try {
            return Sylvane::of_yojson<T>(root);
        } catch (const Sylvane::Treeform::Of_yojson_error& failure) {
            Sylvane::derive::detail::raise_located(text, options, root, failure);
        }
    });
    if (direct.value.has_value() != tree.value.has_value()) {
        broken(direct.value ? "read_as succeeded where the tree path fails"
                            : "read_as failed where the tree path succeeds");
    }
    // Values compare by their trees' text where NaN makes `==` false.
    if (direct.value && !(*direct.value == *tree.value) &&
        written(Sylvane::yojson_of(*direct.value)) != written(Sylvane::yojson_of(*tree.value)))
        broken("read_as gave another value");
    if (direct.failure != tree.failure) {
        const std::string both = "read_as failed otherwise than the tree path:\n  " +
                                 direct.failure + "\n  " + tree.failure;
        broken(both.c_str());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool in_scope = (data[0] & 1) != 0;
    Sylvane::read_options options;
    options.allow_comments = (data[0] & 2) != 0;
    options.allow_trailing_commas = (data[0] & 4) != 0;
    options.allow_nan_infinity = (data[0] & 8) != 0;
    options.allow_invalid_utf8 = (data[0] & 16) != 0;
    if ((data[0] & 32) != 0) options.max_depth = 4;
    // Unknown keys of records that follow the flag: refused, or ignored.
    *Sylvane::Treeform::record_check_extra_fields = (data[0] & 64) == 0;
    // Deep enough for the converters' own bound (512) to be met before the reader's.
    if ((data[0] & 128) != 0) options.max_depth = 4096;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    same_both_ways<fuzzed::order>(text, options);
    same_both_ways<std::vector<fuzzed::order>>(text, options);
    same_both_ways<std::vector<fuzzed::shape>>(text, options);
    same_both_ways<std::vector<fuzzed::tagged>>(text, options);
    same_both_ways<std::map<std::int32_t, std::vector<std::optional<double>>>>(text, options);
    same_both_ways<std::map<std::string, std::array<float, 2>>>(text, options);
    same_both_ways<std::vector<fuzzed::shaped>>(text, options);
    same_both_ways<std::vector<fuzzed::wide>>(text, options);
    same_both_ways<std::vector<fuzzed::external_v>>(text, options);
    same_both_ways<std::vector<fuzzed::adjacent_v>>(text, options);
    same_both_ways<std::vector<fuzzed::internal_v>>(text, options);
    same_both_ways<fuzzed::untagged_v>(text, options);
    same_both_ways<std::vector<fuzzed::coded_v>>(text, options);
    same_both_ways<std::map<std::int16_t, std::uint32_t>>(text, options);
    yojson tree;
    try {
        tree = Sylvane::read(text);
    } catch (const Sylvane::parse_error&) {
        return 0;
    }
    round_trip<fuzzed::order>(tree, in_scope);
    round_trip<std::vector<fuzzed::order>>(tree, in_scope);
    round_trip<std::vector<fuzzed::shape>>(tree, in_scope);
    round_trip<Sylvane::hashtbl<std::int64_t, fuzzed::color>>(tree, in_scope);
    round_trip<std::optional<std::tuple<std::int32_t, std::int64_t, std::string, double>>>(
        tree, in_scope);
    round_trip<std::vector<fuzzed::shaped>>(tree, in_scope);
    round_trip<std::vector<fuzzed::internal_v>>(tree, in_scope);
    round_trip<fuzzed::untagged_v>(tree, in_scope);
    round_trip<std::vector<fuzzed::coded_v>>(tree, in_scope);
    return 0;
}
