#include "frontend/widgets/qt_prompts.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
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

void QtPrompts::message(const std::string& caption, const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, qs(caption), qs(text), QMessageBox::Ok, parent_);
    box.exec();
}

std::string QtPrompts::input(const std::string& prompt, const std::string& title) {
    bool ok = false;
    const QString answer = QInputDialog::getText(parent_, qs(title), qs(prompt), QLineEdit::Normal, QString(), &ok);
    return ok ? ss(answer) : std::string();
}

bool QtPrompts::open_file(const std::string& title, const std::string& filter, std::string& chosen) {
    const QString name = QFileDialog::getOpenFileName(parent_, qs(title), QString(), qt_filter(filter));
    if (name.isEmpty()) return false;
    chosen = ss(name);
    return true;
}

}  // namespace orv::frontend
