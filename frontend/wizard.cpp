// The wizard dialogs' load, change, click and save handlers.
#include "frontend/wizard.h"

#include <cctype>

#include "frontend/command_text.h"

namespace orv::frontend {

const std::vector<std::string> Lists::metric1 = {"CO  Continuous ",
                                                 "DI  Dichotomous ",
                                                 "DC  Dichotomous corrected for guessing ",
                                                 "CD  Dichotomized at medians ",
                                                 "OR  Ordered Polytomous ",
                                                 "IP  Ipsatized "};
const std::vector<std::string> Lists::metric2 = {"RAW    Item response Data  ", "COR    N x N correlation matrix ",
                                                 "FLD1   N x k factor loadings matrix: orthogonal model ",
                                                 "FLD2   N x k factor loadings matrix: oblique model "};
const std::vector<std::string> Lists::metric3 = {"SM    Smooth the correlation matrix ",
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
const std::vector<std::string> Lists::tech_bool = {"True", "False"};
const std::vector<std::string> Lists::tech_init = {"ONE: Ones on diagonal", "SMC:  Squared multiple correlations",
                                                   "HIR: Highest off diagonal correlations"};

namespace {

const char* const kMetricShown1 = "Di  Dichotomous ";
const char* const kMetricShown2 = "COR    N x N correlation matrix ";
const char* const kMetricShown3 = "SM    Smooth the correlation matrix ";
const char* const kModelShown = "PFA  pricipal axes factor analysis ";
const char* const kInputTitle = "Orvalis";

bool starts_with(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

void mark(Wizard& w, Dialog d) { w.build.marks[static_cast<std::size_t>(d)] = true; }

// ---- Load handlers ---------------------------------------------------------

void load_comments(Wizard& w) { w.comments.txbxComments.clear(); }

void load_title(Wizard& w) { w.title.TitleText.clear(); }

void load_data(Wizard& w) {
    w.data.txbxbDataFilename.clear();
    data_set_numvar(w, "");
    data_set_numsub(w, "");
}

void load_outfile(Wizard& w) { outfile_set_text(w, ""); }

void load_metric(Wizard& w) {
    w.metric.cboMetric1 = kMetricShown1;
    w.metric.cboMetric2 = kMetricShown2;
    w.metric.cboMetric3 = kMetricShown3;
}

void load_model(Wizard& w) {
    ModelForm& m = w.model;
    m.cboModel1 = kModelShown;
    m.txbModel = "1";
    m.NumFact = "1";
    m.Model = "PFA";
    m.SortLabels = "SORT";
    model_pick_labels(w, true);
    model_pick_sort(w, true);
}

void load_rotate(Wizard& w) {
    w.rotate.strRotOption.clear();
    rotate_set_parameter(w, "");
    w.rotate.cmbRot = "None";
}

void load_score(Wizard& w) { w.score.cmbScore = Lists::score[0]; }

void load_plot(Wizard& w) { w.plot.cboPlot = "NONE"; }

void load_technical(Wizard& w) {
    technical_set_box(w, 1, "0.0001");
    technical_set_box(w, 2, "200");
    technical_set_box(w, 3, "0.00001");
    technical_set_box(w, 4, "200");
    technical_set_box(w, 6, "0.2");
    technical_set_box(w, 8, "120");
    technical_type_combo(w, 1, "True");
    technical_type_combo(w, 2, Lists::tech_init[0]);
    technical_type_combo(w, 3, "False");
}

void load_format(Wizard& w) { w.format.strFORTRANFormat.clear(); }

// The score choice is open only for continuous raw data.  Tested whenever
// the dialog is shown, so a metric saved later counts; a closed choice
// shows "None".
void score_test(Wizard& w) {
    const bool open = w.metric.DataType.starts_with("RAW") && w.metric.VariableMetric == "CO";
    if (!open && w.score.cmbScoreEnabled) w.score.cmbScore = Lists::score[0];
    w.score.cmbScoreEnabled = open;
    w.score.lblScoreMsgVisible = !open;
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
    w.title.TitleText = text;
}

void title_save(Wizard& w) {
    load_dialog(w, Dialog::Title);
    hide_and_mark(w, Dialog::Title);
}

void comments_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Comments);
    w.comments.txbxComments = text;
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
    w.comments.CommentLine = comment_lines(w.comments.txbxComments);
}

// ---- Data ------------------------------------------------------------------

void data_open_file(Wizard& w, Prompts& prompts) {
    load_dialog(w, Dialog::Data);
    std::string chosen;
    if (prompts.open_file("Open", "ORVAL Data (*.dat)|*.dat|All Files (*.*)|*.*", chosen))
        w.data.dialogFileName = chosen;
    w.data.txbxbDataFilename = w.data.dialogFileName;
}

void data_set_numvar(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Data);
    w.data.txtbxNumVar = text;
    w.data.NumVar = text;
}

void data_set_numsub(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Data);
    w.data.txtbxNumSub = text;
    w.data.NumSub = text;
}

