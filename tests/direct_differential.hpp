#pragma once
// Checks that `read_as`, which reads straight from the text, gives what reading the tree and
// converting it gives: the same value, or the same failure with the same place.

#include <gtest/gtest.h>

#include <concepts>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>

#include <sylvane/read_as.hpp>
#include <sylvane/sylvane.hpp>

namespace direct_test {

/// What a read gave: the value's written tree, or the failure's type and details.
struct outcome {
    std::optional<std::string> value;
    std::string failure;

    bool operator==(const outcome&) const = default;
};

template <class T>
std::string written(const T& value) {
    return Sylvane::write(Sylvane::yojson_of(value));
}

template <class F>
outcome outcome_of(F&& f) {
    outcome o;
    try {
        o.value = written(f());
    } catch (const Sylvane::located_error& e) {
        o.failure = std::string("located_error ") + e.what() + " at " +
                    std::string(e.pointer().value_or("?")) + " " + std::to_string(e.line()) + ":" +
                    std::to_string(e.column()) + " tree " +
                    Sylvane::write(e.tree(), {.allow_nan_infinity = true});
    } catch (const Sylvane::parse_error& e) {
        o.failure = std::string("parse_error ") + e.what() + " at " + std::to_string(e.offset());
    } catch (const std::exception& e) {
        o.failure = std::string(typeid(e).name()) + " " + e.what();
    }
    return o;
}

/// `read_as` as it was before it read straight from the text: the tree, then the conversion.
template <class T>
T through_tree(std::string_view text, const Sylvane::read_options& options) {
    const Sylvane::yojson root = Sylvane::read(text, options);
    try {
        return Sylvane::of_yojson<T>(root);
    } catch (const Sylvane::Treeform::Of_yojson_error& failure) {
        Sylvane::derive::detail::raise_located(text, options, root, failure);
    }
}

/// Owning pointers compare by address: their values are compared through their trees alone.
template <class T>
inline constexpr bool by_address = false;
template <class T>
inline constexpr bool by_address<std::unique_ptr<T>> = true;
template <class T>
inline constexpr bool by_address<std::shared_ptr<T>> = true;

/// Whether `read_as<T>` ran without reading a tree.
enum class path { direct, tree, either };

/// Checks that `read_as<T>(text, options)` gives what the tree path gives, and that it took
/// `expected`; returns the outcome.
template <class T>
outcome expect_same(std::string_view text, path expected = path::either,
                    const Sylvane::read_options& options = {}) {
    const std::size_t before = Sylvane::derive::detail::routes().trees_read;
    std::optional<T> direct_value;
    const outcome direct = outcome_of([&]() -> const T& {
        direct_value.emplace(Sylvane::read_as<T>(text, options));
        return *direct_value;
    });
    const bool took_tree = Sylvane::derive::detail::routes().trees_read != before;
    std::optional<T> tree_value;
    const outcome tree = outcome_of([&]() -> const T& {
        tree_value.emplace(through_tree<T>(text, options));
        return *tree_value;
    });
    EXPECT_EQ(direct, tree) << "text: " << text << "\ndirect: " << direct.value.value_or("")
                            << direct.failure << "\ntree: " << tree.value.value_or("")
                            << tree.failure;
    if constexpr (std::equality_comparable<T> && !by_address<T>) {
        if (direct_value && tree_value) {
            EXPECT_TRUE(*direct_value == *tree_value) << "text: " << text;
        }
    }
    if (expected == path::direct) {
        EXPECT_FALSE(took_tree) << "gave up on: " << text;
    } else if (expected == path::tree) {
        EXPECT_TRUE(took_tree) << "did not give up on: " << text;
    }
    return direct;
}

/// Checks `expect_same` on `text` cut short at many places and with bytes replaced, so that
/// every kind of malformed or mismatched text near real values is compared.
template <class T>
void expect_same_when_damaged(const std::string& text, std::size_t cases = 60) {
    static constexpr char replacements[] = {'"', ',',  ']',  '}',    '1', '-', '.', 'e', ' ',
                                            'x', '\\', '\0', '\x80', 'n', '[', '{', ':', '0'};
    const std::size_t step = text.size() / cases + 1;
    std::size_t r = 0;
    for (std::size_t at = 0; at < text.size(); at += step) {
        expect_same<T>(std::string_view(text).substr(0, at));
        std::string damaged = text;
        damaged[at] = replacements[r++ % sizeof replacements];
        expect_same<T>(damaged);
    }
}

}  // namespace direct_test
