// The engine's window in-process (offscreen): records and "+" overwrites,
// batches of fast records, the pause released by Enter, the end-of-run
// modes and both answers of the question, the file dialog, the status
// texts, closing during a run, the menus with State > Pause and Resume, the
// computing thread's priority; and the engine program choosing its host.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/io_error.h"
#include "runtime/program.h"
#include "runtime/units.h"
#include "window/window_host.h"

namespace orv::rt {
namespace {

namespace fs = std::filesystem;
using win::dialog_name_filters;
using win::WindowHost;

// How long a wait for an event may take before the test counts as hung.
constexpr int kHangGuardMs = 120000;

// A door the program's thread waits at until the test opens it.
class Gate {
public:
    void open() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        cv_.notify_all();
    }
    void pass() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool open_ = false;
};

// What a modal dialog showed.
struct Shown {
    QString title;
    QString text;          // a message box's text
    QStringList filters;   // a file dialog's name filters
    bool no_preselected = false;
};

// Answers the modal dialogs that the window shows, in order, each with the
// next action of its script, and keeps what each showed.
class ModalScript {
public:
    using Action = std::function<void(QWidget*)>;

    explicit ModalScript(std::vector<Action> actions) : actions_(actions.begin(), actions.end()) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { serve(); });
        timer_.start(10);
    }
    const std::vector<Shown>& shown() const { return shown_; }
    // A modal that came when the script had no action left.
    bool unexpected() const { return unexpected_; }

    static Action answer(QMessageBox::StandardButton button) {
        return [button](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr) << "expected a message box";
            box->button(button)->click();
        };
    }
    static Action choose(const std::string& path) {
        return [path](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(dialog, nullptr) << "expected a file dialog";
            // As a user types the full name: selectFile() may be undone by
            // the directory that the dialog is still loading.
            auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
            ASSERT_NE(name, nullptr);
            name->setText(QString::fromStdString(path));
            static_cast<QDialog*>(dialog)->accept();
        };
    }
    static Action cancel() {
        return [](QWidget* w) {
            auto* dialog = qobject_cast<QDialog*>(w);
            ASSERT_NE(dialog, nullptr) << "expected a dialog";
            dialog->reject();
        };
    }

private:
    void serve() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) return;
        Shown s;
        s.title = modal->windowTitle();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            s.text = box->text();
            s.no_preselected = box->defaultButton() == box->button(QMessageBox::No);
        }
        if (auto* dialog = qobject_cast<QFileDialog*>(modal)) s.filters = dialog->nameFilters();
        shown_.push_back(s);
        if (actions_.empty()) {
            // Out of script: a question is answered Yes, which ends the
            // run or its window, and a dialog is cancelled.
            unexpected_ = true;
            if (auto* box = qobject_cast<QMessageBox*>(modal))
                box->button(QMessageBox::Yes)->click();
            else if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            return;
        }
        Action action = std::move(actions_.front());
        actions_.pop_front();
        action(modal);
    }

    QTimer timer_;
    std::deque<Action> actions_;
    std::vector<Shown> shown_;
    bool unexpected_ = false;
};

class WindowHostTest : public ::testing::Test {
protected:
    // A test that failed half-way leaves its run waiting: it is let go and
    // its window closed, so that the next test finds none.
    void TearDown() override {
        if (host_ != nullptr) {
            for (Gate& g : gates_) g.open();
            if (QAction* resume = action("Resume")) resume->trigger();
            ModalScript refuse({});
            const bool ended = QTest::qWaitFor(
                [this] {
                    QTest::keyClick(text(), Qt::Key_Return);
                    return !host_->running();
                },
                kHangGuardMs);
            if (!ended) ADD_FAILURE() << "the run did not end";
            host_->window()->close();
            host_->wait();
        }
        set_host(nullptr);
    }

    // A host on ARGUMENTS, installed as the process's host; a close during
    // the run calls `stopped` instead of ending the process.
    // The platform is offscreen: the host is told that someone answers.
    WindowHost& make(std::vector<std::string> arguments = {}, bool interactive = true) {
        host_ = std::make_unique<WindowHost>(
            "orvcalc", std::move(arguments),
            [this] {
                ++stops_;
                on_stop_();
            },
            interactive);
        set_host(host_.get());
        return *host_;
    }
    QPlainTextEdit* text() const { return host_->window()->findChild<QPlainTextEdit*>(); }
    QString status() const { return host_->window()->findChild<QLabel*>("status")->text(); }
    QAction* action(const char* name) const { return host_->window()->findChild<QAction*>(name); }
    QString window_text() const { return text()->toPlainText(); }
    bool shows(const QString& s) const {
        return QTest::qWaitFor([&] { return window_text().contains(s); }, kHangGuardMs);
    }

