#include "runtime/io_error.h"

namespace orv::rt {

const char* io_error_kind_name(IoErrorKind kind) {
    switch (kind) {
    case IoErrorKind::EndOfFile: return "End of file";
    case IoErrorKind::EndOfRecord: return "End of record";
    case IoErrorKind::Conversion: return "Bad value during read";
    case IoErrorKind::ItemMismatch: return "Edit descriptor does not fit the item";
    case IoErrorKind::BadFormat: return "Bad format";
    case IoErrorKind::Open: return "Cannot open file";
    case IoErrorKind::NotConnected: return "Unit not connected";
    case IoErrorKind::System: return "Input/output failure";
    }
    return "Input/output failure";
}

namespace {

std::string compose(IoErrorKind kind, const std::string& detail, int unit, const std::string& file) {
    std::string text = io_error_kind_name(kind);
    if (!detail.empty()) text += ": " + detail;
    std::string where;
    if (unit >= 0) where = "unit " + std::to_string(unit);
    if (!file.empty()) where += (where.empty() ? "file " : ", file ") + file;
    if (!where.empty()) text += " (" + where + ")";
    return text;
}

}  // namespace

IoError::IoError(IoErrorKind kind, std::string detail, int unit, std::string file)
    : std::runtime_error(compose(kind, detail, unit, file)),
      kind_(kind),
      detail_(std::move(detail)),
      unit_(unit),
      file_(std::move(file)) {}

}  // namespace orv::rt
