// Small text helpers shared by the parts of the run-time.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace orv::rt {

// The text without blanks and tabs at either end.
inline std::string_view trim_blanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

// Offending input for a message: quoted, at most `limit` characters, bytes
// outside printable ASCII written as \xNN.
inline std::string shown_text(std::string_view text, std::size_t limit = 40) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "'";
    std::size_t n = 0;
    for (char c : text) {
        if (++n > limit) {
            out += "...";
            break;
        }
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f) {
            out += c;
        } else {
            out += "\\x";
            out += kHex[u >> 4];
            out += kHex[u & 15];
        }
    }
    out += '\'';
    return out;
}

}  // namespace orv::rt
