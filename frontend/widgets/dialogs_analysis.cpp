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
    const std::vector<std::string>* items[] = {&Lists::metric, &Lists::data_type, &Lists::smoothing};
    for (int i = 0; i < 3; ++i) {
        layout->addWidget(make_heading(this, headings[i]));
        boxes_[i] = make_combo(this, names[i], *items[i]);
        layout->addWidget(boxes_[i]);
        const auto list = static_cast<MetricList>(i);
        const auto set = [list](Wizard& w, const std::string& t) { metric_set_text(w, list, t); };
        on_combo(boxes_[i], set, set);
    }
    auto* save = make_save_button(this, "cmdMetric", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    on_click(save, [this](Wizard& w) { metric_save(w, windows_.prompts()); });
}

void MetricDialog::refresh(const Wizard& w) {
    show_text(boxes_[0], w.metric.metric_box);
    show_text(boxes_[1], w.metric.data_type_box);
    show_text(boxes_[2], w.metric.smoothing_box);
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
    user_ = make_option(labels, "optLabel1", "User-supplied");
    generated_ = make_option(labels, "optLabel2", "Program generated");
    labels_layout->addWidget(user_);
    labels_layout->addWidget(generated_);
    layout->addWidget(labels);
    auto* frame = new QGroupBox(this);
    auto* frame_layout = new QVBoxLayout(frame);
    frame_layout->addWidget(make_prompt(frame, "Sort Option"));
    frame_layout->addWidget(make_prompt(frame, "Variables can be sorted or unsorted by factor"));
    sort_ = make_option(frame, "optSortYes", "Sort variables by factor");
    nosort_ = make_option(frame, "optSortNo", "Do not sort variables");
    frame_layout->addWidget(sort_);
    frame_layout->addWidget(nosort_);
    layout->addWidget(frame);
    auto* save = make_save_button(this, "cmdModel", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);

    on_combo(model_, model_set_text, model_pick);
    on_typed(dims_, model_set_dimensions);
    on_click(user_, [](Wizard& w) { model_pick_labels(w, true); });
    on_click(generated_, [](Wizard& w) { model_pick_labels(w, false); });
    on_click(sort_, [](Wizard& w) { model_pick_sort(w, true); });
    on_click(nosort_, [](Wizard& w) { model_pick_sort(w, false); });
    on_click(save, model_save);
}

void ModelDialog::refresh(const Wizard& w) {
    show_text(model_, w.model.model_box);
    show_text(dims_, w.model.dimensions);
    paint_closed(dims_, !w.model.dimensions_open);
    show_checked(user_, w.model.labels == Labels::UserSupplied, generated_, w.model.labels == Labels::Generated);
    show_checked(sort_, w.model.sorting == Sorting::ByFactor, nosort_, w.model.sorting == Sorting::Unsorted);
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
    auto* save = make_save_button(this, "cmdRotate", "Save");
    layout->addWidget(save, 0, Qt::AlignRight);
    on_combo(rot_, rotate_set_text, rotate_pick);
    on_typed(parameter_, rotate_set_parameter);
    on_click(save, rotate_save);
}

void RotateDialog::refresh(const Wizard& w) {
    show_text(rot_, w.rotate.rotation_box);
    prompt_->setText(qs(w.rotate.prompt));
    show_text(parameter_, w.rotate.parameter_box);
    parameter_->setVisible(!w.rotate.prompt.empty());
}

}  // namespace orv::frontend
