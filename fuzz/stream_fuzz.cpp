// Fuzz target for the readers of streams: a text of values one after another gives the same
// values and the same failure fed whole or in pieces of any size, as trees and as typed values;
// the items of a top-level array read in small blocks are those of `read`, or fail as it does.
// The first byte picks the read options, as for the reader's target; the pieces' sizes follow
// from the text's size.
#include <sylvane/sylvane.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

/// Text for any tree that the readers give: NaN and infinities are read with an option.
std::string text_of(const Sylvane::yojson& t) {
    Sylvane::write_options o;
    o.allow_nan_infinity = true;
    return Sylvane::write(t, o);
}

[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "stream_fuzz: %s\n", what);
    std::abort();
}

/// What a push reader gives for `text` fed in pieces of `sizes` (cycled): each value's text,
/// then the failure's what() if it fails.
template <class T>
std::vector<std::string> pushed(std::string_view text, const std::vector<std::size_t>& sizes,
                                const Sylvane::stream_options& options) {
    Sylvane::push_reader<T> reader(options);
    std::vector<std::string> out;
    const auto take = [&] {
        while (auto v = reader.next()) out.push_back(text_of(Sylvane::yojson_of(*v)));
    };
    try {
        for (std::size_t at = 0, i = 0; at < text.size(); ++i) {
            const std::size_t n = sizes[i % sizes.size()];
            reader.feed(text.substr(at, n));
            at += n;
            take();
        }
        reader.finish();
        take();
    } catch (const std::exception& e) {
        out.push_back(std::string("failure: ") + e.what());
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    Sylvane::stream_options options;
    options.read.allow_comments = flags & 1;
    options.read.allow_trailing_commas = flags & 2;
    options.read.allow_nan_infinity = flags & 4;
    options.read.allow_invalid_utf8 = flags & 8;
    if (flags & 16) options.read.max_depth = 4;
    options.block_size = 1 + text.size() % 7;

    std::vector<std::size_t> sizes;
    for (std::uint32_t x = static_cast<std::uint32_t>(size) * 2654435761u; sizes.size() < 8;) {
        x = x * 1103515245u + 12345u;
        sizes.push_back(1 + (x >> 16) % 13);
    }
    const std::vector<std::size_t> whole{text.size() + 1};
    if (pushed<Sylvane::yojson>(text, whole, options) !=
        pushed<Sylvane::yojson>(text, sizes, options))
        broken("trees differ between whole text and pieces");
    using typed = std::vector<std::optional<std::int64_t>>;
    if (pushed<typed>(text, whole, options) != pushed<typed>(text, sizes, options))
        broken("typed values differ between whole text and pieces");

    // A top-level array, item by item in small blocks, against the reader.
    std::string expected;
    Sylvane::yojson tree;
    try {
        tree = Sylvane::read(text, options.read);
        if (tree.kind() != Sylvane::yojson_kind::List) return 0;
        for (const auto& item : tree.as_list()) expected += text_of(item) + '\n';
    } catch (const Sylvane::parse_error& e) {
        expected = std::string("failure: ") + e.what();
    }
    std::string items;
    std::string failed;
    try {
        std::istringstream in{std::string(text)};
        for (const auto& item : Sylvane::read_array_items<Sylvane::yojson>(in, "", options))
            items += text_of(item) + '\n';
    } catch (const Sylvane::parse_error& e) {
        failed = std::string("failure: ") + e.what();
    }
    // Items before a failure come out before it; the reader gives the failure alone. The reader
    // may refuse a text that is not an array at all where the items reader, which looks for the
    // array first, says that it is not there.
    if (failed.find("no array at the root") != std::string::npos) return 0;
    if ((failed.empty() ? items : failed) != expected)
        broken("array items differ from the reader's");
    return 0;
}
