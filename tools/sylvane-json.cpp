// sylvane-json: checks JSON text and writes it back, compact or pretty.
//
//     sylvane-json [--pretty] [--indent=N] [--lenient] [--lines [--check] [--all-errors]] [FILE]
//
// Reads FILE (or standard input when FILE is absent or "-"), writes the value to standard output
// and exits 0. Bad input: "LINE:COLUMN: reason" on standard error, exit 1. Usage error: exit 2.
// With --lines the input is JSON Lines, read a line at a time in bounded memory.
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>
#include <sylvane/stream/read_lines.hpp>

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

namespace {

constexpr std::string_view usage =
    "usage: sylvane-json [--pretty] [--indent=N] [--lenient] [FILE]\n"
    "  Reads JSON text from FILE or standard input and writes it back compact.\n"
    "  --pretty     one element per line, indented by 2 spaces\n"
    "  --indent=N   pretty, indented by N spaces\n"
    "  --lenient    also accept comments, trailing commas, NaN and Infinity\n"
    "  --lines      the input is JSON Lines: each line a document, written back on a line\n"
    "  --check      with --lines: write nothing, only check\n"
    "  --all-errors with --lines: report every bad line, not only the first\n"
    "  Bad input prints LINE:COLUMN: reason and exits with status 1.\n";

int usage_error(std::string_view message) {
    std::cerr << "sylvane-json: " << message << '\n' << usage;
    return 2;
}

/// Reads JSON Lines from `in` and writes each document back (unless only checking). Bad lines
/// are reported on standard error as they are met; progress goes there too when it is a
/// terminal.
int lines(std::istream& in, const Sylvane::stream_options& options,
          const Sylvane::write_options& out, bool check) {
    const bool progress = isatty(STDERR_FILENO) != 0;
    std::size_t shown = 0;
    Sylvane::stream_options o = options;
    o.on_skip = [](const Sylvane::skipped_line& bad) { std::cerr << bad.message << '\n'; };
    auto documents = Sylvane::read_lines<Sylvane::yojson>(in, o);
    for (const Sylvane::yojson& doc : documents) {
        if (!check) {
            Sylvane::write(std::cout, doc, out);
            std::cout << '\n';
        }
        if (progress && documents.line() >= shown + (1u << 20)) {
            shown = documents.line();
            std::cerr << '\r' << shown << " lines" << std::flush;
        }
    }
    if (shown != 0) std::cerr << '\r' << documents.line() << " lines\n";
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "sylvane-json: cannot write the output\n";
        return 1;
    }
    return documents.skipped_count() == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace Sylvane::json_tree;
    read_options in;
    write_options out;
    std::string_view file;
    bool files_only = false;
    bool as_lines = false;
    bool check = false;
    bool all_errors = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (files_only || arg == "-" || !arg.starts_with("-")) {
            if (!file.empty()) return usage_error("more than one input file");
            file = arg;
        } else if (arg == "--") {
            files_only = true;
        } else if (arg == "--pretty") {
            out.pretty = true;
        } else if (arg.starts_with("--indent=")) {
            const std::string_view n = arg.substr(9);
            const auto r = std::from_chars(n.data(), n.data() + n.size(), out.indent);
            if (n.empty() || r.ec != std::errc() || r.ptr != n.data() + n.size() || out.indent > 64)
                return usage_error("--indent takes a number from 0 to 64");
            out.pretty = true;
        } else if (arg == "--lenient") {
            in.allow_comments = in.allow_trailing_commas = in.allow_nan_infinity = true;
            out.allow_nan_infinity = true;
        } else if (arg == "--lines") {
            as_lines = true;
        } else if (arg == "--check") {
            check = true;
        } else if (arg == "--all-errors") {
            all_errors = true;
        } else if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            return 0;
        } else {
            return usage_error("unknown option " + std::string(arg));
        }
    }
    if ((check || all_errors) && !as_lines)
        return usage_error("--check and --all-errors need --lines");
    try {
        std::ios::sync_with_stdio(false);
        if (as_lines) {
            Sylvane::stream_options options;
            options.read = in;
            options.skip_bad_lines = all_errors;
            if (file.empty() || file == "-") return lines(std::cin, options, out, check);
            std::ifstream source{std::string(file), std::ios::binary};
            if (!source) {
                throw std::system_error(errno, std::generic_category(),
                                        "cannot read " + std::string(file));
            }
            return lines(source, options, out, check);
        }
        const yojson tree =
            file.empty() || file == "-" ? read(std::cin, in) : read_file(std::string(file), in);
        write(std::cout, tree, out);
        std::cout << '\n';
        std::cout.flush();
        if (!std::cout) {
            std::cerr << "sylvane-json: cannot write the output\n";
            return 1;
        }
        return 0;
    } catch (const parse_error& e) {
        std::cerr << e.line() << ':' << e.column() << ": " << e.reason() << '\n';
    } catch (const std::exception& e) {
        std::cerr << "sylvane-json: " << e.what() << '\n';
    }
    return 1;
}
