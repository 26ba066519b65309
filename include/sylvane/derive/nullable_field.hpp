#pragma once
/// The converters of `nullable_field<T>`: `Null` when null (or absent, which outside a record
/// has no text of its own), else the value's tree; `Null` reads as null, anything else as a
/// value. A record leaves an absent field out and reads a missing key as absent
/// (`may_be_absent.hpp`).

#include <tuple>

#include <sylvane/base/nullable_field.hpp>
#include <sylvane/derive/direct_read.hpp>
#include <sylvane/derive/direct_write.hpp>
#include <sylvane/derive/mapping.hpp>
#include <sylvane/json_tree/detail/text_cursor.hpp>
#include <sylvane/json_tree/detail/text_sink.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/yojsonable_intf.hpp>

namespace Sylvane::derive {

namespace detail {

struct nullable_to_tree {
    template <class T>
    yojson operator()(const nullable_field<T>& f) const {
        return f.has_value() ? tree_of(*f) : yojson::Null();
    }
};

template <class T>
struct nullable_of_tree {
    nullable_field<T> operator()(const yojson& t) const {
        if (t.is_null()) return nullable_field<T>::null();
        nullable_field<T> f;
        f.emplace(of_yojson<T>(t));
        return f;
    }
};

template <class T>
struct element_types<nullable_field<T>> {
    using type = std::tuple<T>;
};

}  // namespace detail

template <Yojsonable_intf::yojsonable T>
constexpr auto sylvane_converters(type_tag<nullable_field<T>>) noexcept {
    return converters{detail::nullable_to_tree{}, detail::nullable_of_tree<T>{}};
}

}  // namespace Sylvane::derive

namespace Sylvane::derive::detail {

template <class T>
struct direct_reader<nullable_field<T>, nullable_of_tree<T>> {
    static nullable_field<T> read(text_cursor& c) {
        if (c.read_null()) return nullable_field<T>::null();
        nullable_field<T> f;
        f.emplace(direct_value<T>{c});
        return f;
    }
};

template <class T>
struct direct_writer<nullable_field<T>, nullable_to_tree> {
    static void write(text_sink& out, const nullable_field<T>& f) {
        if (f.has_value())
            write_direct(out, *f);
        else
            out.null();
    }
};

}  // namespace Sylvane::derive::detail
