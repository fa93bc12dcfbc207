// The wizard dialogs' load, change, click and save handlers.
#include "frontend/wizard.h"

#include <algorithm>

#include "frontend/text_rules.h"

namespace orv::frontend {

const std::vector<std::string> Lists::metric = {"CO  Continuous ",
                                                "DI  Dichotomous ",
                                                "DC  Dichotomous corrected for guessing ",
                                                "CD  Dichotomized at medians ",
                                                "OR  Ordered Polytomous ",
                                                "IP  Ipsatized "};
const std::vector<std::string> Lists::data_type = {"RAW    Item response Data  ", "COR    N x N correlation matrix ",
                                                   "FLD1   N x k factor loadings matrix: orthogonal model ",
                                                   "FLD2   N x k factor loadings matrix: oblique model "};
const std::vector<std::string> Lists::smoothing = {"SM    Smooth the correlation matrix ",
                                                   "NS    Do not smooth the correlation matrix ",
                                                   "PS    The correlation matrix has been previously smoothed "};
const std::vector<std::string> Lists::model = {"CMT  compute correlation matrix ", "PCA  principal components ",
                                               "PFA  pricipal axes factor analysis ",
                                               "ROT  Rotate factor loading matrix ",
                                               "TRP  Triplet test of trivariate normality"};
const std::vector<std::string> Lists::rotate = {"None",    "Varimax", "WVarimax  weighted Varimax",
                                                "Promax",  "Oblimin", "HK  Harris-Kaiser ortho-oblique"};
const std::vector<std::string> Lists::score = {"None:  Do not compute factor scores",
                                               "REG:   Thurstone's regression method", "BART:   Bartlett's method"};
const std::vector<std::string> Lists::plot = {"None", "Scores", "Loadings", "All"};
const std::vector<std::string> Lists::true_false = {"True", "False"};
const std::vector<std::string> Lists::initial_communality = {
    "ONE: Ones on diagonal", "SMC:  Squared multiple correlations", "HIR: Highest off diagonal correlations"};

namespace {

const char* const kMetricShown1 = "Di  Dichotomous ";
const char* const kMetricShown2 = "COR    N x N correlation matrix ";
const char* const kMetricShown3 = "SM    Smooth the correlation matrix ";
const char* const kModelShown = "PFA  pricipal axes factor analysis ";
const char* const kPlotShown = "NONE";
const char* const kInputTitle = "Orvalis";

// What each technical control shows at load, and how many leading
// characters of a list's text its change handler stores (0: a text box,
// stored whole).
struct TechnicalControl {
    std::string shown;
    std::size_t list_chars;
};
const TechnicalControl kTechnicalControls[kTechnicalValues] = {
    {"0.0001", 0},                       // COMP_EPS
    {"200", 0},                          // MAXIT
    {"0.00001", 0},                      // ROT_EPS
    {"200", 0},                          // ROT_MAXIT
    {Lists::true_false[0], 1},           // RNDSTRTS: "True"
    {"0.2", 0},                          // HYPER_WIDTH
    {Lists::initial_communality[0], 3},  // INIT_COM: "ONE: Ones on diagonal"
    {"120", 0},                          // PAGEWIDTH
    {Lists::true_false[1], 1},           // OUTPUT: "False"
};

const TechnicalControl& control(Technical t) { return kTechnicalControls[static_cast<std::size_t>(t)]; }

// What a technical control's change handler stores from its text.
std::string stored(Technical t, const std::string& text) {
    const std::size_t n = control(t).list_chars;
    return n ? left_chars(text, n) : text;
}

bool starts_with(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

void mark(Wizard& w, Dialog d) { w.hub.marks[static_cast<std::size_t>(d)] = true; }

// ---- Defaults, which the load handlers and the reset both set --------------

void model_defaults(Wizard& w) {
    ModelForm& m = w.model;
    m.model_box = kModelShown;
    m.model = "PFA";
    model_set_dimensions(w, "1");
    m.dimensions_open = true;
    model_pick_labels(w, true);
    model_pick_sort(w, true);
}

void rotate_defaults(Wizard& w) {
    rotate_set_parameter(w, "");
    w.rotate.rotation_box = Lists::rotate[0];
}

void metric_boxes_defaults(Wizard& w) {
    w.metric.metric_box = kMetricShown1;
    w.metric.data_type_box = kMetricShown2;
    w.metric.smoothing_box = kMetricShown3;
}

// ---- Load handlers ---------------------------------------------------------

void load_comments(Wizard& w) { w.comments.text.clear(); }

void load_title(Wizard& w) { w.title.text.clear(); }

void load_data(Wizard& w) {
    data_set_variables(w, "");
    data_set_subjects(w, "");
}

void load_outfile(Wizard& w) { outfile_set_text(w, ""); }

void load_metric(Wizard& w) { metric_boxes_defaults(w); }

void load_model(Wizard& w) { model_defaults(w); }

void load_rotate(Wizard& w) { rotate_defaults(w); }

void load_score(Wizard& w) { w.score.method_box = Lists::score[0]; }

void load_plot(Wizard& w) { w.plot.choice_box = kPlotShown; }

void load_technical(Wizard& w) {
    for (int i = 0; i < kTechnicalValues; ++i) {
        const auto t = static_cast<Technical>(i);
        technical_type(w, t, control(t).shown);
    }
}

void load_format(Wizard& w) { w.format.format.clear(); }

// The score choice is open only for continuous raw data.  Tested whenever
// the dialog is shown, so a metric saved later counts; a closed choice
// shows "None".
void score_test(Wizard& w) {
    const bool open = w.metric.data_type.starts_with("RAW") && w.metric.metric == "CO";
    if (!open && w.score.method_open) w.score.method_box = Lists::score[0];
    w.score.method_open = open;
}

FormState& form(Wizard& w, Dialog d) {
    switch (d) {
        case Dialog::Comments: return w.comments;
        case Dialog::Title: return w.title;
        case Dialog::Data: return w.data;
        case Dialog::OutFile: return w.outfile;
        case Dialog::Metric: return w.metric;
        case Dialog::Model: return w.model;
        case Dialog::Rotate: return w.rotate;
        case Dialog::Score: return w.score;
        case Dialog::Plot: return w.plot;
        case Dialog::Technical: return w.technical;
        case Dialog::Format: return w.format;
        case Dialog::OutMatrix: return w.outmatrix;
    }
    return w.comments;
}

// The load handlers in the order of Dialog; the output-matrix dialog has none.
void load_nothing(Wizard&) {}
void (*const kLoaders[kDialogs])(Wizard&) = {
    load_comments, load_title, load_data, load_outfile,   load_metric, load_model,
    load_rotate,   load_score, load_plot, load_technical, load_format, load_nothing};

// Every Save hides its dialog and sets its step mark.
void hide_and_mark(Wizard& w, Dialog d) {
    form(w, d).visible = false;
    mark(w, d);
}

}  // namespace

// ---- Showing and hiding ----------------------------------------------------

void load_dialog(Wizard& w, Dialog d) {
    FormState& f = form(w, d);
    if (f.loaded) return;
    // Marked first: the load handler sets controls, whose handlers load again.
    f.loaded = true;
    kLoaders[static_cast<std::size_t>(d)](w);
}

bool dialog_loaded(const Wizard& w, Dialog d) { return form(const_cast<Wizard&>(w), d).loaded; }

bool dialog_visible(const Wizard& w, Dialog d) { return form(const_cast<Wizard&>(w), d).visible; }

void show_dialog(Wizard& w, Dialog d) {
    load_dialog(w, d);
    if (d == Dialog::Score) score_test(w);
    form(w, d).visible = true;
}

void hide_dialog(Wizard& w, Dialog d) { form(w, d).visible = false; }

// ---- Title and comments ----------------------------------------------------

void title_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Title);
    w.title.text = text;
}

