// read_as when it cannot go on: converters run once per value, their own exceptions and
// std::bad_alloc reach the caller unchanged, parse failures carry their code, and internally
// tagged variants are read straight from the text when their tag comes first.

#include "direct_differential.hpp"

#include <malloc.h>
#include <array>
#include <cstdint>
#include <map>
#include <new>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <sylvane/read_as.hpp>

namespace faults_models {

/// A value whose hand-written converter counts its calls and fails as told by its tree: a
/// string "boom" throws the converter's own exception, "oom" std::bad_alloc, a number fails
/// the conversion, anything else converts.
struct own_fault {};
struct counted {
    std::string text;
    bool operator==(const counted&) const = default;
};
inline int conversions = 0;
inline Sylvane::yojson yojson_of_counted(const counted& c) {
    return Sylvane::yojson::String(c.text);
}
inline counted counted_of_yojson(const Sylvane::yojson& t) {
    ++conversions;
    if (t.kind() != Sylvane::yojson_kind::String)
        Sylvane::Treeform::of_yojson_error("counted: string needed", t);
    if (t.as_string() == "boom") throw own_fault{};
    if (t.as_string() == "oom") throw std::bad_alloc();
    return {std::string(t.as_string())};
}
SYLVANE_CONVERTERS(counted, yojson_of_counted, counted_of_yojson)

struct holder {
    counted first;
    std::int64_t n = 0;
    std::vector<counted> more;
    bool operator==(const holder&) const = default;
};
SYLVANE_RECORD(holder, first, n, more)

struct circle {
    double r = 0;
    bool operator==(const circle&) const = default;
};
SYLVANE_RECORD(circle, r)
struct rect {
    std::int64_t w = 0;
    std::optional<std::int64_t> h;
    counted label;
    bool operator==(const rect&) const = default;
};
SYLVANE_RECORD(rect, w, h, label)
struct blank {
    bool operator==(const blank&) const = default;
};
struct shape : std::variant<circle, rect, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(shape, (internal_tag("kind")), (circle, "circle"), (rect, "rect"),
                     (blank, "blank"))

/// A record whose members have no initialisers, every one defaulted when its key is missing.
struct bare {
    std::int64_t n;
    std::int64_t m;
};
SYLVANE_RECORD_WITH(bare, (with_default), n, m)
struct tagged_bare : std::variant<bare, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(tagged_bare, (internal_tag("kind")), (bare, "bare"), (blank, "blank"))

/// A record that keeps a part of its document as a tree.
struct kept {
    std::int64_t id = 0;
    Sylvane::yojson raw;
};
SYLVANE_RECORD(kept, id, raw)

/// A record larger than a block of a long array's elements.
struct wide {
    std::string name;
    std::array<std::int64_t, 9000> values{};
    bool operator==(const wide&) const = default;
};
SYLVANE_RECORD(wide, name, values)

/// A record that nests itself through a vector: arrays of it staged at every level, deeper than
/// the cursor's stack of staged elements holds.
struct cell {
    std::int64_t v = 0;
    std::vector<cell> cells;
    bool operator==(const cell&) const = default;
};
SYLVANE_RECORD(cell, v, cells)

}  // namespace faults_models

