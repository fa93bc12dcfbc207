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

class WizardTest : public ::testing::Test {
protected:
    Wizard w;
    FakeText text;
    FakePrompts prompts;
};

TEST_F(WizardTest, LoadDefaultsOfEachDialog) {
    show_dialog(w, Dialog::Metric);
    EXPECT_EQ(w.metric.cboMetric1, "Di  Dichotomous ");
    EXPECT_EQ(w.metric.cboMetric2, "COR    N x N correlation matrix ");
    EXPECT_EQ(w.metric.cboMetric3, "SM    Smooth the correlation matrix ");
    EXPECT_EQ(w.metric.VariableMetric, "");  // nothing stored before Save
    metric_save(w, prompts);
    EXPECT_EQ(w.metric.VariableMetric, "Di");
    EXPECT_EQ(w.metric.DataType, "COR ");
    EXPECT_EQ(w.metric.SmoothOption, "SM");
    EXPECT_EQ(w.metric.strGuessFile, "EMPTY");
    EXPECT_FALSE(w.metric.visible);
    EXPECT_TRUE(w.build.marks[static_cast<int>(Dialog::Metric)]);

    show_dialog(w, Dialog::Model);
    EXPECT_EQ(w.model.cboModel1, "PFA  pricipal axes factor analysis ");
    EXPECT_EQ(w.model.Model, "PFA");
    EXPECT_EQ(w.model.NumFact, "1");
    EXPECT_EQ(w.model.Labels, "LABELS");
    EXPECT_EQ(w.model.SortLabels, "SORT");
    EXPECT_TRUE(w.model.optLabel1 && w.model.optSortYes);

    show_dialog(w, Dialog::Rotate);
    EXPECT_EQ(w.rotate.cmbRot, "None");
    EXPECT_FALSE(w.rotate.txbxRotVisible);
    show_dialog(w, Dialog::Plot);
    EXPECT_EQ(w.plot.cboPlot, "NONE");
    plot_save(w);
    EXPECT_EQ(w.plot.strPlot, "NONE");

    show_dialog(w, Dialog::Technical);
    const TechnicalForm& t = w.technical;
    EXPECT_EQ(t.Text1 + " " + t.Text2 + " " + t.Text3 + " " + t.Text4 + " " + t.Text6 + " " + t.Text8,
              "0.0001 200 0.00001 200 0.2 120");
    EXPECT_EQ(t.strComEps + " " + t.strMaxIt + " " + t.strRotEps + " " + t.strRotMaxIt + " " + t.strRndStrts + " " +
                  t.strHyperWidth + " " + t.strInitCom + " " + t.strPageWidth + " " + t.strOutput,
              "0.0001 200 0.00001 200 T 0.2 ONE 120 F");
    EXPECT_EQ(t.cboTech1 + "|" + t.cboTech2 + "|" + t.cboTech3, "True|ONE: Ones on diagonal|False");
}

TEST_F(WizardTest, MetricDcAsksAndOtherMetricsTakeTheLineOut) {
    show_dialog(w, Dialog::Metric);
    metric_set_text(w, 1, "DC  Dichotomous corrected for guessing ");
    metric_save(w, prompts);  // cancelled: empty answer
    ASSERT_EQ(prompts.asked.size(), 1u);
    EXPECT_EQ(prompts.asked[0], "Please enter the name of the file with the IRT c parameters");
    EXPECT_EQ(w.metric.strGuessFile, ">CPARAM:  \r\n");
    // Another metric saved later: the engine would read >MODEL: as the
    // guessing-parameter line, so the line goes.
    metric_set_text(w, 1, "CO  Continuous ");
    metric_save(w, prompts);
    EXPECT_EQ(w.metric.strGuessFile, "EMPTY");
    EXPECT_EQ(prompts.asked.size(), 1u);
    // The engine upper-cases the metric: a typed "dc" needs the file too.
    metric_set_text(w, 1, "dc");
    prompts.answers.push_back("g.cpr");
    metric_save(w, prompts);
    EXPECT_EQ(w.metric.strGuessFile, ">CPARAM: g.cpr \r\n");
}

