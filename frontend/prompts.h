// The questions the front end asks the user in the middle of its work: the
// wizard's handlers and the main window's commands alike.  The widgets
// answer them with Qt dialogs; tests answer them with a recording stand-in.
#pragma once

#include <optional>
#include <string>

class QPrinter;

namespace orv::frontend {

// The answer to the question before unsaved text is replaced or closed.
enum class Unsaved { Save, Discard, Cancel };

class Prompts {
public:
    virtual ~Prompts() = default;
    // A message box with an OK button.
    virtual void message(const std::string& caption, const std::string& text) = 0;
    // An input box: the typed answer; empty also when cancelled.
    virtual std::string input(const std::string& prompt, const std::string& title) = 0;
    // The file dialogs: the chosen file's full path; nothing when cancelled.
    // `filter` is in the "description|pattern|description|pattern" form.
    virtual std::optional<std::string> open_file(const std::string& title, const std::string& filter) = 0;
    virtual std::optional<std::string> save_file(const std::string& title, const std::string& filter,
                                                 const std::string& start) = 0;
    virtual Unsaved ask_unsaved(const std::string& caption, const std::string& text) = 0;
    // The print dialog, offering the selection when there is one; false when
    // cancelled.  Then the page-setup dialog.
    virtual bool print_dialog(QPrinter& printer, bool selection) = 0;
    virtual void page_setup(QPrinter& printer) = 0;
};

}  // namespace orv::frontend
