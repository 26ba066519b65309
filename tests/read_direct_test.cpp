// `read_as` reading straight from the text: the same values and failures as the tree path, the
// direct path taken whenever the text and the type allow it.

#include "derive_support.hpp"
#include "direct_differential.hpp"
#include "indented_text.hpp"

#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <unordered_map>
#include <variant>
#include <vector>

#include <sylvane/read_as.hpp>

namespace direct_models {

enum class level { low, high };
SYLVANE_ENUM(level, low, (high, "HIGH"))

struct item {
    std::int64_t id = 0;
    std::string name;
    double score = 0;
    std::vector<std::string> tags;
    std::optional<std::int64_t> parent;
    bool operator==(const item&) const = default;
};
SYLVANE_RECORD(item, id, name, score, tags, parent)

struct config {
    std::int32_t retries = 3;
    std::string user_name;
    std::string cache;
    std::optional<std::string> note = "kept";
    std::optional<level> mode;
    std::unique_ptr<item> child;
    std::shared_ptr<std::string> label;
    bool operator==(const config& o) const {
        return retries == o.retries && user_name == o.user_name && cache == o.cache &&
               note == o.note && mode == o.mode && (child == nullptr) == (o.child == nullptr) &&
               (!child || *child == *o.child) && (label == nullptr) == (o.label == nullptr) &&
               (!label || *label == *o.label);
    }
};
SYLVANE_RECORD_WITH(config, (rename_all(camel_case)), (retries, with_default), user_name,
                    (cache, skip), (note, with_default), (mode, key("MODE")), child,
                    (label, omit_empty))

struct strict {
    bool on = false;
    bool operator==(const strict&) const = default;
};
SYLVANE_RECORD_WITH(strict, (deny_unknown_keys), on)

struct lenient {
    bool on = false;
    bool operator==(const lenient&) const = default;
};
SYLVANE_RECORD_WITH(lenient, (ignore_unknown_keys), on)

struct plain {
    float ratio = 0;
    std::uint8_t small = 0;
    bool operator==(const plain&) const = default;
};
SYLVANE_RECORD(plain, ratio, small)

using shape = std::variant<item, std::string>;
SYLVANE_VARIANT(shape, (item, "Item"), (std::string, "Label"))

/// Converters written by hand: read through a tree.
struct meters {
    double value = 0;
    bool operator==(const meters&) const = default;
};
inline Sylvane::yojson yojson_of_meters(const meters& m) {
    return Sylvane::yojson::Float(m.value);
}
inline meters meters_of_yojson(const Sylvane::yojson& t) {
    return {Sylvane::of_yojson<double>(t)};
}
SYLVANE_CONVERTERS(meters, yojson_of_meters, meters_of_yojson)

}  // namespace direct_models

