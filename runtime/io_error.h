// Errors of the input/output run-time and the stop of a run.
//
// Library and run-time code never ends the process: a failure that nobody
// handles unwinds as one of these exceptions to the program's stop path,
// which reports it, closes every unit and returns the exit status.
#pragma once

#include <stdexcept>
#include <string>

namespace orv::rt {

// What went wrong in a transfer or a file operation.  Callers that test a
// status (an open with a returned status, a read whose failure the program
// handles) catch IoError and look at `kind`.
enum class IoErrorKind {
    EndOfFile,      // a read past the last record
    EndOfRecord,    // an internal record too short for what is written
    Conversion,     // a field its edit descriptor cannot convert
    ItemMismatch,   // descriptor does not fit the item (F for a text, ...)
    BadFormat,      // a format that does not parse or cannot serve the items
    Open,           // a file that cannot be opened under the status asked
    NotConnected,   // a unit with no file
    System,         // the operating system refused a read, write or seek
};

const char* io_error_kind_name(IoErrorKind kind);

class IoError : public std::runtime_error {
public:
    // `what()` is the whole message: failure, unit and file, as the stop
    // path prints it.  `detail` is the failure alone.
    IoError(IoErrorKind kind, std::string detail, int unit = -1, std::string file = {});

    IoErrorKind kind() const { return kind_; }
    const std::string& detail() const { return detail_; }
    int unit() const { return unit_; }
    const std::string& file() const { return file_; }

private:
    IoErrorKind kind_;
    std::string detail_;
    int unit_;
    std::string file_;
};

// A deliberate end of the run (Fortran STOP).  An empty message means the
// plain stop line, `quiet` no line at all; `exit_status` is the process
// status the run ends with.
struct Stop {
    std::string message;
    int exit_status = 1;
    bool quiet = false;
};

}  // namespace orv::rt
