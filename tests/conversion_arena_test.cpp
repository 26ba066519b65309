// `yojson_of` builds its result in an arena of its own unless a scope is open: few allocations,
// the same trees, nothing kept once the trees are dropped, nothing leaked when a converter
// throws. Allocations are counted through a replaced `operator new`; AddressSanitizer and
// LeakSanitizer check the lifetimes.
#include <sylvane/derive/derive.hpp>
#include <sylvane/json_tree/arena_scope.hpp>
#include <sylvane/json_tree/memory.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/read_as.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "allocation_count.hpp"

namespace shop {
struct line {
    std::string sku;
    std::int64_t qty = 0;
    std::vector<std::string> tags;
    std::optional<std::string> note;
};
SYLVANE_RECORD(line, sku, qty, tags, note)

/// A record that keeps a part of its document as a tree.
struct raw_line {
    std::int64_t id = 0;
    Sylvane::yojson raw;
};
SYLVANE_RECORD(raw_line, id, raw)

/// Hand-written converters that call `yojson_of` for their parts, and may fail on the way.
struct order {
    std::vector<line> lines;
    std::map<std::string, std::int64_t> totals;
    bool fail_after_lines = false;
};
inline Sylvane::yojson yojson_of_order(const order& o) {
    Sylvane::assoc_builder b(2, 11);
    b.push_back("lines", Sylvane::yojson_of(o.lines));
    if (o.fail_after_lines) throw std::runtime_error("order refused");
    b.push_back("totals", Sylvane::yojson_of(o.totals));
    return std::move(b).finish();
}
inline order order_of_yojson(const Sylvane::yojson&) {
    return {};
}
SYLVANE_CONVERTERS(order, yojson_of_order, order_of_yojson)
}  // namespace shop

