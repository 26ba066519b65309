#pragma once
/// Where `check<T>` keeps the failures it finds while it walks a document: each one located by
/// the JSON Pointer of the walk so far and the positions of the document's nodes.

#include <cstddef>
#include <string>
#include <string_view>

#include <sylvane/base/export.hpp>
#include <sylvane/check/check_result.hpp>
#include <sylvane/json_tree/read.hpp>
#include <sylvane/json_tree/yojson.hpp>
#include <sylvane/treeform/failure.hpp>

namespace Sylvane::derive::detail {

/// The failures of one document, kept up to a limit and counted beyond it.
class SYLVANE_API failure_sink {
public:
    failure_sink(const positioned& doc, std::size_t limit) : doc_(doc), limit_(limit) {}
    failure_sink(const failure_sink&) = delete;
    failure_sink& operator=(const failure_sink&) = delete;

    /// Keeps `failure`, raised by a converter run on `node` (the walk's current value), at the
    /// node the failure names, or at `node` when the failure's tree is none of its nodes.
    void add(const Treeform::Of_yojson_error& failure, const yojson& node);

    /// The walk inside the current value's item `index` or entry `key`, while it lives.
    class step {
    public:
        step(failure_sink& sink, std::size_t index);
        step(failure_sink& sink, std::string_view key);
        step(const step&) = delete;
        step& operator=(const step&) = delete;
        ~step() { sink_.pointer_.resize(size_); }

    private:
        failure_sink& sink_;
        std::size_t size_;
    };

    /// How many failures were found, kept or not.
    std::size_t count() const noexcept { return result_.failures.size() + result_.more; }
    check_result take() && { return std::move(result_); }

private:
    const positioned& doc_;
    std::size_t limit_;
    std::string pointer_;  // of the walk's current value
    check_result result_;
};

}  // namespace Sylvane::derive::detail
