// The main window's questions to the user: messages, the file dialogs, the
// question before unsaved text is replaced, and the print and page-setup
// dialogs.  Tests answer them with a recording stand-in.
#pragma once

#include <QString>
#include <optional>

class QPageSetupDialog;
class QPrintDialog;
class QPrinter;
class QWidget;

namespace orv::frontend {

enum class Unsaved { Save, Discard, Cancel };

class ShellPrompts {
public:
    virtual ~ShellPrompts() = default;
    virtual void message(const QString& caption, const QString& text) = 0;
    // `filter` in the "description|pattern|..." form; nothing when cancelled.
    virtual std::optional<QString> open_file(const QString& title, const QString& filter) = 0;
    virtual std::optional<QString> save_file(const QString& title, const QString& filter, const QString& start) = 0;
    virtual Unsaved ask_unsaved(const QString& caption, const QString& text) = 0;
    // The print dialog, offering the selection when there is one; false when
    // cancelled.
    virtual bool print_dialog(QPrinter& printer, bool selection) = 0;
    virtual void page_setup(QPrinter& printer) = 0;
};

// The print dialog titled "Print", without page numbers to choose, offering
// the selection when there is one; the page-setup dialog titled "Page Setup".
void prepare_print_dialog(QPrintDialog& dialog, bool selection);
void prepare_page_setup(QPageSetupDialog& dialog);

class QtShellPrompts : public ShellPrompts {
public:
    explicit QtShellPrompts(QWidget* parent) : parent_(parent) {}
    void message(const QString& caption, const QString& text) override;
    std::optional<QString> open_file(const QString& title, const QString& filter) override;
    std::optional<QString> save_file(const QString& title, const QString& filter, const QString& start) override;
    Unsaved ask_unsaved(const QString& caption, const QString& text) override;
    bool print_dialog(QPrinter& printer, bool selection) override;
    void page_setup(QPrinter& printer) override;

private:
    QWidget* parent_;
};

}  // namespace orv::frontend
