#pragma once
// Checks that `write(value)`, which writes straight to the text, gives what writing the value's
// tree gives: the same bytes, or the same failure.

#include <gtest/gtest.h>

#include <exception>
#include <optional>
#include <string>
#include <typeinfo>

#include <sylvane/sylvane.hpp>

namespace write_test {

/// What a write gave: the text, or the failure's type and message.
struct outcome {
    std::optional<std::string> value;
    std::string failure;

    bool operator==(const outcome&) const = default;
};

template <class F>
outcome outcome_of(F&& f) {
    outcome o;
    try {
        o.value = f();
    } catch (const std::exception& e) {
        o.failure = std::string(typeid(e).name()) + " " + e.what();
        if (dynamic_cast<const std::invalid_argument*>(&e)) o.failure += " invalid_argument";
    }
    return o;
}

/// Whether `write(value)` wrote without making a tree, for the value or any of its parts.
enum class path { direct, tree, either };

/// Checks that `write(value, options)` gives what `write(yojson_of(value), options)` gives, and
/// that it took `expected`; returns the outcome.
template <class T>
outcome expect_same(const T& value, path expected = path::either,
                    const Sylvane::write_options& options = {}) {
    const std::size_t before = Sylvane::derive::detail::routes().trees_written;
    const outcome direct = outcome_of([&] { return Sylvane::write(value, options); });
    const std::size_t trees = Sylvane::derive::detail::routes().trees_written - before;
    const outcome tree =
        outcome_of([&] { return Sylvane::write(Sylvane::yojson_of(value), options); });
    EXPECT_EQ(direct.value, tree.value);
    EXPECT_EQ(direct.failure, tree.failure);
    if (expected == path::direct) {
        EXPECT_EQ(trees, 0u) << "a tree was made";
    } else if (expected == path::tree) {
        EXPECT_GT(trees, 0u) << "no tree was made";
    }
    return direct;
}

}  // namespace write_test
