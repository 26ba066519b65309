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

#include <concepts>
#include <memory>
#include <optional>
#include <tuple>

#include <sylvane/derive/direct_read.hpp>
#include <sylvane/derive/direct_write.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/detail/text_sink.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform.hpp>
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

namespace Sylvane::derive::detail {

// Options and owning pointers read straight from the text and written straight to it: `null`
// when empty, else the element. (The converters of `std::optional` are in containers.hpp.)

/// `null` is the empty option; any other value is the element's.
template <class T, class F>
requires std::same_as<F, of_converter_t<T>>
struct direct_reader<std::optional<T>, Treeform::detail::bound<Treeform::option_of_yojson_fn, F>> {
    static std::optional<T> read(text_cursor& c) {
        if (c.read_null()) return std::nullopt;
        return std::optional<T>(std::in_place, read_direct<T>(c));
    }
};

template <class T>
struct direct_reader<std::unique_ptr<T>, unique_of_tree<T>> {
    static std::unique_ptr<T> read(text_cursor& c) {
        if (c.read_null()) return nullptr;
        // Made in place where it stays, not on the stack first: a frame of each level of a
        // chain of records read through pointers.
        return std::unique_ptr<T>(new T(read_direct<T>(c)));
    }
};

template <class T>
struct direct_reader<std::shared_ptr<T>, shared_of_tree<T>> {
    static std::shared_ptr<T> read(text_cursor& c) {
        if (c.read_null()) return nullptr;
        return std::make_shared<T>(read_direct<T>(c));
    }
};

template <class T, class F>
requires std::same_as<F, to_converter_t<T>>
struct direct_writer<std::optional<T>, Treeform::detail::bound<Treeform::yojson_of_option_fn, F>> {
    static void write(text_sink& out, const std::optional<T>& o) {
        if (o)
            write_direct(out, *o);
        else
            out.null();
    }
};

template <class P>
struct direct_writer<P, pointer_to_tree> {
    static void write(text_sink& out, const P& p) {
        if (p)
            write_direct(out, *p);
        else
            out.null();
    }
};

}  // namespace Sylvane::derive::detail
