#include "runtime/program.h"

#include <unistd.h>

#include <chrono>
#include <exception>
#include <new>
#include <optional>
#include <string>

#include "runtime/format.h"
#include "runtime/host.h"
#include "runtime/io_error.h"
#include "runtime/units.h"

namespace orv::rt {

namespace {

// The transfer under way when the run is stopped from outside is given this
// long to end; a write to a pipe that nobody reads may not end at all.
constexpr std::chrono::milliseconds kTransferWait{2000};

// Writes one line to the window; a window that cannot take it any more must
// not hide the exit status.
void say(const std::string& text) {
    try {
        host().write_record(" " + text);
    } catch (...) {
    }
}

}  // namespace

int run_program(const std::function<void()>& body) {
    int status = 0;
    std::optional<std::string> message;
    try {
        body();
    } catch (const Stop& s) {
        if (!s.quiet) message = s.message.empty() ? std::string("Stop - Program terminated.") : s.message;
        status = s.exit_status;
    } catch (const IoError& e) {
        message = std::string("Input/output error: ") + e.what();
        status = 1;
    } catch (const std::bad_alloc&) {
        message = "Out of memory: no memory for an array";
        status = 1;
    } catch (const std::exception& e) {
        message = std::string("Run-time error: ") + e.what();
        status = 1;
    } catch (...) {
        message = "Run-time error: unknown failure";
        status = 1;
    }
    if (message) say(*message);

    try {
        close_all_units();
    } catch (const IoError& e) {
        say(std::string("Input/output error: ") + e.what());
        if (status == 0) status = 1;
    } catch (...) {
        if (status == 0) status = 1;
    }
    try {
        host().end_of_run(status);
    } catch (...) {
        // The window's last lines are lost: the run must not look successful.
        if (status == 0) status = 1;
    }
    return status;
}

void stop_from_outside(std::string_view cause) {
    const bool written = flush_all_units_and_hold(kTransferWait);
    std::string line = "\nStop - Program terminated ";
    line += cause;
    if (!written) line += "; output pending in a blocked transfer was lost";
    line += "\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, line.data(), line.size());
    ::_exit(1);
}

}  // namespace orv::rt
