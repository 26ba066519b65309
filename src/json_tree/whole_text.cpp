#include "whole_text.hpp"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <streambuf>
#include <system_error>

namespace Sylvane::json_tree::detail {

namespace {

/// Everything that `read_some(to, n)` gives, which is fewer than `n` bytes only at the end: in a
/// string sized by `expected` bytes and one more, so that a right guess takes one read and no
/// copy, and doubled as long as it fills up.
template <class ReadSome>
std::string read_all(std::size_t expected, ReadSome read_some) {
    std::string text;
    std::size_t size = std::max<std::size_t>(expected + 1, 4096);
    std::size_t used = 0;
    for (;;) {
        text.resize(size);
        used += read_some(text.data() + used, size - used);
        if (used < size) break;
        size *= 2;
    }
    text.resize(used);
    return text;
}

}  // namespace

std::string file_text(const std::filesystem::path& path) {
    const auto fail = [&](int err) {
        throw std::system_error(err, std::generic_category(), "cannot read " + path.string());
    };
    errno = 0;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "rb"),
                                                            &std::fclose);
    if (!f) fail(errno != 0 ? errno : ENOENT);
    // The size is a guess: a file that is not a regular one has none, and any may change.
    std::error_code no_size;
    const std::uintmax_t size = std::filesystem::file_size(path, no_size);
    std::string text =
        read_all(no_size ? 0 : static_cast<std::size_t>(size),
                 [&](char* to, std::size_t n) { return std::fread(to, 1, n, f.get()); });
    if (std::ferror(f.get())) fail(errno != 0 ? errno : EIO);
    return text;
}

std::string stream_text(std::istream& in) {
    // A stream that has failed, or met its end, before: its state says nothing of what its
    // buffer holds.
    if (!in.good())
        throw std::system_error(std::make_error_code(std::errc::io_error),
                                "cannot read the JSON stream");
    std::string text;
    if (std::streambuf* buffer = in.rdbuf()) {
        // What the buffer says is left: the whole rest of a file or string stream not read yet.
        const std::streamsize left = buffer->in_avail();
        text =
            read_all(left > 0 ? static_cast<std::size_t>(left) : 0, [&](char* to, std::size_t n) {
                return static_cast<std::size_t>(buffer->sgetn(to, static_cast<std::streamsize>(n)));
            });
    }
    if (in.bad())
        throw std::system_error(std::make_error_code(std::errc::io_error),
                                "cannot read the JSON stream");
    return text;
}

}  // namespace Sylvane::json_tree::detail
