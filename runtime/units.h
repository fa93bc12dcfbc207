// Numbered units bound to files: the process-wide connection table of the
// input/output run-time (ISO/IEC 1539 9.5).
//
// Files are sequential and formatted.  A record is a line ending at LF; a CR
// before the LF is dropped; a last line without a line end is a record.
// Unit 6 is preconnected to the engine's window through the current host
// (host.h); its records carry a carriage-control character.
//
// Every failure that the caller does not ask to see as a status throws
// IoError naming the failure, the unit and the file.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace orv::rt {

inline constexpr int kConsoleUnit = 6;

// STATUS= of OPEN.  Default behaves as Unknown.
enum class OpenStatus { Default, Old, New, Unknown, Replace, Scratch };

struct OpenOptions {
    OpenStatus status = OpenStatus::Default;
    bool read_only = false;   // ACTION='READ'
};

// Connects `unit` to `file`.  An empty (blank) file name on a unit asks the
// host for the name: the first command-line argument, else its file prompt
// (host.h).  Reopening a connected unit closes it first.  Returns 0 on
// success or a positive status; the reason is in last_open_error().
int open_unit(int unit, std::string_view file, OpenOptions options = {});
// As open_unit, but a failure throws IoError (kind Open).
void open_unit_or_fail(int unit, std::string_view file, OpenOptions options = {});
const std::string& last_open_error();

// The inputs of a run.  A file marked as an input is never connected for
// writing, under any name: device and inode decide, so links and other
// spellings of the name are the same file.  USE names the input in messages
// ("the raw data file named on >DATA:").  Only regular files count (writing
// a device destroys nothing), and a file that does not exist is no input.
// The marks last until close_all_units.
void mark_input(std::string_view file, std::string use);
// The use of the marked input that FILE is, or empty when it is none.
std::string input_use(std::string_view file);

// CLOSE: flushes and disconnects; harmless on a unit that is not connected.
// A scratch file is deleted.
void close_unit(int unit);
// Closes every unit (unit 6 stays with its host) and forgets the inputs
// marked.  Called on every way out of a run so that each file ends where the
// run stopped.
void close_all_units();
// Flushes every unit's pending output to its file.
void flush_all_units();
// For a process that is about to end from another thread: waits at most
// WAIT for the transfer under way to end, writes every unit's pending
// output to its file (a unit that fails does not keep the others from it)
// and from then on keeps every thread from any further transfer.  False
// when the transfer under way did not end in time; nothing is written then.
bool flush_all_units_and_hold(std::chrono::milliseconds wait);

// REWIND: to the first record.
void rewind_unit(int unit);
// BACKSPACE: to the start of the last record read or written; at the first
// record it does nothing.
void backspace_unit(int unit);

bool unit_connected(int unit);
// The full (absolute) path of the file connected to `unit` (INQUIRE NAME=).
std::string unit_file_name(int unit);

// Record transfer, used by the formatted and list-directed statements.
// read_record returns false at the end of the file (nothing is stored);
// reading or writing an unconnected unit throws IoError (NotConnected).
bool read_record(int unit, std::string& record);
void write_record(int unit, std::string_view record);
// Writes RECORDS, whole records each ending in a line end, as write_record
// would one by one.
void write_records(int unit, std::string_view records);

}  // namespace orv::rt
