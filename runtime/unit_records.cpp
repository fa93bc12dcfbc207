// Record sources and sinks on numbered units (units.h).
#include "runtime/records.h"
#include "runtime/units.h"

namespace orv::rt {

bool UnitSource::next_record(std::string& record) { return read_record(unit_, record); }

IoError UnitSource::error(IoErrorKind kind, std::string detail) const {
    return IoError(kind, std::move(detail), unit_, unit_file_name(unit_));
}

void UnitSink::put_record(std::string_view record) { write_record(unit_, record); }

IoError UnitSink::error(IoErrorKind kind, std::string detail) const {
    return IoError(kind, std::move(detail), unit_, unit_file_name(unit_));
}

Format parse_unit_format(int unit, std::string_view text) {
    try {
        return parse_format(text);
    } catch (const FormatError& e) {
        throw IoError(e.kind(), e.detail(), unit, unit_file_name(unit));
    }
}

}  // namespace orv::rt