void title_save(Wizard& w) {
    load_dialog(w, Dialog::Title);
    hide_and_mark(w, Dialog::Title);
}

void comments_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Comments);
    w.comments.text = text;
}

std::string comment_lines(const std::string& text) {
    std::string lines;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(kCrLf, start);
        lines += "*" + text.substr(start, end == std::string::npos ? std::string::npos : end - start) + " " + kCrLf;
        if (end == std::string::npos) break;
        start = end + 2;
    }
    return lines;
}

void comments_save(Wizard& w) {
    load_dialog(w, Dialog::Comments);
    hide_and_mark(w, Dialog::Comments);
    w.comments.lines = comment_lines(w.comments.text);
}

// ---- Data ------------------------------------------------------------------

void data_open_file(Wizard& w, Prompts& prompts) {
    load_dialog(w, Dialog::Data);
    if (const auto chosen = prompts.open_file("Open", "ORVAL Data (*.dat)|*.dat|All Files (*.*)|*.*"))
        w.data.file = *chosen;
}

void data_set_variables(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Data);
    w.data.variables = text;
}

void data_set_subjects(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Data);
    w.data.subjects = text;
}

void data_save(Wizard& w) {
    load_dialog(w, Dialog::Data);
    hide_and_mark(w, Dialog::Data);
}

// ---- Report ----------------------------------------------------------------

