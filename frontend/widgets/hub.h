// The wizard's hub frmBuild: one button per dialog with its step mark, and
// BUILD and CANCEL.  Its buttons and its close box send signals, which the
// wizard's windows answer.
#pragma once

#include <QWidget>
#include <array>

#include "frontend/wizard.h"

class QLabel;

namespace orv::frontend {

class HubWindow : public QWidget {
    Q_OBJECT
public:
    HubWindow();
    void refresh(const Wizard& w);
    void present();

signals:
    void dialog_chosen(orv::frontend::Dialog d);
    void build_chosen();
    // CANCEL, or the close box.
    void cancelled();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Esc: as CANCEL.
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::array<QLabel*, kStepMarks> marks_{};
    bool shown_before_ = false;
};

}  // namespace orv::frontend
