// A window host for tests: it records what the program shows and answers
// its questions from scripts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/host.h"

namespace orv::testing {

// A host that records what it is asked and answers from scripts.
class FakeHost : public rt::Host {
public:
    std::vector<std::string> args;
    std::vector<std::optional<std::string>> files;  // answers of choose_file, in order
    std::vector<bool> answers;                      // answers of ask_yes_no, in order
    std::vector<std::string> titles, questions, records;
    int pauses = 0;  // calls of pause
    int ended = -1;

    const std::vector<std::string>& arguments() const override { return args; }
    void set_dialog_filter(std::string_view) override {}
    std::optional<std::string> choose_file(std::string_view title) override {
        titles.emplace_back(title);
        if (files.empty()) return std::nullopt;
        auto f = files.front();
        files.erase(files.begin());
        return f;
    }
    bool ask_yes_no(std::string_view caption, std::string_view text, bool) override {
        questions.push_back(std::string(caption) + "|" + std::string(text));
        if (answers.empty()) return true;
        bool a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    void write_record(std::string_view r) override { records.emplace_back(r); }
    void pause() override { ++pauses; }
    void set_status(std::string_view) override {}
    void end_of_run(int status) override { ended = status; }
};

}  // namespace orv::testing