namespace {

using direct_test::expect_same;
using direct_test::path;
using namespace direct_models;
using derive_test::extra_fields_checked;

using Sylvane::derive::detail::read_through_tree;

// What is read straight from the text, and what through a tree of its own.
static_assert(!read_through_tree<bool> && !read_through_tree<std::string> &&
              !read_through_tree<std::uint8_t> && !read_through_tree<std::int64_t> &&
              !read_through_tree<std::uint64_t> && !read_through_tree<double> &&
              !read_through_tree<float>);
static_assert(!read_through_tree<std::vector<item>> && !read_through_tree<std::array<float, 2>> &&
              !read_through_tree<std::deque<bool>> && !read_through_tree<std::list<double>> &&
              !read_through_tree<std::optional<std::string>> &&
              !read_through_tree<std::unique_ptr<item>> &&
              !read_through_tree<std::shared_ptr<std::int32_t>>);
static_assert(!read_through_tree<std::map<std::string, item>> &&
              !read_through_tree<std::unordered_map<std::int16_t, std::string>> &&
              !read_through_tree<level> && !read_through_tree<config>);
static_assert(read_through_tree<shape> && read_through_tree<meters> &&
              read_through_tree<std::set<std::int64_t>> && read_through_tree<Sylvane::yojson> &&
              read_through_tree<std::map<level, bool>> &&
              read_through_tree<std::tuple<std::int64_t, bool>>);

TEST(read_direct, numbers_at_their_limits) {
    using ints = std::vector<std::int64_t>;
    expect_same<ints>("[0, -0, 1, -1, 9223372036854775807, -9223372036854775808]", path::direct);
    expect_same<ints>(" [ ] ", path::direct);
    // Beyond 64 bits is an Intlit, which int refuses; floats are no integers.
    expect_same<ints>("[9223372036854775808]", path::tree);
    expect_same<ints>("[-9223372036854775809]", path::tree);
    expect_same<ints>("[1.0]", path::tree);
    expect_same<ints>("[1e2]", path::tree);
    expect_same<std::vector<std::uint64_t>>("[0, 9223372036854775807]", path::direct);
    expect_same<std::vector<std::uint64_t>>("[18446744073709551615]");
    expect_same<std::vector<std::uint64_t>>("[18446744073709551616]", path::tree);
    expect_same<std::vector<std::uint64_t>>("[-1]", path::tree);
    expect_same<std::vector<std::int8_t>>("[-128, 127]", path::direct);
    expect_same<std::vector<std::int8_t>>("[128]", path::tree);
    expect_same<std::vector<std::uint16_t>>("[65535]", path::direct);
    expect_same<std::vector<std::uint16_t>>("[65536]", path::tree);
    expect_same<std::vector<std::int32_t>>("[-2147483649]", path::tree);
    // Doubles: integers converted, -0 an integer (0.0) but -0.0 a float, every float rounded
    // as the reader rounds it.
    using doubles = std::vector<double>;
    expect_same<doubles>(
        "[-0, -0.0, 0.1, 1e-400, 2.2250738585072011e-308, 9007199254740993, "
        "1.7976931348623157e308, 123456789012345678901234567890e-10, 5e-324]",
        path::direct);
    expect_same<doubles>("[1e400]", path::tree);
    expect_same<doubles>("[-1e400]", path::tree);
    expect_same<doubles>("[99999999999999999999]", path::tree);  // an Intlit
    expect_same<doubles>("[\"1\"]", path::tree);
    expect_same<std::vector<float>>("[3.4028234e38, 1e-50, -0.0, 16777217]", path::direct);
    expect_same<std::vector<float>>("[3.5e38]", path::tree);
    for (const char* bad : {"[01]", "[-]", "[1.]", "[.5]", "[1e]", "[1e+]", "[+1]", "[0x1]",
                            "[1 2]", "[1,]", "[1]]", "[1", "[NaN]", "[-Infinity]"})
        expect_same<doubles>(bad, path::tree);
}

// Numbers with 32 bytes or more after them are read at once, as the reader reads them.
TEST(read_direct, numbers_far_from_the_end_of_the_text) {
    const std::string after(40, ' ');
    using ints = std::vector<std::int64_t>;
    using doubles = std::vector<double>;
    expect_same<ints>(
        "[0, -0, 7, -12345678, 123456789, 1234567890123456, 12345678901234567, "
        "9223372036854775807, -9223372036854775808]" +
            after,
        path::direct);
    for (const char* beyond : {"[9223372036854775808]", "[-9223372036854775809]",
                               "[12345678901234567890]", "[1.5]", "[1e2]"})
        expect_same<ints>(beyond + after, path::tree);
    expect_same<doubles>(
        "[-65.613616999999977, 0.1, -0.0, 123.45, 1.5e3, 9007199254740993, "
        "0.30000000000000004, 1234567890123456.7, 0.471131021506867507, 1.2345678901234567891]" +
            after,
        path::direct);
    for (const char* bad : {"[01]", "[-]", "[1.]", "[1.e5]", "[1e]", "[1.5e+]", "[-x]", "[1 2]"})
        expect_same<doubles>(bad + after, path::tree);
}

TEST(read_direct, strings_with_the_readers_strictness) {
    using strings = std::vector<std::string>;
    expect_same<strings>(R"(["", "plain", "tab\tquote\"slash\/\\", "\u00e9\ud83d\ude00", "é😀"])",
                         path::direct);
    expect_same<strings>(
        "[\"a very long string that is read sixteen bytes at a time, with an "
        "escape \\n near its end\"]",
        path::direct);
    for (const char* bad : {R"(["\ud83d"])", R"(["\ude00"])", R"(["\ud83d\u0041"])", R"(["\x"])",
                            R"(["\u12"])", R"(["\u12g4"])", "[\"a\x01\"]", "[\"\xC3\"]",
                            "[\"\xED\xA0\x80\"]", "[\"\xF5\x80\"]", "[\"open]", "[\"\\"})
        expect_same<strings>(bad, path::tree);
    Sylvane::read_options raw;
    raw.allow_invalid_utf8 = true;
    expect_same<strings>("[\"\xFF\xC3(\"]", path::direct, raw);
    expect_same<std::string>("7", path::tree);
    expect_same<std::vector<bool>>("[true, false]", path::direct);
    expect_same<std::vector<bool>>("[tru]", path::tree);
    expect_same<std::vector<bool>>("[null]", path::tree);
}

