// Shows the front end's windows one at a time for scripts/screenshots/screenshots.sh:
// for each it prints "SHOT <name> <X window id>" and waits for a line on
// standard input (the script's signal that the picture is taken) before it
// goes on.  Every window is reached the way a user reaches it: File > Build,
// the hub's buttons, picks and typing through the wizard's handlers.
#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <iostream>
#include <string>

#include "frontend/widgets/about.h"
#include "frontend/widgets/browser.h"
#include "frontend/widgets/dialogs.h"
#include "frontend/widgets/hub.h"
#include "frontend/widgets/principal_window.h"

namespace {

using namespace orv::frontend;

// Answers the questions a handler asks without a window of its own.
struct QuietPrompts : Prompts {
    void message(const std::string&, const std::string&) override {}
    std::string input(const std::string&, const std::string&) override { return "guess.cpr"; }
    std::optional<std::string> open_file(const std::string&, const std::string&) override {
        return "/home/user/my data/items.dat";
    }
    std::optional<std::string> save_file(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    Unsaved ask_unsaved(const std::string&, const std::string&) override { return Unsaved::Discard; }
    bool print_dialog(QPrinter&, bool) override { return false; }
    void page_setup(QPrinter&) override {}
};

void shot(QWidget* w, const char* name) {
    w->show();
    w->raise();
    (void)QTest::qWaitForWindowExposed(w);
    QTest::qWait(300);
    std::cout << "SHOT " << name << ' ' << w->winId() << std::endl;
    std::string line;
    std::getline(std::cin, line);
}

void click(QWidget* w, const char* button) { w->findChild<QPushButton*>(button)->click(); }

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QuietPrompts prompts;
    PrincipalWindow window(&prompts);
    window.show();
    shot(&window, "principal-empty");

    WizardWindows& wizard = window.wizard();
    for (QAction* a : window.findChildren<QAction*>())
        if (a->objectName() == "mnuFileBuild") a->trigger();
    HubWindow* hub = wizard.hub();
    shot(hub, "hub");

    struct Step {
        const char* button;
        Dialog dialog;
        const char* name;
    };
    const Step steps[] = {
        {"cmdComments", Dialog::Comments, "comments"}, {"cmdTitle", Dialog::Title, "title"},
        {"cmdData", Dialog::Data, "data"},             {"cmdOutFile", Dialog::OutFile, "outfile"},
        {"cmdMetric", Dialog::Metric, "metric"},       {"cmdModel", Dialog::Model, "model"},
        {"Command1", Dialog::Rotate, "rotate"},        {"cmdScore", Dialog::Score, "score-closed"},
        {"cmdPlot", Dialog::Plot, "plot"},             {"cmdTechnical", Dialog::Technical, "technical"},
        {"cmdFormat", Dialog::Format, "format"},
    };
    for (const Step& s : steps) {
        click(hub, s.button);
        shot(wizard.existing(s.dialog), s.name);
        wizard.closed(s.dialog);
    }

    // States the lists lead to.
    Wizard& w = wizard.model();
    click(hub, "cmdModel");
    model_pick(w, Lists::model[0]);
    wizard.sync();
    shot(wizard.existing(Dialog::Model), "model-cmt");
    wizard.closed(Dialog::Model);

    click(hub, "Command1");
    rotate_pick(w, Lists::rotate[4]);
    wizard.sync();
    shot(wizard.existing(Dialog::Rotate), "rotate-oblimin");
    wizard.closed(Dialog::Rotate);

    click(hub, "cmdMetric");
    metric_set_text(w, MetricList::Metric, Lists::metric[0]);
    metric_set_text(w, MetricList::DataType, Lists::data_type[0]);
    wizard.sync();
    click(wizard.existing(Dialog::Metric), "cmdMetric");
    click(hub, "cmdScore");
    shot(wizard.existing(Dialog::Score), "score-open");
    wizard.closed(Dialog::Score);

    click(hub, "cmdTechnical");
    technical_pick(w, Technical::Output, "True");
    wizard.sync();
    click(wizard.existing(Dialog::Technical), "cmdTechnical");
    shot(wizard.existing(Dialog::OutMatrix), "outmatrix");
    wizard.closed(Dialog::OutMatrix);

    // A few answers saved: the hub with its step marks, the whole screen.
    click(hub, "cmdTitle");
    title_set_text(w, "Twelve continuous items");
    click(wizard.existing(Dialog::Title), "cmdTitleSave");
    click(hub, "cmdData");
    click(wizard.existing(Dialog::Data), "cmdDataFile");
    click(wizard.existing(Dialog::Data), "cmdSaveData");
    shot(hub, "hub-marked");

    click(hub, "cmdEnd");
    shot(&window, "principal-built");

    ManualBrowser* browser = window.browser();
    browser->present();
    shot(browser, "browser");
    browser->view()->setSource(QUrl("commands.html"));
    shot(browser, "browser-commands");
    browser->hide();

    AboutBox about(prompts, &window);
    shot(&about, "about");
    return 0;
}
