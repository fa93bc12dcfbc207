// The wizard's real widgets, driven headless (QT_QPA_PLATFORM=offscreen):
// typing, picking and clicking in each dialog reach the model, the model's
// state shows in the widgets, and BUILD puts the text into the principal
// window.  Also the manual browser and the about box.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include "fakes.h"
#include "shell_fakes.h"
#include "frontend/widgets/about.h"
#include "frontend/widgets/browser.h"
#include "frontend/widgets/dialogs.h"
#include "frontend/widgets/hub.h"
#include "frontend/widgets/principal_window.h"
#include "frontend/widgets/qt_prompts.h"

// Readable QStrings in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace orv::frontend {
namespace {


template <typename T>
T* child(QWidget* w, const char* name) {
    T* c = w->findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// A caption as the user sees it: without its mnemonic's "&".
QString shown(QString caption) { return caption.remove(QRegularExpression("&(?!&)")); }

void click(QWidget* w, const char* button) { QTest::mouseClick(child<QPushButton>(w, button), Qt::LeftButton); }

// Clicks an option button or check box on its indicator.
void tick(QWidget* w, const char* name) {
    auto* b = child<QAbstractButton>(w, name);
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
}

// The next widget that the Tab key reaches.
QWidget* next_tab(QWidget* w) {
    do w = w->nextInFocusChain();
    while (!(w->focusPolicy() & Qt::TabFocus));
    return w;
}

void type(QWidget* w, const char* box, const QString& text) {
    auto* e = child<QLineEdit>(w, box);
    e->setFocus();
    e->selectAll();
    QTest::keyClick(e, Qt::Key_Delete);
    QTest::keyClicks(e, text);
}

void type_combo(QWidget* w, const char* box, const QString& text) {
    auto* c = child<QComboBox>(w, box);
    c->lineEdit()->selectAll();
    QTest::keyClick(c->lineEdit(), Qt::Key_Delete);
    QTest::keyClicks(c->lineEdit(), text);
}

// Picks a list item as the user does from the open list.
void pick(QWidget* w, const char* box, const QString& item) {
    auto* c = child<QComboBox>(w, box);
    const int index = c->findText(item);
    ASSERT_GE(index, 0) << item.toStdString();
    c->setCurrentIndex(index);
    emit c->activated(index);
}

class Widgets : public ::testing::Test {
protected:
    Widgets() : window(&prompts) {}
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    WizardWindows& wizard() { return window.wizard(); }
    QWidget* hub() { return wizard().existing_hub(); }
    QWidget* open(const char* button, Dialog d) {
        click(hub(), button);
        QWidget* w = wizard().existing(d);
        EXPECT_NE(w, nullptr);
        EXPECT_TRUE(w && w->isVisible());
        return w;
    }
    QString mark(const char* name) { return child<QLabel>(hub(), name)->text(); }
    void file_build() {
        for (QAction* a : window.findChildren<QAction*>())
            if (a->objectName() == "mnuFileBuild") a->trigger();
    }

    testing::FakeShellPrompts prompts;
    PrincipalWindow window;
};

TEST_F(Widgets, HubShownCentredByFileBuild) {
    window.set_text("old");
    file_build();
    ASSERT_NE(hub(), nullptr);
    EXPECT_TRUE(hub()->isVisible());
    EXPECT_EQ(hub()->windowTitle(), "Orvalis 2.0");
    EXPECT_EQ(window.text(), "");
    const QRect screen = hub()->screen()->availableGeometry();
    EXPECT_LE(std::abs(hub()->frameGeometry().center().x() - screen.center().x()), 2);
    EXPECT_LE(std::abs(hub()->frameGeometry().center().y() - screen.center().y()), 2);
    const char* captions[][2] = {{"cmdComments", "Comments"}, {"cmdTitle", ">TITLE:"},   {"cmdData", ">DATA:"},
                                 {"cmdOutFile", ">OUTFILE:"}, {"cmdMetric", ">METRIC:"}, {"cmdModel", ">MODEL:"},
                                 {"Command1", ">ROTATE:"},    {"cmdScore", ">SCORE:"},   {"cmdPlot", ">PLOT:"},
                                 {"cmdTechnical", ">TECHNICAL:"}, {"cmdFormat", ">FORMAT:"}, {"cmdEnd", "BUILD"},
                                 {"Command2", "CANCEL"}};
    // Each button with a mnemonic of its own, the captions as they were.
    QString letters;
    for (const auto& [name, caption] : captions) {
        const QString text = child<QPushButton>(hub(), name)->text();
        EXPECT_EQ(shown(text), caption);
        const qsizetype amp = text.indexOf('&');
        ASSERT_GE(amp, 0) << name;
        EXPECT_FALSE(letters.contains(text[amp + 1].toUpper())) << name;
        letters += text[amp + 1].toUpper();
    }
    // Tab order: the left column, BUILD, the middle column, CANCEL.
    QWidget* w = child<QPushButton>(hub(), "cmdModel");
    EXPECT_EQ(next_tab(w)->objectName(), "cmdEnd");
    EXPECT_EQ(next_tab(next_tab(w))->objectName(), "Command1");
    EXPECT_EQ(next_tab(child<QPushButton>(hub(), "cmdFormat"))->objectName(), "Command2");
    EXPECT_EQ(mark("lblBuildTitle"), "");
    // The wizard's windows do not keep the program running.
    EXPECT_FALSE(hub()->testAttribute(Qt::WA_QuitOnClose));
    EXPECT_FALSE(open("cmdTitle", Dialog::Title)->testAttribute(Qt::WA_QuitOnClose));
    // CANCEL hides it and keeps everything.
    click(hub(), "Command2");
    EXPECT_FALSE(hub()->isVisible());
}

TEST_F(Widgets, EachDialogOnceCentredHiddenOnSaveWithItsMark) {
    file_build();
    QWidget* title = open("cmdTitle", Dialog::Title);
    EXPECT_EQ(title->windowTitle(), "TITLE");
    type(title, "TitleText", "My job");
    click(title, "cmdTitleSave");
    EXPECT_FALSE(title->isVisible());
    EXPECT_EQ(mark("lblBuildTitle"), "*");
    // The same window comes back with what it held.
    EXPECT_EQ(open("cmdTitle", Dialog::Title), title);
    EXPECT_EQ(child<QLineEdit>(title, "TitleText")->text(), "My job");
    // Closed with the close box: hidden, kept, no mark.
    file_build();
    EXPECT_EQ(mark("lblBuildTitle"), "");
    title->close();
    EXPECT_FALSE(title->isVisible());
    EXPECT_FALSE(dialog_visible(wizard().model(), Dialog::Title));
    EXPECT_EQ(open("cmdTitle", Dialog::Title), title);
}

TEST_F(Widgets, CommentsTypedOnSeveralLines) {
    file_build();
    QWidget* d = open("cmdComments", Dialog::Comments);
    auto* box = child<QPlainTextEdit>(d, "txbxComments");
    box->setFocus();
    QTest::keyClicks(box, "one");
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClicks(box, "two");
    click(d, "cmdSave");
    EXPECT_EQ(wizard().model().comments.lines, "*one \r\n*two \r\n");
    EXPECT_EQ(mark("lblBuildComments"), "*");
}

TEST_F(Widgets, DataFileChosenWithTheButtonOnly) {
    file_build();
    QWidget* d = open("cmdData", Dialog::Data);
    auto* file = child<QLineEdit>(d, "txbxbDataFilename");
    EXPECT_TRUE(file->isReadOnly());
    QTest::keyClicks(file, "/typed/path.dat");
    EXPECT_EQ(file->text(), "");
    prompts.files.push_back("/chosen/my data.dat");
    click(d, "cmdDataFile");
    EXPECT_EQ(file->text(), "/chosen/my data.dat");
    type(d, "txtbxNumVar", "12");
    type(d, "txtbxNumSub", "300");
    click(d, "cmdSaveData");
    EXPECT_EQ(wizard().model().data.variables, "12");
    EXPECT_EQ(wizard().model().data.subjects, "300");
    // After a reset the box still shows the file that is written.
    file_build();
    EXPECT_EQ(file->text(), "/chosen/my data.dat");
    EXPECT_EQ(child<QLineEdit>(d, "txtbxNumVar")->text(), "");
}

TEST_F(Widgets, ReportNameAndLength) {
    file_build();
    QWidget* d = open("cmdOutFile", Dialog::OutFile);
    EXPECT_EQ(d->windowTitle(), "Output");
    EXPECT_FALSE(child<QRadioButton>(d, "optOut1")->isChecked());
    EXPECT_FALSE(child<QRadioButton>(d, "optOut2")->isChecked());
    type(d, "txbxOutFile", "r.out");
    tick(d, "optOut1");
    click(d, "cmdSaveOutfile");
    EXPECT_EQ(wizard().model().outfile.report, "r.out");
    EXPECT_EQ(wizard().model().outfile.verbosity, Verbosity::Short);
}

TEST_F(Widgets, MetricListsTypedAndPickedAndTheGuessingFile) {
    file_build();
    QWidget* d = open("cmdMetric", Dialog::Metric);
    auto* m1 = child<QComboBox>(d, "cboMetric1");
    EXPECT_EQ(m1->currentText(), "Di  Dichotomous ");
    EXPECT_EQ(m1->count(), 6);
    // Enter in an editable list adds nothing: it saves the dialog.
    type_combo(d, "cboMetric1", "XX");
    QTest::keyClick(m1->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(m1->count(), 6);
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(wizard().model().metric.metric, "XX");
    open("cmdMetric", Dialog::Metric);
    pick(d, "cboMetric1", "DC  Dichotomous corrected for guessing ");
    pick(d, "cboMetric2", "RAW    Item response Data  ");
    prompts.answers.push_back("c file.cpr");
    click(d, "cmdMetric");
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(prompts.asked.back(), "Please enter the name of the file with the IRT c parameters");
    const MetricForm& m = wizard().model().metric;
    EXPECT_EQ(m.metric + "|" + m.data_type + "|" + m.smoothing, "DC|RAW |SM");
    EXPECT_EQ(m.guessing_file, "c file.cpr");
    EXPECT_EQ(mark("lblBuildMetric"), "*");
}

TEST_F(Widgets, ModelListOpensAndClosesTheDimensions) {
    file_build();
    QWidget* d = open("cmdModel", Dialog::Model);
    auto* dims = child<QLineEdit>(d, "txbModel");
    EXPECT_TRUE(child<QRadioButton>(d, "optLabel1")->isChecked());
    EXPECT_TRUE(child<QRadioButton>(d, "optSortYes")->isChecked());
    pick(d, "cboModel1", "CMT  compute correlation matrix ");
    EXPECT_EQ(dims->text(), "0");
    EXPECT_FALSE(dims->isEnabled());
    EXPECT_EQ(dims->palette().color(QPalette::Disabled, QPalette::Base), QColor(192, 255, 255));
    pick(d, "cboModel1", "PCA  principal components ");
    EXPECT_TRUE(dims->isEnabled());
    type(d, "txbModel", "3");
    tick(d, "optLabel2");
    tick(d, "optSortNo");
    click(d, "cmdModel");
    const ModelForm& m = wizard().model().model;
    EXPECT_EQ(m.model + " " + m.dimensions, "PCA 3");
    EXPECT_EQ(m.labels, Labels::Generated);
    EXPECT_EQ(m.sorting, Sorting::Unsorted);
    // The reset shows PFA again and opens the box.
    pick(d, "cboModel1", "CMT  compute correlation matrix ");
    file_build();
    EXPECT_EQ(child<QComboBox>(d, "cboModel1")->currentText(), "PFA  pricipal axes factor analysis ");
    EXPECT_TRUE(dims->isEnabled());
    EXPECT_EQ(dims->text(), "1");
    EXPECT_TRUE(child<QRadioButton>(d, "optLabel1")->isChecked());
}

TEST_F(Widgets, RotationParameterWithADecimalPointInAnyLocale) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    file_build();
    QWidget* d = open("Command1", Dialog::Rotate);
    auto* parameter = child<QLineEdit>(d, "txbxRot");
    EXPECT_FALSE(parameter->isVisible());
    // An item's text typed and entered is no pick: no prompt, no parameter;
    // Enter saves the dialog.
    type_combo(d, "cmbRot", "Promax");
    QTest::keyClick(child<QComboBox>(d, "cmbRot")->lineEdit(), Qt::Key_Return);
    EXPECT_FALSE(parameter->isVisibleTo(d));
    EXPECT_EQ(child<QLabel>(d, "lblRot")->text(), "");
    EXPECT_EQ(child<QComboBox>(d, "cmbRot")->count(), 6);
    EXPECT_EQ(wizard().model().rotate.rotation_box, "Promax");
    EXPECT_FALSE(d->isVisible());
    open("Command1", Dialog::Rotate);
    pick(d, "cmbRot", "HK  Harris-Kaiser ortho-oblique");
    EXPECT_TRUE(parameter->isVisible());
    EXPECT_EQ(parameter->text(), "0.5");
    EXPECT_TRUE(child<QLabel>(d, "lblRot")->text().startsWith("Please enter a real-valued number between 0.00"));
    pick(d, "cmbRot", "Promax");
    EXPECT_EQ(parameter->text(), "3");
    type(d, "txbxRot", "4");
    click(d, "cmdRotate");
    EXPECT_EQ(wizard().model().rotate.rotation, Rotation::Promax);
    EXPECT_EQ(wizard().model().rotate.parameter, "4");
    open("Command1", Dialog::Rotate);
    pick(d, "cmbRot", "Varimax");
    EXPECT_FALSE(parameter->isVisible());
}

TEST_F(Widgets, ScoreChoiceFollowsTheMetricEachTimeItIsShown) {
    file_build();
    QWidget* s = open("cmdScore", Dialog::Score);
    auto* score = child<QComboBox>(s, "cmbScore");
    EXPECT_FALSE(score->isEnabled());
    EXPECT_TRUE(child<QLabel>(s, "lblScoreMsg")->isVisible());
    click(s, "cmdScore");
    EXPECT_EQ(wizard().model().score.method, ScoreMethod::None);
    QWidget* m = open("cmdMetric", Dialog::Metric);
    pick(m, "cboMetric1", "CO  Continuous ");
    pick(m, "cboMetric2", "RAW    Item response Data  ");
    click(m, "cmdMetric");
    open("cmdScore", Dialog::Score);
    EXPECT_TRUE(score->isEnabled());
    EXPECT_FALSE(child<QLabel>(s, "lblScoreMsg")->isVisible());
    pick(s, "cmbScore", "REG:   Thurstone's regression method");
    click(s, "cmdScore");
    EXPECT_EQ(wizard().model().score.method, ScoreMethod::Regression);
}

TEST_F(Widgets, PlotTypedOrPicked) {
    file_build();
    QWidget* d = open("cmdPlot", Dialog::Plot);
    EXPECT_EQ(child<QComboBox>(d, "cboPlot")->currentText(), "NONE");
    pick(d, "cboPlot", "Scores");
    click(d, "cmdMetric");
    EXPECT_EQ(wizard().model().plot.choice, "Scores");
    open("cmdPlot", Dialog::Plot);
    type_combo(d, "cboPlot", "Loadings");
    click(d, "cmdMetric");
    EXPECT_EQ(wizard().model().plot.choice, "Loadings");
}

TEST_F(Widgets, TechnicalPageWidthCapAndTheOutputMatrices) {
    file_build();
    QWidget* d = open("cmdTechnical", Dialog::Technical);
    EXPECT_EQ(child<QLineEdit>(d, "Text3")->text(), "0.00001");
    type(d, "Text8", "121");
    click(d, "cmdTechnical");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].second, "Maximum column width = 120");
    EXPECT_EQ(child<QLineEdit>(d, "Text8")->text(), "120");
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(mark("lblBuildTechnical"), "");
    pick(d, "cboTech3", "True");
    EXPECT_EQ(wizard().model().technical.value(Technical::Output), "F");  // a pick stores nothing yet
    click(d, "cmdTechnical");
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(mark("lblBuildTechnical"), "*");
    QWidget* out = wizard().existing(Dialog::OutMatrix);
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(out->isVisible());
    tick(out, "chkCOR");
    tick(out, "chkFAC");
    click(out, "cmdOutMatrix");
    EXPECT_FALSE(out->isVisible());
    EXPECT_EQ(wizard().model().outmatrix.saved, (std::array<bool, kMatrices>{true, false, false, true, false}));
    // The reset unticks COR only.
    file_build();
    EXPECT_FALSE(child<QCheckBox>(out, "chkCOR")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(out, "chkFAC")->isChecked());
    EXPECT_EQ(child<QComboBox>(d, "cboTech3")->currentText(), "False");
}

