#include <sylvane/sylvane.hpp>

#include <climits>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace Sylvane;
using namespace std::string_literals;
namespace E = Sylvane::Treeform_error;
using Treeform::Of_yojson_error;
using flagged = std::vector<std::pair<bool, std::string>>;

/// Runs `report`, which must raise the conversion failure, and checks its message, that its
/// cause is a `std::runtime_error` holding exactly the message, and that it carries `tree`.
void check(const std::function<void()>& report, const yojson& tree, std::string_view message) {
    try {
        report();
        ADD_FAILURE() << "returned";
    } catch (const Of_yojson_error& e) {
        EXPECT_EQ(e.message(), message);
        EXPECT_EQ(e.tree_address(), &tree);
        EXPECT_EQ(e.tree(), tree);
        try {
            std::rethrow_exception(e.cause());
        } catch (const std::runtime_error& cause) {
            EXPECT_EQ(cause.what(), message);
        }
    }
}

/// A tree with a shared payload, so that sharing can be told from copying.
const yojson list_tree = yojson::List({yojson::String("x"), yojson::Int(1)});

TEST(treeform_error, fixed_messages) {
    const yojson& t = list_tree;
    const std::pair<void (*)(std::string_view, const yojson&), std::string_view> reporters[] = {
        {[](auto n, auto& tree) { E::stag_no_args(n, tree); },
         "this constructor does not take arguments"},
        {[](auto n, auto& tree) { E::stag_takes_args(n, tree); },
         "this constructor requires arguments"},
        {[](auto n, auto& tree) { E::nested_list_invalid_sum(n, tree); },
         "expected a variant type, saw a nested list"},
        {[](auto n, auto& tree) { E::empty_list_invalid_sum(n, tree); },
         "expected a variant type, saw an empty list"},
        {[](auto n, auto& tree) { E::unexpected_stag(n, tree); }, "unexpected variant constructor"},
        {[](auto n, auto& tree) { E::record_list_instead_atom(n, tree); },
         "list instead of atom for record expected"},
        {[](auto n, auto& tree) { E::record_poly_field_value(n, tree); },
         "cannot convert values of types resulting from polymorphic record fields"},
        {[](auto n, auto& tree) { E::no_matching_variant_found(n, tree); },
         "no matching variant found"},
        {[](auto n, auto& tree) { E::ptag_no_args(n, tree); },
         "polymorphic variant does not take arguments"},
        {[](auto n, auto& tree) { E::ptag_takes_args(n, tree); },
         "polymorphic variant tag takes an argument"},
        {[](auto n, auto& tree) { E::nested_list_invalid_poly_var(n, tree); },
         "a nested list is an invalid polymorphic variant"},
        {[](auto n, auto& tree) { E::empty_list_invalid_poly_var(n, tree); },
         "the empty list is an invalid polymorphic variant"},
        {[](auto n, auto& tree) { E::empty_type(n, tree); }, "trying to convert an empty type"},
    };
    // The type name stands verbatim, even when it looks like a format or holds a quote.
    for (const std::string_view name : {"t", "", "my_type", "100%s \"q\" %d"}) {
        for (const auto& [report, text] : reporters) {
            SCOPED_TRACE(text);
            check([&, report = report] { report(name, t); }, t,
                  std::string(name) + "_of_yojson: " + std::string(text));
        }
    }
}

TEST(treeform_error, tuple_size) {
    const yojson t = yojson::Int(5);
    check([&] { E::tuple_of_size_n_expected("t", 3, t); }, t,
          "t_of_yojson: tuple of size 3 expected");
    check([&] { E::tuple_of_size_n_expected("t", 0, t); }, t,
          "t_of_yojson: tuple of size 0 expected");
    check([&] { E::tuple_of_size_n_expected("t", -2, t); }, t,
          "t_of_yojson: tuple of size -2 expected");
    check([&] { E::tuple_of_size_n_expected("%d", INT_MIN, t); }, t,
          "%d_of_yojson: tuple of size -2147483648 expected");
}

