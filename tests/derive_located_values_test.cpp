// Located failures show the value met and, for enumerations and variants, the tags allowed;
// the library's own messages stay as they are.

#include "derive_support.hpp"

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include <sylvane/sylvane.hpp>

namespace shown {

enum class status { active, paused };
SYLVANE_ENUM(status, active, (paused, "on hold"))

struct point {
    std::int64_t x = 0;
    std::int64_t y = 0;
};
SYLVANE_RECORD(point, x, y)

struct job {
    std::string name;
    status state = status::active;
    point at;
};
SYLVANE_RECORD(job, name, state, at)

struct push {
    std::int64_t size = 0;
};
SYLVANE_RECORD(push, size)
struct ping {};
struct event : std::variant<push, ping> {
    using variant::variant;
};
SYLVANE_VARIANT_WITH(event, (internal_tag("kind")), (push, "push"), (ping, "ping"))
struct listed : std::variant<push, ping> {
    using variant::variant;
};
SYLVANE_VARIANT(listed, (push, "Push"), (ping, "Ping"))

}  // namespace shown

namespace {

using Sylvane::located_error;
using derive_test::failure_of;

TEST(located_values, an_unknown_tag_shows_the_tag_met_and_those_allowed) {
    // Read straight from the text, and in the list form, which goes through a tree.
    for (const char* text : {R"({"name": "a", "state": "archived", "at": {"x": 1, "y": 2}})",
                             R"({"name": "a", "state": ["archived"], "at": {"x": 1, "y": 2}})"}) {
        const located_error e = failure_of<shown::job>(text);
        EXPECT_EQ(e.message(), "status_of_yojson: unexpected variant constructor");
        EXPECT_EQ(e.pointer(), "/state");
        EXPECT_EQ(e.expected(), R"("active", "on hold")");
        const std::string what = e.what();
        std::string tail = "; met ";
        tail += e.met();
        tail += R"(; expected one of "active", "on hold"))";
        EXPECT_EQ(what.substr(what.size() - tail.size()), tail);
        EXPECT_NE(what.find("archived"), std::string::npos) << what;
    }
    EXPECT_EQ(failure_of<shown::job>(R"({"name": "a", "state": "archived", "at": {}})").met(),
              "\"archived\"");
}

TEST(located_values, variants_show_the_tags_allowed_whatever_their_form) {
    const located_error unknown =
        failure_of<std::vector<shown::event>>(R"([{"kind": "ping"}, {"kind": "pull", "size": 1}])");
    EXPECT_EQ(unknown.pointer(), "/1");
    EXPECT_EQ(unknown.met(), R"({"kind":"pull","size":1})");
    EXPECT_EQ(unknown.expected(), R"("push", "ping")");
    // No tag at all is as unknown.
    EXPECT_EQ(failure_of<shown::event>(R"({"size": 1})").expected(), R"("push", "ping")");
    const located_error listed = failure_of<shown::listed>(R"(["Pull", {"size": 1}])");
    EXPECT_EQ(listed.expected(), R"("Push", "Ping")");
    EXPECT_EQ(std::string(listed.what()),
              "Sylvane__Treeform.Of_yojson_error: listed_of_yojson: unexpected variant "
              R"(constructor (at the root, line 1, column 1; met ["Pull",{"size":1}]; )"
              R"(expected one of "Push", "Ping"))");
    // A failure other than the tag's names no tags.
    EXPECT_EQ(failure_of<shown::event>(R"({"kind": "push", "size": "1"})").expected(), "");
}

TEST(located_values, null_where_a_record_is_expected_shows_null) {
    const located_error e =
        failure_of<shown::job>(R"({"name": "a", "state": "active", "at": null})");
    EXPECT_EQ(e.message(), "point_of_yojson: list instead of atom for record expected");
    EXPECT_EQ(e.met(), "null");
    EXPECT_EQ(e.expected(), "");
    EXPECT_EQ(std::string(e.what()),
              "Sylvane__Treeform.Of_yojson_error: point_of_yojson: list instead of atom for "
              "record expected (at /at, line 1, column 40; met null)");
}

TEST(located_values, a_large_value_is_shown_shortened) {
    std::string numbers = "[";
    for (int i = 0; i < 10000; ++i) {
        if (i != 0) numbers += ',';
        numbers += std::to_string(i);
    }
    numbers += "]";
    const located_error e = failure_of<std::vector<std::string>>("[" + numbers + "]");
    EXPECT_EQ(e.met().substr(0, 10), "[0,1,2,3,4");
    EXPECT_LE(e.met().size(), 70u);
    EXPECT_EQ(e.met().substr(e.met().size() - 3), "...");
    // A long string is cut at the start of a character, never inside one.
    std::string accents;
    for (int i = 0; i < 100; ++i) accents += "\xc3\xa9";
    const located_error s = failure_of<std::int64_t>("\"" + accents + "\"");
    const std::string_view shown = s.met().substr(0, s.met().size() - 3);
    EXPECT_EQ(shown.substr(0, 1), "\"");
    EXPECT_EQ((shown.size() - 1) % 2, 0u) << shown;
    // Keys and strings are escaped as the writer escapes them.
    EXPECT_EQ(failure_of<shown::point>(R"({"x": "a\"b\n"})").met(), R"("a\"b\n")");
}

TEST(located_values, failures_placed_in_a_stream_keep_the_value_and_tags) {
    std::istringstream in(
        "{\"name\": \"a\", \"state\": \"active\", \"at\": {\"x\": 1, \"y\": 2}}\n"
        "{\"name\": \"b\", \"state\": \"gone\", \"at\": {\"x\": 1, \"y\": 2}}\n");
    try {
        for ([[maybe_unused]] const shown::job& j : Sylvane::read_lines<shown::job>(in)) {
        }
        ADD_FAILURE() << "no failure";
    } catch (const located_error& e) {
        EXPECT_EQ(e.line(), 2u);
        EXPECT_EQ(e.met(), "\"gone\"");
        EXPECT_EQ(e.expected(), R"("active", "on hold")");
        EXPECT_NE(std::string(e.what()).find("line 2, column 24; met \"gone\"; expected one of"),
                  std::string::npos)
            << e.what();
    }
}

}  // namespace
