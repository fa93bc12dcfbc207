#include "runtime/program.h"

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

}  // namespace orv::rt
