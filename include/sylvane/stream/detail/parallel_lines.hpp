#pragma once
// JSON Lines read by several threads, delivered in the file's order; not part of the API.
//
// The reading thread cuts the text into batches of whole lines (about a block each, copied out
// of the window); the workers read each batch's documents; the reading thread hands out the
// values of the oldest batch once it is done. At most two batches per worker are in flight, so
// memory stays bounded by the batches, whatever the file.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <sylvane/read_as.hpp>
#include <sylvane/stream/detail/line_source.hpp>

namespace Sylvane::stream::detail {

template <class T>
class parallel_lines {
public:
    parallel_lines(line_source& source, unsigned threads) : source_(source) {
        for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { work(); });
    }
    parallel_lines(const parallel_lines&) = delete;
    parallel_lines& operator=(const parallel_lines&) = delete;
    ~parallel_lines() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        work_ready_.notify_all();
        for (auto& w : workers_) w.join();
    }

    /// The next document into `out`, and its line number; false at the end.
    bool next(std::optional<T>& out, std::size_t& line) {
        for (;;) {
            if (batches_.empty()) {
                fill();
                if (batches_.empty()) return false;
            }
            batch& b = *batches_.front();
            {
                std::unique_lock lock(mutex_);
                batch_done_.wait(lock, [&] { return b.done; });
            }
            if (b.fatal) std::rethrow_exception(b.fatal);
            while (next_ < b.lines.size()) {
                const std::size_t i = next_++;
                line = b.lines[i].number;
                if (b.failures[i]) {
                    source_.fail(line, b.failures[i]);
                    continue;
                }
                out = std::move(b.values[i]);
                return true;
            }
            {
                const std::lock_guard lock(mutex_);
                batches_.pop_front();
            }
            next_ = 0;
            fill();
        }
    }

private:
    struct batch {
        std::string text;
        std::vector<text_line> lines;  // views into `text`
        std::vector<std::optional<T>> values;
        std::vector<std::exception_ptr> failures;
        std::exception_ptr fatal;  // an exception other than a failure of the text or a value
        bool claimed = false;
        bool done = false;
    };

    /// Cuts batches until two per worker are in flight or the text ends.
    void fill() {
        while (!ended_ && batches_.size() < 2 * workers_.size()) {
            auto b = std::make_unique<batch>();
            const std::size_t block = source_.options().block_size;
            std::vector<std::size_t> starts;
            while (b->text.size() < block) {
                const std::optional<text_line> line = source_.next();
                if (!line) {
                    ended_ = true;
                    break;
                }
                starts.push_back(b->text.size());
                b->text.append(line->text);
                b->lines.push_back(*line);
            }
            if (b->lines.empty()) break;
            for (std::size_t i = 0; i < b->lines.size(); ++i)
                b->lines[i].text =
                    std::string_view(b->text).substr(starts[i], b->lines[i].text.size());
            b->values.resize(b->lines.size());
            b->failures.resize(b->lines.size());
            {
                const std::lock_guard lock(mutex_);
                batches_.push_back(std::move(b));
            }
            work_ready_.notify_one();
        }
    }

    void work() {
        const read_options options = source_.options().read;
        for (;;) {
            batch* b = nullptr;
            {
                std::unique_lock lock(mutex_);
                work_ready_.wait(lock, [&] { return stopping_ || (b = unclaimed()) != nullptr; });
                if (stopping_) return;
                b->claimed = true;
            }
            try {
                for (std::size_t i = 0; i < b->lines.size(); ++i) {
                    read_line<T>(b->lines[i], b->values[i], b->failures[i],
                                 [&](std::optional<T>& out, std::string_view text) {
                                     derive::detail::read_as_into(out, text, options);
                                 });
                }
            } catch (...) {
                b->fatal = std::current_exception();
            }
            {
                const std::lock_guard lock(mutex_);
                b->done = true;
            }
            batch_done_.notify_all();
        }
    }

    /// The oldest batch that no worker has taken; called with the lock held.
    batch* unclaimed() {
        for (auto& b : batches_)
            if (!b->claimed) return b.get();
        return nullptr;
    }

    line_source& source_;
    std::deque<std::unique_ptr<batch>> batches_;  // in the text's order
    std::size_t next_ = 0;                        // the next line of the oldest batch
    bool ended_ = false;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable batch_done_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace Sylvane::stream::detail