namespace {

using direct_test::expect_same;
using direct_test::path;
using namespace faults_models;

/// The conversions that `read_as<T>(text)` runs.
template <class T>
int conversions_of(std::string_view text) {
    conversions = 0;
    try {
        (void)Sylvane::read_as<T>(text);
    } catch (const Sylvane::Treeform::Of_yojson_error&) {
    } catch (const Sylvane::parse_error&) {
    }
    return conversions;
}

TEST(read_as_faults, converters_run_once_per_value) {
    // Success, a failure after converted values, a failure of the converter itself, text that
    // is not JSON after converted values: each value converted once, or not at all.
    EXPECT_EQ(conversions_of<holder>(R"({"first": "a", "n": 1, "more": ["b", "c"]})"), 3);
    EXPECT_EQ(conversions_of<holder>(R"({"first": "a", "n": "x", "more": ["b"]})"), 1);
    EXPECT_EQ(conversions_of<holder>(R"({"first": "a", "more": ["b", "c"]})"), 3);
    EXPECT_EQ(conversions_of<holder>(R"({"first": "a", "n": 1, "more": ["b", 7, "c"]})"), 3);
    EXPECT_EQ(conversions_of<holder>(R"({"first": "a", "n": 1, "more": ["b"], "x": 1})"), 2);
    EXPECT_EQ(conversions_of<holder>(R"({"first": "a", "first": "b", "n": 1, "more": []})"), 1);
    EXPECT_EQ(conversions_of<holder>(R"({"first": "a", "n": 1, "more": ["b"]} x)"), 2);
    EXPECT_EQ(conversions_of<std::vector<shape>>(
                  R"([{"kind": "rect", "w": 1, "label": "a"}, {"kind": "rect", "label": "b"}])"),
              2);
    // Dictionaries: a repeated key after its value, a refused key before it.
    using by_name = std::map<std::string, counted>;
    using by_number = std::map<std::int32_t, counted>;
    EXPECT_EQ(conversions_of<by_name>(R"({"a": "x", "a": "y"})"), 2);
    EXPECT_EQ(conversions_of<by_number>(R"({"1": "x", "z": "y"})"), 1);
    EXPECT_EQ(conversions_of<by_number>(R"({"1": "x", "1e9": "y"})"), 1);
    EXPECT_EQ((conversions_of<std::map<std::int8_t, counted>>(R"({"1": "x", "300": "y"})")), 1);
    for (const char* text : {R"({"a": "x", "a": "y"})", R"({"1": "x", "z": "y"})",
                             R"({"1": "x", "99999999999": "y"})", R"({"1": "x", "01": "y"})"})
        expect_same<by_number>(text);
    expect_same<by_name>(R"({"a": "x", "b": 1, "a": "y"})");
    // A fixed array's length is checked before its elements are converted.
    EXPECT_EQ((conversions_of<std::array<counted, 1>>(R"(["x", 2])")), 0);
    expect_same<std::array<counted, 1>>(R"(["x", 2])");
    expect_same<std::array<counted, 2>>(R"(["x", 2])");
    // ... and each failure is the one the tree route gives, at the same place.
    for (const char* text :
         {R"({"first": "a", "n": "x", "more": ["b"]})", R"({"first": "a", "more": ["b", "c"]})",
          R"({"first": "a", "n": 1, "more": ["b", 7, "c"]})",
          R"({"first": "a", "n": 1, "more": ["b"], "x": 1})",
          R"({"first": "a", "first": "b", "n": 1, "more": []})",
          R"({"first": "a", "n": 1, "more": ["b"]} x)"})
        expect_same<holder>(text);
}

TEST(read_as_faults, other_exceptions_reach_the_caller_unchanged) {
    conversions = 0;
    EXPECT_THROW((void)Sylvane::read_as<holder>(R"({"first": "a", "n": 1, "more": ["boom"]})"),
                 own_fault);
    EXPECT_EQ(conversions, 2);
    conversions = 0;
    EXPECT_THROW((void)Sylvane::read_as<std::vector<counted>>(R"(["a", "oom", "b"])"),
                 std::bad_alloc);
    EXPECT_EQ(conversions, 2);
    // Even when text that is not JSON follows: the converter ran before it was met.
    EXPECT_THROW((void)Sylvane::read_as<std::vector<counted>>(R"(["boom", ])"), own_fault);
}

TEST(read_as_faults, a_converters_failure_is_located_in_the_text) {
    try {
        (void)Sylvane::read_as<holder>("{\"first\": \"a\",\n \"n\": 1,\n \"more\": [\"b\", 7]}");
        FAIL() << "no failure";
    } catch (const Sylvane::located_error& e) {
        EXPECT_EQ(e.message(), "counted: string needed");
        EXPECT_EQ(e.pointer(), "/more/1");
        EXPECT_EQ(e.line(), 3u);
        EXPECT_EQ(e.column(), 16u);
    }
}

TEST(read_as_faults, parse_errors_carry_their_code) {
    using Sylvane::json_tree::parse_errc;
    const auto code_of = [](std::string_view text, const Sylvane::read_options& options = {}) {
        try {
            (void)Sylvane::read(text, options);
        } catch (const Sylvane::parse_error& e) {
            // read_as fails alike, with the same reason and place.
            try {
                (void)Sylvane::read_as<std::vector<std::vector<std::int64_t>>>(text, options);
            } catch (const Sylvane::parse_error& again) {
                EXPECT_EQ(std::string(again.what()), e.what());
                EXPECT_EQ(again.code(), e.code());
            }
            return e.code();
        }
        return parse_errc::other;
    };
    EXPECT_EQ(code_of("[[1]] x"), parse_errc::text_after_value);
    EXPECT_EQ(code_of("[[1] 2]"), parse_errc::expected_comma_or_bracket);
    EXPECT_EQ(code_of("[[01]]"), parse_errc::leading_zero);
    EXPECT_EQ(code_of("[[1.]]"), parse_errc::expected_digit);
    EXPECT_EQ(code_of("[[1e999]]"), parse_errc::number_out_of_range);
    EXPECT_EQ(code_of("[[tru]]"), parse_errc::bad_literal);
    EXPECT_EQ(code_of("[[\"a]]"), parse_errc::unterminated_string);
    EXPECT_EQ(code_of("[[\"\\x\"]]"), parse_errc::invalid_escape);
    EXPECT_EQ(code_of("[[\"\\ud800\"]]"), parse_errc::lone_surrogate);
    EXPECT_EQ(code_of("[[\"\\u12\"]]"), parse_errc::invalid_unicode_escape);
    EXPECT_EQ(code_of("[[\"\xff\"]]"), parse_errc::invalid_utf8);
    EXPECT_EQ(code_of("[[\"\x01\"]]"), parse_errc::control_in_string);
    EXPECT_EQ(code_of("[[{]]"), parse_errc::expected_key);
    EXPECT_EQ(code_of("[[{\"a\" 1}]]"), parse_errc::expected_colon);
    EXPECT_EQ(code_of("[[{\"a\": 1]]"), parse_errc::expected_comma_or_brace);
    EXPECT_EQ(code_of("[[-x]]"), parse_errc::bad_number);
    EXPECT_EQ(code_of("[[}]]"), parse_errc::unexpected_byte);
    EXPECT_EQ(code_of("[[[1]]]", {.max_depth = 2}), parse_errc::too_deep);
    EXPECT_EQ(code_of("[[1]] /* x", {.allow_comments = true}), parse_errc::unterminated_comment);
    EXPECT_EQ(Sylvane::parse_error({}, "my reason").code(), parse_errc::other);
}

TEST(read_as_faults, internally_tagged_variants_read_straight_when_the_tag_comes_first) {
    using shapes = std::vector<shape>;
    expect_same<shapes>(R"([{"kind": "circle", "r": 1.5}, {"kind": "blank"},
        {"kind": "rect", "w": 2, "label": "x"}, {"kind": "rect", "w": 2, "h": 3, "label": "y"}])",
                        path::direct);
    // A tag repeated after the first is no field and no unknown key.
    expect_same<shapes>(R"([{"kind": "rect", "w": 2, "kind": "circle", "label": "x"}])",
                        path::direct);
    // The tag later in the object, or written with escapes: the object read as a tree.
    expect_same<shapes>(R"([{"r": 1.5, "kind": "circle"}])");
    expect_same<shapes>(R"([{"\u006bind": "circle", "r": 1}])");
    // Every failure as the tree route gives it, at the same place.
    for (const char* bad :
         {R"([{"kind": "square"}])", R"([{"kind": 7}])", R"([{"kind": "blank", "r": 1}])",
          R"([{"kind": "circle"}])", R"([{"kind": "circle", "r": "x"}])",
          R"([{"kind": "circle", "r": 1, "r": 2}])", R"([{"kind": "circle", "r": 1, "q": 2}])",
          R"([{}])", R"([[]])", R"([{"kind": "rect", "w": 1, "label": 5}])", R"([{"kind": "rect"})",
          R"([{"kind": "circle", "r": 1}, {"kind": )"})
        expect_same<shapes>(bad);
    direct_test::expect_same_when_damaged<shapes>(
        R"([{"kind": "rect", "w": 2, "h": null, "label": "x"}, {"kind": "circle", "r": 0.25},
            {"kind": "blank"}, {"kind": "rect", "label": "y", "w": -4}])");
}

