// The engine's window on a terminal (and on plain pipes and files).
//
// Records: "+" overwrites the current line on a terminal; when the output is
// not a terminal only the last of a run of overwriting records is written.
// The pause prompt waits for Enter on a terminal and does not wait
// otherwise.  The file dialog becomes a prompt with the same title and
// filter; end of input is a cancel, and the "Terminate Program?" question
// is then answered Yes.
#pragma once

#include <cstdio>
#include <string>

#include "host.h"

namespace orv::rt {

class TerminalHost : public Host {
public:
    // `in` and `out` default to the standard streams; `interactive` says
    // whether they are a terminal (decided from the streams when absent).
    TerminalHost(std::vector<std::string> arguments, std::FILE* in = stdin, std::FILE* out = stdout,
                 std::optional<bool> interactive = std::nullopt);
    ~TerminalHost() override;

    const std::vector<std::string>& arguments() const override { return arguments_; }
    void set_dialog_filter(std::string_view filter) override;
    std::optional<std::string> choose_file(std::string_view title) override;
    bool ask_yes_no(std::string_view caption, std::string_view text, bool default_yes) override;
    void write_record(std::string_view record) override;
    void pause() override;
    void set_status(std::string_view status) override;
    void end_of_run(int exit_status) override;

    // The last status-bar text; a terminal does not show it.
    const std::string& status() const { return status_; }

private:
    // Flushes the output; a failure (a full disk behind a redirection) throws.
    void flush_or_fail();
    void put(std::string_view text);
    void end_line();
    std::optional<std::string> read_line();

    std::vector<std::string> arguments_;
    std::FILE* in_;
    std::FILE* out_;
    bool out_terminal_;       // "+" records overwrite on screen
    bool in_terminal_;        // the pause waits for Enter
    std::string filter_;
    std::string status_;
    std::string pending_;     // the current line, not yet written (not a terminal)
    bool line_open_ = false;  // a current line exists without its line end
};

}  // namespace orv::rt
