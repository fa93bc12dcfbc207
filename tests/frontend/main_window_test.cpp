// The main window, headless (QT_QPA_PLATFORM=offscreen): its menus, toolbar
// and status bar, the document windows, the file, print and clipboard
// commands, the questions before changed text is lost, the stored placement,
// and File > Run against a stand-in engine and the real one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPageSetupDialog>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <memory>

#include "fakes.h"
#include "frontend/placement.h"
#include "frontend/shell.h"
#include "frontend/widgets/document_window.h"
#include "frontend/widgets/hub.h"
#include "frontend/widgets/main_window.h"
#include "shell_fakes.h"

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace orv::frontend {
namespace {

using testing::FakeShellPrompts;

QByteArray read_all(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void write_file(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

QString plain(const DocumentWindow* d) { return d->editor()->toPlainText(); }

// Each test starts in a fresh directory whose name has a blank, with the
// settings store in a directory of its own.
class Shell : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        saved_cwd = QDir::currentPath();
        QDir::setCurrent(dir.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.filePath("settings"));
        make_window();
    }
    void TearDown() override {
        window.reset();
        QDir::setCurrent(saved_cwd);
    }
    void make_window() {
        window.reset();
        window = std::make_unique<MainWindow>(&shell);
        window->show();
    }
    void trigger(const char* name) {
        QAction* a = window->action(name);
        ASSERT_NE(a, nullptr) << name;
        a->trigger();
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    void open(const QString& file) {
        shell.files.push_back(file.toStdString());
        trigger("mnuFileOpen");
    }
    void save_as(const char* command, const QString& file) {
        shell.files.push_back(file.toStdString());
        trigger(command);
    }
    bool runnable() { return window->state().run_allowed; }
    DocumentWindow* principal() { return window->existing_principal(); }

    QTemporaryDir dir{QDir::tempPath() + "/orv shell-XXXXXX"};
    QString saved_cwd;
    FakeShellPrompts shell;
    std::unique_ptr<MainWindow> window;
};

// ---- The frame ---------------------------------------------------------------

TEST_F(Shell, MenusWithShortcutsAndTheToolbarSharingTheirActions) {
    EXPECT_EQ(window->windowTitle(), "Orvalis 2.0");
    QStringList menus;
    for (QAction* m : window->menuBar()->actions()) menus << m->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&Help"}));
    const auto items = [&](int i) {
        QStringList out;
        for (QAction* a : window->menuBar()->actions()[i]->menu()->actions())
            out << (a->isSeparator() ? "-" : a->text() + (a->shortcut().isEmpty() ? "" : " " + a->shortcut().toString()));
        return out;
    };
    EXPECT_EQ(items(0), (QStringList{"&New Ctrl+N", "&Open... Ctrl+O", "&Close", "-", "&Build Ctrl+B", "&Run Ctrl+R",
                                     "-", "&Save", "Save &As...", "-", "Page Set&up...", "&Print...", "-", "&Exit",
                                     "-"}));
    EXPECT_EQ(items(1), (QStringList{"Cu&t Ctrl+X", "&Copy Ctrl+C", "&Paste Ctrl+V"}));
    EXPECT_EQ(items(2), (QStringList{"&Online Manual", "&About "}));

    auto* bar = window->findChild<QToolBar*>("tbToolBar");
    ASSERT_NE(bar, nullptr);
    QStringList keys;
    for (QAction* a : bar->actions()) keys << (a->isSeparator() ? "-" : a->toolTip());
    EXPECT_EQ(keys, (QStringList{"New", "Open", "Save", "-", "Print", "-", "Cut", "Copy", "Paste"}));
    EXPECT_EQ(bar->actions()[0], window->action("mnuFileNew"));
    EXPECT_EQ(bar->actions()[4], window->action("mnuFilePrint"));
    EXPECT_EQ(bar->actions()[8], window->action("mnuEditPaste"));
    // The toolbar's New makes a window as File > New does.
    bar->actions()[0]->trigger();
    EXPECT_EQ(window->documents().size(), 2);
}

TEST_F(Shell, StatusBarShowsStatusDateAndTime) {
    EXPECT_EQ(window->status_panel(0)->text(), "Status");
    EXPECT_EQ(window->status_panel(1)->text(), QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    // The clock ticks every second: at its next tick it shows the time.
    window->status_panel(2)->clear();
    const QTime before = QTime::currentTime();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->status_panel(2)->text().isEmpty(); }, 60000));
    const QTime after = QTime::currentTime();
    const QTime shown = QLocale().toTime(window->status_panel(2)->text(), QLocale::ShortFormat);
    ASSERT_TRUE(shown.isValid()) << window->status_panel(2)->text().toStdString();
    if (after > before) {  // not across midnight
        EXPECT_GE(shown.secsTo(after), 0);
        EXPECT_LE(shown.secsTo(before), 60);  // the format may drop the seconds
    }
    EXPECT_TRUE(window->status_panel(2)->isVisible());
}

TEST_F(Shell, StartWindowIsThePrincipalOneAndExtraWindowsAreIndependent) {
    ASSERT_EQ(window->documents().size(), 1);
    DocumentWindow* first = window->documents()[0];
    EXPECT_EQ(principal(), first);
    EXPECT_EQ(first->windowTitle(), "");
    EXPECT_EQ(first->editor()->font().family(), "Courier New");
    EXPECT_DOUBLE_EQ(first->editor()->font().pointSizeF(), 9.75);
    EXPECT_EQ(first->editor()->lineWrapMode(), QPlainTextEdit::NoWrap);
    // What the user types at start is what File > Save writes.
    QTest::keyClicks(first->editor(), ">TITLE: typed");
    save_as("mnuFileSave", path("typed.in"));
    EXPECT_EQ(read_all(path("typed.in")), ">TITLE: typed");

    window->set_text(">TITLE: job\r\n");
    window->wizard().model().title.text = "answer";
    trigger("mnuFileNew");
    ASSERT_EQ(window->documents().size(), 2);
    DocumentWindow* extra = window->documents()[1];
    EXPECT_NE(extra, first);
    EXPECT_EQ(principal(), first);
    // Closing the extra window leaves the principal text and the wizard.
    extra->close();
    QApplication::processEvents();
    EXPECT_EQ(window->text(), ">TITLE: job\r\n");
    EXPECT_EQ(window->wizard().model().title.text, "answer");
    EXPECT_EQ(shell.unsaved_asked, 0);  // an extra window with nothing typed
    // Closing the principal window resets the wizard; the next command makes
    // a new principal window.
    first->close();
    QApplication::processEvents();
    EXPECT_EQ(shell.unsaved_asked, 1);  // the built text was never saved
    EXPECT_EQ(principal(), nullptr);
    EXPECT_EQ(window->wizard().model().title.text, "");
    EXPECT_TRUE(window->documents().isEmpty());
    trigger("mnuFileClose");
    ASSERT_EQ(window->documents().size(), 1);
    EXPECT_EQ(principal(), window->documents()[0]);
    // With no window open, File > Open makes one and loads the file into it.
    principal()->close();
    QApplication::processEvents();
    ASSERT_TRUE(window->documents().isEmpty());
    write_file(path("j.in"), "job");
    open(path("j.in"));
    ASSERT_EQ(window->documents().size(), 1);
    EXPECT_EQ(principal(), window->documents()[0]);
    EXPECT_EQ(plain(principal()), "job");
}

TEST_F(Shell, ReportOf130ColumnsShownWithoutWrapping) {
    const QByteArray line = QByteArray(129, '-') + "|";
    write_file(path("wide.out"), line + "\r\n" + line + "\r\n");
    open(path("wide.out"));
    QPlainTextEdit* e = principal()->editor();
    EXPECT_EQ(e->document()->blockCount(), 3);
    EXPECT_EQ(e->document()->firstBlock().layout()->lineCount(), 1);
    EXPECT_GT(e->horizontalScrollBar()->maximum(), 0);
}

// ---- Open, edit, save --------------------------------------------------------

TEST_F(Shell, OpenEditAndSaveKeepLineEndsAndMakeTheSavedFileTheJob) {
    write_file(path("dos.in"), ">TITLE: dos\r\n>DATA: d 1 1\r\n");
    open(path("dos.in"));
    EXPECT_EQ(shell.dialogs.back(), std::make_pair(std::string("Open"), std::string(kOpenFilter)));
    EXPECT_EQ(plain(principal()), ">TITLE: dos\n>DATA: d 1 1\n");
    EXPECT_TRUE(runnable());
    EXPECT_EQ(window->state().open_file, path("dos.in").toStdString());
    QPlainTextEdit* e = principal()->editor();
    e->moveCursor(QTextCursor::End);
    QTest::keyClicks(e, ">OUTFILE: r.out LONG");
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_TRUE(principal()->modified());
    save_as("mnuFileSave", path("saved dos.in"));
    EXPECT_EQ(shell.dialogs.back(), std::make_pair(std::string("Save"), std::string(kSaveFilter)));
    EXPECT_EQ(read_all(path("saved dos.in")), ">TITLE: dos\r\n>DATA: d 1 1\r\n>OUTFILE: r.out LONG\r\n");
    EXPECT_FALSE(principal()->modified());
    EXPECT_EQ(window->state().open_file, path("saved dos.in").toStdString());

    write_file(path("unix.in"), ">TITLE: unix\n");
    open(path("unix.in"));
    QTest::keyClicks(principal()->editor(), "* ");
    save_as("mnuFileSave", path("unix.in"));
    EXPECT_EQ(read_all(path("unix.in")), "* >TITLE: unix\n");
    // Save As writes but makes the job unrunnable until Open or Save.
    save_as("mnuFileSaveAs", path("copy.in"));
    EXPECT_EQ(shell.dialogs.back().first, "Save As");
    EXPECT_EQ(read_all(path("copy.in")), "* >TITLE: unix\n");
    EXPECT_FALSE(runnable());
    EXPECT_EQ(window->state().open_file, path("unix.in").toStdString());
    // A Latin-1 file comes back with its bytes.
    write_file(path("latin.in"), ">TITLE: Gr\xF6\xDF" "e\r\n");
    open(path("latin.in"));
    EXPECT_EQ(plain(principal()), QString::fromUtf8(">TITLE: Gr\xC3\xB6\xC3\x9F" "e\n"));
    save_as("mnuFileSave", path("latin.in"));
    EXPECT_EQ(read_all(path("latin.in")), ">TITLE: Gr\xF6\xDF" "e\r\n");
}

TEST_F(Shell, OddBytesSurviveOpenAndSave) {
    const QByteArray odd = QByteArray("a\rb\r\n\tc\r\n", 10) + QByteArray("\xEF\xBB\xBF bom\r\n");
    write_file(path("odd.in"), odd);
    open(path("odd.in"));
    save_as("mnuFileSave", path("odd.in"));
    EXPECT_EQ(read_all(path("odd.in")), odd);
}

TEST_F(Shell, WizardBuildAsksBeforeReplacingChangedText) {
    trigger("mnuFileBuild");
    write_file(path("mine.in"), "mine");
    open(path("mine.in"));
    QTest::keyClicks(principal()->editor(), "typed ");
    shell.unsaved = {Unsaved::Cancel};
    window->wizard().build();
    EXPECT_EQ(shell.unsaved_asked, 1);
    EXPECT_EQ(plain(principal()), "typed mine");
    window->wizard().build();  // Discard
    EXPECT_TRUE(plain(principal()).startsWith(">TITLE: "));
    EXPECT_TRUE(principal()->modified());  // the built text is not saved yet
}

TEST_F(Shell, WizardTextIsSavedWithCrLf) {
    window->set_text(">TITLE: built\r\n>LABELS: ");
    EXPECT_TRUE(principal()->modified());
    save_as("mnuFileSave", path("built.in"));
    EXPECT_EQ(read_all(path("built.in")), ">TITLE: built\r\n>LABELS: ");
    EXPECT_TRUE(runnable());
}

TEST_F(Shell, FailedOpenAndSaveShowTheReasonAndKeepTheText) {
    window->set_text(">TITLE: mine\r\n");
    open(path("missing.in"));
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_TRUE(shell.last_message().startsWith("The file could not be opened: " + path("missing.in") + ": "))
        << shell.last_message().toStdString();
    EXPECT_EQ(window->text(), ">TITLE: mine\r\n");
    EXPECT_FALSE(runnable());
    EXPECT_EQ(window->state().open_file, "");
    EXPECT_EQ(shell.unsaved_asked, 0);  // nothing was about to replace it

    save_as("mnuFileSave", path("no such dir/job.in"));
    ASSERT_EQ(shell.messages.size(), 2u);
    EXPECT_TRUE(shell.last_message().startsWith("The file could not be saved: " + path("no such dir/job.in")));
    EXPECT_EQ(window->text(), ">TITLE: mine\r\n");
    EXPECT_TRUE(principal()->modified());
    EXPECT_FALSE(runnable());
    // A name that is a folder cannot be written; the folder stays as it was.
    QDir(dir.path()).mkdir("folder.in");
    write_file(path("folder.in/inside"), "kept");
    save_as("mnuFileSave", path("folder.in"));
    ASSERT_EQ(shell.messages.size(), 3u);
    EXPECT_TRUE(shell.last_message().startsWith("The file could not be saved: " + path("folder.in") + ": "));
    EXPECT_EQ(read_all(path("folder.in/inside")), "kept");
    EXPECT_TRUE(principal()->modified());
}

TEST_F(Shell, CancelledDialogsChangeOnlyWhatSaveAsSays) {
    write_file(path("a.in"), "a");
    open(path("a.in"));
    trigger("mnuFileOpen");  // cancelled
    EXPECT_TRUE(runnable());
    EXPECT_EQ(plain(principal()), "a");
    window->set_text("built");  // the wizard's build clears the flag itself
    window->state().run_allowed = false;
    trigger("mnuFileSave");  // cancelled: still not runnable
    EXPECT_FALSE(runnable());
    trigger("mnuFileOpen");
    EXPECT_FALSE(runnable());
    EXPECT_TRUE(shell.messages.empty());
}

// ---- Print and clipboard -----------------------------------------------------

// Pages of a PDF that Qt wrote: one "/Type /Page" object each (the page
// tree is "/Type /Pages").
int pdf_pages(const QString& file) {
    const QByteArray pdf = read_all(file);
    return pdf.count("/Type /Page") - pdf.count("/Type /Pages");
}

TEST_F(Shell, PrintsTheWholeTextOrTheSelectionToPdf) {
    QByteArray text;
    for (int i = 1; i <= 200; ++i) text += "line " + QByteArray::number(i) + "\n";
    write_file(path("long.out"), text);
    open(path("long.out"));
    shell.pdf = path("all.pdf");
    trigger("mnuFilePrint");
    EXPECT_FALSE(shell.selection_offered);
    ASSERT_TRUE(QFile::exists(path("all.pdf")));
    EXPECT_TRUE(read_all(path("all.pdf")).startsWith("%PDF"));
    const int all_pages = pdf_pages(path("all.pdf"));
    EXPECT_GE(all_pages, 3);
    QTextCursor c = principal()->editor()->textCursor();
    c.movePosition(QTextCursor::Start);
    c.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, 2);
    principal()->editor()->setTextCursor(c);
    EXPECT_EQ(principal()->text_to_print(), "line 1\nline 2\n");
    shell.pdf = path("selection.pdf");
    trigger("mnuFilePrint");
    EXPECT_TRUE(shell.selection_offered);
    EXPECT_EQ(window->printer().printRange(), QPrinter::Selection);
    EXPECT_EQ(pdf_pages(path("selection.pdf")), 1);
    // Cancelled: nothing printed.
    shell.pdf.clear();
    trigger("mnuFilePrint");
    trigger("mnuFilePageSetup");
    EXPECT_EQ(shell.page_setups, 1);
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(Shell, PrintDialogsAsTheCommandsShowThem) {
    QPrinter printer;
    for (const bool selection : {false, true}) {
        QPrintDialog dialog(&printer);
        prepare_print_dialog(dialog, selection);
        EXPECT_EQ(dialog.windowTitle(), "Print");
        EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintPageRange));
        EXPECT_EQ(dialog.testOption(QAbstractPrintDialog::PrintSelection), selection);
    }
    QPageSetupDialog setup(&printer);
    prepare_page_setup(setup);
    EXPECT_EQ(setup.windowTitle(), "Page Setup");
}

