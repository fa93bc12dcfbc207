// The wizard's handlers and resets over the plain model: defaults at load,
// what each handler stores, what the reset keeps and clears, and the cases
// kept sound (score test on every show, data box, model reset, page width from
// the box, parameter lines taken out again).
#include "frontend/wizard.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "frontend/command_text.h"
#include "job_driver.h"

namespace orv::frontend {
namespace {

using testing::answer;
using testing::FakePrompts;
using testing::FakeText;
using testing::JobAnswers;

// The nine technical values, or what their controls show, joined by blanks.
std::string joined(const std::array<std::string, kTechnicalValues>& texts) {
    std::string out;
    for (const std::string& t : texts) out += (out.empty() ? "" : " ") + t;
    return out;
}

class WizardTest : public ::testing::Test {
protected:
    Wizard w;
    FakeText text;
    FakePrompts prompts;
};

TEST_F(WizardTest, LoadDefaultsOfEachDialog) {
    show_dialog(w, Dialog::Metric);
    EXPECT_EQ(w.metric.metric_box, "Di  Dichotomous ");
    EXPECT_EQ(w.metric.data_type_box, "COR    N x N correlation matrix ");
    EXPECT_EQ(w.metric.smoothing_box, "SM    Smooth the correlation matrix ");
    EXPECT_EQ(w.metric.metric, "");  // nothing stored before Save
    metric_save(w, prompts);
    EXPECT_EQ(w.metric.metric, "Di");
    EXPECT_EQ(w.metric.data_type, "COR ");
    EXPECT_EQ(w.metric.smoothing, "SM");
    EXPECT_EQ(w.metric.guessing_file, std::nullopt);
    EXPECT_FALSE(w.metric.visible);
    EXPECT_TRUE(w.hub.marks[static_cast<int>(Dialog::Metric)]);

    show_dialog(w, Dialog::Model);
    EXPECT_EQ(w.model.model_box, "PFA  pricipal axes factor analysis ");
    EXPECT_EQ(w.model.model, "PFA");
    EXPECT_EQ(w.model.dimensions, "1");
    EXPECT_EQ(w.model.labels, Labels::UserSupplied);
    EXPECT_EQ(w.model.sorting, Sorting::ByFactor);

    show_dialog(w, Dialog::Rotate);
    EXPECT_EQ(w.rotate.rotation_box, "None");
    EXPECT_EQ(w.rotate.prompt, "");
    show_dialog(w, Dialog::Plot);
    EXPECT_EQ(w.plot.choice_box, "NONE");
    plot_save(w);
    EXPECT_EQ(w.plot.choice, "NONE");

    show_dialog(w, Dialog::Technical);
    const TechnicalForm& t = w.technical;
    EXPECT_EQ(joined(t.boxes), "0.0001 200 0.00001 200 True 0.2 ONE: Ones on diagonal 120 False");
    EXPECT_EQ(joined(t.values), "0.0001 200 0.00001 200 T 0.2 ONE 120 F");
}

TEST_F(WizardTest, MetricDcAsksAndOtherMetricsTakeTheLineOut) {
    show_dialog(w, Dialog::Metric);
    metric_set_text(w, MetricList::Metric, "DC  Dichotomous corrected for guessing ");
    metric_save(w, prompts);  // cancelled: empty answer
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0], "Please enter the name of the file with the IRT c parameters");
    EXPECT_EQ(w.metric.guessing_file, "");
    // Another metric saved later: the engine would read >MODEL: as the
    // guessing-parameter line, so the line goes.
    metric_set_text(w, MetricList::Metric, "CO  Continuous ");
    metric_save(w, prompts);
    EXPECT_EQ(w.metric.guessing_file, std::nullopt);
    EXPECT_EQ(prompts.asked.size(), 1u);
    // The engine upper-cases the metric: a typed "dc" needs the file too.
    metric_set_text(w, MetricList::Metric, "dc");
    prompts.answers.push_back("g.cpr");
    metric_save(w, prompts);
    EXPECT_EQ(w.metric.guessing_file, "g.cpr");
}

TEST_F(WizardTest, Fld2AsksForTheFactorCorrelationsAndOtherTypesTakeItOut) {
    show_dialog(w, Dialog::Metric);
    metric_set_text(w, MetricList::DataType, "FLD2   N x k factor loadings matrix: oblique model ");
    prompts.answers.push_back("/x/phi.txt");
    metric_save(w, prompts);
    EXPECT_EQ(w.metric.phi_file, "/x/phi.txt");
    metric_set_text(w, MetricList::DataType, "FLD1   N x k factor loadings matrix: orthogonal model ");
    metric_save(w, prompts);
    EXPECT_EQ(w.metric.phi_file, std::nullopt);
}

