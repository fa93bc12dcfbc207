#include "runtime/records.h"

namespace orv::rt {

bool InternalSource::next_record(std::string& record) {
    if (next_ >= records_.size()) return false;
    record.assign(records_[next_++]);
    return true;
}

IoError InternalSource::error(IoErrorKind kind, std::string detail) const {
    return IoError(kind, std::move(detail), -1, "internal record " + std::to_string(next_));
}

InternalSink::InternalSink(std::vector<std::string>& records, std::size_t length)
    : records_(records), length_(length) {}

void InternalSink::put_record(std::string_view record) {
    if (next_ >= records_.size())
        throw error(IoErrorKind::EndOfFile, "more records than the internal file holds");
    if (record.size() > length_)
        throw error(IoErrorKind::EndOfRecord, "record longer than the internal record");
    std::string& target = records_[next_++];
    target.assign(record);
    target.resize(length_, ' ');
}

IoError InternalSink::error(IoErrorKind kind, std::string detail) const {
    return IoError(kind, std::move(detail), -1, "internal record " + std::to_string(next_ + 1));
}

}  // namespace orv::rt