    static void say(std::string_view record) { write_record(kConsoleUnit, record); }

    // A gate that the test's end opens, whatever happened.
    Gate& gate() { return gates_.emplace_back(); }

    std::deque<Gate> gates_;
    std::atomic<bool> flag_{false};
    int stops_ = 0;
    std::function<void()> on_stop_ = [] {};
    std::unique_ptr<WindowHost> host_;
};

TEST_F(WindowHostTest, RecordsOverwritesAndNormalEnd) {
    WindowHost& h = make();
    Gate& shown_x = gate();
    Gate& done = gate();
    ModalScript none({});
    h.start([&] {
        return run_program([&] {
            host().set_status("Running");
            for (const char* r : {" a", " b", "+c", "+d", " e", "", "+f", " x"}) say(r);
            shown_x.pass();
            say("+y");  // the first of its batch: it replaces the line already shown
            say(" last");
            done.pass();
            host().set_end_mode(static_cast<int>(EndMode::Close));
            host().set_status("Finished");
        });
    });
    EXPECT_EQ(h.window()->windowTitle(), "orvcalc");
    EXPECT_TRUE(h.window()->isVisible());
    EXPECT_TRUE(text()->isReadOnly());
    EXPECT_TRUE(QFontInfo(text()->font()).fixedPitch());
    EXPECT_EQ(status(), "Running");

    ASSERT_TRUE(shows("x"));
    EXPECT_EQ(window_text(), "a\nd\ne\nf\nx");
    shown_x.open();
    ASSERT_TRUE(shows("last"));
    EXPECT_EQ(window_text(), "a\nd\ne\nf\ny\nlast");
    EXPECT_EQ(status(), "Running");
    done.open();

    // The normal end closes the window without a question.
    EXPECT_EQ(h.wait(), 0);
    EXPECT_FALSE(h.window()->isVisible());
    EXPECT_EQ(status(), "Finished");
    EXPECT_TRUE(none.shown().empty());
    EXPECT_EQ(stops_, 0);
}

TEST_F(WindowHostTest, FastRecordsAreShownInBatches) {
    WindowHost& h = make();
    int changes = 0;
    QObject::connect(text()->document(), &QTextDocument::contentsChange, [&changes] { ++changes; });
    constexpr int kCounters = 200000;
    constexpr int kLines = 20000;
    h.start([&] {
        return run_program([&] {
            say(" Computing");
            for (int i = 1; i <= kCounters; ++i) say("+Pair: " + std::to_string(i));
            for (int i = 1; i <= kLines; ++i) say(" line " + std::to_string(i));
            host().set_end_mode(static_cast<int>(EndMode::Close));
        });
    });
    EXPECT_EQ(h.wait(), 0);
    const QStringList lines = window_text().split('\n');
    ASSERT_EQ(lines.size(), 1 + kLines);
    EXPECT_EQ(lines[0], "Pair: 200000");
    EXPECT_EQ(lines[1], "line 1");
    EXPECT_EQ(lines.back(), "line 20000");
    // Far fewer updates of the text than records.
    EXPECT_LT(changes, (kCounters + kLines) / 100);
}

