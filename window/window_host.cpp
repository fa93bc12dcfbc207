// The engine's window on Qt Widgets.
//
// Two threads meet here.  The computing thread calls the Host operations;
// the window's thread owns every widget.  Records go through a batch under
// a mutex: a "+" record replaces the batch's last line (or, in an empty
// batch, the line the window shows last), so a burst of counters leaves one
// line to draw.  The window takes the batch on a short timer.  Questions and
// dialogs are run on the window's thread while the computing thread waits
// for the answer; the pause waits for Enter in the text window.
//
// The menus are the window's own: File > Save As writes the text shown,
// File > Exit closes as the close box does, Edit copies, State > Pause holds
// the computing thread at its next record until State > Resume.
#include "window/window_host.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QFont>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "runtime/program.h"
#include "runtime/terminal_host.h"
#include "runtime/text.h"

namespace orv::win {

namespace {

// How long records gather before the window shows them.
constexpr int kBatchMilliseconds = 40;
// Niceness added to the computing thread: below normal, so the window and
// the rest of the desktop stay responsive.
constexpr int kBelowNormal = 5;
// The window's size in characters: the banner's box ends at column 98.
constexpr int kColumns = 100;
constexpr int kLines = 30;

QString from_bytes(std::string_view s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

// A message box's text: CR LF and a lone CR (the engine's line breaks in a
// question) become line ends.
QString question_text(std::string_view text) {
    QString q = from_bytes(text);
    q.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return q;
}

bool ask(QWidget* parent, const QString& caption, const QString& text, bool default_yes) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(default_yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void lower_priority_of_this_thread() {
    const auto tid = static_cast<id_t>(::gettid());
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, tid);
    if (errno != 0) return;
    ::setpriority(PRIO_PROCESS, tid, std::min(nice + kBelowNormal, 19));
}

// The frame: it asks its owner before it closes.
class Frame : public QMainWindow {
public:
    std::function<bool()> may_close;

protected:
    void closeEvent(QCloseEvent* event) override {
        if (!may_close || may_close())
            event->accept();
        else
            event->ignore();
    }
};

// Passes Enter (and only Enter) to a handler that may take it.
class EnterFilter : public QObject {
public:
    explicit EnterFilter(std::function<bool()> on_enter) : on_enter_(std::move(on_enter)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if ((key == Qt::Key_Return || key == Qt::Key_Enter) && on_enter_()) return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> on_enter_;
};

}  // namespace

struct WindowHost::State {
    std::string title;
    std::vector<std::string> arguments;
    std::function<void()> stop_run;
    std::string filter;  // computing thread only
    bool interactive = true;

    std::unique_ptr<Frame> frame;
    QPlainTextEdit* text = nullptr;
    QLabel* status = nullptr;
    std::unique_ptr<EnterFilter> enter_filter;

    // Records not yet shown, under `mutex`.  When `overwrite_first`, the
    // first line replaces the window's current line.
    std::mutex mutex;
    std::vector<std::string> lines;
    bool overwrite_first = false;
    bool drain_posted = false;
    // The pause prompt, under `mutex`.
    bool waiting_for_enter = false;
    std::condition_variable resumed;
    // State > Pause, under `mutex`: the computing thread waits at its next
    // record until State > Resume (or the window's closing) lets it go.
    bool paused = false;
    std::condition_variable unpaused;

    // Computing thread only: the records copied to an output that someone
    // reads (the front end's pipe).
    std::unique_ptr<rt::TerminalHost> copy;

    // Window thread only.
    bool line_open = false;  // the window shows a current line
    bool program_ended = false;
    bool window_closed = false;
    bool stopped = false;
    bool asking_to_close = false;
    int exit_status = 0;
    QString program_status;  // the last status the program set
    QAction* pause_action = nullptr;
    QAction* resume_action = nullptr;
    QEventLoop* loop = nullptr;

    std::thread worker;

    // Runs F on the window's thread and returns its result; the calling
    // thread waits.
    template <typename F>
    auto on_window(F f) -> decltype(f()) {
        if (QThread::currentThread() == frame->thread()) return f();
        decltype(f()) result{};
        QMetaObject::invokeMethod(frame.get(), std::move(f), Qt::BlockingQueuedConnection, &result);
        return result;
    }
    template <typename F>
    void post(F f) {
        QMetaObject::invokeMethod(frame.get(), std::move(f), Qt::QueuedConnection);
    }

    void add_record(std::string_view record) {
        const bool overwrite = !record.empty() && record.front() == '+';
        std::string line(record.empty() ? record : record.substr(1));
        if (overwrite && !lines.empty()) {
            lines.back() = std::move(line);
        } else {
            if (lines.empty()) overwrite_first = overwrite;
            lines.push_back(std::move(line));
        }
    }

    // Shows the records gathered so far.
    void drain() {
        std::vector<std::string> batch;
        bool overwrite = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            batch.swap(lines);
            overwrite = overwrite_first;
            overwrite_first = false;
            drain_posted = false;
        }
        if (batch.empty()) return;
        QScrollBar* bar = text->verticalScrollBar();
        const bool at_end = bar->value() == bar->maximum();
        QTextCursor cursor(text->document());
        cursor.movePosition(QTextCursor::End);
        QString added;
        std::size_t first = 0;
        if (overwrite && line_open) {
            cursor.movePosition(QTextCursor::StartOfBlock, QTextCursor::KeepAnchor);
            added = from_bytes(batch.front());
            first = 1;
        }
        for (std::size_t i = first; i < batch.size(); ++i) {
            if (line_open) added += QLatin1Char('\n');
            added += from_bytes(batch[i]);
            line_open = true;
        }
        cursor.insertText(added);
        if (at_end) bar->setValue(bar->maximum());
    }

    void quit_when_done() {
        if (program_ended && window_closed && loop != nullptr) loop->quit();
    }

    // The window's close button, or the end of the run closing it.
    bool may_close() {
        if (!program_ended) {
            asking_to_close = true;
            const bool yes = ask(frame.get(), from_bytes(title),
                                 QStringLiteral("The run has not finished.\nStop the run and close the window?"), false);
            asking_to_close = false;
            if (!yes) return false;
            // The run may have ended while the question was shown: there is
            // nothing left to stop then.
            if (!program_ended) {
                stopped = true;
                window_closed = true;
                // A run held by State > Pause is let go: a stop that
                // returns leaves the program to end by itself.
                set_paused(false);
                stop_run();  // by default the process ends here
            }
        }
        window_closed = true;
        quit_when_done();
        return true;
    }

    bool take_enter() {
        std::lock_guard<std::mutex> lock(mutex);
        if (!waiting_for_enter) return false;
        waiting_for_enter = false;
        resumed.notify_all();
        return true;
    }

    bool is_paused() {
        std::lock_guard<std::mutex> lock(mutex);
        return paused;
    }

    // State > Pause and Resume: "Paused" in the status bar while held, the
    // program's own status again after.
    void set_paused(bool pause) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            paused = pause && !program_ended;
            if (!paused) unpaused.notify_all();
        }
        const bool held = is_paused();
        if (!program_ended) status->setText(held ? QStringLiteral("Paused") : program_status);
        pause_action->setEnabled(!program_ended && !held);
        resume_action->setEnabled(held);
    }

