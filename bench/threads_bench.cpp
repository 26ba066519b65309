// Thread scaling: the same work on one thread and on two at once, wall-clock time per record.
// Without shared state between the threads, two take as long as one.
//
//     threads_read_convert/N_threads     each thread reads its own copy of a text of records and
//                                        converts the tree to a vector of structs
//     threads_shared_convert/N_threads   each thread converts the same tree, read once before
//     threads_floor/N_threads            each thread does arithmetic alone: what the machine
//                                        gives two threads at the time of the run
//
// The threads are started once per benchmark, before its timing, and kept: a thread started
// for each round would be timed, and glibc gives a new thread's allocations a heap that it
// trims again when the thread ends.

#include <barrier>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include <sylvane/derive/derive.hpp>
#include <sylvane/sylvane.hpp>

#include "peers_common.hpp"
#include "record.hpp"

namespace {

using bench::record;

constexpr std::size_t items = 20'000;

/// The JSON text of `items` records, one per thread so that no two threads read the same bytes.
const std::vector<std::string>& texts() {
    static const std::vector<std::string> t = [] {
        std::vector<record> v(items);
        std::uint64_t s = 7;
        for (std::size_t i = 0; i < items; ++i) {
            const std::uint64_t r = sylvane_bench::mix(s);
            v[i] = {static_cast<std::int64_t>(i),
                    "name " + std::to_string(r % 100'000),
                    static_cast<double>(r % 10'000) / 7.0,
                    {"tag" + std::to_string(r % 7), "tag" + std::to_string(r % 11)},
                    r % 3 ? std::optional<std::int64_t>(static_cast<std::int64_t>(r % 1000))
                          : std::nullopt};
        }
        const std::string text = Sylvane::json_tree::write(Sylvane::yojson_of(v));
        return std::vector<std::string>{text, text};
    }();
    return t;
}

/// Threads kept for the whole of one benchmark; each round runs `work(k)` on thread k and waits
/// for all of them.
class crew {
public:
    explicit crew(int threads) : start_(threads + 1), done_(threads + 1) {
        for (int k = 0; k < threads; ++k)
            threads_.emplace_back([this, k] {
                for (;;) {
                    start_.arrive_and_wait();
                    if (stop_) return;
                    work_(k);
                    done_.arrive_and_wait();
                }
            });
    }
    crew(const crew&) = delete;
    crew& operator=(const crew&) = delete;
    ~crew() {
        stop_ = true;
        start_.arrive_and_wait();
        for (auto& t : threads_) t.join();
    }

    void run(std::function<void(int)> work) {
        work_ = std::move(work);
        start_.arrive_and_wait();
        done_.arrive_and_wait();
    }

private:
    std::barrier<> start_, done_;
    std::function<void(int)> work_;
    bool stop_ = false;  // written before a barrier that the threads pass before reading it
    std::vector<std::thread> threads_;
};

void read_convert(benchmark::State& state, int threads) {
    const auto& t = texts();
    crew workers(threads);
    for (auto _ : state) {
        workers.run([&](int k) {
            const Sylvane::yojson tree = Sylvane::json_tree::read(t[static_cast<std::size_t>(k)]);
            auto v = Sylvane::of_yojson<std::vector<record>>(tree);
            benchmark::DoNotOptimize(v.data());
        });
    }
    sylvane_bench::per_element(state, items);
}

void shared_convert(benchmark::State& state, int threads) {
    const Sylvane::yojson tree = Sylvane::json_tree::read(texts()[0]);
    crew workers(threads);
    for (auto _ : state) {
        workers.run([&](int) {
            auto v = Sylvane::of_yojson<std::vector<record>>(tree);
            benchmark::DoNotOptimize(v.data());
        });
    }
    sylvane_bench::per_element(state, items);
}

/// What the machine gives two threads: arithmetic alone, no memory shared or allocated.
void floor(benchmark::State& state, int threads) {
    crew workers(threads);
    for (auto _ : state) {
        workers.run([](int k) {
            std::uint64_t s = static_cast<std::uint64_t>(k), sum = 0;
            for (int i = 0; i < 1'000'000; ++i) sum += sylvane_bench::mix(s);
            benchmark::DoNotOptimize(sum);
        });
    }
    sylvane_bench::per_element(state, items);
}

[[maybe_unused]] const bool registered = [] {
    for (int n : {1, 2}) {
        const std::string side = n == 1 ? "/1_threads" : "/2_threads";
        benchmark::RegisterBenchmark(("threads_read_convert" + side).c_str(),
                                     [n](benchmark::State& st) { read_convert(st, n); })
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("threads_shared_convert" + side).c_str(),
                                     [n](benchmark::State& st) { shared_convert(st, n); })
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("threads_floor" + side).c_str(),
                                     [n](benchmark::State& st) { floor(st, n); })
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace
