// The engine's window on a terminal, a pipe or a file.
//
// A record's first character is its carriage control, as Fortran printers
// had it: "+" writes over the current line, anything else starts a new line.  The line end of the current line is written only
// when the next line starts, so that a "+" record can still replace it: on a
// terminal by a carriage return and a clear to the end of the line; on any
// other output the current line is held back until it is final, so a log
// gets only the last text of each line.
#include "runtime/terminal_host.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "runtime/io_error.h"
#include "runtime/text.h"
#include "runtime/units.h"

namespace orv::rt {

namespace {

bool is_terminal(std::FILE* f) {
    const int fd = f != nullptr ? ::fileno(f) : -1;
    return fd >= 0 && ::isatty(fd) == 1;
}


}  // namespace

TerminalHost::TerminalHost(std::vector<std::string> arguments, std::FILE* in, std::FILE* out,
                           std::optional<bool> interactive)
    : arguments_(std::move(arguments)),
      in_(in),
      out_(out),
      out_terminal_(interactive ? *interactive : is_terminal(out)),
      in_terminal_(interactive ? *interactive : is_terminal(in)) {}

TerminalHost::~TerminalHost() {
    end_line();
    std::fflush(out_);
}

void TerminalHost::put(std::string_view text) {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), out_);
}

// Ends the current line, writing it first where it was held back.
void TerminalHost::end_line() {
    if (!line_open_) return;
    if (!out_terminal_) put(pending_);
    put("\n");
    pending_.clear();
    line_open_ = false;
}

std::optional<std::string> TerminalHost::read_line() {
    std::fflush(out_);
    char* buffer = nullptr;
    std::size_t capacity = 0;
    const ssize_t n = ::getline(&buffer, &capacity, in_);
    std::optional<std::string> line;
    if (n >= 0) {
        line.emplace(buffer, static_cast<std::size_t>(n));
        while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
    }
    std::free(buffer);
    // An answer that does not come from a terminal was not echoed: show it,
    // so that a log reads as a dialogue.
    if (!in_terminal_) put((line ? *line : std::string()) + "\n");
    return line;
}

void TerminalHost::set_dialog_filter(std::string_view filter) { filter_ = filter; }

std::optional<std::string> TerminalHost::choose_file(std::string_view title) {
    end_line();
    put(title);
    put("\n");
    if (!filter_.empty()) {
        put("Files: ");
        put(filter_);
        put("\n");
    }
    put("File name (empty to cancel): ");
    const std::optional<std::string> line = read_line();
    if (!line) return std::nullopt;
    const std::string_view name = trim_blanks(*line);
    if (name.empty()) return std::nullopt;
    return std::string(name);
}

bool TerminalHost::ask_yes_no(std::string_view caption, std::string_view text, bool default_yes) {
    end_line();
    put(caption);
    put("\n");
    for (char c : text) std::fputc(c == '\r' ? '\n' : c, out_);
    put(default_yes ? " [Y/n] " : " [y/N] ");
    for (;;) {
        const std::optional<std::string> line = read_line();
        if (!line) return true;  // end of input: the question is answered Yes
        const std::string_view answer = trim_blanks(*line);
        if (answer.empty()) return default_yes;
        if (answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes" || answer == "YES") return true;
        if (answer == "n" || answer == "N" || answer == "no" || answer == "No" || answer == "NO") return false;
        put("Please answer y or n: ");
    }
}

void TerminalHost::write_record(std::string_view record) {
    const bool overwrite = !record.empty() && record.front() == '+';
    const std::string_view text = record.empty() ? record : record.substr(1);
    if (overwrite) {
        if (out_terminal_) {
            put("\r");
            put(text);
            put("\x1b[K");
        } else {
            pending_.assign(text);
        }
    } else {
        end_line();
        if (out_terminal_)
            put(text);
        else
            pending_.assign(text);
    }
    line_open_ = true;
    flush_or_fail();
}

void TerminalHost::flush_or_fail() {
    if (std::fflush(out_) != 0 || std::ferror(out_)) {
        const int err = errno;
        std::clearerr(out_);
        throw IoError(IoErrorKind::System, std::strerror(err), kConsoleUnit);
    }
}

void TerminalHost::pause() {
    end_line();
    if (!in_terminal_) return;  // nobody to press Enter: go on at once
    put("Press Enter to continue");
    read_line();
}

void TerminalHost::set_status(std::string_view status) { status_ = status; }

void TerminalHost::end_of_run(int /*exit_status*/) {
    end_line();
    flush_or_fail();
}

}  // namespace orv::rt
