// Documents as plain text files: a file's bytes become the text a document
// window shows (UTF-8, lines ended by LF) and go back to the same bytes when
// the text is saved unchanged.  The line end and the encoding that a file
// came with are kept for its next save.
#pragma once

#include <string>
#include <string_view>

namespace orv::frontend {

enum class LineEnd { CrLf, Lf };
// Files that are not valid UTF-8 (command files and item texts written on
// Windows) are read byte for byte as Latin-1, so saving them loses nothing.
enum class Encoding { Utf8, Latin1 };

struct TextFormat {
    LineEnd line_end = LineEnd::CrLf;  // the front end's own files end lines with CR LF
    Encoding encoding = Encoding::Utf8;
};

// A CR that ends no line is shown as the symbol for CR (U+240D), since a
// text box would break the line there, and is written back as a CR.
inline constexpr std::string_view kLoneCr = "\xE2\x90\x8D";

struct DecodedText {
    std::string text;  // UTF-8, every CR LF turned into LF, a lone CR into kLoneCr
    TextFormat format;
};

// The line end is the file's first one; a file without any keeps CR LF.
DecodedText decode_text(std::string_view bytes);

// The file's bytes for a text (UTF-8, LF line ends).  A Latin-1 file with a
// character that Latin-1 cannot hold is written as UTF-8 instead.
std::string encode_text(std::string_view text, const TextFormat& format);

bool valid_utf8(std::string_view bytes);

}  // namespace orv::frontend
