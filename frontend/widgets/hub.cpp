#include "frontend/widgets/hub.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "frontend/widgets/look.h"

namespace orv::frontend {

namespace {

struct Key {
    const char* button;
    const char* caption;
    const char* mark;
    Dialog dialog;
};

// Left column, then middle column, from top to bottom.
const Key kKeys[kStepMarks] = {
    {"cmdComments", "Comments", "lblBuildComments", Dialog::Comments},
    {"cmdTitle", ">TITLE:", "lblBuildTitle", Dialog::Title},
    {"cmdData", ">DATA:", "lblBuildData", Dialog::Data},
    {"cmdOutFile", ">OUTFILE:", "lblBuildOutFile", Dialog::OutFile},
    {"cmdMetric", ">METRIC:", "lblBuildMetric", Dialog::Metric},
    {"cmdModel", ">MODEL:", "lblBuildModel", Dialog::Model},
    {"Command1", ">ROTATE:", "lblBuildRotate", Dialog::Rotate},
    {"cmdScore", ">SCORE:", "lblBuildScore", Dialog::Score},
    {"cmdPlot", ">PLOT:", "lblBuildPlot", Dialog::Plot},
    {"cmdTechnical", ">TECHNICAL:", "lblBuildTechnical", Dialog::Technical},
    {"cmdFormat", ">FORMAT:", "lblBuildFormat", Dialog::Format},
};

}  // namespace

HubWindow::HubWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName("frmBuild");
    setWindowTitle("Orvalis 2.0");
    setAttribute(Qt::WA_QuitOnClose, false);
    paint_background(this, kTeal);
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(10);
    grid->setContentsMargins(18, 18, 18, 18);
    QFont mark_font = font();
    mark_font.setBold(true);
    mark_font.setPointSize(14);
    std::array<QPushButton*, kStepMarks> buttons{};
    for (int i = 0; i < kStepMarks; ++i) {
        const Key& k = kKeys[i];
        auto* b = make_button(this, k.button, k.caption);
        b->setMinimumWidth(120);
        buttons[i] = b;
        auto* mark = new QLabel(this);
        mark->setObjectName(k.mark);
        mark->setFont(mark_font);
        mark->setMinimumWidth(18);
        QPalette p = mark->palette();
        p.setColor(QPalette::WindowText, kYellow);
        mark->setPalette(p);
        marks_[i] = mark;
        const int row = i < 6 ? i : i - 6;
        const int col = i < 6 ? 0 : 2;
        grid->addWidget(b, row, col);
        grid->addWidget(mark, row, col + 1);
        const Dialog d = k.dialog;
        connect(b, &QPushButton::clicked, this, [this, d] { emit dialog_chosen(d); });
    }
    auto* build = make_button(this, "cmdEnd", "BUILD");
    auto* cancel = make_button(this, "Command2", "CANCEL");
    build->setMinimumWidth(100);
    cancel->setMinimumWidth(100);
    grid->addWidget(build, 0, 4);
    grid->addWidget(cancel, 1, 4);
    grid->setColumnMinimumWidth(3, 24);
    connect(build, &QPushButton::clicked, this, &HubWindow::build_chosen);
    connect(cancel, &QPushButton::clicked, this, &HubWindow::cancelled);

    // Comments ... >MODEL:, BUILD, >ROTATE: ... >FORMAT:, CANCEL.
    QWidget* order[] = {buttons[0], buttons[1], buttons[2], buttons[3], buttons[4],  buttons[5], build,
                        buttons[6], buttons[7], buttons[8], buttons[9], buttons[10], cancel};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
    add_mnemonics(this);
}

void HubWindow::refresh(const Wizard& w) {
    for (int i = 0; i < kStepMarks; ++i) marks_[i]->setText(w.hub.marks[i] ? "*" : "");
}

void HubWindow::present() {
    if (!shown_before_) {
        shown_before_ = true;
        centre_on_screen(this);
    }
    show();
    raise();
    activateWindow();
    focus_first_field(this);
}

void HubWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        emit cancelled();
    else
        QWidget::keyPressEvent(event);
}

void HubWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    emit cancelled();
}

}  // namespace orv::frontend