TEST_F(Shell, ClipboardCommandsActOnThePrincipalWindow) {
    window->set_text("alpha beta");
    trigger("mnuFileNew");
    DocumentWindow* extra = window->documents()[1];
    extra->editor()->setPlainText("other");
    QTextCursor c = principal()->editor()->textCursor();
    c.setPosition(0);
    c.setPosition(5, QTextCursor::KeepAnchor);
    principal()->editor()->setTextCursor(c);
    trigger("mnuEditCopy");
    EXPECT_EQ(QApplication::clipboard()->text(), "alpha");
    trigger("mnuEditCut");
    EXPECT_EQ(plain(principal()), " beta");
    principal()->editor()->moveCursor(QTextCursor::End);
    trigger("mnuEditPaste");
    EXPECT_EQ(plain(principal()), " betaalpha");
    EXPECT_EQ(plain(extra), "other");
    // An empty clipboard pastes nothing and says nothing.
    QApplication::clipboard()->clear();
    trigger("mnuEditPaste");
    EXPECT_EQ(plain(principal()), " betaalpha");
    EXPECT_TRUE(shell.messages.empty());
}

// ---- Changed text ------------------------------------------------------------

TEST_F(Shell, ChangedTextIsNeverDiscardedWithoutAsking) {
    window->set_text("unsaved work");
    // Cancel keeps it through Close, Build, Open, closing the window and Exit.
    QSignalSpy exits(window.get(), &MainWindow::exit_requested);
    write_file(path("other.in"), "other");
    shell.unsaved = {Unsaved::Cancel, Unsaved::Cancel, Unsaved::Cancel, Unsaved::Cancel, Unsaved::Cancel, Unsaved::Cancel};
    trigger("mnuFileClose");
    trigger("mnuFileBuild");
    open(path("other.in"));
    principal()->close();
    trigger("Exit");
    EXPECT_EQ(shell.unsaved_asked, 5);
    EXPECT_EQ(window->text(), "unsaved work");
    EXPECT_EQ(principal(), window->documents().value(0));
    EXPECT_FALSE(window->wizard().existing_hub() && window->wizard().existing_hub()->isVisible());
    EXPECT_EQ(exits.count(), 0);
    window->close();
    EXPECT_EQ(shell.unsaved_asked, 6);
    EXPECT_TRUE(window->isVisible());
    // Save saves first, then the command goes on.
    shell.unsaved = {Unsaved::Save};
    shell.files = {path("kept.in").toStdString()};
    trigger("mnuFileClose");
    EXPECT_EQ(read_all(path("kept.in")), "unsaved work");
    EXPECT_EQ(window->text(), "");
    // A Save that is cancelled stops the command.
    window->set_text("more work");
    shell.unsaved = {Unsaved::Save};
    trigger("mnuFileBuild");
    EXPECT_EQ(window->text(), "more work");
    // Discard goes on without saving; an unchanged text asks nothing.
    const int asked = shell.unsaved_asked;
    trigger("mnuFileBuild");
    EXPECT_EQ(shell.unsaved_asked, asked + 1);
    EXPECT_EQ(window->text(), "");
    trigger("mnuFileBuild");
    EXPECT_EQ(shell.unsaved_asked, asked + 1);
    // A changed extra window asks too when the frame closes.
    trigger("mnuFileNew");
    QTest::keyClicks(window->documents()[1]->editor(), "x");
    shell.unsaved = {Unsaved::Cancel};
    window->close();
    EXPECT_TRUE(window->isVisible());
    trigger("Exit");
    EXPECT_EQ(exits.count(), 1);
}

