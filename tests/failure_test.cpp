#include <sylvane/treeform/failure.hpp>

#include <gtest/gtest.h>

#include <thread>

using Sylvane::yojson;
using namespace Sylvane::Treeform;

namespace {

// Runs `raise` and returns the conversion failure it must throw.
template <class F>
Of_yojson_error caught(F raise) {
    try {
        raise();
    } catch (const Of_yojson_error& e) {
        return e;
    }
    ADD_FAILURE() << "no Of_yojson_error";
    return Of_yojson_error("", yojson());
}

std::string cause_message(const Of_yojson_error& e) {
    try {
        std::rethrow_exception(e.cause());
    } catch (const std::runtime_error& cause) {
        return cause.what();
    } catch (...) {
        ADD_FAILURE() << "cause is not a std::runtime_error";
    }
    return {};
}

}  // namespace

TEST(of_yojson_error, carries_a_runtime_error_cause_and_the_very_tree) {
    const yojson tree = yojson::List({yojson::String("a")});
    auto e = caught([&] { of_yojson_error("some message", tree); });
    EXPECT_EQ(cause_message(e), "some message");
    EXPECT_EQ(e.message(), "some message");
    EXPECT_EQ(e.tree().as_list().data(), tree.as_list().data()) << "shared, not copied";
    EXPECT_EQ(e.tree_address(), &tree);
    EXPECT_STREQ(e.what(), "Sylvane__Treeform.Of_yojson_error: some message");
}

TEST(of_yojson_error, keeps_an_empty_message_and_nul_bytes) {
    auto empty = caught([] { of_yojson_error("", yojson::Null()); });
    EXPECT_EQ(cause_message(empty), "");
    EXPECT_TRUE(empty.tree().is_null());
    const std::string with_nul("a\0b", 3);
    auto nul = caught([&] { of_yojson_error(with_nul, yojson::Null()); });
    try {
        std::rethrow_exception(nul.cause());
    } catch (const std::runtime_error& cause) {
        EXPECT_STREQ(cause.what(), "a") << "what() stops at the NUL, as C strings do";
    }
}

TEST(of_yojson_error, is_not_caught_by_a_failure_handler) {
    bool caught_as_failure = false;
    bool caught_as_conversion = false;
    try {
        try {
            of_yojson_error("m", yojson::Null());
        } catch (const std::runtime_error&) {
            caught_as_failure = true;
        }
    } catch (const Of_yojson_error&) {
        caught_as_conversion = true;
    }
    EXPECT_FALSE(caught_as_failure);
    EXPECT_TRUE(caught_as_conversion);
    static_assert(!std::is_base_of_v<std::runtime_error, Of_yojson_error>);
    static_assert(std::is_base_of_v<std::exception, Of_yojson_error>);
}

TEST(of_yojson_error_exn, stores_any_cause_unchanged_and_nests) {
    const yojson inner_tree = yojson::Int(1);
    auto inner = caught([&] { of_yojson_error("inner", inner_tree); });
    const yojson outer_tree = yojson::Int(2);
    auto outer = caught([&] { of_yojson_error_exn(std::make_exception_ptr(inner), outer_tree); });
    EXPECT_EQ(outer.tree_address(), &outer_tree);
    try {
        std::rethrow_exception(outer.cause());
    } catch (const Of_yojson_error& nested) {
        EXPECT_EQ(nested.tree().as_int(), 1);
        EXPECT_EQ(cause_message(nested), "inner");
    }
    EXPECT_STREQ(outer.what(),
                 "Sylvane__Treeform.Of_yojson_error: Sylvane__Treeform.Of_yojson_error: inner");

    auto odd = caught([] { of_yojson_error_exn(std::make_exception_ptr(42), yojson::Null()); });
    try {
        std::rethrow_exception(odd.cause());
    } catch (int n) {
        EXPECT_EQ(n, 42);
    }
}

TEST(record_check_extra_fields, starts_true_and_keeps_the_value_stored) {
    EXPECT_TRUE(*record_check_extra_fields);
    *record_check_extra_fields = false;
    EXPECT_FALSE(*record_check_extra_fields);
    EXPECT_FALSE(record_check_extra_fields.get());
    *record_check_extra_fields = true;
    EXPECT_TRUE(record_check_extra_fields.get());
}

TEST(record_check_extra_fields, may_be_read_and_set_from_several_threads) {
    std::thread writer([] {
        for (int i = 0; i < 10000; ++i) *record_check_extra_fields = (i % 2 == 0);
    });
    int seen = 0;
    for (int i = 0; i < 10000; ++i) seen += *record_check_extra_fields ? 1 : 0;
    writer.join();
    *record_check_extra_fields = true;
    EXPECT_GE(seen, 0);
}
