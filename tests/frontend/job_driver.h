// Answers a whole wizard the way a user does: File > Build, then each
// dialog opened, filled through its handlers and saved.
#pragma once

#include <string>
#include <vector>

#include "fakes.h"
#include "frontend/wizard.h"

namespace orv::frontend::testing {

struct JobAnswers {
    std::string comments;  // line breaks CR LF; empty: dialog not used
    std::string title = "A job";
    std::string data_file = "/data/items.dat";
    std::string nvar = "6", nsub = "200";
    std::string outfile = "job.out";
    bool long_report = true;
    std::string metric = "CO  Continuous ";
    std::string type = "RAW    Item response Data  ";
    std::string smooth = "NS    Do not smooth the correlation matrix ";
    std::string cparam, phi;  // input-box answers for DC and FLD2
    std::string model = "PFA  pricipal axes factor analysis ";
    std::string dims = "2";  // typed after picking; empty: not typed
    bool labels = false, sort = true;
    std::string rotation = "Varimax";
    std::string parameter;  // typed over the default; empty: kept
    std::string score = "None:  Do not compute factor scores";  // empty: dialog not used
    std::string plot = "Loadings";
    std::vector<std::string> technical;  // the six text boxes, in order; empty: as shown
    std::string rndstrts = "False", init_com = "SMC:  Squared multiple correlations", output = "False";
    std::vector<int> matrices;  // ticked boxes of the output-matrix dialog (0..4)
    std::string format = "(6F2.0)";
};

inline void answer(Wizard& w, FakeText& text, FakePrompts& prompts, const JobAnswers& a) {
    wizard_reset(w, text, true);
    if (!a.comments.empty()) {
        show_dialog(w, Dialog::Comments);
        comments_set_text(w, a.comments);
        comments_save(w);
    }
    show_dialog(w, Dialog::Title);
    title_set_text(w, a.title);
    title_save(w);

    show_dialog(w, Dialog::Data);
    prompts.files.push_back(a.data_file);
    data_open_file(w, prompts);
    data_set_variables(w, a.nvar);
    data_set_subjects(w, a.nsub);
    data_save(w);

    show_dialog(w, Dialog::OutFile);
    outfile_set_text(w, a.outfile);
    a.long_report ? outfile_pick_long(w) : outfile_pick_short(w);
    outfile_save(w);

    show_dialog(w, Dialog::Metric);
    metric_set_text(w, MetricList::Metric, a.metric);
    metric_set_text(w, MetricList::DataType, a.type);
    metric_set_text(w, MetricList::Smoothing, a.smooth);
    if (a.metric.rfind("DC", 0) == 0) prompts.answers.push_back(a.cparam);
    if (a.type.rfind("FLD2", 0) == 0) prompts.answers.push_back(a.phi);
    metric_save(w, prompts);

    show_dialog(w, Dialog::Model);
    model_pick(w, a.model);
    if (!a.dims.empty()) model_set_dimensions(w, a.dims);
    model_pick_labels(w, a.labels);
    model_pick_sort(w, a.sort);
    model_save(w);

    show_dialog(w, Dialog::Rotate);
    rotate_pick(w, a.rotation);
    if (!a.parameter.empty()) rotate_set_parameter(w, a.parameter);
    rotate_save(w);

    if (!a.score.empty()) {
        show_dialog(w, Dialog::Score);
        score_set_text(w, a.score);
        score_save(w);
    }
    show_dialog(w, Dialog::Plot);
    plot_set_text(w, a.plot);
    plot_save(w);

    show_dialog(w, Dialog::Technical);
    const Technical boxes[] = {Technical::CompEps,  Technical::MaxIt,      Technical::RotEps,
                               Technical::RotMaxIt, Technical::HyperWidth, Technical::PageWidth};
    for (std::size_t i = 0; i < a.technical.size() && i < 6; ++i) technical_type(w, boxes[i], a.technical[i]);
    technical_pick(w, Technical::RndStrts, a.rndstrts);
    technical_pick(w, Technical::InitCom, a.init_com);
    technical_pick(w, Technical::Output, a.output);
    technical_save(w, prompts);
    if (dialog_visible(w, Dialog::OutMatrix)) {
        for (int box : a.matrices) outmatrix_set(w, static_cast<Matrix>(box), true);
        outmatrix_save(w);
    }
    show_dialog(w, Dialog::Format);
    format_set_text(w, a.format);
    format_save(w);
}

}  // namespace orv::frontend::testing
