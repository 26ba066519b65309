// Shared trees and deferred values used from several threads at once: every kind of node (read
// from text, built under scopes, on the heap, mixed), subtrees outliving their document, trees
// converted both ways. Meant for ThreadSanitizer (CI runs the suite under it); elsewhere it
// checks that every thread sees the same values.
#include <sylvane/sylvane.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace stress {
struct item {
    std::int64_t id = 0;
    std::string name;
    std::vector<std::string> tags;
    Sylvane::hashtbl<std::string, std::int64_t> counts;
};
SYLVANE_RECORD(item, id, name, tags, counts)
}  // namespace stress

namespace {

using Sylvane::yojson;

constexpr int thread_count = 4;

template <class F>
void on_threads(F body) {
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t) threads.emplace_back(body, t);
    for (auto& th : threads) th.join();
}

stress::item make_item(std::int64_t id) {
    stress::item it{id, "item " + std::to_string(id), {"a", "b"}, {}};
    it.counts.add("seen", id);
    return it;
}

TEST(thread_stress, shared_trees_copied_compared_converted_and_dropped) {
    // A document, a tree built under a scope holding nodes of the document and of the heap, and
    // a subtree that outlives its document.
    yojson document = Sylvane::read(
        R"([{"id": 1, "name": "one", "tags": ["x"], "counts": [["k", 2]]}, "text", 3.5])");
    const yojson heap = yojson::String("on the heap");
    yojson scoped;
    {
        Sylvane::arena_scope scope;
        scoped = yojson::List({Sylvane::yojson_of(make_item(7)), document.as_list()[0], heap,
                               yojson::String("in the scope")});
    }
    const yojson survivor = document.as_list()[1];
    document = yojson();
    const std::string scoped_text = Sylvane::write(scoped);

    std::atomic<int> mismatches{0};
    on_threads([&](int t) {
        for (int i = 0; i < 300; ++i) {
            yojson copy = scoped;
            yojson part = copy.as_list()[static_cast<std::size_t>((i + t) % 4)];
            if (!(copy == scoped) || Sylvane::write(copy) != scoped_text) ++mismatches;
            const auto back = Sylvane::of_yojson<stress::item>(copy.as_list()[1]);
            if (back.id != 1 || back.counts.length() != 1) ++mismatches;
            // Trees of this thread's own scope, holding the shared ones, dropped at once or kept.
            Sylvane::arena_scope scope;
            yojson mine = yojson::List({Sylvane::yojson_of(make_item(i)), part, survivor});
            if (Sylvane::of_yojson<stress::item>(mine.as_list()[0]).name !=
                "item " + std::to_string(i))
                ++mismatches;
            if (i % 2 == 0) copy = yojson();
        }
    });
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(survivor.as_string(), "text");
}

TEST(thread_stress, shared_deferred_values_are_computed_once) {
    for (int round = 0; round < 50; ++round) {
        std::atomic<int> runs{0};
        Sylvane::lazy<yojson> tree{[&] {
            ++runs;
            Sylvane::arena_scope scope;
            return Sylvane::yojson_of(make_item(round));
        }};
        Sylvane::lazy<int> failing{[&]() -> int { throw std::runtime_error("no value"); }};
        std::atomic<int> mismatches{0};
        on_threads([&](int) {
            const yojson& t = tree.force();
            if (t.as_assoc()[0].second.as_int() != round) ++mismatches;
            yojson copy = t;
            try {
                (void)failing.force();
                ++mismatches;
            } catch (const std::runtime_error&) {
            }
        });
        EXPECT_EQ(runs.load(), 1);
        EXPECT_EQ(mismatches.load(), 0);
    }
}

}  // namespace