TEST_F(Widgets, WholeJobBuiltIntoThePrincipalWindow) {
    window.state().run_allowed = true;  // as after File > Save: the build takes it away
    file_build();
    QWidget* t = open("cmdTitle", Dialog::Title);
    type(t, "TitleText", "Widgets");
    click(t, "cmdTitleSave");
    QWidget* d = open("cmdData", Dialog::Data);
    prompts.files.push_back("/d/x.dat");
    click(d, "cmdDataFile");
    type(d, "txtbxNumVar", "6");
    type(d, "txtbxNumSub", "100");
    click(d, "cmdSaveData");
    QWidget* o = open("cmdOutFile", Dialog::OutFile);
    type(o, "txbxOutFile", "x.out");
    tick(o, "optOut2");
    click(o, "cmdSaveOutfile");
    QWidget* m = open("cmdMetric", Dialog::Metric);
    pick(m, "cboMetric1", "OR  Ordered Polytomous ");
    pick(m, "cboMetric2", "RAW    Item response Data  ");
    pick(m, "cboMetric3", "NS    Do not smooth the correlation matrix ");
    click(m, "cmdMetric");
    QWidget* mo = open("cmdModel", Dialog::Model);
    type(mo, "txbModel", "2");
    tick(mo, "optLabel2");
    click(mo, "cmdModel");
    QWidget* r = open("Command1", Dialog::Rotate);
    pick(r, "cmbRot", "Oblimin");
    click(r, "cmdRotate");
    QWidget* s = open("cmdScore", Dialog::Score);
    click(s, "cmdScore");
    QWidget* f = open("cmdFormat", Dialog::Format);
    type(f, "txtFormat", "(A4,6F1.0)");
    click(f, "cmdFormat");
    click(hub(), "cmdEnd");
    EXPECT_FALSE(hub()->isVisible());
    EXPECT_FALSE(window.state().run_allowed);
    EXPECT_EQ(window.text(),
              ">TITLE: Widgets\r\n"
              ">DATA: /d/x.dat 6  100 \r\n"
              ">OUTFILE:  x.out LONG \r\n"
              ">METRIC: OR RAW  NS \r\n"
              ">MODEL: PFA 2  NOLABELS SORT \r\n"
              ">ROTATE: Oblimin 0 \r\n"
              ">SCORE: NOSCORE \r\n"
              ">PLOT: None \r\n"
              ">TECHNICAL: 0.0001 200 0.00001 200 T 0.2 ONE 120 F \r\n"
              ">FORMAT: (A4,6F1.0) \r\n"
              ">LABELS: ");
    EXPECT_TRUE(prompts.messages.empty());
    // The editor holds the lines unwrapped in the fixed-pitch font.
    EXPECT_EQ(window.editor()->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(window.editor()->font().family(), "Courier New");
}

TEST_F(Widgets, FirstBuildFromTheHubWithTheReminder) {
    file_build();
    bool hub_behind_reminder = true;
    prompts.on_message = [&] { hub_behind_reminder = hub()->isVisible(); };
    click(hub(), "cmdEnd");
    EXPECT_FALSE(hub_behind_reminder);
    EXPECT_EQ(window.text(),
              ">TITLE: \r\n>DATA:     \r\n>OUTFILE:    \r\n>METRIC:    \r\n>MODEL: PFA 1  LABELS SORT \r\n"
              ">ROTATE:   \r\n>SCORE:  \r\n>PLOT: None \r\n>TECHNICAL: 0.0001 200 0.00001 200 T 0.2 ONE 120 F \r\n"
              ">FORMAT:  \r\n>LABELS: ");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0], std::make_pair(std::string("WinOrvalis Reminder"),
                                                  std::string("Remember to input Variable Labels")));
    // The build opens no dialog window.
    EXPECT_EQ(wizard().existing(Dialog::Score), nullptr);
    EXPECT_FALSE(hub()->isVisible());
}

