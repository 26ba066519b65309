// An API's event stream read into typed values: 20,000 events of seven kinds, an internally
// tagged variant of records (`event_stream.hpp`), indented with two spaces. Times per event,
// the values dropped inside the timing.
//
//     events_text_to_values/sylvane       `read_as<std::vector<event>>(text)`
//     events_text_to_values/sylvane_tree  `of_yojson<std::vector<event>>(read(text))`
//
// No peer has a side: none derives converters for an internally tagged variant without code
// written for each type.

#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include <sylvane/read_as.hpp>
#include <sylvane/sylvane.hpp>

#include "event_stream.hpp"

namespace {

using events = std::vector<event_stream::event>;

const std::string& events_text() {
    static const std::string text = event_stream::make_event_stream().text;
    return text;
}

void per_event(benchmark::State& state) {
    const auto n = static_cast<std::int64_t>(state.iterations());
    state.SetItemsProcessed(n * static_cast<std::int64_t>(event_stream::event_count));
    state.SetBytesProcessed(n * static_cast<std::int64_t>(events_text().size()));
}

void events_text_to_values_sylvane(benchmark::State& state) {
    const std::string& text = events_text();
    {
        // The first touch of fresh pages, untimed; and a wrong result is no row.
        events warm = Sylvane::read_as<events>(text);
        if (!(warm == Sylvane::of_yojson<events>(Sylvane::read(text)))) {
            state.SkipWithError("read_as differs from of_yojson(read(text))");
            return;
        }
    }
    for (auto _ : state) {
        events v = Sylvane::read_as<events>(text);
        benchmark::DoNotOptimize(v.data());
    }
    per_event(state);
}
BENCHMARK(events_text_to_values_sylvane)
    ->Name("events_text_to_values/sylvane")
    ->Unit(benchmark::kMillisecond);

void events_text_to_values_through_tree(benchmark::State& state) {
    const std::string& text = events_text();
    {
        events warm = Sylvane::of_yojson<events>(Sylvane::read(text));
        benchmark::DoNotOptimize(warm.data());
    }
    for (auto _ : state) {
        events v = Sylvane::of_yojson<events>(Sylvane::read(text));
        benchmark::DoNotOptimize(v.data());
    }
    per_event(state);
}
BENCHMARK(events_text_to_values_through_tree)
    ->Name("events_text_to_values/sylvane_tree")
    ->Unit(benchmark::kMillisecond);

}  // namespace