TEST_F(WindowHostTest, PauseWaitsForEnterThenTheStopAsks) {
    WindowHost& h = make();
    std::atomic<bool>& resumed = flag_;
    ModalScript script({ModalScript::answer(QMessageBox::Yes)});
    h.start([&] {
        return run_program([&] {
            say(" FATAL ERROR: Keyword  >MODEL:   missing");
            host().pause();
            resumed = true;
            throw Stop{"", 1};
        });
    });
    ASSERT_TRUE(shows("Press Enter to continue"));
    EXPECT_EQ(window_text(), "FATAL ERROR: Keyword  >MODEL:   missing\nPress Enter to continue");
    QTest::keyClick(text(), Qt::Key_A);
    QTest::keyClick(text(), Qt::Key_Space);
    QCoreApplication::processEvents();
    EXPECT_FALSE(resumed);
    EXPECT_EQ(status(), "Running");
    // The prompt may show a moment before it waits: Enter until it is taken.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QTest::keyClick(text(), Qt::Key_Return);
            return resumed.load();
        },
        kHangGuardMs));

    // The stop asks before the window closes; Yes closes it.
    EXPECT_EQ(h.wait(), 1);
    EXPECT_FALSE(h.window()->isVisible());
    EXPECT_TRUE(window_text().endsWith("Press Enter to continue\nStop - Program terminated."));
    EXPECT_EQ(status(), "Finished");
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].title, "orvcalc");
    EXPECT_EQ(script.shown()[0].text, "Program Terminated with exit code 1\nExit Window?");
    EXPECT_TRUE(script.shown()[0].no_preselected);
    EXPECT_FALSE(script.unexpected());
}

TEST_F(WindowHostTest, KeypadEnterAlsoReleasesThePause) {
    WindowHost& h = make();
    std::atomic<bool>& resumed = flag_;
    h.start([&] {
        return run_program([&] {
            host().pause();
            resumed = true;
            host().set_end_mode(static_cast<int>(EndMode::Close));
        });
    });
    ASSERT_TRUE(shows("Press Enter to continue"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QTest::keyClick(text(), Qt::Key_Enter, Qt::KeypadModifier);
            return resumed.load();
        },
        kHangGuardMs));
    EXPECT_EQ(h.wait(), 0);
}

TEST_F(WindowHostTest, NoKeepsTheWindowAfterTheRun) {
    WindowHost& h = make();
    ModalScript script({ModalScript::answer(QMessageBox::No)});
    h.start([&] {
        return run_program([&] {
            say(" Finished");
            throw Stop{"", 0};  // the early end: status 0, and the window asks
        });
    });
    // Answered within the end of the run, which has then decided.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !script.shown().empty(); }, kHangGuardMs));
    EXPECT_TRUE(h.window()->isVisible());
    EXPECT_EQ(status(), "Finished");
    EXPECT_EQ(script.shown()[0].text, "Program Terminated with exit code 0\nExit Window?");
    EXPECT_TRUE(script.shown()[0].no_preselected);
    EXPECT_EQ(window_text(), "Finished\nStop - Program terminated.");

    // Closed by the user after the run: no further question.
    h.window()->close();
    EXPECT_EQ(h.wait(), 0);
    EXPECT_EQ(script.shown().size(), 1u);
    EXPECT_FALSE(script.unexpected());
    EXPECT_EQ(stops_, 0);
}

TEST_F(WindowHostTest, StayModeKeepsTheWindowWithoutAsking) {
    WindowHost& h = make();
    ModalScript none({});
    h.start([&] { return run_program([&] { host().set_end_mode(static_cast<int>(EndMode::Stay)); }); });
    // "Finished" comes with the end of the run, which has then decided.
    ASSERT_TRUE(QTest::qWaitFor([&] { return status() == "Finished"; }, kHangGuardMs));
    EXPECT_TRUE(h.window()->isVisible());
    h.window()->close();
    EXPECT_EQ(h.wait(), 0);
    EXPECT_TRUE(none.shown().empty());
}

TEST_F(WindowHostTest, AFailureOfTheProgramIsFinishedToo) {
    // The host sets "Finished" when the program returns, whatever it set.
    WindowHost& h = make();
    ModalScript script({ModalScript::answer(QMessageBox::Yes)});
    h.start([&] { return run_program([] { throw IoError(IoErrorKind::EndOfFile, "end of file", 10); }); });
    EXPECT_EQ(h.wait(), 1);
    EXPECT_EQ(status(), "Finished");
    EXPECT_TRUE(window_text().startsWith("Input/output error: "));
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].text, "Program Terminated with exit code 1\nExit Window?");
}