// A key pressed as the user presses it: to whatever in W has the keyboard.
void press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(w->window()->windowHandle(), key, modifiers);
}

TEST_F(Widgets, KeyboardAsInQtDialogs) {
    // Shown, the hub and each dialog give the keyboard to their first field.
    file_build();
    EXPECT_EQ(hub()->focusWidget(), child<QPushButton>(hub(), "cmdComments"));
    QWidget* t = open("cmdTitle", Dialog::Title);
    auto* title = child<QLineEdit>(t, "TitleText");
    EXPECT_EQ(t->focusWidget(), title);
    // Enter presses Save, the default button.
    QTest::keyClicks(title, "Keys");
    press(t, Qt::Key_Return);
    EXPECT_FALSE(t->isVisible());
    EXPECT_EQ(mark("lblBuildTitle"), "*");
    EXPECT_EQ(wizard().model().title.text, "Keys");
    EXPECT_EQ(shown(child<QPushButton>(t, "cmdTitleSave")->text()), "Save");
    // Esc closes as the close box does: nothing stored, no mark; also from
    // a list box, where Enter saves.
    QWidget* r = open("Command1", Dialog::Rotate);
    auto* rotation = child<QComboBox>(r, "cmbRot");
    EXPECT_EQ(r->focusWidget(), rotation);
    pick(r, "cmbRot", "Varimax");
    press(r, Qt::Key_Escape);
    EXPECT_FALSE(r->isVisible());
    EXPECT_EQ(wizard().model().rotate.rotation, std::nullopt);
    EXPECT_EQ(mark("lblBuildRotate"), "");
    EXPECT_EQ(open("Command1", Dialog::Rotate)->focusWidget(), rotation);
    press(r, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(r->isVisible());
    EXPECT_EQ(wizard().model().rotate.rotation, Rotation::Varimax);
    EXPECT_EQ(mark("lblBuildRotate"), "*");
    // A typed item and Enter: saved as typed, no pick, nothing added.
    open("Command1", Dialog::Rotate);
    rotation->lineEdit()->selectAll();
    for (char key : std::string("Promax")) QTest::keyClick(r->windowHandle(), key);
    press(r, Qt::Key_Return);
    EXPECT_FALSE(r->isVisible());
    EXPECT_EQ(wizard().model().rotate.rotation, Rotation::Promax);
    EXPECT_EQ(wizard().model().rotate.prompt, "");
    EXPECT_EQ(rotation->count(), 6);
    // In the comments box Enter starts a line and Tab goes on to Save.
    QWidget* c = open("cmdComments", Dialog::Comments);
    auto* comments = child<QPlainTextEdit>(c, "txbxComments");
    EXPECT_EQ(c->focusWidget(), comments);
    for (char key : std::string("one")) QTest::keyClick(c->windowHandle(), key);
    press(c, Qt::Key_Return);
    press(c, Qt::Key_Tab);
    EXPECT_TRUE(c->isVisible());
    EXPECT_EQ(comments->toPlainText(), "one\n");
    EXPECT_EQ(c->focusWidget(), child<QPushButton>(c, "cmdSave"));
    press(c, Qt::Key_Return);
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(wizard().model().comments.lines, "*one \r\n* \r\n");
    // Esc on the hub is its CANCEL.
    press(hub(), Qt::Key_Escape);
    EXPECT_FALSE(hub()->isVisible());
    EXPECT_EQ(mark("lblBuildComments"), "*");
}

TEST_F(Widgets, ManualBrowserPagesAndAddressList) {
    ManualBrowser* b = window.browser();
    b->present();
    EXPECT_EQ(b->windowTitle(), "Orvalis 2.0 Manual");
    EXPECT_EQ(b->view()->source().toString(), kManualStart);
    EXPECT_TRUE(b->view()->toPlainText().contains("Running a job"));
    // A link to another page, then back.
    b->view()->setSource(QUrl("commands.html"));
    EXPECT_EQ(b->windowTitle(), "The command file");
    EXPECT_TRUE(b->view()->toPlainText().contains("HYPER_WIDTH"));
    EXPECT_EQ(b->address()->itemText(0), "qrc:/manual/commands.html");
    for (QAction* a : b->findChildren<QAction*>())
        if (a->objectName() == "Back") a->trigger();
    EXPECT_EQ(b->view()->source().toString(), kManualStart);
    // Enter in the address box goes to the manual's folder whatever it says.
    QComboBox* address = b->address();
    address->lineEdit()->setText("http://elsewhere.example/");
    QTest::keyClick(address->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(b->view()->source().toString(), kManualFolder);
    EXPECT_TRUE(b->view()->toPlainText().contains("Contents"));
    EXPECT_EQ(address->itemText(0), kManualFolder);
    // Visiting it again leaves one entry for it, at the top.
    emit address->activated(1);
    int entries = 0;
    for (int i = 0; i < address->count(); ++i) entries += address->itemText(i) == kManualFolder;
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(address->itemText(0), kManualFolder);
    EXPECT_EQ(address->currentIndex(), 0);
    EXPECT_FALSE(b->testAttribute(Qt::WA_QuitOnClose));
    // Shown again: the same window, not reloaded.
    b->present();
    EXPECT_EQ(window.browser(), b);
    EXPECT_EQ(b->view()->source().toString(), kManualFolder);
}

TEST_F(Widgets, AboutBoxNamesTheProgramAndHasNoSystemInformation) {
    AboutBox about(prompts, &window);
    EXPECT_EQ(about.windowTitle(), "Orvalis 2.0");
    EXPECT_TRUE(about.isModal());
    EXPECT_EQ(child<QLabel>(&about, "lblTitle")->text(), "Orvalis");
    EXPECT_EQ(child<QLabel>(&about, "lblVersion")->text(), "Version 2.0.1");
    click(&about, "cmdSysInfo");
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].second, "System Information Is Unavailable At This Time");
    about.show();
    click(&about, "cmdOK");
    EXPECT_FALSE(about.isVisible());
}

