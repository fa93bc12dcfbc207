// The recording stand-in for the user's answers, printing to a PDF file.
#pragma once

#include <QPrinter>
#include <QString>

#include "fakes.h"

namespace orv::frontend::testing {

struct FakeShellPrompts : FakePrompts {
    QString pdf;  // the print dialog prints to this file; empty means cancel

    bool print_dialog(QPrinter& printer, bool selection) override {
        FakePrompts::print_dialog(printer, selection);
        if (pdf.isEmpty()) return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    }

    QString last_message() const {
        return messages.empty() ? QString() : QString::fromStdString(messages.back().second);
    }
};

}  // namespace orv::frontend::testing
