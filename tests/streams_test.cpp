// The readers of streams: JSON Lines, the items of an array, text in pieces. Their values and
// failures are those of read_as on the same text, whatever the blocks or pieces it comes in.

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sylvane/sylvane.hpp>

namespace stream_models {
struct item {
    std::int64_t id = 0;
    std::string name;
    std::vector<double> v;
    bool operator==(const item&) const = default;
};
SYLVANE_RECORD(item, id, name, v)
struct collection {
    std::string type;
    Sylvane::yojson bbox;
    std::vector<item> features;
    Sylvane::yojson tail;
};
SYLVANE_RECORD(collection, type, bbox, features, tail)

/// An integer that counts the instances alive: what a reader keeps of the values it read.
struct counted {
    static inline std::atomic<long> alive{0};
    std::int64_t n = 0;
    counted() noexcept { ++alive; }
    counted(const counted& other) noexcept : n(other.n) { ++alive; }
    counted& operator=(const counted&) noexcept = default;
    ~counted() { --alive; }
};
}  // namespace stream_models

template <>
struct Sylvane::converter<stream_models::counted> {
    static Sylvane::yojson to_yojson(const stream_models::counted& c) {
        return Sylvane::yojson::Int(c.n);
    }
    static stream_models::counted of_yojson(const Sylvane::yojson& t) {
        stream_models::counted c;
        c.n = t.as_int();
        return c;
    }
};

namespace {

using Sylvane::located_error;
using Sylvane::parse_errc;
using Sylvane::parse_error;
using Sylvane::stream_options;
using stream_models::item;

/// Options that read in blocks of `block` bytes, so that values cross every boundary.
stream_options in_blocks(std::size_t block) {
    stream_options o;
    o.block_size = block;
    return o;
}

/// Every value of `text`'s lines, or the failure's what() as the last element.
template <class T>
std::vector<std::string> lines_of(const std::string& text, const stream_options& options = {}) {
    std::istringstream in(text);
    std::vector<std::string> out;
    try {
        for (const T& v : Sylvane::read_lines<T>(in, options)) out.push_back(Sylvane::write(v));
    } catch (const std::exception& e) {
        out.push_back(std::string("failure: ") + e.what());
    }
    return out;
}

/// Every value of `text` fed to a push reader in pieces of the given sizes (the last repeated).
template <class T>
std::vector<std::string> pushed(const std::string& text, const std::vector<std::size_t>& sizes) {
    Sylvane::push_reader<T> reader;
    std::vector<std::string> out;
    try {
        std::size_t at = 0;
        for (std::size_t i = 0; at < text.size(); ++i) {
            const std::size_t n = sizes[std::min(i, sizes.size() - 1)];
            reader.feed(std::string_view(text).substr(at, n));
            at += n;
            while (auto v = reader.next()) out.push_back(Sylvane::write(*v));
        }
        reader.finish();
        while (auto v = reader.next()) out.push_back(Sylvane::write(*v));
    } catch (const std::exception& e) {
        out.push_back(std::string("failure: ") + e.what());
    }
    return out;
}

/// Every item of the array at `pointer`, or the failure's what() as the last element.
template <class T>
std::vector<std::string> items_of(const std::string& text, std::string_view pointer,
                                  const stream_options& options = {}) {
    std::istringstream in(text);
    std::vector<std::string> out;
    try {
        for (const T& v : Sylvane::read_array_items<T>(in, pointer, options))
            out.push_back(Sylvane::write(v));
    } catch (const std::exception& e) {
        out.push_back(std::string("failure: ") + e.what());
    }
    return out;
}

const std::string lines_text =
    "{\"id\": 1, \"name\": \"a\", \"v\": [1.5]}\n"
    "\n"
    "\x1e{\"id\": 2, \"name\": \"b\\u00e9\", \"v\": []}\r\n"
    "   \n"
    "{\"id\": 3, \"name\": \"c\", \"v\": [2, 3e2]}";  // no line end after the last

TEST(ReadLines, ReadsEachLineAsADocumentWithItsLineNumber) {
    std::istringstream in(lines_text);
    auto lines = Sylvane::read_lines<item>(in);
    std::vector<std::int64_t> ids;
    std::vector<std::size_t> numbers;
    for (const item& i : lines) {
        ids.push_back(i.id);
        numbers.push_back(lines.line());
    }
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(numbers, (std::vector<std::size_t>{1, 3, 5}));
    // Trees, and blocks of every size from one byte give the same.
    const auto trees = lines_of<Sylvane::yojson>(lines_text);
    ASSERT_EQ(trees.size(), 3u);
    EXPECT_EQ(trees[1], R"({"id":2,"name":"bé","v":[]})");
    for (std::size_t block : {1u, 2u, 3u, 7u, 64u})
        EXPECT_EQ(lines_of<item>(lines_text, in_blocks(block)), lines_of<item>(lines_text));
}

TEST(ReadLines, FailuresArePlacedInTheWholeStream) {
    const std::string text =
        "{\"id\": 1, \"name\": \"a\", \"v\": []}\n"
        "{\"id\": 2, \"name\": \"b\", \"v\": [true]}\n"
        "{\"id\": 3, \"name\": \"c\", \"v\": []}\n"
        "{\"id\": 4, \"name\": \"d\", \"v\": [}\n"
        "{\"id\": 5, \"name\": \"e\", \"v\": []}\n";
    const std::string bad_value =
        "failure: Sylvane__Treeform.Of_yojson_error: float_of_yojson: float needed "
        "(at /v/0, line 2, column 30; met true)";
    for (std::size_t block : {1u, 5u, 4096u}) {
        auto seen = lines_of<item>(text, in_blocks(block));
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[1], bad_value);
    }
    // Skipping bad lines reads on, and keeps every failure.
    std::istringstream in(text);
    stream_options skip;
    skip.skip_bad_lines = true;
    auto lines = Sylvane::read_lines<item>(in, skip);
    std::vector<std::int64_t> ids;
    for (const item& i : lines) ids.push_back(i.id);
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 3, 5}));
    ASSERT_EQ(lines.skipped_count(), 2u);
    EXPECT_EQ(lines.skipped()[0].line, 2u);
    EXPECT_EQ("failure: " + lines.skipped()[0].message, bad_value);
    EXPECT_EQ(lines.skipped()[1].line, 4u);
    EXPECT_EQ(lines.skipped()[1].message, "4:30: unexpected character '}'");
    EXPECT_THROW(std::rethrow_exception(lines.skipped()[1].failure), parse_error);
}