TEST_F(WindowHostTest, PauseHoldsTheRunAtItsNextRecordUntilResume) {
    WindowHost& h = make();
    Gate& first_shown = gate();
    std::atomic<bool>& second_written = flag_;
    std::atomic<bool> at_second{false};
    ModalScript none({});
    h.start([&] {
        return run_program([&] {
            say(" first");
            first_shown.pass();
            host().set_status("Reading Data");
            at_second = true;
            say(" second");
            second_written = true;
            say(" third");
            host().set_end_mode(static_cast<int>(EndMode::Close));
        });
    });
    QAction* pause = action("Pause");
    QAction* resume = action("Resume");
    ASSERT_TRUE(shows("first"));
    EXPECT_TRUE(pause->isEnabled());
    EXPECT_FALSE(resume->isEnabled());
    pause->trigger();
    EXPECT_EQ(status(), "Paused");
    EXPECT_FALSE(pause->isEnabled());
    EXPECT_TRUE(resume->isEnabled());
    // The program goes on to its next record and waits there; a status it
    // sets meanwhile is shown once the run goes on.
    first_shown.open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return at_second.load(); }, kHangGuardMs));
    QCoreApplication::processEvents();  // the status it set
    EXPECT_FALSE(second_written);
    EXPECT_EQ(window_text(), "first");
    EXPECT_EQ(status(), "Paused");
    EXPECT_TRUE(h.running());
    resume->trigger();
    EXPECT_EQ(status(), "Reading Data");
    EXPECT_EQ(h.wait(), 0);
    EXPECT_TRUE(second_written);
    EXPECT_EQ(window_text(), "first\nsecond\nthird");
    EXPECT_EQ(status(), "Finished");
    EXPECT_FALSE(pause->isEnabled());
    EXPECT_FALSE(resume->isEnabled());
    EXPECT_TRUE(none.shown().empty());
}

TEST_F(WindowHostTest, MenusSaveTheTextCopyItAndExitAsTheCloseBox) {
    char tmpl[] = "/tmp/orv_window_menu_XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const fs::path saved = fs::path(tmpl) / "window.txt";
    WindowHost& h = make();
    Gate& stop = gate();
    on_stop_ = [&] { stop.open(); };
    ModalScript script({ModalScript::choose(saved.string()), ModalScript::answer(QMessageBox::Ok),
                        ModalScript::answer(QMessageBox::No), ModalScript::answer(QMessageBox::Yes)});
    h.start([&] {
        return run_program([&] {
            say(" one");
            say(" two");
            stop.pass();
            say(" after the stop");  // held while paused, unless the close lets it go
        });
    });
    QStringList menus;
    for (QAction* m : h.window()->findChild<QMenuBar*>()->actions()) menus << m->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&View", "&State", "&Window", "&Help"}));
    ASSERT_TRUE(shows("two"));
    auto* status_bar = h.window()->findChild<QStatusBar*>();
    action("StatusBar")->trigger();
    EXPECT_FALSE(status_bar->isVisibleTo(h.window()));
    action("StatusBar")->trigger();
    EXPECT_TRUE(status_bar->isVisibleTo(h.window()));
    action("SaveAs")->trigger();
    std::ifstream in(saved);
    std::stringstream file;
    file << in.rdbuf();
    EXPECT_EQ(file.str(), "one\ntwo\n");
    action("SelectAll")->trigger();
    action("Copy")->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "one\ntwo");
    action("About")->trigger();
    // Exit asks as the close box does: No keeps the run, Yes stops it, and a
    // paused run is let go to end.
    action("Pause")->trigger();
    action("Exit")->trigger();
    EXPECT_TRUE(h.window()->isVisible());
    EXPECT_EQ(stops_, 0);
    action("Exit")->trigger();
    EXPECT_FALSE(h.window()->isVisible());
    EXPECT_EQ(stops_, 1);
    EXPECT_EQ(h.wait(), 1);
    ASSERT_EQ(script.shown().size(), 4u);
    EXPECT_EQ(script.shown()[0].title, "Save As");
    EXPECT_EQ(script.shown()[1].title, "About orvcalc");
    EXPECT_EQ(script.shown()[2].text, "The run has not finished.\nStop the run and close the window?");
    EXPECT_FALSE(script.unexpected());
    fs::remove_all(tmpl);
}