// The questions the wizard asks, as the user sees them.
TEST(QtPromptsTest, MessageInputAndFileFilters) {
    QWidget owner;
    QtPrompts prompts(&owner);
    QString seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = box->windowTitle() + "|" + box->text();
        EXPECT_EQ(box->buttons().size(), 1);
        box->button(QMessageBox::Ok)->click();
    });
    prompts.message("WinOrvalis Warning!", "Maximum column width = 120");
    EXPECT_EQ(seen, "WinOrvalis Warning!|Maximum column width = 120");

    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        seen = dialog->windowTitle() + "|" + dialog->labelText();
        dialog->setTextValue("c params.cpr");
        dialog->accept();
    });
    EXPECT_EQ(prompts.input("Please enter the name of the file with the IRT c parameters", "Orvalis"), "c params.cpr");
    EXPECT_EQ(seen, "Orvalis|Please enter the name of the file with the IRT c parameters");
    // Cancel gives an empty answer, whatever was typed.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->setTextValue("typed");
        dialog->reject();
    });
    EXPECT_EQ(prompts.input("Prompt", "Orvalis"), "");

    EXPECT_EQ(qt_filter("ORVAL Data (*.dat)|*.dat|All Files (*.*)|*.*"), "ORVAL Data (*.dat);;All Files (*)");
    EXPECT_EQ(qt_filter("ORVAL Input (*.in)|*.in|OV Output (*.out)|*.out|All Files (*.*)|*.*"),
              "ORVAL Input (*.in);;OV Output (*.out);;All Files (*)");
    EXPECT_EQ(qt_filter("Texts|*.txt;*.text"), "Texts (*.txt *.text)");
}

}  // namespace
}  // namespace orv::frontend
