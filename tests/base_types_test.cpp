#include <sylvane/base/hashtbl.hpp>
#include <sylvane/base/lazy.hpp>
#include <sylvane/base/ref.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

using Sylvane::hashtbl;
using Sylvane::lazy;
using Sylvane::ref;

TEST(ref, is_a_value_type_with_assignment_through_it) {
    ref<std::string> a{"x"};
    ref<std::string> b = a;
    *a = "y";
    a->append("z");
    EXPECT_EQ(a.get(), "yz");
    EXPECT_EQ(b.get(), "x") << "a copy holds its own content";
    EXPECT_EQ(a.exchange("w"), "yz");
    ref<std::unique_ptr<int>> p{std::in_place, new int(7)};
    EXPECT_EQ(**p, 7);
}

TEST(ref, bool_cell_is_free_of_data_races) {
    ref<bool> flag{true};
    std::thread writer([&] {
        for (int i = 0; i < 10000; ++i) *flag = (i % 2 == 0);
    });
    int seen = 0;
    for (int i = 0; i < 10000; ++i) seen += *flag ? 1 : 0;
    writer.join();
    EXPECT_LE(seen, 10000);
    flag.set(false);
    EXPECT_FALSE(flag.get());
}

TEST(lazy, computes_at_most_once) {
    int runs = 0;
    lazy<int> l{[&] { return ++runs * 10; }};
    EXPECT_FALSE(l.is_val());
    EXPECT_EQ(runs, 0) << "nothing runs before the first force";
    EXPECT_EQ(l.force(), 10);
    EXPECT_EQ(l.force(), 10);
    EXPECT_TRUE(l.is_val());
    EXPECT_EQ(runs, 1);

    lazy<int> ready{5};
    EXPECT_TRUE(ready.is_val());
    // A callable value needs the factory, else it is taken as the computation.
    auto f = Sylvane::lazy_from_val(std::function<int()>([] { return 3; }));
    EXPECT_TRUE(f.is_val());
    EXPECT_EQ(f.force()(), 3);
}

TEST(lazy, remembers_the_exception_of_its_computation) {
    int runs = 0;
    lazy<int> l{[&]() -> int {
        ++runs;
        throw std::runtime_error("boom");
    }};
    for (int i = 0; i < 2; ++i) EXPECT_THROW((void)l.force(), std::runtime_error);
    EXPECT_EQ(runs, 1) << "the computation never runs again";
    EXPECT_FALSE(l.is_val());
}

TEST(lazy, forced_from_many_threads_runs_once) {
    std::atomic<int> runs = 0;
    lazy<std::vector<int>> l{[&] {
        ++runs;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return std::vector<int>(1000, 1);
    }};
    std::vector<std::thread> threads;
    std::atomic<int> total = 0;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&] { total += static_cast<int>(l.force().size()); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(total, 4000);
}

TEST(lazy, CornerCases) {
    // A computation that forces its own value would never finish.
    std::function<int()> again;
    lazy<int> self{[&] { return again(); }};
    again = [&] { return self.force(); };
    EXPECT_THROW((void)self.force(), Sylvane::lazy_undefined);
    EXPECT_THROW((void)self.force(), Sylvane::lazy_undefined) << "and it is remembered";

    // Move-only values; a moved-from pending value is undefined.
    lazy<std::unique_ptr<int>> p{[] { return std::make_unique<int>(4); }};
    lazy<std::unique_ptr<int>> q = std::move(p);
    EXPECT_THROW((void)p.force(), Sylvane::lazy_undefined);
    EXPECT_EQ(*q.force(), 4);
    lazy<std::unique_ptr<int>> r = std::move(q);
    EXPECT_EQ(*r.force(), 4) << "a computed value moves with its value";
}

