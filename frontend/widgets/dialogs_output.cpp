// The score, plot, technical, output-matrix and format dialogs.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "frontend/widgets/dialogs.h"
#include "frontend/widgets/look.h"
#include "frontend/widgets/wizard_windows.h"

namespace orv::frontend {

// ---- Scores ----------------------------------------------------------------

ScoreDialog::ScoreDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Score, "Score") {
    setObjectName("frmScore");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_heading(this, "Factor Scores"));
    layout->addWidget(make_prompt(this, "Factor Score Method"));
    score_ = make_combo(this, "cmbScore", Lists::score);
    layout->addWidget(score_);
    message_ = make_prompt(
        this, "In this version of Orvalis, factor scores can only be computed for continuous data.", "lblScoreMsg");
    message_->setFixedWidth(360);
    layout->addWidget(message_);
    auto* save = make_save_button(this, "cmdScore", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    on_combo(score_, score_set_text, score_set_text);
    on_click(save, score_save);
}

void ScoreDialog::refresh(const Wizard& w) {
    show_text(score_, w.score.cmbScore);
    paint_closed(score_, !w.score.cmbScoreEnabled);
    paint_closed(score_->lineEdit(), !w.score.cmbScoreEnabled);
    // The window takes the message's room only while it is shown.
    message_->setVisible(w.score.lblScoreMsgVisible);
    if (message_shown_ != w.score.lblScoreMsgVisible) adjustSize();
    message_shown_ = w.score.lblScoreMsgVisible;
}

// ---- Plot ------------------------------------------------------------------

PlotDialog::PlotDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Plot, "Plot") {
    setObjectName("frmPlot");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_prompt(this, "Plotting option."));
    plot_ = make_combo(this, "cboPlot", Lists::plot);
    layout->addWidget(plot_);
    auto* save = make_save_button(this, "cmdMetric", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    on_combo(plot_, plot_set_text, plot_set_text);
    on_click(save, plot_save);
}

void PlotDialog::refresh(const Wizard& w) { show_text(plot_, w.plot.cboPlot); }

// ---- Technical -------------------------------------------------------------

TechnicalDialog::TechnicalDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Technical, "Technical") {
    setObjectName("frmTechnical");
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(0, 1);
    struct Row {
        const char* prompt;
        const char* name;
        int box;    // text box number, or 0
        int combo;  // combo number, or 0
    };
    const Row rows[] = {
        {"Convergence criterion for iterated communalities (COMP_EPS)", "Text1", 1, 0},
        {"Maximum iterations for communality estimation (MAXIT)", "Text2", 2, 0},
        {"Convergence criterion for rotation step  (ROT_EPS)", "Text3", 3, 0},
        {"Maximum iterations for rotation step (ROT_MAXIT)", "Text4", 4, 0},
        {"Begin rotation from random spin orientation (RNDSTRTS)", "cboTech1", 0, 1},
        {"Hyperplane width  (HYPER_WIDTH)", "Text6", 6, 0},
        {"Initial method for communality estimation (INIT_COM)", "cboTech2", 0, 2},
        {"Number of columns on printed page  (PAGEWIDTH)", "Text8", 8, 0},
        {"Write output matrices to external files (OUTPUT)", "cboTech3", 0, 3},
    };
    int next_box = 0;
    for (int r = 0; r < 9; ++r) {
        const Row& row = rows[r];
        auto* prompt = make_prompt(this, row.prompt);
        prompt->setWordWrap(false);
        grid->addWidget(prompt, r, 0);
        if (row.box) {
            QLineEdit* e = make_line(this, row.name);
            e->setFixedWidth(300);
            boxes_[next_box++] = e;
            grid->addWidget(e, r, 1);
            const int box = row.box;
            on_typed(e, [box](Wizard& w, const std::string& t) { technical_set_box(w, box, t); });
        } else {
            QComboBox* c =
                make_combo(this, row.name, row.combo == 2 ? Lists::tech_init : Lists::tech_bool);
            c->setFixedWidth(300);
            combos_[row.combo - 1] = c;
            grid->addWidget(c, r, 1);
            const int combo = row.combo;
            on_combo(
                c, [combo](Wizard& w, const std::string& t) { technical_type_combo(w, combo, t); },
                [combo](Wizard& w, const std::string& t) { technical_pick_combo(w, combo, t); });
        }
    }
    auto* save = make_save_button(this, "cmdTechnical", "Save");
    grid->addWidget(save, 9, 1, Qt::AlignRight);
    on_click(save, [this](Wizard& w) { technical_save(w, windows_.prompts()); });
}

void TechnicalDialog::refresh(const Wizard& w) {
    const TechnicalForm& t = w.technical;
    const std::string* texts[6] = {&t.Text1, &t.Text2, &t.Text3, &t.Text4, &t.Text6, &t.Text8};
    for (int i = 0; i < 6; ++i) show_text(boxes_[i], *texts[i]);
    show_text(combos_[0], t.cboTech1);
    show_text(combos_[1], t.cboTech2);
    show_text(combos_[2], t.cboTech3);
}

// ---- Output matrices -------------------------------------------------------

OutMatrixDialog::OutMatrixDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::OutMatrix, "Output") {
    setObjectName("frmOutMatrix");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_prompt(this, "Which matrices would you like to save?"));
    const char* names[] = {"chkCOR", "chkSMO", "chkEIG", "chkFAC", "chkRSD"};
    const char* captions[] = {"The computed (Pearson, Tetrachoric or Polyhoric) correlation matrix (COR)",
                              "The smoothed correlation matrix (SMO)",
                              "The eigenvalues of the (possibly) smoothed correlaton matrix (EIG)",
                              "The rotated or unrotated factor pattern matrix (FAC)",
                              "The matrix of model residuals (RSD)"};
    for (int i = 0; i < 5; ++i) {
        boxes_[i] = new QCheckBox(captions[i], this);
        boxes_[i]->setObjectName(names[i]);
        layout->addWidget(boxes_[i]);
        connect(boxes_[i], &QCheckBox::clicked, this, [this, i](bool on) { outmatrix_set(model(), i, on); });
    }
    auto* save = make_save_button(this, "cmdOutMatrix", "SAVE");
    layout->addWidget(save, 0, Qt::AlignRight);
    on_click(save, outmatrix_save);
}

void OutMatrixDialog::refresh(const Wizard& w) {
    const OutMatrixForm& o = w.outmatrix;
    const bool on[] = {o.chkCOR, o.chkSMO, o.chkEIG, o.chkFAC, o.chkRSD};
    for (int i = 0; i < 5; ++i) boxes_[i]->setChecked(on[i]);
}

// ---- Format ----------------------------------------------------------------

FormatDialog::FormatDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Format, "Format") {
    setObjectName("frmFormat");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_heading(this, "Format of the Data File"));
    layout->addWidget(make_prompt(this, "Please write the FORTRAN format statement of the data file below."));
    box_ = make_line(this, "txtFormat");
    box_->setMinimumWidth(420);
    layout->addWidget(box_);
    auto* save = make_save_button(this, "cmdFormat", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    on_typed(box_, format_set_text);
    on_click(save, format_save);
}

void FormatDialog::refresh(const Wizard& w) { show_text(box_, w.format.txtFormat); }

}  // namespace orv::frontend
