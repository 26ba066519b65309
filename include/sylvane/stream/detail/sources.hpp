#pragma once
// The streams that the readers of streams take text from; not part of the API.

#include <filesystem>
#include <fstream>
#include <istream>
#include <memory>

#include <sylvane/base/export.hpp>

namespace Sylvane::stream::detail {

/// `in` if it can be read; throws `std::ios_base::failure` otherwise.
SYLVANE_API std::istream& readable(std::istream& in);
/// The file at `path`, opened for reading; throws `std::system_error` if it cannot be.
SYLVANE_API std::unique_ptr<std::ifstream> open_file(const std::filesystem::path& path);

}  // namespace Sylvane::stream::detail
