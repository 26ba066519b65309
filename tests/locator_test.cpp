// The position tables of `read_with_positions`, in both widths, against positions found by a
// separate scan of the text.

#include <sylvane/json_tree/read.hpp>

#include "wide_positions.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace Sylvane::json_tree;

/// Where every value of the valid JSON `text` starts, in text order: a scan that knows only
/// that a value starts at a bracket, a quote that is not a key's, a digit, '-' or a literal.
std::vector<std::size_t> value_starts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '"') {
            std::size_t j = i + 1;
            while (text[j] != '"') j += text[j] == '\\' ? 2 : 1;
            std::size_t k = j + 1;
            while (k < text.size() && std::strchr(" \t\r\n", text[k]) != nullptr) ++k;
            if (k == text.size() || text[k] != ':') starts.push_back(i);
            i = j + 1;
        } else if (std::strchr("{[-0123456789tfn", c) != nullptr) {
            starts.push_back(i);
            if (c == '{' || c == '[') {
                ++i;
            } else {
                while (i < text.size() && std::strchr(",]} \t\r\n", text[i]) == nullptr) ++i;
            }
        } else {
            ++i;
        }
    }
    return starts;
}

/// Checks every node of `r`, read from `text`, against the scan: by address, through a copy for
/// nodes with a payload, with its line and column; and addresses that are no node.
void check_every_node(const std::string& text, positioned r) {
    const std::vector<std::size_t> starts = value_starts(text);
    const locator& positions = r.positions;  // until it is moved from at the end
    std::size_t k = 0, line = 1, line_start = 0, scanned = 0;
    const auto expect_at = [&](const std::optional<text_position>& p, std::size_t offset) {
        for (; scanned < offset; ++scanned)
            if (text[scanned] == '\n') ++line, line_start = scanned + 1;
        ASSERT_TRUE(p.has_value()) << "at " << offset;
        ASSERT_EQ(*p, (text_position{offset, line, offset - line_start + 1}));
    };
    const auto visit = [&](const auto& self, const yojson& node) -> void {
        ASSERT_LT(k, starts.size());
        const std::size_t offset = starts[k++];
        if (k > 1) expect_at(positions.position_of(&node), offset);
        const yojson copy = node;
        switch (node.kind()) {
            case yojson_kind::List: {
                expect_at(positions.position_of(copy), offset);
                const auto items = node.as_list();
                for (const yojson& e : items) self(self, e);
                // Just past the last element lies the next node: no element.
                ASSERT_FALSE(positions.position_of(items.data() + items.size()));
                break;
            }
            case yojson_kind::Assoc: {
                expect_at(positions.position_of(copy), offset);
                for (const auto& entry : node.as_assoc()) {
                    ASSERT_FALSE(positions.position_of(reinterpret_cast<const yojson*>(&entry)));
                    self(self, entry.second);
                }
                break;
            }
            case yojson_kind::String:
            case yojson_kind::Intlit: expect_at(positions.position_of(copy), offset); break;
            default: ASSERT_FALSE(positions.position_of(copy));  // a scalar has no identity
        }
    };
    visit(visit, r.tree);
    EXPECT_EQ(k, starts.size());
    EXPECT_EQ(positions.size(), starts.size() - 1);
    EXPECT_EQ(positions.root().offset, starts.front());
    EXPECT_FALSE(positions.position_of(static_cast<const yojson*>(nullptr)));
    const yojson other = yojson::List({yojson::Int(1)});
    EXPECT_FALSE(positions.position_of(other.as_list().data()));
    const yojson moved = std::move(r.tree);
    EXPECT_EQ(positions.position_of(moved), positions.root());
    // A moved-from locator answers nothing, and safely.
    const locator taken = std::move(r.positions);
    EXPECT_EQ(taken.position_of(moved), taken.root());
    EXPECT_FALSE(r.positions.position_of(moved));
    EXPECT_EQ(r.positions.size(), 0u);
    EXPECT_EQ(r.positions.root().line, 1u);
}

void check_both_widths(const std::string& text) {
    SCOPED_TRACE(text.substr(0, 40));
    check_every_node(text, read_with_positions(text));
    check_every_node(text, detail::read_with_wide_positions(text));
}

// Containers of no, one and many elements, nested, escaped strings and integers too long for
// 64 bits, repeated until the tree spans many arena chunks.
TEST(locator, every_node_of_a_document_of_many_chunks) {
    std::string text = "[";
    for (int i = 0; i < 5000; ++i) {
        const std::string n = std::to_string(i);
        if (i > 0) text += ",\n ";
        text += R"({"e": [], "o": {}, "one": [)" + n + R"(], "n": {"x": {"y": [[]]}},)" +
                R"( "s": "a\"b", "big": 123456789012345678901234567890, "l": [true, false,)" +
                " null, -1.5e3, \"" + n + "\"]}";
    }
    text += "]";
    check_both_widths(text);
}

TEST(locator, small_documents) {
    for (const char* text : {"[]", "{}", "[1]", "{\"k\": \"v\"}", "[[[]]]", "\"s\"",
                             "123456789012345678901234567890", "\n\n [ 1 ,\n2 ]"})
        check_both_widths(text);
}

TEST(locator, real_documents) {
    const std::filesystem::path dir = SYLVANE_REAL_DOCUMENTS_DIR;
    for (const char* name : {"canada.json", "citm_catalog.json", "twitter.json"}) {
        std::ifstream in(dir / name, std::ios::binary);
        if (!in) GTEST_SKIP() << dir / name;
        const std::string text(std::istreambuf_iterator<char>(in), {});
        check_both_widths(text);
    }
}

}  // namespace
