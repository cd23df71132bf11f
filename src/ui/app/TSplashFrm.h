#pragma once
// The splash window: borderless, on top, a picture and the program's name and version. It is
// centred on the main window's saved place (centred on the screen before a size is saved) and
// closes itself once it has been up four seconds and start-up is complete, at a click, or when
// a question opens.

#include <QWidget>
#include <filesystem>
#include <functional>

class QLabel;
class QTimer;

namespace tunquil::ui {

class TSplashFrm : public QWidget {
    Q_OBJECT
public:
    // `startUpComplete` is asked at every tick of the one-second timer.
    TSplashFrm(const std::filesystem::path& programDirectory, std::function<bool()> startUpComplete,
               QWidget* parent = nullptr);

    QString LabelText() const;

signals:
    void closed();

protected:
    // Steps aside (closes) when a modal window opens, so that no question opens under it.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Tick();

    std::function<bool()> startUpComplete_;
    QLabel* label_ = nullptr;
    QTimer* timer_ = nullptr;
    int counter_ = 0;
};

} // namespace tunquil::ui
