// The reader of many documents one after another, which the readers of streams use for trees:
// each document reads as `read` reads it alone, whatever came before it, and its tree outlives
// the reader.

#include <cstddef>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <sylvane/json_tree/detail/document_reader.hpp>
#include <sylvane/sylvane.hpp>

namespace {

using Sylvane::parse_error;
using Sylvane::yojson;
using Sylvane::json_tree::detail::document_reader;

/// Documents whose keys and short strings stand at the same places with other bytes: a reader
/// that kept what an earlier document met would give the earlier one's.
std::vector<std::string> documents() {
    std::vector<std::string> docs = {
        R"({"ab": 1, "c": "red"})",
        R"({"ac": 1, "c": "rad"})",
        R"({"a": 1, "c": "red"})",
        R"({"abc": 1, "cc": "red"})",
        R"({"a\u0062": 1, "c": ["red", "red", {}, [], {}]})",
        R"({"a_key_longer_than_sixteen": {"a_key_longer_than_sixteen_and_more_than_32": 2}})",
        R"({"a_key_longer_than_sixteeN": {"a_key_longer_than_sixteen_and_more_than_33": 2}})",
        R"([1, 2.5, -3, 123456789012345678901234, true, false, null, "é"])",
        R"("just a string")",
        R"(7)",
        R"({})",
    };
    // Enough of them to fill many blocks of memory, of varying shapes.
    for (int i = 0; i < 5000; ++i)
        docs.push_back("{\"id\": " + std::to_string(i) + ", \"k" + std::to_string(i % 7) + "\": [" +
                       std::string(static_cast<std::size_t>(i % 50), '1') + "], \"s\": \"" +
                       std::string(static_cast<std::size_t>(i % 13), 'x') + "\"}");
    docs.push_back("[" + std::string(200000, '1') + "]");  // more than a block on its own
    docs.push_back(R"({"ab": 1, "c": "red"})");
    return docs;
}

TEST(DocumentReader, EachDocumentReadsAsReadReadsItAlone) {
    const std::vector<std::string> docs = documents();
    std::vector<yojson> kept;
    {
        document_reader reader({});
        for (const std::string& d : docs) kept.push_back(reader.read(d));
    }  // the trees outlive the reader
    ASSERT_EQ(kept.size(), docs.size());
    for (std::size_t i = 0; i < docs.size(); ++i) EXPECT_EQ(kept[i], Sylvane::read(docs[i])) << i;

    // The same bytes of text rewritten with another key between two reads.
    document_reader reader({});
    std::string buffer = R"({"abcd": 1})";
    const yojson first = reader.read(buffer);
    buffer[5] = 'X';
    EXPECT_EQ(reader.read(buffer), Sylvane::read(R"({"abcX": 1})"));
    EXPECT_EQ(first, Sylvane::read(R"({"abcd": 1})"));
}

TEST(DocumentReader, FailuresAreThoseOfReadAndTheNextDocumentReadsRight) {
    Sylvane::read_options options;
    options.max_depth = 3;
    document_reader reader(options);
    for (const std::string bad : {R"({"ab": 1,})", "[[[[1]]]]", R"({"ab" 1})", "[1] 2", ""}) {
        std::string expected;
        try {
            Sylvane::read(bad, options);
        } catch (const parse_error& e) {
            expected = e.what();
        }
        ASSERT_FALSE(expected.empty()) << bad;
        try {
            reader.read(bad);
            ADD_FAILURE() << bad;
        } catch (const parse_error& e) {
            EXPECT_EQ(e.what(), expected);
        }
        EXPECT_EQ(reader.read(R"({"ab": [1, {"c": 2}]})"),
                  Sylvane::read(R"({"ab": [1, {"c": 2}]})"));
    }
}

TEST(DocumentReader, ValuesInsideALargerText) {
    // The items of an array two levels down, one after another; nesting counts the levels
    // around them.
    const std::string text = R"({"a": [{"k": 1}, [2, [3]], "s"]})";
    const yojson whole = Sylvane::read(text);
    Sylvane::read_options options;
    options.max_depth = 3;
    document_reader reader(options);
    std::size_t at = text.find('{', 1);
    EXPECT_EQ(reader.read_value(text, at, 2), whole.as_assoc()[0].second.as_list()[0]);
    EXPECT_EQ(text[at], ',');
    at = text.find('[', at);
    EXPECT_THROW(reader.read_value(text, at, 2), parse_error);  // [2, [3]] is too deep here
    at = text.find('"', text.find(']', at) + 2);
    EXPECT_EQ(reader.read_value(text, at, 2), yojson::String("s"));
}

TEST(DocumentReader, APaddedTextEndsWhereItsViewEnds) {
    // The reads near the end of a padded text look past it; what they find there (digits, a
    // quote, a key's bytes) must not become part of the document, which reads or fails as the
    // view alone does.
    document_reader reader({});
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"12", "34, 5"},
        {"-3", "45]"},
        {"[1.25", "5, 2]"},
        {"1.", "5"},
        {"[1", ".5]"},
        {R"({"id": 4)", "2}"},
        {R"({"key": 1, "k)", R"(ey": 2})"},
        {R"({"key": 1, "key)", R"(": 2})"},
    };
    for (const auto& [doc, after] : cases) {
        const std::string buffer = doc + after + std::string(40, '7');
        const std::string_view view(buffer.data(), doc.size());
        std::string expected;
        std::string seen;
        try {
            expected = Sylvane::write(Sylvane::read(doc));
        } catch (const parse_error& e) {
            expected = e.what();
        }
        reader.read(R"({"key": 0, "key": 1})");  // the keys known at their places
        for (int round = 0; round < 2; ++round) {
            try {
                seen = Sylvane::write(reader.read(view, true));
            } catch (const parse_error& e) {
                seen = e.what();
            }
            EXPECT_EQ(seen, expected) << doc;
        }
    }
}

TEST(DocumentReader, MovesBetweenThreads) {
    // Read on one thread, then on another while the first reads on its own: neither sees the
    // other's keys.
    const std::vector<std::string> docs = documents();
    document_reader reader({});
    EXPECT_EQ(reader.read(docs[0]), Sylvane::read(docs[0]));
    std::vector<yojson> there;
    std::thread other([&] {
        for (std::size_t i = 0; i < 2000; ++i) there.push_back(reader.read(docs[i]));
    });
    std::vector<yojson> here;
    for (std::size_t i = 0; i < 2000; ++i) here.push_back(Sylvane::read(docs[1999 - i]));
    other.join();
    for (std::size_t i = 0; i < here.size(); ++i) EXPECT_EQ(here[i], there[1999 - i]);
    for (std::size_t i = 0; i < there.size(); ++i) EXPECT_EQ(there[i], Sylvane::read(docs[i]));
}

}  // namespace
