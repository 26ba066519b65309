// The kernels that check the text of strings: each one must stop exactly where the scalar one
// does, on every input, whatever the block edges.
#include "string_text.hpp"

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <vector>

using namespace Sylvane::json_tree::detail;

namespace {

using kernel = const char* (*)(const char*, const char*) noexcept;

/// The kernels that this CPU can run, by name.
std::vector<std::pair<const char*, kernel>> kernels() {
    std::vector<std::pair<const char*, kernel>> k{{"scalar", &string_text_scalar}};
#if defined(SYLVANE_STRING_TEXT_AVX2)
    if (has_avx2()) k.emplace_back("avx2", &string_text_avx2);
#endif
    return k;
}

/// Checks that every kernel stops at `expected` in `text`.
void check_stop(const std::string& text, std::size_t expected) {
    for (const auto& [name, run] : kernels()) {
        SCOPED_TRACE(name);
        const char* begin = text.data();
        EXPECT_EQ(run(begin, begin + text.size()) - begin, static_cast<std::ptrdiff_t>(expected));
    }
}

// Three-byte text (U+3042) with ASCII between, so that sequences fall across every block edge.
const std::string mixed = "\xe3\x81\x82\xe3\x81\x82x\xc3\xa9\xe3\x81\x82\xf0\x9f\x98\x80yz";

std::string mixed_run(std::size_t n) {
    std::string s;
    while (s.size() < n) s += mixed;
    return s;
}

}  // namespace

TEST(string_text, well_formed_runs_stop_at_the_first_quote_backslash_or_control) {
    const std::string run = mixed_run(100);
    for (std::size_t len = 0; len <= run.size(); ++len) {
        // Only whole sequences: a cut one is ill-formed and stops where it starts.
        if (len < run.size() && (static_cast<unsigned char>(run[len]) & 0xC0) == 0x80) continue;
        const std::string head = run.substr(0, len);
        SCOPED_TRACE(len);
        check_stop(head, len);  // the end of the text, no byte after it
        for (const char stop : {'"', '\\', '\0', '\x01', '\n', '\x1f'})
            check_stop(head + stop + run, len);
        check_stop(head +
                       "\x7f"
                       "abc",
                   len + 4);  // DEL is no control in JSON
    }
}

TEST(string_text, ill_formed_sequences_stop_where_they_start) {
    const std::string run = mixed_run(80);
    // Overlong, surrogates, above U+10FFFF, lone continuations, bytes that are never UTF-8,
    // sequences cut short by ASCII, by a quote or by another lead.
    for (const std::string bad : {"\xc0\xaf",
                                  "\xc1\xbf",
                                  "\xe0\x80\xaf",
                                  "\xe0\x9f\xbf",
                                  "\xf0\x80\x80\xaf",
                                  "\xf0\x8f\xbf\xbf",
                                  "\xed\xa0\x80",
                                  "\xed\xbf\xbf",
                                  "\xf4\x90\x80\x80",
                                  "\xf5\x80\x80\x80",
                                  "\xf8\x88\x80\x80",
                                  "\xff",
                                  "\xfe",
                                  "\x80",
                                  "\xbf",
                                  "\xc3x",
                                  "\xe3\x81x",
                                  "\xf0\x9f\x98x",
                                  "\xc3\"",
                                  "\xe3\x81\"",
                                  "\xc3\xc3\xa9",
                                  "\xe3\xe3\x81\x82",
                                  "\xf0\x9f\xf0\x9f\x98\x80"}) {
        for (std::size_t at = 0; at < 70; ++at) {
            if ((static_cast<unsigned char>(run[at]) & 0xC0) == 0x80) continue;
            SCOPED_TRACE(testing::Message() << "at " << at << ": " << testing::PrintToString(bad));
            check_stop(run.substr(0, at) + bad + run, at);
        }
    }
}

TEST(string_text, sequences_cut_by_the_end_of_the_text_are_ill_formed) {
    const std::string run = mixed_run(80);
    for (const std::string cut : {"\xc3", "\xe3", "\xe3\x81", "\xf0", "\xf0\x9f", "\xf0\x9f\x98"}) {
        for (std::size_t at = 0; at < 70; ++at) {
            if ((static_cast<unsigned char>(run[at]) & 0xC0) == 0x80) continue;
            SCOPED_TRACE(testing::Message() << "at " << at << ": " << testing::PrintToString(cut));
            check_stop(run.substr(0, at) + cut, at);
        }
    }
}

TEST(string_text, kernels_agree_on_random_text) {
    // Bytes of every class: ASCII, stops, continuations, leads of every length, never UTF-8.
    const unsigned char pool[] = {'a',  ' ',  '"',  '\\', 0x00, 0x1f, 0x7f, 0x80,
                                  0x8f, 0x90, 0x9f, 0xa0, 0xbf, 0xc0, 0xc2, 0xdf,
                                  0xe0, 0xe3, 0xed, 0xef, 0xf0, 0xf4, 0xf5, 0xff};
    std::mt19937 gen(17);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof pool - 1);
    std::uniform_int_distribution<int> ascii(0, 3);
    for (int round = 0; round < 20000; ++round) {
        // Mostly well-formed text with a few odd bytes, so that runs are long enough to matter.
        std::string text = mixed_run(static_cast<std::size_t>(round % 97));
        for (std::size_t i = 0; i < text.size(); ++i)
            if (ascii(gen) == 0 && pick(gen) < 4) text[i] = static_cast<char>(pool[pick(gen)]);
        const char* begin = text.data();
        const char* end = begin + text.size();
        const char* want = string_text_scalar(begin, end);
        for (const auto& [name, run] : kernels()) ASSERT_EQ(run(begin, end), want) << name;
    }
}