TEST(read_direct, white_space_trailing_text_and_options) {
    using ints = std::vector<std::int64_t>;
    expect_same<ints>("\n\t [\r\n  1 ,\n\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t\t  2 ]  \n",
                      path::direct);
    expect_same<ints>("[1] x", path::tree);
    expect_same<ints>("[1] [2]", path::tree);
    expect_same<ints>("", path::tree);
    expect_same<ints>("[1,\f2]", path::tree);
    Sylvane::read_options commas;
    commas.allow_trailing_commas = true;
    expect_same<ints>("[1, 2, ]", path::direct, commas);
    expect_same<std::map<std::string, ints>>(R"({"a": [1,], "b": [],})", path::direct, commas);
    expect_same<ints>("[1,,]", path::tree, commas);
    expect_same<ints>("[,]", path::tree, commas);
    // Comments and NaN are read straight from the text too, and refused where the reader
    // refuses them.
    Sylvane::read_options comments;
    comments.allow_comments = true;
    expect_same<ints>("[1, /* two */ 2 // three\n]", path::direct, comments);
    expect_same<ints>("/**/[1//\n,2]/**/", path::direct, comments);
    expect_same<ints>("[1, /* two ] */ 2", path::tree, comments);
    expect_same<ints>("[1, / 2]", path::tree, comments);
    expect_same<ints>("[1, /* two 2]", path::tree, comments);
    Sylvane::read_options nan;
    nan.allow_nan_infinity = true;
    expect_same<std::vector<double>>("[1.5, -Infinity, Infinity]", path::direct, nan);
    expect_same<std::vector<double>>("[-Inf]", path::tree, nan);
    expect_same<std::vector<double>>("[NaN]", path::tree);
    expect_same<ints>("[NaN]", path::tree, nan);
    const std::size_t before = Sylvane::derive::detail::routes().trees_read;
    const auto not_numbers =
        Sylvane::read_as<std::vector<std::optional<float>>>("[NaN, null]", nan);
    EXPECT_EQ(Sylvane::derive::detail::routes().trees_read, before);
    ASSERT_EQ(not_numbers.size(), 2u);
    EXPECT_TRUE(not_numbers[0] && std::isnan(*not_numbers[0]));
    EXPECT_FALSE(not_numbers[1]);
}

// Indented text read straight into types, its lines indented by depth or otherwise: the
// cursor guesses a line's indentation as the tree reader does, and must find every token.
TEST(read_direct, lines_indented_by_depth_or_otherwise) {
    using nested = std::vector<std::map<std::string, std::vector<std::vector<std::int64_t>>>>;
    nested value;
    for (std::int64_t i = 0; i < 6; ++i) {
        auto& entry = value.emplace_back();
        for (std::int64_t k = 0; k <= i % 3; ++k)
            entry["key" + std::to_string(k)] = {{i, k}, {}, {i * k}};
    }
    Sylvane::write_options pretty;
    pretty.pretty = true;
    for (unsigned seed = 0; seed < 12; ++seed) {
        pretty.indent = 1 + seed % 6;
        const std::string text =
            indented_text::reindented(Sylvane::write(value, pretty), seed, seed % 2 ? 4 : 1000);
        EXPECT_EQ(Sylvane::read_as<nested>(text), value) << text;
        expect_same<nested>(text, path::direct);
    }
}

TEST(read_direct, nesting_as_deep_as_the_reader_allows) {
    using nested = std::vector<std::vector<std::vector<std::int64_t>>>;
    Sylvane::read_options shallow;
    shallow.max_depth = 3;
    expect_same<nested>("[[[1]], []]", path::direct, shallow);
    expect_same<nested>("[[[[1]]]]", path::tree, shallow);
    // Values read as trees and skipped values count the levels already open.
    expect_same<std::vector<std::vector<Sylvane::yojson>>>("[[[1]]]", path::direct, shallow);
    // A value read as a tree fails as the reader fails, without a second conversion.
    expect_same<std::vector<std::vector<Sylvane::yojson>>>("[[[[1]]]]", path::direct, shallow);
    expect_same<std::vector<lenient>>(R"([{"x": [1], "on": true}])", path::direct, shallow);
    expect_same<std::vector<lenient>>(R"([{"x": [[1]], "on": true}])", path::tree, shallow);
    const std::string deep = std::string(600, '[') + std::string(600, ']');
    expect_same<Sylvane::yojson>(deep, path::tree);
}

