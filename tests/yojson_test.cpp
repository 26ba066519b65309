#include <sylvane/json_tree/builders.hpp>
#include <sylvane/json_tree/yojson.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>

using Sylvane::bad_kind_access;
using Sylvane::yojson;
using Sylvane::yojson_kind;

namespace {

std::string printed(const yojson& t) {
    std::ostringstream os;
    os << t;
    return os.str();
}

// A list nested `depth` times around Null, built without recursion.
yojson nested_lists(int depth) {
    yojson t;
    for (int i = 0; i < depth; ++i) {
        std::vector<yojson> one;
        one.push_back(std::move(t));
        t = yojson::List(std::move(one));
    }
    return t;
}

}  // namespace

static_assert(sizeof(yojson) == 16);
static_assert(std::is_nothrow_move_constructible_v<yojson>);
static_assert(std::is_nothrow_copy_constructible_v<yojson>);

TEST(yojson, factories_give_their_kind_and_payload) {
    EXPECT_EQ(yojson().kind(), yojson_kind::Null);
    EXPECT_EQ(yojson::Null().kind(), yojson_kind::Null);
    EXPECT_TRUE(yojson::Bool(true).as_bool());
    EXPECT_FALSE(yojson::Bool(false).as_bool());
    EXPECT_EQ(yojson::Int(std::numeric_limits<std::int64_t>::min()).as_int(),
              std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(yojson::Intlit("123456789012345678901234").as_intlit(), "123456789012345678901234");
    EXPECT_EQ(yojson::Float(-0.5).as_float(), -0.5);
    EXPECT_EQ(yojson::String(std::string("a\0b", 3)).as_string(), std::string_view("a\0b", 3));
    auto list = yojson::List({yojson::Int(1), yojson::String("x")});
    ASSERT_EQ(list.as_list().size(), 2u);
    EXPECT_EQ(list.as_list()[1].as_string(), "x");
    auto obj = yojson::Assoc({{"k", yojson::Int(1)}, {"k", yojson::Int(2)}});
    ASSERT_EQ(obj.as_assoc().size(), 2u) << "duplicate keys are kept";
    EXPECT_EQ(obj.as_assoc()[1].second.as_int(), 2);
}

TEST(yojson, assoc_keys_are_copied_into_the_shared_payload) {
    std::string key = "name";
    const yojson t = yojson::Assoc({{key, yojson::Int(1)}, {"", yojson::Null()}});
    key[0] = 'X';
    EXPECT_EQ(t.as_assoc()[0].first, "name");
    EXPECT_EQ(t.as_assoc()[1].first, "");
    const yojson copy = t;
    EXPECT_EQ(copy.as_assoc()[0].first.data(), t.as_assoc()[0].first.data());
}

TEST(yojson_builders, build_in_place_and_keep_nothing_of_a_failed_element) {
    const auto fails = []() -> yojson { throw std::runtime_error("no tree"); };
    Sylvane::list_builder b(3);
    b.push_back(yojson::Int(1));
    b.emplace([] { return yojson::String("two"); });
    EXPECT_THROW(b.emplace(fails), std::runtime_error);
    EXPECT_EQ(b.size(), 2u);
    b.reverse();
    EXPECT_EQ(std::move(b).finish(), yojson::List({yojson::String("two"), yojson::Int(1)}));

    Sylvane::assoc_builder a(2, 4);
    EXPECT_THROW(a.emplace("ab", fails), std::runtime_error);
    a.push_back("ab", yojson::Int(1));
    a.emplace("cd", [] { return yojson::String("v"); });
    EXPECT_EQ(std::move(a).finish(),
              yojson::Assoc({{"ab", yojson::Int(1)}, {"cd", yojson::String("v")}}))
        << "a failed entry takes none of the key room";
}

TEST(yojson_builders, refuse_more_than_their_room_and_free_what_they_hold) {
    Sylvane::list_builder full(1);
    full.push_back(yojson::String(std::string(100, 'x')));
    EXPECT_THROW(full.push_back(yojson::Int(2)), std::length_error);
    Sylvane::assoc_builder entries(1, 10);
    entries.push_back("k", yojson::String(std::string(100, 'y')));
    EXPECT_THROW(entries.push_back("l", yojson::Int(2)), std::length_error);
    Sylvane::assoc_builder key_room(2, 3);
    key_room.push_back("abc", yojson::Int(1));
    EXPECT_THROW(key_room.push_back("d", yojson::Int(2)), std::length_error);
    EXPECT_EQ(Sylvane::list_builder(0).finish(), yojson::List({}));
    // The unfinished builders drop their elements here; LeakSanitizer checks it.
}

TEST(yojson, accessor_of_another_kind_throws_logic_error) {
    const yojson t = yojson::Int(1);
    EXPECT_THROW((void)t.as_string(), bad_kind_access);
    EXPECT_THROW((void)t.as_float(), bad_kind_access);
    EXPECT_THROW((void)yojson::String("1").as_intlit(), bad_kind_access);
    EXPECT_THROW((void)yojson::Intlit("1").as_string(), bad_kind_access);
    try {
        (void)yojson::Null().as_list();
        FAIL();
    } catch (const std::runtime_error&) {
        FAIL() << "must not look like a conversion failure's cause";
    } catch (const bad_kind_access& e) {
        EXPECT_EQ(e.expected(), yojson_kind::List);
        EXPECT_EQ(e.actual(), yojson_kind::Null);
        EXPECT_STREQ(e.what(), "yojson: List payload requested from a Null tree");
    }
}

TEST(yojson, copies_share_payload_and_moves_leave_null) {
    yojson s = yojson::String(std::string(100, 'x'));
    yojson copy = s;
    EXPECT_EQ(copy.as_string().data(), s.as_string().data());
    yojson l = yojson::List({yojson::Int(1)});
    yojson lcopy = l;
    EXPECT_EQ(lcopy.as_list().data(), l.as_list().data());
    yojson moved = std::move(l);
    EXPECT_TRUE(l.is_null());  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(moved.as_list().data(), lcopy.as_list().data());
    const yojson& same = copy;
    copy = same;  // self-assignment keeps the payload alive
    EXPECT_EQ(copy.as_string().size(), 100u);
}

TEST(yojson, string_payload_is_the_moved_string) {
    std::string big(1000, 'y');
    const char* bytes = big.data();
    yojson t = yojson::String(std::move(big));
    EXPECT_EQ(t.as_string().data(), bytes) << "the string is moved in, not copied";
}

TEST(yojson, strings_not_moved_in_are_copied_whole) {
    const std::string source("a\0b with more than the short-string bytes", 42);
    yojson copied = yojson::String(source);
    EXPECT_NE(copied.as_string().data(), source.data());
    EXPECT_EQ(copied.as_string(), source);
    EXPECT_EQ(yojson::String(std::string_view(source)).as_string(), source);
    EXPECT_EQ(yojson::String("").as_string(), "");
    EXPECT_EQ(yojson::Intlit(std::string_view("-12")).as_intlit(), "-12");
    EXPECT_EQ(yojson::String(source), yojson::String(std::string(source)))
        << "same tree either way";
}

// Moved-in and copied strings of every storage (empty, inside the string object, on the heap)
// are freed as what they are; the sanitizers check it.
TEST(yojson, strings_of_every_storage_are_freed_as_made) {
    for (std::size_t n : {0u, 1u, 7u, 15u, 16u, 23u, 24u, 100u}) {
        const std::string s(n, 'q');
        const yojson moved = yojson::String(std::string(s));
        const yojson copied = yojson::String(std::string_view(s));
        const yojson literal = yojson::Intlit(std::string(n, '7'));
        EXPECT_EQ(moved, copied);
        EXPECT_EQ(literal.as_intlit().size(), n);
        const yojson list = yojson::List({moved, copied, literal});
        EXPECT_EQ(list.as_list()[0].as_string(), s);
    }
}

TEST(yojson, equality_is_structural) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(yojson::Float(nan), yojson::Float(nan)) << "a NaN tree equals itself";
    EXPECT_NE(yojson::Float(0.0), yojson::Float(-0.0));
    EXPECT_NE(yojson::Int(1), yojson::Intlit("1"));
    EXPECT_NE(yojson::Int(1), yojson::Float(1.0));
    EXPECT_NE(yojson::String("1"), yojson::Intlit("1"));
    EXPECT_NE(yojson::Bool(true), yojson::Bool(false));
    EXPECT_EQ(yojson::List({yojson::Int(1), yojson::Null()}),
              yojson::List({yojson::Int(1), yojson::Null()}));
    EXPECT_NE(yojson::List({yojson::Int(1)}), yojson::List({yojson::Int(1), yojson::Int(1)}));
    EXPECT_NE(yojson::List({}), yojson::Assoc({}));
    EXPECT_NE(yojson::Assoc({{"a", yojson::Int(1)}, {"b", yojson::Int(2)}}),
              yojson::Assoc({{"b", yojson::Int(2)}, {"a", yojson::Int(1)}}))
        << "field order counts";
    EXPECT_NE(yojson::Assoc({{"a", yojson::Int(1)}}), yojson::Assoc({{"a", yojson::Int(2)}}));
}

