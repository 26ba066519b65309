// JSON text for failure messages.

#include "shown_value.hpp"

#include "../json_tree/text_out.hpp"

namespace Sylvane::derive::detail {

namespace {

/// Appends to a string, for the writer's functions of numbers and strings.
struct string_out {
    std::string& s;
    char* room(std::size_t n) {
        const std::size_t at = s.size();
        s.resize(at + n);
        return s.data() + at;
    }
    void advance(const char* p) { s.resize(static_cast<std::size_t>(p - s.data())); }
    void put(const char* p, std::size_t n) { s.append(p, n); }
    void put_char(char c) { s.push_back(c); }
};

/// Writes `t` to `out` until `out` holds more than `limit` bytes. Each level adds a byte before
/// it descends, so the recursion is at most `limit` deep.
void show(std::string& out, const yojson& t, std::size_t limit) {
    if (out.size() > limit) return;
    string_out o{out};
    switch (t.kind()) {
        case yojson_kind::Null: out += "null"; return;
        case yojson_kind::Bool: out += t.as_bool() ? "true" : "false"; return;
        case yojson_kind::Int: out += std::to_string(t.as_int()); return;
        case yojson_kind::Intlit: out += t.as_intlit(); return;
        case yojson_kind::Float: json_tree::detail::put_float(o, t.as_float(), true); return;
        case yojson_kind::String: {
            // No more of a long string than can be shown.
            const std::string_view s = t.as_string();
            json_tree::detail::put_string<false>(o, s.substr(0, limit + 1));
            return;
        }
        case yojson_kind::List: {
            out += '[';
            bool first = true;
            for (const yojson& item : t.as_list()) {
                if (out.size() > limit) return;
                if (!first) out += ',';
                first = false;
                show(out, item, limit);
            }
            out += ']';
            return;
        }
        case yojson_kind::Assoc: {
            out += '{';
            bool first = true;
            for (const auto& [key, value] : t.as_assoc()) {
                if (out.size() > limit) return;
                if (!first) out += ',';
                first = false;
                json_tree::detail::put_string<false>(o, key.substr(0, limit + 1));
                out += ':';
                show(out, value, limit);
            }
            out += '}';
            return;
        }
    }
}

}  // namespace

void append_json_string(std::string& out, std::string_view s) {
    string_out o{out};
    json_tree::detail::put_string<false>(o, s);
}

std::string shown_value(const yojson& tree, std::size_t limit) {
    std::string out;
    show(out, tree, limit);
    if (out.size() <= limit) return out;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(out[cut]) & 0xc0) == 0x80) --cut;
    out.resize(cut);
    out += "...";
    return out;
}

}  // namespace Sylvane::derive::detail
