#pragma once
// Settings > "MIDI output...": where the titles play, the built-in synthesizer or one of the
// system's MIDI ports, with a Test button that plays a short scale on the output chosen in the
// list. The choice holds from the next title.

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QPushButton;

namespace tunquil::ui {

class TMidiOutputFrm : public QDialog {
    Q_OBJECT
public:
    struct Outputs {
        // The outputs there are now, the built-in synthesizer first.
        std::function<std::vector<std::string>()> list;
        // Plays the scale on an output; the problem to show, or empty once it plays.
        std::function<std::string(const std::string& output)> test;
    };

    TMidiOutputFrm(Outputs outputs, QWidget* parent = nullptr);

    // Lists the outputs afresh and selects `current` (the built-in synthesizer when empty); a
    // remembered output that is not there now is listed too, marked as missing, so that
    // keeping it is a choice the user sees.
    void Load(const std::string& current);
    // The output selected, as the list names it; empty for the built-in synthesizer.
    std::string Chosen() const;

    QListWidget* List() const { return list_; }
    QPushButton* TestButton() const { return test_; }
    QLabel* Result() const { return result_; }

private:
    void Test();

    Outputs outputs_;
    QListWidget* list_;
    QPushButton* test_;
    QLabel* result_;
    std::string builtIn_;
};

} // namespace tunquil::ui
