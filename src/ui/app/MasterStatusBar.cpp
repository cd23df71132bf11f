#include "ui/app/MasterStatusBar.h"

#include <QLabel>
#include <QProgressBar>

namespace tunquil::ui {

MasterStatusBar::MasterStatusBar(double scale, QWidget* parent)
    : QStatusBar(parent), scale_(scale) {
    setFixedHeight(Px(18));
    setSizeGripEnabled(true);
    hintPanel_ = new QLabel(parent);
    hintPanel_->setObjectName("HintPanel");
    hintPanel_->setAccessibleDescription("Hint"); // its name is the hint shown
    // At least as wide as the progress bar leaves it; a longer summary ("12 found, 10 added,
    // 2 skipped as duplicate") takes the room to the right while no progress bar is shown.
    hintPanel_->setMinimumWidth(Px(290));
    hintPanel_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    QFont font = hintPanel_->font();
    font.setPointSize(8);
    font.setBold(true);
    hintPanel_->setFont(font);
    addWidget(hintPanel_, 1);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("ProgressBar");
    progress_->setAccessibleName("Progress");
    progress_->setRange(0, 100);
    progress_->setTextVisible(false);
    progress_->hide();
}

int MasterStatusBar::Px(int pixels) const {
    return static_cast<int>(pixels * scale_ + 0.5);
}

void MasterStatusBar::resizeEvent(QResizeEvent* event) {
    QStatusBar::resizeEvent(event);
    // Over the status bar's layout, which knows nothing of it: beside the hint panel, clear
    // of the size grip.
    int h = std::max(4, height() - Px(6));
    progress_->setGeometry(Px(290), (height() - h) / 2 + 1, std::max(0, width() - Px(290) - Px(17)),
                           h);
}

} // namespace tunquil::ui
