#include "frontend/widgets/about.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include "frontend/widgets/look.h"

namespace orv::frontend {

AboutBox::AboutBox(Prompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
    setObjectName("frmAbout");
    setWindowTitle("Orvalis 2.0");
    setModal(true);
    auto* grid = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setObjectName("picIcon");
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(48, 48));
    grid->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    auto* title = make_heading(this, "Orvalis", "lblTitle");
    grid->addWidget(title, 0, 1);
    auto* version = new QLabel(QString("Version ") + "2" + "." + "0" + "." + "1", this);
    version->setObjectName("lblVersion");
    grid->addWidget(version, 1, 1);
    auto* ok = make_button(this, "cmdOK", "OK");
    ok->setDefault(true);
    auto* info = make_button(this, "cmdSysInfo", "&System Info...");
    grid->addWidget(ok, 0, 2);
    grid->addWidget(info, 1, 2);
    grid->setColumnMinimumWidth(1, 220);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // There is no system-information tool to start here.
    connect(info, &QPushButton::clicked, this, [this] { prompts_.message("Orvalis", kNoSystemInformation); });
}

}  // namespace orv::frontend
