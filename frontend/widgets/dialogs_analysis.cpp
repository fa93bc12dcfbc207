// The metric, model and rotation dialogs.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "frontend/widgets/dialogs.h"
#include "frontend/widgets/look.h"
#include "frontend/widgets/wizard_windows.h"

namespace orv::frontend {

namespace {

// Radio buttons set by the model without the group forcing a choice.
void show_checked(QRadioButton* a, bool a_on, QRadioButton* b, bool b_on) {
    a->setAutoExclusive(false);
    b->setAutoExclusive(false);
    a->setChecked(a_on);
    b->setChecked(b_on);
    a->setAutoExclusive(true);
    b->setAutoExclusive(true);
}

}  // namespace

// ---- Metric ----------------------------------------------------------------

MetricDialog::MetricDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Metric, "Metric") {
    setObjectName("frmMetric");
    auto* layout = new QVBoxLayout(this);
    const char* headings[] = {"Variable Metric", "Data Type", "Smooth Option"};
    const char* names[] = {"cboMetric1", "cboMetric2", "cboMetric3"};
    const std::vector<std::string>* items[] = {&Lists::metric1, &Lists::metric2, &Lists::metric3};
    for (int i = 0; i < 3; ++i) {
        layout->addWidget(make_heading(this, headings[i]));
        boxes_[i] = make_combo(this, names[i], *items[i]);
        layout->addWidget(boxes_[i]);
        const int box = i + 1;
        QComboBox* c = boxes_[i];
        connect(c->lineEdit(), &QLineEdit::textEdited, this,
                [this, box](const QString& t) { metric_set_text(model(), box, ss(t)); });
        connect(c, &QComboBox::activated, this, [this, box, c](int index) {
            metric_set_text(model(), box, ss(c->itemText(index)));
            done();
        });
    }
    auto* save = make_button(this, "cmdMetric", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    connect(save, &QPushButton::clicked, this, [this] {
        metric_save(model(), windows_.prompts());
        done();
    });
}

void MetricDialog::refresh(const Wizard& w) {
    show_text(boxes_[0], w.metric.cboMetric1);
    show_text(boxes_[1], w.metric.cboMetric2);
    show_text(boxes_[2], w.metric.cboMetric3);
}

// ---- Model -----------------------------------------------------------------

ModelDialog::ModelDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Model, "Model") {
    setObjectName("frmModel");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_heading(this, "Model Definition"));
    layout->addWidget(make_prompt(this, "Model"));
    model_ = make_combo(this, "cboModel1", Lists::model);
    layout->addWidget(model_);
    layout->addWidget(make_prompt(this, "Number of Dimensions to Extract"));
    dims_ = make_line(this, "txbModel");
    dims_->setMaximumWidth(80);
    layout->addWidget(dims_);
    layout->addWidget(make_heading(this, "Variable Labels and Sorting "));
    layout->addWidget(make_prompt(this, "Variable Labels"));
    layout->addWidget(make_prompt(this, "Variable labels can be user-supplied or automatically generated."));
    auto* labels = new QWidget(this);
    auto* labels_layout = new QVBoxLayout(labels);
    labels_layout->setContentsMargins(0, 0, 0, 0);
    user_ = new QRadioButton("User-supplied", labels);
    user_->setObjectName("optLabel1");
    generated_ = new QRadioButton("Program generated", labels);
    generated_->setObjectName("optLabel2");
    labels_layout->addWidget(user_);
    labels_layout->addWidget(generated_);
    layout->addWidget(labels);
    auto* frame = new QGroupBox(this);
    auto* frame_layout = new QVBoxLayout(frame);
    frame_layout->addWidget(make_prompt(frame, "Sort Option"));
    frame_layout->addWidget(make_prompt(frame, "Variables can be sorted or unsorted by factor"));
    sort_ = new QRadioButton("Sort variables by factor", frame);
    sort_->setObjectName("optSortYes");
    nosort_ = new QRadioButton("Do not sort variables", frame);
    nosort_->setObjectName("optSortNo");
    frame_layout->addWidget(sort_);
    frame_layout->addWidget(nosort_);
    layout->addWidget(frame);
    auto* save = make_button(this, "cmdModel", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);

    connect(model_->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& t) { model_set_text(model(), ss(t)); });
    connect(model_, &QComboBox::activated, this, [this](int index) {
        model_pick(model(), ss(model_->itemText(index)));
        done();
    });
    connect(dims_, &QLineEdit::textEdited, this, [this](const QString& t) { model_set_dimensions(model(), ss(t)); });
    connect(user_, &QRadioButton::clicked, this, [this] {
        model_pick_labels(model(), true);
        done();
    });
    connect(generated_, &QRadioButton::clicked, this, [this] {
        model_pick_labels(model(), false);
        done();
    });
    connect(sort_, &QRadioButton::clicked, this, [this] {
        model_pick_sort(model(), true);
        done();
    });
    connect(nosort_, &QRadioButton::clicked, this, [this] {
        model_pick_sort(model(), false);
        done();
    });
    connect(save, &QPushButton::clicked, this, [this] {
        model_save(model());
        done();
    });
}

void ModelDialog::refresh(const Wizard& w) {
    show_text(model_, w.model.cboModel1);
    show_text(dims_, w.model.txbModel);
    paint_closed(dims_, !w.model.txbModelEnabled);
    show_checked(user_, w.model.optLabel1, generated_, w.model.optLabel2);
    show_checked(sort_, w.model.optSortYes, nosort_, w.model.optSortNo);
}

// ---- Rotation --------------------------------------------------------------

RotateDialog::RotateDialog(WizardWindows& windows) : WizardDialog(windows, Dialog::Rotate, "Rotate") {
    setObjectName("frmRotate");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(make_heading(this, "Rotation Option"));
    layout->addWidget(make_heading(this, "Rotation"));
    rot_ = make_combo(this, "cmbRot", Lists::rotate);
    layout->addWidget(rot_);
    prompt_ = make_prompt(this, "", "lblRot");
    prompt_->setFixedWidth(440);
    prompt_->setMinimumHeight(60);
    prompt_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(prompt_);
    parameter_ = make_line(this, "txbxRot");
    parameter_->setMaximumWidth(100);
    layout->addWidget(parameter_);
    auto* save = make_button(this, "cmdRotate", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    connect(rot_->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& t) { rotate_set_text(model(), ss(t)); });
    connect(rot_, &QComboBox::activated, this, [this](int index) {
        rotate_pick(model(), ss(rot_->itemText(index)));
        done();
    });
    connect(parameter_, &QLineEdit::textEdited, this,
            [this](const QString& t) { rotate_set_parameter(model(), ss(t)); });
    connect(save, &QPushButton::clicked, this, [this] {
        rotate_save(model());
        done();
    });
}

void RotateDialog::refresh(const Wizard& w) {
    show_text(rot_, w.rotate.cmbRot);
    prompt_->setText(qs(w.rotate.lblRot));
    show_text(parameter_, w.rotate.txbxRot);
    parameter_->setVisible(w.rotate.txbxRotVisible);
}

}  // namespace orv::frontend
