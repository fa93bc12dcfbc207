// The wizard's questions to the user as Qt dialogs.
#pragma once

#include <QString>

#include "frontend/wizard.h"

class QWidget;

namespace orv::frontend {

// "description|pattern|..." as a Qt file-dialog filter: "All Files" matches
// every name, also those without a ".".
QString qt_filter(const std::string& filter);

class QtPrompts : public Prompts {
public:
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}
    void message(const std::string& caption, const std::string& text) override;
    std::string input(const std::string& prompt, const std::string& title) override;
    bool open_file(const std::string& title, const std::string& filter, std::string& chosen) override;

private:
    QWidget* parent_;
};

}  // namespace orv::frontend
