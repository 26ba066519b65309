// `write(value)`, which writes straight to the text: the same bytes and failures as writing the
// value's tree, the direct path taken wherever the type allows it.

#include "write_differential.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <list>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace write_models {

enum class level { low, high };
SYLVANE_ENUM(level, low, (high, "HIGH"))

struct config {
    std::int32_t retries = 3;
    std::string user_name;
    std::string cache;
    std::optional<std::string> note = "kept";
    std::optional<level> mode;
    std::unique_ptr<config> child;
    std::shared_ptr<std::string> label;
};
SYLVANE_RECORD_WITH(config, (rename_all(camel_case)), (retries, with_default), user_name,
                    (cache, skip), (note, with_default), (mode, key("MO\"DE")), child,
                    (label, omit_empty))

/// Every field may be omitted: the first written decides where the commas go.
struct sparse {
    std::optional<std::int64_t> a;
    std::unique_ptr<double> b;
    std::optional<std::string> c;
};
SYLVANE_RECORD_WITH(sparse, (omit_empty), a, (b, key("b\xc3\xa9")), c)

struct numbers {
    float ratio = 0;
    double value = 0;
    std::uint8_t small = 0;
    std::int16_t medium = 0;
    std::uint64_t big = 0;
    std::int64_t least = 0;
};
SYLVANE_RECORD(numbers, ratio, value, small, medium, big, least)

using shape = std::variant<numbers, std::string>;
SYLVANE_VARIANT(shape, (numbers, "Numbers"), (std::string, "Label"))

struct mixed {
    shape s;
    Sylvane::yojson raw;
    std::tuple<int, bool, std::string, double> t;
    std::map<level, int> by_level;
};
SYLVANE_RECORD(mixed, s, raw, t, by_level)

/// Keys of the lengths around the writer's blocks of key text (16 and 32 bytes with their
/// quotes) and past them, after a first field that may be left out.
struct key_lengths {
    std::optional<std::int64_t> first;
    std::int64_t k1 = 1, k13 = 13, k14 = 14, k15 = 15, k29 = 29, k30 = 30, k31 = 31, k40 = 40;
};
SYLVANE_RECORD_WITH(key_lengths, (omit_empty), first, (k1, key("k")), (k13, key("thirteen_long")),
                    (k14, key("fourteen_longs")), (k15, key("fifteen_long_ab")),
                    (k29, key("twenty_nine_bytes_long_key_ab")),
                    (k30, key("thirty_bytes_long_key_is_right")),
                    (k31, key("thirty_one_bytes_long_key_abcde")),
                    (k40, key("a_key_of_forty_bytes_needs_no_escape_abc")))

/// A double, then an enumeration: the tree path fails on the enumeration first.
struct late_failure {
    double d = 0;
    level l = level::low;
};
SYLVANE_RECORD(late_failure, d, l)

/// Written by a hand-written converter that counts its calls and throws as `fault` says.
struct counted {
    enum fault { none, own, out_of_memory };
    int n = 0;
    fault fails = none;
};

/// What `counted`'s converter throws: no standard exception.
struct converter_fault {
    int n;
};

}  // namespace write_models

template <>
struct Sylvane::converter<write_models::counted> {
    static inline thread_local int calls = 0;

    static Sylvane::yojson to_yojson(const write_models::counted& c) {
        ++calls;
        if (c.fails == write_models::counted::own) throw write_models::converter_fault{c.n};
        if (c.fails == write_models::counted::out_of_memory) throw std::bad_alloc();
        return Sylvane::yojson::Int(c.n);
    }
    static write_models::counted of_yojson(const Sylvane::yojson& t) {
        return {static_cast<int>(t.as_int())};
    }
};

namespace write_models {

/// Doubles around parts written by a hand-written converter.
struct guarded {
    double before = 0;
    counted c;
    double after = 0;
    std::vector<counted> more;
};
SYLVANE_RECORD(guarded, before, c, after, more)

/// Text long enough to span many of the writer's chunks, between two doubles.
struct bulk {
    double first = 0;
    std::vector<std::string> texts;
    Sylvane::yojson raw;
    double last = 0;
};
SYLVANE_RECORD(bulk, first, texts, raw, last)

}  // namespace write_models

