// The online-manual browser frmBrowser: the manual's local pages in a
// QTextBrowser with an address list and a toolbar.
#pragma once

#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

class QComboBox;
class QLabel;
class QTimer;

namespace orv::frontend {

// The manual's two fixed addresses: its start page and the folder that
// holds it.  The pages are compiled into the program.
inline const char* const kManualStart = "qrc:/manual/index.html";
inline const char* const kManualFolder = "qrc:/manual/";

// A text browser that shows a folder's index page for a folder address and
// keeps every address it shows absolute, as the address list lists them.
class ManualView : public QTextBrowser {
    Q_OBJECT
public:
    using QTextBrowser::QTextBrowser;
    QVariant loadResource(int type, const QUrl& name) override;

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;
};

class ManualBrowser : public QWidget {
    Q_OBJECT
public:
    ManualBrowser();
    // Shows the window; the start page is loaded once, when it is created.
    void present();
    ManualView* view() const { return view_; }
    QComboBox* address() const { return address_; }

private:
    void go_to_folder();  // cboAddress_Click
    void navigated(const QUrl& url);
    void button(const QString& key);
    void tick();

    ManualView* view_;
    QComboBox* address_;
    QLabel* label_;
    QTimer* timer_;
    QString starting_address_;
    bool suppress_ = false;
    bool shown_before_ = false;
};

}  // namespace orv::frontend
