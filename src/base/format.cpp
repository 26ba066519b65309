#include <sylvane/base/format.hpp>

#include <charconv>

namespace Sylvane {

format_error::~format_error() = default;

namespace detail {

namespace {

void append_decimal(std::string& out, const format_arg& arg) {
    char digits[24];  // 20 digits hold every 64-bit magnitude
    const auto end = std::to_chars(digits, digits + sizeof digits, arg.magnitude).ptr;
    if (arg.negative) out += '-';
    out.append(digits, end);
}

/// Appends the quoted form of `text`, rewriting one byte at a time.
void append_quoted(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        // Bytes are compared as 0 to 255, whatever the signedness of `char`.
        const auto byte = static_cast<unsigned char>(c);
        switch (byte) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            case '\b': out += "\\b"; break;
            default:
                if (byte >= 32 && byte <= 126) {
                    out += c;
                } else {
                    const char escape[4] = {'\\', static_cast<char>('0' + byte / 100),
                                            static_cast<char>('0' + byte / 10 % 10),
                                            static_cast<char>('0' + byte % 10)};
                    out.append(escape, sizeof escape);
                }
        }
    }
    out += '"';
}

}  // namespace

std::string vsprintf(std::string_view format, std::span<const format_arg> args) {
    check_format(format, args);

    std::size_t estimate = format.size();
    for (const format_arg& arg : args) estimate += arg.text.size();
    std::string out;
    out.reserve(estimate);

    const format_arg* next = args.data();
    std::size_t literal_start = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        out.append(format.substr(literal_start, i - literal_start));
        // `check_format` has made sure that a directive letter follows and that `next` is an
        // argument of the directive's kind.
        switch (format[++i]) {
            case 'd': append_decimal(out, *next); break;
            case 's': out.append(next->text); break;
            default: append_quoted(out, next->text); break;
        }
        ++next;
        literal_start = i + 1;
    }
    out.append(format.substr(literal_start));
    return out;
}

}  // namespace detail

}  // namespace Sylvane
