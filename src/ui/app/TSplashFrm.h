#pragma once
// The splash window: borderless, on top, a picture and the program's name and version. It is
// centred on the main window's saved place (centred on the screen before the first run) and
// closes itself once it has been up four seconds and start-up is complete, or at a click.

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
