// What checking a valid document costs beside reading it: `check<T>` and `read_as<T>` on each
// real document, into its model (`real_document_models.hpp`), timed per byte side by side.
//
//     <doc>_check_valid/sylvane          `check<T>(text)`: every failure, here none
//     <doc>_check_valid/sylvane_read_as  `read_as<T>(text)`, the values dropped in the timing
//
// The report's goal: the first within 1.1× the second.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include <sylvane/check.hpp>
#include <sylvane/read_as.hpp>

#include "real_document_models.hpp"

namespace {

/// Registers `task/side` timing `run` on `text` per byte.
template <class Run>
void per_byte(const std::string& name, std::shared_ptr<const std::string> text, Run run) {
    benchmark::RegisterBenchmark(name.c_str(), [text, run](benchmark::State& state) {
        run(*text);  // the first touch of fresh pages, untimed
        for (auto _ : state) run(*text);
        const auto bytes =
            static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text->size());
        state.SetItemsProcessed(bytes);
        state.SetBytesProcessed(bytes);
    })->Unit(benchmark::kMillisecond);
}

template <class T>
void check_sides(const char* name, const char* file) {
    const std::filesystem::path path = std::filesystem::path(SYLVANE_REAL_DOCUMENTS_DIR) / file;
    if (!std::filesystem::exists(path)) return;
    auto text = std::make_shared<const std::string>(Sylvane::derive::detail::file_text(path));
    if (!Sylvane::check<T>(*text).ok()) return;  // a model that no longer fits its document
    const std::string task = std::string(name) + "_check_valid/";
    per_byte(task + "sylvane", text, [](const std::string& t) {
        auto r = Sylvane::check<T>(t);
        benchmark::DoNotOptimize(r);
    });
    per_byte(task + "sylvane_read_as", text, [](const std::string& t) {
        T values = Sylvane::read_as<T>(t);
        benchmark::DoNotOptimize(values);
    });
}

[[maybe_unused]] const bool registered = [] {
    check_sides<canada::collection>("canada", "canada.json");
    check_sides<citm::catalog>("citm", "citm_catalog.json");
    check_sides<twitter::timeline>("twitter", "twitter.json");
    return true;
}();

}  // namespace