namespace {

using namespace write_models;
using write_test::expect_same;
using write_test::path;

constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

TEST(write_direct, scalars_and_numbers_at_their_limits) {
    expect_same(true, path::direct);
    expect_same(std::string("plain"), path::direct);
    expect_same(std::numeric_limits<std::uint64_t>::max(), path::direct);
    expect_same(std::numeric_limits<std::int64_t>::min(), path::direct);
    expect_same(std::numeric_limits<std::int8_t>::min(), path::direct);
    expect_same(std::numeric_limits<std::uint32_t>::max(), path::direct);
    for (double d : {0.0, -0.0, 1.0, -2.5, 0.1, 1e21, 1e22, 1e-7, 123456789012345678.0, 0x1p53 + 2,
                     5e-324, -2.2250738585072014e-308, 1.7976931348623157e308}) {
        expect_same(d, path::direct);
    }
    for (float f : {0.0f, -0.0f, 0.1f, 1.0f / 3, 16777216.0f, 3.4028235e38f, 1e-45f}) {
        expect_same(f, path::direct);
    }
    const auto v = expect_same(std::vector<float>{0.1f, -0.0f}, path::direct);
    EXPECT_EQ(v.value, "[0.1,-0.0]");
}

TEST(write_direct, nan_and_infinity_fail_unless_allowed) {
    Sylvane::write_options allow;
    allow.allow_nan_infinity = true;
    for (double d : {nan, inf, -inf}) {
        const auto refused = expect_same(std::vector<double>{1, d}, path::direct);
        EXPECT_NE(refused.failure.find("no JSON text"), std::string::npos) << refused.failure;
        expect_same(std::vector<double>{1, d}, path::direct, allow);
    }
    expect_same(std::numeric_limits<float>::infinity(), path::direct, allow);
    // Whatever fails first in the tree path is what fails: the enumeration, not the NaN.
    late_failure bad{nan, static_cast<level>(7)};
    const auto o = expect_same(bad, path::direct);
    EXPECT_NE(o.failure.find("invalid_argument"), std::string::npos) << o.failure;
}

TEST(write_direct, strings_with_escapes_control_and_non_utf8_bytes) {
    Sylvane::write_options check;
    check.check_utf8 = true;
    static constexpr char controls[] = "nul \0 bell \a tab \t newline \n";
    const std::vector<std::string> strings = {
        "",
        "quote \" backslash \\ slash /",
        std::string(controls, sizeof controls - 1),
        "\x1f\x7f",
        "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80",
        "bad \xff byte",
        "truncated \xe2\x82",
        std::string(100, 'x') + "\"" + std::string(40, 'y'),
        std::string(5000, '\n'),
    };
    for (const auto& s : strings) {
        expect_same(s, path::either);
        expect_same(s, path::either, check);
    }
    const auto refused = expect_same(std::string("bad \xff byte"), path::direct, check);
    EXPECT_NE(refused.failure.find("not UTF-8"), std::string::npos);
    expect_same(std::map<std::string, int>{{"k\xff", 1}}, path::direct, check);
}

TEST(write_direct, containers) {
    expect_same(std::vector<std::optional<std::int64_t>>{1, std::nullopt, -3}, path::direct);
    expect_same(std::deque<bool>{true, false}, path::direct);
    expect_same(std::vector<bool>{false, true}, path::direct);
    expect_same(std::list<std::string>{"a", "b"}, path::direct);
    expect_same(std::array<std::uint16_t, 3>{1, 2, 65535}, path::direct);
    expect_same(std::set<std::int32_t>{3, 1, 2}, path::direct);
    expect_same(std::vector<std::vector<double>>{{}, {1.5}, {}}, path::direct);
    expect_same(std::map<std::string, std::vector<int>>{{"b", {1}}, {"a\n", {}}}, path::direct);
    expect_same(std::map<std::int64_t, bool>{{-5, true}, {7, false}}, path::direct);
    expect_same(
        std::unordered_map<std::uint64_t, std::string>{
            {std::numeric_limits<std::uint64_t>::max(), "max"}, {0, "zero"}},
        path::direct);
    expect_same(std::map<std::string, int>{}, path::direct);
    expect_same(std::unique_ptr<std::string>(), path::direct);
    expect_same(std::make_unique<std::string>("owned"), path::direct);
    expect_same(std::make_shared<std::vector<int>>(std::vector<int>{1, 2}), path::direct);
    // Keyed by enumerations, tuples, pairs: through their trees.
    expect_same(std::map<level, int>{{level::high, 1}}, path::tree);
    expect_same(std::pair<int, std::string>{1, "x"}, path::tree);
}

TEST(write_direct, records_with_renamed_skipped_omitted_and_defaulted_fields) {
    config c;
    expect_same(c, path::direct);
    c.user_name = "ann";
    c.cache = "never written";
    c.note.reset();
    c.mode = level::high;
    c.label = std::make_shared<std::string>("tag");
    c.child = std::make_unique<config>();
    c.child->retries = -1;
    const auto o = expect_same(c, path::direct);
    EXPECT_EQ(o.value.value().find("cache"), std::string::npos);

    expect_same(sparse{}, path::direct);
    EXPECT_EQ(expect_same(sparse{}, path::direct).value, "{}");
    sparse s;
    s.b = std::make_unique<double>(2);
    EXPECT_EQ(expect_same(s, path::direct).value, "{\"b\xc3\xa9\":2.0}");
    s.c = "last";
    expect_same(s, path::direct);

    key_lengths k;
    EXPECT_EQ(expect_same(k, path::direct).value.value().substr(0, 10), "{\"k\":1,\"th");
    k.first = 0;
    expect_same(k, path::direct);
    expect_same(std::vector<key_lengths>(2, k), path::direct);

    numbers n{0.1f,
              -0.0,
              255,
              -32768,
              std::numeric_limits<std::uint64_t>::max(),
              std::numeric_limits<std::int64_t>::min()};
    expect_same(n, path::direct);
    expect_same(std::vector<numbers>(3, n), path::direct);
}

TEST(write_direct, enumerations) {
    expect_same(std::vector<level>{level::low, level::high}, path::direct);
    const auto o = expect_same(static_cast<level>(9), path::direct);
    EXPECT_NE(o.failure.find("invalid_argument"), std::string::npos) << o.failure;
}

TEST(write_direct, other_types_are_written_through_their_own_trees) {
    mixed m;
    m.s = numbers{};
    m.raw = Sylvane::yojson::List({Sylvane::yojson::Intlit("123456789012345678901234567890")});
    m.t = {1, true, "x", 2.5};
    m.by_level = {{level::low, 1}};
    // Four parts through trees, each written in place; the record around them directly.
    const std::size_t before = Sylvane::derive::detail::routes().trees_written;
    const std::string text = Sylvane::write(m);
    EXPECT_EQ(Sylvane::derive::detail::routes().trees_written - before, 4u);
    EXPECT_EQ(text, Sylvane::write(Sylvane::yojson_of(m)));

    m.s = std::string("label");
    expect_same(m, path::either);
    // A malformed Intlit fails as the tree writer says.
    m.raw = Sylvane::yojson::Intlit("12a");
    const auto o = expect_same(m);
    EXPECT_NE(o.failure.find("Intlit text is not a JSON integer"), std::string::npos);
}

/// The outcome of `write(value, options)` and the calls of `counted`'s converter it made.
template <class T>
std::pair<write_test::outcome, int> counted_write(const T& value,
                                                  const Sylvane::write_options& options = {}) {
    auto& calls = Sylvane::converter<counted>::calls;
    calls = 0;
    auto o = write_test::outcome_of([&] { return Sylvane::write(value, options); });
    return {std::move(o), calls};
}

/// Whether `write(value, options)` throws `converter_fault` for `n`, having converted `calls`
/// values.
template <class T>
void expect_converter_fault(const T& value, int n, int calls,
                            const Sylvane::write_options& options = {}) {
    auto& count = Sylvane::converter<counted>::calls;
    count = 0;
    try {
        Sylvane::write(value, options);
        ADD_FAILURE() << "no failure";
    } catch (const converter_fault& e) {
        EXPECT_EQ(e.n, n);
    }
    EXPECT_EQ(count, calls);
}

TEST(write_direct, a_converters_own_exception_reaches_the_caller_once) {
    expect_converter_fault(counted{1, counted::own}, 1, 1);
    expect_converter_fault(counted{1, counted::own}, 1, 1, {.pretty = true});
    guarded g;
    g.c = {2, counted::own};
    expect_converter_fault(g, 2, 1);
    // Converted first to last up to the one that fails, as in making the tree.
    g.c = {};
    g.more = {{3}, {4, counted::own}, {5, counted::own}};
    expect_converter_fault(g, 4, 3);
    expect_converter_fault(std::vector<counted>{{6}, {7, counted::own}, {8}}, 7, 2);
    // Out of memory in a converter, or anywhere, is no failure of the write to hide.
    g.more = {{9, counted::out_of_memory}};
    auto& calls = Sylvane::converter<counted>::calls;
    calls = 0;
    EXPECT_THROW(Sylvane::write(g), std::bad_alloc);
    EXPECT_EQ(calls, 2);
}

TEST(write_direct, a_failing_write_converts_each_part_once) {
    guarded g{nan, {1}, 2.5, {{2}, {3}}};
    const auto refused = expect_same(g, path::tree);  // three parts through trees
    EXPECT_NE(refused.failure.find("NaN has no JSON text"), std::string::npos) << refused.failure;
    for (double* d : {&g.before, &g.after}) {
        *d = -inf;
        const std::size_t before = Sylvane::derive::detail::routes().trees_written;
        const auto [o, calls] = counted_write(g);
        EXPECT_EQ(Sylvane::derive::detail::routes().trees_written - before, 3u) << "a whole tree";
        EXPECT_NE(o.failure.find("an infinite Float"), std::string::npos) << o.failure;
        EXPECT_EQ(calls, 3);
        Sylvane::write_options allow;
        allow.allow_nan_infinity = true;
        EXPECT_EQ(counted_write(g, allow).second, 3);
        *d = 0;
    }
    // A converter failing after a refused double wins: the tree is made before it is written.
    g.before = nan;
    g.more.push_back({4, counted::own});
    expect_converter_fault(g, 4, 4);
    expect_same(late_failure{inf, static_cast<level>(7)}, path::direct);
}

TEST(write_direct, the_first_failure_in_the_text_is_the_one_raised) {
    Sylvane::write_options check;
    check.check_utf8 = true;
    bulk b;
    b.first = inf;
    for (std::size_t i = 0; i < 3000; ++i)
        b.texts.push_back(std::string(i % 97, static_cast<char>('a' + i % 26)));
    b.texts.push_back(std::string(200000, '\n'));  // longer than any chunk
    b.texts.push_back("\xc3");
    b.raw = Sylvane::yojson::Intlit("-01");
    b.last = nan;
    // Each failure in turn is the first, the text before it spanning chunks or not; with none,
    // the whole text is written.
    for (int clear = 0; clear < 4; ++clear) {
        Sylvane::write_options allow = check;
        allow.allow_nan_infinity = true;
        for (const auto& options : {Sylvane::write_options{}, check, allow}) {
            const auto o = expect_same(b, path::tree, options);
            EXPECT_EQ(o.value.has_value(), clear == 3 && options.allow_nan_infinity);
        }
        if (clear == 0) b.first = 0;
        if (clear == 1) b.texts.back() = "\xc3\xa9";
        if (clear == 2) b.raw = Sylvane::yojson::Intlit("-1");
    }
}

TEST(write_direct, pretty_text_is_the_compact_text_laid_out) {
    // Without a tree, byte for byte the tree writer's, with strings that hold the bytes that
    // lay the text out, empty containers, and every indentation.
    config c;
    c.child = std::make_unique<config>();
    for (unsigned indent : {0u, 1u, 3u}) {
        Sylvane::write_options pretty;
        pretty.pretty = true;
        pretty.indent = indent;
        expect_same(c, path::direct, pretty);
        expect_same(
            std::map<std::string, std::vector<std::string>>{
                {"a{[,:\"", {"]}", "\\\"", ",:"}}, {"", {}}, {"e", {""}}},
            path::direct, pretty);
        expect_same(std::vector<std::map<std::string, int>>{{}, {{"k", 1}}, {}}, path::direct,
                    pretty);
    }
}

TEST(write_direct, trees_and_streams_still_take_the_tree_writer) {
    const Sylvane::yojson tree = Sylvane::yojson::List({Sylvane::yojson::Float(2)});
    EXPECT_EQ(Sylvane::write(tree), "[2.0]");
    std::ostringstream out;
    Sylvane::write(out, tree);
    EXPECT_EQ(out.str(), "[2.0]");
    EXPECT_EQ(Sylvane::write(std::vector<double>{1, 2.5}), "[1.0,2.5]");
    std::ostringstream values;
    Sylvane::write(values, std::vector<double>{1, 2.5});
    Sylvane::write(values, std::vector<double>{3}, {.pretty = true});
    EXPECT_EQ(values.str(),
              "[1.0,2.5]" + Sylvane::write(Sylvane::yojson::List({Sylvane::yojson::Float(3)}),
                                           {.pretty = true}));
}

}  // namespace
