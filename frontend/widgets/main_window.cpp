#include "frontend/widgets/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>

#include "frontend/placement.h"
#include "frontend/widgets/about.h"
#include "frontend/widgets/browser.h"
#include "frontend/widgets/dialogs.h"
#include "frontend/widgets/document_window.h"
#include "frontend/widgets/engine_process.h"
#include "frontend/widgets/hub.h"
#include "frontend/widgets/look.h"

namespace orv::frontend {

namespace {

struct Command {
    const char* name;     // the menu item's name; nullptr for a separator
    const char* caption;
    const char* shortcut;
    void (MainWindow::*handler)();
    bool during_run;  // may be used while the engine runs
};

const Command kFileMenu[] = {
    {"mnuFileNew", "&New", "Ctrl+N", nullptr, false},
    {"mnuFileOpen", "&Open...", "Ctrl+O", &MainWindow::file_open, false},
    {"mnuFileClose", "&Close", nullptr, &MainWindow::file_close, false},
    {nullptr, nullptr, nullptr, nullptr, false},
    {"mnuFileBuild", "&Build", "Ctrl+B", &MainWindow::file_build, false},
    {"Run", "&Run", "Ctrl+R", &MainWindow::run, false},
    {nullptr, nullptr, nullptr, nullptr, false},
    {"mnuFileSave", "&Save", nullptr, &MainWindow::file_save, false},
    {"mnuFileSaveAs", "Save &As...", nullptr, &MainWindow::file_save_as, false},
    {nullptr, nullptr, nullptr, nullptr, false},
    {"mnuFilePageSetup", "Page Set&up...", nullptr, &MainWindow::page_setup, false},
    {"mnuFilePrint", "&Print...", nullptr, &MainWindow::print, false},
    {nullptr, nullptr, nullptr, nullptr, false},
    {"Exit", "&Exit", nullptr, &MainWindow::exit_program, false},
    {nullptr, nullptr, nullptr, nullptr, false},
};

const Command kEditMenu[] = {
    {"mnuEditCut", "Cu&t", "Ctrl+X", &MainWindow::edit_cut, false},
    {"mnuEditCopy", "&Copy", "Ctrl+C", &MainWindow::edit_copy, false},
    {"mnuEditPaste", "&Paste", "Ctrl+V", &MainWindow::edit_paste, false},
};

const Command kHelpMenu[] = {
    {"Online_Manual", "&Online Manual", nullptr, nullptr, true},
    {"mnuHelpAbout", "&About ", nullptr, nullptr, true},
};

// The toolbar's buttons: the menu item each one shares, its key (also its
// tooltip) and its picture; nullptr for a separator.
struct Button {
    const char* action;
    const char* key;
    QStyle::StandardPixmap standard;
    const char* theme;
};

const Button kButtons[] = {
    {"mnuFileNew", "New", QStyle::SP_FileIcon, "document-new"},
    {"mnuFileOpen", "Open", QStyle::SP_DialogOpenButton, "document-open"},
    {"mnuFileSave", "Save", QStyle::SP_DialogSaveButton, "document-save"},
    {nullptr, nullptr, QStyle::SP_CustomBase, nullptr},
    {"mnuFilePrint", "Print", QStyle::SP_CustomBase, "document-print"},
    {nullptr, nullptr, QStyle::SP_CustomBase, nullptr},
    {"mnuEditCut", "Cut", QStyle::SP_CustomBase, "edit-cut"},
    {"mnuEditCopy", "Copy", QStyle::SP_CustomBase, "edit-copy"},
    {"mnuEditPaste", "Paste", QStyle::SP_CustomBase, "edit-paste"},
};

QString error_text(const QString& what, const QString& path, const QString& reason) {
    return what + " " + QDir::toNativeSeparators(path) + ": " + reason;
}

}  // namespace

MainWindow::MainWindow(Prompts* prompts)
    : qt_prompts_(this),
      prompts_(prompts ? *prompts : qt_prompts_),
      area_(new QMdiArea(this)),
      engine_(new EngineProcess(this)),
      engine_environment_(orv::frontend::engine_environment(QProcessEnvironment::systemEnvironment())) {
    setObjectName("frmMain");
    setWindowTitle("Orvalis 2.0");
    area_->setObjectName("MDIClient");
    setCentralWidget(area_);
    state_.start_directory = ss(QDir::currentPath());
    wizard_ = std::make_unique<WizardWindows>(*this, prompts_);
    connect(wizard_.get(), &WizardWindows::build_started, this, [this] { run_refused_until_saved(state_); });
    connect(engine_, &EngineProcess::ended, this, &MainWindow::engine_ended);

    create_menus();
    create_toolbar();
    create_status_bar();
    read_placement();
    new_document();
}

MainWindow::~MainWindow() = default;

void MainWindow::create_menus() {
    const auto add = [this](QMenu* menu, const Command& c) {
        if (!c.name) {
            menu->addSeparator();
            return;
        }
        QAction* a = menu->addAction(c.caption);
        a->setObjectName(c.name);
        if (c.shortcut) a->setShortcut(QKeySequence(c.shortcut));
        if (c.handler) connect(a, &QAction::triggered, this, [this, h = c.handler] { (this->*h)(); });
        if (!c.during_run) commands_ << a;
    };
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("mnuFile");
    file->setSeparatorsCollapsible(false);
    for (const Command& c : kFileMenu) add(file, c);
    connect(action("mnuFileNew"), &QAction::triggered, this, [this] { new_document(); });
    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->setObjectName("mnuEdit");
    for (const Command& c : kEditMenu) add(edit, c);
    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("mnuHelp");
    for (const Command& c : kHelpMenu) add(help, c);
    connect(action("Online_Manual"), &QAction::triggered, this, [this] { browser()->present(); });
    connect(action("mnuHelpAbout"), &QAction::triggered, this, [this] { about(); });
}

void MainWindow::create_toolbar() {
    QToolBar* bar = addToolBar("Toolbar");
    bar->setObjectName("tbToolBar");
    bar->setMovable(false);
    for (const Button& b : kButtons) {
        if (!b.action) {
            bar->addSeparator();
            continue;
        }
        QAction* a = action(b.action);
        a->setToolTip(b.key);
        a->setIconText(b.key);
        QIcon icon = QIcon::fromTheme(b.theme);
        if (icon.isNull() && b.standard != QStyle::SP_CustomBase) icon = style()->standardIcon(b.standard);
        a->setIcon(icon);
        bar->addAction(a);
    }
    // Menus show the captions alone; the pictures belong to the toolbar.
    for (QAction* a : commands_) a->setIconVisibleInMenu(false);
}

void MainWindow::create_status_bar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("sbStatusBar");
    bar->setSizeGripEnabled(true);
    const char* names[] = {"pnlStatus", "pnlDate", "pnlTime"};
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(bar);
        panels_[i]->setObjectName(names[i]);
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panels_[i]->setContentsMargins(4, 0, 4, 0);
    }
    panels_[0]->setText("Status");
    bar->addWidget(panels_[0], 1);
    bar->addPermanentWidget(panels_[1]);
    bar->addPermanentWidget(panels_[2]);
    show_clock();
    auto* clock = new QTimer(this);
    connect(clock, &QTimer::timeout, this, &MainWindow::show_clock);
    clock->start(1000);
}

