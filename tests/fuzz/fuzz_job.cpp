#include "fuzz_job.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <stdexcept>

#include "engine/control/jobset.h"
#include "engine/control/orvcalc.h"
#include "engine/control/rdjob.h"
#include "engine/common/units.h"
#include "numlib/routines1/errexit.h"
#include "numlib/routines2/dunif.h"
#include "numlib/routines2/erset.h"
#include "numlib/routines2/umach.h"
#include "runtime/host.h"
#include "runtime/program.h"
#include "runtime/units.h"

namespace orv::fuzz {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMarker = "==> ";
constexpr std::size_t kWindowKept = 20;

// A window host that never waits: the pause returns at once, the file
// dialog is cancelled and its "Terminate Program?" question answered Yes.
class QuietHost final : public rt::Host {
public:
    explicit QuietHost(std::string command_file) : args_{std::move(command_file)} {}
    const std::vector<std::string>& arguments() const override { return args_; }
    void set_dialog_filter(std::string_view) override {}
    std::optional<std::string> choose_file(std::string_view) override { return std::nullopt; }
    bool ask_yes_no(std::string_view, std::string_view, bool) override { return true; }
    void write_record(std::string_view record) override {
        window_.emplace_back(record);
        if (window_.size() > kWindowKept) window_.pop_front();
    }
    void pause() override {}
    void set_status(std::string_view) override {}
    void end_of_run(int) override {}

    std::vector<std::string> window() const { return {window_.begin(), window_.end()}; }

private:
    std::vector<std::string> args_;
    std::deque<std::string> window_;
};

// The library settings a run may change, back to their state at start-up,
// so that each job runs as in a process of its own.  The clock that seeds
// the random generator is fixed, so that a run can be repeated.
void fresh_library_state() {
    num2::reset_error_machinery();
    num2::reset_options();
    num2::reset_random_state();
    num2::set_time_of_day_for_tests(12, 0, 0);
    int unit = rt::kConsoleUnit;
    num1::ADVUNIT(1, unit);
    num1::ERRUNIT(1, unit);
}

std::string file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The job's folder, filled with the input files; removed when done.
class JobFolder {
public:
    explicit JobFolder(const std::vector<NamedFile>& files) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/orv_fuzz_job_XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no folder for the job: " + pattern);
        dir_ = pattern;
        for (const NamedFile& f : files) std::ofstream(dir_ / f.name, std::ios::binary) << f.bytes;
    }
    ~JobFolder() {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    JobFolder(const JobFolder&) = delete;
    JobFolder& operator=(const JobFolder&) = delete;

    const fs::path& dir() const { return dir_; }

    // Every regular file now in the folder.
    std::vector<NamedFile> contents() const {
        std::vector<NamedFile> files;
        for (const auto& entry : fs::directory_iterator(dir_))
            if (entry.is_regular_file())
                files.push_back({entry.path().filename().string(), file_bytes(entry.path())});
        return files;
    }

private:
    fs::path dir_;
};

// Working directory and TMPDIR inside the job's folder for one run.
class InsideFolder {
public:
    explicit InsideFolder(const fs::path& dir) : cwd_(fs::current_path()) {
        if (const char* t = std::getenv("TMPDIR")) tmpdir_ = t;
        ::setenv("TMPDIR", dir.c_str(), 1);
        fs::current_path(dir);
    }
    ~InsideFolder() {
        std::error_code ignored;
        fs::current_path(cwd_, ignored);
        if (tmpdir_)
            ::setenv("TMPDIR", tmpdir_->c_str(), 1);
        else
            ::unsetenv("TMPDIR");
    }
    InsideFolder(const InsideFolder&) = delete;
    InsideFolder& operator=(const InsideFolder&) = delete;

private:
    fs::path cwd_;
    std::optional<std::string> tmpdir_;
};

// Runs BODY as the engine's main program would, on a quiet host whose only
// argument is the command file.
int run_engine(const fs::path& command_file, const std::function<void()>& body, QuietHost*& used) {
    fresh_library_state();
    static std::optional<QuietHost> host;  // lives until the next run, so its window can be read
    host.emplace(command_file.string());
    used = &*host;
    rt::set_host(&*host);
    const int status = rt::run_program(body);
    rt::set_host(nullptr);
    return status;
}

// The reader alone, on a copy of the job in a folder of its own: the job's
// settings as the engine will take them.
engine::JOBSET read_settings(const std::vector<NamedFile>& files) {
    JobFolder folder(files);
    InsideFolder inside(folder.dir());
    engine::JOBSET job;
    QuietHost* host = nullptr;
    run_engine(folder.dir() / files.front().name,
               [&] {
                   rt::open_unit(engine::LUJOB, "", {rt::OpenStatus::Old, true});
                   engine::SPLITP(job);
                   engine::RDJOB(job);
               },
               host);
    return job;
}

bool within_caps(const engine::JOBSET& job) {
    return job.NVAR <= kMaxVariables && job.NSUBJ <= kMaxSubjects && job.MAXIT <= kMaxIterations &&
           job.ROT_MAXIT <= kMaxIterations && job.PAGEWIDTH <= kMaxPageWidth;
}

bool lower_has(std::string_view text, std::string_view word) {
    auto it = std::search(text.begin(), text.end(), word.begin(), word.end(),
                          [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    return it != text.end();
}

// A word as the run-time spells a NaN or an infinity in a numeric field.
bool non_finite_word(std::string_view word) {
    if (!word.empty() && (word.front() == '+' || word.front() == '-')) word.remove_prefix(1);
    return word == "NaN" || word == "Inf" || word == "Infinity";
}

bool shows_non_finite(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        std::size_t end = i;
        while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end]))) ++end;
        if (end > i && non_finite_word(text.substr(i, end - i))) return true;
        i = end;
    }
    return false;
}

}  // namespace

