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
    show_text(score_, w.score.method_box);
    paint_closed(score_, !w.score.method_open);
    paint_closed(score_->lineEdit(), !w.score.method_open);
    // The window takes the message's room only while it is shown.
    const bool message = !w.score.method_open;
    if (message_->isVisibleTo(this) == message) return;
    message_->setVisible(message);
    adjustSize();
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

void PlotDialog::refresh(const Wizard& w) { show_text(plot_, w.plot.choice_box); }

// ---- Technical -------------------------------------------------------------

namespace {

// One row per technical value, in the order of Technical.
struct TechnicalRow {
    const char* prompt;
    const char* name;
    bool list;  // a list box; otherwise a text box
};
const TechnicalRow kTechnicalRows[kTechnicalValues] = {
    {"Convergence criterion for iterated communalities (COMP_EPS)", "Text1", false},
    {"Maximum iterations for communality estimation (MAXIT)", "Text2", false},
    {"Convergence criterion for rotation step  (ROT_EPS)", "Text3", false},
    {"Maximum iterations for rotation step (ROT_MAXIT)", "Text4", false},
    {"Begin rotation from random spin orientation (RNDSTRTS)", "cboTech1", true},
    {"Hyperplane width  (HYPER_WIDTH)", "Text6", false},
    {"Initial method for communality estimation (INIT_COM)", "cboTech2", true},
    {"Number of columns on printed page  (PAGEWIDTH)", "Text8", false},
    {"Write output matrices to external files (OUTPUT)", "cboTech3", true},
};

}  // namespace

TechnicalDialog::TechnicalDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Technical, "Technical") {
    setObjectName("frmTechnical");
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(0, 1);
    int next_box = 0, next_combo = 0;
    for (int r = 0; r < kTechnicalValues; ++r) {
        const TechnicalRow& row = kTechnicalRows[r];
        const auto value = static_cast<Technical>(r);
        auto* prompt = make_prompt(this, row.prompt);
        prompt->setWordWrap(false);
        grid->addWidget(prompt, r, 0);
        const auto typed = [value](Wizard& w, const std::string& t) { technical_type(w, value, t); };
        if (!row.list) {
            QLineEdit* e = make_line(this, row.name);
            e->setFixedWidth(300);
            boxes_[next_box++] = e;
            grid->addWidget(e, r, 1);
            on_typed(e, typed);
        } else {
            const auto& items = value == Technical::InitCom ? Lists::initial_communality : Lists::true_false;
            QComboBox* c = make_combo(this, row.name, items);
            c->setFixedWidth(300);
            combos_[next_combo++] = c;
            grid->addWidget(c, r, 1);
            on_combo(c, typed, [value](Wizard& w, const std::string& t) { technical_pick(w, value, t); });
        }
    }
    auto* save = make_save_button(this, "cmdTechnical", "Save");
    grid->addWidget(save, 9, 1, Qt::AlignRight);
    on_click(save, [this](Wizard& w) { technical_save(w, windows_.prompts()); });
}

void TechnicalDialog::refresh(const Wizard& w) {
    int next_box = 0, next_combo = 0;
    for (int r = 0; r < kTechnicalValues; ++r) {
        const std::string& text = w.technical.box(static_cast<Technical>(r));
        if (kTechnicalRows[r].list)
            show_text(combos_[next_combo++], text);
        else
            show_text(boxes_[next_box++], text);
    }
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
        connect(boxes_[i], &QCheckBox::clicked, this,
                [this, i](bool on) { outmatrix_set(model(), static_cast<Matrix>(i), on); });
    }
    auto* save = make_save_button(this, "cmdOutMatrix", "SAVE");
    layout->addWidget(save, 0, Qt::AlignRight);
    on_click(save, outmatrix_save);
}

void OutMatrixDialog::refresh(const Wizard& w) {
    for (int i = 0; i < 5; ++i) boxes_[i]->setChecked(w.outmatrix.ticked[i]);
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

void FormatDialog::refresh(const Wizard& w) { show_text(box_, w.format.format); }

}  // namespace orv::frontend