void MainWindow::show_clock() {
    const QDateTime now = QDateTime::currentDateTime();
    panels_[1]->setText(QLocale().toString(now.date(), QLocale::ShortFormat));
    panels_[2]->setText(QLocale().toString(now.time(), QLocale::ShortFormat));
}

// ---- Placement ---------------------------------------------------------------

void MainWindow::read_placement() {
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.beginGroup(kSettingsSection);
    std::array<std::optional<std::string>, 4> texts;
    for (std::size_t i = 0; i < 4; ++i)
        if (settings.contains(kPlacementKeys[i])) texts[i] = ss(settings.value(kPlacementKeys[i]).toString());
    std::vector<PixelRect> screens;
    for (const QScreen* s : QGuiApplication::screens()) {
        const QRect g = s->availableGeometry();
        screens.push_back({g.x(), g.y(), g.width(), g.height()});
    }
    const PixelRect r = restored_placement(texts, screens, logicalDpiX(), logicalDpiY());
    move(r.x, r.y);
    resize(r.width, r.height);
}

void MainWindow::write_placement() {
    const Placement p = to_twips({x(), y(), width(), height()}, logicalDpiX(), logicalDpiY());
    const std::array<std::string, 4> texts = placement_texts(p);
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.beginGroup(kSettingsSection);
    for (std::size_t i = 0; i < 4; ++i) settings.setValue(kPlacementKeys[i], qs(texts[i]));
}

// ---- Document windows --------------------------------------------------------

DocumentWindow* MainWindow::new_document() {
    auto* doc = new DocumentWindow;
    area_->addSubWindow(doc);
    doc->closing = [this](DocumentWindow* d) { return document_closing(d); };
    // The first window, and the first after the principal one was closed,
    // is the one the commands act on.
    if (!principal_) principal_ = doc;
    if (shown_before_) size_document(doc);
    doc->show();
    return doc;
}

