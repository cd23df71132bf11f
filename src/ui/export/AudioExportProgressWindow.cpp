#include "ui/export/AudioExportProgressWindow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunquil::ui {

AudioExportProgressWindow::AudioExportProgressWindow(IHost& messages, QWidget* owner)
    : WorkProgressWindow(messages, owner) {
    setWindowTitle(QStringLiteral("Saving as audio"));
    TitleLabel = new QLabel(this);
    TitleLabel->setAccessibleName(QStringLiteral("Title being rendered"));
    TitleLabel->setMinimumWidth(420);
    Bar = new QProgressBar(this);
    Bar->setAccessibleName(QStringLiteral("Progress"));
    Bar->setRange(0, 100);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(TitleLabel);
    layout->addWidget(Bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(CancelButton);
    row->addStretch();
    layout->addLayout(row);
}

void AudioExportProgressWindow::Run(const std::function<void(IHost&)>& work) {
    TitleLabel->setText(QStringLiteral("Starting..."));
    Bar->setValue(0);
    RunWork(work);
}

void AudioExportProgressWindow::CancelClicked() {
    WorkProgressWindow::CancelClicked();
    TitleLabel->setText(QStringLiteral("Cancelling..."));
}

void AudioExportProgressWindow::ShowProgress(int percent, const std::string& what) {
    Bar->setValue(percent);
    if (!what.empty() && !Cancelled())
        TitleLabel->setText(QString::fromStdString(what));
}

void AudioExportProgressWindow::Running() {
    if (OnRunning)
        OnRunning(*this);
}

} // namespace tunquil::ui