TEST(read_direct, records_with_their_settings) {
    // Renamed keys, a skipped field, defaults kept when absent, options cleared when absent.
    const auto full = expect_same<config>(
        R"({"retries": 5, "userName": "ann", "note": null, "MODE": "HIGH",
            "child": {"id": 1, "name": "c", "score": 0.5, "tags": ["t"], "parent": null},
            "label": "l"})",
        path::direct);
    EXPECT_TRUE(full.value);
    expect_same<config>(R"({"userName": "ann"})", path::direct);
    expect_same<config>(R"({"MODE": "low", "userName": "b", "child": null})", path::direct);
    expect_same<config>(R"({"MODE": ["low"], "userName": "b"})", path::direct);
    expect_same<config>(R"({"MODE": "LOW", "userName": "b"})", path::tree);
    expect_same<config>(R"({"retries": 5})", path::tree);                      // required missing
    expect_same<config>(R"({"userName": "a", "userName": "b"})", path::tree);  // duplicate
    expect_same<config>(R"({"userName": 7})", path::tree);
    expect_same<config>(R"({"retries": 3000000000, "userName": "a"})", path::tree);
    expect_same<config>(R"([])", path::tree);
    // Fields in any order; a key escaped in the text is the same key.
    expect_same<item>(R"({"parent": 4, "tags": [], "score": 1, "name": "n", "\u0069d": 2})",
                      path::direct);
    expect_same<plain>(R"({"ratio": 0.1, "small": 255})", path::direct);
    expect_same<plain>(R"({"ratio": 0.1, "small": 256})", path::tree);
}

TEST(read_direct, key_orders_that_change_from_object_to_object) {
    // The reader tries first the order of the keys met last: each object must still be read by
    // its own keys, whatever order the objects before it taught.
    const std::string sorted = R"({"id": 1, "name": "a", "parent": 2, "score": 1, "tags": []})";
    const std::string reversed =
        R"({"parent": null, "tags": ["t"], "score": 2, "name": "b", "id": 3})";
    const std::string fewer = R"({"name": "c", "id": 4, "score": 3, "tags": []})";
    const std::string declared = R"({"id": 5, "name": "d", "score": 4, "tags": [], "parent": 6})";
    std::string all = "[";
    for (const auto* each : {&sorted, &sorted, &reversed, &fewer, &declared, &sorted, &fewer})
        all += *each + ",";
    all.back() = ']';
    expect_same<std::vector<item>>(all, path::direct);
    // A duplicate, an unknown key or a missing field after objects that taught an order.
    std::string bad = all;
    bad.back() = ',';
    for (const char* last :
         {R"({"id": 1, "name": "a", "parent": 2, "id": 1, "score": 1, "tags": []})",
          // a duplicate where the order taught expects its key next
          R"({"parent": 2, "id": 1, "name": "a", "parent": 3, "score": 1, "tags": []})",
          R"({"id": 1, "name": "a", "parent": 2, "score": 1})"}) {
        expect_same<std::vector<item>>(bad + last + "]", path::tree);
        const extra_fields_checked flag(true);
        expect_same<std::vector<item>>(
            bad + R"({"id": 1, "name": "a", "zz": 2, "score": 1, "tags": []}])", path::tree);
    }
}

TEST(read_direct, unknown_keys_follow_the_record_and_the_flag) {
    const char* text = R"({"on": true, "extra": {"deep": [1, "two", null, {"x": -1.5e3}]}})";
    {
        const extra_fields_checked flag(false);
        expect_same<item>(R"({"id": 1, "name": "", "score": 0, "tags": [], "zzz": 1})",
                          path::direct);
        expect_same<strict>(text, path::tree);
        expect_same<lenient>(text, path::direct);
    }
    {
        const extra_fields_checked flag(true);
        expect_same<item>(R"({"id": 1, "name": "", "score": 0, "tags": [], "zzz": 1})", path::tree);
        expect_same<strict>(text, path::tree);
        expect_same<lenient>(text, path::direct);
    }
    // A skipped value is checked as the reader checks it.
    for (const char* bad :
         {R"({"on": true, "x": [1,]})", R"({"on": true, "x": "\q"})", R"({"on": true, "x": 1e999})",
          R"({"on": true, "x": {"a" 1}})", R"({"on": true, "x": nul})", R"({"on": true, "x": [}})"})
        expect_same<lenient>(bad, path::tree);
    expect_same<lenient>(R"({"on": true, "x": 123456789012345678901234567890})", path::direct);
}

