// Blank-padded text fields, as the command-file reader's list-directed and
// formatted reads leave them.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace orv::engine {

// A blank-padded text of `width` characters.
inline std::string blank_text(std::size_t width) { return std::string(width, ' '); }

// The text without its trailing blanks.
inline std::string trimmed(const std::string& text) {
    const auto last = text.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

// True when the blank-padded FIELD holds WORD followed only by blanks.
// Option words are compared this way, so no literal counts its padding.
inline bool is_word(std::string_view field, std::string_view word) {
    return field.substr(0, word.size()) == word &&
           field.find_first_not_of(' ', std::min(word.size(), field.size())) == std::string_view::npos;
}

}  // namespace orv::engine
