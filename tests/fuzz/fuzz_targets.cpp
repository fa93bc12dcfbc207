#include "fuzz_targets.h"

#include <string>
#include <string_view>
#include <vector>

#include "runtime/format.h"
#include "runtime/formatted_io.h"
#include "runtime/io_error.h"
#include "runtime/list_io.h"
#include "runtime/records.h"

namespace orv::rt::fuzz {

namespace {

constexpr int kItems = 8;

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end == text.size() ? end : end + 1);
    }
    return lines;
}

class QuietHandler final : public FormatWalker::Handler {
public:
    void literal(std::string_view) override {}
    void position(ItemType, int) override {}
    void end_record() override {}
};

// The data edit descriptors the first items of a statement get; fewer when
// the walk fails.
std::vector<DataEdit> first_edits(const Format& format) {
    QuietHandler quiet;
    FormatWalker walker(format, quiet);
    std::vector<DataEdit> edits;
    try {
        for (int k = 0; k < kItems; ++k) edits.push_back(walker.next_edit());
        walker.finish();
    } catch (const IoError&) {
    }
    return edits;
}

}  // namespace

void fuzz_format(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        Format format = parse_format(text);
        first_edits(format);
    } catch (const FormatError&) {
    }
}

void fuzz_formatted_input(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> lines = split_lines(std::string_view(reinterpret_cast<const char*>(data), size));
    if (lines.empty()) return;
    Format format;
    try {
        format = parse_format(lines.front());
    } catch (const FormatError&) {
        return;
    }
    std::vector<DataEdit> edits = first_edits(format);
    lines.erase(lines.begin());
    try {
        InternalSource source(lines);
        FormattedInput in(source, format);
        for (const DataEdit& edit : edits) {
            switch (edit.kind) {
            case 'I':
            case 'B':
            case 'O':
            case 'Z': {
                long long v = 0;
                in >> v;
                break;
            }
            case 'L': {
                bool v = false;
                in >> v;
                break;
            }
            case 'A': {
                std::string v(8, ' ');
                in >> v;
                break;
            }
            case 'G': {
                int v = 0;  // G also edits integers; an int exercises the range check
                in >> v;
                break;
            }
            default: {
                double v = 0;
                in >> v;
                break;
            }
            }
        }
        in.finish();
    } catch (const IoError&) {
    }
}

void fuzz_list_input(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string_view> lines = split_lines(std::string_view(reinterpret_cast<const char*>(data), size));
    try {
        InternalSource source(lines);
        ListInput in(source);
        int i = 0;
        long long ll = 0;
        double d[3] = {0, 0, 0};
        bool b = false;
        std::string text(6, ' ');
        std::string path(12, ' ');
        in >> i >> ll >> d[0] >> b >> text;
        in.path(path);
        in >> std::span<double>(d + 1, 2);
        in.finish();
    } catch (const IoError&) {
    }
}

}  // namespace orv::rt::fuzz