TEST_F(WizardTest, Fld2AsksForTheFactorCorrelationsAndOtherTypesTakeItOut) {
    show_dialog(w, Dialog::Metric);
    metric_set_text(w, 2, "FLD2   N x k factor loadings matrix: oblique model ");
    prompts.answers.push_back("/x/phi.txt");
    metric_save(w, prompts);
    EXPECT_EQ(w.metric.strPhiFile, ">PHI: /x/phi.txt \r\n");
    metric_set_text(w, 2, "FLD1   N x k factor loadings matrix: orthogonal model ");
    metric_save(w, prompts);
    EXPECT_EQ(w.metric.strPhiFile, "EMPTY");
}

TEST_F(WizardTest, ModelPicksEnableAndDisableTheDimensions) {
    model_pick(w, "CMT  compute correlation matrix ");
    EXPECT_TRUE(w.model.loaded);
    EXPECT_EQ(w.model.Model, "CMT");
    EXPECT_EQ(w.model.NumFact, "0");
    EXPECT_EQ(w.model.txbModel, "0");
    EXPECT_FALSE(w.model.txbModelEnabled);
    model_pick(w, "PCA  principal components ");
    EXPECT_EQ(w.model.NumFact, "1");
    EXPECT_TRUE(w.model.txbModelEnabled);
    model_pick(w, "TRP  Triplet test of trivariate normality");
    EXPECT_EQ(w.model.NumFact, "1");
    EXPECT_FALSE(w.model.txbModelEnabled);
    // Typing into the list runs no handler.
    model_set_text(w, "PCA");
    model_save(w);
    EXPECT_EQ(w.model.Model, "TRP");
    model_pick_labels(w, false);
    EXPECT_EQ(w.model.Labels, "NOLABELS");
    model_pick_sort(w, false);
    EXPECT_EQ(w.model.SortLabels, "NOSORT");
}

TEST_F(WizardTest, RotationPicksAndSaves) {
    rotate_pick(w, "Promax");
    EXPECT_EQ(w.rotate.lblRot, "Please enter an integer for the Promax power: (3 often works well in practice).");
    EXPECT_EQ(w.rotate.txbxRot, "3");
    EXPECT_TRUE(w.rotate.txbxRotVisible);
    rotate_pick(w, "Oblimin");
    EXPECT_EQ(w.rotate.strRotOption, "0");
    rotate_pick(w, "HK  Harris-Kaiser ortho-oblique");
    EXPECT_EQ(w.rotate.strRotOption, "0.5");
    rotate_set_parameter(w, "0.3");
    rotate_save(w);
    EXPECT_EQ(w.rotate.strRotation, "HK");
    EXPECT_EQ(w.rotate.strRotOption, "0.3");
    // A picked non-parameter item hides the box but keeps the parameter
    // until Save.
    rotate_pick(w, "Varimax");
    EXPECT_FALSE(w.rotate.txbxRotVisible);
    EXPECT_EQ(w.rotate.lblRot, "");
    EXPECT_EQ(w.rotate.strRotOption, "0.3");
    // An unknown word keeps the previous rotation and sets the mark.
    w.build.marks.fill(false);
    rotate_set_text(w, "Quartimax");
    rotate_save(w);
    EXPECT_EQ(w.rotate.strRotation, "HK");
    EXPECT_TRUE(w.build.marks[static_cast<int>(Dialog::Rotate)]);
}

