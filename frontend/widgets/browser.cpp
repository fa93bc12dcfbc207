#include "frontend/widgets/browser.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include "frontend/widgets/look.h"

// The manual's pages live in this library's resources, which a static
// library must register itself.
static void register_manual() { Q_INIT_RESOURCE(manual); }

namespace orv::frontend {

QVariant ManualView::loadResource(int type, const QUrl& name) {
    if (type == QTextDocument::HtmlResource && name.path().endsWith('/'))
        return QTextBrowser::loadResource(type, name.resolved(QUrl("index.html")));
    return QTextBrowser::loadResource(type, name);
}

void ManualView::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    const QUrl current = source();
    QTextBrowser::doSetSource(name.isRelative() && !current.isEmpty() ? current.resolved(name) : name, type);
}

ManualBrowser::ManualBrowser() : QWidget(nullptr, Qt::Window) {
    register_manual();
    setObjectName("frmBrowser");
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* tools = new QToolBar(this);
    tools->setObjectName("tbToolBar");
    for (const char* key : {"Back", "Forward", "Stop", "Refresh", "Home", "Search"}) {
        QAction* a = tools->addAction(key);
        a->setObjectName(key);
        a->setToolTip(key);
        const QString k = key;
        connect(a, &QAction::triggered, this, [this, k] { button(k); });
    }
    layout->addWidget(tools);

    auto* address_row = new QWidget(this);
    address_row->setObjectName("picAddress");
    auto* row = new QVBoxLayout(address_row);
    row->setContentsMargins(4, 0, 4, 0);
    label_ = new QLabel("&Address:", address_row);
    label_->setObjectName("lblAddress");
    address_ = new QComboBox(address_row);
    address_->setObjectName("cboAddress");
    address_->setEditable(true);
    address_->setInsertPolicy(QComboBox::NoInsert);
    address_->setCompleter(nullptr);
    label_->setBuddy(address_);
    row->addWidget(label_);
    row->addWidget(address_);
    layout->addWidget(address_row);

    view_ = new ManualView(this);
    view_->setObjectName("brwWebBrowser");
    view_->setOpenLinks(true);
    layout->addWidget(view_, 1);

    timer_ = new QTimer(this);
    timer_->setObjectName("timTimer");
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, [this] { tick(); });
    connect(address_, &QComboBox::activated, this, [this](int) {
        if (!suppress_) go_to_folder();
    });
    connect(address_->lineEdit(), &QLineEdit::returnPressed, this, [this] {
        if (!suppress_) go_to_folder();
    });
    connect(view_, &QTextBrowser::sourceChanged, this, [this](const QUrl& url) { navigated(url); });
    resize(760, 560);

    starting_address_ = kManualStart;
    if (!starting_address_.isEmpty()) {
        address_->setEditText(starting_address_);
        address_->addItem(starting_address_);
        view_->setSource(QUrl(starting_address_));
    }
}

void ManualBrowser::present() {
    if (!shown_before_) {
        shown_before_ = true;
        centre_on_screen(this);
        resize(760, 560);
    }
    show();
    raise();
}

// Whatever the entry says, the list leads to the manual's folder.
void ManualBrowser::go_to_folder() {
    timer_->start();
    address_->addItem(kManualFolder);
    address_->setEditText(kManualFolder);
    view_->setSource(QUrl(kManualFolder));
}

// One list entry per address, the latest at the top.
void ManualBrowser::navigated(const QUrl& url) {
    setWindowTitle(view_->documentTitle());
    suppress_ = true;
    const QString text = url.toString();
    for (int i = address_->count() - 1; i >= 0; --i)
        if (address_->itemText(i) == text) address_->removeItem(i);
    address_->insertItem(0, text);
    address_->setCurrentIndex(0);
    suppress_ = false;
}

void ManualBrowser::button(const QString& key) {
    timer_->start();
    if (key == "Back") view_->backward();
    if (key == "Forward") view_->forward();
    if (key == "Refresh") view_->reload();
    if (key == "Home") view_->home();
    // The manual's contents stand in for a search page.
    if (key == "Search") view_->setSource(QUrl(kManualFolder));
    if (key == "Stop") {
        timer_->stop();
        setWindowTitle(view_->documentTitle());
    }
}

// Pages load at once, so the browser is never busy when the timer fires.
void ManualBrowser::tick() {
    timer_->stop();
    setWindowTitle(view_->documentTitle());
}

}  // namespace orv::frontend
