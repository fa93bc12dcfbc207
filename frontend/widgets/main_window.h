// The frame frmMain: the document windows in a QMdiArea, the File, Edit and
// Help menus, the toolbar sharing the menus' actions, the status bar with
// date and time, and the placement kept in the settings store.  Its commands
// act on the principal document window, which the wizard also writes into
// and into which File > Run loads the engine's report.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QProcessEnvironment>
#include <memory>

#include "frontend/shell.h"
#include "frontend/widgets/document_window.h"
#include "frontend/widgets/qt_prompts.h"
#include "frontend/widgets/wizard_windows.h"
#include "frontend/wizard.h"

class QLabel;
class QMdiArea;
class QPlainTextEdit;
class QPrinter;

namespace orv::frontend {

class EngineProcess;
class ManualBrowser;

inline constexpr const char* kOpenFilter = "ORVAL Input (*.in)|*.in|OV Output (*.out)|*.out|All Files (*.*)|*.*";
inline constexpr const char* kSaveFilter = "All Files (*.*)|*.*";
// Where the settings store keeps the "Settings" section.
inline constexpr const char* kSettingsOrganisation = "Orvalis";
inline constexpr const char* kSettingsApplication = "orvshell";
inline constexpr const char* kUnsavedQuestion =
    "The text in this window has changed since it was last opened or saved.\nSave it first?";

class MainWindow : public QMainWindow, public PrincipalText {
    Q_OBJECT
public:
    // `prompts` answers the questions of the window and of the wizard; Qt
    // dialogs serve when it is null.
    explicit MainWindow(Prompts* prompts = nullptr);
    ~MainWindow() override;

    // The principal text, as the wizard writes and the reset empties it.
    void set_text(const std::string& text) override;
    // The principal text with CR LF line ends; empty without the window.
    std::string text() const;
    QPlainTextEdit* editor();
    DocumentWindow* principal();  // created on first use
    DocumentWindow* existing_principal() const { return principal_; }
    QList<DocumentWindow*> documents() const;
    QMdiArea* area() const { return area_; }
    WizardWindows& wizard() { return *wizard_; }
    ManualBrowser* browser();
    void about();
    ShellState& state() { return state_; }
    QPrinter& printer();
    QAction* action(const QString& name) const;
    QLabel* status_panel(int i) const { return panels_[i]; }

    // The engine's environment: the front end's own, with the engine told to
    // show its window.
    QProcessEnvironment& engine_environment() { return engine_environment_; }
    bool running() const;

    // The commands of the menus and the toolbar.
    DocumentWindow* new_document();
    void file_open();
    void file_close();
    void file_build();
    void run();
    void file_save();
    void file_save_as();
    void page_setup();
    void print();
    void exit_program();
    void edit_cut();
    void edit_copy();
    void edit_paste();

signals:
    // A run has ended and its outcome is shown.
    void run_ended();
    // File > Exit, or the frame closed: the program ends.
    void exit_requested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void create_menus();
    void create_toolbar();
    void create_status_bar();
    void show_clock();
    void read_placement();
    void write_placement();
    void message(const QString& text);
    // Asks before a changed text is replaced or closed; false: leave it.
    bool maybe_save(DocumentWindow* doc);
    bool save_document(DocumentWindow* doc, const QString& title, QString* saved = nullptr);
    bool save_principal();
    bool document_closing(DocumentWindow* doc);
    void set_running(bool running);
    void size_document(DocumentWindow* doc) const;
    void engine_ended(const EngineEnd& end);

    QtPrompts qt_prompts_;
    Prompts& prompts_;
    QMdiArea* area_;
    QPointer<DocumentWindow> principal_;
    std::unique_ptr<WizardWindows> wizard_;
    std::unique_ptr<ManualBrowser> browser_;
    std::unique_ptr<QPrinter> printer_;
    ShellState state_;
    EngineProcess* engine_;
    QProcessEnvironment engine_environment_;
    QList<QAction*> commands_;  // disabled while the engine runs
    QLabel* panels_[3] = {};
    bool shown_before_ = false;
};

// The program orvshell, in a QApplication made by the caller: the frame is
// shown and served until File > Exit or its close box ends the program;
// returns the exit status.  File > Exit ends at once, without closing the
// windows, so the placement stored before stays; the close box stores it.
int run_front_end();

}  // namespace orv::frontend
