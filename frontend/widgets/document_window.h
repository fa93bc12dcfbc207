// A document window frmDocument: one plain text in a fixed-pitch, unwrapped
// text box OVText, loaded from and saved to a file byte for byte as it came
// (line ends and encoding kept).
#pragma once

#include <QMdiSubWindow>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "frontend/text_file.h"

class QPlainTextEdit;

namespace orv::frontend {

class DocumentWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit DocumentWindow(QWidget* parent = nullptr);

    QPlainTextEdit* editor() const { return editor_; }

    // A text composed here (the wizard's), CR LF or LF line ends; it will be
    // saved with CR LF.  Counts as changed unless it is empty.
    void set_text(const std::string& text);
    // The whole text with CR LF line ends.
    std::string text() const;
    // The text as it would be written to its file.
    std::string file_bytes() const;

    // The file's bytes, or the reason it could not be read.
    static std::optional<QString> read_file(const QString& path, QByteArray& bytes);
    // Shows a file's bytes read from `path`, replacing the text.
    void show_file(const QByteArray& bytes, const QString& path);
    // Both give the reason when they fail and then change nothing.
    std::optional<QString> load(const QString& path);
    std::optional<QString> save(const QString& path);

    // Asked before the window closes; false keeps it open.
    std::function<bool(DocumentWindow*)> closing;

    bool modified() const;
    void set_unmodified();
    // The file last loaded or saved, empty for none.
    const QString& path() const { return path_; }
    bool has_selection() const;
    // The selection, or the whole text when nothing is selected.
    QString text_to_print() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QPlainTextEdit* editor_;
    TextFormat format_;
    QString path_;
};

// The text box's font: "Courier New" 9.75 points, whose metric twin on
// Debian is Liberation Mono.
QFont document_font();

}  // namespace orv::frontend
