#pragma once
// The main window's help cursor and short hints. While the cursor is on, a click on a control
// of the window shows that control's help instead of acting, and Esc ends it; the short hints
// (tool tips) show only while the settings ask for every hint.

#include <QObject>
#include <functional>

class QWidget;

namespace tunquil::ui {

class HelpAndHints : public QObject {
public:
    // Watches every event of the application for `window`; `showAllHints` tells whether tool
    // tips are shown.
    HelpAndHints(QWidget* window, std::function<bool()> showAllHints);
    ~HelpAndHints() override;

    void SetOn(bool on);
    bool On() const { return on_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    std::function<bool()> showAllHints_;
    bool on_ = false;
};

} // namespace tunquil::ui
