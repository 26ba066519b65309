#pragma once
// Indented text whose lines do not all follow its depth: the readers guess a line's
// indentation from the last line of its depth, and must read every other line as well.

#include <cstddef>
#include <random>
#include <string>

namespace indented_text {

/// `pretty` (one token per line, as written with `pretty`) with the indentation of about one
/// line in `one_in` replaced by 0 to 40 spaces, or tabs, or a mix of both.
inline std::string reindented(const std::string& pretty, unsigned seed, unsigned one_in = 5) {
    std::mt19937 random(seed);
    std::string out;
    std::size_t at = 0;
    while (at < pretty.size()) {
        std::size_t end = pretty.find('\n', at);
        end = end == std::string::npos ? pretty.size() : end + 1;
        const std::size_t token = pretty.find_first_not_of(" \t", at);
        if (random() % one_in == 0 && token < end) {
            const std::size_t n = random() % 41;
            for (std::size_t i = 0; i < n; ++i) out += random() % 4 == 0 ? '\t' : ' ';
            out.append(pretty, token, end - token);
        } else {
            out.append(pretty, at, end - at);
        }
        at = end;
    }
    return out;
}

}  // namespace indented_text