/// Leaves bytes other than zero in the stack below the caller's frame.
[[gnu::noinline]] void dirty_stack() {
    volatile unsigned char junk[8192];
    for (auto& b : junk) b = 0xab;
}

TEST(read_as_faults, a_tagged_record_starts_value_initialised) {
    // A missing key leaves a defaulted member as the record was made: zero, on both routes, never
    // what the stack held (the direct route once made the record without initialising it).
    const char* text = R"([{"kind": "bare", "n": 5}, {"kind": "bare"}])";
    dirty_stack();
    const auto direct = Sylvane::read_as<std::vector<tagged_bare>>(text);
    ASSERT_EQ(direct.size(), 2u);
    EXPECT_EQ(std::get<bare>(direct[0]).n, 5);
    EXPECT_EQ(std::get<bare>(direct[0]).m, 0);
    EXPECT_EQ(std::get<bare>(direct[1]).n, 0);
    dirty_stack();
    const auto tree = Sylvane::of_yojson<std::vector<tagged_bare>>(Sylvane::read(text));
    EXPECT_EQ(std::get<bare>(tree[0]).m, 0);
    EXPECT_EQ(std::get<bare>(tree[1]).n, 0);
}

TEST(read_as_faults, long_arrays_keep_their_elements_in_order) {
    // Past its first kilobytes an array's elements wait in blocks: many blocks of small
    // elements, one element a block for large ones, and failures and exceptions in the middle.
    const auto list_of = [](int n, auto element) {
        std::string text = "[";
        for (int i = 0; i < n; ++i) text += element(i) + ",";
        text.back() = ']';
        return text;
    };
    const auto number = [](int i) { return std::to_string(i * 7919); };
    const auto name = [](int i) { return "\"n" + std::to_string(i) + "\""; };
    const auto record = [](int i) {
        return R"({"first": "f)" + std::to_string(i) + R"(", "n": )" + std::to_string(i) +
               R"(, "more": ["m"]})";
    };
    // Short arrays wait in a buffer of eight first: every length around it, and failures in it.
    for (int n = 1; n <= 17; ++n) {
        expect_same<std::vector<std::string>>(list_of(n, name), path::direct);
        std::string nested = "[";
        nested += list_of(n, number) + "]";
        expect_same<std::vector<std::vector<double>>>(nested, path::direct);
        // One element more, that the vector's type refuses.
        std::string names = list_of(n, name);
        names.insert(names.size() - 1, ",5");
        expect_same<std::vector<std::string>>(names);
        std::string numbers = list_of(n, number);
        numbers.insert(numbers.size() - 1, ",99999999999");
        expect_same<std::vector<std::int32_t>>(numbers);
    }
    expect_same<std::vector<std::int64_t>>(list_of(50000, number), path::direct);
    expect_same<std::vector<std::string>>(list_of(20000, name));
    expect_same<std::vector<holder>>(list_of(3000, record));
    std::string wide_one = R"({"name": "w", "values": )";
    wide_one += list_of(9000, number) + "}";
    expect_same<std::vector<wide>>(list_of(3, [&](int) { return wide_one; }), path::direct);
    // A failure, and text that is not JSON, far into the array.
    std::string bad = list_of(20000, name);
    bad.replace(bad.find("\"n15000\""), 8, "15000");
    expect_same<std::vector<std::string>>(bad);
    expect_same<std::vector<std::int64_t>>(list_of(50000, number) + "]");
    // A converter's own exception after thousands of elements: each ran once, and what was
    // read is freed (the sanitizers' builds check that).
    std::string boom = list_of(5000, name);
    boom.replace(boom.find("\"n4000\""), 7, "\"boom\"");
    conversions = 0;
    EXPECT_THROW((void)Sylvane::read_as<std::vector<counted>>(boom), own_fault);
    EXPECT_EQ(conversions, 4001);
}

