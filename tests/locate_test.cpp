// `locate`: the JSON Pointer of a failure's tree inside the converted tree.

#include "derive_support.hpp"

#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace loc {
struct line {
    std::string sku;
    std::int64_t qty = 0;
};
SYLVANE_RECORD(line, sku, qty)
struct order {
    std::int64_t id = 0;
    std::vector<line> items;
    std::optional<std::pair<std::string, line>> bonus;
};
SYLVANE_RECORD(order, id, items, bonus)
struct book {
    std::vector<order> orders;
    Sylvane::hashtbl<std::string, std::tuple<std::int64_t, line, bool>> notes;
};
SYLVANE_RECORD(book, orders, notes)
struct tagged_line {};
using event = std::variant<line, tagged_line>;
SYLVANE_VARIANT(event, (line, "Line"), (tagged_line, "Tagged"))
}  // namespace loc

namespace {

using namespace derive_test;
using Sylvane::locate;
using Sylvane::of_yojson;

yojson line_tree(yojson qty) {
    return Obj({{"sku", Str("s")}, {"qty", std::move(qty)}});
}
yojson order_tree(std::vector<yojson> items, yojson bonus = yojson::Null()) {
    return Obj({{"id", Int(1)}, {"items", List(std::move(items))}, {"bonus", std::move(bonus)}});
}

/// The pointer that `locate` gives for the failure of converting `root` as a `T`.
template <class T>
std::optional<std::string> failure_place(const yojson& root) {
    try {
        of_yojson<T>(root);
    } catch (const Of_yojson_error& e) {
        return locate(root, e);
    }
    ADD_FAILURE() << "no failure";
    return std::nullopt;
}

TEST(locate, through_nested_records_and_lists) {
    const yojson good = order_tree({line_tree(Int(1))});
    const yojson bad = order_tree({line_tree(Int(1)), line_tree(Str("2"))});
    const yojson root = Obj({{"orders", List({good, good, good, bad})}, {"notes", List({})}});
    EXPECT_EQ(failure_place<loc::book>(root), "/orders/3/items/1/qty");
}

TEST(locate, through_options_pairs_tables_tuples_and_variants) {
    const yojson bonus = List({Str("b"), line_tree(yojson::Null())});
    const yojson root = Obj({{"orders", List({order_tree({}, bonus)})}, {"notes", List({})}});
    EXPECT_EQ(failure_place<loc::book>(root), "/orders/0/bonus/1/qty");

    const yojson note = List({Str("k"), List({Int(1), line_tree(Str("x")), yojson::Bool(true)})});
    const yojson root2 = Obj({{"orders", List({})}, {"notes", List({note})}});
    EXPECT_EQ(failure_place<loc::book>(root2), "/notes/0/1/1/qty");

    const yojson events = List({List({Str("Tagged")}), List({Str("Line"), line_tree(Str("q"))})});
    EXPECT_EQ(failure_place<std::vector<loc::event>>(events), "/1/1/qty");
}

TEST(locate, the_reported_tree_may_be_a_container) {
    const yojson root = Obj({{"orders", List({order_tree({Int(3)})})}, {"notes", List({})}});
    EXPECT_EQ(failure_place<loc::book>(root), "/orders/0/items/0");
    const yojson top = List({});
    EXPECT_EQ(failure_place<loc::line>(top), "");
}

TEST(locate, keys_are_escaped) {
    const yojson inner = Int(0);
    const yojson root = Obj({{"a/b", Obj({{"m~n", List({Int(1), inner})}})}});
    const yojson& target = root.as_assoc()[0].second.as_assoc()[0].second.as_list()[1];
    EXPECT_EQ(locate(root, &target), "/a~1b/m~0n/1");
}

TEST(locate, corner_cases) {
    const yojson root = List({Int(1), List({Int(2)})});
    const yojson elsewhere = Int(2);
    EXPECT_EQ(locate(root, &elsewhere), std::nullopt);
    EXPECT_EQ(locate(root, nullptr), std::nullopt);
    EXPECT_EQ(locate(root, &root), "");
    EXPECT_EQ(locate(elsewhere, &root), std::nullopt);

    // A payload shared at two places is found at the first.
    const yojson shared = List({Int(7)});
    const yojson twice = Obj({{"a", shared}, {"b", shared}});
    EXPECT_EQ(locate(twice, &shared.as_list()[0]), "/a/0");
    // ...and searched once, so heavy sharing stays linear.
    yojson tower = List({Int(0)});
    for (int i = 0; i < 64; ++i) tower = List({tower, tower});
    EXPECT_EQ(locate(tower, &elsewhere), std::nullopt);
}

TEST(locate, deep_trees_use_no_stack) {
    yojson deep = Int(0);
    for (int i = 0; i < 200000; ++i) deep = List({std::move(deep)});
    const yojson* leaf = &deep;
    while (leaf->kind() == Sylvane::yojson_kind::List) leaf = &leaf->as_list()[0];
    const auto p = locate(deep, leaf);
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->size(), 2u * 200000);
}

}  // namespace
