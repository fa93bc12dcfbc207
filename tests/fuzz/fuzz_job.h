// The whole-job fuzz target: a command file and the files it reads, run by
// the engine's own main program in a fresh folder.
//
// A job input is a small container of named files.  Each file begins with a
// marker line "==> NAME"; the text before the first marker, if any, is a file
// named "job.in".  The first file is the command file, at most kMaxFiles
// files are kept, and a later file with a name already taken is dropped:
//
//   >TITLE: ...                (job.in, the command file)
//   ...
//   ==> m.cor
//   1.0 .5
//   ...
//
// The fuzzer runs as root, so nothing it makes may name a file outside the
// job's folder: every file name becomes a plain name (plain_name), and the
// command text is confined (confine_command_text) so that no name the
// engine reads from it can leave the folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orv::fuzz {

inline constexpr std::size_t kMaxFiles = 6;

// Sizes past which a job is not run, so that each run stays within a few
// hundred milliseconds under the sanitizers.  Any number in the command text
// (a run of digits) is at most kMaxNumber, which bounds what the reader
// itself allocates; the counts the reader then takes are bounded again.
inline constexpr long long kMaxNumber = 10000;
inline constexpr int kMaxVariables = 50;
inline constexpr int kMaxSubjects = 2000;
inline constexpr int kMaxIterations = 1000;  // extraction and rotation limits
inline constexpr int kMaxPageWidth = 1000;

struct NamedFile {
    std::string name;
    std::string bytes;
};

// The files of a job input, the command file first, names made plain.
std::vector<NamedFile> parse_job_input(std::string_view input);

// NAME as a plain file name: letters, digits, ".", "_" and "-" only (any
// other character becomes "_"), at most 64 characters, never starting with
// "." or "-" and never empty.
std::string plain_name(std::string_view name);

// The command text with every "/" that could reach a file name replaced by
// "_".  A "/" is kept only on a line with ">FORMAT:" in columns 1-8 (a data
// format's record separator), and there only after a character that can
// neither end a list value nor belong to "." or "..": then any file name
// the engine reads across it starts with a component that is no directory
// of the job's folder, for the folder holds files only.
std::string confine_command_text(std::string_view text);

// True when every run of digits in TEXT stands for at most kMaxNumber.
bool numbers_within_cap(std::string_view text);

// What one job did.
struct JobOutcome {
    bool ran = false;     // false: refused by the caps before the engine ran
    int status = -1;      // the engine's exit status
    std::vector<std::string> window;  // the last records of the window
    std::vector<std::string> faults;  // empty for a sound run
};

// The faults a finished run shows: an exit status other than 0 or 1, an
// input file changed or removed, and after status 0 a NaN or infinity in a
// file the run wrote.  ECHOED: whether a file the report copies text from
// (command file, item file) holds such a word itself, which the check then
// skips.
std::vector<std::string> outcome_faults(const std::vector<NamedFile>& inputs,
                                        const std::vector<NamedFile>& after, int status, bool echoed);

// Runs one job input in a fresh folder under TMPDIR (or /tmp) and removes
// the folder afterwards.  The working directory and TMPDIR point into the
// folder while the engine runs and are put back afterwards.
JobOutcome run_job(std::string_view input);

// The libFuzzer entry: run_job, and abort with the faults on standard error
// when it found any.
void fuzz_job(const std::uint8_t* data, std::size_t size);

}  // namespace orv::fuzz