TEST(ReadLines, ThreadsGiveTheSameValuesAndFailuresInOrder) {
    std::string text;
    for (int i = 0; i < 3000; ++i) {
        text += "{\"id\": " + std::to_string(i) + ", \"name\": \"n\", \"v\": [" +
                (i % 997 == 5 ? "\"bad\"" : std::to_string(i)) + "]}\n";
    }
    stream_options threads = in_blocks(512);
    for (unsigned n : {3u, 2u}) {  // the calling thread reads runs too: 2 and 1 workers
        threads.threads = n;
        EXPECT_EQ(lines_of<item>(text, threads), lines_of<item>(text, in_blocks(512)));
    }
    // Skipping: every failure, in order, and the values around them.
    threads.skip_bad_lines = true;
    std::istringstream in(text);
    auto lines = Sylvane::read_lines<item>(in, threads);
    std::size_t n = 0;
    for (const item& i : lines) {
        EXPECT_EQ(static_cast<std::size_t>(i.id) + 1, lines.line());
        ++n;
    }
    EXPECT_EQ(n, 2996u);
    ASSERT_EQ(lines.skipped_count(), 4u);
    EXPECT_EQ(lines.skipped()[2].line, 2000u);
    EXPECT_EQ(lines.skipped()[2].message,
              "Sylvane__Treeform.Of_yojson_error: float_of_yojson: float needed (at /v/0, line "
              "2000, column 33; met \"bad\")");
    // A line over the limit fails at its line, as without threads.
    stream_options small = in_blocks(64);
    small.max_value_size = 100;
    const std::string long_line = "[1]\n[2]\n\n[" + std::string(200, ' ') + "3]\n[4]\n";
    const auto one = lines_of<std::vector<int>>(long_line, small);
    small.threads = 2;
    EXPECT_EQ(lines_of<std::vector<int>>(long_line, small), one);
    EXPECT_EQ(one.back(), "failure: 4:1: value longer than 100 bytes");
    // Lines from a few bytes to several blocks long: the runs' buffers, handed back and
    // read into again, differ in size.
    std::string uneven;
    for (int i = 0; i < 400; ++i)
        uneven += "{\"id\": " + std::to_string(i) + ", \"name\": \"" +
                  std::string(static_cast<std::size_t>(i * 7919 % 1500), 'x') + "\", \"v\": []}\n";
    const auto alone = lines_of<item>(uneven, in_blocks(512));
    ASSERT_EQ(alone.size(), 400u);
    for (unsigned count : {2u, 3u}) {
        threads.threads = count;
        EXPECT_EQ(lines_of<item>(uneven, threads), alone);
    }
    // A reader left early stops its threads.
    std::istringstream again(text);
    auto early = Sylvane::read_lines<item>(again, threads);
    EXPECT_EQ(early.begin()->id, 0);
}