// A new document window takes three quarters of the frame's inside.
void MainWindow::size_document(DocumentWindow* doc) const {
    const QSize room = area_->viewport()->size();
    if (room.width() > 100 && room.height() > 100) doc->resize(room * 3 / 4);
}

// The frame's inside has its size only once the frame is shown.
void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_before_) return;
    shown_before_ = true;
    QTimer::singleShot(0, this, [this] {
        for (DocumentWindow* doc : documents()) size_document(doc);
    });
}

DocumentWindow* MainWindow::principal() {
    if (!principal_) new_document();
    return principal_;
}

QList<DocumentWindow*> MainWindow::documents() const {
    QList<DocumentWindow*> out;
    for (QMdiSubWindow* w : area_->subWindowList())
        if (auto* d = qobject_cast<DocumentWindow*>(w)) out << d;
    return out;
}

QPlainTextEdit* MainWindow::editor() { return principal()->editor(); }

void MainWindow::set_text(const std::string& text) {
    if (text.empty() && !principal_) return;
    DocumentWindow* doc = principal();
    if (!maybe_save(doc)) return;
    doc->set_text(text);
}

std::string MainWindow::text() const { return principal_ ? principal_->text() : std::string(); }

bool MainWindow::document_closing(DocumentWindow* doc) {
    if (running() || !maybe_save(doc)) return false;
    // Only the principal window's closing resets the wizard.
    if (doc == principal_) {
        principal_ = nullptr;
        wizard_->document_closed();
    }
    return true;
}

bool MainWindow::maybe_save(DocumentWindow* doc) {
    if (!doc || !doc->modified()) return true;
    switch (prompts_.ask_unsaved(kRunCaption, kUnsavedQuestion)) {
        case Unsaved::Save: return doc == principal_ ? save_principal() : save_document(doc, "Save");
        case Unsaved::Discard: doc->set_unmodified(); return true;
        case Unsaved::Cancel: break;
    }
    return false;
}

void MainWindow::message(const QString& text) { prompts_.message(kRunCaption, ss(text)); }

// ---- File commands -----------------------------------------------------------

void MainWindow::file_open() {
    if (documents().isEmpty()) new_document();
    const std::optional<std::string> chosen = prompts_.open_file("Open", kOpenFilter);
    if (!chosen) return;
    const QString path = qs(*chosen);
    QByteArray bytes;
    if (const auto failed = DocumentWindow::read_file(path, bytes)) {
        message(error_text("The file could not be opened:", path, *failed));
        return;
    }
    DocumentWindow* doc = principal();
    if (!maybe_save(doc)) return;
    doc->show_file(bytes, path);
    job_file_read_or_written(state_, ss(QFileInfo(path).absoluteFilePath()));
}

void MainWindow::file_close() {
    DocumentWindow* doc = principal();
    if (maybe_save(doc)) doc->set_text("");
}

void MainWindow::file_build() {
    if (!maybe_save(principal_)) return;
    wizard_->file_build();
}

bool MainWindow::save_document(DocumentWindow* doc, const QString& title, QString* saved) {
    const QString start = doc->path().isEmpty() ? qs(state_.start_directory) : doc->path();
    const std::optional<std::string> chosen = prompts_.save_file(ss(title), kSaveFilter, ss(start));
    if (!chosen) return false;
    const QString path = qs(*chosen);
    if (const auto failed = doc->save(path)) {
        message(error_text("The file could not be saved:", path, *failed));
        return false;
    }
    if (saved) *saved = QFileInfo(path).absoluteFilePath();
    return true;
}

bool MainWindow::save_principal() {
    QString saved;
    if (!save_document(principal(), "Save", &saved)) return false;
    job_file_read_or_written(state_, ss(saved));
    return true;
}

void MainWindow::file_save() { save_principal(); }

void MainWindow::file_save_as() {
    run_refused_until_saved(state_);
    if (documents().isEmpty()) return;
    save_document(principal(), "Save As");
}

QPrinter& MainWindow::printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void MainWindow::page_setup() { prompts_.page_setup(printer()); }

void MainWindow::print() {
    DocumentWindow* doc = principal();
    const bool selection = doc->has_selection();
    QPrinter& p = printer();
    p.setPrintRange(selection ? QPrinter::Selection : QPrinter::AllPages);
    if (!prompts_.print_dialog(p, selection)) return;
    const QString text = selection && p.printRange() == QPrinter::Selection ? doc->text_to_print()
                                                                            : doc->editor()->toPlainText();
    QTextDocument page;
    page.setDefaultFont(document_font());
    page.setPlainText(text);
    page.print(&p);
}

