#pragma once
// Helpers shared by the converter suites: short tree constructors, and the check that a
// converter rejects a tree with the library's failure.

#include <sylvane/treeform.hpp>

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tree_test {

using Sylvane::yojson;

inline yojson I(std::int64_t n) {
    return yojson::Int(n);
}
inline yojson S(std::string s) {
    return yojson::String(std::move(s));
}
inline yojson L(std::vector<yojson> items) {
    return yojson::List(std::move(items));
}

// Converts `tree` with `convert`, which must fail with `message` and that very tree (the
// whole tree it was given, not an element), its cause a `std::runtime_error` with the message.
template <class Convert>
void expect_rejects(Convert convert, const yojson& tree, const std::string& message) {
    try {
        (void)convert(tree);
        ADD_FAILURE() << "accepted " << tree << ", expected \"" << message << '"';
    } catch (const Sylvane::Treeform::Of_yojson_error& e) {
        EXPECT_EQ(e.message(), message) << "for " << tree;
        EXPECT_EQ(e.tree_address(), &tree) << "the whole tree, not an element";
        EXPECT_EQ(e.tree(), tree);
        try {
            std::rethrow_exception(e.cause());
        } catch (const std::runtime_error& cause) {
            EXPECT_EQ(cause.what(), message);
        }
    }
}

}  // namespace tree_test