TEST(yojson, printing_is_readable) {
    auto t = yojson::List({yojson::Int(-1), yojson::String("a\"\n\x01"), yojson::Bool(true),
                           yojson::Assoc({{"k", yojson::Float(1.5)}}), yojson::Intlit("99"),
                           yojson::Null()});
    EXPECT_EQ(printed(t),
              "List [Int -1; String \"a\\\"\\n\\x01\"; Bool true; Assoc {\"k\": Float 1.5}; "
              "Intlit 99; Null]");
}

TEST(yojson_deep, million_deep_tree_is_freed_compared_and_printed_without_stack_overflow) {
    constexpr int depth = 1'000'000;
    yojson a = nested_lists(depth);
    yojson b = nested_lists(depth);
    EXPECT_EQ(a, b);
    EXPECT_FALSE(printed(a).empty());
    yojson shared = a.as_list()[0];  // an inner payload outlives the outer one
    a = yojson();
    EXPECT_EQ(shared.kind(), yojson_kind::List);
    b = yojson();
    shared = yojson();
    // An Assoc chain is freed the same way.
    yojson obj;
    for (int i = 0; i < depth; ++i) obj = yojson::Assoc({{"k", std::move(obj)}});
}

TEST(yojson_threads, copies_and_drops_from_many_threads) {
    const yojson shared = yojson::List({yojson::String(std::string(64, 's')), yojson::Int(2)});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&shared] {
            for (int i = 0; i < 20000; ++i) {
                yojson copy = shared;
                yojson inner = copy.as_list()[0];
                ASSERT_EQ(inner.as_string().size(), 64u);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(shared.as_list()[0].as_string().size(), 64u);
}
