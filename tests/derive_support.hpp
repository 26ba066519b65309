#pragma once
// Shared by the derived-converter tests: checking a failure's exact message and tree.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <string_view>

#include <sylvane/derive/derive.hpp>
#include <sylvane/sylvane.hpp>

namespace derive_test {

using Sylvane::yojson;
using Sylvane::Treeform::Of_yojson_error;

/// Runs `f` and checks that it raises `Of_yojson_error` with `message`, carrying the very tree
/// object `tree` (by address) and its payload.
template <class F>
void expect_failure(F&& f, std::string_view message, const yojson& tree) {
    try {
        f();
        ADD_FAILURE() << "no failure; expected: " << message;
    } catch (const Of_yojson_error& e) {
        EXPECT_EQ(e.message(), message);
        EXPECT_EQ(e.tree_address(), &tree) << "failure tree " << e.tree() << ", expected " << tree;
        EXPECT_EQ(e.tree(), tree);
    }
}

/// Sets `record_check_extra_fields` for one scope.
class extra_fields_checked {
public:
    explicit extra_fields_checked(bool on)
        : saved_(Sylvane::Treeform::record_check_extra_fields.get()) {
        Sylvane::Treeform::record_check_extra_fields.set(on);
    }
    ~extra_fields_checked() { Sylvane::Treeform::record_check_extra_fields.set(saved_); }
    extra_fields_checked(const extra_fields_checked&) = delete;
    extra_fields_checked& operator=(const extra_fields_checked&) = delete;

private:
    bool saved_;
};

inline yojson Int(std::int64_t n) {
    return yojson::Int(n);
}
inline yojson Str(std::string s) {
    return yojson::String(std::move(s));
}
inline yojson List(std::vector<yojson> v) {
    return yojson::List(std::move(v));
}
inline yojson Obj(std::vector<yojson::field> v) {
    return yojson::Assoc(std::move(v));
}

/// Reads `text` as a `T` by both routes (straight from the text, and through a tree), checks
/// that they agree and that both write the value back as `written`; returns the value.
template <class T>
T both_ways(const std::string& text, const std::string& written) {
    const T direct = Sylvane::read_as<T>(text);
    const T through_tree = Sylvane::of_yojson<T>(Sylvane::read(text));
    EXPECT_TRUE(direct == through_tree) << text;
    EXPECT_EQ(Sylvane::write(direct), written) << text;
    EXPECT_EQ(Sylvane::write(Sylvane::yojson_of(direct)), written) << text;
    return direct;
}

/// The located failure of reading `text` as a `T`.
template <class T>
Sylvane::located_error failure_of(const std::string& text) {
    try {
        Sylvane::read_as<T>(text);
    } catch (const Sylvane::located_error& e) {
        return e;
    }
    ADD_FAILURE() << "no failure: " << text;
    throw std::logic_error("no failure");
}

}  // namespace derive_test