void data_save(Wizard& w) {
    load_dialog(w, Dialog::Data);
    hide_and_mark(w, Dialog::Data);
}

// ---- Report ----------------------------------------------------------------

void outfile_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::OutFile);
    w.outfile.txbxOutFile = text;
    w.outfile.Outfile = text;
}

void outfile_pick_short(Wizard& w) {
    load_dialog(w, Dialog::OutFile);
    w.outfile.optOut1 = true;
    w.outfile.optOut2 = false;
    w.outfile.PrintVerbosity = "SHORT";
}

void outfile_pick_long(Wizard& w) {
    load_dialog(w, Dialog::OutFile);
    w.outfile.optOut1 = false;
    w.outfile.optOut2 = true;
    w.outfile.PrintVerbosity = "LONG";
}

void outfile_save(Wizard& w) {
    load_dialog(w, Dialog::OutFile);
    hide_and_mark(w, Dialog::OutFile);
}

// ---- Metric ----------------------------------------------------------------

void metric_set_text(Wizard& w, int box, const std::string& text) {
    load_dialog(w, Dialog::Metric);
    (box == 1 ? w.metric.cboMetric1 : box == 2 ? w.metric.cboMetric2 : w.metric.cboMetric3) = text;
}

void metric_save(Wizard& w, Prompts& prompts) {
    load_dialog(w, Dialog::Metric);
    MetricForm& m = w.metric;
    mark(w, Dialog::Metric);
    m.VariableMetric = left_chars(m.cboMetric1, 2);
    m.DataType = left_chars(m.cboMetric2, 4);
    m.SmoothOption = left_chars(m.cboMetric3, 2);
    // The engine upper-cases what it reads: "dc" needs its file as "DC" does.
    // A metric or data type that needs no file takes its line out again.
    if (upper(m.VariableMetric) == "DC")
        m.strGuessFile = ">CPARAM: " +
                         file_item(prompts.input("Please enter the name of the file with the IRT c parameters",
                                                 kInputTitle)) +
                         " " + kCrLf;
    else
        m.strGuessFile = "EMPTY";
    if (upper(m.DataType) == "FLD2")
        m.strPhiFile = ">PHI: " +
                       file_item(prompts.input("Please enter the name of the file with the factor correlation matrix",
                                               kInputTitle)) +
                       " " + kCrLf;
    else
        m.strPhiFile = "EMPTY";
    m.visible = false;
}

// ---- Model -----------------------------------------------------------------

void model_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Model);
    w.model.cboModel1 = text;
}

void model_pick(Wizard& w, const std::string& item) {
    load_dialog(w, Dialog::Model);
    ModelForm& m = w.model;
    m.cboModel1 = item;
    m.Model = left_chars(item, 3);
    if (m.Model == "CMT" || m.Model == "TRP") {
        model_set_dimensions(w, m.Model == "CMT" ? "0" : "1");
        m.txbModelEnabled = false;
    } else {
        model_set_dimensions(w, "1");
        m.txbModelEnabled = true;
    }
}

void model_set_dimensions(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Model);
    w.model.txbModel = text;
    w.model.NumFact = text;
}

void model_pick_labels(Wizard& w, bool user_supplied) {
    load_dialog(w, Dialog::Model);
    w.model.optLabel1 = user_supplied;
    w.model.optLabel2 = !user_supplied;
    w.model.Labels = user_supplied ? "LABELS" : "NOLABELS";
}

void model_pick_sort(Wizard& w, bool sort) {
    load_dialog(w, Dialog::Model);
    w.model.optSortYes = sort;
    w.model.optSortNo = !sort;
    w.model.SortLabels = sort ? "SORT" : "NOSORT";
}

void model_save(Wizard& w) {
    load_dialog(w, Dialog::Model);
    hide_and_mark(w, Dialog::Model);
}

// ---- Rotation --------------------------------------------------------------

void rotate_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Rotate);
    w.rotate.cmbRot = text;
}

