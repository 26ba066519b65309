#pragma once
/// What `SYLVANE_RECORD_TEMPLATE` makes for each instantiation of a class template: a record
/// description from a class local to the converters' hook, whose static functions give what a
/// description's static members give elsewhere (a local class can hold no static data).

#include <array>
#include <string_view>

#include <sylvane/derive/options.hpp>

namespace Sylvane::derive {

/// The description of a record made of `Local`'s `type` and static functions `name()`,
/// `settings()`, `fields()` and `members()`.
template <class Local>
struct local_record {
    using type = typename Local::type;
    static constexpr std::string_view name = Local::name();
    static constexpr record_settings settings = Local::settings();
    static constexpr auto fields = Local::fields();
    using members = decltype(Local::members());
};

namespace detail {

/// The name of a class template in the text of its instantiation as a macro writes it:
/// "(box<T>)" -> "box".
constexpr std::string_view template_name(std::string_view written) noexcept {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '('; };
    while (!written.empty() && blank(written.front())) written.remove_prefix(1);
    written = written.substr(0, written.find('<'));
    while (!written.empty() && (blank(written.back()) || written.back() == ')'))
        written.remove_suffix(1);
    return written;
}

}  // namespace detail

}  // namespace Sylvane::derive