TEST(hashtbl, newer_bindings_hide_older_ones) {
    hashtbl<std::string, int> t;
    EXPECT_EQ(t.find("a"), nullptr);
    t.add("a", 1);
    t.add("b", 10);
    t.add("a", 2);
    t.add("a", 3);
    EXPECT_EQ(t.length(), 4u);
    EXPECT_EQ(*t.find("a"), 3);
    EXPECT_EQ(t.find_all("a"), (std::vector<int>{3, 2, 1}));
    EXPECT_TRUE(t.find_all("z").empty());

    t.replace("a", 30);
    EXPECT_EQ(t.find_all("a"), (std::vector<int>{30, 2, 1})) << "replace keeps hidden bindings";
    t.replace("c", 5);
    EXPECT_EQ(t.length(), 5u);

    EXPECT_TRUE(t.remove("a"));
    EXPECT_EQ(*t.find("a"), 2) << "remove uncovers the older binding";
    EXPECT_TRUE(t.remove("a"));
    EXPECT_TRUE(t.remove("a"));
    EXPECT_FALSE(t.mem("a"));
    EXPECT_FALSE(t.remove("a"));
    EXPECT_EQ(t.length(), 2u);
}

TEST(hashtbl, fold_presents_one_keys_bindings_newest_first) {
    hashtbl<int, int> t;
    for (int v = 0; v < 5; ++v) t.add(7, v);
    t.add(8, 100);
    auto seen = t.fold(
        [](int k, int v, std::vector<std::pair<int, int>> acc) {
            acc.emplace_back(k, v);
            return acc;
        },
        std::vector<std::pair<int, int>>{});
    ASSERT_EQ(seen.size(), 6u);
    std::vector<int> of7;
    for (auto [k, v] : seen)
        if (k == 7) of7.push_back(v);
    EXPECT_EQ(of7, (std::vector<int>{4, 3, 2, 1, 0}));
    std::vector<std::pair<int, int>> iterated;
    t.iter([&](int k, int v) { iterated.emplace_back(k, v); });
    EXPECT_EQ(iterated, seen);
}

TEST(hashtbl, keys_and_values_of_any_kind) {
    hashtbl<std::pair<int, std::string>, int> pairs;
    pairs.add({1, "a"}, 1);
    pairs.add({1, "b"}, 2);
    EXPECT_EQ(*pairs.find({1, "b"}), 2);
    hashtbl<std::tuple<int, int, int>, int> triples;
    triples.add({1, 2, 3}, 6);
    EXPECT_TRUE(triples.mem({1, 2, 3}));
    EXPECT_FALSE(triples.mem({3, 2, 1}));

    hashtbl<int, std::unique_ptr<int>> owners;
    owners.add(1, std::make_unique<int>(1));
    owners.add(1, std::make_unique<int>(2));
    EXPECT_EQ(**owners.find(1), 2);
    owners.remove(1);
    EXPECT_EQ(**owners.find(1), 1);

    hashtbl<int, int> a, b;
    a.add(1, 1);
    a.add(1, 2);
    b.add(1, 2);
    b.add(1, 1);
    EXPECT_FALSE(a == b) << "equality compares the hiding order";
}

// Keys chosen to share one bucket of the standard table (multiples of its bucket count, which
// the unkeyed integer hash maps to themselves) spread like random keys under the keyed hash.
TEST(hashtbl, chosen_keys_do_not_crowd_one_bucket) {
    std::unordered_map<std::int64_t, int, Sylvane::hash<std::int64_t>> table;
    constexpr std::int64_t n = 20'000;
    table.reserve(n);
    const auto step = static_cast<std::int64_t>(table.bucket_count());
    for (std::int64_t i = 0; i < n; ++i) table.emplace(i * step, 0);
    std::size_t largest = 0;
    for (std::size_t b = 0; b < table.bucket_count(); ++b)
        largest = std::max(largest, table.bucket_size(b));
    EXPECT_LT(largest, 16u);

    // Strings hash under the process's key, not under the standard library's fixed seed.
    const Sylvane::hash<std::string> h;
    int same_as_std = 0;
    for (int i = 0; i < 16; ++i) {
        const std::string key(static_cast<std::size_t>(i) * 3, 'k');
        EXPECT_EQ(h(key), Sylvane::hash<std::string_view>{}(key));
        if (h(key) == std::hash<std::string>{}(key)) ++same_as_std;
    }
    EXPECT_EQ(same_as_std, 0);
}