void rotate_pick(Wizard& w, const std::string& item) {
    load_dialog(w, Dialog::Rotate);
    RotateForm& r = w.rotate;
    r.cmbRot = item;
    // Parameters are written with a decimal point whatever the locale.
    const char* parameter = nullptr;
    if (item == "Promax") {
        r.lblRot = "Please enter an integer for the Promax power: (3 often works well in practice).";
        parameter = "3";
    } else if (starts_with(item, "HK")) {
        r.lblRot =
            "Please enter a real-valued number between 0.00 and 1.00 for the Harris-Kaiser rotation:   (.5 often "
            "works well in practice).";
        parameter = "0.5";
    } else if (starts_with(item, "Ob")) {
        r.lblRot =
            "Please enter a real-valued number between 0.00 and -1.00 for the Oblimin Delta parameter: (0.00 = "
            "Director Quartimin, -.50  = Direct Biquartimin,  -1.00 = Direct Covarimin).";
        parameter = "0";
    } else {
        r.lblRot.clear();
        r.txbxRotVisible = false;
        return;
    }
    r.strRotOption = parameter;
    rotate_set_parameter(w, parameter);
    r.txbxRotVisible = true;
}

void rotate_set_parameter(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Rotate);
    w.rotate.txbxRot = text;
    w.rotate.strRotOption = text;
}

void rotate_save(Wizard& w) {
    load_dialog(w, Dialog::Rotate);
    RotateForm& r = w.rotate;
    const std::string& t = r.cmbRot;
    if (t == "None") {
        r.strRotation = "NONE";
        r.strRotOption.clear();
    } else if (t == "Varimax" || t == "WVarimax  weighted Varimax") {
        r.strRotation = t == "Varimax" ? "Varimax" : "WVarimax";
        r.strRotOption.clear();
    } else if (t == "Promax" || t == "Oblimin") {
        r.strRotation = t;
    } else if (t == "HK  Harris-Kaiser ortho-oblique") {
        r.strRotation = "HK";
    }
    hide_and_mark(w, Dialog::Rotate);
}

// ---- Scores, plot ----------------------------------------------------------

void score_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Score);
    w.score.cmbScore = text;
}

void score_save(Wizard& w) {
    load_dialog(w, Dialog::Score);
    hide_and_mark(w, Dialog::Score);
    const std::string head = left_chars(w.score.cmbScore, 2);
    if (head == "No") w.score.strScoreType = "NOSCORE";
    if (head == "RE") w.score.strScoreType = "REG";
    if (head == "BA") w.score.strScoreType = "BART";
}

void plot_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Plot);
    w.plot.cboPlot = text;
}

void plot_save(Wizard& w) {
    load_dialog(w, Dialog::Plot);
    w.plot.strPlot = w.plot.cboPlot;
    hide_and_mark(w, Dialog::Plot);
}

// ---- Technical -------------------------------------------------------------

void technical_set_box(Wizard& w, int box, const std::string& text) {
    load_dialog(w, Dialog::Technical);
    TechnicalForm& t = w.technical;
    switch (box) {
        case 1: t.Text1 = t.strComEps = text; break;
        case 2: t.Text2 = t.strMaxIt = text; break;
        case 3: t.Text3 = t.strRotEps = text; break;
        case 4: t.Text4 = t.strRotMaxIt = text; break;
        case 6: t.Text6 = t.strHyperWidth = text; break;
        case 8: t.Text8 = t.strPageWidth = text; break;
        default: break;
    }
}

void technical_pick_combo(Wizard& w, int combo, const std::string& item) {
    load_dialog(w, Dialog::Technical);
    (combo == 1 ? w.technical.cboTech1 : combo == 2 ? w.technical.cboTech2 : w.technical.cboTech3) = item;
}

void technical_type_combo(Wizard& w, int combo, const std::string& text) {
    technical_pick_combo(w, combo, text);
    TechnicalForm& t = w.technical;
    if (combo == 1) t.strRndStrts = left_chars(text, 1);
    if (combo == 2) t.strInitCom = left_chars(text, 3);
    if (combo == 3) t.strOutput = left_chars(text, 1);
}

void technical_save(Wizard& w, Prompts& prompts) {
    load_dialog(w, Dialog::Technical);
    TechnicalForm& t = w.technical;
    // The width is read from the box as it shows, in the C locale: after a
    // reset the stored width and the box may differ, and the box's text is
    // what gets stored below.
    if (leading_number(t.Text8) > 120.0) {
        prompts.message(kWarningCaption, "Maximum column width = 120");
        t.strPageWidth = "120";
        technical_set_box(w, 8, "120");
        return;
    }
    t.strComEps = t.Text1;
    t.strMaxIt = t.Text2;
    t.strRotEps = t.Text3;
    t.strRotMaxIt = t.Text4;
    t.strHyperWidth = t.Text6;
    t.strPageWidth = t.Text8;
    t.strRndStrts = left_chars(t.cboTech1, 1);
    t.strInitCom = left_chars(t.cboTech2, 3);
    t.strOutput = left_chars(t.cboTech3, 1);
    hide_and_mark(w, Dialog::Technical);
    if (t.cboTech3 == "True") show_dialog(w, Dialog::OutMatrix);
}