TEST_F(WizardTest, ScoreChoiceTestedEachTimeTheDialogIsShown) {
    // Before the metric is saved: closed, saving stores NOSCORE.
    show_dialog(w, Dialog::Score);
    EXPECT_FALSE(w.score.cmbScoreEnabled);
    EXPECT_TRUE(w.score.lblScoreMsgVisible);
    score_save(w);
    EXPECT_EQ(w.score.strScoreType, "NOSCORE");
    // Continuous raw data saved later opens it at the next show.
    show_dialog(w, Dialog::Metric);
    metric_set_text(w, 1, "CO  Continuous ");
    metric_set_text(w, 2, "RAW    Item response Data  ");
    metric_save(w, prompts);
    show_dialog(w, Dialog::Score);
    EXPECT_TRUE(w.score.cmbScoreEnabled);
    EXPECT_FALSE(w.score.lblScoreMsgVisible);
    score_set_text(w, "BART:   Bartlett's method");
    score_save(w);
    EXPECT_EQ(w.score.strScoreType, "BART");
    // And closes it again, showing None, after a correlation input.
    metric_set_text(w, 2, "COR    N x N correlation matrix ");
    metric_save(w, prompts);
    show_dialog(w, Dialog::Score);
    EXPECT_FALSE(w.score.cmbScoreEnabled);
    EXPECT_EQ(w.score.cmbScore, "None:  Do not compute factor scores");
    // Texts that are none of the three store nothing.
    score_set_text(w, "xx");
    score_save(w);
    EXPECT_EQ(w.score.strScoreType, "BART");
}

TEST_F(WizardTest, TechnicalPageWidthCapAndCombos) {
    show_dialog(w, Dialog::Technical);
    technical_set_box(w, 8, "121");
    technical_set_box(w, 1, "0.01");
    technical_pick_combo(w, 3, "False");
    technical_save(w, prompts);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], (std::pair<std::string, std::string>{"WinOrvalis Warning!",
                                                                         "Maximum column width = 120"}));
    EXPECT_EQ(w.technical.Text8, "120");
    EXPECT_EQ(w.technical.strPageWidth, "120");
    EXPECT_TRUE(w.technical.visible);
    EXPECT_FALSE(w.build.marks[static_cast<int>(Dialog::Technical)]);
    technical_save(w, prompts);
    EXPECT_FALSE(w.technical.visible);
    EXPECT_EQ(w.technical.strComEps, "0.01");
    EXPECT_TRUE(w.build.marks[static_cast<int>(Dialog::Technical)]);
    EXPECT_FALSE(w.outmatrix.visible);

    // Picking does not store until Save; typing does.
    technical_pick_combo(w, 2, "HIR: Highest off diagonal correlations");
    EXPECT_EQ(w.technical.strInitCom, "ONE");
    technical_type_combo(w, 2, "SMC");
    EXPECT_EQ(w.technical.strInitCom, "SMC");
    technical_pick_combo(w, 3, "True");
    technical_save(w, prompts);
    EXPECT_TRUE(w.outmatrix.visible);
    outmatrix_set(w, 0, true);
    outmatrix_set(w, 3, true);
    outmatrix_save(w);
    EXPECT_EQ(w.outmatrix.numOutMatrix, 2);
    EXPECT_EQ(w.outmatrix.strOutMatrix, "COR FAC ");
    EXPECT_FALSE(w.outmatrix.visible);
}

TEST_F(WizardTest, PageWidthCheckedFromTheBoxAfterAReset) {
    show_dialog(w, Dialog::Technical);
    technical_set_box(w, 8, "130");
    // The reset sets the stored width to 120 but the box keeps "130": the
    // check must read the box, whose text is what Save stores.
    wizard_reset(w, text, true);
    EXPECT_EQ(w.technical.strPageWidth, "120");
    EXPECT_EQ(w.technical.Text8, "130");
    technical_save(w, prompts);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(w.technical.Text8, "120");
    technical_save(w, prompts);
    EXPECT_EQ(w.technical.strPageWidth, "120");
    // Widths at the cap, with a decimal point, and not numbers at all pass.
    for (const char* width : {"120", "119.5", "wide"}) {
        technical_set_box(w, 8, width);
        technical_save(w, prompts);
        EXPECT_EQ(w.technical.strPageWidth, width);
    }
    EXPECT_EQ(prompts.messages.size(), 1u);
    technical_set_box(w, 8, "120.5");
    technical_save(w, prompts);
    EXPECT_EQ(prompts.messages.size(), 2u);
}

