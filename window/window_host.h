// The engine's window: a Qt frame with a read-only text window for unit 6
// and a status bar, for a run started from the front end.
//
// The program runs on a computing thread of its own, below normal priority;
// the thread that made the host (the one of the QApplication) only serves
// the window.  Records are applied in batches, a few times a second at
// most, so a run of fast progress records costs the window a handful of
// repaints.  The file dialog, the yes/no questions and the pause prompt are
// served by the window while the computing thread waits.
//
// End of the run: "Finished" in the status bar; the end-of-run mode then
// decides: Close closes the window, Prompt asks "Program Terminated with
// exit code N" / "Exit Window?" (No preselected; Yes closes), Stay keeps the
// window.  Closing the window while the program runs asks first, then stops
// the run from outside (every unit written, exit status 1).  On a headless
// platform nobody can answer, and nothing waits for an answer.
//
// Menus: File (Save As of the window's text, Exit as the close box), Edit
// (Copy, Select All), State (Pause: "Paused" in the status bar, and the
// computing thread waits at its next record; Resume), Help (About).
//
// This header needs no Qt; a QApplication must exist before a host is made.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/host.h"

class QWidget;

namespace orv::win {

class WindowHost : public rt::Host {
public:
    // TITLE is the frame's title.  STOP_RUN ends the run when the user
    // closes the window during it; by default the process ends as a stop
    // from outside does (runtime/program.h).  A STOP_RUN that returns leaves
    // the program to end by itself; the exit status is then 1.
    //
    // INTERACTIVE says whether someone can see the window and answer it;
    // when absent it is decided from the platform (not on "offscreen" or
    // "minimal", as in headless tests of the front end).  With nobody to
    // answer, as on the terminal without one: the pause does not wait, the
    // file dialog counts as cancelled, a question is answered Yes, and the
    // end of the run closes the window without asking.
    WindowHost(std::string title, std::vector<std::string> arguments, std::function<void()> stop_run = {},
               std::optional<bool> interactive = std::nullopt);
    ~WindowHost() override;
    WindowHost(const WindowHost&) = delete;
    WindowHost& operator=(const WindowHost&) = delete;

    // Shows the window, "Running" in its status bar, and starts PROGRAM on
    // the computing thread; PROGRAM returns the exit status.  Returns at once.
    void start(std::function<int()> program);
    // Also writes the records to OUT as the terminal host does on a pipe or
    // a file, for a program that reads the engine's output.  Before start().
    void copy_records_to(std::FILE* out);
    // Serves the window until it has closed and the program has ended;
    // returns the exit status.
    int wait();

    // True from start() until the program has returned (window's thread).
    bool running() const;
    // The frame, for tests and screenshots.
    QWidget* window() const;

    const std::vector<std::string>& arguments() const override;
    void set_dialog_filter(std::string_view filter) override;
    std::optional<std::string> choose_file(std::string_view title) override;
    bool ask_yes_no(std::string_view caption, std::string_view text, bool default_yes) override;
    void write_record(std::string_view record) override;
    void pause() override;
    void set_status(std::string_view status) override;
    // Ends the copy of the records, if any; the window is finished when the
    // program's thread returns, with the status that it returns.
    void end_of_run(int exit_status) override;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// The file dialog's name filters for a filter text of description and
// pattern pairs ("OV INPUT *.in, *.in; All Files, *.*"): each pair becomes
// "description (pattern)"; "*.*" matches every file, as the text means.
std::vector<std::string> dialog_name_filters(std::string_view filter);

// Runs PROGRAM in a window host installed as the process's host, with an
// application made for it; returns the exit status.
int run_in_window(std::string title, std::vector<std::string> arguments, const std::function<int()>& program);

}  // namespace orv::win
