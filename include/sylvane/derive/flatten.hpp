#pragma once
/// Flattened members. A field with the option `flatten`, whose type is a derived record, has no
/// key of its own: its record's fields stand in the parent's object in its place, both ways, at
/// any depth, each under the key its own record gives it. `record_layout<Desc>` is the field
/// list of record `Desc` as its object shows it: the settings of every field, flattened ones in
/// place, and the path from the record to each.

#include <algorithm>
#include <array>
#include <cstddef>
#include <type_traits>

#include <sylvane/derive/direct_write.hpp>
#include <sylvane/derive/members.hpp>
#include <sylvane/derive/options.hpp>

namespace Sylvane::derive {

template <class Desc>
struct record_to_tree;

namespace detail {

template <class Desc>
struct record_table;

/// The record description behind converter `To`, if it is a derived record's.
template <class To>
struct record_desc_of {
    using type = void;
};
template <class Desc>
struct record_desc_of<record_to_tree<Desc>> {
    using type = Desc;
};
/// The description of the derived record `A`; `void` for any other type.
template <class A>
using record_desc_t = typename record_desc_of<to_converter_t<A>>::type;

/// `M` then `S` (a member pointer or a path), as one path.
template <auto M, auto S, class = std::remove_cv_t<decltype(S)>>
struct prefixed {
    static constexpr member_path<M, S> value{};
};
template <auto M, auto S, auto... P>
struct prefixed<M, S, member_path<P...>> {
    static constexpr member_path<M, P...> value{};
};

template <auto M, class List>
struct prefix_all;
template <auto M, auto... S>
struct prefix_all<M, member_list<nullptr, S...>> {
    using type = member_list<nullptr, prefixed<M, S>::value...>;
};

template <class... L>
struct concat_members;
template <auto... A>
struct concat_members<member_list<nullptr, A...>> {
    using type = member_list<nullptr, A...>;
};
template <auto... A, auto... B, class... R>
struct concat_members<member_list<nullptr, A...>, member_list<nullptr, B...>, R...> {
    using type = typename concat_members<member_list<nullptr, A..., B...>, R...>::type;
};

/// Field `I` of record `Desc`, reached through `M`: itself, or the fields of its record when
/// it is flattened.
template <class Desc, std::size_t I, auto M, bool = Desc::fields[I].flatten>
struct laid_out {
    using members = member_list<nullptr, M>;
    static constexpr std::array<field_settings, 1> fields{Desc::fields[I]};
};
template <class Desc, std::size_t I, auto M>
struct laid_out<Desc, I, M, true> {
    using field = typename member_traits<std::remove_cv_t<decltype(M)>>::field;
    static_assert(!std::is_void_v<record_desc_t<field>>,
                  "Sylvane: flatten applies to a member whose type is a derived record "
                  "(SYLVANE_RECORD)");
    using sub = record_table<record_desc_t<field>>;
    static_assert(sub::extra_index == sub::size,
                  "Sylvane: a flattened record cannot have an extra_keys member; give it to the "
                  "record that flattens it");
    using members = typename prefix_all<M, typename sub::members>::type;
    static constexpr std::array<field_settings, sub::size> fields = [] {
        std::array<field_settings, sub::size> out{};
        for (std::size_t j = 0; j < sub::size; ++j) {
            out[j].member = sub::layout::fields[j].member;
            out[j].key = sub::keys[j];  // as its own record names it
            out[j].keyed = true;
            out[j].skip = sub::skipped(j);
            out[j].defaulted = sub::defaulted(j);
            out[j].omit_empty = sub::omit_empty(j);
        }
        return out;
    }();
};

template <class Desc, class Index = std::make_index_sequence<Desc::fields.size()>,
          class Members = typename Desc::members>
struct flattened_layout;
template <class Desc, std::size_t... I, auto... M>
struct flattened_layout<Desc, std::index_sequence<I...>, member_list<nullptr, M...>> {
    using members = typename concat_members<member_list<nullptr>,
                                            typename laid_out<Desc, I, M>::members...>::type;
    static constexpr std::size_t size =
        (std::size_t{0} + ... + laid_out<Desc, I, M>::fields.size());
    static constexpr std::array<field_settings, size> fields = [] {
        std::array<field_settings, size> out{};
        std::size_t at = 0;
        ((std::copy(laid_out<Desc, I, M>::fields.begin(), laid_out<Desc, I, M>::fields.end(),
                    out.begin() + static_cast<std::ptrdiff_t>(at)),
          at += laid_out<Desc, I, M>::fields.size()),
         ...);
        return out;
    }();
};

template <std::size_t N>
constexpr bool any_flattened(const std::array<field_settings, N>& fields) noexcept {
    for (const field_settings& f : fields)
        if (f.flatten) return true;
    return false;
}

/// The fields of record `Desc` as its object shows them, and the path to each.
template <class Desc, bool = any_flattened(Desc::fields)>
struct record_layout {
    static constexpr const auto& fields = Desc::fields;
    using members = typename Desc::members;
};
template <class Desc>
struct record_layout<Desc, true> : flattened_layout<Desc> {};

}  // namespace detail

}  // namespace Sylvane::derive
