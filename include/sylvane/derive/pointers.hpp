#pragma once
/// The converters of owning pointers and of kept subtrees.
///
/// | C++ type | tree |
/// |---|---|
/// | `std::unique_ptr<T>`, `std::shared_ptr<T>` | `Null` when empty, else the pointee's tree |
/// | `Sylvane::yojson` | the tree itself, both ways |
///
/// A pointer makes recursive types possible (`std::unique_ptr<comment>` inside `comment`); in a
/// record, a pointer field whose key is absent reads as empty, as a `std::optional` does.

#include <memory>
#include <tuple>

#include <sylvane/derive/mapping.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/yojsonable_intf.hpp>

namespace Sylvane::derive {

namespace detail {

struct pointer_to_tree {
    template <class Pointer>
    yojson operator()(const Pointer& p) const {
        return p ? tree_of(*p) : yojson::Null();
    }
};

template <class T>
struct unique_of_tree {
    std::unique_ptr<T> operator()(const yojson& t) const {
        if (t.is_null()) return nullptr;
        return std::make_unique<T>(of_yojson<T>(t));
    }
};

template <class T>
struct shared_of_tree {
    std::shared_ptr<T> operator()(const yojson& t) const {
        if (t.is_null()) return nullptr;
        return std::make_shared<T>(of_yojson<T>(t));
    }
};

struct tree_as_is {
    yojson operator()(const yojson& t) const noexcept { return t; }
};

template <class T>
struct element_types<std::unique_ptr<T>> {
    using type = std::tuple<T>;
};
template <class T>
struct element_types<std::shared_ptr<T>> {
    using type = std::tuple<T>;
};

}  // namespace detail

template <Yojsonable_intf::yojsonable T>
constexpr auto sylvane_converters(type_tag<std::unique_ptr<T>>) noexcept {
    return converters{detail::pointer_to_tree{}, detail::unique_of_tree<T>{}};
}

template <Yojsonable_intf::yojsonable T>
constexpr auto sylvane_converters(type_tag<std::shared_ptr<T>>) noexcept {
    return converters{detail::pointer_to_tree{}, detail::shared_of_tree<T>{}};
}

constexpr auto sylvane_converters(type_tag<yojson>) noexcept {
    return converters{detail::tree_as_is{}, detail::tree_as_is{}};
}

}  // namespace Sylvane::derive
