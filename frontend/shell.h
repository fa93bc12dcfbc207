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

#include "frontend/wizard.h"

namespace orv::frontend {

inline constexpr const char* kRunCaption = "Orvalis";
inline constexpr const char* kRunRefusal = "Before running a new command file, you must save the file and then open it.";
inline constexpr const char* kEngineName = "orvcalc";
// Set for the engine so that it shows its own window.
inline constexpr const char* kEngineHostVariable = "ORVCALC_HOST";
inline constexpr const char* kEngineHostWindow = "window";

struct ShellState {
    std::string start_directory;  // where the front end started: the engine's working directory
    std::string open_file;        // the command file Run runs: last opened or saved with File > Save
};

// File > Open read `path`, or File > Save wrote it: that file is the job Run
// runs.
void job_file_read_or_written(ShellState& s, Wizard& w, const std::string& path);
// File > Save As: Run refuses until the next Open or Save.
void save_as_started(Wizard& w);
// True when File > Run may start; otherwise the refusal message is shown.
bool may_run(const ShellState& s, const Wizard& w);

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

// What a file looked like, to tell a report the run wrote from an older one.
struct FileStamp {
    bool exists = false;
    std::uintmax_t size = 0;
    std::int64_t modified_ns = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stamp_of(const std::string& path);

// The last line of TEXT that holds "FATAL ERROR", without the blanks around
// it; empty when there is none.
std::string last_fatal_line(std::string_view text);

// The last lines the engine wrote on its standard output, and the last of
// its FATAL ERROR lines, kept for the message after a failed run.
class OutputTail {
public:
    static constexpr std::size_t kLines = 8;
    static constexpr std::size_t kLineChars = 200;
    void append(std::string_view bytes);
    std::string text() const;  // the kept lines joined by LF
    const std::string& last_fatal() const { return fatal_; }

private:
    std::deque<std::string> lines_;
    std::string partial_;
    std::string fatal_;
};

struct EngineEnd {
    bool started = true;
    std::string start_error;  // why it could not start
    bool crashed = false;     // ended by a signal
    int exit_status = 0;
    std::string output;  // its last lines
    std::string fatal;   // its last FATAL ERROR line, from its output or its report
};

struct RunVerdict {
    bool load_report = false;
    std::string message;  // empty: nothing to say
};

// A run that could not start, or that failed and wrote no new report, loads
// nothing; a report the failed run did write is loaded with the message.
// The message of a failed run repeats the engine's FATAL ERROR line, or
// else its last lines.
RunVerdict judge_run(const EngineEnd& end, const std::string& report, bool report_is_new);

}  // namespace orv::frontend