class WindowFileTest : public WindowHostTest {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/orv_window_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        job_ = (dir_ / "job.in").string();
        std::ofstream(job_) << ">TITLE: chosen\n";
    }
    void TearDown() override {
        WindowHostTest::TearDown();
        fs::remove_all(dir_);
    }
    // The program: opens the command file with a blank name as the engine
    // does and shows its first line.
    std::function<int()> open_job() {
        return [] {
            return run_program([] {
                host().set_dialog_filter("OV INPUT *.in, *.in; All Files, *.*");
                open_unit_or_fail(12, "", {OpenStatus::Old, true});
                std::string line;
                read_record(12, line);
                say(" " + line);
                host().set_end_mode(static_cast<int>(EndMode::Close));
            });
        };
    }
    fs::path dir_;
    std::string job_;
};

TEST_F(WindowFileTest, DialogWithTitleAndFilterAsksAgainAfterCancel) {
    WindowHost& h = make();
    ModalScript script({ModalScript::cancel(), ModalScript::answer(QMessageBox::No), ModalScript::choose(job_)});
    h.start(open_job());
    EXPECT_EQ(h.wait(), 0);
    EXPECT_EQ(window_text(), ">TITLE: chosen");
    ASSERT_EQ(script.shown().size(), 3u);
    const QStringList filters{"OV INPUT *.in (*.in)", "All Files (*)"};
    for (int i : {0, 2}) {
        EXPECT_EQ(script.shown()[i].title, "Open: Select File for Unit 12");
        EXPECT_EQ(script.shown()[i].filters, filters);
    }
    EXPECT_EQ(script.shown()[1].title, "File Open Error");
    EXPECT_EQ(script.shown()[1].text, "A File Must be Selected\n\nTerminate Program?");
    EXPECT_TRUE(script.shown()[1].no_preselected);
    EXPECT_FALSE(script.unexpected());
}

TEST_F(WindowFileTest, CancelAndTerminateEndsWithoutAnotherQuestion) {
    WindowHost& h = make();
    ModalScript script({ModalScript::cancel(), ModalScript::answer(QMessageBox::Yes)});
    h.start(open_job());
    EXPECT_EQ(h.wait(), 1);
    EXPECT_FALSE(h.window()->isVisible());
    EXPECT_EQ(script.shown().size(), 2u);
    EXPECT_FALSE(script.unexpected());
    EXPECT_EQ(window_text(), "");
}

TEST_F(WindowFileTest, WithNobodyToAnswerTheDialogIsCancelledAndTheRunEnds) {
    WindowHost& h = make({}, false);
    ModalScript none({});
    h.start(open_job());
    EXPECT_EQ(h.wait(), 1);
    EXPECT_FALSE(h.window()->isVisible());
    EXPECT_TRUE(none.shown().empty());
}

TEST_F(WindowFileTest, AnArgumentNeedsNoDialog) {
    WindowHost& h = make({" " + job_ + " "});
    ModalScript none({});
    h.start(open_job());
    EXPECT_EQ(h.wait(), 0);
    EXPECT_EQ(window_text(), ">TITLE: chosen");
    EXPECT_TRUE(none.shown().empty());
}

TEST_F(WindowHostTest, WithNobodyToAnswerNothingWaits) {
    // As in headless tests of the front end: the pause goes on at once, and
    // the stop closes the window without asking.
    WindowHost& h = make({}, false);
    ModalScript none({});
    h.start([&] {
        return run_program([&] {
            say(" FATAL ERROR: Keyword  >MODEL:   missing");
            host().pause();
            throw Stop{"", 1};
        });
    });
    EXPECT_EQ(h.wait(), 1);
    EXPECT_FALSE(h.window()->isVisible());
    EXPECT_EQ(window_text(), "FATAL ERROR: Keyword  >MODEL:   missing\nStop - Program terminated.");
    EXPECT_TRUE(none.shown().empty());
}

TEST_F(WindowHostTest, ClosingDuringTheRunAsksThenStops) {
    WindowHost& h = make();
    Gate& running = gate();
    Gate& end = gate();
    on_stop_ = [&] { end.open(); };
    ModalScript script({ModalScript::answer(QMessageBox::No), ModalScript::answer(QMessageBox::Yes)});
    h.start([&] {
        return run_program([&] {
            say(" Computing");
            running.open();
            end.pass();
            host().set_end_mode(static_cast<int>(EndMode::Close));
        });
    });
    running.pass();

    // No: the run goes on.  The question is answered within the close.
    h.window()->close();
    EXPECT_TRUE(h.window()->isVisible());
    EXPECT_EQ(stops_, 0);
    EXPECT_EQ(status(), "Running");

    // Yes: the run is stopped, and the status is 1 though it ended well.
    h.window()->close();
    EXPECT_FALSE(h.window()->isVisible());
    EXPECT_EQ(stops_, 1);
    EXPECT_EQ(h.wait(), 1);
    ASSERT_EQ(script.shown().size(), 2u);
    for (const Shown& s : script.shown()) {
        EXPECT_EQ(s.title, "orvcalc");
        EXPECT_TRUE(s.no_preselected);
    }
    EXPECT_FALSE(script.unexpected());
}

