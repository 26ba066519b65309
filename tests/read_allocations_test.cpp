// What reading allocates: the reader's stacks and scratch string come from spare buffers that
// each thread keeps, and a small document's tree takes one chunk, so a program reading many
// small documents makes one allocation per read.

#include <sylvane/json_tree/memory.hpp>
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/read_as.hpp>
#include <sylvane/sylvane.hpp>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "allocation_count.hpp"

namespace {

using namespace Sylvane::json_tree;

const std::string small = R"({"id": 1, "name": "Ada", "tags": ["a", "b"], "nested": {"ok": true}})";
// Decoding its escapes takes a scratch string longer than any kept inside a std::string.
const std::string escaped = R"({"note": "a line\nanother line\tand a third line, \"quoted\""})";

/// The allocations made by reading `text` and dropping its tree, and the blocks still live after.
std::pair<long, long> allocations_of_read(const std::string& text) {
    const long made_before = allocations.load();
    const long live_before = live();
    { EXPECT_NE(read(text).kind(), yojson_kind::Null); }
    return {allocations.load() - made_before, live() - live_before};
}

TEST(read_allocations, small_documents_reuse_the_buffers_of_the_thread) {
    if (!allocations_counted()) GTEST_SKIP() << "allocations are not counted in this build";
    std::thread([] {
        const auto [first, first_kept] = allocations_of_read(small);
        EXPECT_EQ(first_kept, 5);  // the spare frames, values and keys; the key and string tables
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(allocations_of_read(small), std::make_pair(1L, 0L));  // the tree's chunk
        // The scratch string of escapes is kept as the stacks are.
        EXPECT_EQ(allocations_of_read(escaped).second, 1);
        for (int i = 0; i < 3; ++i) EXPECT_EQ(allocations_of_read(escaped), std::make_pair(1L, 0L));
        // A large document's blocks stay with the thread: the tree's chunk, the list's block
        // and the stack grown past the spare's size (the spare stays a spare).
        std::string many = "[";
        for (int i = 0; i < 10'000; ++i) many += "1,";
        many += "1]";
        EXPECT_EQ(allocations_of_read(many).second, 3);
        EXPECT_EQ(allocations_of_read(small), std::make_pair(1L, 0L));
        // Read again, it takes them all from the thread.
        EXPECT_EQ(allocations_of_read(many), std::make_pair(0L, 0L));
        const long live_before = live();
        Sylvane::release_cached_memory();
        EXPECT_EQ(live(), live_before - 3 - 4);  // and the four spares
    }).join();  // a fresh thread: no spare buffers yet, and they are freed when it ends
}

TEST(read_allocations, a_large_document_read_again_allocates_nearly_nothing) {
    if (!allocations_counted()) GTEST_SKIP() << "allocations are not counted in this build";
    std::thread([] {
        std::string numbers = "{\"values\": [";
        for (int i = 0; i < 100'000; ++i) numbers += std::to_string(i * 0.25) + ",";
        numbers += "0], \"name\": \"series\"}";
        const long first = allocations_of_read(numbers).first;
        EXPECT_GT(first, 10);  // chunks of the tree, the list's block, the stacks' growth
        for (int i = 0; i < 3; ++i) EXPECT_EQ(allocations_of_read(numbers), std::make_pair(0L, 0L));
        // Released, the blocks are freed, and the next read allocates them again.
        const long live_before = live();
        Sylvane::release_cached_memory();
        EXPECT_LT(live(), live_before - 3);
        EXPECT_GT(allocations_of_read(numbers).first, 5);
        Sylvane::release_cached_memory();
    }).join();
}

struct pair_of_ids {
    std::int64_t a = 0;
    std::int64_t b = 0;
};
SYLVANE_RECORD(pair_of_ids, a, b)

TEST(read_allocations, a_short_array_of_records_allocates_its_vector_once) {
    if (!allocations_counted()) GTEST_SKIP() << "allocations are not counted in this build";
    std::thread([] {
        std::string text = "[";
        for (int i = 0; i < 16; ++i) text += R"({"a": 1, "b": 2},)";
        text.back() = ']';
        const auto allocations_of_read_as = [&] {
            const long before = allocations.load();
            EXPECT_EQ(Sylvane::read_as<std::vector<pair_of_ids>>(text).size(), 16u);
            return allocations.load() - before;
        };
        EXPECT_EQ(allocations_of_read_as(), 2);  // the vector, and the thread's stack kept
        EXPECT_EQ(allocations_of_read_as(), 1);  // grown one by one, it took five
        Sylvane::release_cached_memory();
    }).join();
}

TEST(read_allocations, a_large_text_written_again_takes_its_chunks_from_the_thread) {
    if (!allocations_counted()) GTEST_SKIP() << "allocations are not counted in this build";
    std::thread([] {
        std::string numbers = "[";
        for (int i = 0; i < 200'000; ++i) numbers += std::to_string(i * 0.125) + ",";
        const yojson tree = read(numbers + "0]");
        const auto allocations_of_write = [&] {
            const long before = allocations.load();
            EXPECT_GT(write(tree).size(), 1'000'000u);
            return allocations.load() - before;
        };
        const long first = allocations_of_write();
        // The text's chunks (about 30 of 64 KiB) come back; the list of them and the string
        // returned are allocated again.
        EXPECT_LT(allocations_of_write(), first - 20);
        Sylvane::release_cached_memory();
    }).join();
}

}  // namespace
