// The dialog base, and the comments, title, data and report dialogs.
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "frontend/widgets/dialogs.h"
#include "frontend/widgets/look.h"
#include "frontend/widgets/wizard_windows.h"

namespace orv::frontend {

WizardDialog::WizardDialog(WizardWindows& windows, Dialog id, const QString& caption)
    : QDialog(nullptr), windows_(windows), id_(id) {
    setWindowTitle(caption);
    paint_background(this, kLightCyan);
    // Closing the main window ends the program, whatever dialogs are open.
    setAttribute(Qt::WA_QuitOnClose, false);
}

void WizardDialog::present() {
    if (!shown_before_) {
        shown_before_ = true;
        // The dialog's buttons are all made by now.
        add_mnemonics(this);
        for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(true);
        centre_on_screen(this);
    }
    show();
    raise();
    activateWindow();
    focus_first_field(this);
}

void WizardDialog::reject() { close(); }

void WizardDialog::closeEvent(QCloseEvent* event) {
    event->accept();
    windows_.closed(id_);
}

Wizard& WizardDialog::model() { return windows_.model(); }

void WizardDialog::show_model() { windows_.sync(); }

void WizardDialog::on_click(QAbstractButton* button, Handler handler) {
    connect(button, &QAbstractButton::clicked, this, [this, handler = std::move(handler)] {
        handler(model());
        show_model();
    });
}

void WizardDialog::on_typed(QLineEdit* box, TextHandler handler) {
    connect(box, &QLineEdit::textEdited, this,
            [this, handler = std::move(handler)](const QString& t) { handler(model(), ss(t)); });
}

void WizardDialog::on_combo(QComboBox* box, TextHandler typed, TextHandler picked) {
    on_typed(box->lineEdit(), std::move(typed));
    connect(box, &QComboBox::activated, this, [this, box, picked = std::move(picked)](int index) {
        picked(model(), ss(box->itemText(index)));
        show_model();
    });
}

// ---- Comments --------------------------------------------------------------

namespace {

// The box's paragraphs joined with CR LF, as the comment lines are split.
std::string crlf_text(const QString& plain) {
    QString t = plain;
    t.replace("\r\n", "\n").replace('\r', '\n').replace('\n', "\r\n");
    return ss(t);
}

QString plain_text(const std::string& crlf) { return qs(crlf).replace("\r\n", "\n"); }

}  // namespace

CommentsDialog::CommentsDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Comments, "Comments") {
    setObjectName("frmComments");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_prompt(
        this,
        "Please type any comments relating to this analysis in the space provided below.  Comments are optional."));
    box_ = new QPlainTextEdit(this);
    box_->setObjectName("txbxComments");
    box_->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Enter starts a new line here; Tab goes on to Save.
    box_->setTabChangesFocus(true);
    box_->setMinimumSize(420, 160);
    layout->addWidget(box_);
    auto* save = make_save_button(this, "cmdSave", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    connect(box_, &QPlainTextEdit::textChanged, this, [this] {
        comments_set_text(model(), crlf_text(box_->toPlainText()));
    });
    on_click(save, comments_save);
}

void CommentsDialog::refresh(const Wizard& w) {
    if (crlf_text(box_->toPlainText()) == w.comments.text) return;
    const QSignalBlocker block(box_);
    box_->setPlainText(plain_text(w.comments.text));
}

// ---- Title -----------------------------------------------------------------

TitleDialog::TitleDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Title, "TITLE") {
    setObjectName("frmTitle");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_prompt(this, "Please enter a title for this analysis."));
    box_ = make_line(this, "TitleText");
    box_->setMinimumWidth(420);
    layout->addWidget(box_);
    auto* save = make_save_button(this, "cmdTitleSave", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    on_typed(box_, title_set_text);
    on_click(save, title_save);
}

void TitleDialog::refresh(const Wizard& w) { show_text(box_, w.title.text); }

// ---- Data ------------------------------------------------------------------

DataDialog::DataDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Data, "Data") {
    setObjectName("frmData");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_heading(this, "Click Here to Select a Data File"));
    auto* open = make_button(this, "cmdDataFile", "Open Data File");
    layout->addWidget(open, 0, Qt::AlignLeft);
    file_ = make_line(this, "txbxbDataFilename");
    // Shows the data file that will be written; chosen only with the button,
    // and coloured as a box that cannot be typed in.
    file_->setReadOnly(true);
    paint_base(file_, kLightCyan);
    file_->setMinimumWidth(420);
    layout->addWidget(file_);
    layout->addWidget(make_prompt(this, "Number of Variables"));
    variables_ = make_line(this, "txtbxNumVar");
    layout->addWidget(variables_);
    layout->addWidget(make_prompt(this, "Number of Subjects"));
    subjects_ = make_line(this, "txtbxNumSub");
    layout->addWidget(subjects_);
    auto* save = make_save_button(this, "cmdSaveData", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    on_click(open, [this](Wizard& w) { data_open_file(w, windows_.prompts()); });
    on_typed(variables_, data_set_variables);
    on_typed(subjects_, data_set_subjects);
    on_click(save, data_save);
}

void DataDialog::refresh(const Wizard& w) {
    show_text(file_, w.data.file);
    show_text(variables_, w.data.variables);
    show_text(subjects_, w.data.subjects);
}

// ---- Report ----------------------------------------------------------------

OutFileDialog::OutFileDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::OutFile, "Output") {
    setObjectName("frmOutFile");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_prompt(this, "Please enter the Output Filename below."));
    box_ = make_line(this, "txbxOutFile");
    box_->setMinimumWidth(360);
    layout->addWidget(box_);
    layout->addWidget(make_prompt(this, "Would you prefer short or long output?"));
    short_ = make_option(this, "optOut1", "SHORT");
    long_ = make_option(this, "optOut2", "LONG");
    layout->addWidget(short_);
    layout->addWidget(long_);
    auto* save = make_save_button(this, "cmdSaveOutfile", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    on_typed(box_, outfile_set_text);
    on_click(short_, outfile_pick_short);
    on_click(long_, outfile_pick_long);
    on_click(save, outfile_save);
}

void OutFileDialog::refresh(const Wizard& w) {
    show_text(box_, w.outfile.report);
    // Neither button is selected until one is picked.
    short_->setAutoExclusive(false);
    long_->setAutoExclusive(false);
    short_->setChecked(w.outfile.verbosity == Verbosity::Short);
    long_->setChecked(w.outfile.verbosity == Verbosity::Long);
    short_->setAutoExclusive(true);
    long_->setAutoExclusive(true);
}

}  // namespace orv::frontend
