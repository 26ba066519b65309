#include <sylvane/treeform.hpp>

#include <gtest/gtest.h>

#include "tree_test_support.hpp"

#include <pthread.h>

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using Sylvane::yojson;
using namespace Sylvane::Treeform;

namespace {

using tree_test::I;
using tree_test::L;
using tree_test::S;

using tree_test::expect_rejects;

// An element converter that logs the address of every tree it is given, then reads an `Int`
// and fails, through `int_of_yojson`, on anything else.
struct recording {
    std::vector<const yojson*>* seen;
    std::int64_t operator()(const yojson& t) const {
        seen->push_back(&t);
        return int_of_yojson(t);
    }
};

// The tree whose conversion failed.
template <class F>
const yojson* failed_at(F f) {
    try {
        f();
    } catch (const Of_yojson_error& e) {
        return e.tree_address();
    }
    return nullptr;
}

// Runs `f` on a thread with a 256 KiB stack: a walk whose depth grew with the input would
// overflow it.
void on_small_stack(std::function<void()> f) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    auto body = [](void* p) -> void* {
        (*static_cast<std::function<void()>*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, body, &f), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

}  // namespace

TEST(containers_of_tree, reject_shapes_with_the_whole_tree) {
    const yojson shapes[] = {yojson::Null(),
                             I(1),
                             S("a"),
                             yojson::Assoc({}),
                             L({}),
                             L({I(1)}),
                             L({I(1), I(2), I(3), I(4)})};
    for (const yojson& t : shapes) {
        if (t.kind() != Sylvane::yojson_kind::List) {
            expect_rejects(list_of_yojson(int_of_yojson), t, "list_of_yojson: list needed");
            expect_rejects(array_of_yojson(int_of_yojson), t, "array_of_yojson: list needed");
            expect_rejects(hashtbl_of_yojson(int_of_yojson, int_of_yojson), t,
                           "hashtbl_of_yojson: list needed");
        }
        expect_rejects(pair_of_yojson(int_of_yojson, int_of_yojson), t,
                       "pair_of_yojson: invalid format");
    }
    expect_rejects(triple_of_yojson(int_of_yojson, int_of_yojson, int_of_yojson), L({I(1), I(2)}),
                   "triple_of_yojson: invalid format");
    expect_rejects(triple_of_yojson(int_of_yojson, int_of_yojson, int_of_yojson),
                   L({I(1), I(2), I(3), I(4)}), "triple_of_yojson: invalid format");
    expect_rejects(triple_of_yojson(int_of_yojson, int_of_yojson, int_of_yojson), yojson::Null(),
                   "triple_of_yojson: invalid format");
    for (const yojson& entry : {L({I(1), I(2), I(3)}), L({I(1)}), L({}), yojson::Null(), I(1)})
        expect_rejects(hashtbl_of_yojson(int_of_yojson, int_of_yojson), L({L({I(0), I(0)}), entry}),
                       "hashtbl_of_yojson: tuple list needed");
}

TEST(containers_of_tree, element_converters_get_the_trees_inside_in_order) {
    std::vector<const yojson*> seen;
    const recording rec{&seen};
    const yojson list = L({I(1), I(2), I(3)});
    auto items = list.as_list();
    EXPECT_EQ(list_of_yojson(rec, list), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(seen, (std::vector<const yojson*>{&items[0], &items[1], &items[2]}));
    seen.clear();
    EXPECT_EQ(array_of_yojson(rec, list), (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(seen, (std::vector<const yojson*>{&items[0], &items[1], &items[2]}));
    seen.clear();
    EXPECT_EQ(std::get<2>(triple_of_yojson(rec, rec, rec, list)), 3);
    EXPECT_EQ(seen, (std::vector<const yojson*>{&items[0], &items[1], &items[2]}));

    seen.clear();
    const yojson pair = L({I(1), I(2)});
    EXPECT_EQ(pair_of_yojson(rec, rec)(pair), (std::pair<std::int64_t, std::int64_t>(1, 2)));
    EXPECT_EQ(seen, (std::vector<const yojson*>{&pair.as_list()[0], &pair.as_list()[1]}));

    seen.clear();
    const yojson table = L({L({I(1), I(10)}), L({I(2), I(20)})});
    auto t = hashtbl_of_yojson(rec, rec, table);
    auto e0 = table.as_list()[0].as_list(), e1 = table.as_list()[1].as_list();
    EXPECT_EQ(seen, (std::vector<const yojson*>{&e0[1], &e0[0], &e1[1], &e1[0]}))
        << "the value before the key, entry after entry";
    EXPECT_EQ(*t.find(2), 20);
}

TEST(containers_of_tree, stop_at_the_first_failure) {
    std::vector<const yojson*> seen;
    const recording rec{&seen};
    const yojson pair = L({S("a"), S("b")});
    EXPECT_EQ(failed_at([&] { pair_of_yojson(rec, rec, pair); }), &pair.as_list()[0]);
    EXPECT_EQ(seen.size(), 1u) << "the second converter never runs";

    seen.clear();
    const yojson triple = L({I(1), S("b"), S("c")});
    EXPECT_EQ(failed_at([&] { triple_of_yojson(rec, rec, rec, triple); }), &triple.as_list()[1]);
    EXPECT_EQ(seen.size(), 2u);

    const yojson list = L({I(1), S("b"), I(3), S("d")});
    seen.clear();
    EXPECT_EQ(failed_at([&] { list_of_yojson(rec, list); }), &list.as_list()[1]);
    EXPECT_EQ(seen.size(), 2u);
    seen.clear();
    EXPECT_EQ(failed_at([&] { array_of_yojson(rec, list); }), &list.as_list()[1]);
    EXPECT_EQ(seen.size(), 2u);

    seen.clear();
    const yojson table = L({L({S("k"), S("v")})});
    EXPECT_EQ(failed_at([&] { hashtbl_of_yojson(rec, rec, table); }),
              &table.as_list()[0].as_list()[1])
        << "the value's failure comes out before the key's";
    EXPECT_EQ(seen.size(), 1u);

    // Entries before a malformed one are converted before it is judged.
    seen.clear();
    const yojson late = L({L({I(1), I(2)}), L({I(3)}), L({I(4), I(5)})});
    expect_rejects(hashtbl_of_yojson(rec, rec), late, "hashtbl_of_yojson: tuple list needed");
    EXPECT_EQ(seen.size(), 2u);

    // A failure that is not a conversion failure passes through unchanged.
    EXPECT_THROW(list_of_yojson(int32_of_yojson, L({yojson::Intlit("99999999999")})),
                 std::out_of_range);
}

TEST(containers_of_tree, option_ref_and_lazy) {
    int calls = 0;
    auto counting = [&](const yojson& t) {
        ++calls;
        return t.kind() == Sylvane::yojson_kind::List ? std::int64_t{-1} : int_of_yojson(t);
    };
    EXPECT_EQ(option_of_yojson(counting, yojson::Null()), std::nullopt);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(option_of_yojson(counting, L({})), std::optional<std::int64_t>(-1));
    EXPECT_EQ(calls, 1);

    auto nested = option_of_yojson(option_of_yojson(int_of_yojson));
    auto none = nested(yojson::Null());
    EXPECT_FALSE(none.has_value()) << "Null is the outer empty option";
    EXPECT_EQ(nested(I(1)),
              std::optional<std::optional<std::int64_t>>(std::optional<std::int64_t>(1)));

    const yojson one = I(1);
    auto a = ref_of_yojson(int_of_yojson, one);
    auto b = ref_of_yojson(int_of_yojson, one);
    *a = 5;
    EXPECT_EQ(b.get(), 1) << "every call gives a new cell";

    calls = 0;
    auto l = lazy_t_of_yojson(counting, one);
    EXPECT_EQ(calls, 1) << "converted at once";
    EXPECT_TRUE(l.is_val());
    EXPECT_EQ(l.force(), 1);
    EXPECT_EQ(calls, 1);
    const yojson bad = S("x");
    EXPECT_EQ(failed_at([&] { lazy_t_of_yojson(int_of_yojson, bad); }), &bad)
        << "the failure is raised by the call, not on first demand";
}

TEST(containers_of_tree, tables_keep_every_binding) {
    auto t = hashtbl_of_yojson(string_of_yojson, int_of_yojson,
                               L({L({S("a"), I(1)}), L({S("b"), I(2)}), L({S("a"), I(3)})}));
    EXPECT_EQ(t.length(), 3u);
    EXPECT_EQ(t.find_all("a"), (std::vector<std::int64_t>{3, 1})) << "the later entry hides";
    EXPECT_EQ(hashtbl_of_yojson(int_of_yojson, int_of_yojson, L({})).length(), 0u);
    auto pairs = hashtbl_of_yojson(pair_of_yojson(int_of_yojson, int_of_yojson), int_of_yojson,
                                   L({L({L({I(1), I(2)}), I(3)})}));
    EXPECT_EQ(*pairs.find({1, 2}), 3);
}

TEST(containers_of_tree, elements_need_only_be_movable) {
    struct owner {
        explicit owner(std::int64_t n) : p(std::make_unique<std::int64_t>(n)) {}
        std::unique_ptr<std::int64_t> p;
    };
    auto read = [](const yojson& t) { return owner(int_of_yojson(t)); };
    auto v = array_of_yojson(read, L({I(1), I(2)}));
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(*v[1].p, 2);
    auto t = hashtbl_of_yojson(int_of_yojson, read, L({L({I(1), I(7)})}));
    EXPECT_EQ(*t.find(1)->p, 7);
}

TEST(containers_of_tree, elements_are_made_in_their_slots) {
    struct counted {
        explicit counted(std::int64_t v) : n(v) {}
        counted(counted&& o) noexcept : n(o.n), moves(o.moves + 1) {}
        counted& operator=(counted&&) = default;
        std::int64_t n;
        int moves = 0;
    };
    auto read = [](const yojson& t) { return counted(int_of_yojson(t)); };
    const auto v = list_of_yojson(read, L({I(1), I(2)}));
    EXPECT_EQ(v[0].moves + v[1].moves, 0) << "no temporary per element";
    // A value type that takes anything holds the element's value, not the means of making it.
    const auto any =
        list_of_yojson([](const yojson& t) { return std::any(int_of_yojson(t)); }, L({I(5)}));
    EXPECT_EQ(std::any_cast<std::int64_t>(any[0]), 5);
}

TEST(containers_of_tree, a_million_elements_in_flat_stack_and_nothing_leaks_on_failure) {
    constexpr std::int64_t n = 1'000'000;
    std::vector<std::int64_t> numbers(n);
    for (std::int64_t i = 0; i < n; ++i) numbers[static_cast<std::size_t>(i)] = i;
    on_small_stack([&] {
        yojson list = yojson_of_list(yojson_of_int, numbers);
        yojson array = yojson_of_array(yojson_of_int, numbers);
        EXPECT_EQ(list, array);
        EXPECT_EQ(list_of_yojson(int_of_yojson, list), numbers);
        EXPECT_EQ(array_of_yojson(int_of_yojson, array), numbers);

        // Strings own heap memory: the half-built vector must free all of them.
        std::vector<yojson> items(n, S("a string too long for the small buffer"));
        items[n / 2] = I(0);
        const yojson strings = L(std::move(items));
        EXPECT_EQ(failed_at([&] { list_of_yojson(string_of_yojson, strings); }),
                  &strings.as_list()[n / 2]);
        EXPECT_EQ(failed_at([&] { array_of_yojson(string_of_yojson, strings); }),
                  &strings.as_list()[n / 2]);
    });
}
