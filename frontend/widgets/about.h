// The about box frmAbout: the program's name and version, and the
// system-information button.
#pragma once

#include <QDialog>

#include "frontend/prompts.h"

namespace orv::frontend {

inline constexpr const char* kNoSystemInformation = "System Information Is Unavailable At This Time";

class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(Prompts& prompts, QWidget* parent = nullptr);

private:
    Prompts& prompts_;
};

}  // namespace orv::frontend
