// The wizard's windows around one plain Wizard: the hub and the twelve
// dialogs, each created on first use, kept for the program's life and
// centred on its first show.  Every event goes to the model's handler, then
// every created window shows the model again.
#pragma once

#include <QObject>
#include <array>
#include <memory>

#include "frontend/wizard.h"

namespace orv::frontend {

class HubWindow;
class WizardDialog;

class WizardWindows : public QObject {
    Q_OBJECT
public:
    WizardWindows(PrincipalText& principal, Prompts& prompts);
    ~WizardWindows() override;

    Wizard& model() { return wizard_; }
    Prompts& prompts() { return prompts_; }
    PrincipalText& principal() { return principal_; }

    // File > Build: the reset that shows the hub and clears its marks.
    void file_build();
    // A document window closing: the reset without the hub.
    void document_closed();
    // A keyword button or the technical dialog's Save.
    void show_dialog(Dialog d);
    // The user closed a window with its close box.
    void closed(Dialog d);
    void hub_closed();
    void build();

    // The window, created when first needed (nullptr for `existing` until then).
    HubWindow* hub();
    WizardDialog* dialog(Dialog d);
    WizardDialog* existing(Dialog d) const { return dialogs_[static_cast<std::size_t>(d)]; }
    HubWindow* existing_hub() const { return hub_; }

    // Shows the model in every created window and shows or hides each
    // window as the model says.
    void sync();

signals:
    // BUILD was pressed; the command text is written next.
    void build_started();

private:
    Wizard wizard_;
    PrincipalText& principal_;
    Prompts& prompts_;
    HubWindow* hub_ = nullptr;
    std::array<WizardDialog*, kDialogs> dialogs_{};
    bool syncing_ = false;
};

}  // namespace orv::frontend