    void show_status(const QString& text) {
        program_status = text;
        if (!is_paused()) status->setText(text);
    }

    // File > Save As: the window's text, as shown, in a file of the user's
    // choice.
    void save_as() {
        drain();
        QFileDialog dialog(frame.get(), QStringLiteral("Save As"));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilters({QStringLiteral("Text files (*.txt)"), QStringLiteral("All Files (*)")});
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
        const QString path = dialog.selectedFiles().front();
        QSaveFile file(path);
        QByteArray bytes = text->toPlainText().toLocal8Bit();
        if (!bytes.isEmpty()) bytes += '\n';
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
            QMessageBox::warning(frame.get(), from_bytes(title),
                                 QStringLiteral("The window's text could not be saved in %1: %2")
                                     .arg(path, file.errorString()));
    }

    void about() {
        QMessageBox box(QMessageBox::Information, QStringLiteral("About ") + from_bytes(title),
                        from_bytes(title) +
                            QStringLiteral(" - the analysis engine of Orvalis 2.0.\n\n"
                                           "This window shows the messages of the run. State > Pause holds the "
                                           "run at its next message, State > Resume lets it go on."),
                        QMessageBox::Ok, frame.get());
        box.exec();
    }

    void create_menus() {
        QMenuBar* bar = frame->menuBar();
        const auto add = [this](QMenu* menu, const char* name, const QString& caption, auto handler,
                                QKeySequence keys = {}) {
            QAction* a = menu->addAction(caption);
            a->setObjectName(QLatin1String(name));
            a->setShortcut(keys);
            QObject::connect(a, &QAction::triggered, frame.get(), handler);
            return a;
        };
        QMenu* file = bar->addMenu(QStringLiteral("&File"));
        add(file, "SaveAs", QStringLiteral("Save &As..."), [this] { save_as(); });
        file->addSeparator();
        // As the close box: during the run it asks first.
        add(file, "Exit", QStringLiteral("E&xit"), [this] { frame->close(); });
        QMenu* edit = bar->addMenu(QStringLiteral("&Edit"));
        add(edit, "Copy", QStringLiteral("&Copy"), [this] { text->copy(); }, QKeySequence::Copy);
        add(edit, "SelectAll", QStringLiteral("Select &All"), [this] { text->selectAll(); }, QKeySequence::SelectAll);
        QMenu* view = bar->addMenu(QStringLiteral("&View"));
        QAction* status_bar = add(view, "StatusBar", QStringLiteral("&Status Bar"),
                                  [this](bool shown) { frame->statusBar()->setVisible(shown); });
        status_bar->setCheckable(true);
        status_bar->setChecked(true);
        QMenu* state = bar->addMenu(QStringLiteral("&State"));
        pause_action = add(state, "Pause", QStringLiteral("&Pause"), [this] { set_paused(true); });
        resume_action = add(state, "Resume", QStringLiteral("&Resume"), [this] { set_paused(false); });
        pause_action->setEnabled(false);
        resume_action->setEnabled(false);
        // The frame holds one text window: its entry gives it the keyboard.
        QMenu* window = bar->addMenu(QStringLiteral("&Window"));
        add(window, "TextWindow", QStringLiteral("&1 ") + from_bytes(title), [this] {
            frame->activateWindow();
            text->setFocus();
        });
        QMenu* help = bar->addMenu(QStringLiteral("&Help"));
        add(help, "About", QStringLiteral("&About"), [this] { about(); });
    }