TEST(read_as_faults, short_arrays_of_records_are_made_whole_before_their_vector) {
    // An array's first 16 records are made on the cursor's stack, then moved into a vector of
    // their count: every length around that, failures and exceptions among them.
    const auto records = [](int n, const std::string& at_last) {
        std::string text = "[";
        for (int i = 0; i < n; ++i) {
            const std::string first = i == n - 1 ? at_last : std::to_string(i);
            text += R"({"first": ")";
            text += first;
            text += R"(", "n": )";
            text += std::to_string(i);
            text += R"(, "more": ["m"]},)";
        }
        if (n > 0) text.pop_back();
        return text + "]";
    };
    for (int n = 0; n <= 40; ++n) {
        expect_same<std::vector<holder>>(records(n, "last"));
        if (n == 0) continue;
        std::string refused = records(n, "last");
        refused.replace(refused.rfind("\"n\": ") + 5, 1, "\"x\"");
        expect_same<std::vector<holder>>(refused);
        conversions = 0;
        EXPECT_THROW((void)Sylvane::read_as<std::vector<holder>>(records(n, "boom")), own_fault)
            << n;
        EXPECT_EQ(conversions, 2 * n - 1) << n;  // each record's two before the last's first
    }
    // Nested deeper than the stack holds, as many levels as the reader allows: the levels past
    // its room grow their vectors as they go.
    std::string deep = R"({"v": 0, "cells": []})";
    for (int i = 0; i < 250; ++i)
        deep = R"({"v": )" + std::to_string(i) + R"(, "cells": [{"v": 1, "cells": []}, )" + deep +
               (i % 2 == 0 ? "" : R"(, {"v": 2, "cells": []})") + "]}";
    expect_same<cell>(deep, path::direct);
    std::string refused = deep;
    refused.replace(refused.find(R"({"v": 0, )"), 8, R"({"v": "0", )");
    expect_same<cell>(refused);
}

