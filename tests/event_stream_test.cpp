// The benchmarks' event stream (an internally tagged variant of seven record kinds) against its
// model: read straight from the text as through a tree, written back without losing a key, and
// its escaped and non-ASCII strings decoded to the phrases they were written from.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <set>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <sylvane/read_as.hpp>
#include <sylvane/sylvane.hpp>

#include "../bench/event_stream.hpp"

namespace {

using event_stream::event;
using events = std::vector<event>;

constexpr std::size_t small = 200;

/// Reports the first event where `a` and `b` differ, as its text on each side.
void expect_same(const events& a, const events& b, std::string_view what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!(a[i] == b[i])) {
            ADD_FAILURE() << what << ": event " << i << " differs:\n"
                          << Sylvane::write(a[i]) << "\n"
                          << Sylvane::write(b[i]);
            return;
        }
    }
}

TEST(event_stream, reads_every_kind_and_round_trips) {
    const event_stream::stream s = event_stream::make_event_stream(small);
    const events v = Sylvane::read_as<events>(s.text);
    ASSERT_EQ(v.size(), small);
    std::array<std::size_t, event_stream::kinds> seen{};
    for (const event& e : v) ++seen[e.index()];
    EXPECT_EQ(seen, s.per_kind);
    for (std::size_t k = 0; k < seen.size(); ++k) EXPECT_GT(seen[k], 0u) << "kind " << k;

    expect_same(v, Sylvane::of_yojson<events>(Sylvane::read(s.text)), "read_as against the tree");

    // The model keeps every key of the text, in its order, absent "org" left out.
    const std::string written = Sylvane::write(v);
    EXPECT_TRUE(Sylvane::read(written) == Sylvane::read(s.text));
    expect_same(Sylvane::read_as<events>(written), v, "read back from write(v)");
    expect_same(Sylvane::read_as<events>(Sylvane::write(Sylvane::yojson_of(v))), v,
                "read back from the tree's text");
}

TEST(event_stream, compact_and_indented_texts_read_alike) {
    const std::string compact = event_stream::make_event_stream(small, 0).text;
    const std::string indented = event_stream::make_event_stream(small, 2).text;
    EXPECT_EQ(compact.find('\n'), std::string::npos);
    EXPECT_EQ(indented.compare(0, 14, "[\n  {\n    \"typ"), 0) << indented.substr(0, 20);
    expect_same(Sylvane::read_as<events>(indented), Sylvane::read_as<events>(compact),
                "indented against compact");
}

TEST(event_stream, strings_decode_to_their_phrases) {
    const std::string text = event_stream::make_event_stream(small).text;
    // Comment bodies are written with \u escapes, surrogate pairs included; the rest as UTF-8.
    EXPECT_NE(text.find("\\ud83d\\ude80"), std::string::npos);
    EXPECT_NE(text.find("🚀"), std::string::npos);
    EXPECT_NE(text.find("\\u0007"), std::string::npos);

    const std::set<std::string_view> phrases(event_stream::phrases.begin(),
                                             event_stream::phrases.end());
    std::set<std::string> seen, seen_escaped;
    const auto check = [&](const std::string& s) {
        EXPECT_TRUE(phrases.count(s)) << "not a phrase: " << s;
        seen.insert(s);
    };
    for (const event& e : Sylvane::read_as<events>(text)) {
        if (const auto* push = std::get_if<event_stream::push_event>(&e)) {
            for (const auto& c : push->payload.commits) check(c.message);
        } else if (const auto* issues = std::get_if<event_stream::issues_event>(&e)) {
            check(issues->payload.issue.title);
            if (issues->payload.issue.body) check(*issues->payload.issue.body);
        } else if (const auto* comment = std::get_if<event_stream::issue_comment_event>(&e)) {
            check(comment->payload.comment.body);
            seen_escaped.insert(comment->payload.comment.body);
        }
    }
    EXPECT_EQ(seen.size(), phrases.size());
    // Among the escaped ones, some beyond ASCII.
    EXPECT_TRUE(std::any_of(seen_escaped.begin(), seen_escaped.end(), [](const std::string& s) {
        return std::any_of(s.begin(), s.end(), [](char c) { return c & 0x80; });
    }));
}

}  // namespace
