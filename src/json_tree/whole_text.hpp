#pragma once
// The whole text of a file or of the rest of a stream, read in large blocks; not part of the API.

#include <filesystem>
#include <istream>
#include <string>

namespace Sylvane::json_tree::detail {

/// The bytes of the file at `path`, in one read when the file is as long as its size says.
/// Throws `std::system_error` ("cannot read <path>") when it cannot be opened or read to its end.
std::string file_text(const std::filesystem::path& path);

/// The rest of `in`, from where it stands, read from its buffer in large blocks. Throws
/// `std::system_error` ("cannot read the JSON stream") when `in` is bad afterwards.
std::string stream_text(std::istream& in);

}  // namespace Sylvane::json_tree::detail
