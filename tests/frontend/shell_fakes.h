// A recording stand-in for the main window's questions to the user.
#pragma once

#include <QPrinter>
#include <QString>
#include <deque>
#include <utility>
#include <vector>

#include "frontend/widgets/shell_prompts.h"

namespace orv::frontend::testing {

struct FakeShellPrompts : ShellPrompts {
    std::vector<std::pair<QString, QString>> messages;  // caption, text
    std::vector<std::pair<QString, QString>> dialogs;   // file dialogs: title, filter
    std::deque<QString> files;                          // chosen files; none left means cancel
    std::deque<Unsaved> unsaved;                        // answers; none left means Discard
    int unsaved_asked = 0;
    QString pdf;  // the print dialog prints to this file; empty means cancel
    bool selection_offered = false;
    int page_setups = 0;

    void message(const QString& caption, const QString& text) override { messages.emplace_back(caption, text); }
    std::optional<QString> open_file(const QString& title, const QString& filter) override { return file(title, filter); }
    std::optional<QString> save_file(const QString& title, const QString& filter, const QString&) override {
        return file(title, filter);
    }
    Unsaved ask_unsaved(const QString&, const QString&) override {
        ++unsaved_asked;
        if (unsaved.empty()) return Unsaved::Discard;
        const Unsaved a = unsaved.front();
        unsaved.pop_front();
        return a;
    }
    bool print_dialog(QPrinter& printer, bool selection) override {
        selection_offered = selection;
        if (pdf.isEmpty()) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    }
    void page_setup(QPrinter&) override { ++page_setups; }

    QString last_message() const { return messages.empty() ? QString() : messages.back().second; }

private:
    std::optional<QString> file(const QString& title, const QString& filter) {
        dialogs.emplace_back(title, filter);
        if (files.empty()) return std::nullopt;
        QString f = files.front();
        files.pop_front();
        return f;
    }
};

}  // namespace orv::frontend::testing