// ---- Run refusals ------------------------------------------------------------

TEST_F(Shell, RunRefusedBeforeSaveOrOpen) {
    window->set_text(">TITLE: t\r\n>OUTFILE: r.out LONG\r\n");
    trigger("Run");
    ASSERT_EQ(shell.messages.size(), 1u);
    EXPECT_EQ(shell.messages[0], std::make_pair(std::string("Orvalis"),
                                                std::string("Before running a new command file, you must save the file "
                                                            "and then open it.")));
    // The flag without a file to run refuses as well.
    window->state().run_allowed = true;
    trigger("Run");
    EXPECT_EQ(shell.messages.size(), 2u);
    EXPECT_EQ(shell.last_message(), kRunRefusal);
    // After Save As as well.
    save_as("mnuFileSave", path("j.in"));
    save_as("mnuFileSaveAs", path("k.in"));
    trigger("Run");
    EXPECT_EQ(shell.last_message(), kRunRefusal);
    EXPECT_FALSE(window->running());
}

TEST_F(Shell, TextWithoutOutfileIsNotRun) {
    write_file(path("orvcalc"), "#!/bin/sh\ntouch ran\n");
    QFile::setPermissions(path("orvcalc"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    write_file(path("none.in"), ">TITLE: no report\r\n>DATA: d 1 1\r\n");
    open(path("none.in"));
    trigger("Run");
    EXPECT_EQ(shell.last_message(),
              "The command file " + path("none.in") + " has no >OUTFILE: line naming its report, so it is not run.");
    EXPECT_FALSE(window->running());
}

TEST_F(Shell, CommandFileGoneSinceItWasOpenedIsSaid) {
    write_file(path("gone.in"), ">OUTFILE: r.out LONG\r\n");
    open(path("gone.in"));
    QFile::remove(path("gone.in"));
    trigger("Run");
    EXPECT_TRUE(shell.last_message().startsWith("The command file could not be read: " + path("gone.in") + ": "));
    EXPECT_FALSE(window->running());
    EXPECT_EQ(plain(principal()), ">OUTFILE: r.out LONG\n");
}

TEST_F(Shell, EngineNotFoundIsSaidAndNothingRuns) {
    write_file(path("j.in"), ">OUTFILE: r.out LONG\r\n");
    open(path("j.in"));
    trigger("Run");
    EXPECT_TRUE(shell.last_message().startsWith("The engine orvcalc was not found; looked for "));
    EXPECT_TRUE(shell.last_message().contains(path("orvcalc")));
    EXPECT_FALSE(window->running());
}

// ---- Runs against a stand-in engine ------------------------------------------

class Run : public Shell {
protected:
    // A script in the start directory stands in for the engine.
    void engine(const QByteArray& body) {
        write_file(path("orvcalc"), "#!/bin/sh\n" + body);
        QFile::setPermissions(path("orvcalc"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    bool run_and_wait() {
        QSignalSpy ended(window.get(), &MainWindow::run_ended);
        trigger("Run");
        return !ended.isEmpty() || ended.wait(60000);
    }
    void job(const QString& name, const QByteArray& text) {
        write_file(path(name), text);
        open(path(name));
    }
};

TEST_F(Run, OneArgumentNoShellStartDirectoryAndTheWindowHost) {
    engine("printf '%s|' \"$#\" \"$1\" \"$(pwd)\" \"$ORVCALC_HOST\" > args.txt\n"
           "printf 'report of %s' \"$1\" > 'my report.out'\n");
    job("a job; $(x).in", ">TITLE: t\r\n>OUTFILE: 'my report.out' LONG\r\n");
    ASSERT_TRUE(run_and_wait());
    EXPECT_EQ(read_all(path("args.txt")),
              "1|" + path("a job; $(x).in").toUtf8() + "|" + dir.path().toUtf8() + "|window|");
    EXPECT_EQ(plain(principal()), "report of " + path("a job; $(x).in"));
    EXPECT_TRUE(shell.messages.empty());
    // The run leaves the job as it was: Run again at once.
    EXPECT_TRUE(runnable());
    ASSERT_TRUE(run_and_wait());
    EXPECT_TRUE(shell.messages.empty());
}

TEST_F(Run, CommandsWaitWhileTheEngineRunsAndTheWindowStaysLive) {
    // The engine runs until the test lets it end, whatever happens here.
    engine("while [ ! -e go ]; do sleep 0.05; done\necho done > r.out\n");
    struct LetItEnd {
        QString go;
        ~LetItEnd() { write_file(go, ""); }
    } let_it_end{path("go")};
    job("j.in", ">OUTFILE: r.out LONG\r\n");
    window->wizard().file_build();
    QSignalSpy ended(window.get(), &MainWindow::run_ended);
    trigger("Run");
    ASSERT_TRUE(window->running());
    for (const char* name : {"mnuFileNew", "mnuFileOpen", "Run", "mnuFileBuild", "mnuFileSave", "Exit", "mnuEditPaste"})
        EXPECT_FALSE(window->action(name)->isEnabled()) << name;
    EXPECT_FALSE(window->area()->isEnabled());
    EXPECT_FALSE(window->wizard().existing_hub()->isEnabled());
    EXPECT_TRUE(window->action("Online_Manual")->isEnabled());
    // A second Run, and closing the frame, do nothing meanwhile.
    window->run();
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(shell.last_message().contains("cannot close while orvcalc is running"));
    // The clock goes on: the window's events are handled during the run.
    window->status_panel(2)->setText("");
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->status_panel(2)->text().isEmpty(); }, 60000));
    EXPECT_TRUE(window->running());
    write_file(path("go"), "");
    ASSERT_TRUE(!ended.isEmpty() || ended.wait(60000));
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(window->action("Run")->isEnabled());
    EXPECT_TRUE(window->area()->isEnabled());
    EXPECT_TRUE(window->wizard().existing_hub()->isEnabled());
    EXPECT_EQ(plain(principal()), "done\n");
}

TEST_F(Run, ChangedTextIsSavedFirstAndTheSavedFileRuns) {
    engine("cat \"$1\" > r.out\n");
    job("old.in", ">OUTFILE: r.out LONG\r\n");
    QTest::keyClicks(principal()->editor(), "* new");
    QTest::keyClick(principal()->editor(), Qt::Key_Return);
    shell.unsaved = {Unsaved::Save};
    shell.files = {path("new.in").toStdString()};
    ASSERT_TRUE(run_and_wait());
    EXPECT_EQ(read_all(path("r.out")), "* new\r\n>OUTFILE: r.out LONG\r\n");
    EXPECT_EQ(window->state().open_file, path("new.in").toStdString());
    // Cancel: nothing runs.
    QTest::keyClicks(principal()->editor(), "x");
    shell.unsaved = {Unsaved::Cancel};
    trigger("Run");
    EXPECT_FALSE(window->running());
}

TEST_F(Run, EngineThatCannotStartLoadsNothing) {
    write_file(path("orvcalc"), "\x7f" "ELF garbage");
    QFile::setPermissions(path("orvcalc"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    write_file(path("r.out"), "an older report");
    job("j.in", ">OUTFILE: r.out LONG\r\n");
    ASSERT_TRUE(run_and_wait());
    EXPECT_TRUE(shell.last_message().startsWith("orvcalc could not be started: ")) << shell.last_message().toStdString();
    EXPECT_EQ(plain(principal()), ">OUTFILE: r.out LONG\n");
    EXPECT_FALSE(window->running());
    EXPECT_TRUE(window->action("Run")->isEnabled());
}

TEST_F(Run, SuccessWithoutANewReportSaysSo) {
    engine("exit 0\n");
    write_file(path("r.out"), "an older report");
    job("j.in", ">OUTFILE: r.out LONG\r\n");
    ASSERT_TRUE(run_and_wait());
    EXPECT_EQ(shell.last_message(), "orvcalc ended without writing the report " + path("r.out") + ".");
    EXPECT_EQ(plain(principal()), ">OUTFILE: r.out LONG\n");
}

TEST_F(Run, CrashedEngineShowsTheReportItWroteAndItsFatalLine) {
    engine("printf 'partial\\n   FATAL ERROR: the report says why  \\n' > r.out\nkill -SEGV $$\n");
    job("j.in", ">OUTFILE: r.out LONG\r\n");
    ASSERT_TRUE(run_and_wait());
    EXPECT_EQ(shell.last_message(), "orvcalc ended abnormally.\n\nFATAL ERROR: the report says why\n\n"
                                    "The report it wrote, " + path("r.out") + ", is shown.");
    EXPECT_EQ(plain(principal()), "partial\n   FATAL ERROR: the report says why  \n");
}

// ---- Runs against the real engine ---------------------------------------------

class RealEngine : public Run {
protected:
    void SetUp() override {
        Run::SetUp();
        ASSERT_TRUE(QFile::link(ORVCALC_PATH, path("orvcalc")));
        for (const char* f : {"example.in", "example.dat"})
            ASSERT_TRUE(QFile::copy(QString(ORV_EXAMPLES_DIR) + "/" + f, path(f)));
        // The engine's own window would wait for answers nobody gives here.
        window->engine_environment().remove(kEngineHostVariable);
    }
    QByteArray example() { return read_all(path("example.in")); }
};

TEST_F(RealEngine, ExampleJobRunsAndItsReportIsLoaded) {
    open(path("example.in"));
    ASSERT_TRUE(run_and_wait());
    EXPECT_TRUE(shell.messages.empty()) << shell.last_message().toStdString();
    const QString report = plain(principal());
    EXPECT_TRUE(report.contains("Example - twelve items, two factors"));
    EXPECT_TRUE(report.contains("Orvalis 2.0"));
    EXPECT_EQ(report.toUtf8(), read_all(path("example.out")).replace("\r\n", "\n"));
    EXPECT_FALSE(principal()->modified());
}

TEST_F(RealEngine, FailingJobShowsItsFatalLineAndKeepsTheText) {
    QByteArray bad = example();
    bad.replace(">METRIC: CO", ">METRIC: XX");
    job("bad job.in", bad);
    const QString expected = "orvcalc stopped with exit status 1.\n\n"
                             "FATAL ERROR: Unrecognized keyword on >METRIC: line\n\n"
                             "It wrote no new report; " + path("example.out") + " is not shown.";
    // On the terminal, and in its own window (headless here: nobody has to
    // answer it), the engine's line is repeated.
    ASSERT_TRUE(run_and_wait());
    EXPECT_EQ(shell.last_message(), expected);
    window->engine_environment().insert(kEngineHostVariable, kEngineHostWindow);
    ASSERT_TRUE(run_and_wait());
    EXPECT_EQ(shell.last_message(), expected);
    EXPECT_EQ(plain(principal()).toUtf8(), QByteArray(bad).replace("\r\n", "\n"));
}

TEST_F(RealEngine, OlderReportOfTheSameNameIsNotLoadedAfterAFailedRun) {
    write_file(path("example.out"), "an older report");
    QByteArray bad = example();
    bad.replace(">MODEL:", ">MODAL:");
    job("bad.in", bad);
    ASSERT_TRUE(run_and_wait());
    EXPECT_TRUE(shell.last_message().contains("It wrote no new report"));
    EXPECT_FALSE(plain(principal()).contains("an older report"));
    EXPECT_EQ(read_all(path("example.out")), "an older report");
}

TEST_F(RealEngine, ReportOfAStoppedRunIsLoadedWithTheMessage) {
    write_file(path("example.out"), "an older report");
    QByteArray short_data = example();
    short_data.replace("12 300", "12 900");  // more subjects than the data file holds
    job("short.in", short_data);
    ASSERT_TRUE(run_and_wait());
    // The why is the engine's FATAL ERROR line alone: no banner, no
    // progress line.
    const QStringList parts = shell.last_message().split("\n\n");
    ASSERT_EQ(parts.size(), 3) << shell.last_message().toStdString();
    EXPECT_EQ(parts[0], "orvcalc stopped with exit status 1.");
    EXPECT_TRUE(parts[1].startsWith("FATAL ERROR: File ")) << parts[1].toStdString();
    EXPECT_TRUE(parts[1].contains("of the 900 subjects declared on >DATA:")) << parts[1].toStdString();
    EXPECT_FALSE(parts[1].contains('\n')) << parts[1].toStdString();
    EXPECT_EQ(parts[2], "The report it wrote, " + path("example.out") + ", is shown.");
    EXPECT_FALSE(plain(principal()).contains("an older report"));
    EXPECT_EQ(plain(principal()).toUtf8(), read_all(path("example.out")));
}

TEST_F(RealEngine, StopWithoutAFatalErrorLineShowsTheEnginesMessage) {
    // Communalities that diverge on a correlation matrix that is not positive
    // definite: the engine's ERROR 100 after its progress lines.
    write_file(path("m.cor"), "1 0.9 0.9\n0.9 1 -0.9\n0.9 -0.9 1\n");
    job("diverge.in", ">TITLE: diverging\n>DATA: m.cor 3 100\n>OUTFILE: m.out SHORT\n>METRIC: CO COR NOSMOOTH\n"
                      ">MODEL: PFA 1 NOLABELS NOSORT\n>ROTATE: NONE\n>SCORE: NONE\n>PLOT: NONE\n"
                      ">TECHNICAL: .0001 200 .0001 200 T .2 ONE 120 F\n>FORMAT: (F4.0)\n");
    // On the terminal, and through its own window's copy of the records.
    for (bool windowed : {false, true}) {
        if (windowed) window->engine_environment().insert(kEngineHostVariable, kEngineHostWindow);
        ASSERT_TRUE(run_and_wait());
        const QStringList parts = shell.last_message().split("\n\n");
        ASSERT_EQ(parts.size(), 3) << shell.last_message().toStdString();
        EXPECT_EQ(parts[0], "orvcalc stopped with exit status 1.");
        EXPECT_TRUE(parts[1].startsWith("ERROR 100:  SERIOUS PROBLEMS OCCURED DURING ITERATION"))
            << parts[1].toStdString();
        EXPECT_FALSE(parts[1].contains('\n')) << parts[1].toStdString();
        EXPECT_EQ(parts[2], "The report it wrote, " + path("m.out") + ", is shown.");
    }
}

// ---- Placement -----------------------------------------------------------------

class WindowPlacement : public Shell {
protected:
    QSettings settings() { return QSettings(kSettingsOrganisation, kSettingsApplication); }
    QString stored(const char* key) { return settings().value(QString("Settings/") + key).toString(); }
    void store(const QStringList& values) {
        QSettings s(kSettingsOrganisation, kSettingsApplication);
        for (int i = 0; i < 4; ++i) s.setValue(QString("Settings/") + kPlacementKeys[i], values[i]);
    }
    // Twips at this screen's resolution.
    int twips_x(int px) { return qRound(px * 1440.0 / window->logicalDpiX()); }
    int twips_y(int px) { return qRound(px * 1440.0 / window->logicalDpiY()); }
    int px_x(int twips) { return qRound(twips * window->logicalDpiX() / 1440.0); }
    int px_y(int twips) { return qRound(twips * window->logicalDpiY() / 1440.0); }
};

TEST_F(WindowPlacement, DefaultsWrittenOnCloseAndReadBack) {
    EXPECT_FALSE(settings().contains("Settings/MainLeft"));
    EXPECT_EQ(window->pos(), QPoint(px_x(1000), px_y(1000)));
    EXPECT_EQ(window->size(), QSize(px_x(6500), px_y(6500)));
    window->move(150, 90);
    window->resize(640, 480);
    window->close();
    EXPECT_EQ(stored("MainLeft"), QString::number(twips_x(150)));
    EXPECT_EQ(stored("MainTop"), QString::number(twips_y(90)));
    EXPECT_EQ(stored("MainWidth"), QString::number(twips_x(640)));
    EXPECT_EQ(stored("MainHeight"), QString::number(twips_y(480)));
    make_window();
    EXPECT_EQ(window->pos(), QPoint(150, 90));
    EXPECT_EQ(window->size(), QSize(640, 480));
}

TEST_F(WindowPlacement, MinimisedCloseKeepsWhatWasStored) {
    store({"1500", "1500", "9000", "6000"});
    make_window();
    window->showMinimized();
    ASSERT_TRUE(window->isMinimized());
    window->close();
    EXPECT_EQ(stored("MainLeft"), "1500");
    EXPECT_EQ(stored("MainWidth"), "9000");
}

// Runs the program orvshell until it ends; USE acts on its frame, once shown,
// from inside the program's event loop.
int run_orvshell(const std::function<void(MainWindow&)>& use) {
    QTimer::singleShot(0, [&use] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* frame = qobject_cast<MainWindow*>(w); frame && frame->isVisible()) return use(*frame);
        ADD_FAILURE() << "orvshell shows no frame";
        QCoreApplication::exit(1);
    });
    // A program that does not end fails the test instead of hanging it.
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    limit.start(120000);
    return run_front_end();
}

TEST_F(WindowPlacement, TheProgramKeepsThePlacementOnExitAndStoresItOnClose) {
    window.reset();
    store({"1500", "1500", "9000", "6000"});
    const QString file = path("settings/Orvalis/orvshell.conf");
    ASSERT_TRUE(read_all(file).contains("MainLeft=1500"));
    // File > Exit: the program ends, the file is as it was.
    const QByteArray before = read_all(file);
    EXPECT_EQ(run_orvshell([](MainWindow& frame) {
                  frame.move(300, 300);
                  frame.action("Exit")->trigger();
              }),
              0);
    EXPECT_EQ(read_all(file), before);
    // The close box: the placement is stored as the program ends.
    QString left, top;
    EXPECT_EQ(run_orvshell([&](MainWindow& frame) {
                  frame.move(150, 90);
                  left = QString::number(qRound(150 * 1440.0 / frame.logicalDpiX()));
                  top = QString::number(qRound(90 * 1440.0 / frame.logicalDpiY()));
                  frame.close();
              }),
              0);
    const QByteArray after = read_all(file);
    EXPECT_TRUE(after.contains("MainLeft=" + left.toUtf8())) << after.toStdString();
    EXPECT_TRUE(after.contains("MainTop=" + top.toUtf8())) << after.toStdString();
    EXPECT_TRUE(after.contains("MainWidth=9000")) << after.toStdString();
}

TEST_F(WindowPlacement, OffScreenOrBadValuesFallBack) {
    store({"9000000", "1500", "9000", "6000"});
    make_window();
    EXPECT_EQ(window->pos(), QPoint(px_x(1000), px_y(1000)));
    EXPECT_EQ(window->size(), QSize(px_x(6500), px_y(6500)));
    store({"abc", "1500", "-5", "6000"});
    make_window();
    EXPECT_EQ(window->pos(), QPoint(px_x(1000), px_y(1500)));
    EXPECT_EQ(window->size(), QSize(px_x(6500), px_y(6000)));
}

}  // namespace
}  // namespace orv::frontend
