#include <sylvane/treeform/failure.hpp>

namespace Sylvane::Treeform {

namespace {

std::string text_of(const std::exception_ptr& cause) {
    std::string text(Of_yojson_error::printed_name);
    text += ": ";
    try {
        if (cause) std::rethrow_exception(cause);
        text += "(no cause)";
    } catch (const std::exception& e) {
        text += e.what();
    } catch (...) {
        text += "(a cause that is not a std::exception)";
    }
    return text;
}

}  // namespace

Of_yojson_error::Of_yojson_error(std::exception_ptr cause, const yojson& tree)
    : cause_(std::move(cause)), tree_(tree), tree_address_(&tree), text_(text_of(cause_)) {}

Of_yojson_error::Of_yojson_error(const std::string& message, const yojson& tree)
    : cause_(std::make_exception_ptr(std::runtime_error(message))),
      tree_(tree),
      tree_address_(&tree),
      text_(std::string(printed_name) + ": " + message) {}

Of_yojson_error::~Of_yojson_error() = default;

const char* Of_yojson_error::what() const noexcept {
    return text_.what();
}

std::string_view Of_yojson_error::message() const noexcept {
    std::string_view all = text_.what();
    return all.substr(printed_name.size() + 2);
}

constinit ref<bool> record_check_extra_fields{true};

void of_yojson_error(const std::string& message, const yojson& tree) {
    throw Of_yojson_error(message, tree);
}

void of_yojson_error_exn(std::exception_ptr cause, const yojson& tree) {
    throw Of_yojson_error(std::move(cause), tree);
}

}  // namespace Sylvane::Treeform