TEST_F(WindowHostTest, ARunThatEndsWhileTheCloseQuestionIsShownIsNotStopped) {
    WindowHost& h = make();
    Gate& running = gate();
    Gate& end = gate();
    // Yes to the close question, given only once the run has ended.
    ModalScript script({[&](QWidget* w) {
        end.open();
        if (!QTest::qWaitFor([&] { return status() == "Finished"; }, kHangGuardMs))
            ADD_FAILURE() << "the run did not end";
        ModalScript::answer(QMessageBox::Yes)(w);
    }});
    h.start([&] {
        return run_program([&] {
            running.open();
            end.pass();
        });
    });
    running.pass();
    h.window()->close();
    EXPECT_FALSE(h.window()->isVisible());
    EXPECT_EQ(h.wait(), 0);
    EXPECT_EQ(stops_, 0);
    EXPECT_EQ(script.shown().size(), 1u);  // no end-of-run question on top
    EXPECT_FALSE(script.unexpected());
}

// Closes the window while a run that has written to REPORT goes on, and
// confirms the question.
void close_during_run(const fs::path& report) {
    WindowHost h("orvcalc", {}, {}, true);
    set_host(&h);
    Gate written;
    Gate never;
    ModalScript script({ModalScript::answer(QMessageBox::Yes)});
    h.start([&] {
        return run_program([&] {
            open_unit_or_fail(11, report.string());
            write_record(11, " written before the stop");
            written.open();
            never.pass();
        });
    });
    written.pass();
    h.window()->close();
}

// The real stop: every unit is written and the process ends with status 1.
TEST(WindowHostDeathTest, ClosingDuringTheRunEndsTheProcessWithEveryUnitWritten) {
    // The child process runs this test again: it takes the parent's name.
    const char* given = std::getenv("ORV_WINDOW_STOP_REPORT");
    const fs::path report =
        given != nullptr ? fs::path(given)
                         : fs::temp_directory_path() / ("orv_window_stop_" + std::to_string(::getpid()) + ".out");
    ::setenv("ORV_WINDOW_STOP_REPORT", report.c_str(), 1);
    EXPECT_EXIT(close_during_run(report), ::testing::ExitedWithCode(1),
                "Stop - Program terminated because its window was closed");
    std::ifstream in(report);
    std::stringstream s;
    s << in.rdbuf();
    EXPECT_EQ(s.str(), " written before the stop\n");
    fs::remove(report);
}

TEST_F(WindowHostTest, TheProgramRunsBelowNormalPriority) {
    WindowHost& h = make();
    errno = 0;
    const int window_nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    ASSERT_EQ(errno, 0);
    int program_nice = window_nice;
    h.start([&] {
        program_nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
        host().set_end_mode(static_cast<int>(EndMode::Close));
        return 0;
    });
    EXPECT_EQ(h.wait(), 0);
    EXPECT_GT(program_nice, window_nice);
}

TEST(DialogNameFilters, PairsOfDescriptionAndPattern) {
    using Filters = std::vector<std::string>;
    EXPECT_EQ(dialog_name_filters("OV INPUT *.in, *.in; All Files, *.*"),
              (Filters{"OV INPUT *.in (*.in)", "All Files (*)"}));
    EXPECT_EQ(dialog_name_filters(""), Filters{});
    EXPECT_EQ(dialog_name_filters(" ; Reports,*.out ;"), Filters{"Reports (*.out)"});
    EXPECT_EQ(dialog_name_filters("Anything"), Filters{"Anything (*)"});
    EXPECT_EQ(dialog_name_filters(", *.dat"), Filters{"*.dat (*.dat)"});
}

