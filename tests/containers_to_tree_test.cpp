#include <sylvane/treeform.hpp>

#include <gtest/gtest.h>

#include "tree_test_support.hpp"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <span>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

using Sylvane::yojson;
using namespace Sylvane::Treeform;

namespace {

using tree_test::I;
using tree_test::L;
using tree_test::S;

struct refused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// An element converter that logs each value it is given, named by `tag`, and refuses negative
// values by throwing `refused` with the tag and the value.
struct recording {
    std::vector<std::string>* log;
    std::string tag;
    yojson operator()(std::int64_t x) const {
        std::string entry = tag + std::to_string(x);
        log->push_back(entry);
        if (x < 0) throw refused(entry);
        return I(x);
    }
};

// The message of the `refused` that `f` throws.
template <class F>
std::string refusal(F f) {
    try {
        f();
    } catch (const refused& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

using log_t = std::vector<std::string>;

}  // namespace

TEST(containers_to_tree, call_order_differs_from_output_order) {
    log_t log;
    const recording a{&log, "a"}, b{&log, "b"}, c{&log, "c"}, e{&log, ""};
    EXPECT_EQ(yojson_of_pair(a, b, std::pair<std::int64_t, std::int64_t>{1, 2}), L({I(1), I(2)}));
    EXPECT_EQ(log, (log_t{"b2", "a1"}));

    log.clear();
    EXPECT_EQ(
        yojson_of_triple(a, b, c)(std::tuple<std::int64_t, std::int64_t, std::int64_t>{1, 2, 3}),
        L({I(1), I(2), I(3)}));
    EXPECT_EQ(log, (log_t{"c3", "b2", "a1"}));

    const std::vector<std::int64_t> xs{0, 1, 2};
    log.clear();
    EXPECT_EQ(yojson_of_list(e, xs), L({I(0), I(1), I(2)}));
    EXPECT_EQ(log, (log_t{"0", "1", "2"}));
    log.clear();
    EXPECT_EQ(yojson_of_array(e, xs), L({I(0), I(1), I(2)}));
    EXPECT_EQ(log, (log_t{"2", "1", "0"}));

    log.clear();
    EXPECT_EQ(yojson_of_list(e, std::vector<std::int64_t>{}), L({}));
    EXPECT_EQ(yojson_of_array(e, std::vector<std::int64_t>{}), L({}));
    EXPECT_EQ(yojson_of_hashtbl(e, e, Sylvane::hashtbl<std::int64_t, std::int64_t>{}), L({}));
    EXPECT_TRUE(log.empty());

    Sylvane::hashtbl<std::int64_t, std::int64_t> t;
    t.add(1, 10);
    EXPECT_EQ(yojson_of_hashtbl(a, b, t), L({L({I(1), I(10)})}));
    EXPECT_EQ(log, (log_t{"b10", "a1"})) << "the value before the key";
}

TEST(containers_to_tree, stop_at_the_first_failure_in_call_order) {
    log_t log;
    const recording a{&log, "a"}, b{&log, "b"}, c{&log, "c"}, e{&log, ""};
    EXPECT_EQ(refusal([&] {
                  yojson_of_pair(a, b, std::pair<std::int64_t, std::int64_t>{-1, -2});
              }),
              "b-2");
    EXPECT_EQ(log, (log_t{"b-2"}));

    log.clear();
    EXPECT_EQ(refusal([&] {
                  yojson_of_triple(a, b, c,
                                   std::tuple<std::int64_t, std::int64_t, std::int64_t>{-1, -2, 3});
              }),
              "b-2");
    EXPECT_EQ(log, (log_t{"c3", "b-2"}));

    const std::vector<std::int64_t> xs{0, -1, 2, -3, 4};
    log.clear();
    EXPECT_EQ(refusal([&] { yojson_of_list(e, xs); }), "-1");
    EXPECT_EQ(log, (log_t{"0", "-1"}));
    log.clear();
    EXPECT_EQ(refusal([&] { yojson_of_array(e, xs); }), "-3");
    EXPECT_EQ(log, (log_t{"4", "-3"})) << "elements 0 to 2 are never converted";

    Sylvane::hashtbl<std::int64_t, std::int64_t> t;
    t.add(-1, -2);
    log.clear();
    EXPECT_EQ(refusal([&] { yojson_of_hashtbl(a, b, t); }), "b-2");
    EXPECT_EQ(log, (log_t{"b-2"}));
}

TEST(containers_to_tree, option_ref_and_lazy_add_no_tree) {
    EXPECT_EQ(yojson_of_option(yojson_of_int, std::optional<std::int64_t>{}), yojson::Null());
    EXPECT_EQ(yojson_of_option(yojson_of_int, std::optional<std::int64_t>{4}), I(4));
    EXPECT_EQ(yojson_of_option(yojson_of_unit, std::optional<Sylvane::unit>{Sylvane::unit{}}),
              yojson::Null());
    auto nested = yojson_of_option(yojson_of_option(yojson_of_int));
    using opt2 = std::optional<std::optional<std::int64_t>>;
    EXPECT_EQ(nested(opt2{}), yojson::Null());
    EXPECT_EQ(nested(opt2{std::optional<std::int64_t>{}}), yojson::Null());
    EXPECT_EQ(nested(opt2{std::optional<std::int64_t>{1}}), I(1));

    Sylvane::ref<std::int64_t> r{1};
    const yojson before = yojson_of_ref(yojson_of_int, r);
    *r = 2;
    EXPECT_EQ(before, I(1)) << "the cell is read at the call";
    EXPECT_EQ(yojson_of_ref(yojson_of_bool, Sylvane::ref<bool>{true}), yojson::Bool(true));

    int runs = 0;
    Sylvane::lazy<std::int64_t> l{[&] { return std::int64_t{++runs}; }};
    EXPECT_EQ(yojson_of_lazy_t(yojson_of_int, l), I(1));
    EXPECT_EQ(yojson_of_lazy_t(yojson_of_int, l), I(1));
    EXPECT_EQ(runs, 1);
    log_t log;
    Sylvane::lazy<std::int64_t> failing{[]() -> std::int64_t { throw refused("computation"); }};
    EXPECT_EQ(refusal([&] { yojson_of_lazy_t(recording{&log, ""}, failing); }), "computation");
    EXPECT_TRUE(log.empty()) << "the element converter is not called";
}

TEST(containers_to_tree, tables_round_trip_with_their_hiding_order) {
    Sylvane::hashtbl<std::string, std::int64_t> t;
    t.add("k", 1);
    t.add("other", 5);
    t.add("k", 2);
    t.add("k", 3);
    const yojson tree = yojson_of_hashtbl(yojson_of_string, yojson_of_int, t);
    ASSERT_EQ(tree.as_list().size(), t.length()) << "one entry per binding";
    std::vector<std::int64_t> of_k;
    for (const yojson& entry : tree.as_list())
        if (entry.as_list()[0] == S("k")) of_k.push_back(entry.as_list()[1].as_int());
    EXPECT_EQ(of_k, (std::vector<std::int64_t>{1, 2, 3})) << "one key's entries oldest first";
    EXPECT_TRUE(hashtbl_of_yojson(string_of_yojson, int_of_yojson, tree) == t);

    // The entries come out in the reverse of the fold's order.
    std::vector<yojson> folded = t.fold(
        [](const std::string& k, std::int64_t v, std::vector<yojson> acc) {
            acc.insert(acc.begin(), L({S(k), I(v)}));
            return acc;
        },
        std::vector<yojson>{});
    EXPECT_EQ(tree, L(std::move(folded)));
}

TEST(containers_to_tree, standard_containers) {
    std::array<std::int64_t, 3> a{1, 2, 3};
    std::deque<std::int64_t> d{1, 2, 3};
    const yojson want = L({I(1), I(2), I(3)});
    EXPECT_EQ(yojson_of_list(yojson_of_int, a), want);
    EXPECT_EQ(yojson_of_list(yojson_of_int, std::span(a)), want);
    EXPECT_EQ(yojson_of_list(yojson_of_int, d), want);
    EXPECT_EQ(yojson_of_array(yojson_of_int, std::span<const std::int64_t>(a)), want);
    EXPECT_EQ(yojson_of_array(yojson_of_int, d), want);

    const std::map<std::string, std::int64_t> m{{"a", 1}, {"b", 2}};
    EXPECT_EQ(yojson_of_hashtbl(yojson_of_string, yojson_of_int, m),
              L({L({S("a"), I(1)}), L({S("b"), I(2)})}))
        << "a std::map keeps its order";
    const std::unordered_map<std::string, std::int64_t> um{{"a", 1}};
    EXPECT_EQ(yojson_of_hashtbl(yojson_of_string, yojson_of_int)(um), L({L({S("a"), I(1)})}));

    // An rvalue container hands its elements over; a view never does.
    std::vector<std::string> names{"a string too long for the small buffer"};
    std::vector<std::string> kept = names;
    EXPECT_EQ(yojson_of_list(yojson_of_string, std::span(kept)), L({S(names[0])}));
    EXPECT_EQ(kept, names);
    EXPECT_EQ(yojson_of_list(yojson_of_string, std::move(kept)), L({S(names[0])}));
    EXPECT_TRUE(kept[0].empty()) << "moved into the tree";
}

TEST(containers_to_tree, CornerCases) {
    // An element converter that shrinks the array it reads cannot make it read past the end.
    std::vector<std::int64_t> xs{1, 2, 3, 4};
    auto shrinking = [&](std::int64_t x) {
        xs.resize(1);
        return I(x);
    };
    EXPECT_THROW(yojson_of_array(shrinking, xs), std::out_of_range);

    // Tuples become lists whatever their element types; a pair of pairs nests.
    auto pp = yojson_of_pair(yojson_of_pair(yojson_of_int, yojson_of_int), yojson_of_string);
    EXPECT_EQ(pp(std::pair{std::pair<std::int64_t, std::int64_t>{1, 2}, std::string("x")}),
              L({L({I(1), I(2)}), S("x")}));
    static_assert(sizeof(yojson_of_list(yojson_of_option(yojson_of_int))) == 1,
                  "a composed converter holds nothing");
}
