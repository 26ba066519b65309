#pragma once
/// The conversion failure `Of_yojson_error`, the operations that raise it, and the flag
/// `record_check_extra_fields`.

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>

#include <sylvane/base/export.hpp>
#include <sylvane/base/ref.hpp>
#include <sylvane/json_tree/yojson.hpp>

namespace Sylvane::Treeform {

/// The conversion failure: a cause (any exception) and the offending tree.
///
/// It derives from `std::exception`, not from `std::runtime_error`, so that a handler for
/// `Failure` (`std::runtime_error`) does not catch it. `what()` is its printed name
/// "Sylvane__Treeform.Of_yojson_error", then ": " and the cause's message.
///
///     try { Treeform::int_of_yojson(yojson::Null()); }
///     catch (const Treeform::Of_yojson_error& e) { e.message(); e.tree(); }
class SYLVANE_API Of_yojson_error : public std::exception {
public:
    /// The printed name of the exception.
    static constexpr std::string_view printed_name = "Sylvane__Treeform.Of_yojson_error";

    /// A failure with this cause; `tree` is shared, not copied, and its address is recorded as
    /// the identity of the tree that failed.
    Of_yojson_error(std::exception_ptr cause, const yojson& tree);
    /// A failure whose cause is a `std::runtime_error` carrying `message`.
    Of_yojson_error(const std::string& message, const yojson& tree);
    Of_yojson_error(const Of_yojson_error&) noexcept = default;
    Of_yojson_error& operator=(const Of_yojson_error&) noexcept = default;
    ~Of_yojson_error() override;

    const char* what() const noexcept override;

    /// The cause; for every failure the library raises, a `std::runtime_error` holding the message.
    const std::exception_ptr& cause() const noexcept { return cause_; }
    /// The offending tree: the same payload as the tree that was handed to the raising operation.
    const yojson& tree() const noexcept { return tree_; }
    /// The address of the tree object that was handed to the raising operation. It identifies
    /// where the failure sits inside a larger tree and is never dereferenced.
    const yojson* tree_address() const noexcept { return tree_address_; }
    /// The cause's message (`what()` without the printed name), up to a NUL byte if it has one.
    std::string_view message() const noexcept;

private:
    std::exception_ptr cause_;
    yojson tree_;
    const yojson* tree_address_;
    std::runtime_error text_;  // printed name and message; its copy cannot throw
};

/// Whether derived record converters reject fields that the record does not have; true from
/// the start (constant-initialised, so no static initialiser can see it unset).
/// Read it as `*record_check_extra_fields`, set it with `*record_check_extra_fields = false`.
extern SYLVANE_API constinit ref<bool> record_check_extra_fields;

/// Raises `Of_yojson_error` with a `std::runtime_error` carrying `message` as its cause, and
/// `tree`.
[[noreturn]] SYLVANE_API void of_yojson_error(const std::string& message, const yojson& tree);

/// Raises `Of_yojson_error` with the given cause and `tree`.
[[noreturn]] SYLVANE_API void of_yojson_error_exn(std::exception_ptr cause, const yojson& tree);

}  // namespace Sylvane::Treeform
