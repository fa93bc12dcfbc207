// The wizard windows' appearance: colours, fonts and the helpers that lay
// out their prompts, headings and controls.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace orv::frontend {

inline const QColor kLightCyan(192, 255, 255);  // dialog backgrounds, closed boxes
inline const QColor kTeal(0, 128, 128);         // the hub
inline const QColor kYellow(255, 255, 0);       // step marks

QFont prompt_font();   // "Times New Roman"
QFont heading_font();  // "Arial Black"

void paint_background(QWidget* w, const QColor& colour);
// A box's own background (what it shows text on), in every state.
void paint_base(QWidget* box, const QColor& colour);
// A box closed to the user gets the light cyan background, an open one the
// system's window background.
void paint_closed(QWidget* box, bool closed);
// Moves a window to the centre of its screen.
void centre_on_screen(QWidget* w);

QLabel* make_prompt(QWidget* parent, const QString& text, const char* name = nullptr);
QLabel* make_heading(QWidget* parent, const QString& text, const char* name = nullptr);
QPushButton* make_button(QWidget* parent, const char* name, const QString& caption);
// A dialog's Save: its default button, which Enter presses.
QPushButton* make_save_button(QWidget* parent, const char* name, const QString& caption);
// Gives the buttons of WINDOW mnemonics that change nothing but an
// underline: each takes the first letter of its caption that no button
// before it took, the default button first, then the push buttons, then
// the option buttons and check boxes, each in the order they were made.
void add_mnemonics(QWidget* window);
// Gives the keyboard to the first control that Tab reaches in WINDOW.
void focus_first_field(QWidget* window);
QLineEdit* make_line(QWidget* parent, const char* name);
QRadioButton* make_option(QWidget* parent, const char* name, const QString& caption);
// An editable list box that completes nothing and passes Enter and Esc to
// its window (Enter adds nothing and picks nothing in the box itself).
QComboBox* make_combo(QWidget* parent, const char* name, const std::vector<std::string>& items);

inline QString qs(const std::string& s) { return QString::fromStdString(s); }
inline std::string ss(const QString& s) { return s.toStdString(); }

// Shows a text in a control only when it differs, so the cursor of a box
// being typed in stays where it is.
void show_text(QLineEdit* box, const std::string& text);
void show_text(QComboBox* box, const std::string& text);

}  // namespace orv::frontend