TEST_F(WizardTest, DataBoxShowsThePathWrittenAndTypingChangesNothing) {
    show_dialog(w, Dialog::Data);
    prompts.files.push_back("/d/one.dat");
    data_open_file(w, prompts);
    EXPECT_EQ(prompts.filters[0], "ORVAL Data (*.dat)|*.dat|All Files (*.*)|*.*");
    EXPECT_EQ(w.data.txbxbDataFilename, "/d/one.dat");
    data_open_file(w, prompts);  // cancelled: the previous name
    EXPECT_EQ(w.data.dialogFileName, "/d/one.dat");
    EXPECT_EQ(w.data.txbxbDataFilename, "/d/one.dat");
    // The reset keeps the file that is written; the box shows it.
    wizard_reset(w, text, true);
    EXPECT_EQ(w.data.txbxbDataFilename, "/d/one.dat");
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
    w.outfile.PrintVerbosity = "LONG";
    text.text = "document";

    wizard_reset(w, text, true);
    EXPECT_EQ(text.text, "");
    EXPECT_TRUE(w.build.visible);
    for (bool m : w.build.marks) EXPECT_FALSE(m);
    // Output matrices: COR unticked and the count cleared; the rest kept.
    EXPECT_FALSE(w.outmatrix.chkCOR);
    EXPECT_TRUE(w.outmatrix.chkSMO && w.outmatrix.chkRSD);
    EXPECT_EQ(w.outmatrix.numOutMatrix, 0);
    EXPECT_EQ(w.outmatrix.strOutMatrix, "COR SMO RSD ");
    // Model: PFA, one dimension, labels and sort; the list shows PFA and
    // the dimensions box is open again.
    EXPECT_EQ(w.model.Model, "PFA");
    EXPECT_EQ(w.model.NumFact, "1");
    EXPECT_EQ(w.model.txbModel, "1");
    EXPECT_EQ(w.model.Labels, "LABELS");
    EXPECT_EQ(w.model.SortLabels, "SORT");
    EXPECT_TRUE(w.model.optLabel1 && !w.model.optLabel2 && w.model.optSortYes && !w.model.optSortNo);
    EXPECT_EQ(w.model.cboModel1, "PFA  pricipal axes factor analysis ");
    EXPECT_TRUE(w.model.txbModelEnabled);
    // Rotation: parameter emptied, list shows None, the word kept.
    EXPECT_EQ(w.rotate.strRotOption, "");
    EXPECT_EQ(w.rotate.txbxRot, "");
    EXPECT_EQ(w.rotate.cmbRot, "None");
    EXPECT_EQ(w.rotate.strRotation, "Promax");
    EXPECT_TRUE(w.rotate.visible);
    // Format, plot, comments, title, data, report.
    EXPECT_EQ(w.format.txtFormat, "");
    EXPECT_EQ(w.format.strFORTRANFormat, "");
    EXPECT_EQ(w.plot.cboPlot, "NONE");
    EXPECT_EQ(w.plot.strPlot, "None");
    EXPECT_EQ(w.comments.txbxComments, "");
    EXPECT_EQ(w.comments.CommentLine, "*kept comment \r\n");
    EXPECT_EQ(w.title.TitleText, "");
    EXPECT_EQ(w.data.NumVar, "");
    EXPECT_EQ(w.data.NumSub, "");
    EXPECT_EQ(w.data.txtbxNumVar + w.data.txtbxNumSub, "");
    EXPECT_EQ(w.data.dialogFileName, "/data/items.dat");
    EXPECT_EQ(w.outfile.Outfile, "");
    EXPECT_EQ(w.outfile.txbxOutFile, "");
    EXPECT_EQ(w.outfile.PrintVerbosity, "LONG");
    EXPECT_TRUE(w.outfile.optOut2);
    // Metric: the boxes show the defaults, the answers are kept, both
    // parameter lines cleared.
    EXPECT_EQ(w.metric.cboMetric1, "Di  Dichotomous ");
    EXPECT_EQ(w.metric.cboMetric2, "COR    N x N correlation matrix ");
    EXPECT_EQ(w.metric.cboMetric3, "SM    Smooth the correlation matrix ");
    EXPECT_EQ(w.metric.VariableMetric, "DC");
    EXPECT_EQ(w.metric.DataType, "FLD2");
    EXPECT_EQ(w.metric.SmoothOption, "NS");
    EXPECT_EQ(w.metric.strGuessFile, "EMPTY");
    EXPECT_EQ(w.metric.strPhiFile, "EMPTY");
    // Technical: answers and combos back to the defaults, boxes kept.
    const TechnicalForm& t = w.technical;
    EXPECT_EQ(t.strComEps + " " + t.strMaxIt + " " + t.strRotEps + " " + t.strRotMaxIt + " " + t.strRndStrts + " " +
                  t.strHyperWidth + " " + t.strInitCom + " " + t.strPageWidth + " " + t.strOutput,
              "0.0001 200 0.00001 200 T 0.2 ONE 120 F");
    EXPECT_EQ(t.cboTech1 + "|" + t.cboTech2 + "|" + t.cboTech3, "True|ONE: Ones on diagonal|False");
    EXPECT_EQ(t.Text1 + " " + t.Text2 + " " + t.Text3 + " " + t.Text4 + " " + t.Text6 + " " + t.Text8,
              "0.5 9 0.5 9 0.9 80");
    // Scores untouched.
    EXPECT_EQ(w.score.strScoreType, "NOSCORE");
}

