#include "frontend/command_text.h"

#include "frontend/text_rules.h"

namespace orv::frontend {

namespace {

// The words the engine reads for the choices, in the order of their enums.
const char* const kVerbosityWords[] = {"SHORT", "LONG"};
const char* const kLabelsWords[] = {"LABELS", "NOLABELS"};
const char* const kSortingWords[] = {"SORT", "NOSORT"};
const char* const kRotationWords[] = {"NONE", "Varimax", "WVarimax", "Promax", "Oblimin", "HK"};
const char* const kScoreWords[] = {"NOSCORE", "REG", "BART"};
const char* const kMatrixCodes[] = {"COR", "SMO", "EIG", "FAC", "RSD"};

// A choice's word; an answer never given is an empty field.
template <typename Choice, std::size_t N>
std::string word(const std::optional<Choice>& choice, const char* const (&words)[N]) {
    return choice ? words[static_cast<std::size_t>(*choice)] : "";
}

// A line naming a file that a metric or data type needs.
std::string file_line(const char* keyword, const std::optional<std::string>& file) {
    return file ? std::string(keyword) + " " + file_item(*file) + " " + kCrLf : "";
}

}  // namespace

std::string command_text(const Wizard& w) {
    const std::string eol = kCrLf;
    std::string text = w.comments.lines;
    text += ">TITLE: " + w.title.text + eol;
    text += ">DATA: " + file_item(w.data.file) + " " + w.data.variables + "  " + w.data.subjects + " " + eol;
    text += ">OUTFILE: " + std::string(" ") + file_item(w.outfile.report) + " " +
            word(w.outfile.verbosity, kVerbosityWords) + " " + eol;
    const MetricForm& m = w.metric;
    text += ">METRIC: " + m.metric + " " + m.data_type + " " + m.smoothing + " " + eol;
    // The engine reads >PHI: before >CPARAM:.
    text += file_line(">PHI:", m.phi_file) + file_line(">CPARAM:", m.guessing_file);
    text += ">MODEL: " + w.model.model + " " + w.model.dimensions + "  " + word(w.model.labels, kLabelsWords) + " " +
            word(w.model.sorting, kSortingWords) + " " + eol;
    const RotateForm& r = w.rotate;
    const bool real_parameter = r.rotation == Rotation::HarrisKaiser || r.rotation == Rotation::Oblimin;
    text += ">ROTATE: " + word(r.rotation, kRotationWords) + " " +
            (real_parameter ? decimal_point(r.parameter) : r.parameter) + " " + eol;
    text += ">SCORE: " + word(w.score.method, kScoreWords) + " " + eol;
    text += ">PLOT: " + w.plot.choice + " " + eol;
    const TechnicalForm& t = w.technical;
    text += ">TECHNICAL: ";
    for (int i = 0; i < kTechnicalValues; ++i) {
        const auto v = static_cast<Technical>(i);
        const bool real = v == Technical::CompEps || v == Technical::RotEps || v == Technical::HyperWidth;
        text += (real ? decimal_point(t.value(v)) : t.value(v)) + " ";
    }
    text += eol;
    // The engine asks for >OUTPUT: exactly when OUTPUT is T (it upper-cases
    // the answer) and refuses it otherwise.
    if (upper_equals(t.value(Technical::Output), "T")) {
        int count = 0;
        std::string codes;
        for (int i = 0; i < kMatrices; ++i)
            if (w.outmatrix.saved[static_cast<std::size_t>(i)]) {
                ++count;
                codes += std::string(kMatrixCodes[i]) + " ";
            }
        text += ">OUTPUT: " + std::to_string(count) + " " + codes + " " + eol;
    }
    text += ">FORMAT: " + w.format.format + " " + eol;
    text += ">LABELS: ";
    return text;
}

std::vector<std::string> cut_warnings(const Wizard& w) {
    std::vector<std::string> out;
    if (w.title.text.size() > kTitleColumns)
        out.push_back("The title is longer than " + std::to_string(kTitleColumns) +
                      " characters: Orvalis reads only the first " + std::to_string(kTitleColumns) + ".");
    if (w.format.format.size() > kFormatColumns)
        out.push_back("The format is longer than " + std::to_string(kFormatColumns) +
                      " characters: Orvalis reads only the first " + std::to_string(kFormatColumns) + ".");
    return out;
}

void build_job(Wizard& w, PrincipalText& principal, Prompts& prompts) {
    w.hub.visible = false;
    // The build reads the title box and the data dialog's file name, which
    // loads their dialogs.
    load_dialog(w, Dialog::Title);
    load_dialog(w, Dialog::Data);
    principal.set_text(command_text(w));
    for (const std::string& warning : cut_warnings(w)) prompts.message(kWarningCaption, warning);
    if (w.model.labels == Labels::UserSupplied)
        prompts.message("WinOrvalis Reminder", "Remember to input Variable Labels");
}

}  // namespace orv::frontend
