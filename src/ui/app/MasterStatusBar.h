#pragma once
// The main window's status bar: the hint panel on the left, the progress bar over the rest
// while a long task runs.

#include <QStatusBar>

class QLabel;
class QProgressBar;

namespace tunquil::ui {

class MasterStatusBar : public QStatusBar {
public:
    // `scale` turns the pixel sizes, given at 96 dots per inch, into the screen's.
    MasterStatusBar(double scale, QWidget* parent);

    QLabel* HintPanel() const { return hintPanel_; }
    QProgressBar* Progress() const { return progress_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int Px(int pixels) const;

    double scale_;
    QLabel* hintPanel_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

} // namespace tunquil::ui
