// The real documents read into typed values, as a program that models them does: twitter.json,
// citm_catalog.json and canada.json into the models of `real_document_models.hpp` (plain types,
// derived converters, nothing written by hand). Times per byte, the values dropped inside the
// timing.
//
//     <doc>_text_to_values/sylvane       `read_as<T>(text)`: the values straight from the text
//     <doc>_text_to_values/sylvane_tree  `of_yojson<T>(read(text))`: through a tree
//
// The report sets them beside the same document's read into a tree (`<doc>_read`). No peer has
// a side: none derives converters for these models without code written for each type.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>

#include <sylvane/read_as.hpp>
#include <sylvane/sylvane.hpp>

#include "real_document_models.hpp"

namespace {

/// Registers both sides of `<name>_text_to_values` for the model `T` of `file`, unless the
/// file cannot be read.
template <class T>
void typed_sides(const char* name, const char* file) {
    const std::filesystem::path path = std::filesystem::path(SYLVANE_REAL_DOCUMENTS_DIR) / file;
    if (!std::filesystem::exists(path)) return;
    auto text = std::make_shared<const std::string>(Sylvane::derive::detail::file_text(path));
    const auto side = [&](const char* side_name, auto convert) {
        const std::string task = std::string(name) + "_text_to_values/" + side_name;
        benchmark::RegisterBenchmark(task.c_str(), [text, convert](benchmark::State& state) {
            {
                T warm = convert(*text);  // the first touch of fresh pages, untimed
                benchmark::DoNotOptimize(warm);
            }
            for (auto _ : state) {
                T values = convert(*text);
                benchmark::DoNotOptimize(values);
            }
            // Per byte, as the documents' other tasks: the report reads times per item.
            const auto bytes = static_cast<std::int64_t>(state.iterations()) *
                               static_cast<std::int64_t>(text->size());
            state.SetItemsProcessed(bytes);
            state.SetBytesProcessed(bytes);
        })->Unit(benchmark::kMillisecond);
    };
    side("sylvane", [](const std::string& t) { return Sylvane::read_as<T>(t); });
    side("sylvane_tree",
         [](const std::string& t) { return Sylvane::of_yojson<T>(Sylvane::read(t)); });
}

[[maybe_unused]] const bool registered = [] {
    typed_sides<canada::collection>("canada", "canada.json");
    typed_sides<citm::catalog>("citm", "citm_catalog.json");
    typed_sides<twitter::timeline>("twitter", "twitter.json");
    return true;
}();

}  // namespace