    // The program has returned STATUS: the window shows its last records and
    // "Finished", then ends as the end-of-run mode says.
    void program_end(int status, rt::EndMode mode) {
        drain();
        program_ended = true;
        set_paused(false);
        this->status->setText(QStringLiteral("Finished"));
        exit_status = stopped ? 1 : status;
        // A user who is being asked whether to close is not asked again.
        if (!window_closed && !asking_to_close) {
            const QString question =
                QStringLiteral("Program Terminated with exit code %1\nExit Window?").arg(exit_status);
            if (mode == rt::EndMode::Close ||
                (mode == rt::EndMode::Prompt && (!interactive || ask(frame.get(), from_bytes(title), question, false))))
                frame->close();
        }
        quit_when_done();
    }
};

WindowHost::WindowHost(std::string title, std::vector<std::string> arguments, std::function<void()> stop_run,
                       std::optional<bool> interactive)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    const QString platform = QGuiApplication::platformName();
    s.interactive = interactive ? *interactive
                                : platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
    s.title = std::move(title);
    s.arguments = std::move(arguments);
    s.stop_run = stop_run ? std::move(stop_run) : [] { rt::stop_from_outside("because its window was closed"); };

    // The window decides when the host is done, not the last window closing.
    QApplication::setQuitOnLastWindowClosed(false);

    s.frame = std::make_unique<Frame>();
    s.frame->setWindowTitle(from_bytes(s.title));
    s.frame->may_close = [&s] { return s.may_close(); };

    s.text = new QPlainTextEdit(s.frame.get());
    s.text->setReadOnly(true);
    s.text->setUndoRedoEnabled(false);
    s.text->setLineWrapMode(QPlainTextEdit::NoWrap);
    s.text->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    s.text->setFont(font);
    s.frame->setCentralWidget(s.text);

    s.status = new QLabel(s.frame.get());
    s.status->setObjectName(QStringLiteral("status"));
    s.frame->statusBar()->addWidget(s.status, 1);
    s.create_menus();

    s.enter_filter = std::make_unique<EnterFilter>([&s] { return s.take_enter(); });
    s.text->installEventFilter(s.enter_filter.get());
    s.frame->installEventFilter(s.enter_filter.get());

    const QFontMetrics metrics(font);
    s.frame->resize(metrics.horizontalAdvance(QString(kColumns, QLatin1Char('x'))) + 40,
                    metrics.lineSpacing() * kLines + 60 + s.frame->menuBar()->sizeHint().height());
}

WindowHost::~WindowHost() {
    State& s = *state_;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.paused = false;
        s.unpaused.notify_all();
    }
    if (s.worker.joinable()) s.worker.join();
    if (s.text != nullptr) s.text->removeEventFilter(s.enter_filter.get());
    s.frame->removeEventFilter(s.enter_filter.get());
}

void WindowHost::start(std::function<int()> program) {
    State& s = *state_;
    s.show_status(QStringLiteral("Running"));
    s.pause_action->setEnabled(true);
    s.frame->show();
    s.text->setFocus();
    s.worker = std::thread([this, program = std::move(program)] {
        lower_priority_of_this_thread();
        int status = 1;
        try {
            status = program();
        } catch (...) {
            status = 1;
        }
        const rt::EndMode mode = end_mode();
        state_->post([this, status, mode] { state_->program_end(status, mode); });
    });
}

int WindowHost::wait() {
    State& s = *state_;
    if (!(s.program_ended && s.window_closed)) {
        QEventLoop loop;
        s.loop = &loop;
        loop.exec();
        s.loop = nullptr;
    }
    if (s.worker.joinable()) s.worker.join();
    return s.exit_status;
}

