// The front end's questions to the user as Qt dialogs: message and input
// boxes, the file dialogs, the question before unsaved text is replaced, and
// the print and page-setup dialogs.
#pragma once

#include <QString>

#include "frontend/prompts.h"

class QPageSetupDialog;
class QPrintDialog;
class QWidget;

namespace orv::frontend {

// "description|pattern|..." as a Qt file-dialog filter: "All Files" matches
// every name, also those without a ".".
QString qt_filter(const std::string& filter);

// The print dialog titled "Print", without page numbers to choose, offering
// the selection when there is one; the page-setup dialog titled "Page Setup".
void prepare_print_dialog(QPrintDialog& dialog, bool selection);
void prepare_page_setup(QPageSetupDialog& dialog);

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void message(const std::string& caption, const std::string& text) override;
    std::string input(const std::string& prompt, const std::string& title) override;
    std::optional<std::string> open_file(const std::string& title, const std::string& filter) override;
    std::optional<std::string> save_file(const std::string& title, const std::string& filter,
                                         const std::string& start) override;
    Unsaved ask_unsaved(const std::string& caption, const std::string& text) override;
    bool print_dialog(QPrinter& printer, bool selection) override;
    void page_setup(QPrinter& printer) override;

private:
    QWidget* parent_;
};

}  // namespace orv::frontend