TEST(read_direct, containers) {
    using dict = std::map<std::string, std::int64_t>;
    expect_same<dict>(R"({"b": 2, "a": 1, "": 0})", path::direct);
    expect_same<dict>(R"({"a": 1, "a": 2})", path::tree);
    expect_same<std::unordered_map<std::string, std::vector<item>>>(
        R"({"x": [{"id": 1, "name": "a", "score": 2.5, "tags": ["p", "q"], "parent": 0}]})",
        path::direct);
    expect_same<std::map<std::int32_t, bool>>(R"({"-5": true, "7": false})", path::direct);
    for (const char* bad : {R"({"x": true})", R"({"2147483648": true})", R"({"1": true, "01": 0})",
                            R"({"1": true, "1": true})", R"({" 1": true})"})
        expect_same<std::map<std::int32_t, bool>>(bad, path::tree);
    expect_same<std::map<level, bool>>(R"({"HIGH": true})");
    expect_same<std::array<std::int64_t, 3>>("[1, 2, 3]", path::direct);
    expect_same<std::array<std::int64_t, 3>>("[1, 2]", path::tree);
    expect_same<std::array<std::int64_t, 3>>("[1, 2, 3, 4]", path::tree);
    expect_same<std::array<std::int64_t, 0>>("[]", path::direct);
    expect_same<std::array<std::int64_t, 0>>("[1]", path::tree);
    expect_same<std::deque<std::string>>(R"(["a", "b"])", path::direct);
    expect_same<std::list<std::optional<double>>>("[1, null, 2.5]", path::direct);
    expect_same<std::optional<std::optional<std::int64_t>>>("null", path::direct);
    expect_same<std::unique_ptr<std::int64_t>>("null", path::direct);
    expect_same<std::shared_ptr<std::vector<level>>>(R"(["low", "HIGH"])", path::direct);
    expect_same<std::vector<level>>(R"(["low", "medium"])", path::tree);
    // Sets, variants and hand-written converters read their values as trees.
    expect_same<std::set<std::int64_t>>("[3, 1, 2]", path::direct);
    // Their converters' failures are located where they were raised, each converter run once.
    expect_same<std::set<std::int64_t>>("[1, 1]", path::direct);
    expect_same<std::vector<shape>>(R"([["Label", "x"], ["Item", {"id": 1, "name": "a",
        "score": 0, "tags": []}]])",
                                    path::direct);
    expect_same<std::vector<shape>>(R"([["Circle"]])", path::direct);
    // A value read as a tree ends where the reader ends it, whatever its strings hold.
    expect_same<std::vector<shape>>(R"([["Label", "a]\"}[\\"], ["Label" , "x"] ])", path::direct);
    for (const char* bad : {R"([["Label", "x"}, ["Label", "y"]])", R"([["Label", "x"] ["Label"]])",
                            R"([["Label", "x)", R"([["Label", "x"]]])", R"({"a": ["Label", "x"]})"})
        expect_same<std::vector<shape>>(bad);
    expect_same<std::vector<std::set<std::int64_t>>>("[[1] , [2,3]\n]", path::direct);
    for (const char* bad : {"[1x]", "[1:2]", "[1\"a\"]", "[-]", "[[1]"})
        expect_same<std::vector<meters>>(bad);
    expect_same<std::vector<meters>>("[1, 2.5]", path::direct);
    expect_same<std::vector<meters>>("[1, true]", path::direct);
    expect_same<std::tuple<std::int64_t, std::string, bool, double>>(R"([1, "a", true, 2])",
                                                                     path::direct);
}

TEST(read_direct, failures_are_the_tree_paths) {
    // The failure, its place and its tree come from the tree path, exactly.
    const auto o = expect_same<std::vector<item>>(
        "[{\"id\": 1, \"name\": \"a\", \"score\": 0, \"tags\": []},\n {\"id\": \"2\"}]",
        path::tree);
    EXPECT_NE(o.failure.find("(at /1/id, line 2, column 9; met \"2\")"), std::string::npos)
        << o.failure;
    const auto p =
        expect_same<std::vector<item>>("[{\"id\": 1,\n \"name\": \"a\x01\"}]", path::tree);
    EXPECT_NE(p.failure.find("unescaped control byte 0x01 in string"), std::string::npos)
        << p.failure;
}

