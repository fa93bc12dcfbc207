#include "frontend/widgets/document_window.h"

#include <QCloseEvent>
#include <QFile>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QTextBlock>
#include <QVBoxLayout>

#include "frontend/widgets/look.h"

namespace orv::frontend {

namespace {

// The text box stands 100 twips inside the window on every side.
int margin_pixels(const QWidget* w) { return qRound(100.0 * w->logicalDpiX() / 1440.0); }

std::string lf_text(const QPlainTextEdit* e) { return ss(e->toPlainText()); }

}  // namespace

QFont document_font() {
    QFont f("Courier New");
    f.setPointSizeF(9.75);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

DocumentWindow::DocumentWindow(QWidget* parent) : QMdiSubWindow(parent) {
    setObjectName("frmDocument");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString());
    auto* frame = new QWidget(this);
    auto* layout = new QVBoxLayout(frame);
    const int m = margin_pixels(this);
    layout->setContentsMargins(m, m, m, m);
    editor_ = new QPlainTextEdit(frame);
    editor_->setObjectName("OVText");
    editor_->setFont(document_font());
    editor_->setLineWrapMode(QPlainTextEdit::NoWrap);
    editor_->setWordWrapMode(QTextOption::NoWrap);
    layout->addWidget(editor_);
    setWidget(frame);
}

void DocumentWindow::set_text(const std::string& text) {
    DecodedText d = decode_text(text);
    format_ = TextFormat{};
    editor_->setPlainText(qs(d.text));
    editor_->document()->setModified(!text.empty());
}

std::string DocumentWindow::text() const { return encode_text(lf_text(editor_), TextFormat{LineEnd::CrLf}); }

std::string DocumentWindow::file_bytes() const { return encode_text(lf_text(editor_), format_); }

std::optional<QString> DocumentWindow::read_file(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return file.errorString();
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return file.errorString();
    return std::nullopt;
}

void DocumentWindow::show_file(const QByteArray& bytes, const QString& path) {
    DecodedText d = decode_text(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    format_ = d.format;
    editor_->setPlainText(qs(d.text));
    set_unmodified();
    path_ = path;
}

std::optional<QString> DocumentWindow::load(const QString& path) {
    QByteArray bytes;
    if (auto failed = read_file(path, bytes)) return failed;
    show_file(bytes, path);
    return std::nullopt;
}

std::optional<QString> DocumentWindow::save(const QString& path) {
    const std::string bytes = file_bytes();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    if (!file.commit()) return file.errorString();
    set_unmodified();
    path_ = path;
    return std::nullopt;
}

void DocumentWindow::closeEvent(QCloseEvent* event) {
    if (closing && !closing(this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

bool DocumentWindow::modified() const { return editor_->document()->isModified(); }

void DocumentWindow::set_unmodified() { editor_->document()->setModified(false); }

bool DocumentWindow::has_selection() const { return editor_->textCursor().hasSelection(); }

QString DocumentWindow::text_to_print() const {
    if (!has_selection()) return editor_->toPlainText();
    // A selection separates its lines with paragraph separators.
    return editor_->textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n');
}

}  // namespace orv::frontend
