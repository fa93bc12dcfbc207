#include "frontend/widgets/look.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <vector>

namespace orv::frontend {

namespace {

// Swallows Enter in an editable list box: a typed text that equals an item
// must not count as a pick (which would run the box's click handler), and
// nothing is added to the list.
class NoEnter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
        }
        return QObject::eventFilter(watched, event);
    }
};

}  // namespace

QFont prompt_font() {
    QFont f("Times New Roman", 11);
    f.setStyleHint(QFont::Serif);
    return f;
}

QFont heading_font() {
    QFont f("Arial Black", 12, QFont::Black);
    f.setStyleHint(QFont::SansSerif);
    return f;
}

void paint_background(QWidget* w, const QColor& colour) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, colour);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void paint_base(QWidget* box, const QColor& colour) {
    QPalette p = box->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(group, QPalette::Base, colour);
        p.setColor(group, QPalette::Button, colour);  // what a list box's field is drawn with
    }
    box->setPalette(p);
}

void paint_closed(QWidget* box, bool closed) {
    if (closed) {
        paint_base(box, kLightCyan);
    } else {
        QPalette p = box->palette();
        const QPalette standard = QApplication::palette(box);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            for (auto role : {QPalette::Base, QPalette::Button}) p.setColor(group, role, standard.color(group, role));
        box->setPalette(p);
    }
    box->setEnabled(!closed);
}

void centre_on_screen(QWidget* w) {
    w->adjustSize();
    const QScreen* screen = w->screen() ? w->screen() : QApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    w->move(area.left() + (area.width() - w->frameGeometry().width()) / 2,
            area.top() + (area.height() - w->frameGeometry().height()) / 2);
}

QLabel* make_prompt(QWidget* parent, const QString& text, const char* name) {
    auto* l = new QLabel(text, parent);
    l->setFont(prompt_font());
    l->setWordWrap(true);
    if (name) l->setObjectName(name);
    return l;
}

QLabel* make_heading(QWidget* parent, const QString& text, const char* name) {
    auto* l = new QLabel(text, parent);
    l->setFont(heading_font());
    if (name) l->setObjectName(name);
    return l;
}

QPushButton* make_button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLineEdit* make_line(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

QComboBox* make_combo(QWidget* parent, const char* name, const std::vector<std::string>& items) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
    c->lineEdit()->installEventFilter(new NoEnter(c));
    for (const std::string& item : items) c->addItem(qs(item));
    c->setMinimumContentsLength(20);
    c->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return c;
}

void show_text(QLineEdit* box, const std::string& text) {
    const QString t = qs(text);
    if (box->text() == t) return;
    const QSignalBlocker block(box);
    box->setText(t);
}

void show_text(QComboBox* box, const std::string& text) {
    const QString t = qs(text);
    if (box->currentText() == t) return;
    const QSignalBlocker block(box);
    const QSignalBlocker block_edit(box->lineEdit());
    box->setEditText(t);
}

}  // namespace orv::frontend