TEST(ReadLines, ThreadsKeepTheValuesOfTheirRunsNotOfTheFile) {
    // Runs read into the places of the runs before them: what is alive stays within the runs
    // in flight and kept, a few hundred values, however long the text.
    using stream_models::counted;
    std::string text;
    for (int i = 0; i < 20000; ++i) text += std::to_string(i) + "\n";
    stream_options options = in_blocks(512);
    options.threads = 2;
    std::istringstream in(text);
    std::int64_t next = 0;
    long most = 0;
    {
        auto lines = Sylvane::read_lines<counted>(in, options);
        for (const counted& c : lines) {
            EXPECT_EQ(c.n, next++);
            most = std::max(most, counted::alive.load());
        }
    }
    EXPECT_EQ(next, 20000);
    EXPECT_LT(most, 2000);
    EXPECT_EQ(counted::alive.load(), 0);
}

/// What reading `text` gave: the value written back, or the failure's column and reason.
template <class Read>
std::string outcome(Read read) {
    try {
        return Sylvane::write(read());
    } catch (const parse_error& e) {
        return std::to_string(e.position().column) + ": " + std::string(e.reason());
    } catch (const std::exception&) {
        return "other";
    }
}

/// Every prefix of `whole`, each a line of its own (every other one ending in "\r\n", whose
/// carriage return is blank in the line's text), read as `T`s on one thread and on two: each
/// line reads, or fails at the same column, as its text alone does.
template <class T, class ReadAlone>
void expect_prefixes_read_alone(const std::string& whole, ReadAlone read_alone) {
    std::string text;
    std::vector<std::string> expected;
    for (std::size_t n = 1; n <= whole.size(); ++n) {
        const std::string line = whole.substr(0, n) + (n % 2 == 0 ? "" : "\r");
        text += line + "\n";
        expected.push_back(outcome([&] { return read_alone(line); }));
    }
    for (unsigned threads : {1u, 2u}) {
        std::istringstream in(text);
        stream_options options = in_blocks(16);
        options.skip_bad_lines = true;
        options.threads = threads;
        auto lines = Sylvane::read_lines<T>(in, options);
        std::vector<std::string> seen(expected.size());
        for (const T& v : lines) seen[lines.line() - 1] = Sylvane::write(v);
        for (const auto& skipped : lines.skipped())
            seen[skipped.line - 1] =
                outcome([&]() -> T { std::rethrow_exception(skipped.failure); });
        EXPECT_EQ(seen, expected) << threads << " threads";
    }
}

TEST(ReadLines, LinesCutShortAtEveryByteFailAsTheirTextAlone) {
    // Keys near a line's end are matched in blocks that run past it.
    expect_prefixes_read_alone<item>(
        R"({"id": 12, "name": "nn", "v": [1]})",
        [](const std::string& line) { return Sylvane::read_as<item>(line); });
}

TEST(ReadLines, TreesOfLinesCutShortAtEveryByteAreTheirTextAlone) {
    // Numbers and keys near a line's end are read in blocks that run past it, into the next
    // line or the padding.
    expect_prefixes_read_alone<Sylvane::yojson>(
        R"({"id": 12, "v": [1.5, -3, 1e2], "n": 123456789, "k": 0.25})",
        [](const std::string& line) { return Sylvane::read(line); });
}

TEST(ReadLines, ATruncatedLastLineOrALongLineFails) {
    const std::string truncated = "[1]\n[2, 3";
    const auto seen = lines_of<std::vector<int>>(truncated, in_blocks(2));
    EXPECT_EQ(seen, (std::vector<std::string>{"[1]",
                                              "failure: 2:6: unexpected end of input, "
                                              "expected ',' or ']'"}));
    stream_options small;
    small.max_value_size = 10;
    small.block_size = 4;
    std::istringstream in("[1,2]\n[1,2,3,4,5,6,7]\n");
    auto lines = Sylvane::read_lines<std::vector<int>>(in, small);
    auto it = lines.begin();
    EXPECT_EQ(it->size(), 2u);
    try {
        ++it;
        FAIL() << "a line over the limit was read";
    } catch (const parse_error& e) {
        EXPECT_EQ(e.code(), parse_errc::value_too_long);
        EXPECT_EQ(e.line(), 2u);
        EXPECT_EQ(e.reason(), "value longer than 10 bytes");
    }
}

