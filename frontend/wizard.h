// The job wizard as plain data: each dialog's answers and the state of the
// controls its handlers read and write, and every handler as a function over
// it.  The Qt dialogs only show this state and pass the user's events here,
// so the whole wizard, the resets and the command text are testable without
// widgets.  Fields are named after what they hold; a `_box` field is the
// text a control shows where that differs from the answer stored from it.
// The controls' own names are the widgets' object names.
//
// A form is "loaded" (its load handler has run) when it is first shown or
// when one of its controls is first used; setting or reading one of its
// answers alone does not load it.  Setting a control's text by code runs its
// change handler, exactly as typing would; picking a list item runs the
// click handler.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "frontend/prompts.h"

namespace orv::frontend {

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

inline constexpr const char* kWarningCaption = "WinOrvalis Warning!";

// What every form has: loaded (its load handler has run) and shown.
struct FormState {
    bool loaded = false, visible = false;
};

struct HubForm : FormState {
    std::array<bool, kStepMarks> marks{};  // a set mark shows "*"
};

struct CommentsForm : FormState {
    std::string text;   // the box; line breaks are CR LF
    std::string lines;  // the comment lines saved from it, written before the title
};

struct TitleForm : FormState {
    std::string text;  // the box, which the build reads
};

struct DataForm : FormState {
    std::string file;  // the data file last chosen in the open dialog; its box shows it
    std::string variables, subjects;  // the numbers as typed
};

enum class Verbosity { Short, Long };

struct OutFileForm : FormState {
    std::string report;                  // the report file as typed
    std::optional<Verbosity> verbosity;  // neither button is selected until one is picked
};

// The metric dialog's three lists.
enum class MetricList { Metric, DataType, Smoothing };

struct MetricForm : FormState {
    std::string metric_box, data_type_box, smoothing_box;
    // Saved: the leading 2, 4 and 2 characters of the lists' texts.
    std::string metric, data_type, smoothing;
    // Asked for when saved with metric DC (the guessing parameters) and data
    // type FLD2 (the factor correlations); nothing when the metric or type
    // saved needs none.
    std::optional<std::string> guessing_file, phi_file;
};

enum class Labels { UserSupplied, Generated };
enum class Sorting { ByFactor, Unsorted };

struct ModelForm : FormState {
    std::string model_box;
    std::string model;             // the model code picked: its item's 3 leading characters
    std::string dimensions;        // the box, as typed or set by a pick
    bool dimensions_open = true;   // closed boxes have the light cyan background
    std::optional<Labels> labels;  // the option buttons picked
    std::optional<Sorting> sorting;
};

// In the order of the rotation list.
enum class Rotation { None, Varimax, WVarimax, Promax, Oblimin, HarrisKaiser };

struct RotateForm : FormState {
    std::string rotation_box;
    std::string prompt;  // the parameter's prompt; empty while the parameter box is hidden
    // The parameter box, and the parameter as typed into it, which Save of a
    // rotation that takes none empties.
    std::string parameter_box;
    std::string parameter;
    std::optional<Rotation> rotation;  // the rotation saved
};

// In the order of the score list.
enum class ScoreMethod { None, Regression, Bartlett };

struct ScoreForm : FormState {
    std::string method_box;
    bool method_open = true;  // closed, the box is light cyan and the message shows
    std::optional<ScoreMethod> method;
};

struct PlotForm : FormState {
    std::string choice_box;
    std::string choice;  // saved: the list's whole text
};

// The technical values in the order >TECHNICAL: writes them, named after the
// engine's keywords.  RndStrts, InitCom and Output are lists (their leading
// 1, 3 and 1 characters are stored), the others text boxes.
enum class Technical { CompEps, MaxIt, RotEps, RotMaxIt, RndStrts, HyperWidth, InitCom, PageWidth, Output };
inline constexpr int kTechnicalValues = 9;

struct TechnicalForm : FormState {
    // What each control shows, and the value stored from it: by typing, and
    // for them all at Save.  The reset sets every value back but leaves what
    // the text boxes show.
    std::array<std::string, kTechnicalValues> boxes;
    std::array<std::string, kTechnicalValues> values;
    std::string& box(Technical t) { return boxes[static_cast<std::size_t>(t)]; }
    const std::string& box(Technical t) const { return boxes[static_cast<std::size_t>(t)]; }
    std::string& value(Technical t) { return values[static_cast<std::size_t>(t)]; }
    const std::string& value(Technical t) const { return values[static_cast<std::size_t>(t)]; }
};

// The matrix files, in the order of the check boxes and of >OUTPUT:'s codes.
enum class Matrix { Cor, Smo, Eig, Fac, Rsd };
inline constexpr int kMatrices = 5;

struct OutMatrixForm : FormState {
    std::array<bool, kMatrices> ticked{};  // the check boxes
    std::array<bool, kMatrices> saved{};   // the matrices SAVE stored, written on >OUTPUT:
};

struct FormatForm : FormState {
    std::string format;  // the data file's format as typed
};

struct Wizard {
    HubForm hub;
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

// Named after the answer each list gives; `true_false` serves RNDSTRTS and
// OUTPUT, `initial_communality` INIT_COM.
struct Lists {
    static const std::vector<std::string> metric, data_type, smoothing, model, rotate, score, plot, true_false,
        initial_communality;
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
void data_set_variables(Wizard& w, const std::string& text);
void data_set_subjects(Wizard& w, const std::string& text);
void data_save(Wizard& w);

void outfile_set_text(Wizard& w, const std::string& text);
void outfile_pick_short(Wizard& w);
void outfile_pick_long(Wizard& w);
void outfile_save(Wizard& w);

// The metric lists have no change or click handlers: typing and picking
// only change what they show.
void metric_set_text(Wizard& w, MetricList list, const std::string& text);
void metric_save(Wizard& w, Prompts& prompts);

void model_set_text(Wizard& w, const std::string& text);  // typed into the list: no handler
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

// Typed into a technical control, text box or list: it shows the text and
// its change handler stores it.  A list item picked is only shown.
void technical_type(Wizard& w, Technical value, const std::string& text);
void technical_pick(Wizard& w, Technical value, const std::string& item);
void technical_save(Wizard& w, Prompts& prompts);

void outmatrix_set(Wizard& w, Matrix box, bool ticked);
void outmatrix_save(Wizard& w);

void format_set_text(Wizard& w, const std::string& text);
void format_save(Wizard& w);

// ---- Hub -------------------------------------------------------------------

void hub_cancel(Wizard& w);

// The wizard reset.  File > Build also shows the hub and clears the step
// marks (`from_build`); closing a document window does not.
void wizard_reset(Wizard& w, PrincipalText& principal, bool from_build);

}  // namespace orv::frontend
