// Fuzz target for the reader: any input is refused with parse_error or read into a tree that
// the writer turns into text that reads back to an equal tree. The first byte picks the options.
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

using namespace Sylvane::json_tree;

namespace {
[[noreturn]] void broken(const char* what) {
    std::fprintf(stderr, "json_read_fuzz: %s\n", what);
    std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    read_options in;
    in.allow_comments = flags & 1;
    in.allow_trailing_commas = flags & 2;
    in.allow_nan_infinity = flags & 4;
    in.allow_invalid_utf8 = flags & 8;
    if (flags & 16) in.max_depth = 4;
    write_options out;
    out.pretty = flags & 32;
    out.indent = flags & 64 ? 1 : 3;
    out.allow_nan_infinity = in.allow_nan_infinity;

    yojson tree;
    try {
        tree = read(text, in);
    } catch (const parse_error& e) {
        if (e.offset() > text.size()) broken("error offset beyond the text");
        try {
            read_with_positions(text, in);
        } catch (const parse_error& again) {
            if (again.position() != e.position()) broken("positions mode refuses elsewhere");
            return 0;
        }
        broken("positions mode accepts what read refuses");
    }
    const positioned located = read_with_positions(text, in);
    if (!(located.tree == tree)) broken("positions mode reads another tree");
    if (located.positions.root().offset >= text.size()) broken("root position beyond the text");

    const std::string written = write(tree, out);
    yojson back;
    try {
        back = read(written, in);
    } catch (const parse_error& e) {
        broken(e.what());
    }
    if (!(back == tree)) broken("written text reads back to another tree");
    if (write(back, out) != written) broken("writing is not stable");
    return 0;
}