TEST(ReadLines, RefusesAStreamThatCannotBeRead) {
    std::istringstream in("[1]");
    in.setstate(std::ios::failbit);
    EXPECT_THROW(Sylvane::read_lines<Sylvane::yojson>(in), std::ios_base::failure);
    EXPECT_THROW(Sylvane::read_lines<Sylvane::yojson>(std::filesystem::path("/no/such/file")),
                 std::system_error);
}

TEST(PushReader, SameValuesAndFailuresWhateverThePieces) {
    const std::string bad = lines_text + "\n{\"id\": 4, \"name\": 5, \"v\": []}\n[1]";
    for (const std::string& text : {lines_text, bad, std::string("[1] [2]\n3 \"x\""),
                                    lines_text.substr(0, lines_text.size() - 3)}) {
        const auto whole = pushed<Sylvane::yojson>(text, {text.size()});
        const auto typed = pushed<item>(text, {text.size()});
        for (std::size_t cut = 1; cut < text.size(); ++cut) {
            EXPECT_EQ(pushed<Sylvane::yojson>(text, {cut, text.size()}), whole) << cut;
            EXPECT_EQ(pushed<item>(text, {cut, text.size()}), typed) << cut;
        }
        std::mt19937 random(7);
        for (int round = 0; round < 50; ++round) {
            std::vector<std::size_t> sizes;
            for (int i = 0; i < 40; ++i) sizes.push_back(1 + random() % 9);
            EXPECT_EQ(pushed<item>(text, sizes), typed);
        }
    }
    EXPECT_EQ(pushed<item>(lines_text, {1}).size(), 3u);
    EXPECT_EQ(pushed<item>(bad, {1}).back(),
              "failure: Sylvane__Treeform.Of_yojson_error: string_of_yojson: string needed "
              "(at /name, line 6, column 19; met 5)");
    EXPECT_EQ(pushed<std::vector<int>>("[1]\n[2", {1}).back(),
              "failure: 2:3: unexpected end of input, expected ',' or ']'");
}

const std::string geo = R"({"type": "FeatureCollection", "bbox": [0, {"k": [1]}],
 "features": [
  {"id": 1, "name": "one", "v": [1, 2]},
  {"id": 2, "name": "two", "v": []},
  {"id": 3, "name": "three", "v": [0.5]}
 ],
 "tail": {"x": [1, 2, {"y": null}]}
})";

