// One side reading (or writing) one document as a user's program does: in a fresh process, with
// glibc's allocator left at its defaults (no `allocator_settings.cpp`), no warm-up, a few dozen
// times in a row. What the suite's long loops hide shows here: the first touch of fresh pages
// while the heap grows and is trimmed again.
//
//     sylvane_bench_fresh generate DIR             # writes the generated documents of numbers
//     sylvane_bench_fresh SIDE TASK FILE [TIMES]   # prints one JSON line
//
// SIDE is sylvane, nlohmann, boost_json, rapidjson or simdjson (those built in), TASK `read`
// (text to tree, the tree freed inside the timing) or `write` (a tree read once, untimed, to
// compact text). The line holds the median time of the TIMES runs (30 by default) and the page
// faults per run.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/write.hpp>

#include "number_documents.hpp"

#include "peer_headers.hpp"

namespace {

long minor_faults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

std::string slurp(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(std::filesystem::file_size(path), '\0');
    if (!in.read(text.data(), static_cast<std::streamsize>(text.size())))
        throw std::runtime_error(std::string("cannot read ") + path);
    return text;
}

struct timings {
    std::vector<double> ns;
    long faults = 0;
};

/// Runs `once` `times` times, each timed alone; what it returns is dropped inside the timing.
template <class Once>
timings run(int times, Once once) {
    timings t;
    for (int i = 0; i < times; ++i) {
        const long f0 = minor_faults();
        const auto t0 = std::chrono::steady_clock::now();
        {
            auto made = once();
            asm volatile("" : : "g"(&made) : "memory");
        }
        const auto t1 = std::chrono::steady_clock::now();
        t.faults += minor_faults() - f0;
        t.ns.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
    }
    return t;
}

/// Times `read` (text to tree) or writing a tree made once by `read` with `write`.
template <class Read, class Write>
timings measure(std::string_view task, const std::string& text, int times, Read read, Write write) {
    if (task == "read") return run(times, [&] { return read(text); });
    const auto tree = read(text);
    return run(times, [&] { return write(tree); });
}

timings side(std::string_view side, std::string_view task, const std::string& text, int times) {
    if (side == "sylvane")
        return measure(
            task, text, times, [](const std::string& t) { return Sylvane::json_tree::read(t); },
            [](const Sylvane::yojson& tree) { return Sylvane::json_tree::write(tree); });
#ifdef SYLVANE_BENCH_NLOHMANN
    if (side == "nlohmann")
        return measure(
            task, text, times, [](const std::string& t) { return nlohmann::json::parse(t); },
            [](const nlohmann::json& tree) { return tree.dump(); });
#endif
#ifdef SYLVANE_BENCH_BOOST_JSON
    if (side == "boost_json")
        return measure(
            task, text, times, [](const std::string& t) { return boost::json::parse(t); },
            [](const boost::json::value& tree) { return boost::json::serialize(tree); });
#endif
#ifdef SYLVANE_BENCH_RAPIDJSON
    if (side == "rapidjson")
        return measure(
            task, text, times,
            [](const std::string& t) {
                auto tree = std::make_unique<rapidjson::Document>();
                tree->Parse(t.data(), t.size());
                if (tree->HasParseError()) throw std::runtime_error("rapidjson refused it");
                return tree;
            },
            [](const std::unique_ptr<rapidjson::Document>& tree) {
                rapidjson::StringBuffer out;
                rapidjson::Writer<rapidjson::StringBuffer> writer(out);
                tree->Accept(writer);
                return std::string(out.GetString(), out.GetSize());
            });
#endif
#ifdef SYLVANE_BENCH_SIMDJSON
    // The parser is made once and reused, as simdjson's documentation asks: its first read
    // allocates its buffers, the later ones nothing.
    if (side == "simdjson") {
        const simdjson::padded_string padded(text);
        simdjson::dom::parser parser;
        if (task == "read")
            return run(times, [&] {
                simdjson::dom::element tree;
                if (parser.parse(padded).get(tree)) throw std::runtime_error("simdjson refused it");
                return tree;
            });
        const simdjson::dom::element tree = parser.parse(padded);
        return run(times, [&] { return simdjson::to_string(tree); });
    }
#endif
    throw std::invalid_argument("side not built in: " + std::string(side));
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc == 3 && std::string_view(argv[1]) == "generate") {
            for (const auto& [name, text] : sylvane_bench::make_number_documents()) {
                std::ofstream out(std::filesystem::path(argv[2]) / name, std::ios::binary);
                if (!(out << text << std::flush)) throw std::runtime_error("cannot write " + name);
            }
            return 0;
        }
        if (argc != 4 && argc != 5) {
            std::fprintf(stderr,
                         "usage: %s generate DIR | %s SIDE read|write FILE [TIMES]\n"
                         "sides: sylvane nlohmann boost_json rapidjson simdjson (those built in)\n",
                         argv[0], argv[0]);
            return 2;
        }
        const std::string_view task = argv[2];
        if (task != "read" && task != "write") throw std::invalid_argument("task is read or write");
        const int times = argc == 5 ? std::max(1, std::atoi(argv[4])) : 30;
        const std::string text = slurp(argv[3]);
        timings t = side(argv[1], task, text, times);
        std::nth_element(t.ns.begin(), t.ns.begin() + times / 2, t.ns.end());
        const std::string document = std::filesystem::path(argv[3]).filename().string();
        std::printf(
            "{\"side\": \"%s\", \"task\": \"%s\", \"document\": \"%s\", \"bytes\": %zu, "
            "\"times\": %d, \"median_ns\": %.0f, \"faults_per_run\": %.1f}\n",
            argv[1], argv[2], document.c_str(), text.size(), times, t.ns[times / 2],
            static_cast<double>(t.faults) / times);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fresh_process: %s\n", e.what());
        return 1;
    }
}