namespace {

using Sylvane::yojson;
using Sylvane::yojson_of;

shop::line make_line(int i) {
    return {"sku-" + std::to_string(i) + "-with-a-long-name",
            i,
            {"red", "a tag too long for any small-string buffer"},
            i % 2 == 0 ? std::optional<std::string>("fragile, handle with care") : std::nullopt};
}

std::vector<shop::line> make_lines(int n) {
    std::vector<shop::line> v;
    for (int i = 0; i < n; ++i) v.push_back(make_line(i));
    return v;
}

/// Allocations made by `f`.
template <class F>
long allocations_of(F f) {
    const long before = allocations.load();
    f();
    return allocations.load() - before;
}

// The derived converter called by name stays on the heap, a node an allocation; `yojson_of`
// puts the same tree in one arena.
TEST(conversion_arena, yojson_of_builds_the_same_tree_in_a_few_allocations) {
    const auto lines = make_lines(1000);
    yojson on_heap, in_arena;
    const long heap = allocations_of([&] {
        Sylvane::list_builder b(lines.size());
        for (const auto& l : lines) b.push_back(shop::yojson_of_line(l));
        on_heap = std::move(b).finish();
    });
    const long arena = allocations_of([&] { in_arena = yojson_of(lines); });
    if (allocations_counted()) {
        EXPECT_GT(heap, 4000);
        EXPECT_LT(arena, 50) << "chunks, not nodes";
    }
    EXPECT_EQ(in_arena, on_heap);
    EXPECT_EQ(write(in_arena), write(on_heap));
}

TEST(conversion_arena, scalars_and_lone_strings_take_no_arena) {
    if (!allocations_counted()) GTEST_SKIP() << "allocations are not counted";
    EXPECT_EQ(allocations_of([] { (void)yojson_of(std::int64_t{42}); }), 0);
    EXPECT_EQ(allocations_of([] { (void)yojson_of(std::optional<std::int64_t>()); }), 0);
    EXPECT_EQ(allocations_of([] { (void)yojson_of(std::vector<std::string>()); }), 1);
    const std::string s = "a string too long for any small-string buffer";
    EXPECT_EQ(allocations_of([&] { (void)yojson_of(s); }), 1) << "one heap node";
    const std::vector<std::int64_t> ints{1, 2, 3};
    EXPECT_EQ(allocations_of([&] {
                  (void)Sylvane::Treeform::yojson_of_list(Sylvane::Treeform::yojson_of_int, ints);
              }),
              1)
        << "the library units keep to the heap";
}

// A converter's own calls of `yojson_of` make their nodes in the outer call's arena, and a
// scope the user opened is used instead of any arena of the conversion's own.
TEST(conversion_arena, only_the_outermost_call_or_the_users_scope_decides) {
    const shop::order o{make_lines(3), {{"eur", 1250}, {"usd", 1400}}};
    yojson t;
    (void)yojson_of(o);  // the first conversion on a thread sizes the arena of the next ones
    const long made = allocations_of([&] { t = yojson_of(o); });
    if (allocations_counted()) {
        EXPECT_EQ(made, 1);
    }
    EXPECT_EQ(write(t.as_assoc()[1].second), R"({"eur":1250,"usd":1400})");

    const shop::order small{make_lines(1), {{"eur", 1}}};
    yojson in_scope;
    {
        Sylvane::arena_scope scope;
        const long in_arena = allocations_of([&] { in_scope = yojson_of(small); });
        EXPECT_EQ(in_arena, 0);
    }
    EXPECT_EQ(in_scope, yojson_of(small));
}

TEST(conversion_arena, a_converter_that_throws_leaves_nothing_behind) {
    const yojson kept = yojson_of(make_lines(2));
    const shop::order o{make_lines(50), {{"eur", 1}}, true};
    const std::vector<shop::order> orders{{}, o};
    // Large chunks freed stay with the thread for its next tree: none is counted as left.
    Sylvane::release_cached_memory();
    const long before = live();
    EXPECT_THROW((void)yojson_of(o), std::runtime_error);
    EXPECT_THROW((void)yojson_of(orders), std::runtime_error);
    {
        Sylvane::arena_scope scope;
        EXPECT_THROW((void)yojson_of(o), std::runtime_error);
    }
    Sylvane::release_cached_memory();
    EXPECT_EQ(live(), before);
    // The thread makes trees as before: no scope is left open.
    const long made =
        allocations_of([] { (void)yojson::String("a node alone on the heap again"); });
    if (allocations_counted()) {
        EXPECT_EQ(made, 1);
    }
    EXPECT_EQ(kept.as_list()[1].as_assoc()[0].second.as_string(), "sku-1-with-a-long-name");
}

// Each result keeps its own arena, whatever happens to the others, and any part keeps it.
TEST(conversion_arena, results_live_on_their_own_and_across_threads) {
    // Whichever thread drops the last reference to `big` keeps its chunks for its next tree:
    // this thread's kept memory is given back before each count.
    Sylvane::release_cached_memory();
    const long before = live();
    {
        std::vector<yojson> results;
        for (int i = 0; i < 100; ++i) results.push_back(yojson_of(make_line(i)));
        yojson part = results[42].as_assoc()[2].second;
        results.erase(results.begin(), results.begin() + 50);
        EXPECT_EQ(write(part), R"(["red","a tag too long for any small-string buffer"])");
        EXPECT_EQ(results[0].as_assoc()[0].second.as_string(), "sku-50-with-a-long-name");

        yojson big = yojson_of(make_lines(2000));
        std::vector<std::thread> threads;
        for (int n = 0; n < 4; ++n)
            threads.emplace_back([n, copy = big] {
                for (std::size_t i = 0; i < 2000; i += 7) {
                    const yojson sku = copy.as_list()[i].as_assoc()[0].second;
                    ASSERT_EQ(sku.as_string(), "sku-" + std::to_string(i) + "-with-a-long-name")
                        << n;
                }
            });
        big = yojson();
        for (auto& th : threads) th.join();
    }
    Sylvane::release_cached_memory();
    EXPECT_EQ(live(), before) << "every arena freed";
}

// Many small results one after another: each holds about its own nodes, not a large chunk.
TEST(conversion_arena, alike_small_results_take_one_allocation_each) {
    std::vector<shop::line> lines = make_lines(101);
    std::vector<yojson> results;
    results.reserve(lines.size());
    results.push_back(yojson_of(lines[0]));
    const long made = allocations_of([&] {
        for (std::size_t i = 1; i < lines.size(); ++i) results.push_back(yojson_of(lines[i]));
    });
    EXPECT_LE(made, 110);
}

}  // namespace

namespace {

// The trees that one read_as keeps (its `yojson` fields) share one arena: chunks, not an arena
// per field.
TEST(conversion_arena, trees_kept_by_one_read_share_an_arena) {
    std::string text = "[";
    for (int i = 0; i < 2000; ++i) text += R"({"id":1,"raw":{"a":[1,2],"b":"xyz"}},)";
    text += R"({"id":2,"raw":[]}])";
    std::vector<shop::raw_line> lines;
    const long made =
        allocations_of([&] { lines = Sylvane::read_as<std::vector<shop::raw_line>>(text); });
    ASSERT_EQ(lines.size(), 2001u);
    EXPECT_EQ(Sylvane::write(lines[7].raw), R"({"a":[1,2],"b":"xyz"})");
    EXPECT_EQ(Sylvane::write(lines.back().raw), "[]");
    if (allocations_counted()) {
        EXPECT_LT(made, 100) << "an arena per field";
    }
    // Each tree keeps the arena: the others may go first.
    const Sylvane::yojson kept = lines[1000].raw;
    lines.clear();
    EXPECT_EQ(Sylvane::write(kept), R"({"a":[1,2],"b":"xyz"})");
}

}  // namespace
