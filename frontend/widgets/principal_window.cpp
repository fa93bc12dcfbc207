#include "frontend/widgets/principal_window.h"

#include <QAction>
#include <QMenuBar>
#include <QPlainTextEdit>

#include "frontend/widgets/about.h"
#include "frontend/widgets/browser.h"
#include "frontend/widgets/look.h"

namespace orv::frontend {

PrincipalWindow::PrincipalWindow(Prompts* prompts)
    : qt_prompts_(this), prompts_(prompts ? *prompts : qt_prompts_) {
    setObjectName("frmMain");
    setWindowTitle("Orvalis 2.0");
    editor_ = new QPlainTextEdit(this);
    editor_->setObjectName("OVText");
    QFont fixed("Courier New");
    fixed.setPointSizeF(9.75);
    fixed.setStyleHint(QFont::TypeWriter);
    editor_->setFont(fixed);
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    setCentralWidget(editor_);
    resize(900, 600);

    wizard_ = std::make_unique<WizardWindows>(*this, prompts_);

    QMenu* file = menuBar()->addMenu("&File");
    QAction* build = file->addAction("&Build");
    build->setObjectName("mnuFileBuild");
    build->setShortcut(QKeySequence("Ctrl+B"));
    connect(build, &QAction::triggered, this, [this] { wizard_->file_build(); });
    file->addSeparator();
    QAction* exit = file->addAction("&Exit");
    exit->setObjectName("Exit");
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* help = menuBar()->addMenu("&Help");
    QAction* manual = help->addAction("&Online Manual");
    manual->setObjectName("Online_Manual");
    connect(manual, &QAction::triggered, this, [this] { browser()->present(); });
    QAction* about_action = help->addAction("&About ");
    about_action->setObjectName("mnuHelpAbout");
    connect(about_action, &QAction::triggered, this, [this] { about(); });
}

PrincipalWindow::~PrincipalWindow() = default;

// The box shows lines; the text it gives back ends its lines with CR LF,
// as the command files the wizard writes do.
void PrincipalWindow::set_text(const std::string& text) { editor_->setPlainText(qs(text).replace("\r\n", "\n")); }

std::string PrincipalWindow::text() const { return ss(editor_->toPlainText().replace('\n', "\r\n")); }

ManualBrowser* PrincipalWindow::browser() {
    if (!browser_) browser_ = std::make_unique<ManualBrowser>();
    return browser_.get();
}

void PrincipalWindow::about() {
    AboutBox box(prompts_, this);
    box.exec();
}

}  // namespace orv::frontend
