#include "ui/midi/TempoControls.h"

#include "app/MainWindowSettings.h"
#include "app/PlayProgram.h"
#include "ui/controls/ControlStyle.h"
#include "ui/controls/MenuItems.h"

#include <QAction>
#include <QMenu>
#include <QSignalBlocker>
#include <QSpinBox>

namespace tunquil::ui {

namespace {

// Semitones with their sign, as musicians write a transposition: -3, 0, +2.
class TransposeBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QString textFromValue(int value) const override {
        return value > 0 ? "+" + QString::number(value) : QString::number(value);
    }
    int valueFromText(const QString& text) const override { return text.toInt(); }
    QValidator::State validate(QString& text, int&) const override {
        if (text.isEmpty() || text == "+" || text == "-")
            return QValidator::Intermediate;
        bool ok = false;
        int value = text.toInt(&ok);
        return ok && value >= minimum() && value <= maximum() ? QValidator::Acceptable
                                                              : QValidator::Invalid;
    }
};

} // namespace

TempoControls::TempoControls(IMasterWindow& window) : window_(window) {}

QSpinBox* TempoControls::MakeTempoBox(QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setObjectName("Tempo");
    box->setRange(25, 400);
    box->setSingleStep(5);
    box->setValue(100);
    box->setSuffix(" %");
    box->setKeyboardTracking(false);
    SetHint(box, "Tempo|Playing speed, in percent of the title's own tempo");
    return box;
}

QSpinBox* TempoControls::MakeTransposeBox(QWidget* parent) {
    auto* box = new TransposeBox(parent);
    box->setObjectName("Transpose");
    box->setRange(-12, 12);
    box->setValue(0);
    box->setKeyboardTracking(false);
    SetHint(box, "Transpose|Shift the playing title's key, in semitones (drums stay)");
    return box;
}

void TempoControls::Attach(QSpinBox* tempo, QSpinBox* transpose) {
    tempo_ = tempo;
    transpose_ = transpose;
    connect(tempo_, &QSpinBox::valueChanged, this, [this](int percent) {
        if (PlayProgram* program = window_.Program())
            program->SetTempoPercent(percent);
    });
    connect(transpose_, &QSpinBox::valueChanged, this, [this](int semitones) {
        if (PlayProgram* program = window_.Program())
            program->SetTranspose(semitones);
    });
}

void TempoControls::AddProgramItems(QMenu* menu, const AddKey& key) {
    key("F&aster", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Right), [this] { ChangeTempo(+1); });
    key("S&lower", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Left), [this] { ChangeTempo(-1); });
    key("&Key up", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Up), [this] { ChangeKey(+1); });
    key("Key &down", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Down), [this] { ChangeKey(-1); });
    key("&Original tempo and key", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_0), [this] {
        ChangeTempo(0);
        ChangeKey(0);
    });
    keepItem_ = Check(menu, "Keep tempo and key for the &next titles", this, [this](bool on) {
        window_.WindowSettings().keepTempo = on;
        if (PlayProgram* program = window_.Program())
            program->SetTempoPinned(on);
        window_.RefreshTransport();
    });
    keepItem_->setChecked(window_.WindowSettings().keepTempo);
}

void TempoControls::ProgramStarted() {
    PlayProgram* program = window_.Program();
    // Taken before the first change: each change of the program writes the settings.
    const MainWindowSettings kept = window_.WindowSettings();
    program->SetTempoPinned(kept.keepTempo);
    if (kept.keepTempo) {
        program->SetTempoPercent(kept.tempoPercent);
        program->SetTranspose(kept.transpose);
    }
}

void TempoControls::ProgramChanged() {
    if (PlayProgram* program = window_.Program()) {
        MainWindowSettings& settings = window_.WindowSettings();
        settings.tempoPercent = program->TempoPercent();
        settings.transpose = program->Transpose();
    }
}

void TempoControls::Refresh(bool playing) {
    if (!tempo_)
        return;
    PlayProgram* program = window_.Program();
    // A speed or key set with nothing playing would be undone by the next title, unless kept.
    const bool shapeable = program && (playing || program->TempoPinned());
    tempo_->setEnabled(shapeable);
    transpose_->setEnabled(shapeable);
    if (!program)
        return;
    for (auto [box, value] : {std::pair{tempo_, program->TempoPercent()},
                              std::pair{transpose_, program->Transpose()}}) {
        if (box->value() != value) {
            QSignalBlocker quiet(box);
            box->setValue(value);
        }
    }
}

void TempoControls::ChangeTempo(int steps) {
    if (PlayProgram* program = window_.Program()) {
        program->SetTempoPercent(steps == 0 ? 100 : program->TempoPercent() + 5 * steps);
        window_.RefreshTransport();
    }
}

void TempoControls::ChangeKey(int steps) {
    if (PlayProgram* program = window_.Program()) {
        program->SetTranspose(steps == 0 ? 0 : program->Transpose() + steps);
        window_.RefreshTransport();
    }
}

} // namespace tunquil::ui
