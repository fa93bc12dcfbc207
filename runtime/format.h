// Parsed formats (ISO/IEC 1539 10.3 - 10.4).
//
// A format text is parsed once into a flat list of items; groups are
// bracketed by GroupBegin / GroupEnd items that know each other's index.
// The whole format is itself the outermost group (item 0 and the last
// item).  Blanks are insignificant outside literals and letters may be lower
// case.  Every error carries the offset in the text where it was found.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "edit.h"
#include "io_error.h"

namespace orv::rt {

enum class ItemType {
    Data,        // a data edit descriptor, `edit`; `repeat` times
    Literal,     // apostrophe / quote literal or nH: `text`
    X,           // nX: `count` positions right
    T,           // Tn: to column `count`
    TL,          // TLn
    TR,          // TRn
    Slash,       // `repeat` record ends (n/)
    Colon,       // : ends the statement when no item is left
    Scale,       // kP: scale factor `count`
    BN,
    BZ,
    S,
    SP,
    SS,
    GroupBegin,  // `(`, `repeat` times; `match` = index of its GroupEnd
    GroupEnd,    // `)`; `match` = index of its GroupBegin
};

struct FormatItem {
    ItemType type = ItemType::Data;
    int repeat = 1;
    int count = 0;
    DataEdit edit;        // Data only (its modes are unused here)
    std::string text;     // Literal only
    std::size_t match = 0;
    std::size_t offset = 0;  // position in the source text
};

struct Format {
    std::string source;
    std::vector<FormatItem> items;
    // Where format reversion resumes: the GroupBegin of the last top-level
    // group (its repeat count applies again), or 1, the first item after the
    // outer parenthesis, when there is no inner group (10.4 para 8).
    std::size_t reversion = 1;
    bool has_data_edit = false;
};

// A format that does not parse; an input/output error of kind BadFormat.
class FormatError : public IoError {
public:
    FormatError(std::string message, std::size_t offset, std::string source);
    std::size_t offset() const { return offset_; }
    const std::string& message() const { return message_; }
    const std::string& source() const { return source_; }

private:
    std::string message_;
    std::size_t offset_;
    std::string source_;
};

// Largest repeat count, width or position a format may name.  Larger numbers
// are refused so that a hostile format cannot ask for a runaway allocation.
inline constexpr int kMaxFormatNumber = 1'000'000;
// Deepest group nesting accepted.
inline constexpr int kMaxFormatDepth = 100;

// Parses a format with its outer parentheses, for example
// "(F6.0, 100F2.0)".  Text after the closing parenthesis must be blank.
// Throws FormatError.
Format parse_format(std::string_view text);

}  // namespace orv::rt
