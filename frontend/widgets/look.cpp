#include "frontend/widgets/look.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <vector>

namespace orv::frontend {

namespace {

// Enter and Esc in an editable list box go to its window, as in a text
// box: a typed text that equals an item must not count as a pick (which
// would run the box's click handler), nothing is added to the list, and the
// dialog's Save and close answer the keys.
class KeysToWindow : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
                auto* box = qobject_cast<QWidget*>(watched);
                if (box && box->window() != box) QCoreApplication::sendEvent(box->window(), event);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// The caption with a mnemonic on its first letter not in TAKEN (which
// gets it); unchanged when it has one or no letter is free.
QString with_mnemonic(const QString& caption, QString& taken) {
    if (caption.contains(QLatin1Char('&'))) return caption;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar c = caption[i].toUpper();
        if (c < QLatin1Char('A') || c > QLatin1Char('Z') || taken.contains(c)) continue;
        taken += c;
        return caption.left(i) + QLatin1Char('&') + caption.mid(i);
    }
    return caption;
}

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

QPushButton* make_save_button(QWidget* parent, const char* name, const QString& caption) {
    QPushButton* b = make_button(parent, name, caption);
    b->setDefault(true);
    return b;
}

void add_mnemonics(QWidget* window) {
    QList<QAbstractButton*> buttons;
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->isDefault()) buttons << b;
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (!b->isDefault()) buttons << b;
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (!qobject_cast<QPushButton*>(b)) buttons << b;
    QString taken;
    for (QAbstractButton* b : buttons) b->setText(with_mnemonic(b->text(), taken));
}

void focus_first_field(QWidget* window) {
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(window) && w->isEnabled()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

QLineEdit* make_line(QWidget* parent, const char* name) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

QRadioButton* make_option(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QRadioButton(caption, parent);
    b->setObjectName(name);
    return b;
}

QComboBox* make_combo(QWidget* parent, const char* name, const std::vector<std::string>& items) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
    // The keys come to the box itself when it has the keyboard, which hands
    // them to its line edit without the line edit's filters.
    auto* keys = new KeysToWindow(c);
    c->installEventFilter(keys);
    c->lineEdit()->installEventFilter(keys);
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
