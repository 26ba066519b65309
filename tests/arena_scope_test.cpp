// Trees made under an arena scope: the same trees as on the heap, in a few allocations, alive
// as long as anything holds them. AddressSanitizer and LeakSanitizer check the lifetimes that
// these tests exercise.
#include <sylvane/json_tree/arena_scope.hpp>
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/treeform.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "allocation_count.hpp"

namespace {

using namespace Sylvane;
using Treeform::yojson_of_list;
using Treeform::yojson_of_string;

std::vector<std::string> words(int n) {
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i) v.push_back("word number " + std::to_string(i));
    return v;
}

yojson record(const std::string& name, std::int64_t id) {
    return yojson::Assoc({{"name", yojson::String(name)},
                          {"id", yojson::Int(id)},
                          {"big", yojson::Intlit("123456789012345678901234567890")}});
}

TEST(arena_scope, trees_are_the_same_as_on_the_heap_and_outlive_the_scope) {
    const auto ws = words(50);
    const yojson on_heap =
        yojson::List({yojson_of_list(yojson_of_string, ws), record("a", 1), yojson::List({})});
    yojson in_arena;
    {
        arena_scope scope;
        in_arena =
            yojson::List({yojson_of_list(yojson_of_string, ws), record("a", 1), yojson::List({})});
    }
    EXPECT_EQ(in_arena, on_heap);
    yojson part = in_arena.as_list()[1];
    in_arena = yojson();
    EXPECT_EQ(part, record("a", 1));
}

TEST(arena_scope, a_thousand_strings_take_a_few_allocations) {
    const auto ws = words(1000);
    yojson t;
    long made = 0;
    {
        arena_scope scope;
        const long before = allocations.load();
        t = yojson_of_list(yojson_of_string, ws);
        made = allocations.load() - before;
    }
    EXPECT_LT(made, 20) << "chunks, not nodes";
    EXPECT_EQ(t.as_list()[999].as_string(), "word number 999");
}

TEST(arena_scope, holds_trees_from_the_heap_and_other_arenas_until_it_is_freed) {
    yojson heap = yojson::String("on the heap");
    yojson read_tree = read(R"(["read", {"k": "v"}])");
    yojson outer_tree;
    yojson t;
    {
        arena_scope outer;
        outer_tree = yojson::String("outer");
        {
            arena_scope inner;  // the innermost scope is used; the outer tree is foreign to it
            t = yojson::List({heap, read_tree.as_list()[1], outer_tree, yojson::String("inner")});
        }
    }
    heap = yojson();
    read_tree = yojson();
    outer_tree = yojson();
    EXPECT_EQ(write(t), R"(["on the heap",{"k":"v"},"outer","inner"])");
}

TEST(arena_scope, a_failed_conversion_leaves_nothing_behind) {
    const auto ws = words(10);
    arena_scope scope;
    const yojson kept = yojson::String("kept");
    int i = 0;
    auto fails_at_5 = [&](const std::string& s) {
        if (++i == 5) throw std::runtime_error("no tree");
        return yojson::List({yojson::String(s), kept});
    };
    EXPECT_THROW(yojson_of_list(fails_at_5, ws), std::runtime_error);
    EXPECT_EQ(kept.as_string(), "kept");
}

