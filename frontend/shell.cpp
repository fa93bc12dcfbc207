#include "frontend/shell.h"

#include <sys/stat.h>

#include "frontend/text_rules.h"

namespace orv::frontend {

void job_file_read_or_written(ShellState& s, Wizard& w, const std::string& path) {
    s.open_file = path;
    w.run_allowed = true;
}

void save_as_started(Wizard& w) { w.run_allowed = false; }

bool may_run(const ShellState& s, const Wizard& w) { return w.run_allowed && !s.open_file.empty(); }

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t'; }

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
    const std::size_t first = found.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return std::string(found.substr(first, found.find_last_not_of(" \t\r") - first + 1));
}

void OutputTail::append(std::string_view bytes) {
    for (char c : bytes) {
        if (c == '\n') {
            if (std::string fatal = last_fatal_line(partial_); !fatal.empty()) fatal_ = std::move(fatal);
            if (!partial_.empty()) lines_.push_back(partial_);
            if (lines_.size() > kLines) lines_.pop_front();
            partial_.clear();
        } else if (c != '\r' && partial_.size() < kLineChars) {
            partial_ += c;
        }
    }
}

std::string OutputTail::text() const {
    std::string out;
    for (const std::string& line : lines_) out += line + "\n";
    out += partial_;
    while (!out.empty() && out.back() == '\n') out.pop_back();
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
    const std::string& why = end.fatal.empty() ? end.output : end.fatal;
    if (!why.empty()) message += "\n\n" + why;
    message += report_is_new ? "\n\nThe report it wrote, " + report + ", is shown."
                             : "\n\nIt wrote no new report; " + report + " is not shown.";
    return {report_is_new, message};
}

}  // namespace orv::frontend
