// Enumerations and variants tagged by integer codes, both ways, through trees and straight
// between text and value; unknown codes fail located, with the codes allowed.

#include "derive_support.hpp"

#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include <sylvane/sylvane.hpp>

namespace coded {

enum class http : std::int16_t { ok = 200, not_found = 404 };
SYLVANE_ENUM_WITH(http, (as_integer), ok, not_found)
enum class kind { push, pull };
SYLVANE_ENUM(kind, (push, 1), (pull, -2))

struct reply {
    http status = http::ok;
    kind k = kind::push;
    bool operator==(const reply&) const = default;
};
SYLVANE_RECORD(reply, status, k)

struct circle {
    double r = 0;
    bool operator==(const circle&) const = default;
};
SYLVANE_RECORD(circle, r)
struct blank {
    bool operator==(const blank&) const = default;
};
struct listed : std::variant<circle, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(listed, (as_integer), (circle), (blank))
struct internal : std::variant<circle, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(internal, (internal_tag("type")), (circle, 10), (blank, 20))
struct adjacent : std::variant<circle, blank> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(adjacent, (adjacent_tag("t", "c")), (circle, 1), (blank, 0))

}  // namespace coded

namespace {

using namespace derive_test;

TEST(integer_tags, enumerations_by_value_or_by_given_code) {
    const auto r =
        both_ways<coded::reply>(R"({"status": 404, "k": -2})", R"({"status":404,"k":-2})");
    EXPECT_EQ(r.status, coded::http::not_found);
    EXPECT_EQ(r.k, coded::kind::pull);
    // Codes are dictionary keys as their digits.
    const auto m =
        both_ways<std::map<coded::kind, std::int64_t>>(R"({"1": 5, "-2": 6})", R"({"1":5,"-2":6})");
    EXPECT_EQ(m.at(coded::kind::pull), 6);
}

TEST(integer_tags, an_unknown_code_fails_located_with_the_codes_allowed) {
    for (const char* text : {R"({"status": 500, "k": 1})", R"({"status": "ok", "k": 1})",
                             R"({"status": 200.0, "k": 1})"}) {
        const auto e = failure_of<coded::reply>(text);
        EXPECT_EQ(e.message(), "http_of_yojson: unexpected variant constructor") << text;
        EXPECT_EQ(e.pointer(), "/status");
        EXPECT_EQ(e.expected(), "200, 404");
    }
    EXPECT_EQ(failure_of<coded::reply>(R"({"status": 500, "k": 1})").met(), "500");
    using by_kind = std::map<coded::kind, int>;
    EXPECT_EQ(failure_of<by_kind>(R"({"3": 1})").message(),
              "map_of_yojson: unknown enumeration key");
}

TEST(integer_tags, variants_in_every_tagged_form) {
    EXPECT_EQ(
        std::get<coded::circle>(both_ways<coded::listed>("[0, {\"r\": 1.5}]", R"([0,{"r":1.5}])"))
            .r,
        1.5);
    EXPECT_TRUE(std::holds_alternative<coded::blank>(both_ways<coded::listed>("1", "[1]")));
    both_ways<std::vector<coded::internal>>(R"([{"type": 10, "r": 2}, {"type": 20}])",
                                            R"([{"type":10,"r":2.0},{"type":20}])");
    both_ways<coded::adjacent>(R"({"t": 1, "c": {"r": 0}})", R"({"t":1,"c":{"r":0.0}})");
    // A code that is none, or no integer at all, fails on the object, as through the tree.
    for (const char* code : {"30", "10.0", "123456789012345678901234", "\"10\""}) {
        const auto e = failure_of<std::vector<coded::internal>>(std::string(R"([{"type": )") +
                                                                code + R"(, "r": 2}])");
        EXPECT_EQ(e.pointer(), "/0") << code;
        EXPECT_EQ(e.expected(), "10, 20");
        EXPECT_EQ(e.message(), "internal_of_yojson: unexpected variant constructor");
    }
    const yojson string_tag = Sylvane::read(R"({"type": "10"})");
    expect_failure([&] { Sylvane::of_yojson<coded::internal>(string_tag); },
                   "internal_of_yojson: unexpected variant constructor", string_tag);
    const yojson too_many = Sylvane::read(R"([0, {"r": 1}, 2])");
    expect_failure([&] { Sylvane::of_yojson<coded::listed>(too_many); },
                   "listed_of_yojson: sum tag \"0\" has incorrect number of arguments", too_many);
}

}  // namespace
