#include "frontend/widgets/qt_prompts.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QStringList>

#include "frontend/widgets/look.h"

namespace orv::frontend {

QString qt_filter(const std::string& filter) {
    const QStringList parts = qs(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i];
        QString pattern = parts[i + 1];
        // The description's own "(pattern)" is replaced by the one Qt reads.
        const int open = description.lastIndexOf(" (");
        if (open >= 0 && description.endsWith(')')) description.truncate(open);
        if (pattern == "*.*") pattern = "*";
        out << description + " (" + pattern.replace(';', ' ') + ")";
    }
    return out.join(";;");
}

void prepare_print_dialog(QPrintDialog& dialog, bool selection) {
    dialog.setWindowTitle("Print");
    QAbstractPrintDialog::PrintDialogOptions options = dialog.options();
    options &= ~QAbstractPrintDialog::PrintPageRange;
    options.setFlag(QAbstractPrintDialog::PrintSelection, selection);
    dialog.setOptions(options);
}

void prepare_page_setup(QPageSetupDialog& dialog) { dialog.setWindowTitle("Page Setup"); }

void QtPrompts::message(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, qs(caption), qs(text), QMessageBox::Ok, parent_);
    box.exec();
}

std::string QtPrompts::input(const std::string& prompt, const std::string& title) {
    bool ok = false;
    const QString answer = QInputDialog::getText(parent_, qs(title), qs(prompt), QLineEdit::Normal, QString(), &ok);
    return ok ? ss(answer) : std::string();
}

std::optional<std::string> QtPrompts::open_file(const std::string& title, const std::string& filter) {
    const QString name = QFileDialog::getOpenFileName(parent_, qs(title), QString(), qt_filter(filter));
    if (name.isEmpty()) return std::nullopt;
    return ss(name);
}

std::optional<std::string> QtPrompts::save_file(const std::string& title, const std::string& filter,
                                                const std::string& start) {
    const QString name = QFileDialog::getSaveFileName(parent_, qs(title), qs(start), qt_filter(filter));
    if (name.isEmpty()) return std::nullopt;
    return ss(name);
}

Unsaved QtPrompts::ask_unsaved(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::Question, qs(caption), qs(text),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent_);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
        case QMessageBox::Save: return Unsaved::Save;
        case QMessageBox::Discard: return Unsaved::Discard;
        default: return Unsaved::Cancel;
    }
}

bool QtPrompts::print_dialog(QPrinter& printer, bool selection) {
    QPrintDialog dialog(&printer, parent_);
    prepare_print_dialog(dialog, selection);
    return dialog.exec() == QDialog::Accepted;
}

void QtPrompts::page_setup(QPrinter& printer) {
    QPageSetupDialog dialog(&printer, parent_);
    prepare_page_setup(dialog);
    dialog.exec();
}

}  // namespace orv::frontend
