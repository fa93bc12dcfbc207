// The frame that holds the principal text the wizard writes into: one
// fixed-pitch, unwrapped text box, File > Build and the Help menu.  The
// file commands, document windows and running the engine build on it.
#pragma once

#include <QMainWindow>
#include <memory>

#include "frontend/widgets/qt_prompts.h"
#include "frontend/widgets/wizard_windows.h"
#include "frontend/wizard.h"

class QPlainTextEdit;

namespace orv::frontend {

class ManualBrowser;

class PrincipalWindow : public QMainWindow, public PrincipalText {
    Q_OBJECT
public:
    // `prompts` answers the wizard's questions; the window's own Qt dialogs
    // serve when it is null.
    explicit PrincipalWindow(Prompts* prompts = nullptr);
    ~PrincipalWindow() override;

    void set_text(const std::string& text) override;
    // The whole text, lines ended with CR LF.
    std::string text() const;
    QPlainTextEdit* editor() const { return editor_; }
    WizardWindows& wizard() { return *wizard_; }
    ManualBrowser* browser();
    void about();

private:
    QtPrompts qt_prompts_;
    Prompts& prompts_;
    QPlainTextEdit* editor_;
    std::unique_ptr<WizardWindows> wizard_;
    std::unique_ptr<ManualBrowser> browser_;
};

}  // namespace orv::frontend