/// Every case of the JSON parsing test suite, read straight from the text as values of several
/// types and skipped as an unknown key's value, is accepted or refused as the reader does.
TEST(read_direct, the_parsing_test_suite) {
    const std::filesystem::path dir = SYLVANE_JSONTESTSUITE_DIR;
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no " << dir;
    std::size_t seen = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        if (e.path().extension() != ".json") continue;
        const std::string text = Sylvane::derive::detail::file_text(e.path());
        expect_same<std::vector<std::string>>(text);
        expect_same<std::vector<std::optional<double>>>(text);
        expect_same<std::vector<std::vector<std::int64_t>>>(text);
        expect_same<std::map<std::string, std::optional<bool>>>(text);
        expect_same<lenient>(R"({"x": )" + text + R"(, "on": true})");
        expect_same<lenient>(R"({"on": true, "x": )" + text + "}");
        ++seen;
    }
    EXPECT_GT(seen, 200u);
}

/// The suite's `n_` cases, which no reader may take, through targets that take any value
/// (the value of an unknown key, a yojson field) under every permissive option: refused as the
/// reader refuses them, or, where an option allows the text, taken as the reader takes it.
TEST(read_direct, the_suites_refused_cases_through_permissive_targets) {
    const std::filesystem::path dir = SYLVANE_JSONTESTSUITE_DIR;
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no " << dir;
    Sylvane::read_options all;
    all.allow_comments = all.allow_trailing_commas = all.allow_nan_infinity =
        all.allow_invalid_utf8 = true;
    std::size_t refused = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (e.path().extension() != ".json" || name.rfind("n_", 0) != 0) continue;
        const std::string text = Sylvane::derive::detail::file_text(e.path());
        for (const Sylvane::read_options& options : {Sylvane::read_options{}, all}) {
            const std::string inside = R"({"on": true, "x": )" + text + "}";
            const auto outcome = expect_same<lenient>(inside, path::either, options);
            expect_same<std::vector<std::optional<std::int64_t>>>(text, path::either, options);
            expect_same<std::map<std::string, std::vector<bool>>>(text, path::either, options);
            bool reader_takes = true;
            try {
                (void)Sylvane::read(inside, options);
            } catch (const Sylvane::parse_error&) {
                reader_takes = false;
            }
            if (!reader_takes) {
                EXPECT_EQ(outcome.failure.rfind("parse_error", 0), 0u) << name;
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 150u);
}

TEST(read_direct, read_file_as_reads_straight_from_the_text) {
    const auto file = std::filesystem::temp_directory_path() / "sylvane_read_direct_test.json";
    {
        std::ofstream out(file, std::ios::binary);
        out << R"([{"id": 7, "name": "n", "score": 1.5, "tags": ["a"], "parent": 6}])";
    }
    const std::size_t before = Sylvane::derive::detail::routes().trees_read;
    const auto items = Sylvane::read_file_as<std::vector<item>>(file);
    EXPECT_EQ(Sylvane::derive::detail::routes().trees_read, before);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].parent, 6);
    std::filesystem::remove(file);

    // A read that fails is reported, not taken for the end of the text: a directory opens, and
    // reading it fails. (It was read as an empty text, and failed as bad JSON.)
    const auto directory = std::filesystem::temp_directory_path();
    try {
        Sylvane::read_file_as<std::vector<item>>(directory);
        ADD_FAILURE() << "read a directory";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::is_a_directory);
        EXPECT_EQ(std::string(e.what()).rfind("cannot read " + directory.string(), 0), 0u);
    }
}

TEST(read_direct, damaged_records_fail_as_the_tree_path_does) {
    std::string text = "[";
    for (int i = 0; i < 40; ++i) {
        text += R"({"id": )" + std::to_string(i * 7919) + R"(, "name": "user-\u00e9)" +
                std::to_string(i) + R"(", "score": )" + std::to_string(i * 0.25) +
                R"(, "tags": ["red", "blue"], "parent": )" + (i % 2 ? "null" : "3") + "},\n";
    }
    text.back() = ']';
    text[text.size() - 2] = ' ';
    expect_same<std::vector<item>>(text, path::direct);
    direct_test::expect_same_when_damaged<std::vector<item>>(text, 200);
    direct_test::expect_same_when_damaged<std::vector<lenient>>(text, 50);
}

}  // namespace
