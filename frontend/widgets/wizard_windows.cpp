#include "frontend/widgets/wizard_windows.h"

#include "frontend/command_text.h"
#include "frontend/widgets/dialogs.h"
#include "frontend/widgets/hub.h"

namespace orv::frontend {

WizardWindows::WizardWindows(PrincipalText& principal, Prompts& prompts) : principal_(principal), prompts_(prompts) {}

// The windows are top-level widgets without a parent: deleted here.
WizardWindows::~WizardWindows() {
    for (WizardDialog* d : dialogs_) delete d;
    delete hub_;
}

void WizardWindows::file_build() {
    wizard_reset(wizard_, principal_, true);
    sync();
}

void WizardWindows::document_closed() {
    wizard_reset(wizard_, principal_, false);
    sync();
}

void WizardWindows::show_dialog(Dialog d) {
    orv::frontend::show_dialog(wizard_, d);
    sync();
    if (WizardDialog* w = existing(d)) {
        w->raise();
        w->activateWindow();
    }
}

void WizardWindows::closed(Dialog d) {
    hide_dialog(wizard_, d);
    sync();
}

void WizardWindows::hub_closed() {
    hub_cancel(wizard_);
    sync();
}

void WizardWindows::build() {
    // BUILD hides the hub first: what the build then asks or reminds of
    // (the labels) comes without the hub behind it.
    if (hub_) hub_->hide();
    emit build_started();
    build_job(wizard_, principal_, prompts_);
    sync();
}

HubWindow* WizardWindows::hub() {
    if (hub_) return hub_;
    hub_ = new HubWindow;
    connect(hub_, &HubWindow::dialog_chosen, this, &WizardWindows::show_dialog);
    connect(hub_, &HubWindow::build_chosen, this, &WizardWindows::build);
    connect(hub_, &HubWindow::cancelled, this, &WizardWindows::hub_closed);
    return hub_;
}

WizardDialog* WizardWindows::dialog(Dialog d) {
    WizardDialog*& slot = dialogs_[static_cast<std::size_t>(d)];
    if (slot) return slot;
    switch (d) {
        case Dialog::Comments: slot = new CommentsDialog(*this); break;
        case Dialog::Title: slot = new TitleDialog(*this); break;
        case Dialog::Data: slot = new DataDialog(*this); break;
        case Dialog::OutFile: slot = new OutFileDialog(*this); break;
        case Dialog::Metric: slot = new MetricDialog(*this); break;
        case Dialog::Model: slot = new ModelDialog(*this); break;
        case Dialog::Rotate: slot = new RotateDialog(*this); break;
        case Dialog::Score: slot = new ScoreDialog(*this); break;
        case Dialog::Plot: slot = new PlotDialog(*this); break;
        case Dialog::Technical: slot = new TechnicalDialog(*this); break;
        case Dialog::Format: slot = new FormatDialog(*this); break;
        case Dialog::OutMatrix: slot = new OutMatrixDialog(*this); break;
    }
    return slot;
}

void WizardWindows::sync() {
    // A message box shown by a handler may run events that come back here.
    if (syncing_) return;
    syncing_ = true;
    if (wizard_.hub.visible || hub_) {
        HubWindow* h = hub();
        h->refresh(wizard_);
        if (wizard_.hub.visible && !h->isVisible()) h->present();
        if (!wizard_.hub.visible && h->isVisible()) h->hide();
    }
    for (int i = 0; i < kDialogs; ++i) {
        const Dialog d = static_cast<Dialog>(i);
        const bool visible = dialog_visible(wizard_, d);
        if (!visible && !existing(d)) continue;
        WizardDialog* w = dialog(d);
        w->refresh(wizard_);
        if (visible && !w->isVisible()) w->present();
        if (!visible && w->isVisible()) w->hide();
    }
    syncing_ = false;
}

}  // namespace orv::frontend