// ---- Output matrices and format --------------------------------------------

void outmatrix_set(Wizard& w, int box, bool ticked) {
    load_dialog(w, Dialog::OutMatrix);
    OutMatrixForm& o = w.outmatrix;
    bool* boxes[] = {&o.chkCOR, &o.chkSMO, &o.chkEIG, &o.chkFAC, &o.chkRSD};
    if (box >= 0 && box < 5) *boxes[box] = ticked;
}

void outmatrix_save(Wizard& w) {
    load_dialog(w, Dialog::OutMatrix);
    OutMatrixForm& o = w.outmatrix;
    const bool boxes[] = {o.chkCOR, o.chkSMO, o.chkEIG, o.chkFAC, o.chkRSD};
    const char* codes[] = {"COR ", "SMO ", "EIG ", "FAC ", "RSD "};
    o.numOutMatrix = 0;
    o.strOutMatrix.clear();
    for (int i = 0; i < 5; ++i)
        if (boxes[i]) {
            ++o.numOutMatrix;
            o.strOutMatrix += codes[i];
        }
    o.visible = false;
}

void format_set_text(Wizard& w, const std::string& text) {
    load_dialog(w, Dialog::Format);
    w.format.txtFormat = text;
    w.format.strFORTRANFormat = text;
}

void format_save(Wizard& w) {
    load_dialog(w, Dialog::Format);
    hide_and_mark(w, Dialog::Format);
}

// ---- Hub, reset and build --------------------------------------------------

void hub_cancel(Wizard& w) { w.build.visible = false; }

void wizard_reset(Wizard& w, PrincipalText& principal, bool from_build) {
    principal.set_text("");
    if (from_build) {
        w.build.loaded = true;
        w.build.visible = true;
        w.build.marks.fill(false);
    }
    outmatrix_set(w, 0, false);
    w.outmatrix.numOutMatrix = 0;

    model_set_dimensions(w, "1");
    w.model.Model = "PFA";
    model_pick_labels(w, true);
    model_pick_sort(w, true);
    // The list and the dimensions box show the model stored.
    w.model.cboModel1 = kModelShown;
    w.model.txbModelEnabled = true;

    load_dialog(w, Dialog::Rotate);
    w.rotate.strRotOption.clear();
    rotate_set_parameter(w, "");
    w.rotate.cmbRot = "None";

    format_set_text(w, "");
    plot_set_text(w, "NONE");
    comments_set_text(w, "");
    title_set_text(w, "");

    data_set_numvar(w, "");
    data_set_numsub(w, "");
    // The box shows the data file that will be written, which the reset keeps.
    w.data.txbxbDataFilename = w.data.dialogFileName;

    outfile_set_text(w, "");

    metric_set_text(w, 1, kMetricShown1);
    metric_set_text(w, 2, kMetricShown2);
    metric_set_text(w, 3, kMetricShown3);
    w.metric.strGuessFile = "EMPTY";
    w.metric.strPhiFile = "EMPTY";

    w.plot.strPlot = "None";

    load_dialog(w, Dialog::Technical);
    TechnicalForm& t = w.technical;
    t.strComEps = "0.0001";
    t.strMaxIt = "200";
    t.strRotEps = "0.00001";
    t.strRotMaxIt = "200";
    t.strRndStrts = "T";
    t.strHyperWidth = "0.2";
    t.strInitCom = "ONE";
    t.strPageWidth = "120";
    t.strOutput = "F";
    technical_type_combo(w, 1, "True");
    technical_type_combo(w, 2, Lists::tech_init[0]);
    technical_type_combo(w, 3, "False");
}

void build_job(Wizard& w, PrincipalText& principal, Prompts& prompts) {
    w.build.visible = false;
    w.build.SAVEFLAG = false;
    // The build reads the title box and the data dialog's file name, which
    // loads their dialogs.
    load_dialog(w, Dialog::Title);
    load_dialog(w, Dialog::Data);
    principal.set_text(command_text(w));
    for (const std::string& warning : cut_warnings(w)) prompts.message(kWarningCaption, warning);
    if (w.model.Labels == "LABELS") prompts.message("WinOrvalis Reminder", "Remember to input Variable Labels");
}

}  // namespace orv::frontend