void outfile_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::OutFile);
    w.outfile.report = text;
}

void outfile_pick_short(Wizard& w) {
    load_dialog(w, Dialog::OutFile);
    w.outfile.verbosity = Verbosity::Short;
}

void outfile_pick_long(Wizard& w) {
    load_dialog(w, Dialog::OutFile);
    w.outfile.verbosity = Verbosity::Long;
}

void outfile_save(Wizard& w) {
    load_dialog(w, Dialog::OutFile);
    hide_and_mark(w, Dialog::OutFile);
}

// ---- Metric ----------------------------------------------------------------

void metric_set_text(Wizard& w, MetricList list, const std::string& text) {
    load_dialog(w, Dialog::Metric);
    MetricForm& m = w.metric;
    (list == MetricList::Metric ? m.metric_box : list == MetricList::DataType ? m.data_type_box : m.smoothing_box) =
        text;
}

void metric_save(Wizard& w, Prompts& prompts) {
    load_dialog(w, Dialog::Metric);
    MetricForm& m = w.metric;
    mark(w, Dialog::Metric);
    m.metric = left_chars(m.metric_box, 2);
    m.data_type = left_chars(m.data_type_box, 4);
    m.smoothing = left_chars(m.smoothing_box, 2);
    // The engine upper-cases what it reads: "dc" needs its file as "DC" does.
    // A metric or data type that needs no file takes its line out again.
    m.guessing_file.reset();
    if (upper_equals(m.metric, "DC"))
        m.guessing_file = prompts.input("Please enter the name of the file with the IRT c parameters", kInputTitle);
    m.phi_file.reset();
    if (upper_equals(m.data_type, "FLD2"))
        m.phi_file = prompts.input("Please enter the name of the file with the factor correlation matrix", kInputTitle);
    m.visible = false;
}

// ---- Model -----------------------------------------------------------------

void model_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Model);
    w.model.model_box = text;
}

void model_pick(Wizard& w, const std::string& item) {
    load_dialog(w, Dialog::Model);
    ModelForm& m = w.model;
    m.model_box = item;
    m.model = left_chars(item, 3);
    const bool fixed = m.model == "CMT" || m.model == "TRP";
    model_set_dimensions(w, m.model == "CMT" ? "0" : "1");
    m.dimensions_open = !fixed;
}

void model_set_dimensions(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Model);
    w.model.dimensions = text;
}

void model_pick_labels(Wizard& w, bool user_supplied) {
    load_dialog(w, Dialog::Model);
    w.model.labels = user_supplied ? Labels::UserSupplied : Labels::Generated;
}

void model_pick_sort(Wizard& w, bool sort) {
    load_dialog(w, Dialog::Model);
    w.model.sorting = sort ? Sorting::ByFactor : Sorting::Unsorted;
}

void model_save(Wizard& w) {
    load_dialog(w, Dialog::Model);
    hide_and_mark(w, Dialog::Model);
}

// ---- Rotation --------------------------------------------------------------

void rotate_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Rotate);
    w.rotate.rotation_box = text;
}

void rotate_pick(Wizard& w, const std::string& item) {
    load_dialog(w, Dialog::Rotate);
    RotateForm& r = w.rotate;
    r.rotation_box = item;
    // Parameters are written with a decimal point whatever the locale.
    const char* parameter = nullptr;
    if (item == "Promax") {
        r.prompt = "Please enter an integer for the Promax power: (3 often works well in practice).";
        parameter = "3";
    } else if (starts_with(item, "HK")) {
        r.prompt =
            "Please enter a real-valued number between 0.00 and 1.00 for the Harris-Kaiser rotation:   (.5 often "
            "works well in practice).";
        parameter = "0.5";
    } else if (starts_with(item, "Ob")) {
        r.prompt =
            "Please enter a real-valued number between 0.00 and -1.00 for the Oblimin Delta parameter: (0.00 = "
            "Director Quartimin, -.50  = Direct Biquartimin,  -1.00 = Direct Covarimin).";
        parameter = "0";
    } else {
        r.prompt.clear();
        return;
    }
    rotate_set_parameter(w, parameter);
}

void rotate_set_parameter(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Rotate);
    w.rotate.parameter_box = text;
    w.rotate.parameter = text;
}

void rotate_save(Wizard& w) {
    load_dialog(w, Dialog::Rotate);
    RotateForm& r = w.rotate;
    // Only a list item's exact text stores a rotation; the three before
    // Promax take no parameter.
    const auto item = std::find(Lists::rotate.begin(), Lists::rotate.end(), r.rotation_box);
    if (item != Lists::rotate.end()) {
        r.rotation = static_cast<Rotation>(item - Lists::rotate.begin());
        if (*r.rotation < Rotation::Promax) r.parameter.clear();
    }
    hide_and_mark(w, Dialog::Rotate);
}