std::string plain_name(std::string_view name) {
    while (!name.empty() && (name.back() == ' ' || name.back() == '\r' || name.back() == '\t')) name.remove_suffix(1);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    std::string plain;
    for (char c : name.substr(0, 64)) {
        const bool keep = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
        plain += keep ? c : '_';
    }
    if (plain.empty() || plain.front() == '.' || plain.front() == '-') plain.insert(0, "f");
    return plain;
}

std::vector<NamedFile> parse_job_input(std::string_view input) {
    std::vector<NamedFile> files;
    std::set<std::string> names;
    auto add = [&](std::string name, std::string_view bytes) {
        if (files.size() < kMaxFiles && names.insert(name).second) files.push_back({std::move(name), std::string(bytes)});
    };
    std::string name = "job.in";
    std::size_t pos = 0;
    if (input.substr(0, kMarker.size()) == kMarker) {
        const std::size_t eol = std::min(input.find('\n'), input.size());
        name = plain_name(input.substr(kMarker.size(), eol - kMarker.size()));
        pos = std::min(eol + 1, input.size());
    }
    for (;;) {
        const std::size_t next = input.find(std::string("\n").append(kMarker), pos);
        if (next == std::string_view::npos) {
            add(name, input.substr(pos));
            break;
        }
        add(name, input.substr(pos, next - pos));
        const std::size_t start = next + 1 + kMarker.size();
        const std::size_t eol = std::min(input.find('\n', start), input.size());
        name = plain_name(input.substr(start, eol - start));
        pos = std::min(eol + 1, input.size());
    }
    return files;
}

std::string confine_command_text(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t line_start = 0;
    bool format_line = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == line_start) {
            std::string head(text.substr(i, 8));
            for (char& c : head) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            format_line = head == ">FORMAT:";
        }
        char c = text[i];
        if (c == '\n') line_start = i + 1;
        if (c == '/') {
            // The character before, as written: a value can start after a
            // blank, tab, comma, repeat asterisk or quote, or at a line start.
            const char before = i > line_start ? out.back() : '\n';
            static constexpr std::string_view starts = " \t,*'\".\n";
            if (!format_line || starts.find(before) != std::string_view::npos) c = '_';
        }
        out += c;
    }
    return out;
}

bool numbers_within_cap(std::string_view text) {
    long long value = -1;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            value = std::max(value, 0LL) * 10 + (c - '0');
            if (value > kMaxNumber) return false;
        } else {
            value = -1;
        }
    }
    return true;
}

std::vector<std::string> outcome_faults(const std::vector<NamedFile>& inputs,
                                        const std::vector<NamedFile>& after, int status, bool echoed) {
    std::vector<std::string> faults;
    if (status != 0 && status != 1) faults.push_back("exit status " + std::to_string(status));
    std::set<std::string> input_names;
    for (const NamedFile& in : inputs) {
        input_names.insert(in.name);
        auto it = std::find_if(after.begin(), after.end(), [&](const NamedFile& f) { return f.name == in.name; });
        if (it == after.end())
            faults.push_back("input file " + in.name + " removed");
        else if (it->bytes != in.bytes)
            faults.push_back("input file " + in.name + " changed (" + std::to_string(in.bytes.size()) + " -> " +
                             std::to_string(it->bytes.size()) + " bytes)");
    }
    if (status == 0 && !echoed) {
        for (const NamedFile& f : after)
            if (!input_names.count(f.name) && shows_non_finite(f.bytes))
                faults.push_back("NaN or infinity in " + f.name + " after exit status 0");
    }
    return faults;
}

JobOutcome run_job(std::string_view input) {
    JobOutcome outcome;
    std::vector<NamedFile> files = parse_job_input(input);
    if (files.empty()) return outcome;
    files.front().bytes = confine_command_text(files.front().bytes);
    if (!numbers_within_cap(files.front().bytes)) return outcome;
    const engine::JOBSET settings = read_settings(files);
    if (!within_caps(settings)) return outcome;

    // Whether the report may copy a NaN or infinity from the command file or
    // the item file.
    bool echoed = false;
    const std::string items = engine::trimmed(settings.ITMNAM);
    for (const NamedFile& f : files)
        if (&f == &files.front() || f.name == items) echoed = echoed || lower_has(f.bytes, "nan") || lower_has(f.bytes, "inf");

    JobFolder folder(files);
    {
        InsideFolder inside(folder.dir());
        QuietHost* host = nullptr;
        outcome.status = run_engine(folder.dir() / files.front().name, engine::ORVCALC, host);
        outcome.window = host->window();
    }
    outcome.ran = true;
    outcome.faults = outcome_faults(files, folder.contents(), outcome.status, echoed);
    return outcome;
}

void fuzz_job(const std::uint8_t* data, std::size_t size) {
    const JobOutcome outcome = run_job(std::string_view(reinterpret_cast<const char*>(data), size));
    if (outcome.faults.empty()) return;
    for (const std::string& fault : outcome.faults) std::fprintf(stderr, "fuzz_job: %s\n", fault.c_str());
    for (const std::string& record : outcome.window) std::fprintf(stderr, "  window: %s\n", record.c_str());
    std::abort();
}

}  // namespace orv::fuzz