TEST(read_as_faults, an_array_that_is_the_whole_text_is_sized_from_its_first_elements) {
    // Its count is told from the bytes its first elements took: texts where that guess is
    // short, long, or far off must still give every element, in order, with little room to spare.
    const auto records = [](int n, auto pad) {
        std::string text = "[";
        for (int i = 0; i < n; ++i)
            text += R"({"first": ")" + std::string(static_cast<std::size_t>(pad(i)), 'p') +
                    R"(", "n": )" + std::to_string(i) + R"(, "more": []},)";
        text.back() = ']';
        return text;
    };
    const int n = 3000;
    const std::vector<std::string> texts = {
        records(n, [](int) { return 4; }),                              // even
        records(n, [](int i) { return i < 400 ? 2 : 40; }),             // the rest larger
        records(n, [](int i) { return i < 400 ? 400 : 1; }),            // the rest far smaller
        records(n, [](int i) { return i % 2 ? 1 : 60; }),               // varied
        records(n, [](int) { return 4; }) + std::string(1 << 20, ' '),  // blanks after it
    };
    for (const std::string& text : texts) {
        expect_same<std::vector<holder>>(text, path::direct);
        const auto v = Sylvane::read_as<std::vector<holder>>(text);
        ASSERT_EQ(v.size(), std::size_t{n});
        EXPECT_LE(v.capacity(), v.size() + v.size() / 2);
    }
    // Inside another value, the rest of the text says nothing of the array's count.
    std::string nested = "[" + texts[0] + R"(, [], [{"first": "x", "n": 1, "more": []}]])";
    expect_same<std::vector<std::vector<holder>>>(nested, path::direct);
}

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(read_as_faults, values_read_as_trees_hold_memory_of_their_size) {
    // Each kept tree has an arena of its own: sized by its value, not by the whole text.
    std::string text = "[";
    for (int i = 0; i < 4000; ++i) text += R"({"id": 1, "raw": {"a": "x"}},)";
    text.back() = ']';
    const auto in_use = [] {
        const struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;
    };
    const std::size_t before = in_use();
    const auto records = Sylvane::read_as<std::vector<kept>>(text);
    ASSERT_EQ(records.size(), 4000u);
    EXPECT_LT(in_use() - before, std::size_t{16} << 20);
}
#endif

}  // namespace