TEST_F(WizardTest, ModelPicksEnableAndDisableTheDimensions) {
    model_pick(w, "CMT  compute correlation matrix ");
    EXPECT_TRUE(w.model.loaded);
    EXPECT_EQ(w.model.model, "CMT");
    EXPECT_EQ(w.model.dimensions, "0");
        EXPECT_FALSE(w.model.dimensions_open);
    model_pick(w, "PCA  principal components ");
    EXPECT_EQ(w.model.dimensions, "1");
    EXPECT_TRUE(w.model.dimensions_open);
    model_pick(w, "TRP  Triplet test of trivariate normality");
    EXPECT_EQ(w.model.dimensions, "1");
    EXPECT_FALSE(w.model.dimensions_open);
    // Typing into the list runs no handler.
    model_set_text(w, "PCA");
    model_save(w);
    EXPECT_EQ(w.model.model, "TRP");
    model_pick_labels(w, false);
    EXPECT_EQ(w.model.labels, Labels::Generated);
    model_pick_sort(w, false);
    EXPECT_EQ(w.model.sorting, Sorting::Unsorted);
}

TEST_F(WizardTest, RotationPicksAndSaves) {
    rotate_pick(w, "Promax");
    EXPECT_EQ(w.rotate.prompt, "Please enter an integer for the Promax power: (3 often works well in practice).");
    EXPECT_EQ(w.rotate.parameter_box, "3");
    rotate_pick(w, "Oblimin");
    EXPECT_EQ(w.rotate.parameter, "0");
    rotate_pick(w, "HK  Harris-Kaiser ortho-oblique");
    EXPECT_EQ(w.rotate.parameter, "0.5");
    rotate_set_parameter(w, "0.3");
    rotate_save(w);
    EXPECT_EQ(w.rotate.rotation, Rotation::HarrisKaiser);
    EXPECT_EQ(w.rotate.parameter, "0.3");
    // A picked non-parameter item hides the box but keeps the parameter
    // until Save.
    rotate_pick(w, "Varimax");
    EXPECT_EQ(w.rotate.prompt, "");
    EXPECT_EQ(w.rotate.prompt, "");
    EXPECT_EQ(w.rotate.parameter, "0.3");
    // An unknown word keeps the previous rotation and sets the mark.
    w.hub.marks.fill(false);
    rotate_set_text(w, "Quartimax");
    rotate_save(w);
    EXPECT_EQ(w.rotate.rotation, Rotation::HarrisKaiser);
    EXPECT_TRUE(w.hub.marks[static_cast<int>(Dialog::Rotate)]);
}

TEST_F(WizardTest, ScoreChoiceTestedEachTimeTheDialogIsShown) {
    // Before the metric is saved: closed, saving stores NOSCORE.
    show_dialog(w, Dialog::Score);
    EXPECT_FALSE(w.score.method_open);
    score_save(w);
    EXPECT_EQ(w.score.method, ScoreMethod::None);
    // Continuous raw data saved later opens it at the next show.
    show_dialog(w, Dialog::Metric);
    metric_set_text(w, MetricList::Metric, "CO  Continuous ");
    metric_set_text(w, MetricList::DataType, "RAW    Item response Data  ");
    metric_save(w, prompts);
    show_dialog(w, Dialog::Score);
    EXPECT_TRUE(w.score.method_open);
    score_set_text(w, "BART:   Bartlett's method");
    score_save(w);
    EXPECT_EQ(w.score.method, ScoreMethod::Bartlett);
    // And closes it again, showing None, after a correlation input.
    metric_set_text(w, MetricList::DataType, "COR    N x N correlation matrix ");
    metric_save(w, prompts);
    show_dialog(w, Dialog::Score);
    EXPECT_FALSE(w.score.method_open);
    EXPECT_EQ(w.score.method_box, "None:  Do not compute factor scores");
    // Texts that are none of the three store nothing.
    score_set_text(w, "xx");
    score_save(w);
    EXPECT_EQ(w.score.method, ScoreMethod::Bartlett);
}

