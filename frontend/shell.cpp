#include "frontend/shell.h"

#include <sys/stat.h>

#include <algorithm>

#include "frontend/text_rules.h"

namespace orv::frontend {

void job_file_read_or_written(ShellState& s, const std::string& path) {
    s.open_file = path;
    s.run_allowed = true;
}

void run_refused_until_saved(ShellState& s) { s.run_allowed = false; }

bool may_run(const ShellState& s) { return s.run_allowed && !s.open_file.empty(); }

void run_started(ShellState& s, const std::string& path) {
    s.report = path;
    s.report_before = stamp_of(path);
}

bool report_is_new(const ShellState& s) {
    const FileStamp after = stamp_of(s.report);
    return after.exists && after != s.report_before;
}

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view line) {
    const std::size_t first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return line.substr(first, line.find_last_not_of(" \t\r") - first + 1);
}

std::string name_after_keyword(std::string_view rest) {
    std::size_t i = 0;
    while (i < rest.size() && is_blank(rest[i])) ++i;
    std::string name;
    if (i < rest.size() && (rest[i] == '\'' || rest[i] == '"')) {
        const char quote = rest[i++];
        while (i < rest.size()) {
            if (rest[i] == quote) {
                if (i + 1 < rest.size() && rest[i + 1] == quote) {
                    name += quote;
                    i += 2;
                    continue;
                }
                break;
            }
            name += rest[i++];
        }
        return name;
    }
    while (i < rest.size() && !is_blank(rest[i]) && rest[i] != ',' && rest[i] != '\r') name += rest[i++];
    return name;
}

}  // namespace

std::optional<std::string> report_name(std::string_view text) {
    static constexpr std::string_view keyword = ">OUTFILE:";
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        while (!line.empty() && is_blank(line.front())) line.remove_prefix(1);
        if (upper_equals(line.substr(0, keyword.size()), keyword)) {
            std::string name = name_after_keyword(line.substr(keyword.size()));
            if (name.empty()) return std::nullopt;
            return name;
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::string resolve_in(const std::string& working_directory, const std::string& name) {
    if (!name.empty() && name.front() == '/') return name;
    if (working_directory.empty() || working_directory.back() == '/') return working_directory + name;
    return working_directory + "/" + name;
}

std::vector<std::string> engine_candidates(const std::string& program_directory,
                                           const std::string& start_directory) {
    std::vector<std::string> out{resolve_in(program_directory, kEngineName)};
    const std::string second = resolve_in(start_directory, kEngineName);
    if (second != out.front()) out.push_back(second);
    return out;
}

FileStamp stamp_of(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {true, static_cast<std::uintmax_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<std::uint64_t>(st.st_ino)};
}

std::string last_fatal_line(std::string_view text) {
    std::string_view found;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(start, end - start);
        if (line.find("FATAL ERROR") != std::string_view::npos) found = line;
        start = end + 1;
    }
    return std::string(trimmed(found));
}

namespace {

// The rule above and below the banner's box: "0", a row of "=", "0".
bool banner_rule(std::string_view line) {
    return line.size() > 2 && line.front() == '0' && line.back() == '0' &&
           line.substr(1, line.size() - 2).find_first_not_of('=') == std::string_view::npos;
}

bool names_an_error(std::string_view line) {
    static constexpr std::string_view word = "ERROR";
    for (std::size_t i = 0; i + word.size() <= line.size(); ++i)
        if (upper_equals(line.substr(i, word.size()), word)) return true;
    return false;
}

// A paragraph longer than this keeps its last lines.
constexpr std::size_t kParagraphLines = 64;

}  // namespace

void OutputTail::add_line(std::string_view line) {
    if (std::string fatal = last_fatal_line(line); !fatal.empty()) fatal_ = std::move(fatal);
    const std::string_view text = trimmed(line);
    if (banner_rule(text)) {
        in_banner_ = !in_banner_;
        paragraph_.clear();
        paragraph_ended_ = false;
        return;
    }
    if (in_banner_ || text == "Stop - Program terminated." || text == "Press Enter to continue") return;
    if (text.empty()) {
        paragraph_ended_ = true;
        return;
    }
    if (paragraph_ended_) paragraph_.clear();
    paragraph_ended_ = false;
    paragraph_.emplace_back(text);
    if (paragraph_.size() > kParagraphLines) paragraph_.pop_front();
}

void OutputTail::append(std::string_view bytes) {
    for (char c : bytes) {
        if (c == '\n') {
            add_line(partial_);
            partial_.clear();
        } else if (c != '\r' && partial_.size() < kLineChars) {
            partial_ += c;
        }
    }
}

std::string OutputTail::last_message() const {
    // An unfinished last line counts as the engine left it.
    OutputTail all = *this;
    if (!all.partial_.empty()) all.add_line(all.partial_);
    const std::deque<std::string>& lines = all.paragraph_;
    auto from = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return names_an_error(l); });
    if (from == lines.end()) from = lines.begin();
    std::string out;
    for (std::size_t n = 0; from != lines.end() && n < kLines; ++from, ++n) out += (n ? "\n" : "") + *from;
    return out;
}

RunVerdict judge_run(const EngineEnd& end, const std::string& report, bool report_is_new) {
    if (!end.started) return {false, std::string(kEngineName) + " could not be started: " + end.start_error};
    if (!end.crashed && end.exit_status == 0) {
        if (report_is_new) return {true, ""};
        return {false, std::string(kEngineName) + " ended without writing the report " + report + "."};
    }
    std::string message = end.crashed ? std::string(kEngineName) + " ended abnormally."
                                      : std::string(kEngineName) + " stopped with exit status " +
                                            std::to_string(end.exit_status) + ".";
    const std::string& why = end.fatal.empty() ? end.message : end.fatal;
    if (!why.empty()) message += "\n\n" + why;
    message += report_is_new ? "\n\nThe report it wrote, " + report + ", is shown."
                             : "\n\nIt wrote no new report; " + report + " is not shown.";
    return {report_is_new, message};
}

}  // namespace orv::frontend
