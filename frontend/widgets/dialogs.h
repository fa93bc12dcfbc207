// The twelve wizard dialogs.  Each shows its part of the Wizard and passes
// the user's typing, picks and clicks to the model's handlers; object names
// are the controls' names, for tests and screenshots.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "frontend/wizard.h"

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace orv::frontend {

class WizardWindows;

// A dialog as Qt's behave, shown without being modal: Esc closes it as its
// close box does, Enter presses its Save (its default button), its buttons
// carry mnemonics, and each time it is shown its first field has the
// keyboard.
class WizardDialog : public QDialog {
    Q_OBJECT
public:
    WizardDialog(WizardWindows& windows, Dialog id, const QString& caption);
    Dialog id() const { return id_; }
    virtual void refresh(const Wizard& w) = 0;
    // Shows the window, centred the first time.
    void present();
    // Esc: as the close box.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    Wizard& model();
    // Runs after every handler: all windows show the model again.
    void show_model();

    using Handler = std::function<void(Wizard&)>;
    using TextHandler = std::function<void(Wizard&, const std::string&)>;
    // A click runs `handler`, then every window shows the model again.
    void on_click(QAbstractButton* button, Handler handler);
    // Typing runs `handler` with the box's text.
    void on_typed(QLineEdit* box, TextHandler handler);
    // An editable list box: typing runs `typed`, a pick runs `picked` with
    // the item's text.
    void on_combo(QComboBox* box, TextHandler typed, TextHandler picked);

    WizardWindows& windows_;

private:
    Dialog id_;
    bool shown_before_ = false;
};

class CommentsDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit CommentsDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QPlainTextEdit* box_;
};

class TitleDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit TitleDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QLineEdit* box_;
};

class DataDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit DataDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QLineEdit *file_, *variables_, *subjects_;
};

class OutFileDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit OutFileDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QLineEdit* box_;
    QRadioButton *short_, *long_;
};

class MetricDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit MetricDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QComboBox* boxes_[3];
};

class ModelDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit ModelDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QComboBox* model_;
    QLineEdit* dims_;
    QRadioButton *user_, *generated_, *sort_, *nosort_;
};

class RotateDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit RotateDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QComboBox* rot_;
    QLabel* prompt_;
    QLineEdit* parameter_;
};

class ScoreDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit ScoreDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QComboBox* score_;
    QLabel* message_;
};

class PlotDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit PlotDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QComboBox* plot_;
};

class TechnicalDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit TechnicalDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QLineEdit* boxes_[6];  // Text1 Text2 Text3 Text4 Text6 Text8
    QComboBox* combos_[3];
};

class OutMatrixDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit OutMatrixDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QCheckBox* boxes_[5];
};

class FormatDialog : public WizardDialog {
    Q_OBJECT
public:
    explicit FormatDialog(WizardWindows& windows);
    void refresh(const Wizard& w) override;

private:
    QLineEdit* box_;
};

}  // namespace orv::frontend
