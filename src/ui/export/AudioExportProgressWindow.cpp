#include "ui/export/AudioExportProgressWindow.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace tunquil::ui {

AudioExportProgressWindow::AudioExportProgressWindow(IHost& messages, QWidget* owner)
    : QDialog(owner), host_(*this, messages) {
    setWindowTitle(QStringLiteral("Saving as audio"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    TitleLabel = new QLabel(this);
    TitleLabel->setAccessibleName(QStringLiteral("Title being rendered"));
    TitleLabel->setMinimumWidth(420);
    Bar = new QProgressBar(this);
    Bar->setAccessibleName(QStringLiteral("Progress"));
    Bar->setRange(0, 100);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setAccessibleName(QStringLiteral("Cancel"));
    connect(CancelButton, &QPushButton::clicked, this, &AudioExportProgressWindow::CancelClicked);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel);
    layout->addWidget(Bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(CancelButton);
    row->addStretch();
    layout->addLayout(row);

    start_ = new QTimer(this);
    start_->setSingleShot(true);
    start_->setInterval(50);
    connect(start_, &QTimer::timeout, this, [this] {
        running_ = true;
        try {
            work_(host_);
        } catch (const std::exception& e) {
            // Nothing may leave a timer's slot; the user is told instead.
            host_.ShowMessage(e.what(), TMsgDlgType::mtError, 0, mbOK);
        }
        running_ = false;
        work_ = nullptr;
        accept();
    });
}

void AudioExportProgressWindow::Run(const std::function<void(IHost&)>& work) {
    cancelled_ = false;
    told_ = false;
    TitleLabel->setText(QStringLiteral("Starting..."));
    Bar->setValue(0);
    CancelButton->setEnabled(true);
    work_ = work;
    start_->start();
    exec();
}

void AudioExportProgressWindow::CancelClicked() {
    cancelled_ = true;
    CancelButton->setEnabled(false);
    TitleLabel->setText(QStringLiteral("Cancelling..."));
}

void AudioExportProgressWindow::reject() {
    // The window goes when its work does; closing it early would leave the work unwatched.
    if (running_ || start_->isActive())
        CancelClicked();
    else
        QDialog::reject();
}

void AudioExportProgressWindow::Host::Progress(int percent, const std::string& what) {
    window_.Bar->setValue(percent);
    if (!what.empty() && !window_.cancelled_)
        window_.TitleLabel->setText(QString::fromStdString(what));
}

void AudioExportProgressWindow::Host::ProcessEvents() {
    QCoreApplication::processEvents();
    if (!window_.told_ && window_.OnRunning) {
        window_.told_ = true;
        window_.OnRunning(window_);
    }
}

} // namespace tunquil::ui