TEST_F(WizardTest, TechnicalPageWidthCapAndCombos) {
    show_dialog(w, Dialog::Technical);
    technical_type(w, Technical::PageWidth, "121");
    technical_type(w, Technical::CompEps, "0.01");
    technical_pick(w, Technical::Output, "False");
    technical_save(w, prompts);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], (std::pair<std::string, std::string>{"WinOrvalis Warning!",
                                                                         "Maximum column width = 120"}));
    EXPECT_EQ(w.technical.box(Technical::PageWidth), "120");
    EXPECT_EQ(w.technical.value(Technical::PageWidth), "120");
    EXPECT_TRUE(w.technical.visible);
    EXPECT_FALSE(w.hub.marks[static_cast<int>(Dialog::Technical)]);
    technical_save(w, prompts);
    EXPECT_FALSE(w.technical.visible);
    EXPECT_EQ(w.technical.value(Technical::CompEps), "0.01");
    EXPECT_TRUE(w.hub.marks[static_cast<int>(Dialog::Technical)]);
    EXPECT_FALSE(w.outmatrix.visible);

    // Picking does not store until Save; typing does.
    technical_pick(w, Technical::InitCom, "HIR: Highest off diagonal correlations");
    EXPECT_EQ(w.technical.value(Technical::InitCom), "ONE");
    technical_type(w, Technical::InitCom, "SMC");
    EXPECT_EQ(w.technical.value(Technical::InitCom), "SMC");
    technical_pick(w, Technical::Output, "True");
    technical_save(w, prompts);
    EXPECT_TRUE(w.outmatrix.visible);
    outmatrix_set(w, Matrix::Cor, true);
    outmatrix_set(w, Matrix::Fac, true);
    outmatrix_save(w);
    EXPECT_EQ(w.outmatrix.saved, (std::array<bool, kMatrices>{true, false, false, true, false}));
    EXPECT_FALSE(w.outmatrix.visible);
}

TEST_F(WizardTest, PageWidthCheckedFromTheBoxAfterAReset) {
    show_dialog(w, Dialog::Technical);
    technical_type(w, Technical::PageWidth, "130");
    // The reset sets the stored width to 120 but the box keeps "130": the
    // check must read the box, whose text is what Save stores.
    wizard_reset(w, text, true);
    EXPECT_EQ(w.technical.value(Technical::PageWidth), "120");
    EXPECT_EQ(w.technical.box(Technical::PageWidth), "130");
    technical_save(w, prompts);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(w.technical.box(Technical::PageWidth), "120");
    technical_save(w, prompts);
    EXPECT_EQ(w.technical.value(Technical::PageWidth), "120");
    // Widths at the cap, with a decimal point, and not numbers at all pass.
    for (const char* width : {"120", "119.5", "wide"}) {
        technical_type(w, Technical::PageWidth, width);
        technical_save(w, prompts);
        EXPECT_EQ(w.technical.value(Technical::PageWidth), width);
    }
    EXPECT_EQ(prompts.messages.size(), 1u);
    technical_type(w, Technical::PageWidth, "120.5");
    technical_save(w, prompts);
    EXPECT_EQ(prompts.messages.size(), 2u);
}

TEST_F(WizardTest, DataBoxShowsThePathWrittenAndTypingChangesNothing) {
    show_dialog(w, Dialog::Data);
    prompts.files.push_back("/d/one.dat");
    data_open_file(w, prompts);
    EXPECT_EQ(prompts.dialogs[0].second, "ORVAL Data (*.dat)|*.dat|All Files (*.*)|*.*");
    EXPECT_EQ(w.data.file, "/d/one.dat");
    data_open_file(w, prompts);  // cancelled: the previous name
    EXPECT_EQ(w.data.file, "/d/one.dat");
    EXPECT_EQ(w.data.file, "/d/one.dat");
    // The reset keeps the file that is written; the box shows it.
    wizard_reset(w, text, true);
    EXPECT_EQ(w.data.file, "/d/one.dat");
    build_job(w, text, prompts);
    EXPECT_NE(text.text.find(">DATA: /d/one.dat    \r\n"), std::string::npos);
}