TEST(ReadArrayItems, ReadsTheItemsAtAPointerAndChecksTheRest) {
    const auto whole = Sylvane::read_as<stream_models::collection>(geo);
    std::vector<std::string> expected;
    for (const item& i : whole.features) expected.push_back(Sylvane::write(i));
    std::vector<std::string> trees;
    const Sylvane::yojson tree = Sylvane::read(geo);
    for (const auto& t : tree.as_assoc()[2].second.as_list()) trees.push_back(Sylvane::write(t));
    for (std::size_t block : {1u, 2u, 3u, 5u, 11u, 4096u}) {
        EXPECT_EQ(items_of<item>(geo, "/features", in_blocks(block)), expected) << block;
        EXPECT_EQ(items_of<Sylvane::yojson>(geo, "/features", in_blocks(block)), trees);
    }
    EXPECT_EQ(items_of<int>(geo, "/bbox/1/k"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(items_of<int>("[]", ""), (std::vector<std::string>{}));
    EXPECT_EQ(items_of<int>(" [1, 2,\n 3] ", ""), (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(items_of<int>("{\"a/b\": {\"~\": [[7]]}}", "/a~1b/~0/0"),
              (std::vector<std::string>{"7"}));
}

TEST(ReadArrayItems, FailuresAreThoseOfReadAsOnTheWholeText) {
    // A field missing, a value of the wrong kind, text that is not JSON: the same failure as
    // read_as of the whole document, in blocks of any size.
    std::string missing = geo;
    missing.replace(missing.find("\"name\": \"two\", "), 15, "");
    std::string wrong = geo;
    wrong.replace(wrong.find("[0.5]"), 5, "[\"x\"]");
    std::string broken = geo;
    broken.replace(broken.find("\"y\": null"), 9, "\"y\" null");
    for (const std::string& text : {missing, wrong, broken}) {
        std::string expected;
        try {
            Sylvane::read_as<stream_models::collection>(text);
        } catch (const std::exception& e) {
            expected = std::string("failure: ") + e.what();
        }
        for (std::size_t block : {1u, 3u, 4096u})
            EXPECT_EQ(items_of<item>(text, "/features", in_blocks(block)).back(), expected);
    }
    EXPECT_EQ(items_of<int>("[1, 2", "", in_blocks(2)).back(),
              "failure: 1:6: unexpected end of input, expected ',' or ']'");
    EXPECT_EQ(items_of<int>("[1] 2", "").back(),
              "failure: 1:5: unexpected character '2' after "
              "the value");
    EXPECT_EQ(items_of<int>(geo, "/features/x").back(), "failure: 2:14: no array at /features/x");
    EXPECT_EQ(items_of<int>(geo, "/nothing").back(), "failure: 8:1: no array at /nothing");
    EXPECT_EQ(items_of<int>("{}", "").back(), "failure: 1:1: no array at the root");
    EXPECT_THROW(Sylvane::read_array_items<int>(std::filesystem::path("/no/such"), ""),
                 std::system_error);
    std::istringstream in("[]");
    EXPECT_THROW(Sylvane::read_array_items<int>(in, "features"), std::invalid_argument);
}

TEST(ReadArrayItems, RealDocuments) {
    const std::filesystem::path dir = SYLVANE_REAL_DOCUMENTS_DIR;
    const auto count = [&](const char* file, const char* pointer) {
        std::size_t n = 0;
        for (const auto& tree :
             Sylvane::read_array_items<Sylvane::yojson>(dir / file, pointer, in_blocks(1000)))
            n += tree.kind() != Sylvane::yojson_kind::Null;
        return n;
    };
    const auto canada = Sylvane::read_file(dir / "canada.json");
    EXPECT_EQ(count("canada.json", "/features"), canada.as_assoc()[1].second.as_list().size());
    EXPECT_EQ(count("twitter.json", "/statuses"), 100u);
}

}  // namespace

namespace {

TEST(StreamWriters, WriteWhatTheReadersRead) {
    const std::vector<item> items{{1, "a", {1.5}}, {2, "b\n\"", {}}, {3, "c", {2, 1e300}}};
    std::ostringstream lines;
    Sylvane::write_lines(lines, items);
    EXPECT_EQ(lines.str(), Sylvane::write(items[0]) + '\n' + Sylvane::write(items[1]) + '\n' +
                               Sylvane::write(items[2]) + '\n');
    std::istringstream back(lines.str());
    std::vector<item> read;
    for (item& i : Sylvane::read_lines<item>(back)) read.push_back(std::move(i));
    EXPECT_EQ(read, items);

    // Blocks smaller than one value: the array's text is write(vector) all the same.
    std::ostringstream array;
    {
        Sylvane::array_writer out(array, {}, 8);
        for (const item& i : items) out.write(i);
        out.write(Sylvane::yojson::Int(7));
        EXPECT_EQ(out.size(), 4u);
    }
    EXPECT_EQ(array.str(), Sylvane::write(items).insert(Sylvane::write(items).size() - 1, ",7"));
}

TEST(StreamWriters, AValueThatCannotBeWrittenLeavesTheTextWhole) {
    std::ostringstream array;
    Sylvane::array_writer out(array);
    out.write(1.5);
    EXPECT_THROW(out.write(std::nan("")), Sylvane::write_error);
    EXPECT_THROW(out.write(std::vector<double>{1, std::nan("")}), Sylvane::write_error);
    out.write(2.5);
    out.close();
    EXPECT_EQ(array.str(), "[1.5,2.5]");
    EXPECT_THROW(out.write(3), std::logic_error);

    std::ostringstream failing;
    failing.setstate(std::ios::badbit);
    Sylvane::lines_writer lines(failing);
    lines.write(1);
    EXPECT_THROW(lines.flush(), std::ios_base::failure);
    Sylvane::write_options pretty;
    pretty.pretty = true;
    EXPECT_THROW(Sylvane::lines_writer(array, pretty), std::invalid_argument);
}

}  // namespace