// The engine program: ORVCALC_HOST=window runs it in its window, which its
// normal end closes; otherwise, and when no window can be shown, the
// terminal takes its records.
class EngineHostChoice : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/orv_window_run_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        for (const char* f : {"example.in", "example.dat"})
            fs::copy_file(fs::path(ORV_EXAMPLES_DIR) / f, dir_ / f);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Runs the engine on the example with ENVIRONMENT (assignments for env);
    // returns the exit status (137 when it had to be killed after a minute)
    // and keeps its standard output and error.
    int run(const std::string& environment, const std::string& program = ORVCALC_PATH) {
        const std::string command = "cd '" + dir_.string() + "' && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                    environment + " timeout -s KILL 60 '" + program +
                                    "' example.in < /dev/null > out.txt 2> err.txt";
        const int status = std::system(command.c_str());
        out_ = read(dir_ / "out.txt");
        err_ = read(dir_ / "err.txt");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    static std::string read(const fs::path& p) {
        std::ifstream in(p);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    fs::path dir_;
    std::string out_, err_;
};

TEST_F(EngineHostChoice, WindowWhenAskedTerminalOtherwise) {
    ASSERT_EQ(run("ORVCALC_HOST=window QT_QPA_PLATFORM=offscreen"), 0) << err_;
    EXPECT_EQ(out_.find("Finished"), std::string::npos);  // the window had the records
    const std::string windowed = read(dir_ / "example.out");
    EXPECT_NE(windowed.find("Example - twelve items, two factors"), std::string::npos);

    ASSERT_EQ(run(""), 0);
    EXPECT_NE(out_.find("Finished"), std::string::npos);
    EXPECT_EQ(read(dir_ / "example.out"), windowed);

    ASSERT_EQ(run("ORVCALC_HOST=terminal"), 0);
    EXPECT_NE(out_.find("Finished"), std::string::npos);
}

TEST_F(EngineHostChoice, AFailingJobOnTheOffscreenPlatformEndsWithoutWaiting) {
    // Front-end tests run the engine headless: its fatal stop must not wait
    // for an answer that nobody can give.
    fs::remove(dir_ / "example.dat");
    ASSERT_EQ(run("ORVCALC_HOST=window QT_QPA_PLATFORM=offscreen"), 1) << err_;
    EXPECT_EQ(out_, "");
}

// The terminal program leaves Qt out (loading it takes longer than a small
// job); the window is a program beside it, and without that program the run
// goes on in the terminal.
TEST_F(EngineHostChoice, TerminalProgramLoadsNoQtAndRunsWithoutItsWindowProgram) {
    ASSERT_EQ(run("LD_TRACE_LOADED_OBJECTS=1"), 0);
    EXPECT_NE(out_.find("libc.so"), std::string::npos) << out_;
    EXPECT_EQ(out_.find("libQt6"), std::string::npos) << out_;

    fs::create_directory(dir_ / "alone");
    fs::copy_file(ORVCALC_PATH, dir_ / "alone" / "orvcalc");
    ASSERT_EQ(run("ORVCALC_HOST=window QT_QPA_PLATFORM=offscreen", (dir_ / "alone" / "orvcalc").string()), 0);
    EXPECT_NE(out_.find("Finished"), std::string::npos);
    EXPECT_NE(err_.find("its window could not be started"), std::string::npos) << err_;
    EXPECT_NE(err_.find("orvcalc-window"), std::string::npos) << err_;
    EXPECT_NE(read(dir_ / "example.out").find("Example - twelve items, two factors"), std::string::npos);
}

TEST_F(EngineHostChoice, NoDisplayFallsBackToTheTerminal) {
    ASSERT_EQ(run("ORVCALC_HOST=window"), 0);
    EXPECT_NE(out_.find("Finished"), std::string::npos);
    EXPECT_NE(err_.find("no display for the window; the run goes on in the terminal"), std::string::npos);
}

}  // namespace
}  // namespace orv::rt

namespace {

QtMessageHandler qt_messages = nullptr;

// The offscreen platform's notes on window sizes say nothing about the test.
void quiet_messages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("propagateSizeHints"))) return;
    qt_messages(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
    // Headless unless the caller chose a platform.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    qt_messages = qInstallMessageHandler(quiet_messages);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // The death test runs in a fresh process: this one has threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    return RUN_ALL_TESTS();
}
