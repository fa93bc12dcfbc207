// The wizard's hub frmBuild: one button per dialog with its step mark, and
// BUILD and CANCEL.
#pragma once

#include <QWidget>
#include <array>

#include "frontend/wizard.h"

class QLabel;

namespace orv::frontend {

class WizardWindows;

class HubWindow : public QWidget {
    Q_OBJECT
public:
    explicit HubWindow(WizardWindows& windows);
    void refresh(const Wizard& w);
    void present();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Esc: as CANCEL.
    void keyPressEvent(QKeyEvent* event) override;

private:
    WizardWindows& windows_;
    std::array<QLabel*, kStepMarks> marks_{};
    bool shown_before_ = false;
};

}  // namespace orv::frontend
