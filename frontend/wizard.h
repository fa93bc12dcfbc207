// The job wizard as plain data: each dialog's answers and the state of the
// controls its handlers read and write, and every handler as a function over
// it.  The Qt dialogs only show this state and pass the user's events here,
// so the whole wizard, the resets and the command text are testable without
// widgets.
//
// A form is "loaded" (its load handler has run) when it is first shown or
// when one of its controls is first used; setting or reading one of its
// answers alone does not load it.  Setting a control's text by code runs its
// change handler, exactly as typing would; picking a list item runs the
// click handler.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orv::frontend {

// The user-facing questions a handler may ask in the middle of its work:
// message boxes with an OK button, an input box, the open-file dialog.
class Prompts {
public:
    virtual ~Prompts() = default;
    virtual void message(const std::string& caption, const std::string& text) = 0;
    // The typed answer; empty also when cancelled.
    virtual std::string input(const std::string& prompt, const std::string& title) = 0;
    // The chosen file's full path; false when cancelled.  `filter` is in the
    // "description|pattern|description|pattern" form.
    virtual bool open_file(const std::string& title, const std::string& filter, std::string& chosen) = 0;
};

// The principal document text that the build writes into and the reset
// empties.
class PrincipalText {
public:
    virtual ~PrincipalText() = default;
    virtual void set_text(const std::string& text) = 0;
};

// The wizard's windows.  The first eleven have a button and a step mark on
// the hub; the output-matrix dialog is reached from the technical dialog.
enum class Dialog { Comments, Title, Data, OutFile, Metric, Model, Rotate, Score, Plot, Technical, Format, OutMatrix };
inline constexpr int kDialogs = 12;
inline constexpr int kStepMarks = 11;

// What every form has: loaded (its load handler has run) and shown.
struct FormState {
    bool loaded = false, visible = false;
};

struct CommentsForm : FormState {
    std::string txbxComments;  // line breaks are CR LF
    std::string CommentLine;
};

struct TitleForm : FormState {
    std::string TitleText;
};

struct DataForm : FormState {
    std::string dialogFileName;  // CommonDialog1's file name: the data file written
    std::string txbxbDataFilename, txtbxNumVar, txtbxNumSub;
    std::string NumVar, NumSub;
};

struct OutFileForm : FormState {
    std::string txbxOutFile;
    bool optOut1 = false, optOut2 = false;
    std::string Outfile, PrintVerbosity;
};

struct MetricForm : FormState {
    std::string cboMetric1, cboMetric2, cboMetric3;
    std::string VariableMetric, DataType, SmoothOption;
    std::string strGuessFile;  // "EMPTY" or a finished >CPARAM: line
    std::string strPhiFile;    // "EMPTY" or a finished >PHI: line
};

struct ModelForm : FormState {
    std::string cboModel1, txbModel;
    bool txbModelEnabled = true;  // disabled boxes have the light cyan background
    bool optLabel1 = false, optLabel2 = false, optSortYes = false, optSortNo = false;
    std::string Model, NumFact, Labels, SortLabels;
};

struct RotateForm : FormState {
    std::string cmbRot, lblRot, txbxRot;
    bool txbxRotVisible = false;
    std::string strRotation, strRotOption;
};

struct ScoreForm : FormState {
    std::string cmbScore;
    bool cmbScoreEnabled = true, lblScoreMsgVisible = false;
    std::string strScoreType;
};

struct PlotForm : FormState {
    std::string cboPlot;
    std::string strPlot;
};

struct TechnicalForm : FormState {
    std::string Text1, Text2, Text3, Text4, Text6, Text8;
    std::string cboTech1, cboTech2, cboTech3;
    std::string strComEps, strMaxIt, strRotEps, strRotMaxIt, strRndStrts, strHyperWidth, strInitCom, strPageWidth,
        strOutput;
};

struct OutMatrixForm : FormState {
    bool chkCOR = false, chkSMO = false, chkEIG = false, chkFAC = false, chkRSD = false;
    std::int16_t numOutMatrix = 0;
    std::string strOutMatrix;
};

struct FormatForm : FormState {
    std::string txtFormat;
    std::string strFORTRANFormat;
};

struct BuildForm : FormState {
    std::array<bool, kStepMarks> marks{};  // a set mark shows "*"
    bool SAVEFLAG = false;
};

