#include "frontend/text_file.h"

#include <cstdint>

namespace orv::frontend {

namespace {

std::string latin1_to_utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

// False when the (valid UTF-8) text holds a character above U+00FF.
bool utf8_to_latin1(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size()) {
            out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(text[++i]) & 0x3F));
        } else {
            return false;
        }
    }
    return true;
}

std::string with_line_end(std::string_view text, LineEnd end) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.substr(i, kLoneCr.size()) == kLoneCr) {
            out += '\r';
            i += kLoneCr.size() - 1;
            continue;
        }
        if (text[i] == '\n' && end == LineEnd::CrLf) out += '\r';
        out += text[i];
    }
    return out;
}

}  // namespace

bool valid_utf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        int follow = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            follow = 1, cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2, cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(follow) >= bytes.size()) return false;
        for (int k = 1; k <= follow; ++k) {
            const auto f = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((f & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (f & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF.
        if ((follow == 2 && cp < 0x800) || (follow == 3 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF) ||
            cp > 0x10FFFF)
            return false;
        i += static_cast<std::size_t>(follow) + 1;
    }
    return true;
}

DecodedText decode_text(std::string_view bytes) {
    DecodedText out;
    const std::size_t lf = bytes.find('\n');
    if (lf != std::string_view::npos) out.format.line_end = lf > 0 && bytes[lf - 1] == '\r' ? LineEnd::CrLf : LineEnd::Lf;
    out.format.encoding = valid_utf8(bytes) ? Encoding::Utf8 : Encoding::Latin1;
    const std::string text = out.format.encoding == Encoding::Utf8 ? std::string(bytes) : latin1_to_utf8(bytes);
    out.text.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out.text += text[i];
        } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
            out.text += kLoneCr;
        }
    }
    return out;
}

std::string encode_text(std::string_view text, const TextFormat& format) {
    std::string bytes = with_line_end(text, format.line_end);
    if (format.encoding == Encoding::Latin1) {
        std::string latin1;
        if (utf8_to_latin1(bytes, latin1)) return latin1;
    }
    return bytes;
}

}  // namespace orv::frontend
