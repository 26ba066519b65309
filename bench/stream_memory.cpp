// Peak resident memory of the readers of streams on files larger than memory should need: the
// records of the records task, repeated to the size asked, as JSON Lines and as one top-level
// array, read typed one record at a time. Each measurement in a process of its own:
//
//     sylvane_bench_stream_memory generate-lines FILE BYTES   # writes the file
//     sylvane_bench_stream_memory generate-array FILE BYTES
//     sylvane_bench_stream_memory lines FILE                  # prints one JSON line
//     sylvane_bench_stream_memory array FILE

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>

#include <sylvane/sylvane.hpp>

#include "peak_rss.hpp"
#include "record.hpp"

namespace {

using sylvane_bench::peak_rss_kib;

/// Writes the records again and again until the file holds `bytes`.
template <class Writer>
void generate(const char* path, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary);
    const auto records = bench::make_records();
    {
        Writer writer(out);
        while (static_cast<std::size_t>(out.tellp()) < bytes)
            for (const auto& r : records) writer.write(r);
        if constexpr (requires { writer.close(); }) {
            writer.close();
        } else {
            writer.flush();
        }
    }
    if (!out) throw std::runtime_error(std::string("cannot write ") + path);
}

template <class Range>
int measure(std::string_view task, const char* path, Range&& items) {
    std::size_t n = 0;
    for (const bench::record& r : items) n += r.id >= 0;
    std::printf("{\"task\": \"%.*s\", \"file_bytes\": %ju, \"items\": %zu, \"peak_kib\": %ld}\n",
                static_cast<int>(task.size()), task.data(),
                static_cast<std::uintmax_t>(std::filesystem::file_size(path)), n, peak_rss_kib());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::string_view what = argc > 1 ? argv[1] : "";
        if (argc == 4 && what == "generate-lines") {
            generate<Sylvane::lines_writer>(argv[2], std::stoull(argv[3]));
            return 0;
        }
        if (argc == 4 && what == "generate-array") {
            generate<Sylvane::array_writer>(argv[2], std::stoull(argv[3]));
            return 0;
        }
        if (argc == 3 && what == "lines")
            return measure("lines", argv[2],
                           Sylvane::read_lines<bench::record>(std::filesystem::path(argv[2])));
        if (argc == 3 && what == "array")
            return measure(
                "array", argv[2],
                Sylvane::read_array_items<bench::record>(std::filesystem::path(argv[2])));
        std::fprintf(stderr,
                     "usage: %s generate-lines|generate-array FILE BYTES | lines|array FILE\n",
                     argv[0]);
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "stream_memory: %s\n", e.what());
        return 1;
    }
}