TEST_F(WizardTest, ResetTable) {
    JobAnswers a;
    a.comments = "kept comment";
    a.metric = "DC  Dichotomous corrected for guessing ";
    a.cparam = "c.cpr";
    a.type = "FLD2   N x k factor loadings matrix: oblique model ";
    a.phi = "p.txt";
    a.model = "CMT  compute correlation matrix ";
    a.dims = "";
    a.labels = false;
    a.sort = false;
    a.rotation = "Promax";
    a.score = "";
    a.plot = "All";
    a.technical = {"0.5", "9", "0.5", "9", "0.9", "80"};
    a.rndstrts = "False";
    a.output = "True";
    a.matrices = {0, 1, 4};
    answer(w, text, prompts, a);
    show_dialog(w, Dialog::Score);
    score_save(w);
    show_dialog(w, Dialog::Rotate);  // left open
    w.outfile.verbosity = Verbosity::Long;
    text.text = "document";

    wizard_reset(w, text, true);
    EXPECT_EQ(text.text, "");
    EXPECT_TRUE(w.hub.visible);
    for (bool m : w.hub.marks) EXPECT_FALSE(m);
    // Output matrices: COR unticked, SMO and RSD kept; none written until
    // the next SAVE.
    EXPECT_EQ(w.outmatrix.ticked, (std::array<bool, kMatrices>{false, true, false, false, true}));
    EXPECT_EQ(w.outmatrix.saved, (std::array<bool, kMatrices>{}));
    // Model: PFA, one dimension, labels and sort; the list shows PFA and
    // the dimensions box is open again.
    EXPECT_EQ(w.model.model, "PFA");
    EXPECT_EQ(w.model.dimensions, "1");
    EXPECT_EQ(w.model.labels, Labels::UserSupplied);
    EXPECT_EQ(w.model.sorting, Sorting::ByFactor);
    EXPECT_EQ(w.model.model_box, "PFA  pricipal axes factor analysis ");
    EXPECT_TRUE(w.model.dimensions_open);
    // Rotation: parameter emptied, list shows None, the word kept.
    EXPECT_EQ(w.rotate.parameter, "");
    EXPECT_EQ(w.rotate.parameter_box, "");
    EXPECT_EQ(w.rotate.rotation_box, "None");
    EXPECT_EQ(w.rotate.rotation, Rotation::Promax);
    EXPECT_TRUE(w.rotate.visible);
    // Format, plot, comments, title, data, report.
    EXPECT_EQ(w.format.format, "");
    EXPECT_EQ(w.plot.choice_box, "NONE");
    EXPECT_EQ(w.plot.choice, "None");
    EXPECT_EQ(w.comments.text, "");
    EXPECT_EQ(w.comments.lines, "*kept comment \r\n");
    EXPECT_EQ(w.title.text, "");
    EXPECT_EQ(w.data.variables, "");
    EXPECT_EQ(w.data.subjects, "");
    EXPECT_EQ(w.data.file, "/data/items.dat");
    EXPECT_EQ(w.outfile.report, "");
    EXPECT_EQ(w.outfile.verbosity, Verbosity::Long);
    // Metric: the boxes show the defaults, the answers are kept, both
    // parameter lines cleared.
    EXPECT_EQ(w.metric.metric_box, "Di  Dichotomous ");
    EXPECT_EQ(w.metric.data_type_box, "COR    N x N correlation matrix ");
    EXPECT_EQ(w.metric.smoothing_box, "SM    Smooth the correlation matrix ");
    EXPECT_EQ(w.metric.metric, "DC");
    EXPECT_EQ(w.metric.data_type, "FLD2");
    EXPECT_EQ(w.metric.smoothing, "NS");
    EXPECT_EQ(w.metric.guessing_file, std::nullopt);
    EXPECT_EQ(w.metric.phi_file, std::nullopt);
    // Technical: answers and combos back to the defaults, boxes kept.
    EXPECT_EQ(joined(w.technical.values), "0.0001 200 0.00001 200 T 0.2 ONE 120 F");
    EXPECT_EQ(joined(w.technical.boxes), "0.5 9 0.5 9 True 0.9 ONE: Ones on diagonal 80 False");
    // Scores untouched.
    EXPECT_EQ(w.score.method, ScoreMethod::None);
}

TEST_F(WizardTest, DocumentCloseResetKeepsHubAndMarks) {
    wizard_reset(w, text, true);
    title_save(w);
    hub_cancel(w);
    text.text = "job";
    wizard_reset(w, text, false);
    EXPECT_EQ(text.text, "");
    EXPECT_FALSE(w.hub.visible);
    EXPECT_TRUE(w.hub.marks[static_cast<int>(Dialog::Title)]);
    EXPECT_FALSE(w.score.loaded);  // the reset never loads the score dialog
}

TEST_F(WizardTest, CancelKeepsAnswersAndMarks) {
    wizard_reset(w, text, true);
    title_set_text(w, "T");
    title_save(w);
    hub_cancel(w);
    EXPECT_FALSE(w.hub.visible);
    EXPECT_TRUE(w.hub.marks[static_cast<int>(Dialog::Title)]);
    EXPECT_EQ(w.title.text, "T");
}

TEST_F(WizardTest, ReportOptionsAndFormat) {
    show_dialog(w, Dialog::OutFile);
    outfile_set_text(w, "r.out");
    outfile_pick_short(w);
    EXPECT_EQ(w.outfile.verbosity, Verbosity::Short);
    outfile_pick_long(w);
    EXPECT_EQ(w.outfile.verbosity, Verbosity::Long);
    outfile_save(w);
    EXPECT_EQ(w.outfile.report, "r.out");
    format_set_text(w, "(10F1.0)");
    format_save(w);
    EXPECT_EQ(w.format.format, "(10F1.0)");
    EXPECT_TRUE(w.hub.marks[static_cast<int>(Dialog::Format)]);
    EXPECT_TRUE(w.hub.marks[static_cast<int>(Dialog::OutFile)]);
}

}  // namespace
}  // namespace orv::frontend
