#include "frontend/widgets/shell_prompts.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

#include "frontend/widgets/look.h"
#include "frontend/widgets/qt_prompts.h"

namespace orv::frontend {

void QtShellPrompts::message(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent_);
    box.exec();
}

std::optional<QString> QtShellPrompts::open_file(const QString& title, const QString& filter) {
    const QString name = QFileDialog::getOpenFileName(parent_, title, QString(), qt_filter(ss(filter)));
    if (name.isEmpty()) return std::nullopt;
    return name;
}

std::optional<QString> QtShellPrompts::save_file(const QString& title, const QString& filter, const QString& start) {
    const QString name = QFileDialog::getSaveFileName(parent_, title, start, qt_filter(ss(filter)));
    if (name.isEmpty()) return std::nullopt;
    return name;
}

Unsaved QtShellPrompts::ask_unsaved(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                    parent_);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
        case QMessageBox::Save: return Unsaved::Save;
        case QMessageBox::Discard: return Unsaved::Discard;
        default: return Unsaved::Cancel;
    }
}

void prepare_print_dialog(QPrintDialog& dialog, bool selection) {
    dialog.setWindowTitle("Print");
    QAbstractPrintDialog::PrintDialogOptions options = dialog.options();
    options &= ~QAbstractPrintDialog::PrintPageRange;
    options.setFlag(QAbstractPrintDialog::PrintSelection, selection);
    dialog.setOptions(options);
}

void prepare_page_setup(QPageSetupDialog& dialog) { dialog.setWindowTitle("Page Setup"); }

bool QtShellPrompts::print_dialog(QPrinter& printer, bool selection) {
    QPrintDialog dialog(&printer, parent_);
    prepare_print_dialog(dialog, selection);
    return dialog.exec() == QDialog::Accepted;
}

void QtShellPrompts::page_setup(QPrinter& printer) {
    QPageSetupDialog dialog(&printer, parent_);
    prepare_page_setup(dialog);
    dialog.exec();
}

}  // namespace orv::frontend
