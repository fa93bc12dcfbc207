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
    std::vector<std::pair<std::string, std::string>> dialogs;   // file dialogs: title, filter
    std::deque<std::string> files;  // chosen files; none left means cancel
    std::deque<Unsaved> unsaved;    // answers; none left means Discard
    int unsaved_asked = 0;
    bool selection_offered = false;
    int page_setups = 0;
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
    std::optional<std::string> open_file(const std::string& title, const std::string& filter) override {
        return file(title, filter);
    }
    std::optional<std::string> save_file(const std::string& title, const std::string& filter,
                                         const std::string&) override {
        return file(title, filter);
    }
    Unsaved ask_unsaved(const std::string&, const std::string&) override {
        ++unsaved_asked;
        if (unsaved.empty()) return Unsaved::Discard;
        const Unsaved a = unsaved.front();
        unsaved.pop_front();
        return a;
    }
    // Cancelled; the widget tests' stand-in prints.
    bool print_dialog(QPrinter&, bool selection) override {
        selection_offered = selection;
        return false;
    }
    void page_setup(QPrinter&) override { ++page_setups; }

private:
    std::optional<std::string> file(const std::string& title, const std::string& filter) {
        dialogs.emplace_back(title, filter);
        if (files.empty()) return std::nullopt;
        std::string f = files.front();
        files.pop_front();
        return f;
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
