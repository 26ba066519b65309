#pragma once
// JSON Lines read by several threads, delivered in the file's order; not part of the API.
//
// The reading thread cuts the text into runs of whole lines (about a block each, in the buffer
// the stream was read into, handed over by the window rather than copied); the workers split
// their run into lines and read each line's document; the reading thread hands out the values
// of the oldest run once it is done, in place, numbering its lines and placing its failures in
// the whole text as it goes; while it waits for that run, it reads the next unclaimed one
// itself. A run handed out keeps its buffer, its vectors and its values for the next run: the
// thread that reads the next run into it destroys each old value just before it reads the new
// one in its place, so that the memory one frees the next takes again at once from the thread's
// own cache. (Freeing a whole run's values first, then allocating the next run's, went through
// malloc's locked paths once the process has threads: a fifth of the work.) At most two runs
// per thread are in flight, and as many are kept for reuse, so memory stays bounded by the
// runs, whatever the file.

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
#include <sylvane/stream/detail/read_document.hpp>

namespace Sylvane::stream::detail {

template <class T>
class parallel_lines {
public:
    /// Reads on `threads` threads in all: the calling thread, which reads runs while it waits
    /// for the oldest, and `threads - 1` workers. (A worker more would leave one thread without
    /// a core whenever there are no more cores than threads, and the runs' hand-over would wait
    /// on it.)
    parallel_lines(line_source& source, unsigned threads) : source_(source) {
        for (unsigned i = 1; i < threads; ++i) workers_.emplace_back([this] { work(); });
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

    /// The next document, in place until the next call, and its line number; false at the end.
    bool next(T*& out, std::size_t& line) {
        for (;;) {
            if (batches_.empty()) {
                fill();
                if (batches_.empty()) return false;
            }
            batch& b = *batches_.front();
            if (!front_done_) {
                wait_for(b);  // once a run: a lock for every value would cost more than its read
                front_done_ = true;
            }
            if (b.fatal) std::rethrow_exception(b.fatal);
            if (b.chunk.too_long)
                throw value_too_long({b.chunk.offset, lines_before_ + 1, 1},
                                     source_.options().max_value_size);
            while (next_ < b.lines.size()) {
                const std::size_t i = next_++;
                line = lines_before_ + b.lines[i].number;
                if (b.failures[i]) {
                    source_.fail(line, shifted(b.failures[i], lines_before_, b.chunk.offset));
                    continue;
                }
                out = &*b.values[i];
                return true;
            }
            lines_before_ += b.line_count;
            {
                const std::lock_guard lock(mutex_);
                std::unique_ptr<batch> spent = std::move(batches_.front());
                batches_.pop_front();
                spent->clear();
                cleared_.push_back(std::move(spent));
            }
            next_ = 0;
            front_done_ = false;
            fill();
        }
    }

private:
    struct batch {
        text_chunk chunk;              // whole lines, and the cursor's padding after them
        std::vector<text_line> lines;  // those with a document: views into `chunk`
        std::size_t line_count = 0;    // all lines, blank ones too
        // One for each of `lines`; more may be left from an earlier run, which the next read
        // into this run destroys.
        std::vector<std::optional<T>> values;
        std::vector<std::exception_ptr> failures;  // placed as if `chunk` were the whole text
        std::exception_ptr fatal;  // an exception other than a failure of the text or a value
        bool claimed = false;
        bool done = false;

        /// Readies the run for the next, keeping the memory of the buffer and the vectors
        /// (freeing a run's large blocks and allocating them again made malloc merge and split
        /// its free lists on every run), and the values, which the next read destroys.
        void clear() noexcept {
            lines.clear();
            line_count = 0;
            failures.clear();
            fatal = nullptr;
            claimed = done = false;
        }
    };

    /// Cuts runs until two per thread are in flight or the text ends.
    void fill() {
        while (!ended_ && batches_.size() < 2 * (workers_.size() + 1)) {
            // A cleared run, whose buffer the next run is read into.
            std::unique_ptr<batch> b;
            {
                const std::lock_guard lock(mutex_);
                if (!cleared_.empty()) {
                    b = std::move(cleared_.back());
                    cleared_.pop_back();
                }
            }
            if (b == nullptr)
                b = std::make_unique<batch>();
            else
                source_.reuse(std::move(b->chunk));
            std::optional<text_chunk> chunk = source_.next_chunk(source_.options().block_size);
            if (!chunk) {
                ended_ = true;
                break;
            }
            ended_ = chunk->too_long;  // nothing after it can be read
            b->chunk = std::move(*chunk);
            {
                const std::lock_guard lock(mutex_);
                batches_.push_back(std::move(b));
            }
            work_ready_.notify_one();
        }
    }

    void read(batch& b, const read_options& options) const {
        if (b.chunk.too_long) return;
        b.line_count =
            each_line(b.chunk.text, [&](const text_line& line) { b.lines.push_back(line); });
        const std::size_t n = b.lines.size();
        if (b.values.size() < n) b.values.resize(n);
        b.failures.resize(n);
        document_reader<T> reader(options);
        for (std::size_t i = 0; i < n; ++i) {
            b.values[i].reset();  // the last run's value, freed for this one's to take its memory
            read_line<T>(b.lines[i], b.values[i], b.failures[i], reader);
        }
        b.values.resize(n);  // and the last run's values beyond this run's
    }

    /// Waits until `b` is read, reading other runs meanwhile rather than waiting idle.
    void wait_for(batch& b) {
        std::unique_lock lock(mutex_);
        while (!b.done) {
            batch* other = unclaimed();
            if (other == nullptr) {
                batch_done_.wait(lock, [&] { return b.done || unclaimed() != nullptr; });
                continue;
            }
            other->claimed = true;
            lock.unlock();
            read_claimed(*other);
            lock.lock();
        }
    }

    /// Reads a run that this thread claimed, and tells the reading thread.
    void read_claimed(batch& b) {
        try {
            read(b, source_.options().read);
        } catch (...) {
            b.fatal = std::current_exception();
        }
        {
            const std::lock_guard lock(mutex_);
            b.done = true;
        }
        batch_done_.notify_all();
    }

    void work() {
        for (;;) {
            batch* b = nullptr;
            {
                std::unique_lock lock(mutex_);
                work_ready_.wait(lock, [&] { return stopping_ || (b = unclaimed()) != nullptr; });
                if (stopping_) return;
                b->claimed = true;
            }
            read_claimed(*b);
        }
    }

    /// The oldest run that no worker has taken; called with the lock held.
    batch* unclaimed() {
        for (auto& b : batches_)
            if (!b->claimed) return b.get();
        return nullptr;
    }

    line_source& source_;
    std::deque<std::unique_ptr<batch>> batches_;   // in the text's order
    std::vector<std::unique_ptr<batch>> cleared_;  // for the next runs: at most those in flight
    std::size_t next_ = 0;                         // the next line of the oldest run
    std::size_t lines_before_ = 0;                 // the lines of the runs handed out
    bool front_done_ = false;                      // the oldest run is read
    bool ended_ = false;
    std::mutex mutex_;
    std::condition_variable work_ready_;
    std::condition_variable batch_done_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace Sylvane::stream::detail
