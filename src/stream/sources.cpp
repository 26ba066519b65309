#include <sylvane/stream/detail/sources.hpp>

#include <cerrno>
#include <system_error>

namespace Sylvane::stream::detail {

std::istream& readable(std::istream& in) {
    if (!in.good())
        throw std::ios_base::failure("reading a JSON stream: the stream is not readable");
    return in;
}

std::unique_ptr<std::ifstream> open_file(const std::filesystem::path& path) {
    auto file = std::make_unique<std::ifstream>(path, std::ios::binary);
    if (!*file)
        throw std::system_error(errno, std::generic_category(), "cannot open " + path.string());
    return file;
}

}  // namespace Sylvane::stream::detail
