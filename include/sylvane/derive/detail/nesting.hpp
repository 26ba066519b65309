#pragma once
/// The bound on how deep converters nest. Converters of records and variants call the
/// converters of their parts, so a recursive type is converted by recursion, one level of the
/// stack per level of the document. The reader's `max_depth` bounds the text, not trees made
/// otherwise, and may be raised; converters count their own nesting instead and refuse to go
/// deeper than `max_nesting`, which the stack holds: a level costs about 220 bytes of stack in
/// a Release build (a record holding its next level through a `std::unique_ptr` or a vector,
/// g++ -O2, either route), so the 512 levels take about 112 KiB.
///
/// A level is a record or a variant converted on a tree below the one converted before it: an
/// internally tagged or untagged variant and the record it reads from the same tree are one
/// level, as are a record and its `std::optional` or owning pointer. Hand-written converters
/// that recurse are not counted: they bound themselves.

#include <cstddef>
#include <string_view>

#include <sylvane/base/export.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform/failure.hpp>

namespace Sylvane::derive::detail {

/// Records and variants nest at most this deep, reading from trees or text or writing.
inline constexpr std::size_t max_nesting = 512;

/// The nesting failure, "T_of_yojson: nesting deeper than 512": an `Of_yojson_error` of its
/// own type, so that an untagged variant lets it through instead of trying its next alternative.
class SYLVANE_API nesting_failure : public Treeform::Of_yojson_error {
public:
    using Treeform::Of_yojson_error::Of_yojson_error;
    nesting_failure(const nesting_failure&) noexcept = default;
    nesting_failure& operator=(const nesting_failure&) noexcept = default;
    ~nesting_failure() override;
};

/// Throws the nesting failure of type `type_name` on `tree`.
[[noreturn]] SYLVANE_API void too_deep(std::string_view type_name, const yojson& tree);

/// This thread's converters: how many levels are open, and the tree of the innermost.
struct nesting_state {
    std::size_t depth = 0;
    const void* node = nullptr;
};
inline thread_local nesting_state nesting_now;

/// One level of a tree converter on `tree`, for as long as it lives; none if `tree` is the
/// innermost level's own. Throws the nesting failure of `type_name` beyond `max_nesting`.
class tree_level {
public:
    tree_level(std::string_view type_name, const yojson& tree) : saved_(nesting_now) {
        if (saved_.node == &tree) return;
        if (saved_.depth >= max_nesting) [[unlikely]]
            too_deep(type_name, tree);
        nesting_now = {saved_.depth + 1, &tree};
    }
    tree_level(const tree_level&) = delete;
    tree_level& operator=(const tree_level&) = delete;
    ~tree_level() { nesting_now = saved_; }

private:
    nesting_state saved_;
};

/// One level of a reader or writer that works on text: always counted. `entered()` is false
/// when it would be one too many, and then nothing changes.
class text_level {
public:
    text_level() noexcept : saved_(nesting_now) {
        if (saved_.depth >= max_nesting) [[unlikely]]
            return;
        nesting_now = {saved_.depth + 1, nullptr};
        entered_ = true;
    }
    text_level(const text_level&) = delete;
    text_level& operator=(const text_level&) = delete;
    ~text_level() { nesting_now = saved_; }
    bool entered() const noexcept { return entered_; }

private:
    nesting_state saved_;
    bool entered_ = false;
};

}  // namespace Sylvane::derive::detail