struct Wizard {
    BuildForm build;
    CommentsForm comments;
    TitleForm title;
    DataForm data;
    OutFileForm outfile;
    MetricForm metric;
    ModelForm model;
    RotateForm rotate;
    ScoreForm score;
    PlotForm plot;
    TechnicalForm technical;
    OutMatrixForm outmatrix;
    FormatForm format;
};

// ---- Texts of the dialogs' lists -------------------------------------------

struct Lists {
    static const std::vector<std::string> metric1, metric2, metric3, model, rotate, score, plot, tech_bool,
        tech_init;
};

// ---- Showing and hiding ----------------------------------------------------

// A keyword button, or the technical dialog showing the output matrices:
// loads the dialog if needed and shows it.  The score dialog tests the
// metric answers each time it is shown.
void show_dialog(Wizard& w, Dialog d);
// The window closed by the user: hidden, nothing stored.
void hide_dialog(Wizard& w, Dialog d);
bool dialog_loaded(const Wizard& w, Dialog d);
bool dialog_visible(const Wizard& w, Dialog d);
void load_dialog(Wizard& w, Dialog d);

// ---- Handlers, by dialog ---------------------------------------------------

void title_set_text(Wizard& w, const std::string& text);
void title_save(Wizard& w);

void comments_set_text(Wizard& w, const std::string& text);
void comments_save(Wizard& w);
// Comment lines from a comment text: split at every CR LF, each piece
// "*" + piece + " " + CR LF.
std::string comment_lines(const std::string& text);

void data_open_file(Wizard& w, Prompts& prompts);
void data_set_numvar(Wizard& w, const std::string& text);
void data_set_numsub(Wizard& w, const std::string& text);
void data_save(Wizard& w);

void outfile_set_text(Wizard& w, const std::string& text);
void outfile_pick_short(Wizard& w);
void outfile_pick_long(Wizard& w);
void outfile_save(Wizard& w);

// `box` is 1, 2 or 3.  The metric boxes have no change or click handlers:
// typing and picking only change what they show.
void metric_set_text(Wizard& w, int box, const std::string& text);
void metric_save(Wizard& w, Prompts& prompts);

void model_set_text(Wizard& w, const std::string& text);  // typed into cboModel1: no handler
void model_pick(Wizard& w, const std::string& item);
void model_set_dimensions(Wizard& w, const std::string& text);
void model_pick_labels(Wizard& w, bool user_supplied);
void model_pick_sort(Wizard& w, bool sort);
void model_save(Wizard& w);

void rotate_set_text(Wizard& w, const std::string& text);  // typed: no handler
void rotate_pick(Wizard& w, const std::string& item);
void rotate_set_parameter(Wizard& w, const std::string& text);
void rotate_save(Wizard& w);

void score_set_text(Wizard& w, const std::string& text);
void score_save(Wizard& w);

void plot_set_text(Wizard& w, const std::string& text);
void plot_save(Wizard& w);

// `box` is 1, 2, 3, 4, 6 or 8 (the technical text boxes Text1 ... Text8).
void technical_set_box(Wizard& w, int box, const std::string& text);
// `combo` is 1, 2 or 3.  Typing runs the change handler, picking does not.
void technical_type_combo(Wizard& w, int combo, const std::string& text);
void technical_pick_combo(Wizard& w, int combo, const std::string& item);
void technical_save(Wizard& w, Prompts& prompts);

void outmatrix_set(Wizard& w, int box, bool ticked);  // box 0..4: COR SMO EIG FAC RSD
void outmatrix_save(Wizard& w);

void format_set_text(Wizard& w, const std::string& text);
void format_save(Wizard& w);

// ---- Hub -------------------------------------------------------------------

void hub_cancel(Wizard& w);

// The wizard reset.  File > Build also shows the hub and clears the step
// marks (`from_build`); closing a document window does not.
void wizard_reset(Wizard& w, PrincipalText& principal, bool from_build);

// The BUILD button: hides the hub, clears SAVEFLAG, writes the command text
// into the principal text, reports a title or format that the engine would
// cut, and reminds the user of the labels.
void build_job(Wizard& w, PrincipalText& principal, Prompts& prompts);

}  // namespace orv::frontend
