// The printed forms of the failures of `check<T>`.

#include <sylvane/check/check_result.hpp>

#include <ostream>
#include <string>

namespace Sylvane {

std::string to_string(const check_failure& failure, std::string_view file) {
    std::string out;
    if (!file.empty()) out.append(file).append(":");
    out += std::to_string(failure.where.line) + ':' + std::to_string(failure.where.column) + ": ";
    if (!failure.syntax) out.append(failure.pointer.empty() ? "the root" : failure.pointer) += ": ";
    return out.append(failure.message);
}

std::ostream& operator<<(std::ostream& out, const check_failure& failure) {
    return out << to_string(failure);
}

void check_result::print(std::ostream& out, std::string_view file) const {
    for (const check_failure& f : failures) out << to_string(f, file) << '\n';
    if (more == 0) return;
    if (!file.empty()) out << file << ": ";
    out << more << " more failures\n";
}

}  // namespace Sylvane
