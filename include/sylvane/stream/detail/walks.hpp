#pragma once
// The structure around the values that the readers of streams give one at a time: the way to
// an array at a JSON Pointer and what follows its items, or values one after another. Each step
// reads with the cursor from the start of a window's pending bytes, and either completes, its
// bytes consumed, or needs more text (the window was told) and is tried again from the same
// start. Not part of the API.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/detail/document_reader.hpp>
#include <sylvane/stream/detail/text_window.hpp>

namespace Sylvane::stream::detail {

/// What a walk found next.
enum class step : unsigned char {
    item,  ///< a value to read starts at the window's first pending byte
    more,  ///< the window needs more text
    end,   ///< the text is complete and checked to its end
};

/// The items of the array at a JSON Pointer: the way to it, then after each item the comma or
/// the bracket, then the rest of the document, checked as the reader would.
class SYLVANE_API array_walk {
public:
    /// Throws `std::invalid_argument` when `pointer` is not a JSON Pointer.
    array_walk(std::string_view pointer, const read_options& options);

    /// Steps to the next item or to the end.
    step advance(text_window& w);
    /// An item and the comma (`another`) or bracket after it were read to pending offset `n`.
    void item_done(text_window& w, std::size_t n, bool another);
    /// After an item read to pending offset `n`, steps over the comma or bracket after it; `more`
    /// (nothing consumed) when they are not in the window yet.
    step after_item(text_window& w, std::size_t n);

    /// How many containers are open around an item.
    std::size_t item_depth() const noexcept { return tokens_.size() + 1; }
    /// The JSON Pointer of the item that `advance` gave.
    std::string item_pointer() const;
    const read_options& options() const noexcept { return options_; }
    /// Reads the trees of the items, one after another.
    json_tree::detail::document_reader& trees() noexcept { return trees_; }

private:
    enum class phase : unsigned char { to_array, items, after_array, done };
    step to_array(text_window& w);
    step after_array(text_window& w);
    [[noreturn]] void not_found(const text_window& w, std::size_t at) const;

    read_options options_;
    json_tree::detail::document_reader trees_{options_};
    std::string pointer_;
    std::vector<std::string> tokens_;
    std::vector<bool> in_object_;  // whether each container on the way is an object
    std::size_t level_ = 0;        // on the way: tokens passed; after the array: levels open
    bool inside_ = false;          // on the way: within the container of level `level_`
    std::size_t passed_ = 0;       // on the way, in an array: elements stepped over
    std::size_t index_ = 0;        // the next item's index
    phase phase_ = phase::to_array;
};

/// Values one after another, apart by white space (and RFC 7464 record separators).
class SYLVANE_API value_sequence {
public:
    explicit value_sequence(const read_options& options) : options_(options), trees_(options) {}
    /// Steps over white space to the next value or to the end.
    step advance(text_window& w);
    void item_done(text_window& w, std::size_t n, bool) { w.consume(n); }
    step after_item(text_window& w, std::size_t n);
    static constexpr std::size_t item_depth() noexcept { return 0; }
    static std::string item_pointer() { return {}; }
    const read_options& options() const noexcept { return options_; }
    /// Reads the trees of the values, one after another.
    json_tree::detail::document_reader& trees() noexcept { return trees_; }

private:
    read_options options_;
    json_tree::detail::document_reader trees_;
};

/// Whether a cursor that read from the start of `w`'s pending bytes must be tried again with
/// more text: it stopped at a failure of the text that the end of the pending bytes may have
/// made, or it stands at that end, where more text may still extend what it read (a number).
/// Then `w` is told. Any other failure of the text is thrown, placed.
SYLVANE_API bool try_again(text_window& w, const json_tree::detail::text_cursor& c,
                           const read_options& options);

/// The pending offset after the value at the start of `w`'s pending bytes, inside `depth`
/// containers, read by the reader; nothing when it needs more text (`w` was told). Its failure
/// is thrown, placed.
SYLVANE_API std::optional<std::size_t> value_end(text_window& w, std::size_t depth,
                                                 const read_options& options);

}  // namespace Sylvane::stream::detail