// ---- Scores, plot ----------------------------------------------------------

void score_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Score);
    w.score.method_box = text;
}

void score_save(Wizard& w) {
    load_dialog(w, Dialog::Score);
    hide_and_mark(w, Dialog::Score);
    const std::string head = left_chars(w.score.method_box, 2);
    if (head == "No") w.score.method = ScoreMethod::None;
    if (head == "RE") w.score.method = ScoreMethod::Regression;
    if (head == "BA") w.score.method = ScoreMethod::Bartlett;
}

void plot_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Plot);
    w.plot.choice_box = text;
}

void plot_save(Wizard& w) {
    load_dialog(w, Dialog::Plot);
    w.plot.choice = w.plot.choice_box;
    hide_and_mark(w, Dialog::Plot);
}

// ---- Technical -------------------------------------------------------------

void technical_pick(Wizard& w, Technical value, const std::string& item) {
    load_dialog(w, Dialog::Technical);
    w.technical.box(value) = item;
}

void technical_type(Wizard& w, Technical value, const std::string& text) {
    technical_pick(w, value, text);
    w.technical.value(value) = stored(value, text);
}

void technical_save(Wizard& w, Prompts& prompts) {
    load_dialog(w, Dialog::Technical);
    TechnicalForm& t = w.technical;
    // The width is read from the box as it shows, in the C locale: after a
    // reset the stored width and the box may differ, and the box's text is
    // what gets stored below.
    if (leading_number(t.box(Technical::PageWidth)) > 120.0) {
        prompts.message(kWarningCaption, "Maximum column width = 120");
        technical_type(w, Technical::PageWidth, "120");
        return;
    }
    for (int i = 0; i < kTechnicalValues; ++i) {
        const auto v = static_cast<Technical>(i);
        t.value(v) = stored(v, t.box(v));
    }
    hide_and_mark(w, Dialog::Technical);
    if (t.box(Technical::Output) == "True") show_dialog(w, Dialog::OutMatrix);
}

// ---- Output matrices and format --------------------------------------------

void outmatrix_set(Wizard& w, Matrix box, bool ticked) {
    load_dialog(w, Dialog::OutMatrix);
    w.outmatrix.ticked[static_cast<std::size_t>(box)] = ticked;
}

void outmatrix_save(Wizard& w) {
    load_dialog(w, Dialog::OutMatrix);
    w.outmatrix.saved = w.outmatrix.ticked;
    w.outmatrix.visible = false;
}

void format_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Format);
    w.format.format = text;
}

void format_save(Wizard& w) {
    load_dialog(w, Dialog::Format);
    hide_and_mark(w, Dialog::Format);
}

// ---- Hub and reset ---------------------------------------------------------

void hub_cancel(Wizard& w) { w.hub.visible = false; }

void wizard_reset(Wizard& w, PrincipalText& principal, bool from_build) {
    principal.set_text("");
    if (from_build) {
        w.hub.loaded = true;
        w.hub.visible = true;
        w.hub.marks.fill(false);
    }
    // COR unticked, the other boxes kept; no matrix written until the next SAVE.
    outmatrix_set(w, Matrix::Cor, false);
    w.outmatrix.saved.fill(false);

    load_dialog(w, Dialog::Model);
    model_defaults(w);
    // The rotation saved is kept.
    load_dialog(w, Dialog::Rotate);
    rotate_defaults(w);

    format_set_text(w, "");
    plot_set_text(w, kPlotShown);
    // The comment lines saved are kept.
    comments_set_text(w, "");
    title_set_text(w, "");
    // The data file is kept, and its box shows it.
    data_set_variables(w, "");
    data_set_subjects(w, "");
    // The verbosity is kept.
    outfile_set_text(w, "");

    // The lists show the defaults; the codes saved are kept.
    load_dialog(w, Dialog::Metric);
    metric_boxes_defaults(w);
    w.metric.guessing_file.reset();
    w.metric.phi_file.reset();

    // The plot stored is the list's "None", while the box shows "NONE".
    w.plot.choice = Lists::plot[0];

    // Every value back to its default; the lists show theirs, the text boxes
    // keep what they show.
    load_dialog(w, Dialog::Technical);
    for (int i = 0; i < kTechnicalValues; ++i) {
        const auto t = static_cast<Technical>(i);
        if (control(t).list_chars)
            technical_type(w, t, control(t).shown);
        else
            w.technical.value(t) = control(t).shown;
    }
    // The score dialog is left as it is.
}

}  // namespace orv::frontend
