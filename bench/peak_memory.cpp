// Peak resident memory of one side reading the 20 MB document (`document.hpp`) into its tree.
// Run once per side, each in a fresh process, so that no side inherits another's heap:
//
//     sylvane_bench_peak_memory generate doc.json     # writes the document
//     sylvane_bench_peak_memory sylvane doc.json      # prints one JSON line of kibibytes
//
// The line holds the peak before reading (the program and the text) and after it; their
// difference is what the side's tree and its reading cost.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include <sylvane/sylvane.hpp>

#include "document.hpp"
#include "peak_rss.hpp"

#include "peer_headers.hpp"

namespace {

using sylvane_bench::peak_rss_kib;

/// The file's bytes, read straight into a string of the right size so that the peak before
/// reading holds the text once and nothing more.
std::string slurp(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(std::filesystem::file_size(path), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(text.size())))
        throw std::runtime_error(std::string("cannot read ") + path);
    return text;
}

void generate(const char* path) {
    std::ofstream out(path, std::ios::binary);
    if (!(out << sylvane_bench::make_document().text << std::flush))
        throw std::runtime_error(std::string("cannot write ") + path);
}

void report(std::string_view side, std::size_t text_bytes, long before, std::size_t items) {
    long after = peak_rss_kib();
    std::printf(
        "{\"side\": \"%.*s\", \"text_bytes\": %zu, \"top_level_items\": %zu, "
        "\"peak_before_kib\": %ld, \"peak_after_kib\": %ld}\n",
        static_cast<int>(side.size()), side.data(), text_bytes, items, before, after);
}

// Each side keeps its tree alive until after the measurement and reports its top-level size,
// so that the reading cannot be optimised away.
int measure(std::string_view side, const char* path) {
#ifdef SYLVANE_BENCH_SIMDJSON
    if (side == "simdjson") {
        simdjson::padded_string text = simdjson::padded_string::load(path);
        long before = peak_rss_kib();
        simdjson::dom::parser parser;
        simdjson::dom::array tree = parser.parse(text).get_array();
        report(side, text.size(), before, tree.size());
        return 0;
    }
#endif
    const std::string text = slurp(path);
    long before = peak_rss_kib();
    if (side == "sylvane") {
        Sylvane::yojson tree = Sylvane::read(text);
        report(side, text.size(), before, tree.as_list().size());
        return 0;
    }
#ifdef SYLVANE_BENCH_NLOHMANN
    if (side == "nlohmann") {
        nlohmann::json tree = nlohmann::json::parse(text);
        report(side, text.size(), before, tree.size());
        return 0;
    }
#endif
#ifdef SYLVANE_BENCH_BOOST_JSON
    if (side == "boost_json") {
        boost::json::value tree = boost::json::parse(text);
        report(side, text.size(), before, tree.as_array().size());
        return 0;
    }
#endif
#ifdef SYLVANE_BENCH_RAPIDJSON
    if (side == "rapidjson") {
        rapidjson::Document tree;
        tree.Parse(text.data(), text.size());
        if (tree.HasParseError()) throw std::runtime_error("rapidjson: parse error");
        report(side, text.size(), before, tree.Size());
        return 0;
    }
#endif
    std::fprintf(stderr, "peak_memory: side '%.*s' is not built in\n",
                 static_cast<int>(side.size()), side.data());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr,
                     "usage: %s generate FILE | %s SIDE FILE\n"
                     "sides: sylvane nlohmann boost_json rapidjson simdjson (those built in)\n",
                     argv[0], argv[0]);
        return 2;
    }
    try {
        if (std::string_view(argv[1]) == "generate") {
            generate(argv[2]);
            return 0;
        }
        return measure(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "peak_memory: %s\n", e.what());
        return 1;
    }
}