TEST(treeform_error, tags_are_quoted) {
    const yojson& t = list_tree;
    const std::pair<std::string, std::string> tags[] = {
        {"A", R"("A")"},
        {"", R"("")"},
        {"it's", R"("it's")"},
        {"a\"b\\c\nd\xe9", R"("a\"b\\c\nd\233")"},
        {"\0\x1f\x7f"s, R"("\000\031\127")"},
    };
    for (const auto& tag : tags) {
        check([&] { E::stag_incorrect_n_args("t", tag.first, t); }, t,
              "t_of_yojson: sum tag " + tag.second + " has incorrect number of arguments");
        check([&] { E::ptag_incorrect_n_args("t", tag.first, t); }, t,
              "t_of_yojson: polymorphic variant tag " + tag.second +
                  " has incorrect number of arguments");
    }
    check([] { E::stag_incorrect_n_args("", "A", list_tree); }, list_tree,
          "_of_yojson: sum tag \"A\" has incorrect number of arguments");
}

TEST(treeform_error, superfluous_fields_oldest_first) {
    const yojson& t = list_tree;
    const std::vector<std::string> cba = {"c", "b", "a"};
    check([&] { E::record_duplicate_fields("t", cba, t); }, t,
          "t_of_yojson: duplicate fields: a b c");
    check([&] { E::record_extra_fields("t", cba, t); }, t, "t_of_yojson: extra fields: a b c");
    check([&] { E::record_extra_fields("t", {"x"}, t); }, t, "t_of_yojson: extra fields: x");
    check([&] { E::record_extra_fields("t", {}, t); }, t, "t_of_yojson: extra fields: ");
    check(
        [&] {
            E::record_duplicate_fields("t", {"x", "a b", "x"}, t);
        },
        t, "t_of_yojson: duplicate fields: x a b x");
    check(
        [&] {
            E::record_superfluous_fields("odd %s kind", "t", {"y", "x"}, t);
        },
        t, "t_of_yojson: odd %s kind: x y");
    check([&] { E::record_superfluous_fields("", "", {}, t); }, t, "_of_yojson: : ");
}

TEST(treeform_error, undefined_elements) {
    const yojson& t = list_tree;
    const std::string prefix = "t_of_yojson: the following record elements were undefined: ";
    check(
        [&] {
            E::record_undefined_elements("t", t, {{true, "x"}, {false, "y"}, {true, "z"}});
        },
        t, prefix + "x z");
    check([&] { E::record_undefined_elements("t", t, {{false, "y"}}); }, t, prefix);
    check([&] { E::record_undefined_elements("t", t, {}); }, t, prefix);
}

TEST(treeform_error, undefined_loop) {
    EXPECT_EQ(E::record_get_undefined_loop({"q", "p"}, {{true, "x"}}), "p q x");
    EXPECT_EQ(E::record_get_undefined_loop({"q", "p"}, {{false, "x"}}), "p q");
    EXPECT_EQ(E::record_get_undefined_loop({}, {{false, "x"}, {true, "y"}, {true, "z"}}), "y z");
    EXPECT_EQ(E::record_get_undefined_loop({}, {}), "");
    EXPECT_EQ(E::record_get_undefined_loop({""}, {{true, ""}}), " ");
}

TEST(treeform_error, undefined_loop_long_list) {
    // Far beyond what a recursive walk could take on a default stack.
    flagged fields(1'000'000, {true, "f"});
    fields[1].first = false;
    const std::string joined = E::record_get_undefined_loop({"a"}, fields);
    EXPECT_EQ(joined.size(), 2 * (fields.size() - 1) + 1);
    EXPECT_EQ(joined.substr(0, 6), "a f f ");
}

TEST(treeform_error, reporters_stand_for_values) {
    // A reporter's call can be returned or used as a value of any type.
    const auto to_int = [](const yojson& t) -> int {
        if (t.kind() != yojson_kind::Int) return E::unexpected_stag("t", t);
        return static_cast<int>(t.as_int());
    };
    EXPECT_EQ(to_int(yojson::Int(4)), 4);
    EXPECT_THROW(to_int(yojson::Null()), Of_yojson_error);
    const auto pick = [](bool ok) { return ok ? "yes"s : E::empty_type("t", list_tree); };
    EXPECT_EQ(pick(true), "yes");
    EXPECT_THROW(pick(false), Of_yojson_error);
}

TEST(no_variant_match, carries_nothing_and_prints_its_name) {
    const E::No_variant_match e;
    EXPECT_STREQ(e.what(), "Sylvane__Treeform_error.No_variant_match");
    static_assert(std::is_base_of_v<std::exception, E::No_variant_match>);
    static_assert(!std::is_base_of_v<Of_yojson_error, E::No_variant_match>);
    static_assert(!std::is_base_of_v<std::runtime_error, E::No_variant_match>);
}

TEST(no_variant_match, raised_whatever_the_argument) {
    const auto raises = [](const auto& argument) {
        try {
            try {
                E::no_variant_match(argument);
            } catch (const Of_yojson_error&) {
                ADD_FAILURE() << "caught as Of_yojson_error";
            }
        } catch (const E::No_variant_match& e) {
            EXPECT_STREQ(e.what(), "Sylvane__Treeform_error.No_variant_match");
            return;
        }
        ADD_FAILURE() << "not raised";
    };
    raises(unit{});
    raises(list_tree);
    raises(42);
    raises(std::make_unique<int>(1));  // neither copyable nor a tree
}

TEST(no_variant_match, handler_does_not_catch_conversion_failure) {
    EXPECT_THROW(
        {
            try {
                E::stag_no_args("t", list_tree);
            } catch (const E::No_variant_match&) {
                FAIL() << "caught as No_variant_match";
            }
        },
        Of_yojson_error);
}

}  // namespace
