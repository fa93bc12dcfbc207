// Recording stand-ins for the user's answers and the principal text.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "frontend/wizard.h"

namespace orv::frontend::testing {

struct FakePrompts : Prompts {
    std::vector<std::pair<std::string, std::string>> messages;  // caption, text
    std::vector<std::string> asked;                             // input prompts
    std::deque<std::string> answers;                            // input answers, in order
    std::vector<std::string> filters;
    std::deque<std::string> files;  // chosen files; none left means cancel
    std::function<void()> on_message;  // called as each message is shown

    void message(const std::string& caption, const std::string& text) override {
        messages.emplace_back(caption, text);
        if (on_message) on_message();
    }
    std::string input(const std::string& prompt, const std::string&) override {
        asked.push_back(prompt);
        if (answers.empty()) return "";
        std::string a = answers.front();
        answers.pop_front();
        return a;
    }
    bool open_file(const std::string&, const std::string& filter, std::string& chosen) override {
        filters.push_back(filter);
        if (files.empty()) return false;
        chosen = files.front();
        files.pop_front();
        return true;
    }
};

struct FakeText : PrincipalText {
    std::string text = "old text";
    int sets = 0;
    void set_text(const std::string& t) override {
        text = t;
        ++sets;
    }
};

}  // namespace orv::frontend::testing