void MainWindow::exit_program() {
    for (DocumentWindow* doc : documents())
        if (!maybe_save(doc)) return;
    emit exit_requested();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (running()) {
        message(QString("Orvalis cannot close while %1 is running.").arg(kEngineName));
        event->ignore();
        return;
    }
    for (DocumentWindow* doc : documents())
        if (!maybe_save(doc)) {
            event->ignore();
            return;
        }
    // A minimised frame keeps the placement stored before.
    if (!isMinimized()) write_placement();
    event->accept();
    emit exit_requested();
}

// ---- Edit commands -----------------------------------------------------------

void MainWindow::edit_cut() { principal()->editor()->cut(); }
void MainWindow::edit_copy() { principal()->editor()->copy(); }
void MainWindow::edit_paste() { principal()->editor()->paste(); }

// ---- Help --------------------------------------------------------------------

ManualBrowser* MainWindow::browser() {
    if (!browser_) browser_ = std::make_unique<ManualBrowser>();
    return browser_.get();
}

void MainWindow::about() {
    AboutBox box(prompts_, this);
    box.exec();
}

QAction* MainWindow::action(const QString& name) const { return findChild<QAction*>(name); }

// ---- Running the engine ------------------------------------------------------

bool MainWindow::running() const { return engine_->running(); }

void MainWindow::run() {
    if (running()) return;
    if (!may_run(state_)) {
        message(kRunRefusal);
        return;
    }
    // A Save chosen here makes the saved file the one that runs.
    if (!maybe_save(principal())) return;
    const QString job = qs(state_.open_file);
    QByteArray bytes;
    if (const auto failed = DocumentWindow::read_file(job, bytes)) {
        message(error_text("The command file could not be read:", job, *failed));
        return;
    }
    // The report is the one the engine will write: named in the file it reads.
    const std::optional<std::string> name = report_name(std::string_view(bytes.constData(), bytes.size()));
    if (!name) {
        message(QString("The command file %1 has no >OUTFILE: line naming its report, so it is not run.")
                    .arg(QDir::toNativeSeparators(job)));
        return;
    }
    QString engine;
    const std::vector<std::string> candidates =
        engine_candidates(ss(QCoreApplication::applicationDirPath()), state_.start_directory);
    for (const std::string& c : candidates) {
        const QFileInfo info(qs(c));
        if (info.isFile() && info.isExecutable()) {
            engine = info.absoluteFilePath();
            break;
        }
    }
    if (engine.isEmpty()) {
        QStringList places;
        for (const std::string& c : candidates) places << QDir::toNativeSeparators(qs(c));
        message(QString("The engine %1 was not found; looked for %2.").arg(kEngineName, places.join(" and ")));
        return;
    }
    run_started(state_, resolve_in(state_.start_directory, *name));
    set_running(true);
    engine_->start(engine, {job}, qs(state_.start_directory), engine_environment_);
}

void MainWindow::set_running(bool running) {
    for (QAction* a : commands_) a->setEnabled(!running);
    area_->setEnabled(!running);
    if (HubWindow* hub = wizard_->existing_hub()) hub->setEnabled(!running);
    for (int i = 0; i < kDialogs; ++i)
        if (QWidget* d = wizard_->existing(static_cast<Dialog>(i))) d->setEnabled(!running);
}

void MainWindow::engine_ended(const EngineEnd& ended) {
    set_running(false);
    const std::string& path = state_.report;
    const bool is_new = report_is_new(state_);
    EngineEnd end = ended;
    QByteArray report;
    // A failed run's output may not say why it stopped; its report may.
    const bool failed = end.started && (end.crashed || end.exit_status != 0);
    if (failed && end.fatal.empty() && is_new && !DocumentWindow::read_file(qs(path), report))
        end.fatal = last_fatal_line(std::string_view(report.constData(), static_cast<std::size_t>(report.size())));
    const RunVerdict verdict = judge_run(end, path, is_new);
    QString text = qs(verdict.message);
    if (verdict.load_report) {
        if (const auto failed = principal()->load(qs(path))) {
            if (!text.isEmpty()) text += "\n\n";
            text += error_text("The report could not be read:", qs(path), *failed);
        }
    }
    if (!text.isEmpty()) message(text);
    emit run_ended();
}

int run_front_end() {
    MainWindow window;
    // The program ends when the frame says so, not when its last window
    // closes; QApplication::quit would close every window first, and with
    // them the frame, which stores its placement when it closes.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&window, &MainWindow::exit_requested, qApp, [] { QCoreApplication::exit(0); });
    window.show();
    return QApplication::exec();
}

}  // namespace orv::frontend
