#pragma once
// The progress window of an archive operation: two framed bars and Cancel. Progress under the
// first group's caption moves the first bar, anything else the second. A message of the work
// (the result above all) never opens behind the window, which stays on top until then.

#include "ui/export/WorkProgressWindow.h"

#include <QString>

class QGroupBox;
class QProgressBar;

namespace tunquil::ui {

class ArchiveProgressWindow : public WorkProgressWindow {
    Q_OBJECT
public:
    // Runs `work` inside the window, shown modally over its owner.
    void Run(const QString& firstCaption, const QString& secondCaption,
             const std::function<void(IHost&)>& work);

    QGroupBox* FirstGroup = nullptr;
    QGroupBox* SecondGroup = nullptr;
    QProgressBar* FirstBar = nullptr;
    QProgressBar* SecondBar = nullptr;

    // Called once the window is up and the work has started (the first event it processes);
    // tests press Cancel or look at the window from here.
    std::function<void(ArchiveProgressWindow&)> OnRunning;

protected:
    ArchiveProgressWindow(IHost& messages, QWidget* owner, const QString& caption, int width,
                          int height);
    void ShowProgress(int percent, const std::string& what) override;
    void BeforeMessage() override;
    void Running() override;
};

} // namespace tunquil::ui
