#pragma once
// The progress window of an audio export: the title being rendered, a bar, the count and the
// time left, and Cancel.

#include "ui/export/WorkProgressWindow.h"

class QLabel;
class QProgressBar;

namespace tunquil::ui {

class AudioExportProgressWindow : public WorkProgressWindow {
public:
    AudioExportProgressWindow(IHost& messages, QWidget* owner);

    // Runs `work` inside the window, shown modally over its owner.
    void Run(const std::function<void(IHost&)>& work);

    QLabel* TitleLabel = nullptr; // the title being rendered and the count
    QProgressBar* Bar = nullptr;

    // Called once the work has started (the first event it processes); tests press Cancel or
    // look at the window from here.
    std::function<void(AudioExportProgressWindow&)> OnRunning;

protected:
    void CancelClicked() override;
    void ShowProgress(int percent, const std::string& what) override;
    void Running() override;
};

} // namespace tunquil::ui
