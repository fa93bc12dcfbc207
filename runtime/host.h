// The engine's text window and what it needs of its host: the window
// operations of the engine run driver.  The terminal host serves a run from
// a shell, in tests and in CI; a windowed host can take its place without
// any change to the engine, which only talks to this interface.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::rt {

// End-of-run modes of the window.
enum class EndMode { Prompt = 1, Close = 2, Stay = 3 };

class Host {
public:
    virtual ~Host() = default;

    // The program's arguments after its name, as the host was started.
    virtual const std::vector<std::string>& arguments() const = 0;

    // The file-open dialog's filter text.
    virtual void set_dialog_filter(std::string_view filter) = 0;
    // The file dialog itself, titled `title` ("Open: Select File for Unit 12").
    // Returns the chosen path, or nothing when the user cancels.
    virtual std::optional<std::string> choose_file(std::string_view title) = 0;
    // The question of a message box with Yes and No; true for Yes.
    virtual bool ask_yes_no(std::string_view caption, std::string_view text, bool default_yes) = 0;
    // One record of the window unit; its first character is the carriage
    // control ("+" overwrites the current line, anything else starts a new
    // line) and is not shown.
    virtual void write_record(std::string_view record) = 0;
    // Shows a prompt and waits until the user presses Enter.
    virtual void pause() = 0;
    // Status-bar text ("Running", "Finished").
    virtual void set_status(std::string_view status) = 0;
    // Called last, with the process's exit status, so the host can finish the
    // window as its end-of-run mode says.
    virtual void end_of_run(int exit_status) = 0;

    // Sets the end-of-run mode; returns 0, or -1 for a value that is not a
    // mode (the mode is then unchanged).
    int set_end_mode(int mode);
    EndMode end_mode() const { return end_mode_; }

private:
    EndMode end_mode_ = EndMode::Prompt;
};

// The host of this process.  Until one is installed a terminal host on the
// standard streams serves, with no arguments.
Host& host();
void set_host(Host* host);  // nullptr reinstalls the default

}  // namespace orv::rt
