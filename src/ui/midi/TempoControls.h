#pragma once
// The speed and the key of the play program: the two boxes beside the position bar, the
// Program menu's keys for them, and the setting that keeps them for the next titles (and the
// next start).

#include "ui/MasterWindow.h"

#include <QObject>
#include <functional>

class QAction;
class QKeySequence;
class QMenu;
class QSpinBox;
class QWidget;

namespace tunquil::ui {

class TempoControls : public QObject {
public:
    explicit TempoControls(IMasterWindow& window);

    // The tempo box (percent) and the transpose box (semitones, with their sign), children of
    // `parent`, which places them.
    static QSpinBox* MakeTempoBox(QWidget* parent);
    static QSpinBox* MakeTransposeBox(QWidget* parent);
    // Arrows and the wheel on the boxes change the playing title at once; typed values take
    // effect with Enter.
    void Attach(QSpinBox* tempo, QSpinBox* transpose);

    // Adds an item with its keys to the Program menu, as the other music controls have them.
    using AddKey = std::function<void(const QString& caption, const QKeySequence& keys,
                                      std::function<void()> action)>;
    // Faster, Slower, Key up, Key down and the original tempo and key, then the check item
    // that keeps them.
    void AddProgramItems(QMenu* menu, const AddKey& key);

    // Once the program exists: the speed and key the last run kept, when kept.
    void ProgramStarted();
    // After every change of the program: the kept speed and key follow it.
    void ProgramChanged();
    // The boxes follow the program; `playing` tells whether a title plays (the position bar
    // is enabled).
    void Refresh(bool playing);

private:
    // Steps of 5 % and of a semitone; 0 steps put the title's own speed or key back.
    void ChangeTempo(int steps);
    void ChangeKey(int steps);

    IMasterWindow& window_;
    QSpinBox *tempo_ = nullptr, *transpose_ = nullptr;
    QAction* keepItem_ = nullptr;
};

} // namespace tunquil::ui
