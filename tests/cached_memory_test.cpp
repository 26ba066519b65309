// The memory each thread keeps between reads and writes: within the limit whatever is read,
// written and dropped, given back by `release_cached_memory`, and kept by the thread that frees.

#include <sylvane/json_tree/memory.hpp>
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/read_as.hpp>
#include <sylvane/write_value.hpp>

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <thread>
#include <vector>

namespace {

/// An object holding an array of `n` numbers, nested lists and strings: chunks of the tree, a
/// large list's own block, the stacks grown past their spares.
std::string numbers(std::size_t n) {
    std::string s = "[";
    for (std::size_t i = 0; i < n; ++i) s += std::to_string(static_cast<double>(i) * 0.37) + ",";
    return s + "0]";
}
std::string document(std::size_t n) {
    std::string s = "{\"values\": " + numbers(n) + ", \"rows\": [";
    for (std::size_t i = 0; i < n / 10; ++i) s += "[\"row " + std::to_string(i) + "\", 1, 2],";
    s += "[]]}";
    return s;
}

/// Restores the limit when a test that changes it ends.
struct limit_guard {
    std::size_t saved = Sylvane::cached_memory_limit();
    ~limit_guard() { Sylvane::set_cached_memory_limit(saved); }
};

// Each test runs in a thread of its own, so that it starts with nothing kept.
template <class Body>
void on_fresh_thread(Body body) {
    std::thread(body).join();
}

TEST(cached_memory, stays_within_the_limit_and_is_released) {
    on_fresh_thread([] {
        EXPECT_EQ(Sylvane::cached_memory(), 0u);
        EXPECT_EQ(Sylvane::cached_memory_limit(), Sylvane::default_cached_memory_limit);
        std::size_t most = 0;
        for (std::size_t n : {10u, 100'000u, 1'000u, 400'000u, 50'000u, 100'000u}) {
            const std::string text = document(n);
            { const auto tree = Sylvane::read(text); }
            { const auto text_again = Sylvane::json_tree::write(Sylvane::read(text)); }
            { const auto values = Sylvane::read_as<std::vector<double>>(numbers(n)); }
            { const auto text_again = Sylvane::write(std::vector<double>(n, 0.25)); }
            EXPECT_LE(Sylvane::cached_memory(), Sylvane::default_cached_memory_limit) << n;
            most = std::max(most, Sylvane::cached_memory());
        }
        EXPECT_GT(most, std::size_t{1} << 20);  // documents of megabytes leave megabytes
        Sylvane::release_cached_memory();
        EXPECT_EQ(Sylvane::cached_memory(), 0u);
    });
}

TEST(cached_memory, a_lower_limit_holds_at_once_and_zero_keeps_nothing) {
    limit_guard guard;
    on_fresh_thread([] {
        const std::string text = document(100'000);
        { const auto tree = Sylvane::read(text); }
        ASSERT_GT(Sylvane::cached_memory(), std::size_t{1} << 20);
        Sylvane::set_cached_memory_limit(256 << 10);
        EXPECT_LE(Sylvane::cached_memory(), std::size_t{256} << 10);
        for (int i = 0; i < 3; ++i) {
            { const auto tree = Sylvane::read(text); }
            EXPECT_LE(Sylvane::cached_memory(), std::size_t{256} << 10);
        }
        Sylvane::set_cached_memory_limit(0);
        EXPECT_EQ(Sylvane::cached_memory(), 0u);
        { const auto tree = Sylvane::read(text); }
        { const auto again = Sylvane::json_tree::write(Sylvane::read(R"({"a": [1, "x"]})")); }
        EXPECT_EQ(Sylvane::cached_memory(), 0u);
    });
}

TEST(cached_memory, a_tree_is_kept_by_the_thread_that_drops_it) {
    on_fresh_thread([] {
        Sylvane::yojson tree = Sylvane::read(document(100'000));
        const std::size_t reader_holds = Sylvane::cached_memory();  // the stacks, not the tree
        on_fresh_thread([&] {
            tree = Sylvane::yojson();
            EXPECT_GT(Sylvane::cached_memory(), std::size_t{1} << 20);
        });  // and frees it when it ends
        EXPECT_EQ(Sylvane::cached_memory(), reader_holds);
        // Read again, the same thread's read allocates what the other thread took.
        const auto again = Sylvane::read(document(100'000));
        EXPECT_EQ(again.as_assoc().size(), 2u);
    });
}

TEST(cached_memory, blocks_reused_across_reads_hold_their_trees_intact) {
    on_fresh_thread([] {
        // Trees alive while others are dropped: a block given back and taken again must never
        // be one still in use.
        std::vector<Sylvane::yojson> alive;
        std::vector<std::string> texts;
        for (std::size_t n : {30'000u, 5'000u, 60'000u, 30'000u}) {
            texts.push_back(document(n));
            alive.push_back(Sylvane::read(texts.back()));
            { const auto dropped = Sylvane::read(document(n / 2)); }
        }
        for (std::size_t i = 0; i < alive.size(); ++i)
            EXPECT_EQ(Sylvane::json_tree::write(alive[i]),
                      Sylvane::json_tree::write(Sylvane::read(texts[i])));
        Sylvane::release_cached_memory();
    });
}

}  // namespace