TEST_F(WizardTest, DocumentCloseResetKeepsHubAndMarks) {
    wizard_reset(w, text, true);
    title_save(w);
    hub_cancel(w);
    text.text = "job";
    wizard_reset(w, text, false);
    EXPECT_EQ(text.text, "");
    EXPECT_FALSE(w.build.visible);
    EXPECT_TRUE(w.build.marks[static_cast<int>(Dialog::Title)]);
    EXPECT_FALSE(w.score.loaded);  // the reset never loads the score dialog
}

TEST_F(WizardTest, CancelKeepsAnswersAndMarks) {
    wizard_reset(w, text, true);
    title_set_text(w, "T");
    title_save(w);
    hub_cancel(w);
    EXPECT_FALSE(w.build.visible);
    EXPECT_TRUE(w.build.marks[static_cast<int>(Dialog::Title)]);
    EXPECT_EQ(w.title.TitleText, "T");
}

TEST_F(WizardTest, ReportOptionsAndFormat) {
    show_dialog(w, Dialog::OutFile);
    outfile_set_text(w, "r.out");
    outfile_pick_short(w);
    EXPECT_EQ(w.outfile.PrintVerbosity, "SHORT");
    outfile_pick_long(w);
    EXPECT_EQ(w.outfile.PrintVerbosity, "LONG");
    EXPECT_TRUE(w.outfile.optOut2 && !w.outfile.optOut1);
    outfile_save(w);
    EXPECT_EQ(w.outfile.Outfile, "r.out");
    format_set_text(w, "(10F1.0)");
    format_save(w);
    EXPECT_EQ(w.format.strFORTRANFormat, "(10F1.0)");
    EXPECT_TRUE(w.build.marks[static_cast<int>(Dialog::Format)]);
    EXPECT_TRUE(w.build.marks[static_cast<int>(Dialog::OutFile)]);
}

}  // namespace
}  // namespace orv::frontend