TEST(arena_scope, trees_are_shared_and_dropped_across_threads) {
    yojson t;
    {
        arena_scope scope;
        t = yojson_of_list(yojson_of_string, words(100));
    }
    std::vector<std::thread> threads;
    for (int n = 0; n < 4; ++n)
        threads.emplace_back([&t, n] {
            for (int i = 0; i < 10'000; ++i) {
                const yojson copy = t.as_list()[static_cast<std::size_t>((i * 7 + n) % 100)];
                ASSERT_EQ(copy.kind(), yojson_kind::String);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(t.as_list()[42].as_string(), "word number 42");
}

}  // namespace

namespace {

// A scope lends references without counting them one by one; these cover each way of giving
// one back: dropped in the scope, by another thread while the scope lives, and after it ends.
TEST(arena_scope, references_given_back_anywhere_free_the_arena_exactly_once) {
    std::optional<Sylvane::list_builder> late;
    yojson survivor;
    {
        arena_scope scope;
        { const yojson dropped = yojson::String("dropped in the scope"); }
        yojson elsewhere = yojson::List({yojson::String("dropped by another thread")});
        std::thread([t = std::move(elsewhere)]() mutable { t = yojson(); }).join();
        late.emplace(2);
        late->push_back(yojson::String("in a builder that outlives the scope"));
        survivor = yojson::String("kept");
        {
            arena_scope inner;
            Sylvane::list_builder outer_arena_builder(
                1);  // inner arena; its element from the outer
            outer_arena_builder.push_back(yojson(survivor));
        }
        EXPECT_EQ(survivor.as_string(), "kept");
    }
    EXPECT_EQ(survivor.as_string(), "kept");
    late.reset();
    EXPECT_EQ(survivor.as_string(), "kept");
}

// Containers that take nodes of other arenas, or heap nodes holding them, let go of them when
// they are dropped, so arenas that refer to each other are freed all the same.
yojson envelope(const yojson& payload) {
    arena_scope scope;
    return yojson::Assoc({{"data", payload}, {"note", yojson::String("inner")}});
}

TEST(arena_scope, arenas_that_refer_to_each_other_are_freed) {
    const long before = live();
    for (int i = 0; i < 100; ++i) {
        arena_scope outer;
        const yojson payload = yojson::String("payload");
        const yojson env = envelope(payload);
        const yojson response = yojson::List({env, yojson::String("outer")});
        ASSERT_EQ(write(response), R"([{"data":"payload","note":"inner"},"outer"])");
    }
    // Around a ring of threads: each scope's short-lived list holds its neighbour's node.
    {
        constexpr int ring = 4;
        std::vector<yojson> mine(ring);
        std::vector<yojson> lists(ring);
        std::vector<std::thread> threads;
        std::atomic<int> made{0};
        for (int t = 0; t < ring; ++t)
            threads.emplace_back([&, t] {
                arena_scope scope;
                mine[static_cast<std::size_t>(t)] = yojson::String("node " + std::to_string(t));
                made.fetch_add(1);
                while (made.load() < ring) std::this_thread::yield();
                Sylvane::list_builder b(2);
                b.push_back(yojson::Int(t));
                b.push_back(yojson(mine[static_cast<std::size_t>((t + 1) % ring)]));
                lists[static_cast<std::size_t>(t)] = std::move(b).finish();
            });
        for (auto& th : threads) th.join();
        EXPECT_EQ(write(lists[0]), R"([0,"node 1"])");
    }
    EXPECT_EQ(live(), before) << "every arena freed";
}

// A container that moves to the heap on its first foreign element keeps everything so far.
TEST(arena_scope, a_container_moved_to_the_heap_keeps_its_elements_and_keys) {
    const long before = live();
    {
        const yojson foreign = yojson::String("foreign");
        yojson t;
        {
            arena_scope scope;
            Sylvane::assoc_builder b(4, 12);
            b.push_back("a", yojson::String("in the arena"));
            b.push_back("", yojson::List({yojson::Int(1)}));
            b.push_back("bcd", yojson(foreign));
            b.push_back("efgh", yojson::String("after"));
            EXPECT_THROW(b.push_back("ijklm", yojson::Null()), std::length_error);
            t = std::move(b).finish();
        }
        EXPECT_EQ(write(t), R"({"a":"in the arena","":[1],"bcd":"foreign","efgh":"after"})");
        EXPECT_EQ(t.as_assoc()[2].second.as_string().data(), foreign.as_string().data());
        yojson part = t.as_assoc()[0].second;
        t = yojson();
        EXPECT_EQ(part.as_string(), "in the arena");
    }
    EXPECT_EQ(live(), before);
}

TEST(arena_scope, scopes_may_end_in_any_order) {
    const long before = live();
    yojson a, b, c;
    {
        auto outer = std::make_unique<arena_scope>();
        auto inner = std::make_unique<arena_scope>();
        a = yojson::String("inner");
        outer.reset();
        b = yojson::List({yojson::String("still the inner scope"), a});
        inner.reset();
        c = yojson::String("on the heap");
    }
    EXPECT_EQ(write(yojson::List({a, b, c})),
              R"(["inner",["still the inner scope","inner"],"on the heap"])");
    a = b = c = yojson();
    EXPECT_EQ(live(), before);
}

TEST(arena_scope, builders_refuse_sizes_that_cannot_be_allocated_and_use_after_finish) {
    constexpr std::size_t max = std::numeric_limits<std::size_t>::max();
    for (const bool in_arena : {false, true}) {
        std::optional<arena_scope> scope;
        if (in_arena) scope.emplace();
        EXPECT_THROW(Sylvane::assoc_builder(1, max - 8), std::length_error);
        EXPECT_THROW(Sylvane::assoc_builder(max / 16, 0), std::length_error);
        EXPECT_THROW(Sylvane::list_builder{(max - 40) / 16}, std::length_error);
        EXPECT_THROW(Sylvane::list_builder{max}, std::length_error);

        Sylvane::list_builder l(1);
        l.push_back(yojson::String("x"));
        const yojson list = std::move(l).finish();
        EXPECT_EQ(l.size(), 0u);
        EXPECT_THROW(l.push_back(yojson::Int(1)), std::logic_error);
        EXPECT_THROW(l.emplace([] { return yojson::Int(1); }), std::logic_error);
        EXPECT_THROW((void)std::move(l).finish(), std::logic_error);
        l.reverse();
        Sylvane::assoc_builder o(1, 1);
        o.push_back("k", yojson::Int(1));
        const yojson object = std::move(o).finish();
        EXPECT_EQ(o.size(), 0u);
        EXPECT_THROW(o.push_back("", yojson::Int(1)), std::logic_error);
        EXPECT_THROW((void)std::move(o).finish(), std::logic_error);
        EXPECT_EQ(write(yojson::List({list, object})), R"([["x"],{"k":1}])");
    }
}

// Each scope's list holds the tree of the scope before it: dropping the last frees them all
// without a call per tree on the stack.
TEST(arena_scope, a_long_chain_of_arenas_is_freed_without_recursion) {
    yojson t = yojson::String("first");
    for (int i = 0; i < 100'000; ++i) {
        arena_scope scope;
        t = yojson::List({std::move(t)});
    }
    t = yojson();
}

}  // namespace
