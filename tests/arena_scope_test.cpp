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
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

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

// Each scope's arena keeps the tree of the scope before it: dropping the last frees them all,
// one after the other, without a call per arena on the stack.
TEST(arena_scope, a_long_chain_of_arenas_is_freed_without_recursion) {
    yojson t = yojson::String("first");
    for (int i = 0; i < 100'000; ++i) {
        arena_scope scope;
        t = yojson::List({std::move(t)});
    }
    t = yojson();
}

}  // namespace