bool WindowHost::running() const { return state_->worker.joinable() && !state_->program_ended; }

QWidget* WindowHost::window() const { return state_->frame.get(); }

const std::vector<std::string>& WindowHost::arguments() const { return state_->arguments; }

void WindowHost::set_dialog_filter(std::string_view filter) { state_->filter = filter; }

std::optional<std::string> WindowHost::choose_file(std::string_view title) {
    State& s = *state_;
    if (!s.interactive) return std::nullopt;
    const QString caption = from_bytes(title);
    QStringList filters;
    for (const std::string& f : dialog_name_filters(s.filter)) filters << from_bytes(f);
    return s.on_window([&s, caption, filters]() -> std::optional<std::string> {
        s.drain();
        QFileDialog dialog(s.frame.get(), caption);
        // The same dialog on every desktop, with the title and filters given.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        if (!filters.isEmpty()) dialog.setNameFilters(filters);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().front().toLocal8Bit().toStdString();
    });
}

bool WindowHost::ask_yes_no(std::string_view caption, std::string_view text, bool default_yes) {
    State& s = *state_;
    if (!s.interactive) return true;
    const QString c = from_bytes(caption);
    const QString t = question_text(text);
    return s.on_window([&s, c, t, default_yes] {
        s.drain();
        return ask(s.frame.get(), c, t, default_yes);
    });
}

void WindowHost::copy_records_to(std::FILE* out) {
    state_->copy = std::make_unique<rt::TerminalHost>(std::vector<std::string>{}, nullptr, out, false);
}

void WindowHost::write_record(std::string_view record) {
    State& s = *state_;
    bool post = false;
    {
        std::unique_lock<std::mutex> lock(s.mutex);
        // State > Pause holds the computation here, at its next record.
        s.unpaused.wait(lock, [&s] { return !s.paused; });
        s.add_record(record);
        post = !s.drain_posted;
        s.drain_posted = true;
    }
    if (post) s.post([&s] { QTimer::singleShot(kBatchMilliseconds, s.frame.get(), [&s] { s.drain(); }); });
    if (s.copy) {
        // The window has the record: a reader that went away loses the rest.
        try {
            s.copy->write_record(record);
        } catch (...) {
            s.copy.reset();
        }
    }
}

void WindowHost::pause() {
    State& s = *state_;
    if (!s.interactive) return;  // nobody to press Enter: go on at once
    write_record(" Press Enter to continue");
    std::unique_lock<std::mutex> lock(s.mutex);
    s.waiting_for_enter = true;
    s.post([&s] {
        s.drain();
        s.text->setFocus();
    });
    s.resumed.wait(lock, [&s] { return !s.waiting_for_enter; });
}

void WindowHost::set_status(std::string_view status) {
    State& s = *state_;
    const QString text = from_bytes(status);
    s.post([&s, text] { s.show_status(text); });
}

void WindowHost::end_of_run(int exit_status) {
    State& s = *state_;
    if (!s.copy) return;
    try {
        s.copy->end_of_run(exit_status);
    } catch (...) {
        s.copy.reset();
    }
}

std::vector<std::string> dialog_name_filters(std::string_view filter) {
    std::vector<std::string> filters;
    while (!filter.empty()) {
        const std::size_t end = filter.find(';');
        const std::string_view entry = rt::trim_blanks(filter.substr(0, end));
        filter = end == std::string_view::npos ? std::string_view() : filter.substr(end + 1);
        if (entry.empty()) continue;
        const std::size_t comma = entry.find(',');
        std::string_view description = rt::trim_blanks(entry.substr(0, comma));
        std::string_view pattern = comma == std::string_view::npos ? "" : rt::trim_blanks(entry.substr(comma + 1));
        if (pattern.empty() || pattern == "*.*") pattern = "*";
        if (description.empty()) description = pattern;
        filters.push_back(std::string(description) + " (" + std::string(pattern) + ")");
    }
    return filters;
}

int run_in_window(std::string title, std::vector<std::string> arguments, const std::function<int()>& program) {
    // Qt sees no argument of the run: the command line is the engine's.
    std::string name = title;
    int argc = 1;
    char* argv[] = {name.data(), nullptr};
    QApplication application(argc, argv);
    WindowHost window(std::move(title), std::move(arguments));
    // The program that started the engine with a pipe for its output (the
    // front end) reads its records there too.
    struct stat out {};
    if (::fstat(STDOUT_FILENO, &out) == 0 && S_ISFIFO(out.st_mode)) {
        // A reader that goes away must not end the run: the write fails instead.
        std::signal(SIGPIPE, SIG_IGN);
        window.copy_records_to(stdout);
    }
    rt::set_host(&window);
    window.start(program);
    const int status = window.wait();
    rt::set_host(nullptr);
    return status;
}

}  // namespace orv::win
