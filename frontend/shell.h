// The main window's command state and the decisions of File > Run as plain
// functions: which file runs and whether it may, the report it names, where
// the engine is, and what the end of a run shows.  The Qt main window only
// carries these out.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orv::frontend {

inline constexpr const char* kRunCaption = "Orvalis";
inline constexpr const char* kRunRefusal = "Before running a new command file, you must save the file and then open it.";
inline constexpr const char* kEngineName = "orvcalc";
// Set for the engine so that it shows its own window.
inline constexpr const char* kEngineHostVariable = "ORVCALC_HOST";
inline constexpr const char* kEngineHostWindow = "window";

// What a file looked like, to tell a report the run wrote from an older one.
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::int64_t modified_ns = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stamp_of(const std::string& path);

struct ShellState {
    std::string start_directory;  // where the front end started: the engine's working directory
    std::string open_file;        // the command file Run runs: last opened or saved with File > Save
    // File > Run's permission: File > Open and File > Save give it, File >
    // Save As and the wizard's build take it away.
    bool run_allowed = false;
    // The run going on or last ended: the report it writes, and what that
    // file looked like when the run started.
    std::string report;
    FileStamp report_before;
};

// File > Open read `path`, or File > Save wrote it: that file is the job Run
// runs.
void job_file_read_or_written(ShellState& s, const std::string& path);
// File > Save As, and the wizard's build: Run refuses until the next Open or
// Save.
void run_refused_until_saved(ShellState& s);
// True when File > Run may start; otherwise the refusal message is shown.
bool may_run(const ShellState& s);
// A run starts that writes the report at `path`.
void run_started(ShellState& s, const std::string& path);
// The report the run wrote, not one left from before.
bool report_is_new(const ShellState& s);

// The report named on the first line that starts with ">OUTFILE:" (any case,
// blanks before it allowed), read as the engine reads it: leading blanks and
// tabs skipped, a name in apostrophes or quotes taken whole (a doubled one
// stands for itself), any other name ended by a blank, tab, comma or the
// line's end; case kept.  Nothing when there is no such line or no name.
std::optional<std::string> report_name(std::string_view command_text);

// A report name as the engine, working in `working_directory`, finds it.
std::string resolve_in(const std::string& working_directory, const std::string& name);

// Where the engine is looked for, in order: beside the front end's program,
// then in the directory the front end started in.
std::vector<std::string> engine_candidates(const std::string& program_directory,
                                           const std::string& start_directory);

// The last line of TEXT that holds "FATAL ERROR", without the blanks around
// it; empty when there is none.
std::string last_fatal_line(std::string_view text);

// What the engine wrote on its standard output, kept for the message after
// a failed run: the last of its FATAL ERROR lines, and its last message.
// That is its last paragraph (lines between empty ones), the banner box,
// the pause prompt and the line "Stop - Program terminated." left out, from
// the paragraph's first line that names an error: the progress lines before
// that line say nothing of why the run stopped.
class OutputTail {
public:
    static constexpr std::size_t kLines = 8;  // of the message, at most
    static constexpr std::size_t kLineChars = 200;
    void append(std::string_view bytes);
    // The message's lines without their leading blanks, joined by LF.
    std::string last_message() const;
    const std::string& last_fatal() const { return fatal_; }

private:
    void add_line(std::string_view line);

    std::deque<std::string> paragraph_;  // its last lines, trimmed
    bool paragraph_ended_ = false;
    bool in_banner_ = false;
    std::string partial_;
    std::string fatal_;
};

struct EngineEnd {
    bool started = true;
    std::string start_error;  // why it could not start
    bool crashed = false;     // ended by a signal
    int exit_status = 0;
    std::string message;  // its last message
    std::string fatal;    // its last FATAL ERROR line, from its output or its report
};

struct RunVerdict {
    bool load_report = false;
    std::string message;  // empty: nothing to say
};

// A run that could not start, or that failed and wrote no new report, loads
// nothing; a report the failed run did write is loaded with the message.
// The message of a failed run repeats the engine's FATAL ERROR line, or
// else its last message.
RunVerdict judge_run(const EngineEnd& end, const std::string& report, bool report_is_new);

}  // namespace orv::frontend
